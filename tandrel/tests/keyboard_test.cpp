// The keyboard exports bound by name, as a script host binds them, watched
// through a low-level keyboard hook and an edit control that has the focus.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "library_binding.h"
#include "unique_resource.h"

namespace {

constexpr DWORD kWaitMs = 5000;   // for events the system has yet to deliver
constexpr DWORD kSettleMs = 150;  // then for any that should not come

// Injected events as the hook saw them: "v65" down, "^65" up, ":scan" when
// nonzero. Hook procedures take no context, hence file-wide state.
std::string gEvents;
bool gSwallow = false;  // stop recorded events here: no clipboard copy, no key left down

DWORD GenericKey(DWORD key) {
  // Hooks may report the left or right modifier (Wine reports the generic one
  // the exports send).
  switch (key) {
    case VK_LSHIFT:
    case VK_RSHIFT:
      return VK_SHIFT;
    case VK_LCONTROL:
    case VK_RCONTROL:
      return VK_CONTROL;
    case VK_LMENU:
    case VK_RMENU:
      return VK_MENU;
    default:
      return key;
  }
}

LRESULT CALLBACK RecordInjected(int code, WPARAM wParam, LPARAM lParam) {
  const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
  if (code == HC_ACTION && (key->flags & LLKHF_INJECTED)) {
    if (!gEvents.empty()) gEvents += ' ';
    gEvents += ((key->flags & LLKHF_UP) ? '^' : 'v') + std::to_string(GenericKey(key->vkCode));
    if (key->scanCode != 0) gEvents += ':' + std::to_string(key->scanCode);
    if (gSwallow) return 1;
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

std::size_t EventCount() {
  if (gEvents.empty()) return 0;
  return 1 + static_cast<std::size_t>(std::count(gEvents.begin(), gEvents.end(), ' '));
}

// Lets the hook and the edit handle queued input until `done` or the wait ends.
template <typename Done>
bool PumpUntil(Done done, DWORD waitMs = kWaitMs) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageA(&message);
    }
    if (done()) return true;
    if (::GetTickCount() - start >= waitMs) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

void Settle() {
  PumpUntil([] { return false; }, kSettleMs);
}

void UnhookValue(HHOOK hook) noexcept { ::UnhookWindowsHookEx(hook); }
using kit::unique_window;
using unique_hook = kit::unique_any<HHOOK, UnhookValue>;

constexpr char kFrameClass[] = "TandrelKeyboardTest";
constexpr BYTE kTypedKeysLeftDown[] = {VK_SHIFT, VK_CONTROL, 'X'};

class KeyboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    library_.reset(::LoadLibraryA("Tandrel.dll"));
    ASSERT_TRUE(library_) << "Tandrel.dll beside the test program";
    keybdType_ = TANDREL_BIND(library_.get(), keybd_type);
    keybdType2_ = TANDREL_BIND(library_.get(), keybd_type2);
    printScrn_ = TANDREL_BIND(library_.get(), print_scrn);
    captureScreen_ = TANDREL_BIND(library_.get(), capture_screen);
    ASSERT_TRUE(keybdType_ && keybdType2_ && printScrn_ && captureScreen_);

    WNDCLASSA frameClass = {};
    frameClass.lpfnWndProc = ::DefWindowProcA;
    frameClass.hInstance = ::GetModuleHandleA(nullptr);
    frameClass.lpszClassName = kFrameClass;
    ::RegisterClassA(&frameClass);  // fails harmlessly for every test but the first
    frame_.reset(::CreateWindowExA(0, kFrameClass, "Tandrel keyboard test",
                                   WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200, nullptr,
                                   nullptr, frameClass.hInstance, nullptr));
    ASSERT_TRUE(frame_);
    edit_ = ::CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 0, 0, 280, 150,
                              frame_.get(), nullptr, frameClass.hInstance, nullptr);
    ASSERT_NE(edit_, nullptr);
    ::SetForegroundWindow(frame_.get());
    ::SetFocus(edit_);
    // Injected keys go to whatever has the focus: never type into another program.
    ASSERT_TRUE(PumpUntil([this] { return ::GetFocus() == edit_; }));
    ASSERT_EQ(::GetForegroundWindow(), frame_.get());

