#include "window_driver.h"

#include <dlgs.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "bitmap_format.h"
#include "screen_dpi.h"
#include "under_wine.h"

namespace kit::testing {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPollInterval = std::chrono::milliseconds(20);
// The ids Windows and Wine give a message box's text.
constexpr int kMessageBoxTextId = 0xFFFF;

DWORD Milliseconds(Timeout timeout) { return static_cast<DWORD>(timeout.count()); }

std::string Hex(const void* value) {
  char text[32] = {};
  std::snprintf(text, sizeof text, "%p", value);
  return text;
}

// For error messages; never sends a message, so it cannot block.
std::string Describe(HWND window) {
  if (!window) return "no window";
  if (!::IsWindow(window)) return "a window that is gone (" + Hex(window) + ")";
  char caption[128] = {};
  ::GetWindowTextA(window, caption, sizeof caption);
  std::string text = ClassName(window);
  if (::GetWindowLongA(window, GWL_STYLE) & WS_CHILD)
    text += " #" + std::to_string(::GetDlgCtrlID(window));
  if (caption[0]) text += " \"" + std::string(caption) + "\"";
  return text;
}

// SendMessageTimeoutA and SendMessageTimeoutW share one shape.
using SendFunction = decltype(&::SendMessageTimeoutA);

LRESULT SendVia(SendFunction send, HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                Timeout timeout, const char* purpose) {
  DWORD_PTR result = 0;
  if (!send(window, message, wParam, lParam, SMTO_NORMAL, Milliseconds(timeout), &result)) {
    throw DriverError(std::string(purpose) + ": " + Describe(window) + " did not answer within " +
                      std::to_string(timeout.count()) + " ms");
  }
  return static_cast<LRESULT>(result);
}

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, Timeout timeout,
             const char* purpose) {
  return SendVia(::SendMessageTimeoutA, window, message, wParam, lParam, timeout, purpose);
}

LRESULT SendWide(HWND window, UINT message, WPARAM wParam, LPARAM lParam, Timeout timeout,
                 const char* purpose) {
  return SendVia(::SendMessageTimeoutW, window, message, wParam, lParam, timeout, purpose);
}

// Into the ANSI code page, as the A functions would hand it over.
std::string Narrow(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int wideLength = static_cast<int>(wide.size());
  const int size =
      ::WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, text.data(), size, nullptr, nullptr);
  return text;
}

void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!::PostMessageA(window, message, wParam, lParam))
    throw DriverError("cannot post a message to " + Describe(window));
}

void RequirePressable(HWND button) {
  if (!::IsWindow(button)) throw DriverError("cannot press " + Describe(button));
  if (!::IsWindowVisible(button)) throw DriverError("cannot press the hidden " + Describe(button));
  if (!::IsWindowEnabled(button) || !::IsWindowEnabled(::GetAncestor(button, GA_ROOT)))
    throw DriverError("cannot press the disabled " + Describe(button));
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM windows) {
  reinterpret_cast<std::vector<HWND>*>(windows)->push_back(window);
  return TRUE;
}

std::vector<HWND> Descendants(HWND parent) {
  std::vector<HWND> found;
  ::EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND DescendantWhere(HWND parent, const std::function<bool(HWND)>& wanted) {
  for (HWND child : Descendants(parent)) {
    if (wanted(child)) return child;
  }
  return nullptr;
}

bool CaptionMatches(HWND window, const std::string& caption) {
  if (caption.empty()) return true;
  std::string text(static_cast<std::size_t>(::GetWindowTextLengthA(window)) + 1, '\0');
  text.resize(static_cast<std::size_t>(
      ::GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
  return text == caption;
}

// A top-down 32-bit bitmap selected into a memory DC, read back as an Image.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height) {
    if (width <= 0 || height <= 0) throw DriverError("cannot draw an empty image");
    const BITMAPINFO info = kit::TopDownRgbFormat(width, height);
    bitmap_.reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits_, nullptr, 0));
    dc_.reset(::CreateCompatibleDC(nullptr));
    if (!bitmap_ || !dc_ || !bits_) throw DriverError("cannot create a bitmap to draw in");
    selection_ = kit::SelectInto(dc_.get(), bitmap_.get());
  }

  HDC Dc() const { return dc_.get(); }

  Image Read() const {
    ::GdiFlush();
    Image image;
    image.width = width_;
    image.height = height_;
    const auto* source = static_cast<const std::uint32_t*>(bits_);
    image.pixels.assign(
        source, source + static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_));
    for (std::uint32_t& pixel : image.pixels) pixel &= 0x00FFFFFFu;
    return image;
  }

 private:
  int width_;
  int height_;
  void* bits_ = nullptr;
  kit::unique_hgdiobj bitmap_;
  kit::unique_hdc dc_;
  kit::unique_selection selection_;  // last: undone before the others go
};

