#include "keystroke_script.h"

#include <cstddef>
#include <cstring>

#include "text_conventions.h"

namespace tandrel {
namespace {

constexpr std::size_t kTagCapacity = 7;  // characters, without the terminator
constexpr std::uint16_t kShiftState = 1;

// The typists always send scan code 0.
void Send(KeyEventSink& sink, std::uint8_t key, bool up) { sink.Send(KeyEvent{key, 0, up}); }

}  // namespace

void TypeKeys(const char* text, bool holdAndRelease, KeyForCharacter keyFor,
              KeyEventSink& sink) noexcept {
  const std::size_t length = std::strlen(text);
  bool inTag = false;
  bool armed = false;  // set by every ">", used up by the next "-" or "+" suffix
  char tag[kTagCapacity + 1] = {};
  std::size_t tagLength = 0;
  for (std::size_t p = 0; p < length; ++p) {
    const char c = text[p];
    std::uint8_t key = 0;
    bool shift = false;
    if (c == '<') {
      inTag = true;
      continue;
    }
    if (c == '>') {
      inTag = false;
      tag[tagLength] = '\0';
      key = static_cast<std::uint8_t>(ReadLong(tag) & 0xFF);
      tagLength = 0;
      armed = true;
    } else if (inTag) {
      // Characters beyond the buffer's seven are dropped, never stored.
      if (tagLength < kTagCapacity) tag[tagLength++] = c;
      continue;
    }
    // Key code 0: an ordinary character, or a ">" whose tag names no key,
    // which then types itself.
    if (key == 0) {
      const std::uint16_t typed = keyFor(c);
      key = static_cast<std::uint8_t>(typed & 0xFF);
      shift = (typed >> 8) == kShiftState;
    }
    if (shift) Send(sink, kShift, false);
    const char next = text[p + 1];
    if (holdAndRelease && armed && (next == '-' || next == '+')) {
      // A held or released key keeps its Shift down.
      Send(sink, key, next == '+');
      armed = false;
      ++p;
      continue;
    }
    Send(sink, key, false);
    Send(sink, key, true);
    if (shift) Send(sink, kShift, true);
  }
}

void PrintScreenKeys(const char* which, KeyEventSink& sink) noexcept {
  // Alt with Print Screen copies the active window rather than the screen.
  const bool active = std::strcmp(which, "Active") == 0;
  if (active) Send(sink, kAlt, false);
  Send(sink, kSnapshot, false);
  if (active) Send(sink, kAlt, true);
}

void CaptureScreenKeys(int scan, KeyEventSink& sink) noexcept {
  sink.Send(KeyEvent{kSnapshot, static_cast<std::uint8_t>(scan & 0xFF), false});
}

}  // namespace tandrel
