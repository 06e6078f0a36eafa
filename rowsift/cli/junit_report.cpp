#include "junit_report.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <optional>
#include <unordered_map>
#include <vector>

#include "ordered_pool.h"
#include "report_rows.h"
#include "text_search.h"

namespace rowsift {
namespace {

constexpr std::size_t kNpos = std::string_view::npos;

enum class Outcome { kPassed, kFailed, kOther };

bool EqualsAsciiIgnoringCase(std::string_view text, std::string_view lower) {
  return text.size() == lower.size() &&
         std::equal(text.begin(), text.end(), lower.begin(), [](char a, char b) {
           return FoldAscii(static_cast<unsigned char>(a)) ==
                  FoldAscii(static_cast<unsigned char>(b));
         });
}

bool IsSpace(char c) { return c == ' ' || c == '\r' || c == '\n' || c == '\t'; }

// Bytes that a cell's text or the XML cannot take as they are.
struct ByteTable {
  bool marks[256] = {};
  constexpr ByteTable(std::string_view bytes, bool fromHigh, bool controls) {
    for (const char c : bytes) marks[static_cast<unsigned char>(c)] = true;
    for (int c = 0; c < 256; ++c) {
      if ((fromHigh && c >= 0x7F) || (controls && c < 0x20)) marks[c] = true;
    }
  }
  bool operator[](char c) const { return marks[static_cast<unsigned char>(c)]; }
};
constexpr ByteTable kCellSpecial("&\r\n\t", false, false);
constexpr ByteTable kXmlSpecial("&<>\"'", true, true);

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The character a reference at text[at] ("&amp;", "&#233;", "&#xE9;", and
// the log's indent mark "&nbsp" without its semicolon) stands for, and its
// length; nothing where it is no reference.
std::optional<std::pair<char32_t, std::size_t>> Reference(std::string_view text, std::size_t at) {
  static constexpr std::pair<std::string_view, char32_t> kNamed[] = {
      {"&amp;", '&'},   {"&lt;", '<'},    {"&gt;", '>'},  {"&quot;", '"'},
      {"&apos;", '\''}, {"&nbsp;", 0xA0}, {"&nbsp", 0xA0}};
  const std::string_view rest = text.substr(at);
  for (const auto& [name, c] : kNamed) {
    if (rest.size() >= name.size() && EqualsAsciiIgnoringCase(rest.substr(0, name.size()), name))
      return std::pair{c, name.size()};
  }
  if (rest.size() < 4 || rest[1] != '#') return std::nullopt;
  const bool hex = rest[2] == 'x' || rest[2] == 'X';
  const std::size_t digits = hex ? 3 : 2;
  const std::size_t end = rest.find(';', digits);
  if (end == kNpos || end == digits || end > digits + 8) return std::nullopt;
  std::uint32_t value = 0;
  const auto [stop, error] =
      std::from_chars(rest.data() + digits, rest.data() + end, value, hex ? 16 : 10);
  if (error != std::errc() || stop != rest.data() + end) return std::nullopt;
  return std::pair{static_cast<char32_t>(value), end + 1};
}

// Appends the text of a cell (its tags already removed) to `text` as UTF-8:
// the code page decoded, character references and indent marks decoded,
// line breaks as spaces, white space trimmed. Returns where it begins: the
// size `text` had.
std::size_t AppendCellText(std::string_view bytes, const LogTextDecoder& decode,
                           std::string& text) {
  bytes = Trimmed(bytes);
  std::string decoded;
  if (std::any_of(bytes.begin(), bytes.end(), [](char c) { return c & 0x80; })) {
    decoded = decode(bytes);
    bytes = decoded;
  }
  const std::size_t begin = text.size();
  std::size_t plain = 0;  // the start of bytes that go in as they are
  for (std::size_t at = 0; at < bytes.size();) {
    const char c = bytes[at];
    if (!kCellSpecial[c]) {
      ++at;
      continue;
    }
    text.append(bytes.substr(plain, at - plain));
    if (c != '&') {
      text += ' ';
      ++at;
    } else if (const auto reference = Reference(bytes, at)) {
      AppendUtf8(reference->first, text);
      at += reference->second;
    } else {
      text += c;
      ++at;
    }
    plain = at;
  }
  text.append(bytes.substr(plain));
  // The no-break spaces of indent marks, at either end.
  std::size_t first = begin;
  for (;;) {
    if (first < text.size() && IsSpace(text[first])) {
      ++first;
    } else if (text.size() - first >= 2 && text.compare(first, 2, "\xC2\xA0") == 0) {
      first += 2;
    } else {
      break;
    }
  }
  text.erase(begin, first - begin);
  for (;;) {
    if (text.size() > begin && IsSpace(text.back())) {
      text.pop_back();
    } else if (text.size() - begin >= 2 && text.compare(text.size() - 2, 2, "\xC2\xA0") == 0) {
      text.resize(text.size() - 2);
    } else {
      break;
    }
  }
  return begin;
}

// Where the characters XML forbids, and what is not UTF-8, become U+FFFD.
void AppendEscaped(std::string_view text, bool attribute, std::string& xml) {
  static constexpr char kReplacement[] = "\xEF\xBF\xBD";
  for (std::size_t at = 0; at < text.size();) {
    // A run that needs nothing done goes in whole.
    std::size_t plain = at;
    while (plain < text.size() && !kXmlSpecial[text[plain]]) ++plain;
    xml.append(text.substr(at, plain - at));
    at = plain;
    if (at == text.size()) break;
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
      switch (lead) {
        case '&':
          xml += "&amp;";
          break;
        case '<':
          xml += "&lt;";
          break;
        case '>':
          xml += "&gt;";
          break;
        case '"':
          xml += attribute ? "&quot;" : "\"";
          break;
        case '\'':
          xml += attribute ? "&apos;" : "'";
          break;
        case '\t':
          xml += attribute ? "&#9;" : "\t";
          break;
        case '\n':
          xml += attribute ? "&#10;" : "\n";
          break;
        case '\r':
          xml += "&#13;";
          break;
        default:
          if (lead < 0x20 || lead == 0x7F) {
            xml += kReplacement;
          } else {
            xml += static_cast<char>(lead);
          }
      }
      ++at;
      continue;
    }
    std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    char32_t c = lead & (0x7F >> length);
    bool valid = lead >= 0xC2 && lead <= 0xF4 && at + length <= text.size();
    for (std::size_t i = 1; valid && i < length; ++i) {
      const auto next = static_cast<unsigned char>(text[at + i]);
      valid = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    const char32_t lowest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    valid = valid && c >= lowest && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF) && c != 0xFFFE &&
            c != 0xFFFF;
    if (!valid) {
      xml += kReplacement;
      ++at;
      while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) ++at;
      continue;
    }
    xml.append(text.substr(at, length));
    at += length;
  }
}

// The detail rows of a condensed log, walked tag by tag: each "<" is a
// cell's or a row's end, or a tag whose text is dropped up to its ">". The
// rows are those between the first bare "<TR>" and the last "</TR>" with at
// least four "</TD>", not the heading and not a row without an iteration:
// the rows the filter kept for their text.
class DetailRows {
 public:
  // The rows of `rows`, which starts where a row starts.
  explicit DetailRows(std::string_view rows) : log_(rows), at_(0) {}