// What the screen shows at `rect`: what a person sees, whichever process drew
// it.
Image CaptureScreenRect(const RECT& rect) {
  Canvas canvas(rect.right - rect.left, rect.bottom - rect.top);
  const kit::unique_window_dc screen = kit::GetScreenDc();
  if (!screen) throw DriverError("no device context for the screen");
  if (!::BitBlt(canvas.Dc(), 0, 0, rect.right - rect.left, rect.bottom - rect.top, screen.get().dc,
                rect.left, rect.top, SRCCOPY | CAPTUREBLT)) {
    throw DriverError("cannot copy the screen");
  }
  return canvas.Read();
}

int Channel(std::uint32_t pixel, int shift) { return static_cast<int>((pixel >> shift) & 0xFFu); }

}  // namespace

void WaitUntil(const std::function<bool()>& condition, const std::string& what, Timeout timeout) {
  const auto deadline = Clock::now() + timeout;
  while (!condition()) {
    if (Clock::now() >= deadline) {
      throw DriverError("timed out after " + std::to_string(timeout.count()) + " ms waiting for " +
                        what);
    }
    std::this_thread::sleep_for(kPollInterval);
  }
}

// --- Process -------------------------------------------------------------

Process::Process(HANDLE process, HANDLE thread, DWORD id)
    : process_(process), thread_(thread), id_(id) {}

Process Process::Launch(const std::string& program, const std::string& arguments,
                        const std::string& workingFolder) {
  std::string commandLine = "\"" + program + "\"";
  if (!arguments.empty()) commandLine += " " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  if (!::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup,
                        &started)) {
    throw DriverError("cannot start " + program + ": error " + std::to_string(::GetLastError()));
  }
  return Process(started.hProcess, started.hThread, started.dwProcessId);
}

Process::~Process() {
  if (process_ && Running()) {
    ::TerminateProcess(process_.get(), 1);
    ::WaitForSingleObject(process_.get(), Milliseconds(kDefaultTimeout));
  }
}

bool Process::Running() const { return ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

DWORD Process::WaitForExit(Timeout timeout) const {
  if (::WaitForSingleObject(process_.get(), Milliseconds(timeout)) != WAIT_OBJECT_0) {
    throw DriverError("process " + std::to_string(id_) + " still runs after " +
                      std::to_string(timeout.count()) + " ms");
  }
  DWORD exitCode = 0;
  ::GetExitCodeProcess(process_.get(), &exitCode);
  return exitCode;
}

void Process::WaitForInputIdle(Timeout timeout) const {
  // WAIT_FAILED means a program without windows: nothing to wait for.
  if (::WaitForInputIdle(process_.get(), Milliseconds(timeout)) == WAIT_TIMEOUT) {
    throw DriverError("process " + std::to_string(id_) + " not ready for input after " +
                      std::to_string(timeout.count()) + " ms");
  }
}

// --- Windows -------------------------------------------------------------

std::string ClassName(HWND window) {
  char name[256] = {};
  ::GetClassNameA(window, name, sizeof name);
  return name;
}

DWORD ProcessOf(HWND window) {
  DWORD processId = 0;
  ::GetWindowThreadProcessId(window, &processId);
  return processId;
}

DWORD ThreadOf(HWND window) { return ::GetWindowThreadProcessId(window, nullptr); }

std::vector<HWND> TopLevelWindows(DWORD processId) {
  std::vector<HWND> all;
  ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&all));
  std::vector<HWND> found;
  for (HWND window : all) {
    if (ProcessOf(window) == processId && ::IsWindowVisible(window)) found.push_back(window);
  }
  return found;
}

