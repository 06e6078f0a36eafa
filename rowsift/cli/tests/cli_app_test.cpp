// The command-line filter as a pipeline calls it: arguments, exit codes,
// messages and files, on a scratch folder of the real file system, or on
// files in memory where a write must fail at a set moment.
#include "cli_app.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <random>
#include <sstream>

#include "held_files.h"

namespace rowsift {
namespace {

namespace fs = std::filesystem;

const char kLog[] =
    "<html><table>\r\n"
    "<TR><TD>Itr#</TD><TD>Status</TD><TD>Step</TD><TD>Time</TD><TD>Details</TD></TR>\r\n"
    "<TR><TD>1</TD><TD>Passed</TD><TD>Login1Open</TD><TD>10:01</TD><TD>ok</TD></TR>\r\n"
    "<TR><TD>1</TD><TD>Passed</TD><TD>Search for item</TD><TD>10:02</TD><TD>ok</TD></TR>\r\n"
    "</table></html>";
const char kLoginOutput[] =
    "<html><table>\r\n"
    "<TR><TD>Itr#</TD><TD>Status</TD><TD>Step</TD><TD>Time</TD><TD>Details</TD></TR>\r\n"
    "<TR><TD>1</TD><TD>Passed</TD><TD>&nbspOpen</TD><TD>10:01</TD><TD>ok</TD></TR>\r\n"
    "</table></html>";

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ =
        fs::temp_directory_path() / ("rowsift-cli-test-" + std::to_string(std::random_device{}()));
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }

