#include "parse_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "file_system.h"
#include "held_files.h"

namespace rowsift {
namespace {

using Calls = std::vector<std::string>;

constexpr char kStamp[] = "07/12/2024 10:15:30";
constexpr char kInput[] = "C:\\logs\\run.htm";
constexpr char kOutput[] = "C:\\logs\\run_Output.htm";

constexpr char kNotFoundBox[] =
    "message[error]: Input File Not Found.  Please make sure the file path name is correct.";
constexpr char kMismatchBox[] =
    "message[error]: File Format Mismatch.  Please select a HTML file ( .htm or .html)";
constexpr char kSameFileAsk[] =
    "ask: The output file you specify is the same as input file.  This will override the input "
    "file.  Are you sure?";
constexpr char kExistsAsk[] =
    "ask: Output file already exists.  Would you like to override it?\r\n\r\nPlease click \r\n"
    "    'Yes' to override the output file and continue the process.  \r\n"
    "    'No' to cancel the process and view the output file.  ";
constexpr char kSuccessBox[] = "message: Output File Created Successfully!";

// A log with a heading row, a row the filter "Login" keeps and rewrites (its
// closing tag in lower case), and a row it drops.
const std::string kReport =
    "<HTML><BODY><TABLE>\r\n"
    "<TR><TD>Itr#</TD><TD>Status</TD><TD>Step</TD><TD>Time</TD><TD>Details</TD></TR>\r\n"
    "<TR><TD>1</TD><TD>Passed</TD><TD>Login2Check user</TD><TD>10:02</TD><TD>ok</TD></tr>\r\n"
    "<TR><TD>2</TD><TD>Failed</TD><TD>Logout</TD><TD>10:03</TD><TD>timeout</TD></TR>\r\n"
    "</TABLE></BODY></HTML>\r\n";
const std::string kFiltered =
    "<HTML><BODY><TABLE>\r\n"
    "<TR><TD>Itr#</TD><TD>Status</TD><TD>Step</TD><TD>Time</TD><TD>Details</TD></TR>\r\n"
    "<TR><TD>1</TD><TD>Passed</TD><TD>&nbsp&nbspCheck user</TD><TD>10:02</TD><TD>ok</TD></TR>\r\n"
    "</TABLE></BODY></HTML>\r\n";

// Plays the window, the user and the shell, and keeps every call in order.
class RecordingHost : public ParseRunHost {
 public:
  bool openOutputWhenDone = false;
  std::deque<bool> answers;               // the user's answers, question by question
  std::function<void()> onPendingEvents;  // what the user does while the window is responsive
  Calls calls;
  int logsReadWhole = 0;
  bool outputThenWritten = false;  // when the log was said to be read whole

  // What the user sees and what reaches the desktop, without the reads.
  Calls Visible() const {
    Calls visible;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(visible),
                 [](const std::string& call) { return call.rfind("read ", 0) != 0; });
    return visible;
  }
  Calls Questions() const {
    Calls questions;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(questions),
                 [](const std::string& call) { return call.rfind("ask: ", 0) == 0; });
    return questions;
  }

  bool OpenOutputWhenDone() override {
    calls.push_back("read check box");
    return openOutputWhenDone;
  }
  void Refuse(const std::string& text) override { calls.push_back("message[error]: " + text); }
  void ReportFailure(const std::string& intro, const std::string& reason) override {
    calls.push_back("message: " + intro + "\r\n" + reason);
  }
  void ReportSuccess(const std::string& text, const FilterCounts&) override {
    calls.push_back("message: " + text);
  }
  bool Confirm(Question, const std::string& text) override {
    calls.push_back("ask: " + text);
    if (answers.empty()) {
      ADD_FAILURE() << "unexpected question: " << text;
      return false;
    }
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
  }
  void MoveFocus(Field field) override {
    calls.push_back(field == Field::kInputFile    ? "focus: input"
                    : field == Field::kOutputFile ? "focus: output"
                                                  : "focus: filter");
  }
  void SetBusyCursor(bool busy) override {
    calls.push_back(busy ? "cursor: busy" : "cursor: normal");
  }
  void AppendDebugLine(const std::string& line) override { calls.push_back("debug: " + line); }
  void ProcessPendingEvents() override {
    calls.push_back("events");
    if (onPendingEvents) onPendingEvents();
  }
  void OpenWithShell(const filelayer::Path& path) override {
    calls.push_back("open: " + filelayer::Utf8FromPath(path));
  }
  std::string TimeStamp() override { return Read("time", kStamp); }
  void LogReadWhole() override {
    ++logsReadWhole;
    outputThenWritten = writtenYet && writtenYet();
  }
  std::function<bool()> writtenYet;

