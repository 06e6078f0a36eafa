// The one bitmap format the kit reads pixels in.
#pragma once

#include <windows.h>

namespace kit {

// 32-bit pixels, 0x00RRGGBB, the top row first.
[[nodiscard]] inline BITMAPINFO TopDownRgbFormat(int width, int height) noexcept {
  BITMAPINFO format = {};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = width;
  format.bmiHeader.biHeight = -height;
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  return format;
}

}  // namespace kit
