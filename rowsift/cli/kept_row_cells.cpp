#include "kept_row_cells.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "log_xml_text.h"
#include "report_rows.h"
#include "simd.h"

namespace rowsift {
namespace {

// 'd' where a "</TD>" starts at text[at], 'r' where a "</TR>" does, in any
// letter case; 0 otherwise.
unsigned char ClosingTagAt(std::string_view text, std::size_t at) {
  if (text.size() - at < 5 || text[at] != '<' || text[at + 1] != '/' || text[at + 4] != '>' ||
      FoldAscii(static_cast<unsigned char>(text[at + 2])) != 't') {
    return 0;
  }
  const unsigned char closing = FoldAscii(static_cast<unsigned char>(text[at + 3]));
  return closing == 'd' || closing == 'r' ? closing : 0;
}

// The cells of a kept row, their tags still in them: the first five, the
// fifth running to the row's end where no "</TD>" closes it. False where
// the row has fewer than four "</TD>".
bool SplitCells(std::string_view row, std::string_view (&cells)[5]) {
  std::fill(std::begin(cells), std::end(cells), std::string_view());
  constexpr std::size_t kBlock = 16;
  const char* const bytes = row.data();
  const std::size_t size = row.size();
  int closes = 0;
  std::size_t cellStart = 0;
  // The closing tags' "</", sixteen places at a time where the processor
  // can.
  for (std::size_t block = 0; block < size; block += kBlock) {
    unsigned marks = 0;
#if ROWSIFT_SSE2
    if (size - block > kBlock) {
      marks = simd::Mask(
          _mm_and_si128(_mm_cmpeq_epi8(simd::Load(bytes + block), simd::Splat('<')),
                        _mm_cmpeq_epi8(simd::Load(bytes + block + 1), simd::Splat('/'))));
    } else
#endif
    {
      for (std::size_t i = 0; i < kBlock && block + i + 1 < size; ++i) {
        if (bytes[block + i] == '<' && bytes[block + i + 1] == '/') marks |= 1u << i;
      }
    }
    for (; marks != 0; marks &= marks - 1) {
      const std::size_t open = block + static_cast<std::size_t>(std::countr_zero(marks));
      const unsigned char closing = ClosingTagAt(row, open);
      if (closing == 'd') {
        if (closes < 5) cells[closes] = row.substr(cellStart, open - cellStart);
        ++closes;
        cellStart = open + kCellClose.size();
      } else if (closing == 'r') {
        if (closes == 4) cells[4] = row.substr(cellStart, open - cellStart);
        return true;
      }
    }
  }
  return closes >= 4;
}

// The cells of a row whose first four or five "</TD>" are known, which lie
// in order within it.
void CellsAt(std::string_view row, std::span<const std::size_t> cellEnds,
             std::string_view (&cells)[5]) {
  const char* const bytes = row.data();
  std::size_t cellStart = 0;
  for (int i = 0; i < 4; ++i) {
    cells[i] = std::string_view(bytes + cellStart, cellEnds[i] - cellStart);
    cellStart = cellEnds[i] + kCellClose.size();
  }
  const std::size_t fifthEnd = cellEnds.size() > 4 ? cellEnds[4] : row.size() - kRowClose.size();
  cells[4] = std::string_view(bytes + cellStart, fifthEnd - cellStart);
}

// Whether a cut without brackets ends or makes a "</TD>" or "</TR>" that
// starts right in front of it.
bool CutMovesCellBound(std::string_view row, const FilterCut& cut) {
  // A tag that closes right in front of the cut leaves no room for either.
  if (cut.before > 0 && row[cut.before - 1] == '>') return false;
  char joined[9];
  for (std::size_t at = cut.before - std::min<std::size_t>(cut.before, 4); at < cut.before; ++at) {
    if (row[at] != '<') continue;
    if (ClosingTagAt(row, at) != 0) return true;
    if (at + 1 < cut.before && row[at + 1] != '/') continue;  // no closing tag, whatever follows
    std::size_t size = cut.before - at;
    std::memcpy(joined, row.data() + at, size);
    const std::string_view inserted = cut.indents > 0 ? kIndent : row.substr(cut.after, 5);
    const std::size_t added = std::min(inserted.size(), sizeof joined - size);
    std::memcpy(joined + size, inserted.data(), added);
    size += added;
    if (ClosingTagAt(std::string_view(joined, size), 0) != 0) return true;
  }
  return false;
}

// The places of "<" and ">" in a text of at most 64 bytes, a bit each,
// marked sixteen bytes at a time: false where the processor cannot, or
// where fewer than the blocks' bytes may be read from the text's start.
struct Brackets {
  std::uint64_t opens = 0;
  std::uint64_t closes = 0;

