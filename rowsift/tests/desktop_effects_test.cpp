#include "desktop_effects.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "unique_resource.h"
#include "utf_text.h"

namespace rowsift {
namespace {

// The id Windows and Wine give a message box's text; the icon is found by its
// style instead, since they number it differently.
constexpr int kMessageTextId = 0xFFFF;
constexpr DWORD kBoxWaitMs = 10000;

std::string TextOf(HWND window) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(::GetWindowTextW(window, text.data(), static_cast<int>(text.size())));
  return kit::Utf8FromUtf16(text);
}

bool HasClass(HWND window, const char* name) {
  char actual[32] = {};
  ::GetClassNameA(window, actual, sizeof actual);
  return std::strcmp(actual, name) == 0;
}

std::vector<HWND> VisibleChildren(HWND parent) {
  std::vector<HWND> children;
  for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
    if (::IsWindowVisible(child)) children.push_back(child);
  return children;
}

// What the user sees of a message box.
struct SeenBox {
  bool found = false;
  std::string caption;
  std::string text;
  std::vector<int> buttons;  // visible ones, left to right
  HICON icon = nullptr;
  int defaultButton = 0;  // drawn as the default
  HWND owner = nullptr;
  bool ownerEnabled = true;
};

BOOL CALLBACK NoteDialog(HWND window, LPARAM found) {
  if (!HasClass(window, "#32770") || !::IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// Looks for the box among the test thread's windows rather than by caption,
// so a wrong caption fails the test instead of leaving the box up forever.
HWND WaitForDialogOf(DWORD thread) {
  for (DWORD waited = 0; waited < kBoxWaitMs; waited += 20) {
    HWND dialog = nullptr;
    ::EnumThreadWindows(thread, NoteDialog, reinterpret_cast<LPARAM>(&dialog));
    if (dialog) return dialog;
    ::Sleep(20);
  }
  return nullptr;
}

SeenBox Read(HWND box) {
  SeenBox seen;
  seen.found = true;
  seen.caption = TextOf(box);
  seen.text = TextOf(::GetDlgItem(box, kMessageTextId));
  for (HWND child : VisibleChildren(box)) {
    const LONG style = ::GetWindowLongA(child, GWL_STYLE);
    if (HasClass(child, "Button")) {
      seen.buttons.push_back(::GetDlgCtrlID(child));
      if ((style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) seen.defaultButton = ::GetDlgCtrlID(child);
    } else if (HasClass(child, "Static") && (style & SS_TYPEMASK) == SS_ICON) {
      seen.icon = reinterpret_cast<HICON>(::SendMessageA(child, STM_GETICON, 0, 0));
    }
  }
  seen.owner = ::GetWindow(box, GW_OWNER);
  seen.ownerEnabled = seen.owner == nullptr || ::IsWindowEnabled(seen.owner);
  return seen;
}

enum class Answer { kClick, kPressEnter };

// Plays the user at the message box the test thread is about to show: waits
// for it, notes what it shows, then clicks `button` or presses Enter.
class BoxUser {
 public:
  explicit BoxUser(Answer how, int button = 0)
      : boxThread_(::GetCurrentThreadId()),
        how_(how),
        button_(button),
        worker_([this] { Run(); }) {}
  ~BoxUser() {
    if (worker_.joinable()) worker_.join();
  }
  BoxUser(const BoxUser&) = delete;
  BoxUser& operator=(const BoxUser&) = delete;

  const SeenBox& Seen() {
    if (worker_.joinable()) worker_.join();
    return seen_;
  }

 private:
  void Run() {
    const HWND box = WaitForDialogOf(boxThread_);
    if (!box) return;
    seen_ = Read(box);
    if (how_ == Answer::kPressEnter) {
      GUITHREADINFO input = {};
      input.cbSize = sizeof input;
      ::GetGUIThreadInfo(boxThread_, &input);
      ::PostMessageA(input.hwndFocus ? input.hwndFocus : box, WM_KEYDOWN, VK_RETURN, 1);
      return;
    }
    HWND button = ::GetDlgItem(box, button_);
    // Without the wanted button, any will do: the box must go away.
    if ((!button || !::IsWindowVisible(button)) && !seen_.buttons.empty())
      button = ::GetDlgItem(box, seen_.buttons.front());
    ::SendMessageA(button, BM_CLICK, 0, 0);
    // The click ended the dialog inside a sent message; the modal loop only
    // notices once it retrieves a posted one.
    ::PostMessageA(box, WM_NULL, 0, 0);
  }

  const DWORD boxThread_;
  const Answer how_;
  const int button_;
  SeenBox seen_;
  std::thread worker_;  // last: starts once the rest is set
};

// A window of the test thread: owns the boxes, records what reaches it and
// answers WM_SETCURSOR as the main window must.
struct Recorder {
  DesktopEffects* effects;
  std::vector<WPARAM> appMessages;
  std::string characters;
};

LRESULT CALLBACK RecorderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* recorder = reinterpret_cast<Recorder*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
  if (recorder) {
    switch (message) {
      case WM_APP:
        recorder->appMessages.push_back(wParam);
        // A step that posts more work: it must be handled in the same pass.
        if (wParam == 1) ::PostMessageA(window, WM_APP, 3, 0);
        return 0;
      case WM_CHAR:
        recorder->characters += static_cast<char>(wParam);
        return 0;
      case WM_SETCURSOR:
        if (recorder->effects->KeepBusyCursor()) return TRUE;
        break;
    }
  }
  return ::DefWindowProcA(window, message, wParam, lParam);
}

constexpr char kRecorderClass[] = "RowsiftDesktopEffectsTest";

class DesktopEffectsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = RecorderProc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    // Not the arrow, so the class cursor is told apart from the one the
    // effects set.
    windowClass.hCursor = ::LoadCursorA(nullptr, IDC_IBEAM);
    windowClass.lpszClassName = kRecorderClass;
    ::RegisterClassA(&windowClass);  // fails harmlessly for every test but the first
    window_.reset(::CreateWindowA(kRecorderClass, "Rowsift test", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                  100, nullptr, nullptr, windowClass.hInstance, nullptr));
    ASSERT_TRUE(window_);
    ::SetWindowLongPtrA(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&recorder_));
  }

