// Window and control family: each export reads or drives one window of any
// program, named by its handle, through window functions or control messages
// sent with SendMessageA, and hands back what the window answered.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdint>

#include "conventions.h"
#include "error_handling.h"
#include "screen_dpi.h"
#include "tandrel.h"
#include "unique_resource.h"

namespace tandrel {
namespace {

// Window and menu texts: 255 characters and the terminator.
constexpr int kTextBufferBytes = 256;
constexpr int kTwipsPerInch = 1440;
// Where a tooltip shows, beyond the cursor's lower right corner.
constexpr int kTooltipOffset = 5;
constexpr int kAltSelectNoMatch = -10105;

int Reply(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return static_cast<int>(::SendMessageA(window, message, wparam, lparam));
}

// A probe point far off screen (from extreme offsets) saturates instead of
// wrapping around onto a window.
LONG ScreenCoordinate(std::int64_t value) {
  return static_cast<LONG>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

int WindowAtTooltipPosition(char* out, int dx, int dy) {
  POINT cursor = {};
  ::GetCursorPos(&cursor);
  const LONG x = ScreenCoordinate(std::int64_t{cursor.x} + ::GetSystemMetrics(SM_CXCURSOR) + dx);
  const LONG y = ScreenCoordinate(std::int64_t{cursor.y} + ::GetSystemMetrics(SM_CYCURSOR) + dy);
  return win_from_point(x, y, out);
}

// Moves a standard scroll bar to `probe`, then to the end of its range, then
// back to its start. On the second move a bar that is not there answers 0 for
// its old position; one that is there answers the probe, or the end of its
// range nearest the probe when the range does not reach it. So any nonzero
// answer means a bar, also where the answer is not the probe itself.
bool ScrollBarAnswers(HWND window, int bar, int probe) {
  int minimum = 0;
  int maximum = 0;
  ::GetScrollRange(window, bar, &minimum, &maximum);
  ::SetScrollPos(window, bar, probe, TRUE);
  const int held = ::SetScrollPos(window, bar, maximum, TRUE);
  ::SetScrollPos(window, bar, minimum, TRUE);
  return held != 0;
}

// The products and quotients are formed in double precision, in the order
// written, and only the results are rounded to single precision.
float TwipsToPixels(float twips, int pixelsPerInch) {
  const float perTwip = 1.0f / kTwipsPerInch;
  return static_cast<float>(static_cast<double>(twips) * perTwip * pixelsPerInch);
}

float PixelsToTwips(float pixels, int pixelsPerInch) {
  return static_cast<float>(static_cast<double>(pixels) / pixelsPerInch * kTwipsPerInch);
}

}  // namespace
}  // namespace tandrel

TANDREL_EXPORT set_win_title(int window, const char* text) noexcept {
  return kit::CatchReturn(
      1, [&] { return ::SetWindowTextA(tandrel::WindowOf(window), text) == 1 ? 0 : 1; });
}

TANDREL_EXPORT get_win_text(int window, char* out) noexcept {
  return kit::CatchReturn(0, [&] {
    out[0] = '\0';  // also for a handle that names no window
    ::GetWindowTextA(tandrel::WindowOf(window), out, tandrel::kTextBufferBytes);
    return 0;
  });
}

TANDREL_EXPORT get_button_focus(int window) noexcept {
  return kit::CatchReturn(0, [&] {
    const int state = tandrel::Reply(tandrel::WindowOf(window), BM_GETSTATE, 0, 0);
    return (state & 0xFF & BST_FOCUS) != 0 ? 1 : 0;
  });
}

TANDREL_EXPORT ClientToWinCoord(int window, int x, int y, char* outX, char* outY) noexcept {
  return kit::CatchReturn(0, [&] {
    const HWND target = tandrel::WindowOf(window);
    POINT point = {x, y};
    ::ClientToScreen(target, &point);
    RECT outer = {};
    if (!::GetWindowRect(target, &outer)) {
      // No window, no coordinates: empty texts rather than a made-up point.
      outX[0] = outY[0] = '\0';
      return 0;
    }
    tandrel::WriteDecimal(outX, point.x - outer.left);
    tandrel::WriteDecimal(outY, point.y - outer.top);
    return 0;
  });
}

TANDREL_EXPORT web_obj_get_abs_pos(int window, char* outLeft, char* outTop) noexcept {
  return kit::CatchReturn(0, [&] {
    RECT outer = {};
    const BOOL read = ::GetWindowRect(tandrel::WindowOf(window), &outer);
    if (!read) {
      outLeft[0] = outTop[0] = '\0';
      return 0;
    }
    tandrel::WriteDecimal(outLeft, outer.left);
    tandrel::WriteDecimal(outTop, outer.top);
    return static_cast<int>(read);
  });
}

TANDREL_EXPORT win_from_point(int x, int y, char* out) noexcept {
  return kit::CatchReturn(0, [&] {
    tandrel::WriteDecimal(out, tandrel::HandleNumber(::WindowFromPoint(POINT{x, y})));
    return 0;
  });
}

TANDREL_EXPORT get_tooltip_hwnd(char* out) noexcept {
  return kit::CatchReturn(0, [&] {
    return tandrel::WindowAtTooltipPosition(out, tandrel::kTooltipOffset, tandrel::kTooltipOffset);
  });
}

TANDREL_EXPORT get_tooltip_hwnd2(char* out, int dx, int dy) noexcept {
  return kit::CatchReturn(0, [&] { return tandrel::WindowAtTooltipPosition(out, dx, dy); });
}

TANDREL_EXPORT win_has_scroll(int window) noexcept {
  return kit::CatchReturn(0, [&] {
    // Both bars are left at the start of their ranges; their old positions are
    // not restored.
    const HWND target = tandrel::WindowOf(window);
    const bool horizontal = tandrel::ScrollBarAnswers(target, SB_HORZ, 1);
    const bool vertical = tandrel::ScrollBarAnswers(target, SB_VERT, 2);
    return (horizontal ? 1 : 0) + (vertical ? 2 : 0);
  });
}

TANDREL_EXPORT type_edit(int window, const char* text) noexcept {
  return kit::CatchReturn(0, [&] {
    const HWND edit = tandrel::WindowOf(window);
    ::SendMessageA(edit, EM_SETREADONLY, FALSE, 0);
    ::SendMessageA(edit, EM_SETSEL, 0, -1);
    ::SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text));
    return 0;
  });
}

