// Prints what 10,000 cycles of loading Tandrel.dll, calling three exports
// and unloading it leave in one process (handles, TLS slots, committed
// memory), every 1,000 cycles, and how long a cycle takes.
#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <cstdlib>

#include "library_binding.h"
#include "process_resources.h"
#include "unique_resource.h"

namespace {

constexpr int kCycles = 10000;
constexpr int kReportEvery = 1000;

bool Cycle() {
  const kit::unique_hmodule library(::LoadLibraryA("Tandrel.dll"));
  const decltype(&::get_screen_res) screenRes = TANDREL_BIND(library.get(), get_screen_res);
  const decltype(&::get_drives) getDrives = TANDREL_BIND(library.get(), get_drives);
  const decltype(&::GmtToLocalTime) gmtToLocal = TANDREL_BIND(library.get(), GmtToLocalTime);
  if (!screenRes || !getDrives || !gmtToLocal) return false;
  char first[16], second[32];
  screenRes(first, second);
  getDrives(second);
  gmtToLocal(0, first);
  return true;
}

long long PagefileBytes() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  ::K32GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
  return static_cast<long long>(counters.PagefileUsage);
}

double Seconds() {
  LARGE_INTEGER now, frequency;
  ::QueryPerformanceCounter(&now);
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main() {
  if (!Cycle()) {
    std::puts("Tandrel.dll not found beside the program, or an export missing");
    return 1;
  }
  const tandrel_test::ProcessResources start = tandrel_test::CountProcessResources();
  const long long startPagefile = PagefileBytes();
  std::printf("%-7s %8s %10s %14s %14s\n", "cycles", "handles", "TLS slots", "committed B",
              "pagefile B");
  double cycling = 0;
  for (int done = 0; done < kCycles;) {
    const double begun = Seconds();
    for (int i = 0; i < kReportEvery; ++i, ++done) {
      if (!Cycle()) {
        std::printf("cycle %d: the library did not load\n", done + 1);
        return 1;
      }
    }
    cycling += Seconds() - begun;
    const tandrel_test::ProcessResources now = tandrel_test::CountProcessResources();
    std::printf("%-7d %+8ld %+10ld %+14lld %+14lld\n", done, now.handles - start.handles,
                start.freeTlsSlots - now.freeTlsSlots,
                static_cast<long long>(now.committedPrivateBytes - start.committedPrivateBytes),
                PagefileBytes() - startPagefile);
    std::fflush(stdout);
  }
  std::printf("%.1f microseconds a cycle (load, bind, three calls, unload)\n",
              cycling / kCycles * 1e6);
  return 0;
}