  HWND Window() const { return window_.get(); }

  DesktopEffects effects_{nullptr};
  Recorder recorder_{&effects_, {}, {}};
  kit::unique_window window_;  // last: its procedure uses the others until it is gone
};

class MessageBoxTest : public DesktopEffectsTest {
 protected:
  DesktopEffects OwnedEffects() const { return DesktopEffects(Window()); }
};

// Messages name paths in any script.
const std::u8string kTwoLinesUtf8 =
    u8"Output file C:\\\u03a9mega\\\u65e5\u5fd7.htm exists.\r\nOverride it?";
const std::string kTwoLines(kTwoLinesUtf8.begin(), kTwoLinesUtf8.end());

TEST_F(MessageBoxTest, ErrorShowsStopSignAndOkOnTheOwner) {
  BoxUser user(Answer::kClick, IDOK);
  OwnedEffects().ShowMessage(kTwoLines, MessageIcon::kError);

  const SeenBox& seen = user.Seen();
  ASSERT_TRUE(seen.found);
  EXPECT_EQ(seen.caption, "Rowsift");
  EXPECT_EQ(seen.text, kTwoLines);
  EXPECT_EQ(seen.buttons, std::vector<int>{IDOK});
  EXPECT_EQ(seen.icon, ::LoadIconA(nullptr, IDI_HAND));
  EXPECT_EQ(seen.defaultButton, IDOK);
  EXPECT_EQ(seen.owner, Window());
  EXPECT_FALSE(seen.ownerEnabled);
  EXPECT_TRUE(::IsWindowEnabled(Window()));
}

TEST_F(MessageBoxTest, PlainMessageHasNoIconAndMayBeUnowned) {
  BoxUser user(Answer::kPressEnter);
  effects_.ShowMessage("Output File Created Successfully!", MessageIcon::kNone);

  const SeenBox& seen = user.Seen();
  ASSERT_TRUE(seen.found);
  EXPECT_EQ(seen.caption, "Rowsift");
  EXPECT_EQ(seen.text, "Output File Created Successfully!");
  EXPECT_EQ(seen.buttons, std::vector<int>{IDOK});
  EXPECT_EQ(seen.icon, nullptr);
  EXPECT_EQ(seen.owner, nullptr);
}

TEST_F(MessageBoxTest, QuestionShowsYesAsDefaultAndNo) {
  BoxUser user(Answer::kClick, IDYES);
  EXPECT_TRUE(OwnedEffects().AskYesNo(kTwoLines));

  const SeenBox& seen = user.Seen();
  ASSERT_TRUE(seen.found);
  EXPECT_EQ(seen.caption, "Rowsift");
  EXPECT_EQ(seen.text, kTwoLines);
  EXPECT_EQ(seen.buttons, (std::vector<int>{IDYES, IDNO}));
  EXPECT_EQ(seen.icon, ::LoadIconA(nullptr, IDI_QUESTION));
  EXPECT_EQ(seen.defaultButton, IDYES);
  EXPECT_EQ(seen.owner, Window());
}

TEST_F(MessageBoxTest, AnswersFollowTheUser) {
  {
    BoxUser user(Answer::kClick, IDNO);
    EXPECT_FALSE(OwnedEffects().AskYesNo("Are you sure?"));
    EXPECT_TRUE(user.Seen().found);
  }
  {
    BoxUser user(Answer::kPressEnter);
    EXPECT_TRUE(OwnedEffects().AskYesNo("Are you sure?")) << "Enter takes the default, Yes";
    EXPECT_TRUE(user.Seen().found);
  }
}

