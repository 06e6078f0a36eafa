// Throughput of the report filter on a large generated log: the engine alone
// in memory, and the whole rowsift-cli run beside a plain copy of the file.
//   engine_bench ROWSIFT_CLI [ROWS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "report_engine.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A log as a test tool writes it: a styled head, a heading row, then rows of
// five cells with status fonts, links in some details, and step names of
// which about a quarter carry the filter text with an indent digit.
std::string GenerateLog(long rows) {
  static const char* const kSteps[] = {
      "Login1Enter user name", "Open order form", "Select customer 'Ackerman Ltd'",
      "Add line item 10045", "Login2Check welcome banner", "Verify total amount",
      "Save order and wait for the number", "Logout"};
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

template <typename Work>
double BestOf(int runs, Work&& work) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    work();
    best = std::min(best, Seconds(Clock::now() - start));
  }
  return best;
}

std::string Quote(const fs::path& path) { return "'" + path.string() + "'"; }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: engine_bench ROWSIFT_CLI [ROWS]\n");
    return 1;
  }
  const std::string cli = argv[1];
  const long rows = argc > 2 ? std::atol(argv[2]) : 1000000;

  const std::string log = GenerateLog(rows);
  const double megabytes = static_cast<double>(log.size()) / 1e6;
  std::printf("log: %ld rows, %.1f MB\n", rows, megabytes);

  std::string output;
  rowsift::FilterCounts counts;
  const double engine = BestOf(5, [&] {
    output.clear();
    counts = rowsift::FilterReport(log, "Login", output);
  });
  std::printf("engine (filter \"Login\", %zu of %zu rows kept): %.3f s, %.0f MB/s\n",
              counts.keptRows, counts.detailRows, engine, megabytes / engine);

  const fs::path folder = fs::temp_directory_path() / "rowsift-bench";
  fs::create_directories(folder);
  const fs::path input = folder / "large.htm";
  std::ofstream(input, std::ios::binary).write(log.data(), static_cast<std::streamsize>(log.size()));

  const std::string runCli = Quote(cli) + " --overwrite --filter Login " + Quote(input) + " " +
                             Quote(folder / "large_Output.htm") + " 2>/dev/null";
  const std::string runCopy = "cp " + Quote(input) + " " + Quote(folder / "copy.htm");
  int failures = 0;
  const double whole = BestOf(3, [&] { failures += std::system(runCli.c_str()) != 0; });
  const double copy = BestOf(3, [&] { failures += std::system(runCopy.c_str()) != 0; });
  std::printf("rowsift-cli, whole run: %.3f s (%.0f MB/s)\n", whole, megabytes / whole);
  std::printf("cp of the same file:    %.3f s (%.0f MB/s)\n", copy, megabytes / copy);
  std::printf("rowsift-cli / cp:       %.2f\n", whole / copy);
  fs::remove_all(folder);
  if (failures) std::fprintf(stderr, "engine_bench: %d command(s) failed\n", failures);
  return failures ? 1 : 0;
}
