// Fuzzes the text engine against a literal, slow model of the rules: the
// cut, the cell parser with its removal passes and tag-stripping loop, and
// the row verdicts, character by character in the double-byte code pages.
// The streamed filter (its quick ways and its windows) and the row parser
// must give exactly what the model gives.
//
// Input: one byte whose low four bits give the filter's length and whose
// high four bits choose the code page (12 to 15: 932, 936, 949, 950; below:
// single-byte), then the filter, then the log.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "report_filter.h"
#include "report_rows.h"

namespace {

using rowsift::CharacterSet;

rowsift::ReportWriter AppendTo(std::string& output) {
  return [&output](std::span<const std::string_view> pieces) {
    for (const std::string_view piece : pieces) output += piece;
  };
}

void Require(bool condition) {
  if (!condition) std::abort();
}

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = Fold(c);
  return lower;
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
    cells[i] = first == std::string::npos
                   ? ""
                   : text.substr(first, text.find_last_not_of(' ') - first + 1);
  }
}

// The text cut into characters: the start of each, and the text's end.
std::vector<std::size_t> Characters(const CharacterSet& set, std::string_view text) {
  std::vector<std::size_t> starts;
  for (std::size_t at = 0; at < text.size(); at += set.LengthAt(text, at)) starts.push_back(at);
  starts.push_back(text.size());
  return starts;
}

// Character by character: one-byte characters ignoring the case of letters,
// two-byte characters exactly.
bool SameCharacters(const CharacterSet& set, std::string_view a, std::string_view b) {
  const std::vector<std::size_t> ca = Characters(set, a), cb = Characters(set, b);
  if (ca != cb) return false;
  for (std::size_t i = 0; i + 1 < ca.size(); ++i) {
    const std::size_t length = ca[i + 1] - ca[i];
    if (length == 1 ? Fold(a[ca[i]]) != Fold(b[ca[i]]) : a.substr(ca[i], 2) != b.substr(ca[i], 2))
      return false;
  }
  return true;
}

struct ModelFilter {
  const CharacterSet& set;
  std::string_view filter;

  // The first character start of `text` from which the filter's characters
  // follow, ignoring letter case.
  std::size_t Find(std::string_view text) const {
    const std::vector<std::size_t> starts = Characters(set, text);
    for (std::size_t i = 0; i < starts.size(); ++i) {
      for (std::size_t j = i; j < starts.size(); ++j) {
        if (starts[j] - starts[i] == filter.size() &&
            SameCharacters(set, text.substr(starts[i], filter.size()), filter))
          return starts[i];
        if (starts[j] - starts[i] >= filter.size()) break;
      }
    }
    return std::string::npos;
  }

  // Every exact occurrence that spans whole characters, left to right.
  std::string ReplaceExact(std::string_view text) const {
    if (filter.empty()) return std::string(text);
    const std::vector<std::size_t> starts = Characters(set, text);
    std::string result;
    std::size_t i = 0;
    while (i + 1 < starts.size()) {
      const std::size_t at = starts[i];
      std::size_t j = i;
      while (j + 1 < starts.size() && starts[j] - at < filter.size()) ++j;
      if (starts[j] - at == filter.size() && text.substr(at, filter.size()) == filter) {
        result += "&nbsp";
        i = j;
      } else {
        result += text.substr(at, starts[i + 1] - at);
        ++i;
      }
    }
    return result;
  }
};

struct ModelResult {
  std::string output;
  std::int64_t pieceCount = -1;
  std::uint64_t kept = 0;
  std::uint64_t keptForFilter = 0;  // not the heading, nor a row of no iteration
};

std::string ModelSelect(const ModelFilter& filter, const std::string& htmlString, bool& kept,
                        bool* forFilter = nullptr) {
  std::string cells[5];
  bool filled;
  ModelParse(htmlString, cells, filled);
  kept = true;
  if (forFilter) *forFilter = !(cells[0] == "Itr#" || cells[0].empty());
  if (cells[0] == "Itr#" || cells[0].empty()) return htmlString;
  const std::size_t at = filter.Find(htmlString);
  if (at == std::string::npos) {
    kept = false;
    return {};
  }
  if (SameCharacters(filter.set, cells[2], filter.filter)) return filter.ReplaceExact(htmlString);
  std::string after = htmlString.substr(at + filter.filter.size());
  std::string indent;
  if (!after.empty() && after[0] >= '0' && after[0] <= '9') {
    for (int n = after[0] - '0'; n > 0; --n) indent += "&nbsp";
    after.erase(0, 1);
  }
  return htmlString.substr(0, at) + indent + after;
}

