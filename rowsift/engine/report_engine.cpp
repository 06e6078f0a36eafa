#include "report_engine.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define ROWSIFT_SSE2 1
#else
#define ROWSIFT_SSE2 0
#endif

namespace rowsift {
namespace {

constexpr std::string_view kRowOpen = "<TR>";
constexpr std::string_view kRowClose = "</TR>";
constexpr std::string_view kCellOpen = "<TD>";
constexpr std::string_view kCellClose = "</TD>";
constexpr std::string_view kLineBreak = "\r\n";
constexpr std::string_view kHeadingMark = "Itr#";
constexpr std::string_view kIndent = "&nbsp";
constexpr std::size_t npos = std::string_view::npos;

unsigned char FoldAscii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

bool IsAsciiLetter(unsigned char c) { return FoldAscii(c) >= 'a' && FoldAscii(c) <= 'z'; }

bool EqualFolded(const char* text, std::string_view pattern) {
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (FoldAscii(static_cast<unsigned char>(text[i])) !=
        FoldAscii(static_cast<unsigned char>(pattern[i])))
      return false;
  }
  return true;
}

// First position at or after `from` where `pattern` occurs, ASCII letters
// matched in either case; npos when there is none. An empty pattern occurs
// at `from`.
std::size_t FindIgnoreCase(std::string_view text, std::string_view pattern, std::size_t from = 0) {
  if (pattern.empty()) return from <= text.size() ? from : npos;
  if (pattern.size() > text.size() || from > text.size() - pattern.size()) return npos;
  const std::size_t lastOffset = pattern.size() - 1;
  const std::string_view middle = pattern.substr(1, pattern.size() > 1 ? lastOffset - 1 : 0);
  const char* p = text.data() + from;
  const char* const lastStart = text.data() + text.size() - pattern.size();
#if ROWSIFT_SSE2
  // Sixteen starts at a time: a candidate needs the pattern's first and last
  // byte in place (letters compared with their case bit set); only those are
  // checked in full.
  const unsigned char first = static_cast<unsigned char>(pattern.front());
  const unsigned char last = static_cast<unsigned char>(pattern.back());
  const __m128i firstCase = _mm_set1_epi8(static_cast<char>(IsAsciiLetter(first) ? 0x20 : 0));
  const __m128i lastCase = _mm_set1_epi8(static_cast<char>(IsAsciiLetter(last) ? 0x20 : 0));
  const __m128i firstWanted = _mm_set1_epi8(static_cast<char>(FoldAscii(first)));
  const __m128i lastWanted = _mm_set1_epi8(static_cast<char>(FoldAscii(last)));
  for (; p + 16 <= lastStart + 1; p += 16) {
    const __m128i firsts = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), firstCase);
    const __m128i lasts =
        _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + lastOffset)), lastCase);
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_and_si128(_mm_cmpeq_epi8(firsts, firstWanted), _mm_cmpeq_epi8(lasts, lastWanted))));
    for (; mask != 0; mask &= mask - 1) {
      const char* candidate = p + std::countr_zero(mask);
      if (EqualFolded(candidate + 1, middle)) return static_cast<std::size_t>(candidate - text.data());
    }
  }
#endif
  for (; p <= lastStart; ++p) {
    if (FoldAscii(static_cast<unsigned char>(*p)) == FoldAscii(static_cast<unsigned char>(pattern.front())) &&
        EqualFolded(p + 1, pattern.substr(1)))
      return static_cast<std::size_t>(p - text.data());
  }
  return npos;
}

// Calls visit(position) for each position of `byte` in `text`, in order,
// until visit returns false.
template <typename Visit>
void ForEachPositionOf(std::string_view text, char byte, Visit&& visit) {
  std::size_t base = 0;
#if ROWSIFT_SSE2
  const __m128i wanted = _mm_set1_epi8(byte);
  for (; base + 16 <= text.size(); base += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + base));
    for (unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, wanted)));
         mask != 0; mask &= mask - 1) {
      if (!visit(base + static_cast<std::size_t>(std::countr_zero(mask)))) return;
    }
  }
#endif
  for (; base < text.size(); ++base) {
    if (text[base] == byte && !visit(base)) return;
  }
}

// Removes every occurrence of `pattern` (ASCII letters in either case) from
// text[begin, end) in one left-to-right pass, as a text replace with nothing
// does: matches are found in the text as it was, so removing one never joins
// the text around it into a new match. Returns the new end of the range.
std::size_t RemoveAllIgnoreCase(std::string& text, std::size_t begin, std::size_t end,
                                std::string_view pattern) {
  std::string_view range(text.data() + begin, end - begin);
  std::size_t match = FindIgnoreCase(range, pattern);
  if (match == npos) return end;
  std::size_t write = begin + match;
  std::size_t read = write + pattern.size();
  while ((match = FindIgnoreCase(range, pattern, read - begin)) != npos) {
    const std::size_t keep = begin + match - read;
    std::memmove(&text[write], &text[read], keep);
    write += keep;
    read = begin + match + pattern.size();
  }
  std::memmove(&text[write], &text[read], end - read);
  return write + (end - read);
}

