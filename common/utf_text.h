// The one conversion between UTF-8 and UTF-16, for the edges where a text
// truly changes form: the console, the settings, the messages and debug
// lines, a command line taken as UTF-8. Paths do not come here: the file
// layer carries them in the platform's own form.
#pragma once

#include <windows.h>

#include <climits>
#include <new>
#include <string>
#include <string_view>

namespace kit {

namespace utf_text_detail {

// The system's conversions count in int; a longer text is more than any
// window, console or setting holds.
inline int CheckedLength(std::size_t length) {
  if (length > INT_MAX) throw std::bad_alloc();
  return static_cast<int>(length);
}

}  // namespace utf_text_detail

// What is not valid in its own encoding (a stray byte, an unpaired
// surrogate) becomes U+FFFD, the replacement character; nothing fails but
// memory.
[[nodiscard]] inline std::wstring Utf16FromUtf8(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int length = utf_text_detail::CheckedLength(utf8.size());
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
  std::wstring text(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
  if (size > 0) ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, text.data(), size);
  return text;
}

[[nodiscard]] inline std::string Utf8FromUtf16(std::wstring_view utf16) {
  if (utf16.empty()) return {};
  const int length = utf_text_detail::CheckedLength(utf16.size());
  const int size =
      ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), length, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0)
    ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), length, text.data(), size, nullptr, nullptr);
  return text;
}

}  // namespace kit
