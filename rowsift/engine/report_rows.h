// The rows of a results log: a detail row's record and its five cells, and
// the verdict on each row, keep as it is, rewrite or drop, by the filter text.
//
// Bytes in, bytes out: texts are 8-bit strings kept exactly as read. Tags are
// found with the ASCII letters in either case; the "Itr#" heading test and
// the "&nbsp" replacement of a step name equal to the filter compare byte for
// byte. Every std::string_view handed out points into the row or into the
// TextArena given; both must outlive the views.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text_search.h"

namespace rowsift {

inline constexpr std::string_view kRowOpen = "<TR>";
inline constexpr std::string_view kRowClose = "</TR>";
inline constexpr std::string_view kCellOpen = "<TD>";
inline constexpr std::string_view kCellClose = "</TD>";
inline constexpr std::string_view kLineBreak = "\r\n";
inline constexpr std::string_view kHeadingMark = "Itr#";
inline constexpr std::string_view kIndent = "&nbsp";

// One detail row and its five cell texts.
struct LogData {
  std::string_view HTMLString;  // the detail piece followed by "</TR>" in upper case
  std::string_view Itr;
  std::string_view Status;
  std::string_view Name;
  std::string_view Time;
  std::string_view Details;
};

// Storage for the texts of records that are not found as they stand in the
// input (a row closed by "</tr>", a cell joined across a removed tag). Blocks
// never move, so views into them stay valid while the arena lives.
class TextArena {
 public:
  [[nodiscard]] std::string_view Store(std::string_view text);
  [[nodiscard]] std::string_view Store(std::string_view first, std::string_view second);
  // Forgets every stored text but keeps one block for reuse.
  void Clear() {
    if (blocks_.size() > 1) KeepOnlyLastBlock();
    usedInLastBlock_ = 0;
  }

 private:
  void KeepOnlyLastBlock();
  [[nodiscard]] char* Allocate(std::size_t size);
  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t lastBlockSize_ = 0;
  std::size_t usedInLastBlock_ = 0;
};

// Fills Itr, Status, Name, Time and Details from HTMLString, or leaves them
// empty when the row has fewer than four "</TD>". `scratch` is working space
// reused from row to row; the cell texts go to `arena`.
void ParseDetailLine(LogData& record, TextArena& arena, std::string& scratch);

// The record of one detail row as cut from the log, closing tag included in
// whatever letter case the log has: HTMLString is the row with its closing
// tag written "</TR>", and the cells are parsed.
[[nodiscard]] LogData MakeRecord(std::string_view row, TextArena& arena, std::string& scratch);

// Appends the row's output text to `output` and returns true when the row is
// kept; returns false and appends nothing when it is dropped.
bool AppendSelectedRow(const LogData& record, const FilterPattern& filter, std::string& output);

// The first and the third cell text of a row (Itr and Name), taken straight
// from the row where that gives what ParseDetailLine gives: when nothing
// that the parser removes (a line break pair, a "<TR>") lies in front of the
// end of the last cell asked for. The row must hold at least four "</TD>";
// `cellCloses` are where its first three start. None when the row needs the
// full parser.
struct LeadingCells {
  std::string_view Itr;
  std::string_view Name;  // only when asked for
};
[[nodiscard]] std::optional<LeadingCells> ReadLeadingCells(std::string_view row,
                                                           const std::size_t (&cellCloses)[3],
                                                           bool withName, TextArena& arena,
                                                           std::string& scratch);

// A kept row that is not its filter-named step loses the first match of the
// filter, and a decimal digit right behind it, which becomes that many
// indents: the row's text is row[0, before), the indents, row[after, end).
struct FilterCut {
  std::size_t before;
  std::size_t after;
  int indents;
};
[[nodiscard]] FilterCut CutAtMatch(std::string_view row, std::size_t match, std::size_t filterSize);

// Whether a row with this first cell is kept as it is, whatever the filter:
// the heading row, a row whose first cell is empty, and every piece that is
// no detail row (whose cells all stay empty).
inline bool KeptUnconditionally(std::string_view itr) { return itr.empty() || itr == kHeadingMark; }

}  // namespace rowsift
