// rowsift-cli.exe started as a prompt or a pipeline starts it: arguments in
// any script, its messages on a console and redirected to a file.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "scratch_folder.h"
#include "unique_resource.h"

namespace rowsift {
namespace {

namespace fs = std::filesystem;

// A log whose one row "Login" keeps.
const char kLog[] =
    "<table><TR><TD>Itr#</TD><TD>S</TD><TD>Step</TD><TD>T</TD><TD>D</TD></TR>"
    "<TR><TD>1</TD><TD>Passed</TD><TD>Login</TD><TD>10:01</TD><TD>ok</TD></TR></table>";
const wchar_t kKept[] = L"Kept 2 of 2 detail rows; wrote ";  // the heading row counts

std::string Utf8(const fs::path& path) {
  const std::u8string utf8 = path.u8string();
  return {utf8.begin(), utf8.end()};
}

// A log in a folder whose names use Latin, Greek and Chinese letters, which
// no 8-bit code page spells together.
class CliProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::create_directories(folder_));
    ASSERT_TRUE(kit::testing::WriteBytes(Input().wstring(), kLog));
  }

  fs::path Input() const { return folder_ / L"\u65e5\u5fd7.htm"; }
  // The input as the last argument of a command line.
  std::wstring QuotedInput() const { return L" \"" + Input().wstring() + L"\""; }
  fs::path Output() const { return folder_ / L"\u65e5\u5fd7_Output.htm"; }

  // Runs rowsift-cli.exe from beside this program with `arguments`, its
  // standard output and error going to `output`; its exit code.
  static DWORD Run(const std::wstring& arguments, HANDLE output) {
    const std::wstring program = kit::testing::BesideThisProgram(L"rowsift-cli.exe");
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION started = {};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                          nullptr, &startup, &started)) {
      ADD_FAILURE() << "cannot start rowsift-cli.exe: error " << ::GetLastError();
      return ~DWORD{0};
    }
    const kit::unique_handle process(started.hProcess);
    const kit::unique_handle thread(started.hThread);
    DWORD code = ~DWORD{0};
    if (::WaitForSingleObject(process.get(), 30000) == WAIT_OBJECT_0)
      ::GetExitCodeProcess(process.get(), &code);
    return code;
  }

  // Runs rowsift-cli.exe once per element of `runs`, its messages redirected
  // to one file; the exit codes, and what the file holds afterwards.
  std::pair<std::vector<DWORD>, std::string> RunRedirected(
      const std::vector<std::wstring>& runs) const {
    const fs::path messages = scratch_ / L"messages.txt";
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    kit::unique_file file(::CreateFileW(messages.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                        &inherited, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
      ADD_FAILURE() << "cannot create " << messages;
      return {};
    }
    std::vector<DWORD> codes;
    for (const std::wstring& arguments : runs) codes.push_back(Run(arguments, file.get()));
    file.reset();
    return {codes, kit::testing::ReadBytes(messages.wstring())};
  }

  const kit::testing::ScratchFolder scratch_{L"rowsift-cli"};
  const fs::path folder_ = fs::path(scratch_.Path()) / L"R\u00e9sultats" / L"\u03a9mega";
};

TEST_F(CliProgramTest, RedirectedMessagesNamePathsInUtf8) {
  const auto [codes, messages] = RunRedirected({L"--filter Login" + QuotedInput()});

  EXPECT_EQ(codes, std::vector<DWORD>{0});
  EXPECT_TRUE(fs::exists(Output()));
  EXPECT_EQ(messages, Utf8(kKept + Output().wstring()) + "\r\n");
}

TEST_F(CliProgramTest, EachExpandsTheWildcardsNoShellExpanded) {
  const auto [codes, messages] =
      RunRedirected({L"--filter Login --each \"" + (folder_ / L"*.htm").wstring() + L"\""});
  EXPECT_EQ(codes, std::vector<DWORD>{0});
  EXPECT_TRUE(fs::exists(Output()));
  EXPECT_EQ(messages, Utf8(Input().wstring() + L": " + kKept + Output().wstring()) + "\r\n");
}

TEST_F(CliProgramTest, ACodePageTheSystemDoesNotKnowIsRefused) {
  const auto [codes, messages] = RunRedirected({L"--filter Login --codepage 12520" + QuotedInput(),
                                                L"--filter Login --codepage 932" + QuotedInput()});

  EXPECT_EQ(codes, (std::vector<DWORD>{1, 0}));
  EXPECT_EQ(messages, "rowsift-cli: this system has no code page 12520\r\n" +
                          Utf8(kKept + Output().wstring()) + "\r\n");
}

TEST_F(CliProgramTest, OnAConsoleMessagesShowThePathsOwnCharacters) {
  DWORD mode = 0;
  if (::GetConsoleMode(::GetStdHandle(STD_OUTPUT_HANDLE), &mode)) {
    GTEST_SKIP() << "this program's own output is on a console, which it would have to give up";
  }
  // A console of this program's own, whose screen the test reads back.
  ::FreeConsole();
  ASSERT_TRUE(::AllocConsole());
  SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
  const kit::unique_file screen(
      ::CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  &inherited, CONSOLE_TEXTMODE_BUFFER, nullptr));
  ASSERT_TRUE(screen);
  constexpr SHORT kWidth = 500;
  ASSERT_TRUE(::SetConsoleScreenBufferSize(screen.get(), {kWidth, 25}));

  EXPECT_EQ(Run(L"--filter Login" + QuotedInput(), screen.get()), 0u);

  std::wstring line(kWidth, L' ');
  DWORD read = 0;
  ASSERT_TRUE(::ReadConsoleOutputCharacterW(screen.get(), line.data(), kWidth, {0, 0}, &read));
  line.resize(line.find_last_not_of(L' ') + 1);
  EXPECT_EQ(line, kKept + Output().wstring());
  ::FreeConsole();
}

}  // namespace
}  // namespace rowsift
