// The report filter's speed, every figure side by side in one run: the
// engine alone on one core, the whole rowsift-cli run beside cp of the same
// file (and beside cp and sync, as durable as the run's output),
// rowsift-cli --each on many logs beside one cp of them all,
// and, given the Windows half (window_bench.exe, run under Wine), the
// window's run beside rowsift-cli.exe on the same log and the window's peak
// working set. A figure that could not be measured is said to be so; none
// is ever made up.
//   engine_bench --cli ROWSIFT_CLI [--rows N]
//                [--windows WINE WINDOW_BENCH_EXE ROWSIFT_EXE ROWSIFT_CLI_EXE]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "report_filter.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A log as a test tool writes it: a styled head, a heading row, then rows of
// five cells with status fonts, links in some details, and step names of
// which about a quarter carry the filter text with an indent digit.
std::string GenerateLog(long rows) {
  static const char* const kSteps[] = {"Login1Enter user name",
                                       "Open order form",
                                       "Select customer 'Ackerman Ltd'",
                                       "Add line item 10045",
                                       "Login2Check welcome banner",
                                       "Verify total amount",
                                       "Save order and wait for the number",
                                       "Logout"};
  static const char* const kDetails[] = {
      "User name 'qa_agent' typed", "Window 'New Order' found",
      "<A HREF=\"shots/total.bmp\">Expected 134.85, found 143.85</A>", "Process ended normally"};
  std::string log =
      "<HTML><HEAD><TITLE>Test Results</TITLE><STYLE>TD { font-size: 9pt }</STYLE></HEAD>\r\n"
      "<BODY><TABLE BORDER=1>\r\n"
      "<TR><TD><B>Itr#</B></TD><TD><B>Status</B></TD><TD><B>Step Name</B></TD><TD><B>Time</B></TD>"
      "<TD><B>Details</B></TD></TR>";
  log.reserve(static_cast<std::size_t>(rows) * 160);
  char time[16];
  for (long i = 0; i < rows; ++i) {
    const bool failed = i % 97 == 0;
    std::snprintf(time, sizeof time, "%02ld:%02ld:%02ld", (i / 3600) % 24, (i / 60) % 60, i % 60);
    log += "\r\n<TR><TD>";
    log += std::to_string(i / 8 + 1);
    log += failed ? "</TD><TD><FONT CLASS=fail>Failed</FONT></TD><TD>"
                  : "</TD><TD><FONT CLASS=pass>Passed</FONT></TD><TD>";
    log += kSteps[i % 8];
    log += "</TD><TD>";
    log += time;
    log += "</TD><TD>";
    log += kDetails[(i / 8) % 4];
    log += "</TD></TR>";
  }
  log += "\r\n</TABLE></BODY></HTML>\r\n";
  return log;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::string Quote(const std::string& text) { return "'" + text + "'"; }

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A measured time, or why there is none.
struct Timing {
  std::optional<double> seconds;
  std::string failure;
};

// Best of `runs` runs of each command, taken in turns so that both meet the
// same machine.
std::pair<Timing, Timing> TimeSideBySide(const std::string& first, const std::string& second,
                                         int runs) {
  std::pair<Timing, Timing> best;
  for (int run = 0; run < runs; ++run) {
    for (auto [command, timing] :
         {std::pair{&first, &best.first}, std::pair{&second, &best.second}}) {
      if (!timing->failure.empty()) continue;
      const auto start = Clock::now();
      const int status = std::system(command->c_str());
      const double seconds = Seconds(Clock::now() - start);
      if (status != 0) {
        timing->failure = "the command failed (" + *command + ")";
        timing->seconds.reset();
        continue;
      }
      timing->seconds = std::min(timing->seconds.value_or(seconds), seconds);
    }
  }
  return best;
}

struct Row {
  std::string measure, figure, goal, met;
};

std::string Format(const char* format, double a, double b = 0, double c = 0) {
  char text[128];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

std::string Met(bool met) { return met ? "yes" : "NO"; }

// "a / b" with both times and their ratio, or why not.
Row Ratio(const std::string& measure, const Timing& a, const Timing& b, double goal) {
  if (!a.seconds || !b.seconds)
    return {measure, "not measured: " + (a.seconds ? b : a).failure, "", "NO"};
  const double ratio = *a.seconds / *b.seconds;
  return {measure, Format("%.3f s / %.3f s = %.2f", *a.seconds, *b.seconds, ratio),
          goal > 0 ? Format("<= %.1f", goal) : "(no goal)", goal > 0 ? Met(ratio <= goal) : "-"};
}

// The lines "name value" of the Windows half, or "error" and why.
std::map<std::string, std::string> RunWindowsHalf(const std::string& command) {
  std::map<std::string, std::string> figures;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return {{"error", "cannot start " + command}};
  char line[1024];
  while (std::fgets(line, sizeof line, pipe)) {
    std::istringstream fields(line);
    std::string name, value;
    fields >> name;
    std::getline(fields >> std::ws, value);
    if (!name.empty()) figures[name] = value;
  }
  if (::pclose(pipe) != 0 && !figures.count("error")) figures["error"] = "window_bench.exe failed";
  return figures;
}

std::string WindowsPath(const fs::path& path) {
  std::string text = "Z:" + fs::absolute(path).string();
  std::replace(text.begin(), text.end(), '/', '\\');
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  std::string cli;
  long rows = 1000000;
  std::vector<std::string> windows;  // wine, window_bench.exe, Rowsift.exe, rowsift-cli.exe
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--cli" && i + 1 < argc) {
      cli = fs::absolute(argv[++i]).string();
    } else if (arg == "--rows" && i + 1 < argc) {
      rows = std::atol(argv[++i]);
    } else if (arg == "--windows" && i + 4 < argc) {
      windows.assign(argv + i + 1, argv + i + 5);
      i += 4;
    } else {
      std::fprintf(stderr,
                   "usage: engine_bench --cli ROWSIFT_CLI [--rows N]\n"
                   "         [--windows WINE WINDOW_BENCH_EXE ROWSIFT_EXE ROWSIFT_CLI_EXE]\n");
      return 2;
    }
  }
  if (cli.empty()) {
    std::fprintf(stderr, "engine_bench: --cli ROWSIFT_CLI is required\n");
    return 2;
  }

  const fs::path folder =
      fs::temp_directory_path() / ("rowsift-bench-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  std::vector<Row> table;

  // The engine alone, in memory.
  const std::string log = GenerateLog(rows);
  const double megabytes = static_cast<double>(log.size()) / 1e6;
  {
    const rowsift::FilterPattern filter("Login");
    std::string output;
    double best = 1e9;
    rowsift::FilterCounts counts;
    for (int run = 0; run < 9; ++run) {
      output.clear();
      const auto start = Clock::now();
      counts = rowsift::FilterReport(log, filter, output);
      best = std::min(best, Seconds(Clock::now() - start));
    }
    const double rate = megabytes / best;
    table.push_back({"engine alone, one core (" + std::to_string(counts.keptRows) + " of " +
                         std::to_string(counts.detailRows) + " rows kept)",
                     Format("%.0f MB/s (%.3f s)", rate, best), ">= 3000 MB/s", Met(rate >= 3000)});
  }

  // The whole rowsift-cli run beside cp of the same file.
  const fs::path input = folder / "large.htm";
  WriteFile(input, log);
  const auto [whole, copy] = TimeSideBySide(
      Quote(cli) + " --overwrite --filter Login " + Quote(input.string()) + " " +
          Quote((folder / "large_Output.htm").string()) + " 2>/dev/null",
      "cp " + Quote(input.string()) + " " + Quote((folder / "copy.htm").string()), 9);
  table.push_back(Ratio("whole rowsift-cli run / cp of the same file", whole, copy, 1.5));
  // The run flushes its output before it takes the old one's place; so does
  // this copy.
  const auto [durable, durableCopy] =
      TimeSideBySide(Quote(cli) + " --overwrite --filter Login " + Quote(input.string()) + " " +
                         Quote((folder / "large_Output.htm").string()) + " 2>/dev/null",
                     "cp " + Quote(input.string()) + " " + Quote((folder / "copy.htm").string()) +
                         " && sync " + Quote((folder / "copy.htm").string()),
                     5);
  table.push_back(
      Ratio("whole rowsift-cli run / cp and sync of the same file", durable, durableCopy, 1.0));
  // The same run that also writes the kept rows as JUnit XML.
  const auto [withJUnit, without] =
      TimeSideBySide(Quote(cli) + " --overwrite --junit --filter Login " + Quote(input.string()) +
                         " " + Quote((folder / "large_Output.htm").string()) + " 2>/dev/null",
                     Quote(cli) + " --overwrite --filter Login " + Quote(input.string()) + " " +
                         Quote((folder / "large_Output.htm").string()) + " 2>/dev/null",
                     5);
  table.push_back(Ratio("rowsift-cli run with --junit / without", withJUnit, without, 1.5));

  // Many logs in one call beside one cp of them all: 200 of 1 MB, and 10,000
  // of 10 KB for what --each does before and around the filtering. The names
  // are short, relative to the logs' folder, so that 10,000 fit a command.
  const auto eachBesideCopy = [&](const std::string& name, int count, long rows, int runs) {
    const fs::path logs = folder / name;
    const fs::path copies = folder / (name + "-copies");
    fs::create_directories(logs);
    fs::create_directories(copies);
    const std::string small = GenerateLog(rows);
    std::string names;
    for (int i = 0; i < count; ++i) {
      const std::string file = "run" + std::to_string(i) + ".htm";
      WriteFile(logs / file, small);
      names += " " + file;
    }
    const std::string inLogs = "cd " + Quote(logs.string()) + " && ";
    return TimeSideBySide(
        inLogs + Quote(cli) + " --overwrite --filter Login --each" + names + " 2>/dev/null",
        inLogs + "cp" + names + " " + Quote(copies.string()), runs);
  };
  {
    const auto [each, copyAll] = eachBesideCopy("each", 200, 6500, 9);  // about 1 MB each
    table.push_back(Ratio("rowsift-cli --each, 200 logs of 1 MB / one cp of them all (" +
                              std::to_string(std::thread::hardware_concurrency()) + " cores)",
                          each, copyAll, 0));
  }
  {
    const auto [each, copyAll] = eachBesideCopy("many", 10000, 65, 3);  // about 10 KB each
    table.push_back(
        Ratio("rowsift-cli --each, 10,000 logs of 10 KB / one cp of them all", each, copyAll, 0));
  }

  // The window under Wine beside rowsift-cli.exe.
  const std::string windowMeasure =
      "Rowsift.exe run through its window / rowsift-cli.exe, under Wine";
  const std::string memoryMeasure = "Rowsift.exe peak working set";
  if (windows.empty()) {
    table.push_back({windowMeasure, "not measured: no --windows given", "<= 1.5", "NO"});
    table.push_back({memoryMeasure, "not measured: no --windows given", "<= log + 64 MB", "NO"});
  } else {
    std::map<std::string, std::string> figures = RunWindowsHalf(
        Quote(windows[0]) + " " + Quote(windows[1]) + " " + Quote(WindowsPath(input)) + " " +
        Quote(WindowsPath(windows[2])) + " " + Quote(WindowsPath(windows[3])));
    const auto number = [&](const std::string& name) -> std::optional<double> {
      if (figures.count("error") || !figures.count(name)) return std::nullopt;
      return std::atof(figures[name].c_str());
    };
    const std::string why =
        figures.count("error") ? figures["error"] : "window_bench.exe gave no figure";
    const std::optional<double> window = number("window-seconds"),
                                cliExe = number("cli-exe-seconds");
    const std::optional<double> peak = number("window-peak-working-set-bytes"),
                                size = number("log-bytes");
    table.push_back(Ratio(windowMeasure, window ? Timing{window, ""} : Timing{{}, why},
                          cliExe ? Timing{cliExe, ""} : Timing{{}, why}, 1.5));
    if (peak && size) {
      const double over = (*peak - *size) / 1048576;
      table.push_back(
          {memoryMeasure,
           Format("%.0f MB = log %.0f MB + %.0f MB", *peak / 1048576, *size / 1048576, over),
           "<= log + 64 MB", Met(over <= 64)});
    } else {
      table.push_back({memoryMeasure, "not measured: " + why, "<= log + 64 MB", "NO"});
    }
  }
  fs::remove_all(folder);

  std::printf("Rowsift benchmark: a log of %ld rows, %.1f MB, warm page cache\n\n", rows,
              megabytes);
  std::size_t width[3] = {7, 6, 4};
  for (const Row& row : table) {
    width[0] = std::max(width[0], row.measure.size());
    width[1] = std::max(width[1], row.figure.size());
    width[2] = std::max(width[2], row.goal.size());
  }
  const auto print = [&](const Row& row) {
    std::printf("%-*s  %-*s  %-*s  %s\n", static_cast<int>(width[0]), row.measure.c_str(),
                static_cast<int>(width[1]), row.figure.c_str(), static_cast<int>(width[2]),
                row.goal.c_str(), row.met.c_str());
  };
  print({"measure", "figure", "goal", "met"});
  for (const Row& row : table) print(row);
  const bool allMeasured = std::none_of(table.begin(), table.end(), [](const Row& row) {
    return row.figure.rfind("not measured", 0) == 0;
  });
  return allMeasured ? 0 : 1;
}
