#include "main_window.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "error_handling.h"
#include "output_name.h"
#include "rowsift_resources.h"
#include "screen_dpi.h"
#include "utf_text.h"
#include "wide_text.h"
#include "window_layout.h"

namespace rowsift {

namespace {

constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowExStyle = WS_EX_CONTROLPARENT;

constexpr wchar_t kSettingsSection[] = L"Settings";
constexpr wchar_t kInputFileKey[] = L"InputFileName";
constexpr wchar_t kOutputFileKey[] = L"OutputFileName";
constexpr wchar_t kFilterOnKey[] = L"FilterOn";

struct ControlClass {
  const wchar_t* name;
  DWORD style;
  DWORD exStyle;
};

ControlClass ClassOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::kLabel:
      // One line as laid out: a wider system font clips the end instead of
      // pushing half of it onto a second line.
      return {L"STATIC", SS_LEFTNOWORDWRAP, 0};
    case ControlKind::kPushButton:
      return {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0};
    case ControlKind::kTextBox:
      return {L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE};
    case ControlKind::kCheckBox:
      return {L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, 0};
    case ControlKind::kListBox:
      // Its exact height, not a whole number of lines, so it fills its place.
      return {L"LISTBOX", WS_VSCROLL | LBS_NOINTEGRALHEIGHT | WS_TABSTOP, WS_EX_CLIENTEDGE};
  }
  return {L"STATIC", 0, 0};
}

// Logs are written in the system code page.
unsigned LogCodePage() { return ::GetACP(); }

// The font the system uses for dialogs and message boxes.
kit::unique_hgdiobj CreateDialogFont() {
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return {};
  return kit::unique_hgdiobj(::CreateFontIndirectW(&metrics.lfMessageFont));
}

// The program's icon at the size the system shows beside a caption.
HICON SmallProgramIcon(HINSTANCE instance) {
  return static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_ROWSIFT), IMAGE_ICON,
                                         ::GetSystemMetrics(SM_CXSMICON),
                                         ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
}

}  // namespace

MainWindow::MainWindow(SettingsStore& settings, std::wstring applicationName,
                       InputFileChooser& chooser, const filelayer::FileSystem& files,
                       bool debugMode)
    : settings_(settings),
      applicationName_(std::move(applicationName)),
      chooser_(chooser),
      files_(files),
      debugMode_(debugMode) {}

MainWindow::~MainWindow() {
  if (!window_) return;
  // Gone without being closed by the user: nothing to save, no loop to end.
  ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
  ::DestroyWindow(window_);
}

HWND MainWindow::Create(HINSTANCE instance) {
  const std::wstring className = kit::Utf16FromUtf8(kMainWindowClass);
  // A Unicode window: its boxes take and give characters of every script.
  windowClass_ = kit::RegisterWindowClass(instance, className.c_str(), WindowProc,
                                          ::LoadIconW(instance, MAKEINTRESOURCEW(IDI_ROWSIFT)),
                                          SmallProgramIcon(instance));
  if (!windowClass_) return nullptr;
  dpi_ = kit::GetScreenDpi().x;
  // The layout gives the client width, but the height of the whole window;
  // that height grows only where the frame would leave too little client area.
  RECT frame = {0, 0, ClientWidthPixels(dpi_), MinimumClientHeightPixels(debugMode_, dpi_)};
  ::AdjustWindowRectEx(&frame, kWindowStyle, FALSE, kWindowExStyle);
  const int height = std::max(OuterHeightPixels(debugMode_, dpi_), int{frame.bottom - frame.top});
  return ::CreateWindowExW(kWindowExStyle, className.c_str(),
                           kit::Utf16FromUtf8(kMainWindowCaption).c_str(), kWindowStyle,
                           CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left, height, nullptr,
                           nullptr, instance, this);
}

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                        LPARAM lParam) noexcept {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->window_ = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->window_ = nullptr;
    return ::DefWindowProcW(window, message, wParam, lParam);
  }
  // Nothing may unwind into the window manager: a message whose handling
  // ran out of memory counts as handled, a creation as failed.
  return kit::CatchReturn<LRESULT>(message == WM_CREATE ? -1 : 0,
                                   [&] { return self->HandleMessage(message, wParam, lParam); });
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate() ? 0 : -1;
    case WM_ACTIVATE:
      OnActivate(wParam);
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_SETCURSOR:
      if (OnSetCursor()) return TRUE;
      break;
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_ENDSESSION:
      OnEndSession(wParam != FALSE);
      return 0;
    case WM_DESTROY:
      OnDestroy();
      return 0;
  }
  return ::DefWindowProcW(window_, message, wParam, lParam);
}