  std::string Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(folder_ / name, std::ios::binary) << bytes;
    return PathOf(name);
  }

  std::string Read(const std::string& name) const {
    std::ifstream in(folder_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  int Run(std::vector<std::string> args) {
    out_.str("");
    err_.str("");
    return RunCli(args, *files_, {}, out_, err_);
  }

  fs::path folder_;
  std::unique_ptr<filelayer::FileSystem> files_ = filelayer::MakePlatformFileSystem();
  std::ostringstream out_, err_;
};

TEST_F(CliTest, FiltersIntoTheProposedOutputName) {
  const std::string input = Write("Run1.HTM", kLog);
  EXPECT_EQ(Run({"--filter", "Login", input}), kDone);
  EXPECT_EQ(Read("Run1_Output.htm"), kLoginOutput);
  EXPECT_EQ(err_.str(), "Kept 2 of 3 detail rows; wrote " + PathOf("Run1_Output.htm") + "\n");
  EXPECT_EQ(Read("Run1.HTM"), kLog) << "the input is never touched";
}

TEST_F(CliTest, FilterMayBeEmptyOrHoldSpaces) {
  const std::string input = Write("run.html", kLog);
  EXPECT_EQ(Run({"--filter", "", input, PathOf("all.htm")}), kDone);
  EXPECT_EQ(Read("all.htm"), kLog);
  EXPECT_EQ(Run({"--filter=for item", input, PathOf("spaced.htm")}), kDone);
  EXPECT_NE(Read("spaced.htm").find("<TD>Search </TD>"), std::string::npos);
  EXPECT_EQ(Read("spaced.htm").find("Login1Open"), std::string::npos);
}

TEST_F(CliTest, InputChecksUseTheWindowsTexts) {
  EXPECT_EQ(Run({"--filter", "x", PathOf("missing.htm")}), kRefused);
  EXPECT_EQ(
      err_.str(),
      "rowsift-cli: Input File Not Found.  Please make sure the file path name is correct.\n");
  EXPECT_EQ(Run({"--filter", "x", Write("report.txt", kLog)}), kRefused);
  EXPECT_EQ(err_.str(),
            "rowsift-cli: File Format Mismatch.  Please select a HTML file ( .htm or .html)\n");
  fs::create_directories(folder_ / "folder.htm");
  EXPECT_EQ(Run({"--filter", "x", PathOf("folder.htm")}), kRefused) << "a folder is no input file";
}

TEST_F(CliTest, ExistingOutputNeedsOverwrite) {
  const std::string input = Write("run.htm", kLog);
  const std::string output = Write("run_Output.htm", "keep me");
  EXPECT_EQ(Run({"--filter", "Login", input}), kRefused);
  EXPECT_NE(err_.str().find("already exists"), std::string::npos);
  EXPECT_EQ(Read("run_Output.htm"), "keep me");
  EXPECT_EQ(Run({"--overwrite", "--filter", "Login", input, output}), kDone);
  EXPECT_EQ(Read("run_Output.htm"), kLoginOutput);
}

TEST_F(CliTest, FilteringInPlaceNeedsOverwrite) {
  const std::string input = Write("run.htm", kLog);
  std::string sameInOtherCase = input;
  sameInOtherCase.replace(sameInOtherCase.size() - 7, 7, "RUN.HTM");
  EXPECT_EQ(Run({"--filter", "Login", input, sameInOtherCase}), kRefused);
  EXPECT_NE(err_.str().find("is the input file"), std::string::npos);
  EXPECT_EQ(Read("run.htm"), kLog);
  EXPECT_EQ(Run({"--filter", "Login", "--overwrite", input, input}), kDone);
  EXPECT_EQ(Read("run.htm"), kLoginOutput);
}

TEST_F(CliTest, WriteFailureLeavesNothingAndSaysWhy) {
  const std::string input = Write("run.htm", kLog);
  EXPECT_EQ(Run({"--filter", "Login", input, PathOf("no-such-folder/out.htm")}), kFileFailure);
  EXPECT_EQ(err_.str().rfind("Error writing the output file: ", 0), 0u) << err_.str();
  EXPECT_GT(err_.str().size(), std::string("Error writing the output file: \n").size());
  EXPECT_FALSE(fs::exists(folder_ / "no-such-folder"));
}

TEST_F(CliTest, WrongUsageShowsTheUsage) {
  const std::vector<std::vector<std::string>> wrong = {
      {},
      {"run.htm"},
      {"--filter"},
      {"--filter", "x"},
      {"--filter", "x", "a.htm", "b.htm", "c.htm"},
      {"--filter", "x", "--bogus", "a.htm"},
      {"--filter", "x", "--codepage", "shift-jis", "a.htm"},
      {"--filter", "x", "--each"},
  };
  for (const auto& args : wrong) {
    EXPECT_EQ(Run(args), kRefused);
    EXPECT_NE(err_.str().find("Usage: rowsift-cli --filter TEXT"), std::string::npos);
    EXPECT_TRUE(out_.str().empty());
  }
}

TEST_F(CliTest, HelpExplainsAndSucceeds) {
  EXPECT_EQ(Run({"--help"}), kDone);
  EXPECT_NE(
      out_.str().find("Exit codes: 0 done, 1 refused or wrong usage, 2 read or write failure"),
      std::string::npos);
  EXPECT_TRUE(err_.str().empty());
}

TEST_F(CliTest, EachLogGoesToItsProposedNameAndEveryFailureIsNamed) {
  const std::vector<std::string> inputs = {
      Write("a.htm", kLog),     Write("b.HTML", kLog),   PathOf("missing.htm"),
      Write("notes.txt", kLog), Write("kept.htm", kLog), Write("locked.htm", kLog),
  };
  Write("kept_Output.htm", "keep me");
  fs::create_directories(folder_ / "locked_Output.htm");  // no file can take its place
  std::vector<std::string> args = {"--filter", "Login", "--each"};
  args.insert(args.end(), inputs.begin(), inputs.end());

  EXPECT_EQ(Run(args), kFileFailure) << "the worst of the logs";
  EXPECT_EQ(Read("a_Output.htm"), kLoginOutput);
  EXPECT_EQ(Read("b_Output.html"), kLoginOutput);
  EXPECT_EQ(Read("kept_Output.htm"), "keep me");
  // Each log's line names it, in the order the logs were given.
  const std::string lines[] = {
      inputs[0] + ": Kept 2 of 3 detail rows; wrote " + PathOf("a_Output.htm"),
      inputs[1] + ": Kept 2 of 3 detail rows; wrote " + PathOf("b_Output.html"),
      "rowsift-cli: " + inputs[2] +
          ": Input File Not Found.  Please make sure the file path name is correct.",
      "rowsift-cli: " + inputs[3] +
          ": File Format Mismatch.  Please select a HTML file ( .htm or .html)",
      "rowsift-cli: " + inputs[4] + ": the output file " + PathOf("kept_Output.htm") +
          " already exists; give --overwrite to replace it",
      inputs[5] + ": Error writing the output file: ",
  };
  std::size_t from = 0;
  for (const std::string& line : lines) {
    const std::size_t at = err_.str().find(line, from);
    ASSERT_NE(at, std::string::npos) << line << "\n in:\n" << err_.str();
    from = at + line.size();
  }

  EXPECT_EQ(Run({"--filter", "Login", "--overwrite", "--each", inputs[0], inputs[4]}), kDone);
  EXPECT_EQ(Read("kept_Output.htm"), kLoginOutput);
}

TEST_F(CliTest, EachReadsALogThatIsAnotherLogsOutputOnlyOnceItIsWritten) {
  // A rerun over "*.htm": the old output is named first, and is a log too.
  const std::string oldOutput = Write("a_Output.htm", kLog);
  const std::string input = Write("a.htm", kLog);
  EXPECT_EQ(Run({"--filter", "Login", "--overwrite", "--each", oldOutput, input}), kDone)
      << err_.str();
  EXPECT_EQ(Read("a_Output.htm"), kLoginOutput);
  EXPECT_EQ(Read("a_Output_Output.htm").find("Open"), std::string::npos)
      << "filtered from the new a_Output.htm, whose one detail row lacks \"Login\"";
  EXPECT_LT(err_.str().find(oldOutput + ": Kept"), err_.str().find(input + ": Kept"));
}

TEST_F(CliTest, EachFiltersALogNamedTwiceOrInAnotherSpellingOnce) {
  const std::string input = Write("a.htm", kLog);
  fs::create_directories(folder_ / "sub");
  EXPECT_EQ(Run({"--filter", "Login", "--each", input, input, (folder_ / "." / "a.htm").string(),
                 (folder_ / "sub" / ".." / "a.htm").string()}),
            kDone)
      << err_.str();
  EXPECT_EQ(Read("a_Output.htm"), kLoginOutput);
  EXPECT_EQ(err_.str(),
            input + ": Kept 2 of 3 detail rows; wrote " + PathOf("a_Output.htm") + "\n");
}

TEST_F(CliTest, JUnitFilesBesideTheOutputsAndFailedRowsGateTheExitCode) {
  std::string failing = kLog;
  failing.replace(failing.find("Passed</TD><TD>Login1Open"), 6, "Failed");
  const std::string good = Write("good.htm", kLog);
  const std::string bad = Write("bad.htm", failing);
  EXPECT_EQ(Run({"--filter", "Login", "--junit", "--fail-on-failed", "--each", good, bad}),
            kFailedRows)
      << err_.str();
  EXPECT_EQ(Read("good_Output.htm"), kLoginOutput) << "the condensed log as without --junit";
  EXPECT_NE(Read("good_Output.xml").find("<testcase name=\"Open\" classname=\"1\" time=\"0\"/>"),
            std::string::npos);
  EXPECT_NE(Read("bad_Output.xml").find("<failure message=\"ok\">ok</failure>"), std::string::npos);
  EXPECT_NE(err_.str().find(bad + ": Kept rows by status: 0 passed, 1 failed, 0 other; wrote " +
                            PathOf("bad_Output.xml")),
            std::string::npos)
      << err_.str();

  // An existing JUnit file is replaced only with --overwrite; an error beats failed rows.
  EXPECT_EQ(Run({"--filter", "Login", "--junit", "--fail-on-failed", "--each", bad,
                 PathOf("missing.htm")}),
            kRefused);
  EXPECT_NE(err_.str().find("the JUnit file " + PathOf("bad_Output.xml") + " already exists"),
            std::string::npos);
  EXPECT_EQ(Run({"--filter", "Login", "--overwrite", good}), kDone);
  EXPECT_EQ(err_.str().find("Kept rows by status"), std::string::npos)
      << "nothing new without --junit";
}

// Files in memory, where writing the condensed log fails as it is put in
// place, after the whole log was read; the JUnit file commits beside it.
class CondensedLogCommitFails final : public kit::testing::HeldFileSystem {
 public:
  explicit CondensedLogCommitFails(std::string output) : output_(std::move(output)) {}

  void Put(const std::string& path, const std::string& bytes) { files_[path] = bytes; }
  std::string Get(const std::string& path) const {
    const std::lock_guard<std::mutex> lock(lock_);
    const auto found = files_.find(path);
    return found == files_.end() ? std::string() : found->second;
  }

  bool FileExists(const filelayer::Path& path) const override {
    const std::lock_guard<std::mutex> lock(lock_);
    return files_.count(filelayer::Utf8FromPath(path)) != 0;
  }
  bool FolderExists(const filelayer::Path&) const override { return false; }
  std::string ReadAll(const filelayer::Path& path) const override {
    return Get(filelayer::Utf8FromPath(path));
  }
  void WriteAll(const filelayer::Path& path, std::string_view bytes) const override {
    const std::string name = filelayer::Utf8FromPath(path);
    if (name == output_) throw filelayer::FileError("There is not enough space on the disk.", 112);
    const std::lock_guard<std::mutex> lock(lock_);
    files_[name] = std::string(bytes);
  }

 private:
  const std::string output_;
  mutable std::mutex lock_;  // the JUnit file commits on a thread of its own
  mutable std::map<std::string, std::string> files_;
};

TEST(CliJUnit, ACondensedLogThatFailsLeavesTheJUnitFileWrittenAndSaid) {
  CondensedLogCommitFails files("run_Output.htm");
  files.Put("run.htm", kLog);
  std::ostringstream out, err;
  EXPECT_EQ(RunCli({"--filter", "Login", "--junit", "run.htm"}, files, {}, out, err), kFileFailure);
  EXPECT_EQ(files.Get("run_Output.htm"), "");
  EXPECT_NE(files.Get("run_Output.xml").find("<testcase name=\"Open\" classname=\"1\""),
            std::string::npos);
  EXPECT_EQ(err.str(),
            "Error writing the output file: There is not enough space on the disk.\n"
            "Kept rows by status: 1 passed, 0 failed, 0 other; wrote run_Output.xml\n");
}

TEST_F(CliTest, EachRunsManyLogsAtOnceWithTheSameResults) {
  std::vector<std::string> args = {"--filter", "Login", "--each"};
  for (int i = 0; i < 24; ++i) args.push_back(Write("run" + std::to_string(i) + ".htm", kLog));
  EXPECT_EQ(Run(args), kDone);
  for (int i = 0; i < 24; ++i)
    EXPECT_EQ(Read("run" + std::to_string(i) + "_Output.htm"), kLoginOutput) << i;
  EXPECT_NE(err_.str().find("run23.htm: Kept"), std::string::npos);
  EXPECT_LT(err_.str().find("run9.htm: Kept"), err_.str().find("run10.htm: Kept"));
}

TEST_F(CliTest, UnderADoubleByteCodePageTheFilterMatchesWholeCharactersOnly) {
  // 0x83 0x41 is one character in code page 932, its second byte an 'A'.
  const std::string log = std::string(kLog).replace(std::string(kLog).find("Search"), 6,
                                                    "\x83"
                                                    "Abc");
  const std::string input = Write("jp.htm", log);
  EXPECT_EQ(Run({"--filter", "Ab", "--codepage", "932", input, PathOf("whole.htm")}), kDone);
  EXPECT_EQ(Read("whole.htm").find("\x83"), std::string::npos)
      << "no row holds \"Ab\" as characters";
  EXPECT_EQ(Run({"--filter", "Ab", input, PathOf("bytes.htm")}), kDone);
  EXPECT_NE(Read("bytes.htm")
                .find("<TD>\x83"
                      "c for item</TD>"),
            std::string::npos)
      << "one byte, one character";
}

TEST_F(CliTest, TheFilterIsSpeltInTheLogsCodePageOrTheRunIsRefused) {
  // As on Windows, where the arguments are Unicode: "\xC3\xA9" is UTF-8's e-acute.
  std::vector<unsigned> asked;
  const LogCodePages westernWindows{
      1252,
      [&](const std::string& filter, unsigned codePage) {
        asked.push_back(codePage);
        return filter == "Caf\xC3\xA9" ? std::optional<std::string>("Caf\xE9") : std::nullopt;
      },
      {},
      {}};
  std::string log = kLog;
  const std::string input = Write("run.htm", log.replace(log.find("Search"), 6, "Caf\xE9"));
  EXPECT_EQ(RunCli({"--filter", "Caf\xC3\xA9", input, PathOf("cafe.htm")}, *files_, westernWindows,
                   out_, err_),
            kDone);
  EXPECT_NE(Read("cafe.htm").find("<TD> for item</TD>"), std::string::npos);

  // Refused before any log is read or any report replaced.
  const std::string kept = Write("run_Output.htm", "keep me");
  EXPECT_EQ(RunCli({"--filter", "x", "--codepage", "932", "--overwrite", "--each", input}, *files_,
                   westernWindows, out_, err_),
            kRefused);
  EXPECT_EQ(Read("run_Output.htm"), "keep me");
  EXPECT_NE(err_.str().find("rowsift-cli: code page 932 cannot spell the filter text, so it "
                            "could match no row; nothing was written\n"),
            std::string::npos);
  EXPECT_EQ(asked, (std::vector<unsigned>{1252, 932}));
}

TEST_F(CliTest, ACodePageTheSystemDoesNotKnowIsRefused) {
  std::vector<unsigned> spelt;
  const LogCodePages windows{1252,
                             [&](const std::string& filter, unsigned codePage) {
                               spelt.push_back(codePage);
                               return std::optional<std::string>(filter);
                             },
                             [](unsigned codePage) -> std::optional<unsigned> {
                               if (codePage == 0) return 1252;
                               return codePage == 932 ? std::optional<unsigned>(932) : std::nullopt;
                             },
                             {}};
  const std::string input = Write("run.htm", kLog);
  EXPECT_EQ(RunCli({"--filter", "Login", "--codepage", "9320", input, PathOf("typo.htm")}, *files_,
                   windows, out_, err_),
            kRefused);
  EXPECT_EQ(err_.str(), "rowsift-cli: this system has no code page 9320\n");
  EXPECT_FALSE(files_->FileExists(PathOf("typo.htm")));

  // A pseudo number stands for the system's own code page.
  EXPECT_EQ(RunCli({"--filter", "Login", "--codepage", "0", input, PathOf("acp.htm")}, *files_,
                   windows, out_, err_),
            kDone);
  EXPECT_EQ(spelt, (std::vector<unsigned>{1252}));
}

TEST_F(CliTest, ALogTooLargeToMapWholeIsFilteredInWindows) {
  // Rows cross the windows' edges all over a log of several windows.
  std::string log = kLog;
  const std::string row =
      "<TR><TD>2</TD><TD>Passed</TD><TD>Login3Again</TD><TD>10:03</TD><TD>ok</TD></TR>\r\n";
  std::string rows;
  for (int i = 0; i < 6000; ++i) rows += i % 3 ? row : "\r\n" + std::string(i % 50, ' ');
  log.insert(log.find("</table>"), rows);
  const std::string input = Write("large.htm", log);
  EXPECT_EQ(Run({"--filter", "Login", input, PathOf("whole.htm")}), kDone);
  const auto windowed = filelayer::MakePlatformFileSystem({0, 1 << 16});
  EXPECT_EQ(RunCli({"--filter", "Login", input, PathOf("windowed.htm")}, *windowed, {}, out_, err_),
            kDone);
  EXPECT_GT(log.size(), 4u << 16);
  EXPECT_TRUE(Read("windowed.htm") == Read("whole.htm"));
  EXPECT_NE(Read("whole.htm").find("<TD>&nbsp&nbsp&nbspAgain</TD>"), std::string::npos);
}

TEST_F(CliTest, DoubleDashEndsOptions) {
  const std::string input = Write("-dash.htm", kLog);
  const fs::path previous = fs::current_path();
  fs::current_path(folder_);
  const int code = Run({"--filter", "Login", "--", "-dash.htm"});
  fs::current_path(previous);
  EXPECT_EQ(code, kDone) << err_.str();
  EXPECT_EQ(Read("-dash_Output.htm"), kLoginOutput);
}

}  // namespace
}  // namespace rowsift
