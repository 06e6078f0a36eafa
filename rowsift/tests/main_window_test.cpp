// The window in the test's own process, with its settings, file dialog and
// files replaced, for what cannot be seen from outside: what it writes in
// which order, how it behaves inside a run, what it drops from the queue.
#include "main_window.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "held_files.h"

namespace rowsift {
namespace {

// Bytes of a UTF-8 literal, whatever the compiler's own character set.
std::string U8(std::u8string_view text) { return {text.begin(), text.end()}; }

class RecordingSettings : public SettingsStore {
 public:
  std::vector<std::wstring> writes;  // "app\section\key=value", in order

  std::wstring Read(const std::wstring&, const std::wstring&, const std::wstring&) const override {
    return {};
  }
  void Write(const std::wstring& app, const std::wstring& section, const std::wstring& key,
             const std::wstring& value) override {
    writes.push_back(app + L"\\" + section + L"\\" + key + L"=" + value);
  }
};

class FakeChooser : public InputFileChooser {
 public:
  std::optional<std::wstring> answer;
  HWND owner = nullptr;

  std::optional<std::wstring> ChooseInputFile(HWND dialogOwner) override {
    owner = dialogOwner;
    return answer;
  }
};

// No file exists; a test may act when a run asks about one.
class ScriptedFiles : public kit::testing::HeldFileSystem {
 public:
  std::function<void()> onExistenceCheck;