 private:
  std::string Read(const std::string& what, const std::string& value) {
    calls.push_back("read " + what);
    return value;
  }
};

// Files in memory, named without regard to letter case as on the desktop.
// A test makes a read or a write fail by throwing from the matching hook.
class FakeFiles : public kit::testing::HeldFileSystem {
 public:
  std::function<void()> beforeRead, beforeWrite;

  void Put(const std::string& path, const std::string& bytes) { files_[Key(path)] = bytes; }
  std::optional<std::string> Get(const std::string& path) const {
    const auto found = files_.find(Key(path));
    if (found == files_.end()) return std::nullopt;
    return found->second;
  }
  int Writes() const { return writes_; }

  bool FileExists(const filelayer::Path& path) const override {
    return files_.count(Key(filelayer::Utf8FromPath(path))) != 0;
  }
  bool FolderExists(const filelayer::Path&) const override { return false; }
  std::string ReadAll(const filelayer::Path& path) const override {
    if (beforeRead) beforeRead();
    const std::optional<std::string> bytes = Get(filelayer::Utf8FromPath(path));
    if (!bytes) throw filelayer::FileError("The system cannot find the file specified.", 2);
    return *bytes;
  }
  void WriteAll(const filelayer::Path& path, std::string_view bytes) const override {
    if (beforeWrite) beforeWrite();
    files_[Key(filelayer::Utf8FromPath(path))] = std::string(bytes);
    ++writes_;
  }

 private:
  static std::string Key(std::string path) {
    for (char& c : path) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return path;
  }
  mutable std::map<std::string, std::string> files_;
  mutable int writes_ = 0;
};

std::string Stamped(const std::string& text) { return std::string("debug: ") + kStamp + text; }

class RunTest : public testing::Test {
 protected:
  // However a run ends, a busy cursor it showed is put back as its last act.
  void TearDown() override {
    const Calls visible = host_.Visible();
    const auto busy = std::count(visible.begin(), visible.end(), "cursor: busy");
    const auto normal = std::count(visible.begin(), visible.end(), "cursor: normal");
    EXPECT_EQ(busy, normal);
    if (busy > 0) {
      EXPECT_EQ(visible.back(), "cursor: normal");
    }
  }

  // The window's texts and debug flag as the run starts.
  struct JobTexts {
    std::string inputPath, outputPath;
    std::optional<std::string> filterText;  // nothing: the log's code page cannot spell it
    bool debugMode = false;
  };
  RunOutcome Run(const filelayer::FileSystem& files) {
    const ParseJob job{filelayer::PathFromUtf8(job_.inputPath),
                       filelayer::PathFromUtf8(job_.outputPath), job_.filterText, job_.debugMode};
    return RunParse(job, host_, files, {}, 1);
  }

  JobTexts job_;
  RecordingHost host_;
};

class ParseRunTest : public RunTest {
 protected:
  ParseRunTest() {
    job_.inputPath = kInput;
    job_.outputPath = kOutput;
    job_.filterText = "Login";
    files_.Put(kInput, kReport);
  }
  RunOutcome Run() { return RunTest::Run(files_); }

  FakeFiles files_;
};

// ---- Refusals before anything is read ----

