// The cells of a detail row.
#include <algorithm>
#include <bit>
#include <cstring>

#include "report_rows.h"
#include "simd.h"

namespace rowsift {
namespace {

constexpr std::size_t npos = std::string_view::npos;
constexpr int kCells = 5;

// The cell text left by the tag-stripping loop: repeatedly keep what follows
// the first ">", then what precedes the first "</". Once a "</" has been cut
// (or none was found) no later pass can find one, so the remaining passes
// only move to the text after the last ">": this is that loop in one pass.
// (Cells are short: plain loops beat library calls here.)
std::string_view StripTags(std::string_view cell) {
  std::size_t begin = 0;
  while (begin < cell.size() && cell[begin] != '>') ++begin;
  if (begin == cell.size()) return cell;
  ++begin;
  std::size_t end = begin;
  while (end < cell.size() && !(cell[end] == '<' && end + 1 < cell.size() && cell[end + 1] == '/')) ++end;
  for (std::size_t at = end; at > begin; --at) {
    if (cell[at - 1] == '>') {
      begin = at;
      break;
    }
  }
  return cell.substr(begin, end - begin);
}

std::string_view TrimSpaces(std::string_view text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && text[begin] == ' ') ++begin;
  while (end > begin && text[end - 1] == ' ') --end;
  return text.substr(begin, end - begin);
}

bool IsCellOpen(std::string_view text, std::size_t at) {
  return text.size() - at >= kCellOpen.size() && text[at] == '<' && (text[at + 1] | 0x20) == 't' &&
         (text[at + 2] | 0x20) == 'd' && text[at + 3] == '>';
}

// A cell's text as the parser leaves it: every "<TD>" removed, the tags
// stripped, the spaces trimmed. The removal joins text only where a "<TD>"
// stands after the cell's start; then the result is kept in the arena.
std::string_view CellText(std::string_view cell, bool openedOnly, TextArena& arena, std::string& scratch) {
  if (openedOnly) {
    if (IsCellOpen(cell, 0)) cell.remove_prefix(kCellOpen.size());
    return TrimSpaces(StripTags(cell));
  }
  scratch.assign(cell);
  const std::size_t end = RemoveAllIgnoreCase(scratch, 0, scratch.size(), kCellOpen);
  return arena.Store(TrimSpaces(StripTags(std::string_view(scratch.data(), end))));
}

// Where the row's text starts after the line breaks and "<TR>" in front of
// its first cell, which the parser removes.
std::size_t SkipRowOpening(std::string_view row) {
  std::size_t start = 0;
  for (;;) {
    if (row.substr(start, kLineBreak.size()) == kLineBreak) {
      start += kLineBreak.size();
    } else if (row.size() - start >= kRowOpen.size() && row[start] == '<' &&
               (row[start + 1] | 0x20) == 't' && (row[start + 2] | 0x20) == 'r' && row[start + 3] == '>') {
      start += kRowOpen.size();
    } else {
      return start;
    }
  }
}

// Calls visit(position) for each position in [from, to) that holds `first`
// or `second`, in order, until visit returns false.
template <typename Visit>
void ForEachPositionOf(std::string_view text, std::size_t from, std::size_t to, char first, char second,
                       Visit&& visit) {
  std::size_t at = from;
#if ROWSIFT_SSE2
  const __m128i wantFirst = simd::Splat(static_cast<unsigned char>(first));
  const __m128i wantSecond = simd::Splat(static_cast<unsigned char>(second));
  for (; at < to && at + 16 <= text.size(); at += 16) {
    const __m128i block = simd::Load(text.data() + at);
    unsigned found = simd::Mask(_mm_or_si128(_mm_cmpeq_epi8(block, wantFirst), _mm_cmpeq_epi8(block, wantSecond)));
    if (to - at < 16) found &= (1u << (to - at)) - 1;
    for (; found != 0; found &= found - 1) {
      if (!visit(at + static_cast<std::size_t>(std::countr_zero(found)))) return;
    }
  }
#endif
  for (; at < to; ++at) {
    if ((text[at] == first || text[at] == second) && !visit(at)) return;
  }
}

}  // namespace

// The block in use is the one lastBlockSize_ describes.
void TextArena::KeepOnlyLastBlock() {
  std::swap(blocks_.front(), blocks_.back());
  blocks_.resize(1);
}

char* TextArena::Allocate(std::size_t size) {
  constexpr std::size_t kBlockSize = 1 << 16;
  if (blocks_.empty() || lastBlockSize_ - usedInLastBlock_ < size) {
    const std::size_t blockSize = std::max(size, kBlockSize);
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(blockSize));
    lastBlockSize_ = blockSize;
    usedInLastBlock_ = 0;
  }
  char* place = blocks_.back().get() + usedInLastBlock_;
  usedInLastBlock_ += size;
  return place;
}

std::string_view TextArena::Store(std::string_view text) { return Store(text, {}); }

std::string_view TextArena::Store(std::string_view first, std::string_view second) {
  const std::size_t size = first.size() + second.size();
  if (size == 0) return {};
  char* place = Allocate(size);
  std::memcpy(place, first.data(), first.size());
  if (!second.empty()) std::memcpy(place + first.size(), second.data(), second.size());
  return {place, size};
}

