// Keyboard family: synthetic key strokes into the system's input stream.
#include <windows.h>

#include "conventions.h"
#include "error_handling.h"
#include "keystroke_script.h"
#include "tandrel.h"

namespace {

// Injects each event; whichever window has the focus when the system
// delivers it receives it.
class InputStreamSink final : public tandrel::KeyEventSink {
 public:
  void Send(const tandrel::KeyEvent& event) override {
    ::keybd_event(event.key, event.scan, event.up ? KEYEVENTF_KEYUP : 0, 0);
  }
};

std::uint16_t LayoutKeyFor(char character) {
  return static_cast<std::uint16_t>(::VkKeyScanA(character));
}

void Type(const char* text, bool holdAndRelease) {
  InputStreamSink sink;
  tandrel::TypeKeys(text, holdAndRelease, LayoutKeyFor, sink);
}

}  // namespace

TANDREL_EXPORT keybd_type(const char* text) noexcept {
  return kit::CatchReturn(0, [&] {
    Type(text, false);
    return 0;
  });
}

TANDREL_EXPORT keybd_type2(const char* text) noexcept {
  return kit::CatchReturn(0, [&] {
    Type(text, true);
    return 0;
  });
}

TANDREL_EXPORT print_scrn(const char* which) noexcept {
  return kit::CatchReturn(0, [&] {
    InputStreamSink sink;
    tandrel::PrintScreenKeys(which, sink);
    return 0;
  });
}

TANDREL_EXPORT capture_screen(int scanCode) noexcept {
  return kit::CatchReturn(0, [&] {
    InputStreamSink sink;
    tandrel::CaptureScreenKeys(scanCode, sink);
    return 0;
  });
}
