// What the program learns from how it was started: the debug switch on its
// command line and its own name, under which its settings are kept. Texts
// are UTF-8, in which no byte of a character beyond ASCII reads as a blank,
// a quote or a separator.
#pragma once

#include <string>
#include <string_view>

namespace rowsift {

// What follows the program name on a full command line (as GetCommandLineW
// gives it), without the blanks in front of it. The program name ends at the
// first blank outside double quotes, so a quoted path may hold blanks.
[[nodiscard]] std::string_view ArgumentText(std::string_view commandLine);

// Debug mode is asked for only by an argument text that is "-debug" in any
// letter case and nothing else.
[[nodiscard]] bool IsDebugSwitch(std::string_view argumentText);

// The program file's name without its folder and extension: "Rowsift" for
// "C:\Tools\Rowsift.exe".
[[nodiscard]] std::string ProgramName(std::string_view modulePath);

}  // namespace rowsift