void ParseDetailLine(LogData& record, TextArena& arena, std::string& scratch) {
  if (record.HTMLString.empty()) return;
  std::string_view* const fields[kCells] = {&record.Itr, &record.Status, &record.Name,
                                            &record.Time, &record.Details};

  // Step by step on a working copy: remove the row tags and line breaks, cut
  // at the cell closes, then clean up each cell.
  scratch.assign(record.HTMLString);
  std::size_t end = scratch.size();
  for (std::string_view removed : {kRowOpen, kRowClose, kLineBreak})
    end = RemoveAllIgnoreCase(scratch, 0, end, removed);

  std::size_t cellBegin[kCells];
  std::size_t cellEnd[kCells];
  const std::string_view working(scratch.data(), end);
  std::size_t from = 0;
  int found = 0;
  for (; found < kCells; ++found) {
    const std::size_t close = FindIgnoreCase(working, kCellClose, from);
    cellBegin[found] = from;
    cellEnd[found] = close == npos ? end : close;
    if (close == npos) break;
    from = close + kCellClose.size();
  }
  if (found < 4) return;  // fewer than four "</TD>": not a detail row

  for (int i = 0; i < kCells; ++i) {
    const std::size_t cellStop = RemoveAllIgnoreCase(scratch, cellBegin[i], cellEnd[i], kCellOpen);
    const std::string_view cell(scratch.data() + cellBegin[i], cellStop - cellBegin[i]);
    *fields[i] = arena.Store(TrimSpaces(StripTags(cell)));
  }
}

LogData MakeRecord(std::string_view row, TextArena& arena, std::string& scratch) {
  LogData record;
  const std::string_view piece = row.substr(0, row.size() - kRowClose.size());
  const bool closedInUpperCase = row.substr(piece.size()) == kRowClose;
  record.HTMLString = closedInUpperCase ? row : arena.Store(piece, kRowClose);
  ParseDetailLine(record, arena, scratch);
  return record;
}

// The parser's working copy starts with the row's text after its opening, as
// it stands, when nothing in that stretch is removed: the line breaks and
// "<TR>" of the opening go whole, nothing can join across the stretch's
// ends (it begins after a complete opening and ends with a ">"), and a
// "</TR>" only closes the row. Every "</TD>" of the row survives the
// removals, so the first ones of the row are the first ones of the copy.
std::optional<LeadingCells> ReadLeadingCells(std::string_view row, bool withName, TextArena& arena,
                                             std::string& scratch) {
  const std::size_t start = SkipRowOpening(row);
  const std::size_t pieceEnd = row.size() - kRowClose.size();
  if (!withName && IsCellOpen(row, start)) {
    // The usual first cell: "<TD>", text without markup or line breaks,
    // "</TD>". Its text needs no more than trimming.
    std::size_t end = start + kCellOpen.size();
    while (end < pieceEnd && row[end] != '<' && row[end] != '>' && row[end] != '\r') ++end;
    if (end < pieceEnd && row[end] == '<' && row[end + 1] == '/' && (row[end + 2] | 0x20) == 't' &&
        (row[end + 3] | 0x20) == 'd' && row[end + 4] == '>') {
      const std::size_t textStart = start + kCellOpen.size();
      return LeadingCells{TrimSpaces(row.substr(textStart, end - textStart)), {}};
    }
  }
  const int cellsWanted = withName ? 3 : 1;
  // One look at the stretch: a line break pair or a "<TR>" sends the row to
  // the parser; a "<TD>" anywhere but at a cell's start means removing it.
  // Everything looked at lies in front of the row's closing tag.
  std::size_t cellBegin[3] = {start, 0, 0};
  std::size_t cellEnd[3] = {};
  bool openedOnly[3] = {true, true, true};
  int cells = 0;
  bool needsParser = false;
  ForEachPositionOf(row, start, pieceEnd, '<', '\r', [&](std::size_t at) {
    if (row[at] == '\r') {
      needsParser = row[at + 1] == '\n';
    } else if (row[at + 1] == '/') {
      if ((row[at + 2] | 0x20) == 't' && (row[at + 3] | 0x20) == 'd' && row[at + 4] == '>') {
        cellEnd[cells++] = at;
        if (cells == cellsWanted) return false;
        cellBegin[cells] = at + kCellClose.size();
      }
    } else if (row[at + 3] == '>' && (row[at + 1] | 0x20) == 't') {
      const char kind = static_cast<char>(row[at + 2] | 0x20);
      needsParser = kind == 'r';
      if (kind == 'd' && at != cellBegin[cells]) openedOnly[cells] = false;
    }
    return !needsParser;
  });
  if (needsParser || cells < cellsWanted) return std::nullopt;

  LeadingCells leading;
  leading.Itr = CellText(row.substr(start, cellEnd[0] - start), openedOnly[0], arena, scratch);
  if (withName) {
    leading.Name = CellText(row.substr(cellBegin[2], cellEnd[2] - cellBegin[2]), openedOnly[2], arena, scratch);
  }
  return leading;
}

}  // namespace rowsift