bool MainWindow::OnCreate() {
  font_ = CreateDialogFont();
  effects_ = DesktopEffects(window_);
  const HINSTANCE instance =
      reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(window_, GWLP_HINSTANCE));
  for (const ControlLayout& control : MainWindowControls()) {
    const ControlClass windowClass = ClassOf(control.kind);
    const bool visible = control.id != kIdDebugList || debugMode_;
    const Rect place = ToPixels(control.twips, dpi_);
    const HWND child = ::CreateWindowExW(
        windowClass.exStyle, windowClass.name, kit::Utf16FromUtf8(control.caption).c_str(),
        WS_CHILD | windowClass.style | (visible ? WS_VISIBLE : 0), place.left, place.top,
        place.width, place.height, window_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance, nullptr);
    if (!child) return false;
    ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  }
  for (ControlId edit : {kIdInputFile, kIdOutputFile, kIdFilterOn}) {
    // Zero lifts the typing limit to the most an edit control holds.
    ::SendMessageW(Control(edit), EM_SETLIMITTEXT, 0, 0);
  }
  ::SendMessageW(Control(kIdOpenOutputFile), BM_SETCHECK, BST_CHECKED, 0);
  lastFocus_ = Control(kIdParse);

  SetText(kIdInputFile, settings_.Read(applicationName_, kSettingsSection, kInputFileKey));
  SetText(kIdOutputFile, settings_.Read(applicationName_, kSettingsSection, kOutputFileKey));
  SetText(kIdFilterOn, settings_.Read(applicationName_, kSettingsSection, kFilterOnKey));
  return true;
}

// A plain window does not remember its focused control as a dialog does.
void MainWindow::OnActivate(WPARAM state) {
  if (LOWORD(state) == WA_INACTIVE) {
    const HWND focus = ::GetFocus();
    if (focus && ::IsChild(window_, focus)) lastFocus_ = focus;
  } else if (lastFocus_ && ::IsWindow(lastFocus_)) {
    ::SetFocus(lastFocus_);
  }
}

void MainWindow::OnCommand(int id, int notification) {
  if (notification != BN_CLICKED) return;
  if (id == kIdParse) OnParse();
  if (id == kIdBrowse) OnBrowse();
}

bool MainWindow::OnSetCursor() { return effects_.KeepBusyCursor(); }

void MainWindow::OnClose() {
  // A run in debug mode dispatches events, so the window can be closed
  // inside it; it closes once the run has ended.
  if (running_) {
    closeWhenRunEnds_ = true;
    return;
  }
  SaveSettings();
  ::DestroyWindow(window_);
}

void MainWindow::OnEndSession(bool ending) {
  if (ending) SaveSettings();
}

void MainWindow::OnDestroy() { ::PostQuitMessage(0); }

void MainWindow::OnParse() {
  // Pressed again while a debug-mode run processes events: ignored.
  if (running_) return;
  running_ = true;
  {
    const kit::scope_exit ended([this] { running_ = false; });
    // The window has one thread. No system code page is one whose
    // characters cannot be told apart.
    RunParse(JobFromTexts(), *this, files_,
             CharacterSet::ForCodePage(LogCodePage()).value_or(CharacterSet()), 1);
  }
  // Outside debug mode the run reads no events, so clicks and keys given to
  // the busy window wait in the queue; a double click on "Parse" would start
  // a second run as soon as the first ended. What the user did while the
  // hourglass showed is dropped instead.
  if (!debugMode_) DiscardQueuedInput();
  if (closeWhenRunEnds_) ::PostMessageW(window_, WM_CLOSE, 0, 0);
}