HWND FindTopLevelWindow(DWORD processId, const std::string& className, const std::string& caption) {
  for (HWND window : TopLevelWindows(processId)) {
    if ((className.empty() || ClassName(window) == className) && CaptionMatches(window, caption))
      return window;
  }
  return nullptr;
}

HWND WaitForTopLevelWindow(const Process& process, const std::string& className,
                           const std::string& caption, Timeout timeout) {
  process.WaitForInputIdle(timeout);
  HWND found = nullptr;
  WaitUntil(
      [&] {
        if (!process.Running())
          throw DriverError("process " + std::to_string(process.Id()) + " ended with exit code " +
                            std::to_string(process.WaitForExit(Timeout{0})) +
                            " before showing a window");
        found = FindTopLevelWindow(process.Id(), className, caption);
        return found != nullptr;
      },
      "a window of class \"" + className + "\" captioned \"" + caption + "\" of process " +
          std::to_string(process.Id()),
      timeout);
  return found;
}

void WaitForWindowGone(HWND window, Timeout timeout) {
  WaitUntil([&] { return !::IsWindow(window); }, Describe(window) + " to close", timeout);
}

HWND Control(HWND parent, int id) {
  HWND control = ::GetDlgItem(parent, id);
  if (!control) throw DriverError(Describe(parent) + " has no control #" + std::to_string(id));
  return control;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> children;
  for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
    children.push_back(child);
  return children;
}

std::string Text(HWND window, Timeout timeout) {
  const auto length = Send(window, WM_GETTEXTLENGTH, 0, 0, timeout, "reading a text length");
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const auto copied = Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           timeout, "reading a text");
  text.resize(static_cast<std::size_t>(copied));
  return text;
}

void SetText(HWND window, const std::string& text, Timeout timeout) {
  if (!Send(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), timeout,
            "setting a text"))
    throw DriverError(Describe(window) + " refused the text \"" + text + "\"");
}

std::wstring WideText(HWND window, Timeout timeout) {
  const auto length = SendWide(window, WM_GETTEXTLENGTH, 0, 0, timeout, "reading a text length");
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const auto copied = SendWide(window, WM_GETTEXT, text.size(),
                               reinterpret_cast<LPARAM>(text.data()), timeout, "reading a text");
  text.resize(static_cast<std::size_t>(copied));
  return text;
}

void SetWideText(HWND window, const std::wstring& text, Timeout timeout) {
  if (!SendWide(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), timeout,
                "setting a text"))
    throw DriverError(Describe(window) + " refused the text \"" + Narrow(text) + "\"");
}

void Click(HWND button) {
  RequirePressable(button);
  Post(button, BM_CLICK, 0, 0);
}

void ClickAndWait(HWND button, Timeout timeout) {
  RequirePressable(button);
  Send(button, BM_CLICK, 0, 0, timeout, "pressing a button");
}

bool IsChecked(HWND button, Timeout timeout) {
  return Send(button, BM_GETCHECK, 0, 0, timeout, "reading a check box") == BST_CHECKED;
}

void PressKey(HWND window, WORD virtualKey) {
  const auto scanCode = static_cast<LPARAM>(::MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC));
  Post(window, WM_KEYDOWN, virtualKey, 1 | (scanCode << 16));
  // Bits 30 and 31: the key was down and is being released.
  Post(window, WM_KEYUP, virtualKey, 1 | (scanCode << 16) | (LPARAM{3} << 30));
}

std::vector<std::string> ListBoxLines(HWND listBox, Timeout timeout) {
  const auto count = Send(listBox, LB_GETCOUNT, 0, 0, timeout, "counting list lines");
  if (count == LB_ERR) throw DriverError(Describe(listBox) + " cannot count its lines");
  std::vector<std::string> lines;
  for (LRESULT index = 0; index < count; ++index) {
    // Asked for wide text and converted here: Wine 8 answers an ANSI
    // LB_GETTEXT from another process with wide text, overrunning the buffer.
    const auto wParam = static_cast<WPARAM>(index);
    const auto length = SendWide(listBox, LB_GETTEXTLEN, wParam, 0, timeout, "reading a list line");
    if (length == LB_ERR)
      throw DriverError(Describe(listBox) + " lost line " + std::to_string(index));
    std::wstring wide(static_cast<std::size_t>(length) + 1, L'\0');
    const auto copied = SendWide(listBox, LB_GETTEXT, wParam, reinterpret_cast<LPARAM>(wide.data()),
                                 timeout, "reading a list line");
    wide.resize(copied == LB_ERR ? 0 : static_cast<std::size_t>(copied));
    lines.push_back(Narrow(wide));
  }
  return lines;
}