  // The next row's five cells, tags removed, not trimmed; false at the end.
  bool Next() {
    while (at_ < log_.size()) {
      for (CellText& cell : cells_) cell.Clear();
      if (!ReadRow()) return false;
      if (closes_ < 4) continue;
      const std::string_view itr = Trimmed(cells_[0].View());
      if (itr.empty() || itr == kHeadingMark) continue;
      return true;
    }
    return false;
  }

  std::string_view Cell(int i) const { return cells_[i].View(); }

 private:
  // False where the log ends before the row does: that is the tail. Tags
  // are short: a plain loop finds their ends sooner than memchr.
  bool ReadRow() {
    closes_ = 0;
    const char* const bytes = log_.data();
    const std::size_t size = log_.size();
    std::size_t text = at_;
    for (std::size_t p = at_; p < size;) {
      const void* const tag = std::memchr(bytes + p, '<', size - p);
      if (!tag) break;
      p = static_cast<std::size_t>(static_cast<const char*>(tag) - bytes);
      Text(log_.substr(text, p - text));
      switch (TagAt(p)) {
        case Tag::kRowClose:
          at_ = p + kRowClose.size();
          return true;
        case Tag::kCellClose:
          ++closes_;
          p += kCellClose.size();
          break;
        case Tag::kOther: {
          // A tag ends at its ">", unless another "<" comes first: then the
          // "<" was text.
          std::size_t end = p + 1;
          while (end < size && bytes[end] != '>' && bytes[end] != '<') ++end;
          if (end < size && bytes[end] == '>') {
            p = end + 1;
          } else {
            Text(log_.substr(p, end - p));
            p = end;
          }
          break;
        }
      }
      text = p;
    }
    at_ = size;
    return false;
  }

