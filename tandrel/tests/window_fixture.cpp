#include "window_fixture.h"

#include <commctrl.h>

#include <stdexcept>

namespace tandrel_test {
namespace {

constexpr char kFrameClass[] = "TandrelControlsFixture";
constexpr char kPlainClass[] = "TandrelPlainFixture";
constexpr char kMdiFrameClass[] = "TandrelMdiFrameFixture";
constexpr char kMdiChildClass[] = "TandrelMdiChildFixture";
constexpr DWORD kReadyWaitMs = 10000;

HINSTANCE Instance() { return ::GetModuleHandleA(nullptr); }

LRESULT CALLBACK MdiFrameProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  const auto client = reinterpret_cast<HWND>(::GetWindowLongPtrA(window, GWLP_USERDATA));
  return ::DefFrameProcA(window, client, message, wparam, lparam);
}

void RegisterClassOnce(const char* name, WNDPROC procedure) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = Instance();
  windowClass.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = name;
  if (!::RegisterClassA(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    throw std::runtime_error(std::string("cannot register ") + name);
}

void RegisterFixtureClasses() {
  static const bool kRegistered = [] {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TAB_CLASSES | ICC_TREEVIEW_CLASSES};
    ::InitCommonControlsEx(&controls);
    RegisterClassOnce(kFrameClass, ::DefWindowProcA);
    RegisterClassOnce(kPlainClass, ::DefWindowProcA);
    RegisterClassOnce(kMdiFrameClass, MdiFrameProc);
    RegisterClassOnce(kMdiChildClass, ::DefMDIChildProcA);
    return true;
  }();
  (void)kRegistered;
}

HWND Require(HWND window, const char* what) {
  if (!window) throw std::runtime_error(std::string("cannot create the fixture's ") + what);
  return window;
}

HWND CreateChild(HWND parent, const char* windowClass, const char* text, DWORD style,
                 const RECT& rect, int id) {
  return Require(
      ::CreateWindowExA(0, windowClass, text, WS_CHILD | WS_VISIBLE | style, rect.left, rect.top,
                        rect.right - rect.left, rect.bottom - rect.top, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), nullptr),
      windowClass);
}

HTREEITEM InsertTreeItem(HWND tree, HTREEITEM parent, const char* text) {
  TVINSERTSTRUCTA insert = {};
  insert.hParent = parent;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT;
  insert.item.pszText = const_cast<char*>(text);
  return reinterpret_cast<HTREEITEM>(
      ::SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

}  // namespace

int HandleArgument(HWND window) { return static_cast<int>(HandleToLong(window)); }

std::string HandleText(HWND window) { return std::to_string(HandleArgument(window)); }

HWND DestroyedWindowHandle() {
  RegisterFixtureClasses();
  const HWND window = Require(::CreateWindowExA(0, kPlainClass, "", WS_POPUP, 0, 0, 10, 10, nullptr,
                                                nullptr, Instance(), nullptr),
                              "window to destroy");
  ::DestroyWindow(window);
  return window;
}

void PumpMessages() {
  MSG message;
  while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
}

ControlsWindow::ControlsWindow() {
  RegisterFixtureClasses();
  frame.reset(
      Require(::CreateWindowExA(0, kFrameClass, "Tandrel controls", kStyle, kScreenOrigin.x,
                                kScreenOrigin.y, 640, 480, nullptr, nullptr, Instance(), nullptr),
              "frame"));
  const HWND parent = frame.get();

  edit = CreateChild(parent, "EDIT", "old text", WS_BORDER | ES_AUTOHSCROLL, kEditRect, kEditId);
  ::SendMessageA(edit, EM_SETREADONLY, TRUE, 0);
  focusButton =
      CreateChild(parent, "BUTTON", "Focus", BS_PUSHBUTTON | WS_TABSTOP, {220, 10, 320, 34}, 11);
  checkButton =
      CreateChild(parent, "BUTTON", "Check", BS_AUTOCHECKBOX | WS_TABSTOP, {330, 10, 430, 34}, 12);
  ::SendMessageA(checkButton, BM_SETCHECK, BST_CHECKED, 0);
  ::SendMessageA(checkButton, BM_SETSTATE, TRUE, 0);

  combo =
      CreateChild(parent, "COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL, {10, 50, 210, 250}, 13);
  for (const char* item : {"alpha", "abacus", "abc", "beta"})
    ::SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));

  list = CreateChild(parent, "LISTBOX", "", LBS_NOINTEGRALHEIGHT | WS_VSCROLL, kListRect, 14);
  ::SendMessageA(list, LB_SETITEMHEIGHT, 0, kListItemHeight);
  const char* const listItems[] = {"zero", "one", "two",   "three", "four",
                                   "five", "six", "seven", "eight", "nine"};
  for (int i = 0; i < 10; ++i) {
    ::SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(listItems[i]));
    ::SendMessageA(list, LB_SETITEMDATA, static_cast<WPARAM>(i), kListItemData[i]);
  }

  tabs = CreateChild(parent, WC_TABCONTROLA, "", 0, {380, 50, 620, 150}, 15);
  const char* const tabNames[] = {"One", "Two", "Three"};
  for (int i = 0; i < 3; ++i) {
    TCITEMA tab = {};
    tab.mask = TCIF_TEXT;
    tab.pszText = const_cast<char*>(tabNames[i]);
    ::SendMessageA(tabs, TCM_INSERTITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&tab));
  }
  ::SendMessageA(tabs, TCM_SETCURSEL, 0, 0);

  tree = CreateChild(parent, WC_TREEVIEWA, "", TVS_HASBUTTONS | TVS_HASLINES,
                     {10, 180, 210, 180 + kTreeHeight}, 16);
  ::SendMessageA(tree, TVM_SETITEMHEIGHT, kTreeItemHeight, 0);
  ::SendMessageA(tree, TVM_SETINDENT, kTreeIndent, 0);
  const HTREEITEM root = InsertTreeItem(tree, TVI_ROOT, "Root");
  const HTREEITEM a = InsertTreeItem(tree, root, "A");
  InsertTreeItem(tree, a, "A1");
  InsertTreeItem(tree, root, "B");
  ::SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
  ::SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(root));

  staticMinusOne =
      CreateChild(parent, "STATIC", "label", SS_LEFT, {380, 180, 480, 200}, kMinusOneId);

  captioned = CreateChild(parent, kPlainClass, "Captioned", kCaptionedStyle, kCaptionedRect, 17);

  ::ShowWindow(parent, SW_SHOW);
  ::SetForegroundWindow(parent);
  PumpMessages();
}

