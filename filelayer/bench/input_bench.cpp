// The file layer's input speed: one log read through OpenInput each way a
// file comes in, mapped (a file on a local disk) and read into a buffer (a
// file on a network share or a removable drive), with every byte looked at
// as the filter looks at them; then what opening a small log costs each way,
// the question of where the file lies included. The log stays in the page
// cache, so the figures are the layer's own, not the disk's.
//   input_bench [--megabytes N]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <tuple>

#include "file_system.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
constexpr int kRuns = 3;
constexpr int kOpens = 200;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// A folder of its own under the temporary folder, gone afterwards.
class Scratch {
 public:
  Scratch()
      : folder_(fs::temp_directory_path() /
                ("input-bench-" + std::to_string(std::random_device{}()))) {
    fs::create_directory(folder_);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }

 private:
  fs::path folder_;
};

void WriteLog(const std::string& path, std::size_t megabytes) {
  std::string row;
  for (int i = 0; row.size() < (1u << 20); ++i) {
    row += "\r\n<TR><TD>" + std::to_string(i) + "</TD><TD>Passed</TD><TD>Step " +
           std::to_string(i * 7) + "</TD><TD>10:00:00</TD><TD>Done</TD></TR>";
  }
  row.resize(1u << 20);
  std::ofstream out(path, std::ios::binary);
  for (std::size_t i = 0; i < megabytes; ++i) out.write(row.data(), static_cast<long>(row.size()));
}

// Every byte of the input, window by window; the count keeps the work from
// being optimised away.
std::size_t CountTagOpenings(filelayer::InputFile& input) {
  std::size_t count = 0;
  for (std::uint64_t offset = 0; offset < input.size();) {
    const std::string_view view = input.View(offset, 1);
    count += static_cast<std::size_t>(std::count(view.begin(), view.end(), '<'));
    offset += view.size();
  }
  return count;
}

struct Way {
  const char* name;
  filelayer::InputMapping mapping;
};

}  // namespace

int main(int argc, char** argv) {
  std::size_t megabytes = 512;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--megabytes" && i + 1 < argc) {
      megabytes = static_cast<std::size_t>(std::atol(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: input_bench [--megabytes N]\n");
      return 2;
    }
  }
  try {
    const Scratch scratch;
    const std::string log = scratch.PathOf("log.htm");
    const std::string small = scratch.PathOf("small.htm");
    WriteLog(log, megabytes);
    std::ofstream(small, std::ios::binary) << "<HTML><TABLE><TR><TD>Itr#</TD></TR></TABLE></HTML>";

    filelayer::InputMapping mapped;
    filelayer::InputMapping windows;
    windows.wholeFile = 0;
    filelayer::InputMapping read;
    read.mapLocalFiles = false;
    const Way ways[] = {{"mapped whole", mapped},
                        {"mapped in 64 MB windows", windows},
                        {"read in 64 MB windows", read}};

    std::printf("File layer input: a log of %zu MB, warm page cache, best of %d runs\n\n",
                megabytes, kRuns);
    std::printf("%-28s %14s %22s\n", "way", "throughput", "open a small log");
    std::size_t expected = 0;
    for (const Way& way : ways) {
      const auto files = filelayer::MakePlatformFileSystem(way.mapping);
      double best = 1e9;
      for (int run = 0; run < kRuns; ++run) {
        const Clock::time_point start = Clock::now();
        const auto input = files->OpenInput(log);
        const std::size_t count = CountTagOpenings(*input);
        best = std::min(best, Seconds(Clock::now() - start));
        if (expected == 0) expected = count;
        if (count != expected) throw std::runtime_error("the ways read different bytes");
      }
      const Clock::time_point start = Clock::now();
      for (int open = 0; open < kOpens; ++open) std::ignore = files->OpenInput(small)->View(0, 1);
      const double open = Seconds(Clock::now() - start) / kOpens;
      std::printf("%-28s %8.0f MB/s %17.0f us\n", way.name, megabytes / best, open * 1e6);
    }
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "error %s\n", failure.what());
    return 1;
  }
  return 0;
}