void MainWindow::OnBrowse() {
  // A run in debug mode processes events; a file dialog opened from inside
  // it would hold the run up until it closed.
  if (running_) return;
  const std::optional<std::wstring> chosen = chooser_.ChooseInputFile(window_);
  // Cancelling, like a failing dialog, empties the input path only.
  SetText(kIdInputFile, chosen.value_or(L""));
  if (!chosen) return;
  if (const std::optional<filelayer::Path> proposal = ProposeOutputName(*chosen)) {
    SetText(kIdOutputFile, proposal->native());
  }
}

void MainWindow::SaveSettings() {
  settings_.Write(applicationName_, kSettingsSection, kInputFileKey, TextOf(kIdInputFile));
  settings_.Write(applicationName_, kSettingsSection, kOutputFileKey, TextOf(kIdOutputFile));
  settings_.Write(applicationName_, kSettingsSection, kFilterOnKey, TextOf(kIdFilterOn));
}

HWND MainWindow::Control(ControlId id) const { return ::GetDlgItem(window_, id); }

std::wstring MainWindow::TextOf(ControlId id) const {
  const HWND control = Control(id);
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      ::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

void MainWindow::SetText(ControlId id, const std::wstring& text) {
  ::SetWindowTextW(Control(id), text.c_str());
}

ParseJob MainWindow::JobFromTexts() const {
  return {TextOf(kIdInputFile), TextOf(kIdOutputFile),
          SpellInCodePage(TextOf(kIdFilterOn), LogCodePage()), debugMode_};
}

void MainWindow::Refuse(const std::string& text) {
  effects_.ShowMessage(text, MessageIcon::kError);
}

bool MainWindow::Confirm(Question, const std::string& text) { return effects_.AskYesNo(text); }

void MainWindow::ReportFailure(const std::string& intro, const std::string& reason) {
  effects_.ShowMessage(intro + "\r\n" + reason, MessageIcon::kNone);
}

void MainWindow::ReportSuccess(const std::string& text, const FilterCounts&) {
  effects_.ShowMessage(text, MessageIcon::kNone);
}

bool MainWindow::OpenOutputWhenDone() {
  return ::SendMessageW(Control(kIdOpenOutputFile), BM_GETCHECK, 0, 0) != BST_UNCHECKED;
}

void MainWindow::MoveFocus(Field field) {
  switch (field) {
    case Field::kInputFile:
      ::SetFocus(Control(kIdInputFile));
      break;
    case Field::kOutputFile:
      ::SetFocus(Control(kIdOutputFile));
      break;
    case Field::kFilter:
      ::SetFocus(Control(kIdFilterOn));
      break;
  }
}

void MainWindow::SetBusyCursor(bool busy) { effects_.SetBusyCursor(busy); }

void MainWindow::AppendDebugLine(const std::string& line) {
  const HWND list = Control(kIdDebugList);
  const LRESULT count = ::SendMessageW(list, LB_ADDSTRING, 0,
                                       reinterpret_cast<LPARAM>(kit::Utf16FromUtf8(line).c_str())) +
                        1;
  // Scrolled so that the newest line is the last one shown.
  RECT inside;
  ::GetClientRect(list, &inside);
  const LRESULT lineHeight = ::SendMessageW(list, LB_GETITEMHEIGHT, 0, 0);
  const LRESULT linesShown =
      lineHeight > 0 ? std::max<LRESULT>(1, (inside.bottom - inside.top) / lineHeight) : 1;
  if (count > linesShown) {
    ::SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(count - linesShown), 0);
  }
}

void MainWindow::ProcessPendingEvents() { effects_.ProcessPendingEvents(); }
void MainWindow::OpenWithShell(const filelayer::Path& path) { effects_.OpenWithShell(path); }
std::string MainWindow::TimeStamp() { return effects_.TimeStamp(); }

void DiscardQueuedInput() {
  const auto drop = [](UINT first, UINT last) {
    MSG input;
    while (::PeekMessageW(&input, nullptr, first, last, PM_REMOVE)) continue;
  };
  drop(WM_KEYFIRST, WM_KEYLAST);
  drop(WM_MOUSEFIRST, WM_MOUSELAST);
  drop(WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK);
}

}  // namespace rowsift