  enum class Tag { kRowClose, kCellClose, kOther };
  Tag TagAt(std::size_t open) const {
    if (log_.size() - open < 5 || log_[open + 1] != '/' || log_[open + 4] != '>' ||
        FoldAscii(static_cast<unsigned char>(log_[open + 2])) != 't') {
      return Tag::kOther;
    }
    const unsigned char third = FoldAscii(static_cast<unsigned char>(log_[open + 3]));
    return third == 'r' ? Tag::kRowClose : third == 'd' ? Tag::kCellClose : Tag::kOther;
  }

  void Text(std::string_view text) {
    if (closes_ < 5 && !text.empty()) cells_[closes_].Append(text);
  }

  // A cell's text: where the log has it in one piece, the log's own bytes.
  class CellText {
   public:
    void Clear() {
      view_ = {};
      joined_ = false;
    }
    void Append(std::string_view text) {
      if (view_.empty() && !joined_) {
        view_ = text;
        return;
      }
      if (!joined_) buffer_.assign(view_);
      joined_ = true;
      buffer_.append(text);
      view_ = buffer_;
    }
    std::string_view View() const { return view_; }

   private:
    std::string_view view_;
    std::string buffer_;
    bool joined_ = false;
  };

  std::string_view log_;
  std::size_t at_;
  int closes_ = 0;
  CellText cells_[5];
};

Outcome OutcomeOf(std::string_view statusCell) {
  const std::string_view status = Trimmed(statusCell);
  if (EqualsAsciiIgnoringCase(status, "failed")) return Outcome::kFailed;
  if (EqualsAsciiIgnoringCase(status, "passed")) return Outcome::kPassed;
  return Outcome::kOther;
}

void Count(Outcome outcome, JUnitCounts& counts) {
  ++counts.cases;
  switch (outcome) {
    case Outcome::kPassed:
      ++counts.passed;
      break;
    case Outcome::kFailed:
      ++counts.failed;
      break;
    case Outcome::kOther:
      ++counts.other;
      break;
  }
}

// A part of the texts of a run.
struct Span {
  std::size_t begin = 0;
  std::size_t end = 0;
};

struct Case {
  Outcome outcome;
  Span iteration;  // as the log has it
  Span name;
  Span message;  // the details; for another status, "status: details"
  long timeOfDay;
  long seconds = 0;
};

// The cases of a stretch of rows, parsed on a thread of their own; their
// texts are Spans of `texts`.
struct ParsedRows {
  std::string texts;
  std::vector<Case> cases;
};

struct Suite {
  Span name;
  std::vector<std::size_t> cases;
  std::uint64_t failures = 0;
  long seconds = 0;
};

// The cell's text appended to `texts`.
Span AppendCell(std::string_view cell, const LogTextDecoder& decode, std::string& texts) {
  const std::size_t begin = AppendCellText(cell, decode, texts);
  return {begin, texts.size()};
}

// The text of the head's <TITLE>, if it has one.
std::string TitleOf(std::string_view head, const LogTextDecoder& decode) {
  const std::size_t open = FindIgnoreCase(head, "<title");
  if (open == kNpos) return {};
  const std::size_t textStart = head.find('>', open);
  if (textStart == kNpos) return {};
  const std::size_t close = FindIgnoreCase(head, "</title", textStart);
  if (close == kNpos) return {};
  std::string withoutTags;
  const std::string_view inner = head.substr(textStart + 1, close - textStart - 1);
  for (std::size_t at = 0; at < inner.size();) {
    const std::size_t open = inner.find('<', at);
    withoutTags.append(inner.substr(at, open - at));
    if (open == kNpos) break;
    const std::size_t end = inner.find('>', open);
    if (end == kNpos) {
      withoutTags.append(inner.substr(open));
      break;
    }
    at = end + 1;
  }
  std::string title;
  AppendCellText(withoutTags, decode, title);
  return title;
}

void AppendAttribute(std::string_view name, std::string_view value, std::string& xml) {
  xml += ' ';
  xml += name;
  xml += "=\"";
  AppendEscaped(value, true, xml);
  xml += '"';
}

void AppendNumber(std::uint64_t number, std::string& xml) {
  char digits[24];
  const auto [end, error] = std::to_chars(std::begin(digits), std::end(digits), number);
  xml.append(digits, end);
}

void AppendCounts(std::uint64_t tests, std::uint64_t failures, long seconds, std::string& xml) {
  xml += " tests=\"";
  AppendNumber(tests, xml);
  xml += "\" failures=\"";
  AppendNumber(failures, xml);
  xml += "\" errors=\"0\" skipped=\"0\" time=\"";
  AppendNumber(static_cast<std::uint64_t>(seconds), xml);
  xml += '"';
}

// Seconds since midnight of "h:mm:ss" or "hh:mm:ss"; -1 for any other text.
long TimeOfDay(std::string_view text) {
  text = Trimmed(text);
  const std::size_t hourDigits = text.size() - 6;
  if (text.size() < 7 || text.size() > 8 || text[hourDigits] != ':' ||
      text[hourDigits + 3] != ':') {
    return -1;
  }
  long value[3] = {};
  const std::size_t starts[3] = {0, hourDigits + 1, hourDigits + 4};
  const std::size_t lengths[3] = {hourDigits, 2, 2};
  for (int i = 0; i < 3; ++i) {
    for (std::size_t at = starts[i]; at < starts[i] + lengths[i]; ++at) {
      if (text[at] < '0' || text[at] > '9') return -1;
      value[i] = value[i] * 10 + (text[at] - '0');
    }
  }
  if (value[0] > 23 || value[1] > 59 || value[2] > 59) return -1;
  return value[0] * 3600 + value[1] * 60 + value[2];
}

}  // namespace

