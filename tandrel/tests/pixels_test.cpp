// The pixel read-back exports bound by name, as a script host binds them. A
// recorded file must hold exactly what one GetPixel per point answers on the
// same window DC, wherever the window is: fully shown, partly off the screen,
// partly covered, hidden, a child cut by its parent, and areas that reach
// past the window.
#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "library_binding.h"
#include "screen_test_support.h"
#include "under_wine.h"
#include "unique_resource.h"

namespace {

using kit::testing::Exists;
using kit::testing::ReadBytes;
using kit::testing::ScratchFolder;
using kit::testing::UnderWine;
using kit::testing::WriteBytes;
using tandrel_test::Gradient;
using tandrel_test::PaintedWindow;
using tandrel_test::Settle;

constexpr int kCompare = 0;
constexpr int kRecord = 1;

std::vector<COLORREF> Colours(const std::string& bytes) {
  std::vector<COLORREF> colours(bytes.size() / 4);
  std::memcpy(colours.data(), bytes.data(), colours.size() * 4);
  return colours;
}

std::string Bytes(const std::vector<COLORREF>& colours) {
  return std::string(reinterpret_cast<const char*>(colours.data()), colours.size() * 4);
}

// Which points GetPixel refuses: as the system says, or, where Wine reads
// the window's surface regardless of its visible region (hidden windows,
// children cut by their parent), as Windows documents it.
enum class Clipping { kAsGetPixel, kAsDocumented };

// One GetPixel per point, the reading the exports must equal.
std::vector<COLORREF> PointByPoint(HWND window, int left, int top, int right, int bottom,
                                   Clipping clipping = Clipping::kAsGetPixel) {
  const kit::unique_window_dc dc = kit::GetWindowDcOf(window);
  std::vector<COLORREF> colours;
  for (int y = top; y <= bottom; ++y)
    for (int x = left; x <= right; ++x)
      colours.push_back(clipping == Clipping::kAsDocumented && !::PtVisible(dc.get().dc, x, y)
                            ? CLR_INVALID
                            : ::GetPixel(dc.get().dc, x, y));
  return colours;
}

class PixelReadBack : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(readArea_ && readWindow_); }

  // Records the area and expects the file to hold what GetPixel answers,
  // point for point; compares it at once, expecting no difference.
  void ExpectRecordedAsPointByPoint(const PaintedWindow& window, int left, int top, int right,
                                    int bottom, Clipping clipping = Clipping::kAsGetPixel) {
    const std::string file = scratch_ / "area.bin";
    ASSERT_EQ(readArea_(window.Handle(), left, top, right, bottom, kRecord, file.c_str()), 0);
    const std::vector<COLORREF> expected =
        PointByPoint(window.get(), left, top, right, bottom, clipping);
    const std::vector<COLORREF> recorded = Colours(ReadBytes(file));
    ASSERT_EQ(recorded.size(), expected.size());
    const int columns = right - left + 1;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      ASSERT_EQ(recorded[i], expected[i]) << "at x " << left + static_cast<int>(i % columns)
                                          << ", y " << top + static_cast<int>(i / columns);
    }
    EXPECT_EQ(readArea_(window.Handle(), left, top, right, bottom, kCompare, file.c_str()), 0);
  }

  static std::size_t Count(const std::vector<COLORREF>& colours, COLORREF value) {
    std::size_t n = 0;
    for (COLORREF c : colours) n += c == value;
    return n;
  }

  const kit::unique_hmodule library_{::LoadLibraryA("Tandrel.dll")};
  const decltype(&::get_bmp_area) readArea_ = TANDREL_BIND(library_.get(), get_bmp_area);
  const decltype(&::get_bmp) readWindow_ = TANDREL_BIND(library_.get(), get_bmp);
  const ScratchFolder scratch_;
};

