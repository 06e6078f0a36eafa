// The text engine of the report filter: cuts an HTML results log into head,
// detail rows and tail, parses each row's five cells, keeps, rewrites or drops
// each row by the filter text, and assembles the output report.
//
// Bytes in, bytes out: texts are 8-bit strings kept exactly as read.
// Searches for row and cell tags and for the filter text ignore the case of
// the ASCII letters; the "Itr#" heading test and the "&nbsp" replacement of a
// step name equal to the filter compare byte for byte.
//
// Every std::string_view handed out points into the input text or into the
// RecordTable that produced it; both must outlive the views.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rowsift {

// The log cut at its rows. head + pieces (each with its own closing row tag)
// + tail gives back the input byte for byte.
struct ReportCut {
  std::string_view head;  // in front of the first bare "<TR>"; the whole input when there is none
  // Detail pieces in input order, each including the "</TR>" (in the input's
  // own letter case) that closes it.
  std::vector<std::string_view> rows;
  std::string_view tail;  // after the last "</TR>"
  // Number of "</TR>" after the first "<TR>"; -1 when the input holds no "<TR>".
  std::int64_t pieceCount = -1;
};

ReportCut CutReport(std::string_view input);

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
  std::string_view Store(std::string_view text);
  std::string_view Store(std::string_view first, std::string_view second);
  // Forgets every stored text but keeps one block for reuse.
  void Clear();

 private:
  char* Allocate(std::size_t size);
  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t lastBlockSize_ = 0;
  std::size_t usedInLastBlock_ = 0;
};

// Fills Itr, Status, Name, Time and Details from HTMLString, or leaves them
// empty when the row has fewer than four "</TD>". `scratch` is working space
// reused from row to row; cell texts that are not contiguous in HTMLString go
// to `arena`.
void ParseDetailLine(LogData& record, TextArena& arena, std::string& scratch);

// The record of one row of ReportCut::rows: HTMLString is the row with its
// closing tag written "</TR>", and the cells are parsed.
LogData MakeRecord(std::string_view row, TextArena& arena, std::string& scratch);

// The records of one report, in input order.
struct RecordTable {
  std::vector<LogData> records;
  TextArena arena;
};

RecordTable BuildRecords(const ReportCut& cut);

// Appends the row's output text to `output` and returns true when the row is
// kept; returns false and appends nothing when it is dropped. `filter` is the
// filter text exactly as typed.
bool AppendSelectedRow(const LogData& record, std::string_view filter, std::string& output);

struct FilterCounts {
  std::size_t detailRows = 0;
  std::size_t keptRows = 0;
};

// The whole job in one call: head, the kept rows and the tail of `input`,
// appended to `output`.
FilterCounts FilterReport(std::string_view input, std::string_view filter, std::string& output);

// The same, handing the output to `write` piece by piece (head, runs of kept
// rows of about a megabyte, tail) rather than holding it whole.
FilterCounts FilterReport(std::string_view input, std::string_view filter,
                          const std::function<void(std::string_view)>& write);

// The output name proposed for an input path: "X.htm" gives "X_Output.htm",
// "X.html" gives "X_Output.html" (extension matched in any letter case);
// anything else gives no proposal.
std::optional<std::string> ProposeOutputName(std::string_view inputPath);

// True when the path ends in ".htm" or ".html" in any letter case.
bool HasHtmlExtension(std::string_view path);

// ASCII-only case folding helpers, shared with the callers' path checks.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace rowsift