    hook_.reset(
        ::SetWindowsHookExA(WH_KEYBOARD_LL, RecordInjected, ::GetModuleHandleA(nullptr), 0));
    ASSERT_TRUE(hook_);
    gEvents.clear();
    gSwallow = false;
  }

  void TearDown() override {
    // Typing tests may leave keys down by design; the screen keys are
    // swallowed, so never go down. Key state is not asked: Wine does not
    // always show an injected key as down.
    gSwallow = false;
    for (BYTE key : kTypedKeysLeftDown) ::keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
    Settle();
  }

  // The injected events once `count` have arrived, and any stray ones after.
  std::string Recorded(std::size_t count) {
    EXPECT_TRUE(PumpUntil([count] { return EventCount() >= count; })) << gEvents;
    Settle();
    return gEvents;
  }

  std::string EditText() const {
    char text[256] = {};
    ::GetWindowTextA(edit_, text, sizeof text);
    return text;
  }

  // Waits for the edit to show `expected`; answers what it shows.
  std::string EditShows(const std::string& expected) {
    PumpUntil([&] { return EditText() == expected; });
    return EditText();
  }

  decltype(&::keybd_type) keybdType_ = nullptr;
  decltype(&::keybd_type2) keybdType2_ = nullptr;
  decltype(&::print_scrn) printScrn_ = nullptr;
  decltype(&::capture_screen) captureScreen_ = nullptr;
  kit::unique_hmodule library_;
  unique_window frame_;
  HWND edit_ = nullptr;  // destroyed with the frame
  unique_hook hook_;
};

TEST_F(KeyboardTest, KeybdTypeTypesTextAndTaggedKeys) {
  EXPECT_EQ(keybdType_("Hello, World<13>"), 0);
  EXPECT_EQ(EditShows("Hello, World\r\n"), "Hello, World\r\n");
  gEvents.clear();
  EXPECT_EQ(keybdType_("aB<13>"), 0);
  EXPECT_EQ(Recorded(8), "v65 ^65 v16 v66 ^66 ^16 v13 ^13");
}

TEST_F(KeyboardTest, EmptyTextSendsNothing) {
  EXPECT_EQ(keybdType_(""), 0);
  EXPECT_EQ(keybdType2_(""), 0);
  EXPECT_EQ(Recorded(0), "");
}

TEST_F(KeyboardTest, KeybdType2ChordsHoldModifiers) {
  EXPECT_EQ(keybdType2_("<16>-abc<16>+"), 0);
  EXPECT_EQ(Recorded(8), "v16 v65 ^65 v66 ^66 v67 ^67 ^16");
  EXPECT_EQ(EditShows("ABC"), "ABC");
  EXPECT_EQ(keybdType_(" def"), 0);
  // Ctrl+Left moves back one word before the x is typed.
  EXPECT_EQ(keybdType2_("<17>-<37><17>+x"), 0);
  EXPECT_EQ(EditShows("ABC xdef"), "ABC xdef");
}

TEST_F(KeyboardTest, KeybdType2HoldsAKeyAfterAnyTag) {
  EXPECT_EQ(keybdType2_("<13>x-"), 0);
  EXPECT_EQ(Recorded(3), "v13 ^13 v88");  // no key-up for X, even after waiting
  EXPECT_EQ(EditShows("\r\nx"), "\r\nx");
}

TEST_F(KeyboardTest, PrintScrnPressesAltOnlyForActive) {
  gSwallow = true;  // keep the clipboard as it is
  EXPECT_EQ(printScrn_("Active"), 0);
  EXPECT_EQ(Recorded(3), "v18 v44 ^18");
  gEvents.clear();
  EXPECT_EQ(printScrn_("active"), 0);
  EXPECT_EQ(printScrn_(""), 0);
  EXPECT_EQ(Recorded(2), "v44 v44");
}

TEST_F(KeyboardTest, CaptureScreenSendsPrintScreenDownWithScan) {
  gSwallow = true;
  EXPECT_EQ(captureScreen_(1), 0);
  EXPECT_EQ(captureScreen_(0x1FF), 0);
  EXPECT_EQ(Recorded(2), "v44:1 v44:255");
}

}  // namespace