TEST_F(PixelReadBack, GetBmpRecordsTheWindowAndOneColumnAndRowPast) {
  const PaintedWindow window({50, 40, 50 + 100, 40 + 50}, WS_POPUP, Gradient);
  const std::string file = scratch_ / "window.bin";
  ASSERT_EQ(readWindow_(window.Handle(), kRecord, file.c_str()), 0);
  const std::vector<COLORREF> recorded = Colours(ReadBytes(file));
  ASSERT_EQ(recorded.size(), 101u * 51u);
  EXPECT_EQ(recorded, PointByPoint(window.get(), 0, 0, 100, 50));
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 100; ++x) ASSERT_EQ(recorded[y * 101 + x], Gradient(x, y)) << x << "," << y;
  for (int y = 0; y <= 50; ++y) EXPECT_EQ(recorded[y * 101 + 100], CLR_INVALID) << y;
  for (int x = 0; x <= 100; ++x) EXPECT_EQ(recorded[50 * 101 + x], CLR_INVALID) << x;
  EXPECT_EQ(readWindow_(window.Handle(), kCompare, file.c_str()), 0);
}

TEST_F(PixelReadBack, FramedWindowsReadAsPointByPointFrameIncluded) {
  const PaintedWindow window({30, 30, 30 + 260, 30 + 180}, WS_OVERLAPPEDWINDOW, Gradient);
  RECT outer;
  ::GetWindowRect(window.get(), &outer);
  ExpectRecordedAsPointByPoint(window, 0, 0, outer.right - outer.left, outer.bottom - outer.top);
}

TEST_F(PixelReadBack, AreasReachingPastTheWindowReadAsPointByPoint) {
  const PaintedWindow window({200, 150, 200 + 120, 150 + 90}, WS_POPUP, Gradient);
  ExpectRecordedAsPointByPoint(window, -15, -10, 135, 99);
  ExpectRecordedAsPointByPoint(window, 110, 80, 200, 140);
  const std::vector<COLORREF> distant = PointByPoint(window.get(), 500, 500, 509, 504);
  EXPECT_EQ(Count(distant, CLR_INVALID), distant.size());
  ExpectRecordedAsPointByPoint(window, 500, 500, 509, 504);
}

TEST_F(PixelReadBack, WindowsPartlyOffTheScreenReadAsPointByPoint) {
  const int width = ::GetSystemMetrics(SM_CXSCREEN), height = ::GetSystemMetrics(SM_CYSCREEN);
  const PaintedWindow topLeft({-40, -30, -40 + 150, -30 + 100}, WS_POPUP, Gradient);
  ExpectRecordedAsPointByPoint(topLeft, 0, 0, 150, 100);
  const PaintedWindow bottomRight({width - 60, height - 50, width + 90, height + 50}, WS_POPUP,
                                  Gradient);
  ExpectRecordedAsPointByPoint(bottomRight, 0, 0, 150, 100);
}

TEST_F(PixelReadBack, CoveredHiddenAndClippedWindowsReadAsPointByPoint) {
  const PaintedWindow below({100, 100, 100 + 200, 100 + 120}, WS_POPUP, Gradient);
  const PaintedWindow above({180, 150, 180 + 200, 150 + 120}, WS_POPUP,
                            [](int, int) { return RGB(10, 200, 30); });
  // Windows leaves the covered part out of the visible region; Wine keeps
  // no covered region, so there the window still reads its own pixels.
  ExpectRecordedAsPointByPoint(below, 0, 0, 200, 120);

  // A child reaching past its parent's client area is cut by it; a hidden
  // window shows nothing.
  const Clipping clipping = UnderWine() ? Clipping::kAsDocumented : Clipping::kAsGetPixel;
  const PaintedWindow child(
      {150, 60, 150 + 100, 60 + 80}, WS_CHILD, [](int x, int y) { return RGB(x, y, 77); },
      above.get());
  ExpectRecordedAsPointByPoint(child, 0, 0, 100, 80, clipping);
  const std::vector<COLORREF> cut = PointByPoint(child.get(), 40, 0, 60, 0, clipping);
  EXPECT_EQ(Count(cut, CLR_INVALID), 11u) << "x 50 to 60 lie outside the parent";

  ::ShowWindow(below.get(), SW_HIDE);
  Settle();
  ExpectRecordedAsPointByPoint(below, 0, 0, 20, 10, clipping);
  EXPECT_EQ(Count(PointByPoint(below.get(), 0, 0, 20, 10, clipping), CLR_INVALID), 21u * 11u);
}

