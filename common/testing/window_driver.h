// Drives the windows of another program the way a person would, for
// end-to-end tests: start it, find its windows, type into its edits, press
// its buttons, answer its message boxes and file dialogs, look at it, close
// it. Every wait has a timeout and throws DriverError when it runs out, so a
// test stops with the reason instead of hanging.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "unique_resource.h"

namespace kit::testing {

using Timeout = std::chrono::milliseconds;
inline constexpr Timeout kDefaultTimeout{10000};

class DriverError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Polls `condition` until it holds; throws DriverError saying "waiting for
// <what>" when `timeout` runs out first.
void WaitUntil(const std::function<bool()>& condition, const std::string& what,
               Timeout timeout = kDefaultTimeout);

// A started program. Ending the test with it still running terminates it, so
// a failed test leaves nothing behind.
class Process {
 public:
  // Runs `program` with the command line `"program" arguments`, in
  // `workingFolder` (the caller's when empty).
  static Process Launch(const std::string& program, const std::string& arguments = {},
                        const std::string& workingFolder = {});

  Process(Process&&) noexcept = default;
  Process& operator=(Process&&) = delete;
  ~Process();

  DWORD Id() const { return id_; }
  bool Running() const;
  // Throws when the program is still running after `timeout`.
  DWORD WaitForExit(Timeout timeout = kDefaultTimeout) const;
  // Waits until the program first waits for input (a no-op for programs
  // without windows); throws after `timeout`.
  void WaitForInputIdle(Timeout timeout = kDefaultTimeout) const;

 private:
  Process(HANDLE process, HANDLE thread, DWORD id);

  kit::unique_handle process_;
  kit::unique_handle thread_;  // held only to be closed
  DWORD id_ = 0;
};

// --- Windows -------------------------------------------------------------

std::string ClassName(HWND window);
DWORD ProcessOf(HWND window);
DWORD ThreadOf(HWND window);

// The visible top-level windows of a process (owned ones, such as dialogs,
// included), topmost first.
std::vector<HWND> TopLevelWindows(DWORD processId);
// The first visible top-level window of the process whose class and caption
// match; an empty text matches any. Null when there is none.
HWND FindTopLevelWindow(DWORD processId, const std::string& className, const std::string& caption);
// Waits for the program to get ready and show that window.
HWND WaitForTopLevelWindow(const Process& process, const std::string& className,
                           const std::string& caption, Timeout timeout = kDefaultTimeout);
void WaitForWindowGone(HWND window, Timeout timeout = kDefaultTimeout);

// The child with that control id; throws when there is none.
HWND Control(HWND parent, int id);
// Direct children in z-order, which is also the dialog tab order.
std::vector<HWND> Children(HWND parent);

// Window texts through the messages, so they work across processes and wait
// (with a timeout) while the program is busy.
std::string Text(HWND window, Timeout timeout = kDefaultTimeout);
void SetText(HWND window, const std::string& text, Timeout timeout = kDefaultTimeout);
// The same in UTF-16, for texts in any script.
std::wstring WideText(HWND window, Timeout timeout = kDefaultTimeout);
void SetWideText(HWND window, const std::wstring& text, Timeout timeout = kDefaultTimeout);

// Presses a button without waiting for what it does, so a modal box it opens
// does not hold the driver. Throws when the button is hidden or disabled, as
// a person could not press it then.
void Click(HWND button);
// Presses a button and waits until it has done its work: for buttons that
// open nothing modal, such as check boxes.
void ClickAndWait(HWND button, Timeout timeout = kDefaultTimeout);
bool IsChecked(HWND button, Timeout timeout = kDefaultTimeout);
// A key pressed and released while `window` has the focus.
void PressKey(HWND window, WORD virtualKey);

std::vector<std::string> ListBoxLines(HWND listBox, Timeout timeout = kDefaultTimeout);

RECT OuterRect(HWND window);
// A child's outer rectangle in its parent's client coordinates.
RECT RectInParent(HWND child);
SIZE ClientSize(HWND window);

// The window with the keyboard focus in the thread that owns `window`; null
// when that thread has none.
HWND FocusedWindow(HWND window);
// The active window of the thread that owns `window`, if any.
HWND ActiveWindowOf(HWND window);
void WaitForFocus(HWND expected, Timeout timeout = kDefaultTimeout);

// Asks the window to close, as its close box does, without waiting.
void Close(HWND window);

// --- Dialogs -------------------------------------------------------------

// A visible dialog (#32770) of the process with that caption (any when empty).
HWND FindDialog(DWORD processId, const std::string& caption);
HWND WaitForDialog(DWORD processId, const std::string& caption, Timeout timeout = kDefaultTimeout);
// Throws when a dialog of the window's process with that caption (any when
// empty) is up once the window's thread reads its messages again. A thread
// makes a modal dialog before it reads messages inside it: once the thread
// has answered a message sent now, a dialog it was about to show is there.
void ExpectNoDialogOnceAnswering(HWND window, const std::string& caption,
                                 Timeout timeout = kDefaultTimeout);

struct DialogButton {
  int id = 0;
  std::string text;
};

// What a person sees of a message box.
struct MessageBoxView {
  HWND window = nullptr;
  std::string caption;
  std::string text;
  std::vector<DialogButton> buttons;  // visible ones, left to right
  int defaultButton = 0;              // the one drawn as the default
  HWND iconControl = nullptr;         // null when the box shows no icon

  std::vector<int> ButtonIds() const;
};

MessageBoxView ReadMessageBox(HWND box);
MessageBoxView WaitForMessageBox(DWORD processId, const std::string& caption,
                                 Timeout timeout = kDefaultTimeout);
// Presses the button with that id and waits for the dialog to close.
void PressDialogButton(HWND dialog, int buttonId, Timeout timeout = kDefaultTimeout);
// Whether the box's icon looks like `icon` (a system icon id such as
// IDI_HAND) drawn at the icon's size; waits up to `timeout` for the box to
// paint it.
bool ShowsSystemIcon(const MessageBoxView& box, LPCSTR icon,
                     Timeout timeout = std::chrono::milliseconds(3000));

// The standard open or save dialog: found by its file name box.
HWND WaitForFileDialog(DWORD processId, Timeout timeout = kDefaultTimeout);
HWND FileNameBox(HWND fileDialog);
// Types a name or path into the file name box and presses Open (IDOK).
void ChooseFile(HWND fileDialog, const std::string& path, Timeout timeout = kDefaultTimeout);

// --- Looking at windows --------------------------------------------------

// Pixels as 0x00RRGGBB, top row first.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;

  std::uint32_t At(int x, int y) const {
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                  static_cast<std::size_t>(x)];
  }
  std::size_t DistinctColours() const;
};

// What the screen shows of the window (its outer rectangle), after letting
// it repaint. The window must not be covered.
Image CaptureWindow(HWND window);
// The icon drawn at that size over a plain background.
Image RenderIcon(HICON icon, int width, int height, std::uint32_t background);
// The share of pixels (0 to 1) whose channels all differ by at most
// `tolerance`; 0 when the sizes differ.
double Likeness(const Image& a, const Image& b, int tolerance);
// Whether `icon`, drawn at `size`, shows with its top left corner somewhere
// in `corners` (picture coordinates), as a title bar shows a window's icon.
bool ShowsIconIn(const Image& picture, HICON icon, SIZE size, const RECT& corners);
// Writes a 24-bit bottom-up Windows bitmap file.
void SaveBmp(const Image& image, const std::string& path);

}  // namespace kit::testing
