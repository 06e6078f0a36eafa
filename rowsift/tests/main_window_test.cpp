// The window in the test's own process, with its settings, file dialog and
// files replaced, for what cannot be seen from outside: what it writes in
// which order, how it behaves inside a run, what it drops from the queue.
#include "main_window.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace rowsift {
namespace {

class RecordingSettings : public SettingsStore {
 public:
  std::vector<std::string> writes;  // "app\section\key=value", in order

  std::string Read(const std::string&, const std::string&, const std::string&) const override {
    return {};
  }
  void Write(const std::string& app, const std::string& section, const std::string& key,
             const std::string& value) override {
    writes.push_back(app + "\\" + section + "\\" + key + "=" + value);
  }
};

class FakeChooser : public InputFileChooser {
 public:
  std::optional<std::string> answer;
  HWND owner = nullptr;

  std::optional<std::string> ChooseInputFile(HWND dialogOwner) override {
    owner = dialogOwner;
    return answer;
  }
};

// No file exists; a test may act when a run asks about one.
class ScriptedFiles : public filelayer::FileSystem {
 public:
  std::function<void()> onExistenceCheck;

  bool FileExists(const std::string&) const override {
    if (onExistenceCheck) onExistenceCheck();
    return false;
  }
  bool FolderExists(const std::string&) const override { return false; }
  std::string ReadAll(const std::string&) const override { return {}; }
  void WriteAll(const std::string&, std::string_view) const override {}
  std::vector<filelayer::FolderEntry> SubFolders(const std::string&) const override { return {}; }
  std::vector<filelayer::FolderEntry> Files(const std::string&) const override { return {}; }
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
    window_.emplace(settings_, "RowsiftScratch", chooser_, files_, true);
    ASSERT_TRUE(window_->Create(::GetModuleHandleA(nullptr)));
    SetText(kIdInputFile, "C:\\old\\input.htm");
    SetText(kIdOutputFile, "C:\\old\\kept.htm");
    SetText(kIdFilterOn, "Login");
  }
  void TearDown() override {
    window_.reset();
    TakeQueuedMessages();  // the quit of a closed window
  }

  HWND Window() const { return window_->Handle(); }
  HWND Item(int id) const { return ::GetDlgItem(Window(), id); }
  std::string Text(int id) const {
    char text[256] = {};
    ::GetWindowTextA(Item(id), text, sizeof text);
    return text;
  }
  void SetText(int id, const char* text) { ::SetWindowTextA(Item(id), text); }
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
  chooser_.answer = "D:\\Results\\Suite.HTML";
  Press(kIdBrowse);
  EXPECT_EQ(chooser_.owner, Window());
  EXPECT_EQ(Text(kIdInputFile), "D:\\Results\\Suite.HTML");
  EXPECT_EQ(Text(kIdOutputFile), "D:\\Results\\Suite_Output.html");

  chooser_.answer = "D:\\Results\\notes.txt";
  Press(kIdBrowse);
  EXPECT_EQ(Text(kIdInputFile), "D:\\Results\\notes.txt");
  EXPECT_EQ(Text(kIdOutputFile), "D:\\Results\\Suite_Output.html") << "no proposal, no change";
  EXPECT_EQ(Text(kIdFilterOn), "Login");
}

TEST_F(MainWindowTest, CancelledBrowseEmptiesOnlyTheInput) {
  chooser_.answer = std::nullopt;
  Press(kIdBrowse);
  EXPECT_EQ(Text(kIdInputFile), "");
  EXPECT_EQ(Text(kIdOutputFile), "C:\\old\\kept.htm");
  EXPECT_EQ(Text(kIdFilterOn), "Login");
}

TEST_F(MainWindowTest, ClosingSavesTheThreeTextsInOrderAndEndsTheLoop) {
  SetText(kIdFilterOn, "");
  ::SendMessageA(Window(), WM_CLOSE, 0, 0);

  EXPECT_EQ(settings_.writes,
            (std::vector<std::string>{"RowsiftScratch\\Settings\\InputFileName=C:\\old\\input.htm",
                                      "RowsiftScratch\\Settings\\OutputFileName=C:\\old\\kept.htm",
                                      "RowsiftScratch\\Settings\\FilterOn="}));
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
  for (int i = 0; i < 40; ++i) window_->AppendDebugLine("line " + std::to_string(i));

  const HWND list = Item(kIdDebugList);
  ASSERT_EQ(::SendMessageA(list, LB_GETCOUNT, 0, 0), 40);
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
