// One GetPixel call per point is a trip into the graphics system, and a
// full screen read that way (with its file access per point) takes seconds,
// long enough for the window to change under the reading. So rectangles are
// copied at once into a memory bitmap, and the DC's visible region says which
// points GetPixel would refuse.
#include "pixel_reader.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>

#include "bitmap_format.h"

namespace tandrel {
namespace {

constexpr int kSystemRegion = SYSRGN;
constexpr int kClipAndMetaRegion = 3;  // GetRandomRgn's APIRGN

void ReadPointByPoint(HDC dc, int left, int top, int columns, int rows, COLORREF* colours) {
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < columns; ++x) *colours++ = ::GetPixel(dc, left + x, top + y);
}

// Below 24 bits per pixel, or through a palette, a copy converts colours its
// own way, which need not be GetPixel's.
bool CopiesColoursExactly(HDC dc) {
  return ::GetDeviceCaps(dc, BITSPIXEL) * ::GetDeviceCaps(dc, PLANES) >= 24 &&
         !(::GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE);
}

// Logical points are device points: no mapping mode, origin, transform or
// mirrored layout that an own DC may carry.
bool MapsOneToOne(HDC dc) {
  POINT probe[3] = {{0, 0}, {1000, 0}, {0, 1000}};
  const POINT expected[3] = {{0, 0}, {1000, 0}, {0, 1000}};
  if (!::LPtoDP(dc, probe, 3)) return false;
  return std::equal(std::begin(probe), std::end(probe), std::begin(expected),
                    [](const POINT& a, const POINT& b) { return a.x == b.x && a.y == b.y; });
}

// The region where GetPixel answers with a colour, in device coordinates:
// the visible region (kept in screen coordinates) within any clipping the
// DC's owner set. Null when the system does not tell.
kit::unique_hgdiobj ReadableRegion(HDC dc) {
  kit::unique_hgdiobj visible(::CreateRectRgn(0, 0, 0, 0));
  kit::unique_hgdiobj clip(::CreateRectRgn(0, 0, 0, 0));
  POINT origin;
  if (!visible || !clip ||
      ::GetRandomRgn(dc, static_cast<HRGN>(visible.get()), kSystemRegion) != 1 ||
      !::GetDCOrgEx(dc, &origin))
    return {};
  const auto region = static_cast<HRGN>(visible.get());
  ::OffsetRgn(region, -origin.x, -origin.y);
  switch (::GetRandomRgn(dc, static_cast<HRGN>(clip.get()), kClipAndMetaRegion)) {
    case 0:
      break;
    case 1:
      ::CombineRgn(region, region, static_cast<HRGN>(clip.get()), RGN_AND);
      break;
    default:
      return {};
  }
  return visible;
}

}  // namespace

PixelReader::PixelReader(HDC dc) : dc_(dc) {
  if (CopiesColoursExactly(dc) && MapsOneToOne(dc)) {
    readable_ = ReadableRegion(dc);
    memory_.reset(::CreateCompatibleDC(dc));
  }
}

void PixelReader::Read(int left, int top, int columns, int rows, COLORREF* colours) const {
  if (!ReadInBulk(left, top, columns, rows, colours))
    ReadPointByPoint(dc_, left, top, columns, rows, colours);
}

bool PixelReader::ReadInBulk(int left, int top, int columns, int rows, COLORREF* colours) const {
  if (!readable_ || !memory_) return false;
  std::fill_n(colours, static_cast<std::size_t>(columns) * rows, CLR_INVALID);

  // Only the part of the area that the readable region reaches is copied.
  RECT box;
  if (::GetRgnBox(static_cast<HRGN>(readable_.get()), &box) == NULLREGION) return true;
  const RECT wanted = {
      static_cast<LONG>(std::max<std::int64_t>(box.left, left)),
      static_cast<LONG>(std::max<std::int64_t>(box.top, top)),
      static_cast<LONG>(std::min<std::int64_t>(box.right, std::int64_t{left} + columns)),
      static_cast<LONG>(std::min<std::int64_t>(box.bottom, std::int64_t{top} + rows))};
  if (wanted.left >= wanted.right || wanted.top >= wanted.bottom) return true;
  const kit::unique_hgdiobj cut(::CreateRectRgnIndirect(&wanted));
  const auto region = static_cast<HRGN>(cut.get());
  if (!cut || ::CombineRgn(region, region, static_cast<HRGN>(readable_.get()), RGN_AND) == ERROR)
    return false;
  if (::GetRgnBox(region, &box) == NULLREGION) return true;

  const int copyWidth = box.right - box.left, copyHeight = box.bottom - box.top;
  const BITMAPINFO format = kit::TopDownRgbFormat(copyWidth, copyHeight);
  void* bits = nullptr;
  const kit::unique_hgdiobj copy(
      ::CreateDIBSection(dc_, &format, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!copy) return false;
  {
    const kit::unique_selection selected = kit::SelectInto(memory_.get(), copy.get());
    if (!selected ||
        !::BitBlt(memory_.get(), 0, 0, copyWidth, copyHeight, dc_, box.left, box.top, SRCCOPY))
      return false;
  }
  ::GdiFlush();

  const DWORD dataBytes = ::GetRegionData(region, 0, nullptr);
  const std::unique_ptr<BYTE[]> data(new (std::nothrow) BYTE[dataBytes]);
  if (!data || ::GetRegionData(region, dataBytes, reinterpret_cast<RGNDATA*>(data.get())) == 0)
    return false;
  const auto* header = reinterpret_cast<const RGNDATAHEADER*>(data.get());
  const auto* rects = reinterpret_cast<const RECT*>(data.get() + header->dwSize);
  const auto* copied = static_cast<const std::uint32_t*>(bits);
  for (DWORD i = 0; i < header->nCount; ++i) {
    const RECT& part = rects[i];
    for (LONG y = part.top; y < part.bottom; ++y) {
      const std::uint32_t* from =
          copied + static_cast<std::size_t>(y - box.top) * copyWidth + (part.left - box.left);
      COLORREF* to = colours + static_cast<std::size_t>(y - top) * columns + (part.left - left);
      for (LONG x = part.left; x < part.right; ++x) {
        const std::uint32_t bgrx = *from++;  // blue in the low byte
        *to++ = RGB((bgrx >> 16) & 0xFF, (bgrx >> 8) & 0xFF, bgrx & 0xFF);
      }
    }
  }
  return true;
}

}  // namespace tandrel
