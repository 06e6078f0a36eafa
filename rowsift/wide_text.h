// Texts at the Windows edge of the report filter: the window, its settings
// and rowsift-cli.exe's command line hold UTF-16; the parse run and the file
// layer take UTF-8; the logs are bytes in a code page.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rowsift {

// What is not valid in its own encoding (a stray byte, an unpaired
// surrogate) becomes U+FFFD, which no file name holds; nothing else fails
// but memory.
[[nodiscard]] std::wstring Utf16FromUtf8(std::string_view utf8);
[[nodiscard]] std::string Utf8FromUtf16(std::wstring_view utf16);

// `text` in the bytes of `codePage`; nothing when that code page cannot spell
// every character exactly (a look-alike or a '?' does not count) or the
// system does not know it.
[[nodiscard]] std::optional<std::string> SpellInCodePage(std::wstring_view text, unsigned codePage);

}  // namespace rowsift
