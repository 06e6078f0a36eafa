#include "win32_text.h"

#include <windows.h>

#include <climits>
#include <optional>

#include "unique_resource.h"

namespace filelayer {
namespace {

[[noreturn]] void FailUntranslatable() { throw SystemError(ERROR_NO_UNICODE_TRANSLATION); }

int CheckedLength(std::size_t length) {
  if (length > INT_MAX) FailUntranslatable();
  return static_cast<int>(length);
}

// Never fails: the system's own texts are valid UTF-16.
std::string DescriptionToUtf8(const wchar_t* text, int length) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string converted(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0)
    ::WideCharToMultiByte(CP_UTF8, 0, text, length, converted.data(), size, nullptr, nullptr);
  return converted;
}

// Nothing for a text that is not UTF-8.
std::optional<std::wstring> LowerCased(std::string_view utf8) {
  try {
    return LowerCasedName(ToUtf16(utf8));
  } catch (const FileError&) {
    return std::nullopt;
  }
}

}  // namespace

std::wstring ToUtf16(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int length = CheckedLength(utf8.size());
  const int size =
      ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, nullptr, 0);
  if (size == 0) FailUntranslatable();
  std::wstring text(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, text.data(), size);
  return text;
}

std::string ToUtf8(std::wstring_view utf16) {
  if (utf16.empty()) return {};
  const int length = CheckedLength(utf16.size());
  const int size = ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, utf16.data(), length,
                                         nullptr, 0, nullptr, nullptr);
  if (size == 0) FailUntranslatable();
  std::string text(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, utf16.data(), length, text.data(), size,
                        nullptr, nullptr);
  return text;
}

std::wstring LowerCasedName(std::wstring_view text) {
  if (text.empty()) return {};
  const int length = CheckedLength(text.size());
  const int size = ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, text.data(), length,
                                   nullptr, 0, nullptr, nullptr, 0);
  if (size <= 0) FailUntranslatable();
  std::wstring lower(static_cast<std::size_t>(size), L'\0');
  ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, text.data(), length, lower.data(), size,
                  nullptr, nullptr, 0);
  return lower;
}

FileError SystemError(unsigned long code) {
  kit::unique_hlocal buffer;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<LPWSTR>(buffer.put()), 0, nullptr);
  if (length == 0) return FileError("Unknown error " + std::to_string(code) + ".", code);

  std::string text =
      DescriptionToUtf8(static_cast<const wchar_t*>(buffer.get()), static_cast<int>(length));
  const std::size_t end = text.find_last_not_of(" \t\r\n");
  text.erase(end == std::string::npos ? 0 : end + 1);
  return FileError(text, code);
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a == b) return true;
  const std::optional<std::wstring> lowerA = LowerCased(a);
  const std::optional<std::wstring> lowerB = LowerCased(b);
  return lowerA && lowerB && *lowerA == *lowerB;
}

}  // namespace filelayer