const std::string MenuWindow::kLongText = std::string(299, 'L') + "!";
const std::string MenuWindow::kExactText = std::string(254, 'E') + "!";

MenuWindow::MenuWindow() {
  RegisterFixtureClasses();
  const HMENU file = ::CreatePopupMenu();
  ::AppendMenuA(file, MF_STRING, kOpenId, "&Open");
  ::AppendMenuA(file, MF_STRING, kLongId, kLongText.c_str());
  ::AppendMenuA(file, MF_STRING, kExactId, kExactText.c_str());
  const HMENU bar = ::CreateMenu();
  ::AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "&File");
  // The window owns the menu from here on and destroys it with itself.
  window.reset(Require(::CreateWindowExA(0, kFrameClass, "Tandrel menu", WS_OVERLAPPEDWINDOW, 760,
                                         120, 300, 200, nullptr, bar, Instance(), nullptr),
                       "menu window"));
}

unique_window CreatePopup(const RECT& rect) {
  RegisterFixtureClasses();
  return unique_window(Require(
      ::CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kPlainClass, "",
                        WS_POPUP | WS_VISIBLE, rect.left, rect.top, rect.right - rect.left,
                        rect.bottom - rect.top, nullptr, nullptr, Instance(), nullptr),
      "popup"));
}

unique_window CreateScrollableChild(HWND parent, DWORD scrollStyles) {
  RegisterFixtureClasses();
  return unique_window(Require(::CreateWindowExA(0, kPlainClass, "", WS_CHILD | scrollStyles, 0, 0,
                                                 100, 100, parent, nullptr, Instance(), nullptr),
                               "scrollable child"));
}

MdiFrameThread::MdiFrameThread(bool children)
    : ready_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      thread_([this, children] { Run(children); }) {
  if (::WaitForSingleObject(ready_.get(), kReadyWaitMs) != WAIT_OBJECT_0 || !client_) {
    Stop();
    throw std::runtime_error("the MDI frame did not come up");
  }
}

MdiFrameThread::~MdiFrameThread() { Stop(); }

void MdiFrameThread::Stop() {
  ::PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
  thread_.join();
}

void MdiFrameThread::Run(bool children) {
  threadId_ = ::GetCurrentThreadId();
  MSG message;
  ::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);  // a queue for the quit request
  RegisterFixtureClasses();
  const unique_window frame(::CreateWindowExA(0, kMdiFrameClass, "Tandrel MDI frame",
                                              WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 100, 620, 500,
                                              300, nullptr, nullptr, Instance(), nullptr));
  if (frame) {
    CLIENTCREATESTRUCT clientCreate = {};
    clientCreate.idFirstChild = 1000;
    client_ = ::CreateWindowExA(0, "MDICLIENT", nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                                0, 0, 0, frame.get(), nullptr, Instance(), &clientCreate);
    ::SetWindowLongPtrA(frame.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(client_));
    if (client_ && children) {
      const char* const titles[] = {"One", "Two"};
      for (int i = 0; i < 2; ++i) {
        children_[i] = ::CreateMDIWindowA(kMdiChildClass, titles[i], 0, CW_USEDEFAULT,
                                          CW_USEDEFAULT, 200, 150, client_, Instance(), 0);
      }
      ::SendMessageA(client_, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(children_[0]), 0);
    }
    ::ShowWindow(frame.get(), SW_SHOWNOACTIVATE);
    frame_ = frame.get();
  }
  ::SetEvent(ready_.get());
  while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (client_ && ::TranslateMDISysAccel(client_, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
}

}  // namespace tandrel_test