TEST_F(ParseRunTest, MissingInputIsNotFoundWhateverItsName) {
  for (const char* path : {"", "C:\\logs\\missing.htm", "C:\\logs\\missing.txt"}) {
    SCOPED_TRACE(path);
    host_.calls.clear();
    job_.inputPath = path;
    EXPECT_EQ(Run(), RunOutcome::kRefused);
    EXPECT_EQ(host_.Visible(), (Calls{kNotFoundBox, "focus: input"}));
  }
  EXPECT_EQ(files_.Writes(), 0);
}

TEST_F(ParseRunTest, InputThatIsNotHtmlIsRefused) {
  for (const char* path :
       {"C:\\logs\\report.txt", "C:\\logs\\report.htmx", "C:\\logs\\report.htm.bak"}) {
    SCOPED_TRACE(path);
    host_.calls.clear();
    files_.Put(path, kReport);
    job_.inputPath = path;
    EXPECT_EQ(Run(), RunOutcome::kRefused);
    EXPECT_EQ(host_.Visible(), (Calls{kMismatchBox, "focus: input"}));
  }
  EXPECT_EQ(files_.Writes(), 0);
}

TEST_F(ParseRunTest, HtmlExtensionInAnyLetterCaseIsAccepted) {
  for (const std::string path : {"C:\\logs\\REPORT.HTM", "C:\\logs\\report.Html"}) {
    SCOPED_TRACE(path);
    files_.Put(path, kReport);
    job_.inputPath = path;
    job_.outputPath = path + ".out.htm";
    EXPECT_EQ(Run(), RunOutcome::kWritten);
    EXPECT_EQ(files_.Get(job_.outputPath), kFiltered);
  }
}

TEST_F(ParseRunTest, SameFileInOtherLetterCaseIsAskedTwiceThenFilteredInPlace) {
  job_.outputPath = "c:\\LOGS\\Run.HTM";
  host_.answers = {true, true};
  EXPECT_EQ(Run(), RunOutcome::kWritten);
  EXPECT_EQ(host_.Questions(), (Calls{kSameFileAsk, kExistsAsk}));
  EXPECT_EQ(files_.Get(kInput), kFiltered);
}

TEST_F(ParseRunTest, NoToTheSameFileQuestionEndsBeforeTheSecondQuestion) {
  job_.outputPath = kInput;
  host_.answers = {false};
  EXPECT_EQ(Run(), RunOutcome::kRefused);
  EXPECT_EQ(host_.Visible(), (Calls{kSameFileAsk, "focus: output"}));
  EXPECT_EQ(files_.Get(kInput), kReport);
}

TEST_F(ParseRunTest, AFilterTheLogsCodePageCannotSpellIsRefusedBeforeAnyQuestion) {
  // Else the report would keep only the rows kept anyway, the input itself
  // when filtered in place.
  job_.filterText = std::nullopt;
  job_.outputPath = kInput;
  EXPECT_EQ(Run(), RunOutcome::kRefused);
  EXPECT_EQ(
      host_.Visible(),
      (Calls{
          "message[error]: The filter text cannot be written in the code page of the input file, "
          "so no row could match it.  Please change the filter text.",
          "focus: filter"}));
  EXPECT_EQ(files_.Get(kInput), kReport);
}

// ---- Successful runs ----

TEST_F(ParseRunTest, QuietRunShowsOnlyTheCursorAndTheSuccessBox) {
  host_.writtenYet = [&] { return files_.Writes() > 0; };
  EXPECT_EQ(Run(), RunOutcome::kWritten);
  EXPECT_EQ(host_.logsReadWhole, 1);
  EXPECT_FALSE(host_.outputThenWritten) << "the host hears of the whole log before the commit";
  EXPECT_EQ(host_.Visible(), (Calls{"cursor: busy", kSuccessBox, "cursor: normal"}));
  EXPECT_EQ(files_.Get(kOutput), kFiltered);
  EXPECT_EQ(files_.Get(kInput), kReport);
}

