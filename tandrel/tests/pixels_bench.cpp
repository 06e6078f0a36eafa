// Prints how long get_bmp_area takes to record and to compare a full-HD area
// of a window, beside the same work done with one GetPixel and one 4-byte
// file access per point, and checks that both give the same file.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "library_binding.h"
#include "screen_test_support.h"
#include "stopwatch.h"
#include "unique_resource.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080;
constexpr int kBulkRuns = 7;

using kit::testing::Seconds;
using kit::testing::Timed;

template <typename Work>
double MedianOf(int runs, Work work) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) times.push_back(Timed(work));
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// The reading point by point: one GetPixel and one 4-byte write per point.
void RecordPointByPoint(HWND window, const std::string& fileName) {
  const kit::unique_window_dc dc = kit::GetWindowDcOf(window);
  const kit::unique_file file(::CreateFileA(fileName.c_str(), GENERIC_WRITE, 0, nullptr,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const COLORREF colour = ::GetPixel(dc.get().dc, x, y);
      ::WriteFile(file.get(), &colour, sizeof colour, &written, nullptr);
    }
}

int ComparePointByPoint(HWND window, const std::string& fileName) {
  const kit::unique_window_dc dc = kit::GetWindowDcOf(window);
  const kit::unique_file file(::CreateFileA(fileName.c_str(), GENERIC_READ, 0, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  int differing = 0;
  DWORD read;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      COLORREF stored = 0;
      ::ReadFile(file.get(), &stored, sizeof stored, &read, nullptr);
      differing += stored != ::GetPixel(dc.get().dc, x, y);
    }
  return differing;
}

}  // namespace

int main() {
  const kit::unique_hmodule library(::LoadLibraryA("Tandrel.dll"));
  const auto readArea = TANDREL_BIND(library.get(), get_bmp_area);
  if (!readArea) {
    std::printf("pixels bench: Tandrel.dll or get_bmp_area not found\n");
    return 1;
  }
  const kit::testing::ScratchFolder scratch;
  const std::string bulkFile = scratch.File("bulk.bin");
  const std::string pointFile = scratch.File("points.bin");

  const tandrel_test::PaintedWindow window({0, 0, kWidth, kHeight}, WS_POPUP,
                                           tandrel_test::Gradient);
  const int handle = window.Handle();
  std::printf("pixels bench: screen %dx%d, window and area %dx%d (%d pixels)\n",
              ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), kWidth, kHeight,
              kWidth * kHeight);

  int bulkDiffering = -1;
  const double bulkRecord = MedianOf(
      kBulkRuns, [&] { readArea(handle, 0, 0, kWidth - 1, kHeight - 1, 1, bulkFile.c_str()); });
  const double bulkCompare = MedianOf(kBulkRuns, [&] {
    bulkDiffering = readArea(handle, 0, 0, kWidth - 1, kHeight - 1, 0, bulkFile.c_str());
  });
  const double pointRecord = Timed([&] { RecordPointByPoint(window.get(), pointFile); });
  int pointDiffering = -1;
  const double pointCompare =
      Timed([&] { pointDiffering = ComparePointByPoint(window.get(), pointFile); });
  const double getPixelOnly = Timed([&] {
    const kit::unique_window_dc dc = kit::GetWindowDcOf(window.get());
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) ::GetPixel(dc.get().dc, x, y);
  });
  const bool identical = kit::testing::ReadBytes(bulkFile) == kit::testing::ReadBytes(pointFile);

  std::printf("%-34s %10s %10s %10s\n", "", "record", "compare", "both");
  std::printf("%-34s %8.1f ms %8.1f ms %8.1f ms\n", "get_bmp_area (median of 7 runs)",
              bulkRecord * 1e3, bulkCompare * 1e3, (bulkRecord + bulkCompare) * 1e3);
  std::printf("%-34s %8.1f ms %8.1f ms %8.1f ms\n", "one GetPixel + 4-byte I/O per point",
              pointRecord * 1e3, pointCompare * 1e3, (pointRecord + pointCompare) * 1e3);
  std::printf("%-34s %8.1f ms\n", "GetPixel alone, every point", getPixelOnly * 1e3);
  std::printf("speed-up: record %.0fx, compare %.0fx, both %.0fx\n", pointRecord / bulkRecord,
              pointCompare / bulkCompare,
              (pointRecord + pointCompare) / (bulkRecord + bulkCompare));
  std::printf("differing pixels: one copy %d, point by point %d; files identical: %s\n",
              bulkDiffering, pointDiffering, identical ? "yes" : "NO");
  return identical && bulkDiffering == 0 && pointDiffering == 0 ? 0 : 1;
}
