// Fuzzes the text engine against its invariants and against a literal,
// slow model of the cell parser. Input: one byte giving the filter length,
// the filter, then the log.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "report_engine.h"

namespace {

using rowsift::LogData;

void Require(bool condition) {
  if (!condition) std::abort();
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return lower;
}

std::size_t FindFolded(std::string_view text, std::string_view pattern, std::size_t from = 0) {
  return Lower(text).find(Lower(pattern), from);
}

// A text replace with nothing, ASCII letters in either case, one pass.
std::string RemoveAll(std::string_view text, std::string_view pattern) {
  const std::string lowerText = Lower(text), lowerPattern = Lower(pattern);
  std::string result;
  std::size_t from = 0;
  for (std::size_t at; (at = lowerText.find(lowerPattern, from)) != std::string::npos;
       from = at + pattern.size())
    result.append(text.substr(from, at - from));
  result.append(text.substr(from));
  return result;
}

// The cell parser written as literally as it is described, loop included.
void ModelParse(std::string_view htmlString, std::string cells[5], bool& filled) {
  filled = false;
  std::string work = RemoveAll(RemoveAll(RemoveAll(htmlString, "<TR>"), "</TR>"), "\r\n");
  const std::string lowerWork = Lower(work);
  std::string parts[6];
  int count = 0;
  std::size_t from = 0;
  while (count < 6) {
    const std::size_t at = lowerWork.find("</td>", from);
    parts[count++] = work.substr(from, at == std::string::npos ? std::string::npos : at - from);
    if (at == std::string::npos) break;
    from = at + 5;
  }
  if (count < 5) return;
  filled = true;
  for (int i = 0; i < 5; ++i) {
    std::string text = RemoveAll(parts[i], "<TD>");
    for (std::size_t gt; (gt = text.find('>')) != std::string::npos;) {
      text = text.substr(gt + 1);
      const std::size_t end = text.find("</");
      if (end != std::string::npos) text = text.substr(0, end);
    }
    const std::size_t first = text.find_first_not_of(' ');
    cells[i] = first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(' ') - first + 1);
  }
}

std::size_t CountExact(std::string_view text, std::string_view pattern) {
  if (pattern.empty()) return 0;
  std::size_t count = 0;
  for (std::size_t at = 0; (at = text.find(pattern, at)) != std::string_view::npos; at += pattern.size())
    ++count;
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t filterSize = std::min<std::size_t>(data[0] % 16, size - 1);
  const std::string_view filter(reinterpret_cast<const char*>(data) + 1, filterSize);
  const std::string_view input(reinterpret_cast<const char*>(data) + 1 + filterSize,
                               size - 1 - filterSize);

  const rowsift::ReportCut cut = rowsift::CutReport(input);
  std::string rejoined(cut.head);
  for (std::string_view row : cut.rows) {
    Require(row.size() >= 5 && Lower(row.substr(row.size() - 5)) == "</tr>");
    rejoined += row;
  }
  rejoined += cut.tail;
  Require(rejoined == input);
  Require(cut.pieceCount == (FindFolded(input, "<TR>") == std::string::npos
                                 ? -1
                                 : static_cast<std::int64_t>(cut.rows.size())));

  const rowsift::RecordTable table = rowsift::BuildRecords(cut);
  std::string stepwise(cut.head);
  std::size_t allowedGrowth = 0;
  for (std::size_t i = 0; i < table.records.size(); ++i) {
    const LogData& record = table.records[i];
    const std::string_view row = cut.rows[i];
    Require(Lower(record.HTMLString) == Lower(row));
    Require(record.HTMLString.substr(record.HTMLString.size() - 5) == "</TR>");

    std::string cells[5];
    bool filled;
    ModelParse(record.HTMLString, cells, filled);
    const std::string_view parsed[5] = {record.Itr, record.Status, record.Name, record.Time,
                                        record.Details};
    for (int c = 0; c < 5; ++c) Require(parsed[c] == (filled ? cells[c] : ""));

    const bool keptAlways = record.Itr.empty() || record.Itr == "Itr#";
    const std::size_t before = stepwise.size();
    const bool kept = rowsift::AppendSelectedRow(record, filter, stepwise);
    if (!keptAlways && FindFolded(record.HTMLString, filter) == std::string::npos) Require(!kept);
    if (keptAlways) Require(kept && std::string_view(stepwise).substr(before) == record.HTMLString);
    if (!kept) Require(stepwise.size() == before);
    if (filter.size() < 5) allowedGrowth += (5 - filter.size()) * CountExact(record.HTMLString, filter);
    allowedGrowth += 9 * 5;
  }
  stepwise += cut.tail;

  std::string output;
  const rowsift::FilterCounts counts = rowsift::FilterReport(input, filter, output);
  Require(output == stepwise);
  Require(counts.detailRows == cut.rows.size() && counts.keptRows <= counts.detailRows);
  Require(output.size() <= input.size() + allowedGrowth);
  return 0;
}
