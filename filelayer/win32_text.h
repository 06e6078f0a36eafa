// Texts between the file layer, which speaks UTF-8, and the Windows wide
// functions, which speak UTF-16.
#pragma once

#include <string>
#include <string_view>

#include "file_system.h"

namespace filelayer {

// Both refuse a text that is not valid in its own encoding (stray bytes, an
// unpaired surrogate) with FileError ERROR_NO_UNICODE_TRANSLATION rather
// than turn it into some other name.
[[nodiscard]] std::wstring ToUtf16(std::string_view utf8);
[[nodiscard]] std::string ToUtf8(std::wstring_view utf16);

// Lower-cased by the system's rule for file names (not the linguistic one of
// any language). Throws FileError for what the system cannot map.
[[nodiscard]] std::wstring LowerCasedName(std::wstring_view text);

// The failure of a system call, described by the system itself.
[[nodiscard]] FileError SystemError(unsigned long code);

}  // namespace filelayer
