#include "standard_stream.h"

#include <algorithm>

#include "utf_text.h"

namespace rowsift {
namespace {

// WriteConsoleW takes at most this many characters at once on older Windows.
constexpr std::size_t kConsoleChunk = 8192;

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return ::GetConsoleMode(handle, &mode) != 0;
}

// Where `text` may be cut without splitting a UTF-8 sequence: before a
// sequence its end lacks bytes of.
std::size_t CompleteLength(const std::string& text) {
  for (std::size_t back = 1; back <= std::min<std::size_t>(3, text.size()); ++back) {
    const auto byte = static_cast<unsigned char>(text[text.size() - back]);
    if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: look further back
    const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    return length > back ? text.size() - back : text.size();
  }
  return text.size();
}

}  // namespace

StandardStream::StandardStream(DWORD which)
    : std::ostream(nullptr), buffer_(::GetStdHandle(which)) {
  rdbuf(&buffer_);
}

StandardStream::~StandardStream() { buffer_.pubsync(); }

StandardStream::Buffer::Buffer(HANDLE handle) : handle_(handle), console_(IsConsole(handle)) {}

StandardStream::Buffer::int_type StandardStream::Buffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  pending_ += traits_type::to_char_type(c);
  if (c == '\n') sync();
  return c;
}

std::streamsize StandardStream::Buffer::xsputn(const char* text, std::streamsize count) {
  pending_.append(text, static_cast<std::size_t>(count));
  if (pending_.find('\n') != std::string::npos) sync();
  return count;
}

int StandardStream::Buffer::sync() {
  const std::size_t complete = CompleteLength(pending_);
  Write(pending_.substr(0, complete));
  pending_.erase(0, complete);
  return 0;
}

// Failures are ignored, as the C runtime's streams ignore them: there is
// nowhere else to report them.
void StandardStream::Buffer::Write(const std::string& utf8) {
  if (utf8.empty() || !handle_ || handle_ == INVALID_HANDLE_VALUE) return;
  if (console_) {
    const std::wstring text = kit::Utf16FromUtf8(utf8);
    for (std::size_t at = 0; at < text.size();) {
      std::size_t count = std::min(kConsoleChunk, text.size() - at);
      // A surrogate pair stays whole.
      if (at + count < text.size() && IS_HIGH_SURROGATE(text[at + count - 1])) --count;
      DWORD written = 0;
      if (!::WriteConsoleW(handle_, text.data() + at, static_cast<DWORD>(count), &written, nullptr))
        return;
      at += count;
    }
    return;
  }
  std::string bytes;
  bytes.reserve(utf8.size() + static_cast<std::size_t>(std::count(utf8.begin(), utf8.end(), '\n')));
  for (char c : utf8) {
    if (c == '\n') bytes += '\r';
    bytes += c;
  }
  for (std::size_t at = 0; at < bytes.size();) {
    DWORD written = 0;
    if (!::WriteFile(handle_, bytes.data() + at, static_cast<DWORD>(bytes.size() - at), &written,
                     nullptr) ||
        written == 0) {
      return;
    }
    at += written;
  }
}

}  // namespace rowsift
