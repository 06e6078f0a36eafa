// What the capture and pixel tests share: windows that paint a known
// picture and a count of what repeated calls leave behind. Scratch folders
// and whole-file helpers come with it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "bitmap_format.h"
#include "process_resources.h"
#include "scratch_folder.h"
#include "unique_resource.h"

namespace tandrel_test {

// The colour a test window paints at a point of its client area.
using Painter = std::function<COLORREF(int x, int y)>;

// A colour for every point, different for neighbours.
inline COLORREF Gradient(int x, int y) {
  return RGB((x * 7 + y) & 0xFF, (y * 5 + 11) & 0xFF, (x * 3 + y * 2 + 100) & 0xFF);
}

// Lets the windows of this thread handle what is queued, then waits for the
// drawing to reach the screen.
inline void Settle() {
  MSG message;
  while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
  ::GdiFlush();
  ::Sleep(50);
  while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
}

// A shown top-level window (or a child of `parent`) that paints its client
// area with a Painter; destroyed with the object.
class PaintedWindow {
 public:
  PaintedWindow(const RECT& rect, DWORD style, Painter painter, HWND parent = nullptr)
      : painter_(std::move(painter)) {
    static const ATOM kWindowClass = Register();
    window_.reset(::CreateWindowExA(parent ? 0 : WS_EX_TOPMOST, MAKEINTATOM(kWindowClass),
                                    "Painted", style | WS_VISIBLE, rect.left, rect.top,
                                    rect.right - rect.left, rect.bottom - rect.top, parent, nullptr,
                                    ::GetModuleHandleA(nullptr), this));
    ::UpdateWindow(window_.get());
    Settle();
  }
  PaintedWindow(const PaintedWindow&) = delete;
  PaintedWindow& operator=(const PaintedWindow&) = delete;
  ~PaintedWindow() {
    window_.reset();
    Settle();
  }

  HWND get() const { return window_.get(); }
  int Handle() const { return static_cast<int>(HandleToLong(window_.get())); }

 private:
  static ATOM Register() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    windowClass.lpszClassName = "TandrelPaintedWindow";
    return ::RegisterClassA(&windowClass);
  }

  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
      ::SetWindowLongPtrA(
          window, GWLP_USERDATA,
          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lparam)->lpCreateParams));
    } else if (message == WM_ERASEBKGND) {
      return 1;
    } else if (message == WM_PAINT) {
      const auto* self =
          reinterpret_cast<PaintedWindow*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
      PAINTSTRUCT paint;
      const HDC dc = ::BeginPaint(window, &paint);
      RECT client;
      ::GetClientRect(window, &client);
      Paint(dc, client.right, client.bottom, self->painter_);
      ::EndPaint(window, &paint);
      return 0;
    }
    return ::DefWindowProcA(window, message, wparam, lparam);
  }

  static void Paint(HDC dc, int width, int height, const Painter& painter) {
    if (width <= 0 || height <= 0) return;
    std::vector<std::uint32_t> bits(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const COLORREF c = painter(x, y);
        bits[static_cast<std::size_t>(y) * width + x] =
            (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
      }
    const BITMAPINFO format = kit::TopDownRgbFormat(width, height);
    ::SetDIBitsToDevice(dc, 0, 0, width, height, 0, 0, 0, height, bits.data(), &format,
                        DIB_RGB_COLORS);
  }

  Painter painter_;
  kit::unique_window window_;
};

// What rounds of calls add to the memory the process has committed and to
// the GDI objects it holds, after a first round has let the system make what
// it makes once per process. Wine counts no GDI objects: there both counts
// read 0.
struct Growth {
  std::int64_t privateBytes = 0;
  std::int64_t gdiObjects = 0;
  bool gdiCounted = false;
};

template <typename Round>
Growth GrowthOver(int rounds, Round round) {
  round();
  const std::int64_t memory = CountCommittedPrivateBytes();
  const DWORD objects = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
  for (int i = 0; i < rounds; ++i) round();
  const DWORD objectsAfter = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
  Growth growth;
  growth.privateBytes = CountCommittedPrivateBytes() - memory;
  growth.gdiObjects = static_cast<std::int64_t>(objectsAfter) - objects;
  growth.gdiCounted = objects != 0 || objectsAfter != 0;
  return growth;
}

}  // namespace tandrel_test