RECT OuterRect(HWND window) {
  RECT rect = {};
  if (!::GetWindowRect(window, &rect)) throw DriverError("no rectangle for " + Describe(window));
  return rect;
}

RECT RectInParent(HWND child) {
  RECT rect = OuterRect(child);
  ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

SIZE ClientSize(HWND window) {
  RECT rect = {};
  if (!::GetClientRect(window, &rect)) throw DriverError("no client area for " + Describe(window));
  return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

HWND ActiveWindowOf(HWND window) {
  GUITHREADINFO input = {};
  input.cbSize = sizeof input;
  if (!::GetGUIThreadInfo(ThreadOf(window), &input)) return nullptr;
  return input.hwndActive;
}

HWND FocusedWindow(HWND window) {
  GUITHREADINFO input = {};
  input.cbSize = sizeof input;
  if (!::GetGUIThreadInfo(ThreadOf(window), &input)) return nullptr;
  return input.hwndFocus;
}

void WaitForFocus(HWND expected, Timeout timeout) {
  const HWND top = ::GetAncestor(expected, GA_ROOT);
  try {
    WaitUntil(
        [&] {
          if (FocusedWindow(expected) == expected) return true;
          // Under Wine, with no window manager, another program's window
          // coming or going on the shared screen can leave the program
          // with no active window at all, which Windows never does after
          // a box: the driver activates it again, as a user's click would,
          // and the program puts the focus back where it had it.
          if (UnderWine() && ActiveWindowOf(expected) == nullptr) ::SetForegroundWindow(top);
          return false;
        },
        "the focus on " + Describe(expected), timeout);
  } catch (const DriverError& failure) {
    throw DriverError(std::string(failure.what()) + "; it is on " +
                      Describe(FocusedWindow(expected)) + ", the active window " +
                      Describe(ActiveWindowOf(expected)));
  }
}

void Close(HWND window) { Post(window, WM_CLOSE, 0, 0); }

// --- Dialogs -------------------------------------------------------------

HWND FindDialog(DWORD processId, const std::string& caption) {
  return FindTopLevelWindow(processId, "#32770", caption);
}

HWND WaitForDialog(DWORD processId, const std::string& caption, Timeout timeout) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindDialog(processId, caption)) != nullptr; },
            "a dialog captioned \"" + caption + "\" of process " + std::to_string(processId),
            timeout);
  return found;
}

void ExpectNoDialogOnceAnswering(HWND window, const std::string& caption, Timeout timeout) {
  const DWORD processId = ProcessOf(window);
  Send(window, WM_NULL, 0, 0, timeout, "waiting for a window's thread to read its messages");
  // A modal dialog disables its owner before it is made, and may show only
  // once its own loop first waits.
  if (!::IsWindowEnabled(window)) {
    WaitUntil([&] { return FindDialog(processId, "") != nullptr; },
              "the dialog that disables " + Describe(window), timeout);
  }
  if (HWND dialog = FindDialog(processId, caption)) {
    const HWND text = ::GetDlgItem(dialog, kMessageBoxTextId);
    throw DriverError("unexpected dialog \"" + Text(dialog) + "\"" +
                      (text ? ": \"" + Text(text) + "\"" : std::string()));
  }
}

std::vector<int> MessageBoxView::ButtonIds() const {
  std::vector<int> ids;
  for (const DialogButton& button : buttons) ids.push_back(button.id);
  return ids;
}

