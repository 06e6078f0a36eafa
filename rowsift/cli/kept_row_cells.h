// The cells of a detail row the filter kept, as the condensed log holds
// them, and their text.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "text_search.h"

namespace rowsift {

struct FilterCut;

inline bool IsSpace(char c) { return c == ' ' || c == '\r' || c == '\n' || c == '\t'; }

// `text` without white space at either end: spaces, tabs, line breaks.
inline std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

// Whether `text` starts with `lower`, ASCII in lower case, in any letter
// case. For the short texts of cells: inline.
inline bool StartsWithFolded(std::string_view text, std::string_view lower) {
  if (text.size() < lower.size()) return false;
  for (std::size_t i = 0; i < lower.size(); ++i) {
    if (FoldAscii(static_cast<unsigned char>(text[i])) != static_cast<unsigned char>(lower[i]))
      return false;
  }
  return true;
}

// The first five cells of a kept row, read from the row as the log has it
// and the filter's cut: a cut that leaves the tags as they are changes one
// cell, which alone is copied. Cells end at their "</TD>"; the fifth, where
// none closes it, at the row's "</TR>".
class KeptRowCells {
 public:
  static constexpr int kCells = 5;

  // The arguments are KeptRowReader::Part::Read's. False where the row has
  // fewer than four cells.
  bool Read(std::string_view row, const FilterCut& cut, std::span<const std::size_t> cellEnds);

  // A cell's text: its tags dropped, white space trimmed, otherwise the
  // log's bytes. Valid until the next Read.
  [[nodiscard]] std::string_view Text(int cell);
  // A cell as the output holds it, its tags still in it.
  [[nodiscard]] std::string_view Raw(int cell) const { return cells_[cell]; }

 private:
  // How much may be read from the start of each cell, of `text` or none.
  void ReadableIn(std::string_view text);

  std::string_view cells_[kCells];
  std::size_t readable_[kCells] = {};
  std::string scratch_[kCells];  // a cell's text where tags had to go
  std::string cutRow_;           // a row whose cut changes its tags, as the output holds it
  std::string cutCell_;          // the cell a cut changes, as the output holds it
};

}  // namespace rowsift