  bool FileExists(const filelayer::Path&) const override {
    if (onExistenceCheck) onExistenceCheck();
    return false;
  }
  bool FolderExists(const filelayer::Path&) const override { return false; }
  std::string ReadAll(const filelayer::Path&) const override { return {}; }
  void WriteAll(const filelayer::Path&, std::string_view) const override {}
};

BOOL CALLBACK NoteVisibleDialog(HWND window, LPARAM found) {
  char className[16] = {};
  ::GetClassNameA(window, className, sizeof className);
  if (std::strcmp(className, "#32770") != 0 || !::IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// Presses OK on the next message box of the calling thread, from the side.
class OkPresser {
 public:
  OkPresser()
      : boxThread_(::GetCurrentThreadId()), worker_([this] {
          for (int waited = 0; waited < 10000 && !box_; waited += 10) {
            ::Sleep(10);
            ::EnumThreadWindows(boxThread_, NoteVisibleDialog, reinterpret_cast<LPARAM>(&box_));
          }
          ::SendMessageA(::GetDlgItem(box_, IDOK), BM_CLICK, 0, 0);
          ::PostMessageA(box_, WM_NULL, 0, 0);  // so the modal loop notices
        }) {}
  ~OkPresser() { worker_.join(); }

 private:
  const DWORD boxThread_;
  HWND box_ = nullptr;
  std::thread worker_;  // last: starts once the rest is set
};

// Dispatches what is queued and tells which messages there were.
std::vector<UINT> TakeQueuedMessages() {
  std::vector<UINT> messages;
  MSG message;
  while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    messages.push_back(message.message);
    ::DispatchMessageA(&message);
  }
  return messages;
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.emplace(settings_, L"RowsiftScratch", chooser_, files_, true);
    ASSERT_TRUE(window_->Create(::GetModuleHandleW(nullptr)));
    SetText(kIdInputFile, L"C:\\old\\input.htm");
    SetText(kIdOutputFile, L"C:\\old\\kept.htm");
    SetText(kIdFilterOn, L"Login");
  }
  void TearDown() override {
    window_.reset();
    TakeQueuedMessages();  // the quit of a closed window
  }

  HWND Window() const { return window_->Handle(); }
  HWND Item(int id) const { return ::GetDlgItem(Window(), id); }
  std::wstring Text(int id) const {
    wchar_t text[256] = {};
    ::GetWindowTextW(Item(id), text, 256);
    return text;
  }
  void SetText(int id, const wchar_t* text) { ::SetWindowTextW(Item(id), text); }
  // What the button tells its window when clicked.
  void Press(int id) {
    ::SendMessageA(Window(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(Item(id)));
  }

  RecordingSettings settings_;
  FakeChooser chooser_;
  ScriptedFiles files_;
  std::optional<MainWindow> window_;
};

TEST_F(MainWindowTest, BrowseChoiceFillsTheInputAndProposesTheOutput) {
  chooser_.answer = L"D:\\R\u00e9sultats\\\u03a9mega\\\u65e5\u5fd7.HTML";
  Press(kIdBrowse);
  EXPECT_EQ(chooser_.owner, Window());
  EXPECT_EQ(Text(kIdInputFile), L"D:\\R\u00e9sultats\\\u03a9mega\\\u65e5\u5fd7.HTML");
  EXPECT_EQ(Text(kIdOutputFile), L"D:\\R\u00e9sultats\\\u03a9mega\\\u65e5\u5fd7_Output.html");

  chooser_.answer = L"D:\\Results\\notes.txt";
  Press(kIdBrowse);
  EXPECT_EQ(Text(kIdInputFile), L"D:\\Results\\notes.txt");
  EXPECT_EQ(Text(kIdOutputFile), L"D:\\R\u00e9sultats\\\u03a9mega\\\u65e5\u5fd7_Output.html")
      << "no proposal, no change";
  EXPECT_EQ(Text(kIdFilterOn), L"Login");
}

TEST_F(MainWindowTest, TheFilterGoesToTheRunInTheSystemCodePageOrNotAtAll) {
  if (::GetACP() != 1252) GTEST_SKIP() << "written for a Western code page, Wine's default";
  SetText(kIdFilterOn, L"Caf\u00e9");
  EXPECT_EQ(window_->JobFromTexts().filter, "Caf\xE9");
  SetText(kIdFilterOn, L"\u03a9mega");
  EXPECT_EQ(window_->JobFromTexts().filter, std::nullopt) << "not \"?mega\" nor \"Omega\"";
}

TEST_F(MainWindowTest, CancelledBrowseEmptiesOnlyTheInput) {
  chooser_.answer = std::nullopt;
  Press(kIdBrowse);
  EXPECT_EQ(Text(kIdInputFile), L"");
  EXPECT_EQ(Text(kIdOutputFile), L"C:\\old\\kept.htm");
  EXPECT_EQ(Text(kIdFilterOn), L"Login");
}

TEST_F(MainWindowTest, ClosingSavesTheThreeTextsInOrderAndEndsTheLoop) {
  SetText(kIdFilterOn, L"");
  ::SendMessageW(Window(), WM_CLOSE, 0, 0);

  EXPECT_EQ(settings_.writes, (std::vector<std::wstring>{
                                  L"RowsiftScratch\\Settings\\InputFileName=C:\\old\\input.htm",
                                  L"RowsiftScratch\\Settings\\OutputFileName=C:\\old\\kept.htm",
                                  L"RowsiftScratch\\Settings\\FilterOn="}));
  EXPECT_EQ(Window(), nullptr);
  EXPECT_EQ(TakeQueuedMessages(), std::vector<UINT>{WM_QUIT});
}

TEST_F(MainWindowTest, ClosingDuringARunWaitsForItsEnd) {
  // The close arrives while the run is going on. Sent, not posted: a posted
  // close may be taken by the message box's loop just as OK ends it, and the
  // system drops it then, which would make this test a race.
  files_.onExistenceCheck = [this] { ::SendMessageA(Window(), WM_CLOSE, 0, 0); };
  {
    OkPresser user;
    Press(kIdParse);
  }
  ASSERT_NE(Window(), nullptr);
  EXPECT_TRUE(settings_.writes.empty());

  TakeQueuedMessages();
  EXPECT_EQ(Window(), nullptr);
  EXPECT_EQ(settings_.writes.size(), 3u);
}

TEST_F(MainWindowTest, TheNewestDebugLineShows) {
  for (int i = 0; i < 39; ++i) window_->AppendDebugLine("line " + std::to_string(i));
  window_->AppendDebugLine(U8(u8"Open Input File C:\\\u65e5\u5fd7.htm"));

  const HWND list = Item(kIdDebugList);
  ASSERT_EQ(::SendMessageW(list, LB_GETCOUNT, 0, 0), 40);
  wchar_t newestText[64] = {};
  ::SendMessageW(list, LB_GETTEXT, 39, reinterpret_cast<LPARAM>(newestText));
  EXPECT_EQ(std::wstring(newestText), L"Open Input File C:\\\u65e5\u5fd7.htm");
  RECT newest, inside;
  ASSERT_NE(::SendMessageA(list, LB_GETITEMRECT, 39, reinterpret_cast<LPARAM>(&newest)), LB_ERR);
  ::GetClientRect(list, &inside);
  EXPECT_GE(newest.top, 0);
  EXPECT_LE(newest.bottom, inside.bottom);
}

TEST(DiscardQueuedInput, DropsKeysAndClicksOnly) {
  const HWND window = ::CreateWindowA("STATIC", "", 0, 0, 0, 10, 10, nullptr, nullptr,
                                      ::GetModuleHandleA(nullptr), nullptr);
  ::PostMessageA(window, WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
  ::PostMessageA(window, WM_KEYDOWN, VK_SPACE, 1);
  ::PostMessageA(window, WM_NCLBUTTONDOWN, HTCLOSE, 0);
  ::PostMessageA(window, WM_APP, 0, 0);

  DiscardQueuedInput();

  EXPECT_EQ(TakeQueuedMessages(), std::vector<UINT>{WM_APP});
  ::DestroyWindow(window);
}

}  // namespace
}  // namespace rowsift