// The cell text left by the tag-stripping loop: repeatedly keep what follows
// the first ">", then what precedes the first "</". Once a "</" has been cut
// (or none was found) no later pass can find one, so the remaining passes
// only move to the text after the last ">": this is that loop in one pass.
std::string_view StripTags(std::string_view cell) {
  const std::size_t firstClose = cell.find('>');
  if (firstClose == npos) return cell;
  cell.remove_prefix(firstClose + 1);
  const std::size_t endTag = cell.find("</");
  if (endTag != npos) cell = cell.substr(0, endTag);
  const std::size_t lastClose = cell.rfind('>');
  if (lastClose != npos) cell.remove_prefix(lastClose + 1);
  return cell;
}

std::string_view TrimSpaces(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

void AppendWithExactReplaced(std::string& output, std::string_view text, std::string_view pattern,
                             std::string_view replacement) {
  if (pattern.empty()) {
    output.append(text);
    return;
  }
  std::size_t from = 0;
  for (std::size_t at; (at = text.find(pattern, from)) != npos; from = at + pattern.size()) {
    output.append(text.substr(from, at - from));
    output.append(replacement);
  }
  output.append(text.substr(from));
}

bool IsDecimalDigit(char c) { return c >= '0' && c <= '9'; }

bool EndsWithIgnoreCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && EqualsIgnoreCase(text.substr(text.size() - suffix.size()), suffix);
}

}  // namespace

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && EqualFolded(a.data(), b);
}

namespace {

// Hands each detail row, closing tag included, to onRow, and returns where
// the tail starts. The rows start at `rowStart`, the first bare "<TR>".
template <typename OnRow>
std::size_t ScanRows(std::string_view input, std::size_t rowStart, OnRow&& onRow) {
  std::size_t pieceStart = rowStart;
  for (std::size_t close; (close = FindIgnoreCase(input, kRowClose, pieceStart)) != npos;) {
    const std::size_t next = close + kRowClose.size();
    onRow(input.substr(pieceStart, next - pieceStart));
    pieceStart = next;
  }
  return pieceStart;
}

}  // namespace

ReportCut CutReport(std::string_view input) {
  ReportCut cut;
  const std::size_t rowStart = FindIgnoreCase(input, kRowOpen);
  if (rowStart == npos) {
    // Nothing to filter: the whole input passes through as the head.
    cut.head = input;
    return cut;
  }
  cut.head = input.substr(0, rowStart);
  cut.tail = input.substr(ScanRows(input, rowStart, [&cut](std::string_view row) { cut.rows.push_back(row); }));
  cut.pieceCount = static_cast<std::int64_t>(cut.rows.size());
  return cut;
}