TEST_F(PixelReadBack, OneChangedPixelIsOneDifference) {
  const PaintedWindow window({60, 60, 60 + 80, 60 + 40}, WS_POPUP, Gradient);
  const std::string file = scratch_ / "area.bin";
  ASSERT_EQ(readArea_(window.Handle(), 10, 10, 19, 14, kRecord, file.c_str()), 0);
  EXPECT_EQ(ReadBytes(file).size(), 200u);  // 10 × 5 values of 4 bytes
  EXPECT_EQ(readArea_(window.Handle(), 10, 10, 19, 14, kCompare, file.c_str()), 0);
  {
    const kit::unique_window_dc dc = kit::GetWindowDcOf(window.get());
    ::SetPixel(dc.get().dc, 17, 12, RGB(1, 2, 3));
  }
  ::GdiFlush();
  EXPECT_EQ(readArea_(window.Handle(), 10, 10, 19, 14, kCompare, file.c_str()), 1);
  // The window as a whole, and the same change seen there.
  const std::string whole = scratch_ / "whole.bin";
  ASSERT_EQ(readWindow_(window.Handle(), kRecord, whole.c_str()), 0);
  ::InvalidateRect(window.get(), nullptr, FALSE);
  ::UpdateWindow(window.get());
  Settle();
  EXPECT_EQ(readWindow_(window.Handle(), kCompare, whole.c_str()), 1);
}

