// The file-name rules of the report filter: which files are logs, the output
// name proposed for one, and when two path texts name the same file. They
// hold for the window and the command line alike and need nothing of the
// HTML engine.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "character_set.h"

namespace rowsift {

// The output name proposed for an input path: "X.htm" gives "X_Output.htm",
// "X.html" gives "X_Output.html" (extension matched in any letter case);
// anything else gives no proposal.
std::optional<std::string> ProposeOutputName(std::string_view inputPath);

// True when the path ends in ".htm" or ".html" in any letter case.
bool HasHtmlExtension(std::string_view path);

// Whether two path texts are the same but for letter case: compared as
// texts, without resolving them (another spelling of the same file is not
// recognised). Letters fold only where they are characters of their own.
bool SamePathText(std::string_view a, std::string_view b, const CharacterSet& characters);

}  // namespace rowsift
