// The file-name rules of the report filter: which files are logs and the
// output name proposed for one. They hold for the window and the command line
// alike and need nothing of the HTML engine. Paths are UTF-8 (on Linux, a file
// name's own bytes): no byte of a character beyond ASCII reads as ASCII
// there, so the endings are compared byte for byte.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rowsift {

// The output name proposed for an input path: "X.htm" gives "X_Output.htm",
// "X.html" gives "X_Output.html" (extension matched in any letter case);
// anything else gives no proposal.
[[nodiscard]] std::optional<std::string> ProposeOutputName(std::string_view inputPath);

// True when the path ends in ".htm" or ".html" in any letter case.
[[nodiscard]] bool HasHtmlExtension(std::string_view path);

}  // namespace rowsift