TANDREL_EXPORT get_menu_name(int window, int itemId, char* out) noexcept {
  return kit::CatchReturn(0, [&] {
    // Some systems fill a short buffer without terminating it, and none
    // touches it when there is no such item: the text is terminated here in
    // every case.
    out[0] = '\0';
    const int copied =
        ::GetMenuStringA(::GetMenu(tandrel::WindowOf(window)), static_cast<UINT>(itemId), out,
                         tandrel::kTextBufferBytes, MF_BYCOMMAND);
    const int length = std::clamp(copied, 0, tandrel::kTextBufferBytes - 1);
    out[length] = '\0';
    return length;
  });
}

TANDREL_EXPORT get_dlg_id(int window, char* out) noexcept {
  return kit::CatchReturn(0, [&] {
    tandrel::WriteDecimal(out, ::GetDlgCtrlID(tandrel::WindowOf(window)));
    return 0;
  });
}

TANDREL_EXPORT CB_sel_item(int window, const char* text) noexcept {
  return kit::CatchReturn(CB_ERR, [&] {
    return tandrel::Reply(tandrel::WindowOf(window), CB_SELECTSTRING, static_cast<WPARAM>(-1),
                          reinterpret_cast<LPARAM>(text));
  });
}

TANDREL_EXPORT alt_list_select_item(int window, const char* text) noexcept {
  return kit::CatchReturn(tandrel::kAltSelectNoMatch, [&] {
    return CB_sel_item(window, text) == CB_ERR ? tandrel::kAltSelectNoMatch : 0;
  });
}

