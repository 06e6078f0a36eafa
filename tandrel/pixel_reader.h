// Reads a rectangle of a DC's pixels with the answers GetPixel gives point by
// point, in one copy of the rectangle where the device allows it.
#pragma once

#include <windows.h>

namespace tandrel {

// Fills `colours` (columns × rows values, top row first, left to right) with
// what GetPixel(dc, x, y) answers for x from left and y from top onwards:
// the colour as 0x00BBGGRR, CLR_INVALID outside the DC's visible region.
void ReadPixels(HDC dc, int left, int top, int columns, int rows, COLORREF* colours);

}  // namespace tandrel