long SecondsBetween(std::string_view from, std::string_view to) {
  const long start = TimeOfDay(from);
  const long end = TimeOfDay(to);
  if (start < 0 || end < 0) return -1;
  return end >= start ? end - start : end + 86400 - start;
}

namespace {

ParsedRows ParseRows(std::string_view rows, const LogTextDecoder& decode) {
  ParsedRows parsed;
  std::string& texts = parsed.texts;
  DetailRows walk(rows);
  while (walk.Next()) {
    Case row{OutcomeOf(walk.Cell(1)), {}, {}, {}, TimeOfDay(walk.Cell(3))};
    const std::string_view iteration = Trimmed(walk.Cell(0));
    row.iteration = {texts.size(), texts.size() + iteration.size()};
    texts += iteration;
    row.name = AppendCell(walk.Cell(2), decode, texts);
    if (row.outcome == Outcome::kOther) {
      row.message.begin = AppendCellText(walk.Cell(1), decode, texts);
      texts += ": ";
      AppendCellText(walk.Cell(4), decode, texts);
      row.message.end = texts.size();
    } else if (row.outcome == Outcome::kFailed) {
      row.message = AppendCell(walk.Cell(4), decode, texts);
    }
    parsed.cases.push_back(row);
  }
  return parsed;
}

// The rows from `rowsStart` on cut into stretches of about `size` bytes at
// row ends.
std::vector<std::string_view> Stretches(std::string_view log, std::size_t rowsStart,
                                        std::size_t size) {
  std::vector<std::string_view> stretches;
  for (std::size_t start = rowsStart; start < log.size();) {
    const std::size_t close =
        log.size() - start > size ? FindIgnoreCase(log, kRowClose, start + size) : kNpos;
    const std::size_t end = close == kNpos ? log.size() : close + kRowClose.size();
    stretches.push_back(log.substr(start, end - start));
    start = end;
  }
  return stretches;
}

Span Shifted(const Span& span, std::size_t by) { return {span.begin + by, span.end + by}; }

}  // namespace