TANDREL_EXPORT list_get_sel_item(int window, char* outLeft, char* outTop, char* outRight,
                                 char* outBottom) noexcept {
  return kit::CatchReturn(-1, [&] {
    const HWND list = tandrel::WindowOf(window);
    // A handle that names no window answers every request with 0, which would
    // pass for the first item's rectangle: there is no rectangle to write.
    if (!::IsWindow(list)) return -1;
    const int selected = tandrel::Reply(list, LB_GETCURSEL, 0, 0);
    RECT item = {};
    if (tandrel::Reply(list, LB_GETITEMRECT, static_cast<WPARAM>(selected),
                       reinterpret_cast<LPARAM>(&item)) == LB_ERR)
      return -1;
    tandrel::WriteDecimal(outLeft, item.left);
    tandrel::WriteDecimal(outTop, item.top);
    tandrel::WriteDecimal(outRight, item.right);
    tandrel::WriteDecimal(outBottom, item.bottom);
    return 0;
  });
}

TANDREL_EXPORT is_lb_item_checked(int window, int index) noexcept {
  return kit::CatchReturn(LB_ERR, [&] {
    if (window == 0) {
      ::MessageBoxA(nullptr, "nope", nullptr, MB_OK);
      return LB_ERR;
    }
    return tandrel::Reply(tandrel::WindowOf(window), LB_GETITEMDATA, static_cast<WPARAM>(index), 0);
  });
}

TANDREL_EXPORT col_brnch(int window) noexcept {
  return kit::CatchReturn(0, [&] {
    const HWND tree = tandrel::WindowOf(window);
    const LRESULT selected = ::SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    return tandrel::Reply(tree, TVM_EXPAND, TVE_COLLAPSE | TVE_COLLAPSERESET, selected);
  });
}

TANDREL_EXPORT rclick_tvitem(int window, char* outCount) noexcept {
  return kit::CatchReturn(0, [&] {
    const HWND tree = tandrel::WindowOf(window);
    tandrel::WriteDecimal(outCount, tandrel::Reply(tree, TVM_GETVISIBLECOUNT, 0, 0));
    return tandrel::Reply(tree, TVM_GETINDENT, 0, 0);
  });
}

TANDREL_EXPORT sel_tab(int window, int tabIndex) noexcept {
  return kit::CatchReturn(-1, [&] {
    return tandrel::Reply(tandrel::WindowOf(window), TCM_SETCURSEL, static_cast<WPARAM>(tabIndex),
                          0);
  });
}

TANDREL_EXPORT get_sel_tab(int window) noexcept {
  return kit::CatchReturn(
      -1, [&] { return tandrel::Reply(tandrel::WindowOf(window), TCM_GETCURSEL, 0, 0); });
}

TANDREL_EXPORT get_active_mdi_child(int window) noexcept {
  return kit::CatchReturn(0, [&] {
    // The frame of any program keeps its children in its MDI client window; a
    // window without one, or a client without an active child, shows "0".
    const HWND frame = tandrel::WindowOf(window);
    const HWND client = frame ? ::FindWindowExA(frame, nullptr, "MDICLIENT", nullptr) : nullptr;
    const HWND active =
        client ? reinterpret_cast<HWND>(::SendMessageA(client, WM_MDIGETACTIVE, 0, 0)) : nullptr;
    char text[12];
    tandrel::WriteDecimal(text, tandrel::HandleNumber(active));
    ::MessageBoxA(nullptr, text, nullptr, MB_OK);
    return 0;
  });
}

// Lengths that cannot be converted stay as they were, and the first is
// answered.
TANDREL_FLOAT_EXPORT twips_to_pix(float* x, float* y) noexcept {
  return kit::CatchReturn(*x, [&] {
    const kit::ScreenDpi dpi = kit::GetScreenDpi();
    *x = tandrel::TwipsToPixels(*x, dpi.x);
    *y = tandrel::TwipsToPixels(*y, dpi.y);
    return *x;
  });
}

TANDREL_FLOAT_EXPORT pix_to_twips(float* x, float* y) noexcept {
  return kit::CatchReturn(*x, [&] {
    const kit::ScreenDpi dpi = kit::GetScreenDpi();
    *x = tandrel::PixelsToTwips(*x, dpi.x);
    *y = tandrel::PixelsToTwips(*y, dpi.y);
    return *x;
  });
}