TEST_F(PixelReadBack, StoredValuesThatCannotBeReadCountAsDiffering) {
  const PaintedWindow window({60, 60, 60 + 80, 60 + 40}, WS_POPUP, Gradient);
  const std::string file = scratch_ / "area.bin";
  const int h = window.Handle();
  EXPECT_EQ(readArea_(h, 0, 0, 9, 9, kCompare, (scratch_ / "missing.bin").c_str()), 100);
  EXPECT_EQ(readWindow_(h, kCompare, (scratch_ / "missing.bin").c_str()), 81 * 41);

  ASSERT_EQ(readArea_(h, 0, 0, 9, 9, kRecord, file.c_str()), 0);
  const std::string recorded = ReadBytes(file);
  WriteBytes(file, recorded.substr(0, 4 * 60));
  EXPECT_EQ(readArea_(h, 0, 0, 9, 9, kCompare, file.c_str()), 40);
  WriteBytes(file, recorded.substr(0, 4 * 60 + 3));  // a value cut short
  EXPECT_EQ(readArea_(h, 0, 0, 9, 9, kCompare, file.c_str()), 40);
  WriteBytes(file, "");
  EXPECT_EQ(readArea_(h, 0, 0, 9, 9, kCompare, file.c_str()), 100);
  // A longer file: only its start is compared.
  WriteBytes(file, recorded + "more");
  EXPECT_EQ(readArea_(h, 0, 0, 9, 9, kCompare, file.c_str()), 0);
  // Held by someone else without sharing: nothing can be read.
  WriteBytes(file, recorded);
  const kit::unique_file held(::CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
  EXPECT_EQ(readArea_(h, 0, 0, 9, 9, kCompare, file.c_str()), 100);
}

TEST_F(PixelReadBack, ReversedAreasCoverNoPixel) {
  const PaintedWindow window({60, 60, 60 + 80, 60 + 40}, WS_POPUP, Gradient);
  const std::string file = scratch_ / "empty.bin";
  WriteBytes(file, "old content");
  EXPECT_EQ(readArea_(window.Handle(), 20, 5, 19, 9, kRecord, file.c_str()), 0);
  EXPECT_EQ(ReadBytes(file), "");
  EXPECT_TRUE(Exists(file));
  EXPECT_EQ(readArea_(window.Handle(), 5, 20, 9, 19, kCompare, file.c_str()), 0);
  EXPECT_EQ(readArea_(window.Handle(), 5, 20, 9, 19, kCompare, (scratch_ / "missing.bin").c_str()),
            0);
}

// More points than a compare result counts (INT_MAX), up to more than a
// 64-bit count holds: refused at once, and no file is touched, rather than
// recorded until the disk is full.
TEST_F(PixelReadBack, AreasBeyondWhatACompareCountsAreRefused) {
  const PaintedWindow window({60, 60, 60 + 80, 60 + 40}, WS_POPUP, Gradient);
  const std::string kept = scratch_ / "kept.bin";
  WriteBytes(kept, "kept");
  const std::string absent = scratch_ / "absent.bin";
  const int h = window.Handle();
  struct Area {
    int left, top, right, bottom;
  };
  // 2^64, 2^63, 2^62 and 2^31 points.
  for (const Area& a :
       {Area{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, Area{INT_MIN, 0, INT_MAX, INT_MAX},
        Area{0, 0, INT_MAX, INT_MAX}, Area{0, 0, 65535, 32767}}) {
    EXPECT_EQ(readArea_(h, a.left, a.top, a.right, a.bottom, kCompare, kept.c_str()), INT_MAX);
    EXPECT_EQ(readArea_(h, a.left, a.top, a.right, a.bottom, kRecord, kept.c_str()), 0);
    EXPECT_EQ(readArea_(h, a.left, a.top, a.right, a.bottom, kRecord, absent.c_str()), 0);
  }
  EXPECT_EQ(ReadBytes(kept), "kept");
  EXPECT_FALSE(Exists(absent));
}

TEST_F(PixelReadBack, OtherModesTouchNoFile) {
  const PaintedWindow window({60, 60, 60 + 80, 60 + 40}, WS_POPUP, Gradient);
  const std::string kept = scratch_ / "kept.bin";
  WriteBytes(kept, "kept");
  const std::string absent = scratch_ / "absent.bin";
  for (int mode : {2, -1, 100}) {
    EXPECT_EQ(readArea_(window.Handle(), 0, 0, 9, 9, mode, kept.c_str()), 0);
    EXPECT_EQ(readWindow_(window.Handle(), mode, kept.c_str()), 0);
    EXPECT_EQ(readWindow_(window.Handle(), mode, absent.c_str()), 0);
  }
  EXPECT_EQ(ReadBytes(kept), "kept");
  EXPECT_FALSE(Exists(absent));
}

TEST_F(PixelReadBack, RepeatedCallsLeaveNothingBehind) {
  const PaintedWindow window({0, 0, 600, 500}, WS_POPUP, Gradient);
  const std::string file = scratch_ / "again.bin";
  const tandrel_test::Growth growth = tandrel_test::GrowthOver(30, [&] {
    EXPECT_EQ(readWindow_(window.Handle(), kRecord, file.c_str()), 0);
    EXPECT_EQ(readWindow_(window.Handle(), kCompare, file.c_str()), 0);
  });
  EXPECT_LT(growth.privateBytes, 8 << 20) << "memory left behind";
  if (growth.gdiCounted) {
    EXPECT_LE(growth.gdiObjects, 2) << "GDI objects left behind";
  } else {
    EXPECT_TRUE(UnderWine());
    RecordProperty("gdi_objects", "not counted by this system");
  }
}

TEST_F(PixelReadBack, RecordingReplacesTheFileAndAnUnwritableOneIsNoFailure) {
  const PaintedWindow window({60, 60, 60 + 80, 60 + 40}, WS_POPUP, Gradient);
  const std::string file = scratch_ / "again.bin";
  WriteBytes(file, std::string(1000, 'x'));
  EXPECT_EQ(readArea_(window.Handle(), 0, 0, 4, 4, kRecord, file.c_str()), 0);
  EXPECT_EQ(ReadBytes(file), Bytes(PointByPoint(window.get(), 0, 0, 4, 4)));
  const std::string unwritable = scratch_ / "missing\\again.bin";
  EXPECT_EQ(readArea_(window.Handle(), 0, 0, 4, 4, kRecord, unwritable.c_str()), 0);
  EXPECT_FALSE(Exists(unwritable));
}

}  // namespace