MessageBoxView ReadMessageBox(HWND box) {
  MessageBoxView view;
  view.window = box;
  view.caption = Text(box);
  if (HWND text = ::GetDlgItem(box, kMessageBoxTextId)) view.text = Text(text);
  std::vector<std::pair<LONG, DialogButton>> buttons;
  for (HWND child : Children(box)) {
    if (!::IsWindowVisible(child)) continue;
    const LONG style = ::GetWindowLongA(child, GWL_STYLE);
    const std::string kind = ClassName(child);
    if (kind == "Button") {
      const int id = ::GetDlgCtrlID(child);
      buttons.push_back({OuterRect(child).left, DialogButton{id, Text(child)}});
      if ((style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) view.defaultButton = id;
    } else if (kind == "Static" && (style & SS_TYPEMASK) == SS_ICON &&
               Send(child, STM_GETICON, 0, 0, kDefaultTimeout, "reading an icon")) {
      // Found by its style, as Windows and Wine number it differently; Wine
      // also shows it, empty, in a box without an icon.
      view.iconControl = child;
    }
  }
  std::stable_sort(buttons.begin(), buttons.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& button : buttons) view.buttons.push_back(std::move(button.second));
  return view;
}

MessageBoxView WaitForMessageBox(DWORD processId, const std::string& caption, Timeout timeout) {
  return ReadMessageBox(WaitForDialog(processId, caption, timeout));
}

void PressDialogButton(HWND dialog, int buttonId, Timeout timeout) {
  HWND button = DescendantWhere(dialog, [&](HWND child) {
    return ::GetDlgCtrlID(child) == buttonId && ClassName(child) == "Button";
  });
  if (!button) throw DriverError(Describe(dialog) + " has no button #" + std::to_string(buttonId));
  // Posted, not sent: a modal loop ends only after it has fetched a message.
  Click(button);
  WaitForWindowGone(dialog, timeout);
}

bool ShowsSystemIcon(const MessageBoxView& box, LPCSTR icon, Timeout timeout) {
  if (!box.iconControl) return false;
  const HICON expected = ::LoadIconA(nullptr, icon);
  if (!expected) throw DriverError("no such system icon");
  const auto deadline = Clock::now() + timeout;
  do {
    const Image shown = CaptureScreenRect(OuterRect(box.iconControl));
    // The system icons leave their corners transparent: the corner shows the
    // background they were drawn on.
    const Image reference = RenderIcon(expected, shown.width, shown.height, shown.At(0, 0));
    if (Likeness(shown, reference, 16) >= 0.9) return true;
    std::this_thread::sleep_for(kPollInterval);
  } while (Clock::now() < deadline);
  return false;
}

HWND FileNameBox(HWND fileDialog) {
  // Explorer-style dialogs name it cmb13, inside other windows on newer
  // Windows; the old style's is edt1.
  for (int id : {cmb13, edt1}) {
    HWND box = DescendantWhere(fileDialog, [id](HWND child) {
      return ::GetDlgCtrlID(child) == id && ::IsWindowVisible(child);
    });
    if (box) return box;
  }
  return nullptr;
}

HWND WaitForFileDialog(DWORD processId, Timeout timeout) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND window : TopLevelWindows(processId)) {
          if (ClassName(window) == "#32770" && FileNameBox(window)) {
            found = window;
            return true;
          }
        }
        return false;
      },
      "a file dialog of process " + std::to_string(processId), timeout);
  return found;
}

void ChooseFile(HWND fileDialog, const std::string& path, Timeout timeout) {
  HWND box = FileNameBox(fileDialog);
  if (!box) throw DriverError(Describe(fileDialog) + " has no file name box");
  // A combo box keeps the typed text in its edit.
  HWND edit = ClassName(box) == "Edit"
                  ? box
                  : DescendantWhere(box, [](HWND child) { return ClassName(child) == "Edit"; });
  SetText(edit ? edit : box, path, timeout);
  PressDialogButton(fileDialog, IDOK, timeout);
}

// --- Looking at windows --------------------------------------------------

std::size_t Image::DistinctColours() const {
  return std::unordered_set<std::uint32_t>(pixels.begin(), pixels.end()).size();
}