ModelResult Model(const ModelFilter& filter, std::string_view input,
                  std::vector<std::string>* rows) {
  ModelResult result;
  const std::string lower = Lower(input);
  const std::size_t rowStart = lower.find("<tr>");
  if (rowStart == std::string::npos) {
    result.output = input;
    return result;
  }
  result.output = input.substr(0, rowStart);
  result.pieceCount = 0;
  std::size_t from = rowStart;
  for (std::size_t close; (close = lower.find("</tr>", from)) != std::string::npos;
       from = close + 5) {
    ++result.pieceCount;
    const std::string htmlString = std::string(input.substr(from, close - from)) + "</TR>";
    if (rows) rows->push_back(std::string(input.substr(from, close + 5 - from)));
    bool kept;
    bool forFilter;
    result.output += ModelSelect(filter, htmlString, kept, &forFilter);
    result.kept += kept;
    result.keptForFilter += kept && forFilter;
  }
  result.output += input.substr(from);
  return result;
}

// Counts the rows a reader of the kept rows is given, and checks each one's
// cut and cell ends against the row.
class CountingReader final : public rowsift::KeptRowReader {
 public:
  std::uint64_t rows = 0;

  void Head(std::string_view) override {}
  std::unique_ptr<Part> StartPart() override { return std::make_unique<CountingPart>(); }
  void EndPart(std::unique_ptr<Part> part) override {
    rows += static_cast<CountingPart&>(*part).rows;
  }

 private:
  struct CountingPart final : Part {
    void Read(std::string_view row, const rowsift::FilterCut& cut,
              std::span<const std::size_t> cellEnds) override {
      Require(cut.before <= cut.after && cut.after <= row.size() && cut.indents >= 0 &&
              cut.indents <= 9);
      const std::string lower = Lower(row);
      std::size_t next = 0;
      for (const std::size_t end : cellEnds) {
        next = lower.find("</td>", next);
        Require(end == next);
        next += 5;
      }
      ++rows;
    }
    std::uint64_t rows = 0;
  };
};

CharacterSet CodePageOf(std::uint8_t choice) {
  constexpr unsigned kDoubleByte[] = {932, 936, 949, 950};
  return choice >= 12 ? *CharacterSet::ForCodePage(kDoubleByte[choice - 12]) : CharacterSet();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t filterSize = std::min<std::size_t>(data[0] % 16, size - 1);
  const CharacterSet characters = CodePageOf(data[0] >> 4);
  const std::string_view filterText(reinterpret_cast<const char*>(data) + 1, filterSize);
  const std::string_view input(reinterpret_cast<const char*>(data) + 1 + filterSize,
                               size - 1 - filterSize);
  const rowsift::FilterPattern filter(filterText, characters);
  const ModelFilter model{characters, filterText};

  std::vector<std::string> rows;
  const ModelResult expected = Model(model, input, &rows);

  // The row parser and the row verdict, one row at a time.
  rowsift::TextArena arena;
  std::string scratch;
  for (const std::string& row : rows) {
    const rowsift::LogData record = rowsift::MakeRecord(row, arena, scratch);
    std::string cells[5];
    bool filled;
    ModelParse(record.HTMLString, cells, filled);
    const std::string_view parsed[5] = {record.Itr, record.Status, record.Name, record.Time,
                                        record.Details};
    for (int c = 0; c < 5; ++c) Require(parsed[c] == (filled ? cells[c] : ""));
    std::string selected;
    bool kept;
    const std::string modelSelected = ModelSelect(model, std::string(record.HTMLString), kept);
    Require(rowsift::AppendSelectedRow(record, filter, selected) == kept &&
            selected == modelSelected);
  }

  // The whole log, in memory, in parts on several threads, and through
  // windows of several sizes.
  std::string output;
  const rowsift::FilterCounts counts = rowsift::FilterReport(input, filter, output);
  Require(output == expected.output);
  Require(counts.detailRows == rows.size() && counts.keptRows == expected.kept);
  {
    rowsift::TextSource log(input);
    std::string inParts;
    CountingReader reader;
    const rowsift::FilterCounts partCounts =
        rowsift::FilterReport(log, filter, AppendTo(inParts), 3, &reader);
    Require(inParts == expected.output && partCounts.detailRows == counts.detailRows &&
            partCounts.keptRows == counts.keptRows && reader.rows == expected.keptForFilter);
  }
  for (std::size_t window : {1, 6, 64}) {
    rowsift::TextSource log(input, window);
    std::string streamed;
    CountingReader reader;
    rowsift::FilterReport(log, filter, AppendTo(streamed), 1, &reader);
    Require(streamed == expected.output && reader.rows == expected.keptForFilter);
    Require(rowsift::CountDetailPieces(log) == expected.pieceCount);
  }
  return 0;
}