TEST_F(ParseRunTest, DebugRunLogsItsStepsInGroupsSeparatedByEventProcessing) {
  job_.debugMode = true;
  EXPECT_EQ(Run(), RunOutcome::kWritten);
  EXPECT_EQ(
      host_.Visible(),
      (Calls{"cursor: busy", Stamped(": Open Input File C:\\logs\\run.htm"), "events",
             "debug: Number of Detail lines = 3", Stamped(": Parsing detail lines."), "events",
             Stamped(": Populating output data..."), "events",
             Stamped(": Writing to output file C:\\logs\\run_Output.htm..."), "events",
             Stamped(": Process completed."), "debug: ", "events", kSuccessBox, "cursor: normal"}));
}

TEST_F(ParseRunTest, OutputOpensAfterTheSuccessBoxWhenAsked) {
  host_.openOutputWhenDone = true;
  EXPECT_EQ(Run(), RunOutcome::kWritten);
  EXPECT_EQ(host_.Visible(), (Calls{"cursor: busy", kSuccessBox, std::string("open: ") + kOutput,
                                    "cursor: normal"}));
}

TEST_F(ParseRunTest, ReportsWithoutCompleteRowsAreCopiedUnchanged) {
  struct Case {
    std::string report, countLine, outputPath;
  };
  const Case cases[] = {
      {"<HTML><BODY>No results</BODY></HTML>", "debug: Number of Detail lines = -1",
       "C:\\logs\\empty_Output.htm"},
      {"<TABLE><TR><TD>1</TD><TD>cut short", "debug: Number of Detail lines = 0",
       "C:\\logs\\short_Output.htm"},
  };
  job_.debugMode = true;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.report);
    host_.calls.clear();
    files_.Put(kInput, c.report);
    job_.outputPath = c.outputPath;
    EXPECT_EQ(Run(), RunOutcome::kWritten);
    EXPECT_EQ(files_.Get(c.outputPath), c.report);
    const Calls visible = host_.Visible();
    EXPECT_NE(std::find(visible.begin(), visible.end(), c.countLine), visible.end());
  }
}

TEST_F(ParseRunTest, OpenWhenDoneIsAskedOnceTheOutputIsWritten) {
  // Ticked while a debug-mode run processes events.
  job_.debugMode = true;
  host_.onPendingEvents = [this] { host_.openOutputWhenDone = true; };
  EXPECT_EQ(Run(), RunOutcome::kWritten);
  const Calls visible = host_.Visible();
  EXPECT_EQ(visible.at(visible.size() - 2), std::string("open: ") + kOutput);
  EXPECT_EQ(std::count(host_.calls.begin(), host_.calls.end(), "read check box"), 1);
}

// ---- Failures ----

TEST_F(ParseRunTest, UnreadableInputEndsInTheParseErrorBox) {
  files_.beforeRead = [] {
    throw filelayer::FileError(
        "The process cannot access the file because it is being used by another process.", 32);
  };
  EXPECT_EQ(Run(), RunOutcome::kReadFailed);
  EXPECT_EQ(host_.Visible(),
            (Calls{"cursor: busy",
                   "message: Error parsing the HTML file: \r\nThe process cannot access the file "
                   "because it is being used by another process.",
                   "cursor: normal"}));
  EXPECT_EQ(files_.Writes(), 0);
  EXPECT_EQ(host_.logsReadWhole, 0);
}

TEST_F(ParseRunTest, RunningOutOfMemoryIsExplainedInPlainWords) {
  files_.beforeRead = [] { throw std::bad_alloc(); };
  EXPECT_EQ(Run(), RunOutcome::kReadFailed);
  EXPECT_EQ(
      host_.Visible().at(1),
      "message: Error parsing the HTML file: \r\nNot enough memory to process the input file.");

  host_.calls.clear();
  files_.beforeRead = nullptr;
  files_.beforeWrite = [] { throw std::bad_alloc(); };
  EXPECT_EQ(Run(), RunOutcome::kWriteFailed);
  EXPECT_EQ(host_.Visible(),
            (Calls{"cursor: busy",
                   "message: Error writing the output file: \r\nNot enough memory to process the "
                   "input file.",
                   "cursor: normal"}));
}

