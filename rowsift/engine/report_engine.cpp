#include "report_engine.h"

#include <algorithm>
#include <cstring>

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
  const unsigned char first = static_cast<unsigned char>(pattern[0]);
  const char* p = text.data() + from;
  const char* const last = text.data() + text.size() - pattern.size();
  if (!IsAsciiLetter(first)) {
    // Tags all start with '<': let memchr skip to each candidate.
    while (p <= last) {
      p = static_cast<const char*>(std::memchr(p, first, static_cast<std::size_t>(last - p) + 1));
      if (!p) return npos;
      if (EqualFolded(p + 1, pattern.substr(1))) return static_cast<std::size_t>(p - text.data());
      ++p;
    }
    return npos;
  }
  const unsigned char lower = FoldAscii(first);
  for (; p <= last; ++p) {
    if ((static_cast<unsigned char>(*p) | 0x20) == lower && EqualFolded(p + 1, pattern.substr(1)))
      return static_cast<std::size_t>(p - text.data());
  }
  return npos;
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

ReportCut CutReport(std::string_view input) {
  ReportCut cut;
  const std::size_t rowStart = FindIgnoreCase(input, kRowOpen);
  if (rowStart == npos) {
    // Nothing to filter: the whole input passes through as the head.
    cut.head = input;
    return cut;
  }
  cut.head = input.substr(0, rowStart);
  std::size_t pieceStart = rowStart;
  for (std::size_t close; (close = FindIgnoreCase(input, kRowClose, pieceStart)) != npos;) {
    const std::size_t next = close + kRowClose.size();
    cut.rows.push_back(input.substr(pieceStart, next - pieceStart));
    pieceStart = next;
  }
  cut.tail = input.substr(pieceStart);
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

void ParseDetailLine(LogData& record, TextArena& arena, std::string& scratch) {
  if (record.HTMLString.empty()) return;

  scratch.assign(record.HTMLString);
  std::size_t end = scratch.size();
  for (std::string_view removed : {kRowOpen, kRowClose, kLineBreak})
    end = RemoveAllIgnoreCase(scratch, 0, end, removed);

  // The first five cells: [begin, end) ranges of the working copy.
  constexpr int kCells = 5;
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

  std::string_view* const fields[kCells] = {&record.Itr, &record.Status, &record.Name,
                                            &record.Time, &record.Details};
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

FilterCounts FilterReport(std::string_view input, std::string_view filter, std::string& output) {
  const ReportCut cut = CutReport(input);
  FilterCounts counts;
  counts.detailRows = cut.rows.size();
  output.reserve(output.size() + input.size());
  output.append(cut.head);
  // Each record is needed only for its own row: one arena block is reused.
  TextArena arena;
  std::string scratch;
  for (std::string_view row : cut.rows) {
    arena.Clear();
    if (AppendSelectedRow(MakeRecord(row, arena, scratch), filter, output)) ++counts.keptRows;
  }
  output.append(cut.tail);
  return counts;
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
