// Windows for the window and control tests, made by the test program itself:
// a frame with one of every standard control the family drives, a window with
// a menu, plain children with given scroll bars, and an MDI frame running on
// a thread of its own, as another program's frame would.
#pragma once

#include <windows.h>

#include <string>
#include <thread>

#include "unique_resource.h"

namespace tandrel_test {

using kit::unique_window;

// The handle as a script passes it, and as the library writes it.
int HandleArgument(HWND window);
std::string HandleText(HWND window);

// A handle that named a window a moment ago and names none now.
HWND DestroyedWindowHandle();

// Runs the queued messages of the calling thread.
void PumpMessages();

// The controls frame: a captioned top-level window without a menu, shown at a
// fixed screen position, its children at fixed client positions.
struct ControlsWindow {
  static constexpr POINT kScreenOrigin = {100, 120};
  static constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW;
  static constexpr RECT kEditRect = {10, 10, 210, 34};  // client coordinates
  static constexpr int kListItemHeight = 20;
  static constexpr RECT kListRect = {220, 50, 370, 170};
  static constexpr int kTreeItemHeight = 20;
  static constexpr int kTreeHeight = 205;  // room for ten whole items
  static constexpr int kTreeIndent = 25;
  static constexpr RECT kCaptionedRect = {380, 220, 620, 320};
  static constexpr DWORD kCaptionedStyle = WS_CHILD | WS_VISIBLE | WS_CAPTION | WS_THICKFRAME;
  static constexpr int kEditId = 10;
  static constexpr int kMinusOneId = -1;

  ControlsWindow();

  unique_window frame;
  // Children, destroyed with the frame.
  HWND edit = nullptr;            // read-only, holding "old text"
  HWND focusButton = nullptr;     // push button "Focus"
  HWND checkButton = nullptr;     // check box "Check", checked and pressed
  HWND combo = nullptr;           // "alpha", "abacus", "abc", "beta", unsorted
  HWND list = nullptr;            // "zero" to "nine", each with its data value
  HWND tabs = nullptr;            // "One", "Two", "Three"; "One" selected
  HWND tree = nullptr;            // "Root" > "A" (> "A1"), "B"; "Root" expanded and selected
  HWND staticMinusOne = nullptr;  // a static control with identifier -1
  HWND captioned = nullptr;       // a plain child with caption and sizing frame
};

// The data values stored with the list items, by index.
constexpr int kListItemData[] = {0, 1, -1, 0x7FFFFFFF, -2147483647 - 1, 42, 7, 8, 9, 10};

// A captioned window with a menu bar: "&File" with "&Open" (id 101), an
// item of 300 characters (id 102) and one of exactly 255 (id 103).
struct MenuWindow {
  static constexpr int kOpenId = 101;
  static constexpr int kLongId = 102;
  static constexpr int kExactId = 103;
  static const std::string kLongText;   // 300 characters
  static const std::string kExactText;  // 255 characters

  MenuWindow();

  unique_window window;
};

// A plain top-most window that takes no activation, at `rect` on screen.
unique_window CreatePopup(const RECT& rect);

// A plain child of `parent` with the given scroll-bar styles.
unique_window CreateScrollableChild(HWND parent, DWORD scrollStyles);

// An MDI frame with its client and two children, "One" and "Two", on a
// thread that pumps their messages until the object is destroyed.
class MdiFrameThread {
 public:
  // With `children` false the client holds no child at all.
  explicit MdiFrameThread(bool children);
  MdiFrameThread(const MdiFrameThread&) = delete;
  MdiFrameThread& operator=(const MdiFrameThread&) = delete;
  ~MdiFrameThread();

  HWND Frame() const { return frame_; }
  HWND Client() const { return client_; }
  // "One" is the active child, though "Two" was made last.
  HWND ActiveChild() const { return children_[0]; }

 private:
  void Run(bool children);
  void Stop();

  kit::unique_handle ready_;
  DWORD threadId_ = 0;
  HWND frame_ = nullptr;
  HWND client_ = nullptr;
  HWND children_[2] = {};
  std::thread thread_;
};

}  // namespace tandrel_test
