// The Windows half of the benchmark: on one log, in one Wine prefix and
// display, a run of rowsift-cli.exe beside a run of Rowsift.exe driven
// through its real window from this process, and the window's peak working
// set. Prints one figure a line ("name value"), or "error <why>" and exits
// with 1 when a figure could not be measured.
//   window_bench LOG ROWSIFT_EXE ROWSIFT_CLI_EXE
#define PSAPI_VERSION 2  // GetProcessMemoryInfo from kernel32
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "main_window_ids.h"
#include "scratch_folder.h"
#include "unique_resource.h"
#include "window_driver.h"

namespace {

namespace driver = kit::testing;
using Clock = std::chrono::steady_clock;
constexpr int kRuns = 3;
constexpr driver::Timeout kLongest{600000};  // for one run on a large log
constexpr char kSuccess[] = "Output File Created Successfully!";

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// A folder of its own under the user's temporary folder, and a settings key
// of its own for the copy of Rowsift.exe run there; both go afterwards.
class Scratch {
 public:
  Scratch() : name_("RowsiftBench" + std::to_string(::GetCurrentProcessId())) { RemoveKey(); }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  ~Scratch() { RemoveKey(); }

  std::string operator/(const std::string& file) const { return folder_ / file; }
  const std::string& Name() const { return name_; }

 private:
  void RemoveKey() const { ::RegDeleteTreeA(HKEY_CURRENT_USER, ("Software\\" + name_).c_str()); }

  std::string name_;
  driver::ScratchFolder folder_{L"RowsiftBench"};
};

// Runs the program to its end with its messages sent nowhere, as a
// pipeline that only wants the exit code would; throws unless it succeeds.
void RunQuietly(const std::string& program, const std::string& arguments) {
  SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
  const kit::unique_file nowhere(
      ::CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0, nullptr));
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = nowhere.get();
  std::string commandLine = "\"" + program + "\" " + arguments;
  PROCESS_INFORMATION started = {};
  if (!::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        nullptr, &startup, &started))
    throw driver::DriverError("cannot start " + program);
  const kit::unique_handle process(started.hProcess), thread(started.hThread);
  DWORD code = 1;
  if (::WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 ||
      !::GetExitCodeProcess(process.get(), &code) || code != 0)
    throw driver::DriverError(program + " ended with " + std::to_string(code));
}

double TimeCli(const std::string& cli, const std::string& log, const std::string& output) {
  double best = 1e9;
  for (int run = 0; run < kRuns; ++run) {
    const auto start = Clock::now();
    RunQuietly(cli, "--overwrite --filter Login \"" + log + "\" \"" + output + "\"");
    best = std::min(best, Seconds(Clock::now() - start));
  }
  return best;
}

struct WindowFigures {
  double seconds = 1e9;
  SIZE_T peakWorkingSet = 0;
};

// From the press of "Parse" to the success box, best of the runs.
WindowFigures TimeWindow(const std::string& program, const std::string& log,
                         const std::string& output) {
  const driver::Process process = driver::Process::Launch(program);
  const HWND window = driver::WaitForTopLevelWindow(process, rowsift::kMainWindowClass,
                                                    rowsift::kMainWindowCaption);
  driver::SetText(driver::Control(window, rowsift::kIdInputFile), log);
  driver::SetText(driver::Control(window, rowsift::kIdOutputFile), output);
  driver::SetText(driver::Control(window, rowsift::kIdFilterOn), "Login");
  const HWND openWhenDone = driver::Control(window, rowsift::kIdOpenOutputFile);
  if (driver::IsChecked(openWhenDone)) driver::ClickAndWait(openWhenDone);

  WindowFigures figures;
  for (int run = 0; run < kRuns; ++run) {
    ::DeleteFileA(output.c_str());  // no question about an existing output
    const auto start = Clock::now();
    driver::Click(driver::Control(window, rowsift::kIdParse));
    HWND box = nullptr;
    while (!(box = driver::FindDialog(process.Id(), rowsift::kMainWindowCaption))) {
      if (Clock::now() - start > kLongest) throw driver::DriverError("no box after the run");
      ::Sleep(1);
    }
    figures.seconds = std::min(figures.seconds, Seconds(Clock::now() - start));
    const driver::MessageBoxView view = driver::ReadMessageBox(box);
    if (view.text != kSuccess)
      throw driver::DriverError("the run ended with \"" + view.text + "\"");
    driver::PressDialogButton(box, IDOK);
  }

  const kit::unique_handle handle(
      ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process.Id()));
  PROCESS_MEMORY_COUNTERS memory = {};
  if (!handle || !::GetProcessMemoryInfo(handle.get(), &memory, sizeof memory) ||
      memory.PeakWorkingSetSize == 0)
    throw driver::DriverError("the window's working set cannot be read");
  figures.peakWorkingSet = memory.PeakWorkingSetSize;
  driver::Close(window);
  process.WaitForExit();
  return figures;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::printf("error usage: window_bench LOG ROWSIFT_EXE ROWSIFT_CLI_EXE\n");
    return 1;
  }
  const std::string log = argv[1];
  try {
    const Scratch scratch;
    const std::string program = scratch / (scratch.Name() + ".exe");
    if (!::CopyFileA(argv[2], program.c_str(), FALSE))
      throw driver::DriverError("cannot copy " + std::string(argv[2]));
    const double cli = TimeCli(argv[3], log, scratch / "cli_Output.htm");
    const WindowFigures window = TimeWindow(program, log, scratch / "window_Output.htm");
    if (driver::ReadBytes(scratch / "window_Output.htm") !=
        driver::ReadBytes(scratch / "cli_Output.htm"))
      throw driver::DriverError("the window and rowsift-cli.exe wrote different outputs");
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    if (!::GetFileAttributesExA(log.c_str(), GetFileExInfoStandard, &attributes))
      throw driver::DriverError("cannot read the log's size");
    std::printf("log-bytes %llu\n",
                (static_cast<unsigned long long>(attributes.nFileSizeHigh) << 32) |
                    attributes.nFileSizeLow);
    std::printf("cli-exe-seconds %.3f\n", cli);
    std::printf("window-seconds %.3f\n", window.seconds);
    std::printf("window-peak-working-set-bytes %llu\n",
                static_cast<unsigned long long>(window.peakWorkingSet));
  } catch (const std::exception& failure) {
    std::printf("error %s\n", failure.what());
    return 1;
  }
  return 0;
}