  bool Mark(std::string_view text, std::size_t readable) {
#if ROWSIFT_SSE2
    constexpr std::size_t kBlock = 16;
    if (text.size() > 64 || readable < (text.size() + kBlock - 1) / kBlock * kBlock) return false;
    for (std::size_t block = 0; block < text.size(); block += kBlock) {
      const __m128i bytes = simd::Load(text.data() + block);
      opens |= std::uint64_t{simd::Mask(_mm_cmpeq_epi8(bytes, simd::Splat('<')))} << block;
      closes |= std::uint64_t{simd::Mask(_mm_cmpeq_epi8(bytes, simd::Splat('>')))} << block;
    }
    const std::uint64_t inText =
        text.size() == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << text.size()) - 1;
    opens &= inText;
    closes &= inText;
    return true;
#else
    static_cast<void>(text);
    static_cast<void>(readable);
    return false;
#endif
  }

  // The first mark of `marks` at or after `from`; `none` where there is none.
  static std::size_t Next(std::uint64_t marks, std::size_t from, std::size_t none) {
    const std::uint64_t after = from >= 64 ? 0 : marks >> from;
    return after == 0 ? none : from + static_cast<std::size_t>(std::countr_zero(after));
  }
};

// Whether the cut changes the row's tags: takes a "<" or ">" away, or ends
// or makes a closing tag right in front of it.
bool CutChangesTags(std::string_view row, const FilterCut& cut) {
  const std::string_view removed = row.substr(cut.before, cut.after - cut.before);
  Brackets marks;
  if (marks.Mark(removed, row.size() - cut.before)) {
    if ((marks.opens | marks.closes) != 0) return true;
  } else if (removed.find_first_of("<>") != std::string_view::npos) {
    return true;
  }
  return CutMovesCellBound(row, cut);
}

// A cell trimmed, behind the "<TD>" that opens it (the first behind "<TR>"),
// where the usual cell has its only tags.
std::string_view PastOpeningTags(std::string_view cell) {
  // Four bytes at once, the tag names' letters folded to lower case.
  const std::uint32_t fold = LoadWord("\0\x20\x20\0");
  const std::uint32_t cellOpen = LoadWord("<td>");
  const std::uint32_t rowOpen = LoadWord("<tr>");
  cell = Trimmed(cell);
  while (cell.size() >= 4) {
    const std::uint32_t tag = LoadWord(cell.data()) | fold;
    if (tag != cellOpen && tag != rowOpen) break;
    cell.remove_prefix(4);
    while (!cell.empty() && IsSpace(cell.front())) cell.remove_prefix(1);
  }
  return cell;
}

// Joins a cell's text between its tags: one stretch, the usual case, as it
// lies; more, in `scratch`.
class CellStretches {
 public:
  explicit CellStretches(std::string& scratch) : scratch_(scratch) {}
  void Add(std::string_view text) {
    if (joined_) {
      scratch_ += text;
    } else if (stretch_.empty()) {
      stretch_ = text;
    } else {
      scratch_.assign(stretch_);
      scratch_ += text;
      joined_ = true;
    }
  }
  std::string_view Text() const { return joined_ ? std::string_view(scratch_) : stretch_; }

 private:
  std::string& scratch_;
  std::string_view stretch_;
  bool joined_ = false;
};

// A cell's text: its tags dropped, white space trimmed, otherwise the log's
// bytes, in `scratch` where tags had to go. `readable` bytes may be read
// from the cell's start, its own and the row's after it.
std::string_view CellText(std::string_view cell, std::size_t readable, std::string& scratch) {
  const char* const start = cell.data();
  cell = PastOpeningTags(cell);
  readable -= static_cast<std::size_t>(cell.data() - start);
  // A tag ends at its ">", unless another "<" comes first: then the "<"
  // was text.
  const std::size_t size = cell.size();
  CellStretches text(scratch);
  Brackets marks;
  if (marks.Mark(cell, readable)) {
    if (marks.opens == 0) return cell;
    for (std::size_t at = 0; at < size;) {
      std::size_t end = Brackets::Next(marks.opens, at, size);
      if (end == at) {
        end = Brackets::Next(marks.opens, at + 1, size);
        const std::size_t tagEnd = Brackets::Next(marks.closes, at + 1, size);
        if (tagEnd < end) {
          at = tagEnd + 1;
          continue;
        }
      }
      text.Add(cell.substr(at, end - at));
      at = end;
    }
    return Trimmed(text.Text());
  }
  // Long cells, and where the processor cannot: plain loops, which beat
  // memchr on the short ones.
  std::size_t firstTag = 0;
  while (firstTag < size && cell[firstTag] != '<') ++firstTag;
  if (firstTag == size) return cell;
  for (std::size_t at = 0; at < size;) {
    std::size_t end = at;
    if (cell[at] == '<') {
      end = at + 1;
      while (end < size && cell[end] != '>' && cell[end] != '<') ++end;
      if (end < size && cell[end] == '>') {
        at = end + 1;
        continue;
      }
    }
    while (end < size && cell[end] != '<') ++end;
    text.Add(cell.substr(at, end - at));
    at = end;
  }
  return Trimmed(text.Text());
}

}  // namespace

