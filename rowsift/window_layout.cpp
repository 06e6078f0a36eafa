#include "window_layout.h"

#include "twips.h"

namespace rowsift {

namespace {

constexpr int kClientWidthTwips = 6600;
constexpr int kOuterHeightTwips = 3000;
constexpr int kDebugOuterHeightTwips = 5000;
// The client area the layout was drawn for, and the debug list's bottom plus
// the same margin as below "Parse".
constexpr int kClientHeightTwips = 2625;
constexpr int kDebugClientHeightTwips = 2850 + 1620 + (2625 - 2100 - 435);

constexpr ControlLayout kControls[] = {
    {kIdInputLabel, ControlKind::kLabel, "Input File:", {240, 360, 945, 255}},
    {kIdOutputLabel, ControlKind::kLabel, "Output File:", {240, 780, 945, 285}},
    {kIdFilterLabel, ControlKind::kLabel, "Filter on:", {240, 1200, 945, 315}},
    {kIdParse, ControlKind::kPushButton, "Parse", {2550, 2100, 1545, 435}},
    {kIdInputFile, ControlKind::kTextBox, "", {1230, 330, 4785, 345}},
    {kIdOutputFile, ControlKind::kTextBox, "", {1230, 750, 4785, 345}},
    {kIdFilterOn, ControlKind::kTextBox, "", {1230, 1200, 4785, 345}},
    {kIdBrowse, ControlKind::kPushButton, "...", {6000, 330, 345, 345}},
    {kIdOpenOutputFile,
     ControlKind::kCheckBox,
     "Open Output File When Done",
     {1230, 1620, 4665, 315}},
    {kIdDebugList, ControlKind::kListBox, "", {120, 2850, 6345, 1620}},
};

}  // namespace

std::span<const ControlLayout> MainWindowControls() { return kControls; }

Rect ToPixels(const Rect& twips, int dpi) {
  return {kit::TwipsToPixels(twips.left, dpi), kit::TwipsToPixels(twips.top, dpi),
          kit::TwipsToPixels(twips.width, dpi), kit::TwipsToPixels(twips.height, dpi)};
}

int ClientWidthPixels(int dpi) { return kit::TwipsToPixels(kClientWidthTwips, dpi); }

int OuterHeightPixels(bool debugMode, int dpi) {
  return kit::TwipsToPixels(debugMode ? kDebugOuterHeightTwips : kOuterHeightTwips, dpi);
}

int MinimumClientHeightPixels(bool debugMode, int dpi) {
  return kit::TwipsToPixels(debugMode ? kDebugClientHeightTwips : kClientHeightTwips, dpi);
}

}  // namespace rowsift
