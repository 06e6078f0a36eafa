#include "pick_dialog.h"

#include <memory>
#include <new>
#include <utility>

#include "error_handling.h"
#include "module.h"
#include "screen_dpi.h"
#include "twips.h"
#include "unique_resource.h"

namespace lorvane {
namespace {

constexpr wchar_t kClassName[] = L"LorvaneListDialog";
constexpr int kLabFolId = 101;
constexpr int kBox1Id = 102;
constexpr int kBox2Id = 103;
// Not IDOK or IDCANCEL: Enter and Esc in the list must not press it.
constexpr int kOkId = 104;

// Layout in twips, as the dialog was designed.
constexpr int kClientWidth = 5820;
constexpr int kClientHeight = 5025;
constexpr RECT kFrame{0, 0, 5760, 4980};

// sSelItem. While it holds a choice the server stays loaded, so that a host
// unloading it between two objects does not lose the choice; the end of the
// thread lets it go.
class StoredSelection {
 public:
  StoredSelection() = default;
  StoredSelection(const StoredSelection&) = delete;
  StoredSelection& operator=(const StoredSelection&) = delete;
  ~StoredSelection() { Replace({}); }

  [[nodiscard]] const std::wstring& Text() const noexcept { return text_; }
  void Replace(std::wstring text) noexcept {
    if (text.empty() != text_.empty()) LockModule(!text.empty());
    text_.swap(text);
  }

 private:
  std::wstring text_;
};

class OtherWindowsDisabled;

struct ThreadState {
  HWND flist = nullptr;
  // Its controls, kept rather than looked up at every entry of a load.
  HWND labfol = nullptr;
  HWND box1 = nullptr;
  HWND box2 = nullptr;
  HWND focus = nullptr;  // the control to get the focus when shown again
  StoredSelection selItem;
  OtherWindowsDisabled* modal = nullptr;  // the innermost Show running
  // Every thread's state, for the module's unload.
  ThreadState* previous = nullptr;
  ThreadState* next = nullptr;

  [[nodiscard]] bool Idle() const noexcept { return !flist && !modal && selItem.Text().empty(); }
};

// Each thread's state lives in a TLS slot of this module, not in thread_local
// storage, whose end the runtime ties to its own destructor order and for
// which it pins the module. A state ends at the thread's DLL_THREAD_DETACH,
// as soon as it holds nothing, or when the module is freed: whichever comes
// first, and never twice.
class ThreadStates {
 public:
  [[nodiscard]] bool Allocate() noexcept {
    slot_ = ::TlsAlloc();
    return slot_ != TLS_OUT_OF_INDEXES;
  }

  // The calling thread's state; null when it has none.
  [[nodiscard]] ThreadState* Current() const noexcept {
    if (slot_ == TLS_OUT_OF_INDEXES) return nullptr;
    // TlsGetValue clears the last error, which a failed window call has set.
    const DWORD error = ::GetLastError();
    auto* state = static_cast<ThreadState*>(::TlsGetValue(slot_));
    ::SetLastError(error);
    return state;
  }

  ThreadState& MakeCurrent() {
    if (ThreadState* state = Current()) return *state;
    auto made = std::make_unique<ThreadState>();
    if (!::TlsSetValue(slot_, made.get())) throw std::bad_alloc();
    const ExclusiveLock lock(lock_);
    made->next = first_;
    if (first_) first_->previous = made.get();
    first_ = made.get();
    return *made.release();
  }

  void EndCurrent() noexcept {
    ThreadState* state = Current();
    if (!state) return;
    ::TlsSetValue(slot_, nullptr);
    Unlink(state);
    delete state;
  }

  void EndCurrentIfIdle() noexcept {
    const ThreadState* state = Current();
    if (state && state->Idle()) EndCurrent();
  }

  // As the module is freed: no thread runs its code any more.
  void ReleaseAll() noexcept {
    while (first_) {
      ThreadState* state = first_;
      Unlink(state);
      delete state;
    }
    if (slot_ != TLS_OUT_OF_INDEXES) ::TlsFree(slot_);
    slot_ = TLS_OUT_OF_INDEXES;
  }

