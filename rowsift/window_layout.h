// Where the main window's controls go. The layout is drawn in twips (1440 to
// the inch) and turned into pixels at the screen's DPI once, at start.
#pragma once

#include <span>

#include "main_window_ids.h"

namespace rowsift {

enum class ControlKind { kLabel, kPushButton, kTextBox, kCheckBox, kListBox };

struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct ControlLayout {
  ControlId id;
  ControlKind kind;
  const char* caption;  // empty for the text boxes and the list
  Rect twips;
};

// Every control of the main window, in tab order: the window creates them in
// this order so that Tab follows it.
[[nodiscard]] std::span<const ControlLayout> MainWindowControls();

// Each value rounded as kit::TwipsToPixels rounds it.
[[nodiscard]] Rect ToPixels(const Rect& twips, int dpi);

[[nodiscard]] int ClientWidthPixels(int dpi);
// The whole window, caption and frame included; the debug list only fits in
// the taller one.
[[nodiscard]] int OuterHeightPixels(bool debugMode, int dpi);
// The client height that shows every control of the mode in full. Frames
// thicker than the layout allowed for (as on Windows 10) would otherwise cut
// off the bottom of "Parse" or of the debug list.
[[nodiscard]] int MinimumClientHeightPixels(bool debugMode, int dpi);

}  // namespace rowsift
