// The keyboard family's rules, apart from the system: which key events a text,
// a screen-copy request or a scan code turns into.
#pragma once

#include <cstdint>

namespace tandrel {

// Virtual-key codes the rules name.
constexpr std::uint8_t kShift = 16;
constexpr std::uint8_t kAlt = 18;
constexpr std::uint8_t kSnapshot = 44;

struct KeyEvent {
  std::uint8_t key;  // virtual-key code
  std::uint8_t scan;
  bool up;
};

// Where the events go: the system's input stream, or a recorder in tests.
class KeyEventSink {
 public:
  virtual ~KeyEventSink() = default;
  virtual void Send(const KeyEvent& event) = 0;
};

// The key that types a character, as the system's layout answers it: key code
// in the low byte, shift state in the high byte (0xFFFF when no key makes it).
using KeyForCharacter = std::uint16_t (*)(char character);

// Types `text`, where "<n>" presses the key with virtual-key code n. With
// holdAndRelease, a "-" or "+" after a key that follows a tag holds that key
// down or lets it up instead.
void TypeKeys(const char* text, bool holdAndRelease, KeyForCharacter keyFor,
              KeyEventSink& sink) noexcept;

// Print Screen down, inside an Alt press when `which` is exactly "Active".
void PrintScreenKeys(const char* which, KeyEventSink& sink) noexcept;

// One Print Screen key-down carrying the low 8 bits of `scan`.
void CaptureScreenKeys(int scan, KeyEventSink& sink) noexcept;

}  // namespace tandrel
