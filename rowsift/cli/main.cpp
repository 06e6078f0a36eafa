#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
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
  const auto decode = [](std::string_view bytes, unsigned codePage) {
    const int length = static_cast<int>(std::min<std::size_t>(bytes.size(), INT_MAX));
    const int size = ::MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) ::MultiByteToWideChar(codePage, 0, bytes.data(), length, text.data(), size);
    return kit::Utf8FromUtf16(text);
  };
  const rowsift::LogCodePages codePages{::GetACP(), spell, resolve, decode};
  rowsift::StandardStream out(STD_OUTPUT_HANDLE);
  rowsift::StandardStream err(STD_ERROR_HANDLE);
  return rowsift::RunCli(args, *files, codePages, out, err);
}

#else
#include <cerrno>
#include <iostream>

#include "unique_posix.h"

namespace {

// The logs' text as UTF-8, for the JUnit file: glibc's converter for the
// code page --codepage names; without one the logs are taken to be UTF-8.
std::string Decode(std::string_view bytes, unsigned codePage) {
  if (codePage == 0 || codePage == 65001) return std::string(bytes);
  const std::string name = codePage == 51949 ? "EUC-KR" : "CP" + std::to_string(codePage);
  const kit::unique_iconv converter(::iconv_open("UTF-8", name.c_str()));
  if (!converter) return std::string(bytes);
  std::string text(bytes.size() * 4, '\0');
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char* out = text.data();
  std::size_t outLeft = text.size();
  while (inLeft > 0) {
    if (::iconv(converter.get(), &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1))
      break;
    if (errno == E2BIG || outLeft < 3) break;
    // What the code page cannot map, or a character cut short.
    std::memcpy(out, "\xEF\xBF\xBD", 3);
    out += 3;
    outLeft -= 3;
    ++in;
    --inLeft;
  }
  text.resize(text.size() - outLeft);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const auto files = filelayer::MakePlatformFileSystem();
  // Arguments are the logs' own bytes, and there is no system code page:
  // one byte per character unless --codepage says otherwise.
  rowsift::LogCodePages codePages;
  codePages.decode = Decode;
  return rowsift::RunCli(args, *files, codePages, std::cout, std::cerr);
}
#endif
