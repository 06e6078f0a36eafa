// Reads a rectangle of a DC's pixels with the answers GetPixel gives point by
// point, in one copy of the rectangle where the device allows it.
#pragma once

#include <windows.h>

#include "unique_resource.h"

namespace tandrel {

// Reads pixels of one DC, whose visible region is taken once, when made.
class PixelReader {
 public:
  explicit PixelReader(HDC dc);

  // Fills `colours` (columns × rows values, top row first, left to right)
  // with what GetPixel(dc, x, y) answers for x from left and y from top
  // onwards: the colour as 0x00BBGGRR, CLR_INVALID outside the DC's visible
  // region.
  void Read(int left, int top, int columns, int rows, COLORREF* colours) const;

 private:
  [[nodiscard]] bool ReadInBulk(int left, int top, int columns, int rows, COLORREF* colours) const;

  HDC dc_;
  kit::unique_hgdiobj readable_;  // null: read point by point
  kit::unique_hdc memory_;
};

}  // namespace tandrel