TEST_F(DesktopEffectsTest, BusyCursorShowsAtOnceAndSurvivesSetCursorRequests) {
  const HCURSOR hourglass = ::LoadCursorA(nullptr, IDC_WAIT);
  const HCURSOR arrow = ::LoadCursorA(nullptr, IDC_ARROW);
  const LPARAM overClientArea = MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);

  effects_.SetBusyCursor(true);
  EXPECT_TRUE(effects_.Busy());
  EXPECT_EQ(::GetCursor(), hourglass);
  // The mouse moves over the window while the run goes on.
  ::SendMessageA(Window(), WM_SETCURSOR, reinterpret_cast<WPARAM>(Window()), overClientArea);
  EXPECT_EQ(::GetCursor(), hourglass);

  effects_.SetBusyCursor(false);
  EXPECT_FALSE(effects_.Busy());
  EXPECT_EQ(::GetCursor(), arrow);
  // Afterwards the window's own cursor comes back.
  ::SendMessageA(Window(), WM_SETCURSOR, reinterpret_cast<WPARAM>(Window()), overClientArea);
  EXPECT_EQ(::GetCursor(), ::LoadCursorA(nullptr, IDC_IBEAM));
}

// The queue must be empty between tests: a stray WM_QUIT would end the next
// message box at once.
TEST_F(DesktopEffectsTest, PendingEventsAreDispatchedUntilTheQueueIsEmpty) {
  ::PostMessageA(Window(), WM_APP, 1, 0);
  ::PostMessageA(Window(), WM_APP, 2, 0);
  ::PostMessageA(Window(), WM_KEYDOWN, 'A', 1);

  effects_.ProcessPendingEvents();

  EXPECT_EQ(recorder_.appMessages, (std::vector<WPARAM>{1, 2, 3}));
  ASSERT_EQ(recorder_.characters.size(), 1u) << "keys are translated into characters";
  EXPECT_EQ(std::tolower(static_cast<unsigned char>(recorder_.characters[0])), 'a');
  MSG left;
  EXPECT_FALSE(::PeekMessageA(&left, nullptr, 0, 0, PM_NOREMOVE));
}

TEST_F(DesktopEffectsTest, QuitStaysQueuedForTheMainLoop) {
  ::PostMessageA(Window(), WM_APP, 2, 0);
  ::PostQuitMessage(42);

  effects_.ProcessPendingEvents();

  EXPECT_EQ(recorder_.appMessages, std::vector<WPARAM>{2});
  MSG quit = {};
  ASSERT_TRUE(::PeekMessageA(&quit, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(quit.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(quit.wParam, 42u);
  MSG left;
  EXPECT_FALSE(::PeekMessageA(&left, nullptr, 0, 0, PM_NOREMOVE));
}

TEST_F(DesktopEffectsTest, OpeningAMissingFileIsIgnored) {
  wchar_t folder[MAX_PATH] = {};
  ASSERT_NE(::GetTempPathW(MAX_PATH, folder), 0u);
  const std::wstring missing = std::wstring(folder) + L"rowsift-no-such-report-4f1c9a.htm";
  ASSERT_EQ(::GetFileAttributesW(missing.c_str()), INVALID_FILE_ATTRIBUTES);

  DesktopEffects(Window()).OpenWithShell(missing);
}

TEST(TimeStampTest, UsesTheUsersShortDateAndLongTime) {
  SYSTEMTIME local = {};
  local.wYear = 2026;
  local.wMonth = 12;
  local.wDayOfWeek = 1;
  local.wDay = 7;
  local.wHour = 5;
  local.wMinute = 9;
  local.wSecond = 3;

  wchar_t date[80] = {};
  wchar_t time[80] = {};
  ASSERT_GT(::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &local, nullptr, date, 80), 0);
  ASSERT_GT(::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &local, nullptr, time, 80), 0);
  EXPECT_EQ(FormatTimeStamp(local), kit::Utf8FromUtf16(std::wstring(date) + L" " + time));

  // Holds only for an English (United States) user locale, Wine's default.
  if (::GetUserDefaultLCID() == 0x0409) {
    EXPECT_EQ(FormatTimeStamp(local), "12/7/2026 5:09:03 AM");
  }
}

TEST(TimeStampTest, IsTheCurrentLocalTime) {
  SYSTEMTIME before;
  ::GetLocalTime(&before);
  const std::string stamp = DesktopEffects(nullptr).TimeStamp();
  SYSTEMTIME after;
  ::GetLocalTime(&after);

  // The clock may tick between the readings.
  EXPECT_TRUE(stamp == FormatTimeStamp(before) || stamp == FormatTimeStamp(after)) << stamp;
}

}  // namespace
}  // namespace rowsift