TEST_F(ParseRunTest, FailedWriteReplacesSuccessByTheWriteErrorBox) {
  job_.debugMode = true;
  host_.openOutputWhenDone = true;
  host_.answers = {true};
  files_.Put(kOutput, "previous run");
  files_.beforeWrite = [] { throw filelayer::FileError("Access is denied.", 5); };
  EXPECT_EQ(Run(), RunOutcome::kWriteFailed);
  const Calls visible = host_.Visible();
  const Calls ending(visible.end() - 4, visible.end());
  EXPECT_EQ(
      ending,
      (Calls{Stamped(": Writing to output file C:\\logs\\run_Output.htm..."), "events",
             "message: Error writing the output file: \r\nAccess is denied.", "cursor: normal"}));
  EXPECT_EQ(files_.Get(kOutput), "previous run");
}

// ---- The platform's own file layer, on a scratch folder ----

class ParseRunOnDiskTest : public RunTest {
 protected:
  ParseRunOnDiskTest() {
    std::random_device random;
    folder_ = std::filesystem::temp_directory_path() /
              ("parse_run_test_" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directory(folder_);
    job_.inputPath = PathOf("run.htm");
    job_.outputPath = PathOf("run_Output.htm");
    job_.filterText = "Login";
    Put("run.htm", kReport);
  }
  ~ParseRunOnDiskTest() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }
  void Put(const std::string& name, const std::string& bytes) const {
    std::ofstream(folder_ / name, std::ios::binary) << bytes;
  }
  std::string Get(const std::string& name) const {
    std::ifstream file(folder_ / name, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
  }
  RunOutcome Run() { return RunTest::Run(*files_); }

 private:
  std::filesystem::path folder_;
  std::unique_ptr<filelayer::FileSystem> files_ = filelayer::MakePlatformFileSystem();
};

TEST_F(ParseRunOnDiskTest, LogIsFilteredIntoTheOutputFile) {
  EXPECT_EQ(Run(), RunOutcome::kWritten);
  EXPECT_EQ(Get("run_Output.htm"), kFiltered);
  EXPECT_EQ(Get("run.htm"), kReport);
}

TEST_F(ParseRunOnDiskTest, TwoYesAnswersFilterTheInputInPlace) {
  job_.outputPath = job_.inputPath;
  host_.answers = {true, true};
  EXPECT_EQ(Run(), RunOutcome::kWritten);
  EXPECT_EQ(host_.Questions(), (Calls{kSameFileAsk, kExistsAsk}));
  EXPECT_EQ(Get("run.htm"), kFiltered);
}

TEST_F(ParseRunOnDiskTest, NoToTheExistsQuestionLeavesTheFileAndOpensIt) {
  Put("run_Output.htm", "previous run");
  host_.answers = {false};
  EXPECT_EQ(Run(), RunOutcome::kRefused);
  EXPECT_EQ(host_.Visible(),
            (Calls{kExistsAsk, "focus: output", "open: " + PathOf("run_Output.htm")}));
  EXPECT_EQ(Get("run_Output.htm"), "previous run");
}

TEST_F(ParseRunOnDiskTest, OutputInAMissingFolderGivesTheWriteErrorWithTheSystemsReason) {
  job_.outputPath = (std::filesystem::path(PathOf("missing")) / "run_Output.htm").string();
  EXPECT_EQ(Run(), RunOutcome::kWriteFailed);
  const std::string box = host_.Visible().at(1);
  const std::string intro = "message: Error writing the output file: \r\n";
  EXPECT_EQ(box.substr(0, intro.size()), intro);
  EXPECT_GT(box.size(), intro.size());
  EXPECT_FALSE(std::filesystem::exists(PathOf("missing")));
}

}  // namespace
}  // namespace rowsift