 private:
  class ExclusiveLock {
   public:
    explicit ExclusiveLock(SRWLOCK& lock) noexcept : lock_(lock) {
      ::AcquireSRWLockExclusive(&lock_);
    }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;
    ~ExclusiveLock() { ::ReleaseSRWLockExclusive(&lock_); }

   private:
    SRWLOCK& lock_;
  };

  void Unlink(ThreadState* state) noexcept {
    const ExclusiveLock lock(lock_);
    if (state->previous) state->previous->next = state->next;
    if (state->next) state->next->previous = state->previous;
    if (first_ == state) first_ = state->next;
  }

  DWORD slot_ = TLS_OUT_OF_INDEXES;
  SRWLOCK lock_ = SRWLOCK_INIT;
  ThreadState* first_ = nullptr;
};

// Trivially destructible: nothing of it runs at process exit.
ThreadStates threadStates;

// The calling thread's dialog; null when it has none.
HWND Flist() noexcept {
  const ThreadState* state = threadStates.Current();
  return state ? state->flist : nullptr;
}

// Twips to pixels at the screen's resolution.
struct Dpi {
  kit::ScreenDpi screen = kit::GetScreenDpi();
  int X(int twips) const { return kit::TwipsToPixels(twips, screen.x); }
  int Y(int twips) const { return kit::TwipsToPixels(twips, screen.y); }
};

// The calling thread's dialog must be loaded.
ThreadState& Loaded() noexcept { return *threadStates.Current(); }

// False when the entry cannot be read.
bool ListText(HWND box, LRESULT index, std::wstring& text) {
  const LRESULT length = ::SendMessageW(box, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == LB_ERR) return false;
  text.assign(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT copied = ::SendMessageW(box, LB_GETTEXT, static_cast<WPARAM>(index),
                                        reinterpret_cast<LPARAM>(text.data()));
  if (copied == LB_ERR) return false;
  text.resize(static_cast<size_t>(copied));
  return true;
}

// While Show runs, the thread's other windows take no input, as under any
// modal dialog without an owner.
class OtherWindowsDisabled {
 public:
  // `outer`: the Show this one runs inside, if any.
  OtherWindowsDisabled(HWND dialog, OtherWindowsDisabled* outer) : dialog_(dialog), outer_(outer) {
    ::EnumThreadWindows(::GetCurrentThreadId(), Collect, reinterpret_cast<LPARAM>(this));
    for (HWND window : disabled_) ::EnableWindow(window, FALSE);
  }
  OtherWindowsDisabled(const OtherWindowsDisabled&) = delete;
  OtherWindowsDisabled& operator=(const OtherWindowsDisabled&) = delete;
  ~OtherWindowsDisabled() { Restore(); }

  void Restore() noexcept {
    for (HWND window : disabled_) {
      if (::IsWindow(window)) ::EnableWindow(window, TRUE);
    }
    disabled_.clear();
  }

  [[nodiscard]] OtherWindowsDisabled* Outer() const noexcept { return outer_; }

 private:
  // Nothing may unwind into the system: without memory for one more
  // window, the windows collected so far are the ones disabled.
  static BOOL CALLBACK Collect(HWND window, LPARAM self) noexcept {
    auto* owner = reinterpret_cast<OtherWindowsDisabled*>(self);
    return kit::CatchReturn(FALSE, [&] {
      if (window != owner->dialog_ && ::IsWindowVisible(window) && ::IsWindowEnabled(window))
        owner->disabled_.push_back(window);
      return TRUE;
    });
  }

  HWND dialog_;
  OtherWindowsDisabled* outer_;
  std::vector<HWND> disabled_;
};

// Before the dialog disappears: the system hands the activation to the next
// enabled window, which must be the caller's rather than another program's.
// Every Show of the dialog ends with it, nested ones and the outer alike.
void EnableOtherWindows() noexcept {
  const ThreadState* state = threadStates.Current();
  for (OtherWindowsDisabled* modal = state ? state->modal : nullptr; modal; modal = modal->Outer())
    modal->Restore();
}

// The OK button: hide first, then copy the selection across and keep its value.
void OnOk(HWND window) noexcept {
  ThreadState* state = threadStates.Current();
  if (!state) return;
  state->focus = ::GetFocus();
  EnableOtherWindows();
  ::ShowWindow(window, SW_HIDE);
  const LRESULT index = ::SendMessageW(state->box1, LB_GETCURSEL, 0, 0);
  ::SendMessageW(state->box2, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  // Nothing may unwind into the window manager; an unreadable entry reads as none.
  std::wstring selected = kit::CatchReturn(std::wstring(), [&] {
    std::wstring text;
    if (index == LB_ERR || !ListText(state->box2, index, text)) text.clear();
    return text;
  });
  state->selItem.Replace(std::move(selected));
  // A click sent from another process is handled inside GetMessage, which
  // would go on waiting: wake the modal loop so it sees the dialog hidden.
  ::PostMessageW(window, WM_NULL, 0, 0);
}

void OnCommand(HWND window, WPARAM wParam) noexcept {
  if (LOWORD(wParam) == kOkId && HIWORD(wParam) == BN_CLICKED) OnOk(window);
}

// The window has no border of its own; four lines draw its frame.
void OnPaint(HWND window) noexcept {
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(window, &paint);
  if (dc) {
    const Dpi dpi;
    const int left = dpi.X(kFrame.left), top = dpi.Y(kFrame.top);
    const int right = dpi.X(kFrame.right), bottom = dpi.Y(kFrame.bottom);
    kit::unique_hgdiobj pen(::CreatePen(PS_SOLID, 1, ::GetSysColor(COLOR_WINDOWTEXT)));
    const auto selected = kit::SelectInto(dc, pen ? pen.get() : ::GetStockObject(BLACK_PEN));
    ::MoveToEx(dc, left, top, nullptr);
    ::LineTo(dc, left, bottom);
    ::MoveToEx(dc, left, top, nullptr);
    ::LineTo(dc, right, top);
    ::MoveToEx(dc, right, top, nullptr);
    ::LineTo(dc, right, bottom + 1);
    ::MoveToEx(dc, left, bottom, nullptr);
    ::LineTo(dc, right, bottom);
  }
  ::EndPaint(window, &paint);
}

// Closed from the system menu or with Alt+F4: the caller's windows come
// back first, as after OK.
void OnClose(HWND window) noexcept {
  EnableOtherWindows();
  ::DestroyWindow(window);
}

void OnDestroy(HWND window) noexcept {
  ThreadState* state = threadStates.Current();
  if (state && state->flist == window) {
    state->flist = nullptr;
    state->labfol = state->box1 = state->box2 = nullptr;
  }
}

LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(window, wParam);
      return 0;
    case WM_PAINT:
      OnPaint(window);
      return 0;
    case WM_CLOSE:
      OnClose(window);
      return 0;
    case WM_DESTROY:
      OnDestroy(window);
      return 0;
    default:
      return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

// Nothing may unwind into the window manager: as in the main window, a
// message whose handling ran out of memory counts as handled.
LRESULT CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  return kit::CatchReturn<LRESULT>(0,
                                   [&] { return HandleMessage(window, message, wParam, lParam); });
}

HWND MakeControl(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style,
                 const RECT& twips, int id, const Dpi& dpi) {
  HWND control =
      ::CreateWindowExW(0, className, text, WS_CHILD | style, dpi.X(twips.left), dpi.Y(twips.top),
                        dpi.X(twips.right), dpi.Y(twips.bottom), parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Module(), nullptr);
  if (control) {
    ::SendMessageW(control, WM_SETFONT,
                   reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  }
  return control;
}

HRESULT LastError() {
  const DWORD error = ::GetLastError();
  return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

// flist's class. A plain value, not an owner: at process exit nothing is
// given back (DllMain), and an owner's static destructor would.
kit::window_class dialogClass{};

// One entry: its display text to box1, its value to box2, or neither.
HRESULT AddToBoth(HWND box1, HWND box2, const std::wstring& display, const std::wstring& value) {
  const LRESULT added =
      ::SendMessageW(box1, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(display.c_str()));
  if (added == LB_ERR || added == LB_ERRSPACE) return E_OUTOFMEMORY;
  const LRESULT addedValue =
      ::SendMessageW(box2, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(value.c_str()));
  if (addedValue == LB_ERR || addedValue == LB_ERRSPACE) {
    // Entry i of the values must stay the value of entry i on display.
    ::SendMessageW(box1, LB_DELETESTRING, static_cast<WPARAM>(added), 0);
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

// Room for the entries' texts at once: a list grown one entry at a time may
// copy what it holds again and again.
void Reserve(HWND box, const std::vector<ListEntry>& entries, std::wstring ListEntry::*text) {
  std::size_t characters = 0;
  for (const ListEntry& entry : entries) characters += (entry.*text).size() + 1;
  ::SendMessageW(box, LB_INITSTORAGE, entries.size(),
                 static_cast<LPARAM>(characters * sizeof(wchar_t)));
}

// A visible list that appends many entries draws once, after the last, not
// at each. A hidden one has nothing to hold: the message would show it.
class RedrawHeld {
 public:
  explicit RedrawHeld(HWND box) noexcept
      : box_(::GetWindowLongPtrW(box, GWL_STYLE) & WS_VISIBLE ? box : nullptr) {
    if (box_) ::SendMessageW(box_, WM_SETREDRAW, FALSE, 0);
  }
  RedrawHeld(const RedrawHeld&) = delete;
  RedrawHeld& operator=(const RedrawHeld&) = delete;
  ~RedrawHeld() {
    if (!box_) return;
    ::SendMessageW(box_, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(box_, nullptr, TRUE);
  }

 private:
  HWND box_;
};

}  // namespace

HRESULT LoadDialog() {
  ThreadState& state = threadStates.MakeCurrent();
  if (state.flist) return S_OK;
  kit::scope_exit forgetState([] { threadStates.EndCurrentIfIdle(); });
  const Dpi dpi;
  const int width = dpi.X(kClientWidth), height = dpi.Y(kClientHeight);
  const int left = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int top = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  kit::unique_window flist(::CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, L"Form1",
                                             WS_POPUP | WS_CLIPCHILDREN, left, top, width, height,
                                             nullptr, nullptr, Module(), nullptr));
  if (!flist) return LastError();
  // Creation order is the tab order: box1 first, then OK.
  HWND labfol = MakeControl(flist.get(), L"STATIC", L"", SS_LEFT | SS_NOPREFIX | WS_VISIBLE,
                            {60, 120, 5655, 195}, kLabFolId, dpi);
  HWND box1 = labfol ? MakeControl(flist.get(), L"LISTBOX", L"",
                                   WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_BORDER | LBS_NOTIFY |
                                       LBS_NOINTEGRALHEIGHT,
                                   {60, 420, 5655, 3960}, kBox1Id, dpi)
                     : nullptr;
  HWND ok =
      box1 ? MakeControl(flist.get(), L"BUTTON", L"OK", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                         {2580, 4500, 735, 315}, kOkId, dpi)
           : nullptr;
  HWND box2 = ok ? MakeControl(flist.get(), L"LISTBOX", L"", LBS_NOINTEGRALHEIGHT,
                               {60, 420, 5655, 3960}, kBox2Id, dpi)
                 : nullptr;
  if (!box2) return LastError();
  state.labfol = labfol;
  state.box1 = box1;
  state.box2 = box2;
  state.flist = flist.release();
  state.focus = nullptr;
  forgetState.dismiss();
  return S_OK;
}

bool DialogLoaded() { return Flist() != nullptr; }

void UnloadDialog() {
  ThreadState* state = threadStates.Current();
  if (!state) return;
  if (state->flist) {
    EnableOtherWindows();
    ::DestroyWindow(state->flist);
  }
  state->flist = nullptr;
  threadStates.EndCurrentIfIdle();
}

HRESULT ShowDialog() {
  KIT_RETURN_IF_FAILED(LoadDialog());
  ThreadState& state = *threadStates.Current();
  HWND flist = state.flist;
  OtherWindowsDisabled modal(flist, state.modal);
  state.modal = &modal;
  const kit::scope_exit leave([&state, &modal] {
    state.modal = modal.Outer();
    threadStates.EndCurrentIfIdle();
  });
  ::ShowWindow(flist, SW_SHOW);
  ::SetForegroundWindow(flist);
  ::SetFocus(::IsChild(flist, state.focus) ? state.focus : state.box1);
  MSG message;
  while (::IsWindow(flist) && ::IsWindowVisible(flist)) {
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == -1) return LastError();
    if (got == 0) {
      // Leave the quit for the host's own loop.
      EnableOtherWindows();
      ::ShowWindow(flist, SW_HIDE);
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return S_OK;
    }
    if (!::IsDialogMessageW(flist, &message)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  return S_OK;
}

HRESULT HideDialog() {
  KIT_RETURN_IF_FAILED(LoadDialog());
  EnableOtherWindows();
  ::ShowWindow(Flist(), SW_HIDE);
  return S_OK;
}

HRESULT ClearDialog() {
  KIT_RETURN_IF_FAILED(LoadDialog());
  const ThreadState& state = Loaded();
  ::SendMessageW(state.box1, LB_RESETCONTENT, 0, 0);
  ::SendMessageW(state.box2, LB_RESETCONTENT, 0, 0);
  if (!::SetWindowTextW(state.labfol, L"")) return LastError();
  return S_OK;
}

HRESULT AppendEntry(const std::wstring& display, const std::wstring& value) {
  KIT_RETURN_IF_FAILED(LoadDialog());
  const ThreadState& state = Loaded();
  return AddToBoth(state.box1, state.box2, display, value);
}

HRESULT AppendEntries(const std::vector<ListEntry>& entries) {
  KIT_RETURN_IF_FAILED(LoadDialog());
  const ThreadState& state = Loaded();
  const RedrawHeld held(state.box1);
  Reserve(state.box1, entries, &ListEntry::display);
  Reserve(state.box2, entries, &ListEntry::value);
  for (const ListEntry& entry : entries)
    AddToBoth(state.box1, state.box2, entry.display, entry.value);
  return S_OK;
}

HRESULT SetFolderLabel(const std::wstring& folder) {
  KIT_RETURN_IF_FAILED(LoadDialog());
  return ::SetWindowTextW(Loaded().labfol, folder.c_str()) ? S_OK : LastError();
}

bool DisplayTexts(std::vector<std::wstring>& texts) {
  texts.clear();
  if (FAILED(LoadDialog())) return false;
  HWND box1 = Loaded().box1;
  const LRESULT count = ::SendMessageW(box1, LB_GETCOUNT, 0, 0);
  if (count == LB_ERR) return false;
  std::wstring text;
  for (LRESULT i = 0; i < count; ++i) {
    if (!ListText(box1, i, text)) return false;
    texts.push_back(text);
  }
  return true;
}

std::wstring SelectedItem() {
  const ThreadState* state = threadStates.Current();
  return state ? state->selItem.Text() : std::wstring();
}

bool AttachDialogs(HINSTANCE module) {
  if (!threadStates.Allocate()) return false;
  const HICON icon =
      static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, 32, 32, LR_SHARED));
  dialogClass = kit::RegisterWindowClass(module, kClassName, DialogProc, icon).release();
  return dialogClass.atom != 0;
}

void EndThreadDialog() noexcept { threadStates.EndCurrent(); }

void DetachDialogs() noexcept {
  threadStates.ReleaseAll();
  const kit::unique_window_class unregistered(std::exchange(dialogClass, {}));
}

}  // namespace lorvane