void TextArena::Clear() {
  if (blocks_.size() > 1) {
    // Keep the block in use: it is the one lastBlockSize_ describes.
    std::swap(blocks_.front(), blocks_.back());
    blocks_.resize(1);
  }
  usedInLastBlock_ = 0;
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

namespace {

constexpr int kCells = 5;

// Fills the fields from the cells without copying, for the common row: only
// line breaks and "<TR>" in front of the first cell, the row closed by
// "</TR>", and among the five cells no line break, no row tag and no "<TD>"
// but the one that opens a cell. There the working copy of the general
// parser would hold the cells exactly as they stand in the row. Returns
// false, having changed nothing, for any other row.
bool ParseCellsInPlace(std::string_view row, std::string_view* const fields[kCells]) {
  if (row.size() < kRowClose.size() || row.substr(row.size() - kRowClose.size()) != kRowClose)
    return false;
  std::size_t start = 0;
  const std::size_t bodyEnd = row.size() - kRowClose.size();
  for (;;) {
    if (row.substr(start, 2) == kLineBreak) {
      start += 2;
    } else if (bodyEnd - start >= kRowOpen.size() && EqualFolded(row.data() + start, kRowOpen)) {
      start += kRowOpen.size();
    } else {
      break;
    }
  }
  const std::string_view body = row.substr(start, bodyEnd - start);

  std::size_t cellBegin[kCells] = {};
  std::size_t cellEnd[kCells] = {};
  std::size_t cellOpenTags[kCells] = {};
  int cell = 0;
  bool plain = true;
  ForEachPositionOf(body, '<', [&](std::size_t at) {
    // The four tags that matter are "<", an optional "/", "T", "D" or "R", ">".
    std::size_t i = at + 1;
    const bool closing = i < body.size() && body[i] == '/';
    if (closing) ++i;
    if (i + 3 > body.size() || (body[i] | 0x20) != 't' || body[i + 2] != '>') return true;
    const char kind = static_cast<char>(body[i + 1] | 0x20);
    if (kind == 'r') {
      plain = false;
    } else if (kind == 'd' && closing) {
      cellEnd[cell] = at;
      if (++cell == kCells) return false;
      cellBegin[cell] = at + kCellClose.size();
    } else if (kind == 'd') {
      // Only an opening tag at the very start of the cell is removed alone.
      plain = at == cellBegin[cell] && cellOpenTags[cell]++ == 0;
    }
    return plain;
  });
  if (!plain || cell < kCells - 1) return false;
  if (cell == kCells - 1) cellEnd[cell] = body.size();

  const std::string_view cells(body.data(), cellEnd[kCells - 1]);
  for (std::size_t at = cells.find('\r'); at != npos; at = cells.find('\r', at + 1)) {
    if (at + 1 < cells.size() && cells[at + 1] == '\n') return false;
  }

  for (int i = 0; i < kCells; ++i) {
    const std::size_t open = cellOpenTags[i] * kCellOpen.size();
    *fields[i] = TrimSpaces(StripTags(body.substr(cellBegin[i] + open, cellEnd[i] - cellBegin[i] - open)));
  }
  return true;
}

}  // namespace

void ParseDetailLine(LogData& record, TextArena& arena, std::string& scratch) {
  if (record.HTMLString.empty()) return;
  std::string_view* const fields[kCells] = {&record.Itr, &record.Status, &record.Name,
                                            &record.Time, &record.Details};
  if (ParseCellsInPlace(record.HTMLString, fields)) return;

  // The general case, step by step on a working copy: remove the row tags and
  // line breaks, cut at the cell closes, then clean up each cell.
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

RecordTable BuildRecords(const ReportCut& cut) {
  RecordTable table;
  table.records.reserve(cut.rows.size());
  std::string scratch;
  for (std::string_view row : cut.rows) table.records.push_back(MakeRecord(row, table.arena, scratch));
  return table;
}

bool AppendSelectedRow(const LogData& record, std::string_view filter, std::string& output) {
  const std::string_view row = record.HTMLString;
  // The heading row, rows with an empty first cell and pieces that are no
  // detail rows are kept as they are.
  if (record.Itr == kHeadingMark || record.Itr.empty()) {
    output.append(row);
    return true;
  }
  // The filter may match markup too: the whole raw row is searched.
  const std::size_t at = FindIgnoreCase(row, filter);
  if (at == npos) return false;

  if (EqualsIgnoreCase(record.Name, filter)) {
    // A step that is the filter text itself shows as a blank.
    AppendWithExactReplaced(output, row, filter, kIndent);
    return true;
  }
  // Cut out the first match; a digit right behind it is an indent count.
  std::string_view after = row.substr(at + filter.size());
  output.append(row.substr(0, at));
  if (!after.empty() && IsDecimalDigit(after.front())) {
    for (int n = after.front() - '0'; n > 0; --n) output.append(kIndent);
    after.remove_prefix(1);
  }
  output.append(after);
  return true;
}

namespace {

// Filters `input` into `out`: head and tail go through as they are, kept rows
// are appended to out.rows.
template <typename Output>
FilterCounts FilterInto(std::string_view input, std::string_view filter, Output& out) {
  FilterCounts counts;
  const std::size_t rowStart = FindIgnoreCase(input, kRowOpen);
  if (rowStart == npos) {
    out.Pass(input);
    return counts;
  }
  out.Pass(input.substr(0, rowStart));
  // Each record is needed only for its own row: one arena block is reused.
  TextArena arena;
  std::string scratch;
  const std::size_t tailStart = ScanRows(input, rowStart, [&](std::string_view row) {
    arena.Clear();
    ++counts.detailRows;
    if (AppendSelectedRow(MakeRecord(row, arena, scratch), filter, out.rows)) {
      ++counts.keptRows;
      out.RowAdded();
    }
  });
  out.Pass(input.substr(tailStart));
  return counts;
}

struct WholeOutput {
  std::string& rows;
  void Pass(std::string_view text) { rows.append(text); }
  void RowAdded() {}
};

struct StreamedOutput {
  static constexpr std::size_t kChunk = 1 << 20;
  const std::function<void(std::string_view)>& write;
  std::string rows;

  void Flush() {
    if (!rows.empty()) write(rows);
    rows.clear();
  }
  void Pass(std::string_view text) {
    Flush();
    if (!text.empty()) write(text);
  }
  void RowAdded() {
    if (rows.size() >= kChunk) Flush();
  }
};

}  // namespace

FilterCounts FilterReport(std::string_view input, std::string_view filter, std::string& output) {
  output.reserve(output.size() + input.size());
  WholeOutput out{output};
  return FilterInto(input, filter, out);
}

FilterCounts FilterReport(std::string_view input, std::string_view filter,
                          const std::function<void(std::string_view)>& write) {
  StreamedOutput out{write, {}};
  out.rows.reserve(StreamedOutput::kChunk + (64 << 10));
  return FilterInto(input, filter, out);
}

std::optional<std::string> ProposeOutputName(std::string_view inputPath) {
  for (std::string_view extension : {std::string_view(".htm"), std::string_view(".html")}) {
    if (EndsWithIgnoreCase(inputPath, extension)) {
      std::string proposal(inputPath.substr(0, inputPath.size() - extension.size()));
      proposal += "_Output";
      proposal += extension;
      return proposal;
    }
  }
  return std::nullopt;
}

bool HasHtmlExtension(std::string_view path) {
  return EndsWithIgnoreCase(path, ".htm") || EndsWithIgnoreCase(path, ".html");
}

}  // namespace rowsift
