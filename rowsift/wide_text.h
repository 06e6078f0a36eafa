// The filter text at the Windows edge of the report filter: the window and
// rowsift-cli.exe's command line hold UTF-16; the logs are bytes in a code
// page.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rowsift {

// `text` in the bytes of `codePage`; nothing when that code page cannot spell
// every character exactly (a look-alike or a '?' does not count) or the
// system does not know it.
[[nodiscard]] std::optional<std::string> SpellInCodePage(std::wstring_view text, unsigned codePage);

}  // namespace rowsift
