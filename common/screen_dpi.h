// The screen's logical resolution, which turns a layout in twips into pixels.
#pragma once

#include <windows.h>

#include "unique_resource.h"

namespace kit {

struct ScreenDpi {
  int x = USER_DEFAULT_SCREEN_DPI;
  int y = USER_DEFAULT_SCREEN_DPI;
};

// Pixels per logical inch across and down; 96 when the screen cannot be read.
[[nodiscard]] inline ScreenDpi GetScreenDpi() noexcept {
  const unique_window_dc screen = GetScreenDc();
  if (!screen) return {};
  return {::GetDeviceCaps(screen.get().dc, LOGPIXELSX),
          ::GetDeviceCaps(screen.get().dc, LOGPIXELSY)};
}

}  // namespace kit