JUnitCounts WriteJUnit(std::string_view condensedLog, std::string_view logName,
                       const LogTextDecoder& decode, std::string& xml, unsigned threads) {
  const std::size_t rowsStart = FindIgnoreCase(condensedLog, kRowOpen);
  const std::vector<std::string_view> stretches =
      rowsStart == kNpos ? std::vector<std::string_view>()
                         : Stretches(condensedLog, rowsStart, std::size_t{1} << 20);
  std::vector<ParsedRows> parsed(stretches.size());

  // Rows are parsed several stretches at a time; the stretches join in log
  // order, where rows fall into their iterations' suites.
  std::string texts;  // every name and message, each a Span of it
  std::vector<Suite> suites;
  std::unordered_map<std::string, std::size_t> suiteOf;
  std::string_view lastIteration;  // rows of one iteration mostly follow each other
  std::size_t lastSuite = 0;
  std::vector<Case> cases;
  JUnitCounts counts;
  const auto join = [&](ParsedRows& rows) {
    const std::size_t base = texts.size();
    texts += rows.texts;
    for (Case& row : rows.cases) {
      row.name = Shifted(row.name, base);
      row.message = Shifted(row.message, base);
      const std::string_view iteration =
          std::string_view(rows.texts)
              .substr(row.iteration.begin, row.iteration.end - row.iteration.begin);
      if (suites.empty() || iteration != lastIteration) {
        std::string name;
        AppendCellText(iteration, decode, name);
        const auto [suite, added] = suiteOf.try_emplace(name, suites.size());
        if (added) {
          const std::size_t begin = texts.size();
          texts += name;
          suites.push_back({{begin, texts.size()}, {}, 0, 0});
        }
        lastSuite = suite->second;
      }
      lastIteration = iteration;
      Count(row.outcome, counts);
      Suite& suite = suites[lastSuite];
      // The step before in this iteration took until this one began.
      if (!suite.cases.empty()) {
        Case& previous = cases[suite.cases.back()];
        if (previous.timeOfDay >= 0 && row.timeOfDay >= 0) {
          previous.seconds = row.timeOfDay >= previous.timeOfDay
                                 ? row.timeOfDay - previous.timeOfDay
                                 : row.timeOfDay + 86400 - previous.timeOfDay;
          suite.seconds += previous.seconds;
        }
      }
      if (row.outcome == Outcome::kFailed) ++suite.failures;
      suite.cases.push_back(cases.size());
      cases.push_back(row);
    }
  };
  OrderedJobs jobs;
  jobs.count = stretches.size();
  jobs.ahead = 2 * std::size_t{threads};
  jobs.work = [&](std::size_t i) { parsed[i] = ParseRows(stretches[i], decode); };
  jobs.deliver = [&](std::size_t i) {
    join(parsed[i]);
    parsed[i] = {};
    lastIteration = {};  // its text went with the stretch
  };
  RunInOrder(jobs, threads);

  const auto text = [&](const Span& span) {
    return std::string_view(texts).substr(span.begin, span.end - span.begin);
  };
  std::string title = TitleOf(condensedLog.substr(0, rowsStart), decode);
  if (title.empty()) title = logName;
  long totalSeconds = 0;
  for (const Suite& suite : suites) totalSeconds += suite.seconds;
  xml.reserve(xml.size() + texts.size() + 80 * cases.size() + 200 * suites.size());
  xml += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites";
  AppendAttribute("name", title, xml);
  AppendCounts(counts.cases, counts.failed, totalSeconds, xml);
  xml += ">\n";
  for (const Suite& suite : suites) {
    xml += "  <testsuite";
    AppendAttribute("name", text(suite.name), xml);
    AppendCounts(suite.cases.size(), suite.failures, suite.seconds, xml);
    xml += ">\n";
    for (const std::size_t index : suite.cases) {
      const Case& row = cases[index];
      xml += "    <testcase";
      AppendAttribute("name", text(row.name), xml);
      AppendAttribute("classname", text(suite.name), xml);
      xml += " time=\"";
      AppendNumber(static_cast<std::uint64_t>(row.seconds), xml);
      xml += '"';
      switch (row.outcome) {
        case Outcome::kPassed:
          xml += "/>\n";
          break;
        case Outcome::kFailed:
          xml += "><failure";
          AppendAttribute("message", text(row.message), xml);
          xml += '>';
          AppendEscaped(text(row.message), false, xml);
          xml += "</failure></testcase>\n";
          break;
        case Outcome::kOther:
          xml += "><system-out>";
          AppendEscaped(text(row.message), false, xml);
          xml += "</system-out></testcase>\n";
          break;
      }
    }
    xml += "  </testsuite>\n";
  }
  xml += "</testsuites>\n";
  return counts;
}

JUnitCounts CountStatuses(std::string_view condensedLog) {
  JUnitCounts counts;
  const std::size_t rowsStart = FindIgnoreCase(condensedLog, kRowOpen);
  if (rowsStart == kNpos) return counts;
  DetailRows rows(condensedLog.substr(rowsStart));
  while (rows.Next()) Count(OutcomeOf(rows.Cell(1)), counts);
  return counts;
}

std::string JUnitPathFor(const std::string& output) {
  for (const std::string_view extension : {std::string_view(".html"), std::string_view(".htm")}) {
    if (output.size() > extension.size() &&
        EqualsAsciiIgnoringCase(std::string_view(output).substr(output.size() - extension.size()),
                                extension)) {
      return output.substr(0, output.size() - extension.size()) + ".xml";
    }
  }
  return output + ".xml";
}

}  // namespace rowsift
