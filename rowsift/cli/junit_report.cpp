#include "junit_report.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <deque>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

#include "report_rows.h"
#include "simd.h"
#include "text_search.h"

namespace rowsift {
namespace {

constexpr std::size_t kNpos = std::string_view::npos;

enum class Outcome { kPassed, kFailed, kOther };

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
  if (rest.size() < 3) return std::nullopt;
  if (rest[1] != '#') {
    const unsigned char first = FoldAscii(static_cast<unsigned char>(rest[1]));
    for (const auto& [name, c] : kNamed) {
      if (static_cast<unsigned char>(name[1]) == first && rest.size() >= name.size() &&
          EqualsIgnoreCase(rest.substr(0, name.size()), name))
        return std::pair{c, name.size()};
    }
    return std::nullopt;
  }
  if (rest.size() < 4) return std::nullopt;
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
  const auto noBreakSpaceAt = [&](std::size_t at) {
    return text.size() - at >= 2 && text[at] == '\xC2' && text[at + 1] == '\xA0';
  };
  std::size_t first = begin;
  for (;;) {
    if (first < text.size() && IsSpace(text[first])) {
      ++first;
    } else if (noBreakSpaceAt(first)) {
      first += 2;
    } else {
      break;
    }
  }
  if (first != begin) text.erase(begin, first - begin);
  for (;;) {
    if (text.size() > begin && IsSpace(text.back())) {
      text.pop_back();
    } else if (text.size() - begin >= 2 && noBreakSpaceAt(text.size() - 2)) {
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

// Appends a cell's text (its tags already dropped) as an attribute's
// value. The usual name or number, ASCII without references behind its
// indent marks, goes in as it is.
void AppendCellXml(std::string_view cell, const LogTextDecoder& decode, std::string& scratch,
                   std::string& xml) {
  while (cell.size() >= 5 && cell[0] == '&' && EqualsIgnoreCase(cell.substr(0, 5), "&nbsp")) {
    cell = Trimmed(cell.substr(cell.size() > 5 && cell[5] == ';' ? 6 : 5));
  }
  if (std::none_of(cell.begin(), cell.end(), [](char c) { return kXmlSpecial[c]; })) {
    xml += cell;
    return;
  }
  scratch.clear();
  AppendCellText(cell, decode, scratch);
  AppendEscaped(scratch, true, xml);
}

// Where each "<" of a text is, found sixteen bytes at a time where the
// processor can.
class TagStarts {
 public:
  explicit TagStarts(std::string_view text) : text_(text) {}

  // The next "<" after the one given last; npos at the end.
  std::size_t Next() {
    while (marks_ == 0) {
      if (block_ >= text_.size()) return kNpos;
      Mark();
    }
    const std::size_t at = block_ - kBlock + static_cast<std::size_t>(std::countr_zero(marks_));
    marks_ &= marks_ - 1;
    return at;
  }

 private:
  static constexpr std::size_t kBlock = 16;

  // The marks of the next block.
  void Mark() {
    const char* const bytes = text_.data() + block_;
    marks_ = 0;
#if ROWSIFT_SSE2
    if (text_.size() - block_ >= kBlock) {
      marks_ = simd::Mask(_mm_cmpeq_epi8(simd::Load(bytes), simd::Splat('<')));
      block_ += kBlock;
      return;
    }
#endif
    const std::size_t size = std::min(kBlock, text_.size() - block_);
    for (std::size_t i = 0; i < size; ++i) {
      if (bytes[i] == '<') marks_ |= 1u << i;
    }
    block_ += kBlock;
  }

  std::string_view text_;
  std::size_t block_ = 0;  // the end of the block marked
  unsigned marks_ = 0;
};

// The detail rows of a condensed log: the rows between the first bare
// "<TR>" and the last "</TR>" with at least four "</TD>", not the heading
// and not a row without an iteration, the rows the filter kept for their
// text. A row's cells end at its "</TD>"s; only a cell's own text is read
// later, its tags dropped then.
class DetailRows {
 public:
  // The rows of `rows`, which starts where a row starts.
  explicit DetailRows(std::string_view rows) : log_(rows), tags_(rows) {}

  // The next detail row; false at the end.
  bool Next() {
    for (;;) {
      if (!ReadRow()) return false;
      if (closes_ < 4) continue;
      for (int i = 0; i < 5; ++i) read_[i] = false;
      const std::string_view itr = Cell(0);
      if (itr.empty() || itr == kHeadingMark) continue;
      return true;
    }
  }

  // A cell's text: its tags dropped, white space trimmed, otherwise the
  // log's bytes. Valid until the next row.
  std::string_view Cell(int i) {
    if (!read_[i]) {
      text_[i] = TextOf(Trimmed(raw_[i]), scratch_[i]);
      read_[i] = true;
    }
    return text_[i];
  }

 private:
  static std::string_view TextOf(std::string_view cell, std::string& scratch) {
    // The usual cell: "<TD>" (the first behind "<TR>") and text.
    while (cell.size() >= 4 && cell[0] == '<' &&
           (EqualsIgnoreCase(cell.substr(0, 4), kCellOpen) ||
            EqualsIgnoreCase(cell.substr(0, 4), kRowOpen))) {
      cell = Trimmed(cell.substr(4));
    }
    if (cell.find('<') == kNpos) return cell;
    // A tag ends at its ">", unless another "<" comes first: then the "<"
    // was text. Cells are short: plain loops beat memchr here.
    scratch.clear();
    const std::size_t size = cell.size();
    for (std::size_t at = 0; at < size;) {
      std::size_t end = at;
      if (cell[at] == '<') {
        end = at + 1;
        while (end < size && cell[end] != '>' && cell[end] != '<') ++end;
        if (end < size && cell[end] == '>') {
          at = end + 1;
          continue;
        }
      }
      while (end < size && cell[end] != '<') ++end;
      scratch.append(cell.data() + at, end - at);
      at = end;
    }
    return Trimmed(scratch);
  }

  // False where the log ends before the row does: that is the tail.
  bool ReadRow() {
    closes_ = 0;
    const char* const bytes = log_.data();
    std::size_t cellStart = at_;
    for (std::size_t open; (open = tags_.Next()) != kNpos;) {
      if (log_.size() - open < 5 || bytes[open + 1] != '/' || bytes[open + 4] != '>' ||
          FoldAscii(static_cast<unsigned char>(bytes[open + 2])) != 't') {
        continue;
      }
      const unsigned char closing = FoldAscii(static_cast<unsigned char>(bytes[open + 3]));
      if (closing == 'd') {
        if (closes_ < 5) raw_[closes_] = log_.substr(cellStart, open - cellStart);
        ++closes_;
        cellStart = open + kCellClose.size();
      } else if (closing == 'r') {
        if (closes_ == 4) raw_[4] = log_.substr(cellStart, open - cellStart);
        at_ = open + kRowClose.size();
        return true;
      }
    }
    at_ = log_.size();
    return false;
  }

  std::string_view log_;
  TagStarts tags_;
  std::size_t at_ = 0;
  int closes_ = 0;
  std::string_view raw_[5];
  bool read_[5] = {};
  std::string_view text_[5];
  std::string scratch_[5];
};

Outcome OutcomeOf(std::string_view statusCell) {
  const std::string_view status = Trimmed(statusCell);
  if (EqualsIgnoreCase(status, "failed")) return Outcome::kFailed;
  if (EqualsIgnoreCase(status, "passed")) return Outcome::kPassed;
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

// Seconds from one time of day to the next, forward across midnight.
long SecondsUntil(long start, long end) { return end >= start ? end - start : end + 86400 - start; }

// A kept row's <testcase> element, all but its time, which depends on the
// next row of its iteration: that may come in a later stretch.
struct Case {
  Outcome outcome = Outcome::kPassed;
  long timeOfDay = -1;  // -1 where the time cell is no time
  long seconds = 0;
  std::string_view iteration;  // as the log has it
  std::string_view suiteName;  // as text, escaped
  std::string_view beforeTime;
  std::string_view afterTime;
  Case* nextInSuite = nullptr;
};

// The cases of a stretch of rows, parsed and written out on a thread of
// their own. Kept at one address: the cases' views point into `texts`.
struct ParsedRows {
  std::string texts;
  std::vector<Case> cases;
};

// A part of `texts` while it may still move.
struct Span {
  std::size_t begin;
  std::size_t end;
  std::string_view In(const std::string& texts) const {
    return std::string_view(texts).substr(begin, end - begin);
  }
};

constexpr std::string_view kCaseStart = "    <testcase name=\"";
constexpr std::string_view kClassName = "\" classname=\"";
constexpr std::string_view kTime = "\" time=\"";
constexpr std::string_view kPassedCaseEnd = "\"/>\n";

std::unique_ptr<ParsedRows> ParseRows(std::string_view rows, const LogTextDecoder& decode) {
  auto parsed = std::make_unique<ParsedRows>();
  std::string& texts = parsed->texts;
  struct Spans {
    Span iteration, suiteName, beforeTime, afterTime;
  };
  std::vector<Spans> spans;
  texts.reserve(rows.size());
  Span lastIteration{0, 0};
  Span lastSuiteName{0, 0};
  std::string suiteXml;  // its name as an attribute's value
  std::string scratch;
  DetailRows walk(rows);
  while (walk.Next()) {
    const Outcome outcome = OutcomeOf(walk.Cell(1));
    const std::string_view iteration = walk.Cell(0);
    Spans row;
    if (spans.empty() || iteration != lastIteration.In(texts)) {
      lastIteration = {texts.size(), texts.size() + iteration.size()};
      texts += iteration;
      suiteXml.clear();
      AppendCellXml(iteration, decode, scratch, suiteXml);
      lastSuiteName.begin = texts.size();
      texts += suiteXml;
      lastSuiteName.end = texts.size();
    }
    row.iteration = lastIteration;
    row.suiteName = lastSuiteName;

    row.beforeTime.begin = texts.size();
    texts.append(kCaseStart);
    AppendCellXml(walk.Cell(2), decode, scratch, texts);
    texts.append(kClassName);
    texts.append(suiteXml);
    texts.append(kTime);
    row.beforeTime.end = texts.size();

    row.afterTime.begin = texts.size();
    scratch.clear();
    switch (outcome) {
      case Outcome::kPassed:
        break;  // kPassedCaseEnd, which every passed case shares
      case Outcome::kFailed:
        AppendCellText(walk.Cell(4), decode, scratch);
        texts += "\"><failure message=\"";
        AppendEscaped(scratch, true, texts);
        texts += "\">";
        AppendEscaped(scratch, false, texts);
        texts += "</failure></testcase>\n";
        break;
      case Outcome::kOther:
        AppendCellText(walk.Cell(1), decode, scratch);
        scratch += ": ";
        AppendCellText(walk.Cell(4), decode, scratch);
        texts += "\"><system-out>";
        AppendEscaped(scratch, false, texts);
        texts += "</system-out></testcase>\n";
        break;
    }
    row.afterTime.end = texts.size();
    Case& added = parsed->cases.emplace_back();
    added.outcome = outcome;
    added.timeOfDay = TimeOfDay(walk.Cell(3));
    spans.push_back(row);
  }
  for (std::size_t i = 0; i < spans.size(); ++i) {
    Case& row = parsed->cases[i];
    row.iteration = spans[i].iteration.In(texts);
    row.suiteName = spans[i].suiteName.In(texts);
    row.beforeTime = spans[i].beforeTime.In(texts);
    row.afterTime = row.outcome == Outcome::kPassed ? kPassedCaseEnd : spans[i].afterTime.In(texts);
  }
  return parsed;
}

struct Suite {
  std::string_view name;  // as text, escaped
  Case* first = nullptr;
  Case* last = nullptr;
  std::uint64_t tests = 0;
  std::uint64_t failures = 0;
  long seconds = 0;
};

// Where the last row of `text` ends; 0 when none does.
std::size_t AfterLastRow(std::string_view text) {
  for (std::size_t at = text.size(); at > 0;) {
    const std::size_t open = text.rfind('<', at - 1);
    if (open == kNpos) return 0;
    if (text.size() - open >= kRowClose.size() &&
        EqualsIgnoreCase(text.substr(open, kRowClose.size()), kRowClose)) {
      return open + kRowClose.size();
    }
    at = open;
  }
  return 0;
}

}  // namespace

// The log is cut into stretches of whole rows as it comes; a thread of the
// collector's own parses them meanwhile, and the calling thread joins in at
// the end. Joined in log order, each row falls into its iteration's suite.
struct JUnitCollector::State {
  static constexpr std::size_t kStretch = 1 << 20;

  explicit State(LogTextDecoder decodeText) : decode(std::move(decodeText)) {}

  // Parses the stretches handed on: the collector's thread until the last
  // one has come, the calling thread, at the end, while any waits.
  void ParseWaiting(bool untilLast) {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      if (untilLast) {
        changed.wait(lock, [&] { return stopping || ended || next < stretches.size(); });
      }
      if (stopping || next == stretches.size()) return;
      const std::size_t index = next++;
      const std::string stretch = std::move(stretches[index]);
      lock.unlock();
      std::unique_ptr<ParsedRows> rows = ParseRows(stretch, decode);
      lock.lock();
      parsed[index] = std::move(rows);
    }
  }

  void Hand(std::string stretch) {
    {
      const std::lock_guard<std::mutex> lock(mutex);
      stretches.push_back(std::move(stretch));
      parsed.emplace_back();
    }
    changed.notify_all();
    if (!parser.joinable() && !parserRefused) {
      try {
        parser = std::thread([this] { ParseWaiting(true); });
      } catch (const std::system_error&) {
        parserRefused = true;  // parsed on the calling thread at the end
      }
    }
  }

  void Stop() {
    {
      const std::lock_guard<std::mutex> lock(mutex);
      stopping = true;
    }
    changed.notify_all();
    if (parser.joinable()) parser.join();
  }

  const LogTextDecoder decode;
  std::string head;  // the log up to its first "<TR>", while that is not found
  bool inRows = false;
  std::string pending;  // rows not yet handed on

  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::string> stretches;
  std::vector<std::unique_ptr<ParsedRows>> parsed;
  std::size_t next = 0;  // the first stretch not yet taken
  bool ended = false;
  bool stopping = false;
  std::thread parser;
  bool parserRefused = false;
};

JUnitCollector::JUnitCollector(LogTextDecoder decode)
    : state_(std::make_unique<State>(std::move(decode))) {}

JUnitCollector::~JUnitCollector() { state_->Stop(); }

JUnitCollector::JUnitCollector(JUnitCollector&&) noexcept = default;

void JUnitCollector::Add(std::string_view bytes) {
  State& state = *state_;
  if (!state.inRows) {
    const std::size_t searchFrom = state.head.size() < 3 ? 0 : state.head.size() - 3;
    state.head += bytes;
    const std::size_t rowsStart = FindIgnoreCase(state.head, kRowOpen, searchFrom);
    if (rowsStart == kNpos) return;
    state.inRows = true;
    state.pending = state.head.substr(rowsStart);
    state.head.resize(rowsStart);
  } else {
    state.pending += bytes;
  }
  if (state.pending.size() < State::kStretch) return;
  const std::size_t rowsEnd = AfterLastRow(state.pending);
  if (rowsEnd == 0) return;
  std::string rest = state.pending.substr(rowsEnd);
  state.pending.resize(rowsEnd);
  state.Hand(std::move(state.pending));
  state.pending = std::move(rest);
  state.pending.reserve(State::kStretch + (64 << 10));
}

JUnitCounts JUnitCollector::Finish(std::string_view logName, const JUnitSink* write) {
  State& state = *state_;
  if (state.inRows && !state.pending.empty()) state.Hand(std::move(state.pending));
  {
    const std::lock_guard<std::mutex> lock(state.mutex);
    state.ended = true;
  }
  state.changed.notify_all();
  state.ParseWaiting(false);
  // Whatever the collector's thread still parses is done when it ends.
  if (state.parser.joinable()) state.parser.join();

  std::deque<Suite> suites;
  std::unordered_map<std::string_view, Suite*> suiteOf;  // by the escaped name
  std::string_view lastIteration;  // rows of one iteration mostly follow each other
  Suite* suite = nullptr;
  JUnitCounts counts;
  for (const std::unique_ptr<ParsedRows>& rows : state.parsed) {
    for (Case& row : rows->cases) {
      if (!suite || row.iteration != lastIteration) {
        const auto [found, added] = suiteOf.try_emplace(row.suiteName, nullptr);
        if (added) found->second = &suites.emplace_back(Suite{row.suiteName});
        suite = found->second;
        lastIteration = row.iteration;
      }
      Count(row.outcome, counts);
      if (Case* previous = suite->last) {
        // The step before in this iteration took until this one began.
        if (previous->timeOfDay >= 0 && row.timeOfDay >= 0) {
          previous->seconds = SecondsUntil(previous->timeOfDay, row.timeOfDay);
          suite->seconds += previous->seconds;
        }
        previous->nextInSuite = &row;
      } else {
        suite->first = &row;
      }
      suite->last = &row;
      ++suite->tests;
      if (row.outcome == Outcome::kFailed) ++suite->failures;
    }
  }
  if (!write) return counts;

  // Written out a piece at a time, so the file never waits whole in memory.
  constexpr std::size_t kPiece = 1 << 20;
  std::string xml;
  xml.reserve(kPiece + (64 << 10));
  std::string title = TitleOf(state.head, state.decode);
  if (title.empty()) title = logName;
  long totalSeconds = 0;
  for (const Suite& each : suites) totalSeconds += each.seconds;
  xml += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"";
  AppendEscaped(title, true, xml);
  xml += '"';
  AppendCounts(counts.cases, counts.failed, totalSeconds, xml);
  xml += ">\n";
  for (const Suite& each : suites) {
    xml += "  <testsuite name=\"";
    xml += each.name;
    xml += '"';
    AppendCounts(each.tests, each.failures, each.seconds, xml);
    xml += ">\n";
    for (const Case* row = each.first; row; row = row->nextInSuite) {
      xml += row->beforeTime;
      AppendNumber(static_cast<std::uint64_t>(row->seconds), xml);
      xml += row->afterTime;
      if (xml.size() >= kPiece) {
        (*write)(xml);
        xml.clear();
      }
    }
    xml += "  </testsuite>\n";
  }
  xml += "</testsuites>\n";
  (*write)(xml);
  return counts;
}

JUnitCounts WriteJUnit(std::string_view condensedLog, std::string_view logName,
                       const LogTextDecoder& decode, const JUnitSink& write) {
  JUnitCollector collector(decode);
  collector.Add(condensedLog);
  return collector.Finish(logName, &write);
}

std::string JUnitPathFor(const std::string& output) {
  for (const std::string_view extension : {std::string_view(".html"), std::string_view(".htm")}) {
    if (output.size() > extension.size() &&
        EqualsIgnoreCase(std::string_view(output).substr(output.size() - extension.size()),
                         extension)) {
      return output.substr(0, output.size() - extension.size()) + ".xml";
    }
  }
  return output + ".xml";
}

}  // namespace rowsift
