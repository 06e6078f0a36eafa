#include "window_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rowsift {

static void PrintTo(const Rect& r, std::ostream* out) {
  *out << '{' << r.left << ", " << r.top << ", " << r.width << ", " << r.height << '}';
}

namespace {

struct ExpectedPixels {
  int dpi;
  int clientWidth;
  int outerHeight;
  int debugOuterHeight;
  std::vector<Rect> controls;  // in tab order
};

class LayoutAtDpi : public ::testing::TestWithParam<ExpectedPixels> {};

TEST_P(LayoutAtDpi, RoundsEachTwipsValueToTheNearestPixel) {
  const ExpectedPixels& expected = GetParam();
  EXPECT_EQ(ClientWidthPixels(expected.dpi), expected.clientWidth);
  EXPECT_EQ(OuterHeightPixels(false, expected.dpi), expected.outerHeight);
  EXPECT_EQ(OuterHeightPixels(true, expected.dpi), expected.debugOuterHeight);

  const auto controls = MainWindowControls();
  ASSERT_EQ(controls.size(), expected.controls.size());
  for (std::size_t i = 0; i < controls.size(); ++i) {
    EXPECT_EQ(ToPixels(controls[i].twips, expected.dpi), expected.controls[i])
        << "control " << controls[i].id;
  }
}

// Each control's rectangle in tab order, worked out by hand.
const std::vector<Rect> kAt96 = {{16, 24, 63, 17},    {16, 52, 63, 19},  {16, 80, 63, 21},
                                 {170, 140, 103, 29}, {82, 22, 319, 23}, {82, 50, 319, 23},
                                 {82, 80, 319, 23},   {400, 22, 23, 23}, {82, 108, 311, 21},
                                 {8, 190, 423, 108}};
// Halves round up, as MulDiv rounds them: 2850 twips are 237.5 pixels here.
const std::vector<Rect> kAt120 = {{20, 30, 79, 21},    {20, 65, 79, 24},   {20, 100, 79, 26},
                                  {213, 175, 129, 36}, {103, 28, 399, 29}, {103, 63, 399, 29},
                                  {103, 100, 399, 29}, {500, 28, 29, 29},  {103, 135, 389, 26},
                                  {10, 238, 529, 135}};
const std::vector<Rect> kAt144 = {{24, 36, 95, 26},    {24, 78, 95, 29},   {24, 120, 95, 32},
                                  {255, 210, 155, 44}, {123, 33, 479, 35}, {123, 75, 479, 35},
                                  {123, 120, 479, 35}, {600, 33, 35, 35},  {123, 162, 467, 32},
                                  {12, 285, 635, 162}};

INSTANTIATE_TEST_SUITE_P(CommonDpis, LayoutAtDpi,
                         ::testing::Values(ExpectedPixels{96, 440, 200, 333, kAt96},
                                           ExpectedPixels{120, 550, 250, 417, kAt120},
                                           ExpectedPixels{144, 660, 300, 500, kAt144}),
                         [](const ::testing::TestParamInfo<ExpectedPixels>& info) {
                           return std::to_string(info.param.dpi) + "dpi";
                         });

}  // namespace
}  // namespace rowsift

namespace rowsift {
namespace {

TEST(MinimumClientHeight, ShowsEveryControlOfTheModeInFull) {
  for (const int dpi : {96, 120, 144, 192}) {
    for (const ControlLayout& control : MainWindowControls()) {
      const Rect pixels = ToPixels(control.twips, dpi);
      const bool debugOnly = control.id == kIdDebugList;
      EXPECT_LE(pixels.top + pixels.height, MinimumClientHeightPixels(true, dpi)) << dpi;
      if (!debugOnly) {
        EXPECT_LE(pixels.top + pixels.height, MinimumClientHeightPixels(false, dpi)) << dpi;
      }
    }
    EXPECT_LT(MinimumClientHeightPixels(false, dpi), OuterHeightPixels(false, dpi))
        << "with a classic frame the window keeps its own height";
  }
}

}  // namespace
}  // namespace rowsift
