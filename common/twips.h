// Layouts drawn in twips (1440 to the inch), as the kit's windows were
// designed, and the pixels they take at a screen's resolution.
#pragma once

namespace kit {

inline constexpr int kTwipsPerInch = 1440;

// Rounded to the nearest pixel, halves up, as MulDiv rounds them; a layout's
// twips are never negative.
[[nodiscard]] constexpr int TwipsToPixels(int twips, int dpi) noexcept {
  const long long scaled = static_cast<long long>(twips) * dpi;
  return static_cast<int>((scaled + kTwipsPerInch / 2) / kTwipsPerInch);
}

}  // namespace kit
