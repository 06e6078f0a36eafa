// The cells of a detail row the filter kept, as the condensed log holds
// them, and their text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "simd.h"
#include "text_search.h"

namespace rowsift {

struct FilterCut;

// A space, tab or line break: one test of a bit for the usual byte.
inline bool IsSpace(char c) {
  constexpr std::uint64_t kSpaces = std::uint64_t{1} << ' ' | std::uint64_t{1} << '\r' |
                                    std::uint64_t{1} << '\n' | std::uint64_t{1} << '\t';
  const auto byte = static_cast<unsigned char>(c);
  return byte <= ' ' && ((kSpaces >> byte) & 1) != 0;
}

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

// Whether `a` and `b` hold the same bytes: memcmp's answer, without its
// call and its guess at the size. Rows repeat short cells of the row before,
// which compare here in a few overlapping loads.
inline bool SameBytes(std::string_view a, std::string_view b) {
  const std::size_t size = a.size();
  if (size != b.size()) return false;
  const auto word = [](const char* at) {
    std::uint64_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
  };
  if (size >= 8 && size <= 16) {
    return word(a.data()) == word(b.data()) &&
           word(a.data() + size - 8) == word(b.data() + size - 8);
  }
#if ROWSIFT_SSE2
  if (size > 16 && size <= 64) {
    const auto same = [](const char* x, const char* y) {
      return simd::Mask(_mm_cmpeq_epi8(simd::Load(x), simd::Load(y))) == 0xFFFF;
    };
    for (std::size_t at = 0; at + 16 < size; at += 16) {
      if (!same(a.data() + at, b.data() + at)) return false;
    }
    return same(a.data() + size - 16, b.data() + size - 16);
  }
#endif
  return a == b;
}

// The first five cells of a kept row, read from the row as the log has it
// and the filter's cut: a cut that leaves the tags as they are changes one
// cell, which alone is copied, and only when it is asked for as the output
// holds it. Cells end at their "</TD>"; the fifth, where none closes it, at
// the row's "</TR>".
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
  [[nodiscard]] std::string_view Raw(int cell) {
    if (cell == cutIn_) CopyCutCell();
    return cells_[cell];
  }

  // The usual cell, its opening tags and printable ASCII that neither HTML
  // nor XML reads otherwise, is its own text and its own XML, found without
  // a copy. Text(cell), where the cell is such; nothing otherwise.
  [[nodiscard]] std::optional<std::string_view> PlainText(int cell);
  // The same for the text a name takes: Text(cell) behind the indent marks
  // that lead it, the filter's among them.
  [[nodiscard]] std::optional<std::string_view> PlainName(int cell);

 private:
  // Puts the cell the cut changes as the output holds it in cutCell_.
  void CopyCutCell();
  // How much may be read from the start of a cell: up to the end of the
  // text it lies in.
  [[nodiscard]] std::size_t Readable(int cell) const;

  std::string_view cells_[kCells];
  const char* end_ = nullptr;    // of the row, or of cutRow_, where the cells lie
  std::string scratch_[kCells];  // a cell's text where tags had to go
  std::string cutRow_;           // a row whose cut changes its tags, as the output holds it
  // The cell a cut changes, while it is not copied: its number, and where
  // the cut lies in it.
  int cutIn_ = -1;
  std::size_t cutBefore_ = 0;
  std::size_t cutAfter_ = 0;
  int indents_ = 0;
  std::string cutCell_;  // that cell as the output holds it, once copied
  int copied_ = -1;      // and its number then
};

}  // namespace rowsift