Image CaptureWindow(HWND window) {
  // Let the program finish painting: an answer to a sent message means its
  // queue was reached, and two equal captures in a row mean it is done.
  Send(window, WM_NULL, 0, 0, kDefaultTimeout, "waiting for a window to paint");
  Image previous = CaptureScreenRect(OuterRect(window));
  const auto deadline = Clock::now() + std::chrono::milliseconds(2000);
  while (Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    Image current = CaptureScreenRect(OuterRect(window));
    if (current.width == previous.width && current.height == previous.height &&
        current.pixels == previous.pixels) {
      return current;
    }
    previous = std::move(current);
  }
  // A blinking caret never settles: the last picture is as good as any.
  return previous;
}

Image RenderIcon(HICON icon, int width, int height, std::uint32_t background) {
  Canvas canvas(width, height);
  const COLORREF colour =
      RGB(Channel(background, 16), Channel(background, 8), Channel(background, 0));
  kit::unique_hgdiobj brush(::CreateSolidBrush(colour));
  const RECT all = {0, 0, width, height};
  ::FillRect(canvas.Dc(), &all, static_cast<HBRUSH>(brush.get()));
  if (!::DrawIconEx(canvas.Dc(), 0, 0, icon, width, height, 0, nullptr, DI_NORMAL))
    throw DriverError("cannot draw an icon");
  return canvas.Read();
}

double Likeness(const Image& a, const Image& b, int tolerance) {
  if (a.width != b.width || a.height != b.height || a.pixels.empty()) return 0.0;
  std::size_t alike = 0;
  for (std::size_t i = 0; i < a.pixels.size(); ++i) {
    bool close = true;
    for (int shift : {0, 8, 16}) {
      close =
          close && std::abs(Channel(a.pixels[i], shift) - Channel(b.pixels[i], shift)) <= tolerance;
    }
    if (close) ++alike;
  }
  return static_cast<double>(alike) / static_cast<double>(a.pixels.size());
}

bool ShowsIconIn(const Image& picture, HICON icon, SIZE size, const RECT& corners) {
  const int width = static_cast<int>(size.cx);
  const int height = static_cast<int>(size.cy);
  // Drawn once per background colour met at a corner: a title bar is nearly
  // plain under the icon's transparent corners.
  std::unordered_map<std::uint32_t, Image> references;
  Image patch;
  patch.width = width;
  patch.height = height;
  const int firstTop = static_cast<int>(std::max<LONG>(0, corners.top));
  const int firstLeft = static_cast<int>(std::max<LONG>(0, corners.left));
  for (int top = firstTop; top < corners.bottom && top + height <= picture.height; ++top) {
    for (int left = firstLeft; left < corners.right && left + width <= picture.width; ++left) {
      patch.pixels.clear();
      for (int y = top; y < top + height; ++y) {
        for (int x = left; x < left + width; ++x) patch.pixels.push_back(picture.At(x, y));
      }
      const std::uint32_t background = picture.At(left, top);
      auto reference = references.find(background);
      if (reference == references.end())
        reference =
            references.emplace(background, RenderIcon(icon, width, height, background)).first;
      if (Likeness(patch, reference->second, 16) >= 0.9) return true;
    }
  }
  return false;
}

void SaveBmp(const Image& image, const std::string& path) {
  const std::size_t rowSize = (static_cast<std::size_t>(image.width) * 3 + 3) & ~std::size_t{3};
  const std::size_t pixelBytes = rowSize * static_cast<std::size_t>(image.height);

  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  file.bfSize = static_cast<DWORD>(file.bfOffBits + pixelBytes);
  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = image.width;
  info.biHeight = image.height;  // positive: bottom row first
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  info.biSizeImage = static_cast<DWORD>(pixelBytes);

  std::string pixels(pixelBytes, '\0');
  for (int y = 0; y < image.height; ++y) {
    char* row = pixels.data() + rowSize * static_cast<std::size_t>(image.height - 1 - y);
    for (int x = 0; x < image.width; ++x) {
      const std::uint32_t pixel = image.At(x, y);
      row[3 * x] = static_cast<char>(Channel(pixel, 0));
      row[3 * x + 1] = static_cast<char>(Channel(pixel, 8));
      row[3 * x + 2] = static_cast<char>(Channel(pixel, 16));
    }
  }

  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&info), sizeof info);
  out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
  if (!out) throw DriverError("cannot write " + path);
}

}  // namespace kit::testing