bool KeptRowCells::Read(std::string_view row, const FilterCut& cut,
                        std::span<const std::size_t> cellEnds) {
  cutIn_ = -1;
  copied_ = -1;
  const bool changed = cut.after > cut.before || cut.indents > 0;
  if (changed && CutChangesTags(row, cut)) {
    cutRow_.assign(row.substr(0, cut.before));
    for (int i = 0; i < cut.indents; ++i) cutRow_ += kIndent;
    cutRow_ += row.substr(cut.after);
    end_ = cutRow_.data() + cutRow_.size();
    return SplitCells(cutRow_, cells_);
  }
  end_ = row.data() + row.size();
  if (cellEnds.size() >= 4) {
    CellsAt(row, cellEnds, cells_);
  } else if (!SplitCells(row, cells_)) {
    return false;
  }
  if (!changed) return true;
  for (int i = 0; i < kCells; ++i) {
    const std::string_view cell = cells_[i];
    if (cell.data() == nullptr) break;
    const auto begin = static_cast<std::size_t>(cell.data() - row.data());
    if (cut.before < begin || cut.after > begin + cell.size()) continue;
    cutIn_ = i;
    cutBefore_ = cut.before - begin;
    cutAfter_ = cut.after - begin;
    indents_ = cut.indents;
    break;
  }
  return true;
}

void KeptRowCells::CopyCutCell() {
  const std::string_view cell = cells_[cutIn_];
  const std::string_view before = cell.substr(0, cutBefore_);
  const std::string_view after = cell.substr(cutAfter_);
  const std::size_t size =
      before.size() + static_cast<std::size_t>(indents_) * kIndent.size() + after.size();
  // With room behind it to read the cell sixteen bytes at a time.
  cutCell_.resize(size + 16);
  char* out = cutCell_.data();
  std::memcpy(out, before.data(), before.size());
  out += before.size();
  for (int indent = 0; indent < indents_; ++indent, out += kIndent.size())
    std::memcpy(out, kIndent.data(), kIndent.size());
  std::memcpy(out, after.data(), after.size());
  cells_[cutIn_] = std::string_view(cutCell_).substr(0, size);
  copied_ = cutIn_;
  cutIn_ = -1;
}

std::size_t KeptRowCells::Readable(int cell) const {
  const char* const start = cells_[cell].data();
  if (start == nullptr) return 0;
  const char* const end = cell == copied_ ? cutCell_.data() + cutCell_.size() : end_;
  return static_cast<std::size_t>(end - start);
}

std::string_view KeptRowCells::Text(int cell) {
  if (cell == cutIn_) CopyCutCell();
  return CellText(cells_[cell], Readable(cell), scratch_[cell]);
}

std::optional<std::string_view> KeptRowCells::PlainText(int cell) {
  if (cell == cutIn_) return std::nullopt;  // the filter's indent marks are no plain text
  const std::string_view text = PastOpeningTags(cells_[cell]);
  const auto skipped = static_cast<std::size_t>(text.data() - cells_[cell].data());
  if (!IsPlainXml(text, Readable(cell) - skipped)) return std::nullopt;
  return text;
}

std::optional<std::string_view> KeptRowCells::PlainName(int cell) {
  if (cell != cutIn_) return PlainText(cell);
  // The output holds the bytes before the cut, the indents, and those
  // after it: where only tags come before, the name is what comes after,
  // unless a ";" there would end the last indent's mark.
  const std::string_view raw = cells_[cell];
  if (!PastOpeningTags(raw.substr(0, cutBefore_)).empty()) return std::nullopt;
  const std::string_view after = raw.substr(cutAfter_);
  if (indents_ > 0 && !after.empty() && after.front() == ';') return std::nullopt;
  const std::string_view text = Trimmed(after);
  const auto skipped = static_cast<std::size_t>(text.data() - raw.data());
  if (!IsPlainXml(text, Readable(cell) - skipped)) return std::nullopt;
  return text;
}

}  // namespace rowsift
