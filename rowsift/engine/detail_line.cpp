// The cells of a detail row.
#include <algorithm>
#include <cstring>

#include "report_rows.h"
#include "simd.h"

namespace rowsift {
namespace {

constexpr std::size_t kNpos = std::string_view::npos;
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
  while (end < cell.size() && !(cell[end] == '<' && end + 1 < cell.size() && cell[end + 1] == '/'))
    ++end;
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
std::string_view CellText(std::string_view cell, TextArena& arena, std::string& scratch) {
  const std::size_t text = IsCellOpen(cell, 0) ? kCellOpen.size() : 0;
  // Most cells hold plain text: without a tag's brackets it is only trimmed.
  std::size_t bracket = text;
  while (bracket < cell.size() && cell[bracket] != '<' && cell[bracket] != '>') ++bracket;
  if (bracket == cell.size()) return TrimSpaces(cell.substr(text));
  for (std::size_t at = bracket; at < cell.size(); ++at) {
    if (cell[at] == '<' && IsCellOpen(cell, at)) {
      scratch.assign(cell);
      const std::size_t end = RemoveAllIgnoreCase(scratch, 0, scratch.size(), kCellOpen);
      return arena.Store(TrimSpaces(StripTags(std::string_view(scratch.data(), end))));
    }
  }
  return TrimSpaces(StripTags(cell.substr(text)));
}

// Where the row's text starts after the line breaks and "<TR>" in front of
// its first cell, which the parser removes.
std::size_t SkipRowOpening(std::string_view row) {
  std::size_t start = 0;
  for (;;) {
    if (row.substr(start, kLineBreak.size()) == kLineBreak) {
      start += kLineBreak.size();
    } else if (row.size() - start >= kRowOpen.size() && row[start] == '<' &&
               (row[start + 1] | 0x20) == 't' && (row[start + 2] | 0x20) == 'r' &&
               row[start + 3] == '>') {
      start += kRowOpen.size();
    } else {
      return start;
    }
  }
}

// Whether a line break pair or a "<TR>" (which the parser removes) starts in
// row[from, to). The bytes looked at past `to` lie in the row.
bool HoldsRemovedMarkup(std::string_view row, std::size_t from, std::size_t to) {
  std::size_t at = from;
#if ROWSIFT_SSE2
  const __m128i carriageReturn = simd::Splat('\r'), lineFeed = simd::Splat('\n');
  const __m128i open = simd::Splat('<'), close = simd::Splat('>'), lower = simd::Splat(0x20);
  const __m128i t = simd::Splat('t'), r = simd::Splat('r');
  for (; at < to && at + 16 + 3 <= row.size(); at += 16) {
    const char* const bytes = row.data() + at;
    const __m128i lineBreaks = _mm_and_si128(_mm_cmpeq_epi8(simd::Load(bytes), carriageReturn),
                                             _mm_cmpeq_epi8(simd::Load(bytes + 1), lineFeed));
    const __m128i rowOpens =
        _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi8(simd::Load(bytes), open),
                                    _mm_cmpeq_epi8(simd::Load(bytes + 3), close)),
                      _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(simd::Load(bytes + 1), lower), t),
                                    _mm_cmpeq_epi8(_mm_or_si128(simd::Load(bytes + 2), lower), r)));
    unsigned found = simd::Mask(_mm_or_si128(lineBreaks, rowOpens));
    if (to - at < 16) found &= (1u << (to - at)) - 1;
    if (found != 0) return true;
  }
#endif
  for (; at < to; ++at) {
    if (row.substr(at, kLineBreak.size()) == kLineBreak) return true;
    if (row.size() - at >= kRowOpen.size() && row[at] == '<' && (row[at + 1] | 0x20) == 't' &&
        (row[at + 2] | 0x20) == 'r' && row[at + 3] == '>')
      return true;
  }
  return false;
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
  std::string_view* const fields[kCells] = {&record.Itr, &record.Status, &record.Name, &record.Time,
                                            &record.Details};

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
    cellEnd[found] = close == kNpos ? end : close;
    if (close == kNpos) break;
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
// removals, so the first ones of the row are the first ones of the copy; a
// "<TD>" is removed from its own cell only.
std::optional<LeadingCells> ReadLeadingCells(std::string_view row,
                                             const std::size_t (&cellCloses)[3], bool withName,
                                             TextArena& arena, std::string& scratch) {
  const std::size_t start = SkipRowOpening(row);
  if (!withName && IsCellOpen(row, start)) {
    // The usual first cell: "<TD>", then text without markup or line breaks.
    // Its text needs no more than trimming.
    const std::size_t text = start + kCellOpen.size();
    std::size_t end = text;
    while (end < cellCloses[0] && row[end] != '<' && row[end] != '>' && row[end] != '\r') ++end;
    if (end == cellCloses[0]) return LeadingCells{TrimSpaces(row.substr(text, end - text)), {}};
  }
  if (cellCloses[0] < start || HoldsRemovedMarkup(row, start, cellCloses[withName ? 2 : 0]))
    return std::nullopt;
  LeadingCells leading;
  leading.Itr = CellText(row.substr(start, cellCloses[0] - start), arena, scratch);
  if (withName) {
    const std::size_t nameStart = cellCloses[1] + kCellClose.size();
    leading.Name = CellText(row.substr(nameStart, cellCloses[2] - nameStart), arena, scratch);
  }
  return leading;
}

}  // namespace rowsift
