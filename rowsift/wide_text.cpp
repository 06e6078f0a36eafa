#include "wide_text.h"

#include <windows.h>

#include <climits>
#include <new>

namespace rowsift {
namespace {

// The conversion functions count in int; a longer text is more than any
// window or command line holds.
int CheckedLength(std::size_t length) {
  if (length > INT_MAX) throw std::bad_alloc();
  return static_cast<int>(length);
}

std::wstring ToUtf16(unsigned codePage, std::string_view bytes) {
  if (bytes.empty()) return {};
  const int length = CheckedLength(bytes.size());
  const int size = ::MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
  std::wstring text(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
  if (size > 0) ::MultiByteToWideChar(codePage, 0, bytes.data(), length, text.data(), size);
  return text;
}

std::string FromUtf16(unsigned codePage, std::wstring_view text) {
  if (text.empty()) return {};
  const int length = CheckedLength(text.size());
  const int size =
      ::WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0)
    ::WideCharToMultiByte(codePage, 0, text.data(), length, bytes.data(), size, nullptr, nullptr);
  return bytes;
}

}  // namespace

std::optional<std::string> SpellInCodePage(std::wstring_view text, unsigned codePage) {
  if (text.empty()) return std::string();
  std::string spelt = FromUtf16(codePage, text);
  // What the code page lacks comes out as a look-alike or its default
  // character: read back, the text differs.
  if (spelt.empty() || ToUtf16(codePage, spelt) != text) return std::nullopt;
  return spelt;
}

}  // namespace rowsift
