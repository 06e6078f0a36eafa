#include <optional>
#include <string>
#include <vector>

#include "cli_app.h"

#ifdef _WIN32
#include <windows.h>

#include <shellapi.h>

#include "standard_stream.h"
#include "unique_resource.h"
#include "utf_text.h"
#include "wide_text.h"

namespace {

// The arguments as typed, in any script; the C runtime's would be in the
// system code page, with '?' for what it cannot spell.
std::vector<std::string> Arguments() {
  int count = 0;
  const kit::unique_hlocal arguments(::CommandLineToArgvW(::GetCommandLineW(), &count));
  const auto* const wide = static_cast<const LPWSTR*>(arguments.get());
  std::vector<std::string> utf8;
  for (int i = 1; wide && i < count; ++i) utf8.push_back(kit::Utf8FromUtf16(wide[i]));
  return utf8;
}

}  // namespace

int main() {
  const std::vector<std::string> args = Arguments();
  const auto files = filelayer::MakePlatformFileSystem();
  // Logs are written in the system code page unless --codepage names another.
  const auto spell = [](const std::string& filter, unsigned codePage) {
    return rowsift::SpellInCodePage(kit::Utf16FromUtf8(filter), codePage);
  };
  const auto resolve = [](unsigned codePage) -> std::optional<unsigned> {
    if (codePage == CP_ACP) return ::GetACP();
    if (codePage == CP_OEMCP) return ::GetOEMCP();
    CPINFOEXW info;
    if (!::GetCPInfoExW(codePage, 0, &info)) return std::nullopt;
    return info.CodePage;  // the real one for the other pseudo numbers too
  };
  const rowsift::LogCodePages codePages{::GetACP(), spell, resolve};
  rowsift::StandardStream out(STD_OUTPUT_HANDLE);
  rowsift::StandardStream err(STD_ERROR_HANDLE);
  return rowsift::RunCli(args, *files, codePages, out, err);
}

#else
#include <iostream>

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const auto files = filelayer::MakePlatformFileSystem();
  // Arguments are the logs' own bytes, and there is no system code page:
  // one byte per character unless --codepage says otherwise.
  return rowsift::RunCli(args, *files, {}, std::cout, std::cerr);
}
#endif
