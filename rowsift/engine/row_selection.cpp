// The verdict on one row: kept as it is, rewritten, or dropped.
#include "report_rows.h"

namespace rowsift {

FilterCut CutAtMatch(std::string_view row, std::size_t match, std::size_t filterSize) {
  FilterCut cut{match, match + filterSize, 0};
  if (cut.after < row.size() && row[cut.after] >= '0' && row[cut.after] <= '9') {
    cut.indents = row[cut.after] - '0';
    ++cut.after;
  }
  return cut;
}

bool AppendSelectedRow(const LogData& record, const FilterPattern& filter, std::string& output) {
  const std::string_view row = record.HTMLString;
  if (KeptUnconditionally(record.Itr)) {
    output.append(row);
    return true;
  }
  // The filter may match markup too: the whole raw row is searched.
  const std::size_t match = filter.FindIn(row);
  if (match == std::string_view::npos) return false;

  if (filter.EqualsIgnoringCase(record.Name)) {
    // A step that is the filter text itself shows as a blank.
    filter.AppendReplacingExact(output, row, kIndent);
    return true;
  }
  const FilterCut cut = CutAtMatch(row, match, filter.size());
  output.append(row.substr(0, cut.before));
  for (int i = 0; i < cut.indents; ++i) output.append(kIndent);
  output.append(row.substr(cut.after));
  return true;
}

}  // namespace rowsift
