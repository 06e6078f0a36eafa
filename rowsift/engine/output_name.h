// The file-name rules of the report filter: which files are logs and the
// output name proposed for one. They hold for the window and the command line
// alike and need nothing of the HTML engine. Paths are in the platform's own
// form (UTF-16 on Windows, a file name's own bytes on Linux) and only their
// ASCII endings are looked at: no unit of a character beyond ASCII reads as
// ASCII in either, so the rest passes through untouched.
#pragma once

#include <filesystem>
#include <optional>

namespace rowsift {

// The output name proposed for an input path: "X.htm" gives "X_Output.htm",
// "X.html" gives "X_Output.html" (extension matched in any letter case);
// anything else gives no proposal.
[[nodiscard]] std::optional<std::filesystem::path> ProposeOutputName(
    const std::filesystem::path& inputPath);

// True when the path ends in ".htm" or ".html" in any letter case.
[[nodiscard]] bool HasHtmlExtension(const std::filesystem::path& path);

}  // namespace rowsift
