#include "junit_report.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <exception>
#include <functional>
#include <future>
#include <iterator>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <span>
#include <system_error>
#include <utility>
#include <vector>

#include "kept_row_cells.h"
#include "log_xml_text.h"
#include "piece_list.h"
#include "report_rows.h"
#include "simd.h"
#include "text_search.h"

namespace rowsift {
namespace {

constexpr std::size_t kNpos = std::string_view::npos;

enum class Outcome { kPassed, kFailed, kOther };

// The outcome a status cell's text, which comes trimmed, gives.
Outcome OutcomeOf(std::string_view status) {
  if (status.size() != 6) return Outcome::kOther;
  if (StartsWithFolded(status, "failed")) return Outcome::kFailed;
  if (StartsWithFolded(status, "passed")) return Outcome::kPassed;
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

// Writes `number` at `at`, where 20 bytes are free; returns its end. The
// usual number, a count or seconds, has one digit.
char* PutNumber(char* at, std::uint64_t number) {
  if (number < 10) {
    *at = static_cast<char>('0' + number);
    return at + 1;
  }
  return std::to_chars(at, at + 20, number).ptr;
}

void AppendNumber(std::uint64_t number, std::string& xml) {
  char digits[20];
  xml.append(digits, PutNumber(digits, number));
}

// Writes `bytes` at `at`; returns their end.
char* Put(char* at, std::string_view bytes) {
  std::memcpy(at, bytes.data(), bytes.size());
  return at + bytes.size();
}

constexpr std::string_view kTestsAttribute = "\" tests=\"";
constexpr std::string_view kFailuresAttribute = "\" failures=\"";
constexpr std::string_view kTimeAttribute = "\" errors=\"0\" skipped=\"0\" time=\"";
constexpr std::string_view kStartTagEnd = "\">\n";
// The most PutCountsClosingTag writes.
constexpr std::size_t kCountsClosingTagMost = kTestsAttribute.size() + kFailuresAttribute.size() +
                                              kTimeAttribute.size() + kStartTagEnd.size() + 3 * 20;

// The least it writes: counts of one digit each.
constexpr std::size_t kCountsClosingTagLeast = kTestsAttribute.size() + kFailuresAttribute.size() +
                                               kTimeAttribute.size() + kStartTagEnd.size() + 3;

// Writes the end of a start tag whose name attribute comes last before it:
// the counts as attributes. Returns its end.
char* PutCountsClosingTag(char* at, std::uint64_t tests, std::uint64_t failures,
                          std::int64_t seconds) {
  at = Put(at, kTestsAttribute);
  at = PutNumber(at, tests);
  at = Put(at, kFailuresAttribute);
  at = PutNumber(at, failures);
  at = Put(at, kTimeAttribute);
  at = PutNumber(at, static_cast<std::uint64_t>(seconds));
  return Put(at, kStartTagEnd);
}

void AppendCountsClosingTag(std::uint64_t tests, std::uint64_t failures, std::int64_t seconds,
                            std::string& xml) {
  char text[kCountsClosingTagMost];
  xml.append(text, PutCountsClosingTag(text, tests, failures, seconds));
}

// A digit's value; for any other byte, a value that puts any hour, minute
// or second it is part of out of range.
unsigned DigitValue(char c) {
  const auto value = static_cast<unsigned>(static_cast<unsigned char>(c)) - '0';
  return value <= 9 ? value : 1000;
}

// Seconds since midnight of "h:mm:ss" or "hh:mm:ss"; -1 for any other
// text. Cells' texts come trimmed.
long TimeOfDay(std::string_view text) {
  if (text.size() != 7 && text.size() != 8) return -1;
  const char* const rest = text.data() + text.size() - 6;  // ":mm:ss"
  if (rest[0] != ':' || rest[3] != ':') return -1;
  unsigned hours = DigitValue(text[0]);
  if (text.size() == 8) hours = hours * 10 + DigitValue(text[1]);
  const unsigned minutes = DigitValue(rest[1]) * 10 + DigitValue(rest[2]);
  const unsigned seconds = DigitValue(rest[4]) * 10 + DigitValue(rest[5]);
  if (hours > 23 || minutes > 59 || seconds > 59) return -1;
  return static_cast<long>(hours * 3600 + minutes * 60 + seconds);
}

// The time of day in a kept row's time cell. The usual cell is "<TD>" and
// the time: a time read there is the cell's text, being digits and colons.
long TimeOfDayIn(KeptRowCells& cells) {
  const std::string_view raw = cells.Raw(3);
  if ((raw.size() == 11 || raw.size() == 12) && StartsWithFolded(raw, "<td>")) {
    const long time = TimeOfDay(raw.substr(4));
    if (time >= 0) return time;
  }
  const std::optional<std::string_view> plain = cells.PlainText(3);
  return TimeOfDay(plain ? *plain : cells.Text(3));
}

// Seconds from one time of day to the next, forward across midnight.
long SecondsUntil(long start, long end) { return end >= start ? end - start : end + 86400 - start; }

constexpr std::string_view kSuiteStart = "  <testsuite name=\"";
constexpr std::string_view kSuiteEnd = "  </testsuite>\n";
constexpr std::string_view kCaseStart = "    <testcase name=\"";
constexpr std::string_view kClassName = "\" classname=\"";
constexpr std::string_view kTime = "\" time=\"";
constexpr std::string_view kPassedCaseEndAndCaseStart = "\"/>\n    <testcase name=\"";
constexpr std::string_view kPassedLastCaseAndSuiteEnd = "0\"/>\n  </testsuite>\n";
constexpr std::string_view kFileStart =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"";
constexpr std::string_view kFileEnd = "</testsuites>\n";

// What a suite is found by. Iterations are numbered: a name that reads as
// a number below kNumberedSuites, in digits without leading zeros, is that
// number; any other name, its hash with the top bit set.
constexpr std::uint64_t kNumberedSuites = 1 << 20;

std::uint64_t SuiteKeyOf(std::string_view name) {
  if (!name.empty() && name.size() <= 7 && (name[0] != '0' || name.size() == 1)) {
    std::uint64_t number = 0;
    std::size_t at = 0;
    for (; at < name.size() && name[at] >= '0' && name[at] <= '9'; ++at)
      number = number * 10 + static_cast<std::uint64_t>(name[at] - '0');
    if (at == name.size() && number < kNumberedSuites) return number;
  }
  // Eight bytes at a time, each step mixed through a multiplication, the
  // whole once more, so that the top bits, which place it, depend on every
  // byte.
  std::uint64_t hash = 0x9E3779B97F4A7C15u ^ name.size();
  for (;;) {
    std::uint64_t word = 0;
    const std::size_t size = std::min<std::size_t>(8, name.size());
    std::memcpy(&word, name.data(), size);
    hash = (hash ^ word) * 0xFF51AFD7ED558CCDu;
    hash ^= hash >> 32;
    name.remove_prefix(size);
    if (name.empty()) break;
  }
  hash *= 0xC4CEB9FE1A85EC53u;
  hash ^= hash >> 29;
  return hash | std::uint64_t{1} << 63;
}

// A part's text, grown without first filling the bytes then written: room
// is reserved behind the text, written, and committed.
class PartText {
 public:
  PartText() = default;
  PartText(PartText&& other) noexcept
      : bytes_(std::move(other.bytes_)),
        size_(std::exchange(other.size_, 0)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  PartText& operator=(PartText&& other) noexcept {
    bytes_ = std::move(other.bytes_);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
    return *this;
  }

  std::size_t size() const { return size_; }
  char* data() { return bytes_.get(); }
  std::string_view View() const { return {bytes_.get(), size_}; }
  // Room for `more` bytes behind the text, where the pointer returned
  // points; the text may move.
  char* Reserve(std::size_t more) {
    if (capacity_ - size_ < more) Grow(size_ + more);
    return bytes_.get() + size_;
  }
  // The text up to `end`, within the room reserved.
  void Commit(const char* end) { size_ = static_cast<std::size_t>(end - bytes_.get()); }
  void Clear() { size_ = 0; }

 private:
  // Fourfold: each growth copies the text into fresh memory, which the
  // system hands out a page at a time, and a part's text grows from little
  // to about a megabyte where no spare comes.
  void Grow(std::size_t least) {
    const std::size_t capacity = std::max({least, 4 * capacity_, std::size_t{4096}});
    std::unique_ptr<char[]> bytes = std::make_unique_for_overwrite<char[]>(capacity);
    if (size_ > 0) std::memcpy(bytes.get(), bytes_.get(), size_);
    bytes_ = std::move(bytes);
    capacity_ = capacity;
  }

  std::unique_ptr<char[]> bytes_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

class JUnitPart;

// Kept rows of one iteration that follow each other in one part, written
// out as a whole <testsuite> element as if no other row of the iteration
// came: its last case takes "0" seconds. Positions are in the part's text.
struct Run {
  // What writing out a suite of one run takes, together.
  JUnitPart* part = nullptr;
  std::size_t begin = 0;
  std::size_t end = 0;
  std::int64_t seconds = 0;  // of the run's own cases

  std::size_t nameSize = 0;  // the suite's name, escaped, behind kSuiteStart
  std::size_t casesBegin = 0;
  std::size_t lastTime = 0;  // the "0" of the last case's time
  std::uint64_t tests = 0;
  std::uint64_t failures = 0;
  long firstTimeOfDay = -1;
  long lastTimeOfDay = -1;
  // Where a later run of the iteration comes: the last case's seconds, and
  // that run.
  std::int64_t lastSeconds = 0;
  Run* nextInSuite = nullptr;

  std::string_view Text(std::size_t from, std::size_t to) const;
  std::string_view Name() const {
    return Text(begin + kSuiteStart.size(), begin + kSuiteStart.size() + nameSize);
  }
  std::string_view CasesBefore() const { return Text(casesBegin, lastTime); }
  std::string_view CasesAfter() const { return Text(lastTime + 1, end - kSuiteEnd.size()); }
};

// The cases of one part of the log, read on the filter's thread for it;
// only counted where no file is written.
class JUnitPart final : public KeptRowReader::Part {
 public:
  // The buffers come empty, their memory perhaps kept from a part before.
  JUnitPart(const LogTextDecoder& decode, bool written, PartText text, std::vector<Run> runs,
            std::vector<std::uint64_t> suiteKeys)
      : text(std::move(text)),
        runs(std::move(runs)),
        suiteKeys(std::move(suiteKeys)),
        decode_(decode),
        written_(written) {}

  void Read(std::string_view row, const FilterCut& cut,
            std::span<const std::size_t> cellEnds) override {
    if (!cells_.Read(row, cut, cellEnds)) return;
    // Rows mostly repeat the first cell of the row before, byte for byte:
    // the same iteration.
    if (iterationCell_.empty() || !SameBytes(cells_.Raw(0), iterationCell_)) {
      const std::optional<std::string_view> plain = cells_.PlainText(0);
      const std::string_view iteration = plain ? *plain : cells_.Text(0);
      if (KeptUnconditionally(iteration)) return;  // the heading, a row of no iteration
      iterationCell_.assign(cells_.Raw(0));
      if (written_) StartRunOf(iteration, plain.has_value());
    }
    // Rows mostly repeat the status cell of the row before, byte for byte.
    if (!SameBytes(cells_.Raw(1), statusCell_)) {
      statusCell_.assign(cells_.Raw(1));
      status_.assign(cells_.Text(1));
      outcome_ = OutcomeOf(status_);
    }
    const Outcome outcome = outcome_;
    Count(outcome, counts);
    if (!written_) return;

    const long timeOfDay = TimeOfDayIn(cells_);
    std::string_view name;
    if (const std::optional<std::string_view> plainName = cells_.PlainName(2)) {
      name = *plainName;
    } else {
      nameXml_.clear();
      AppendCellXml(cells_.Text(2), decode_, cellXml_, nameXml_);
      name = nameXml_;
    }
    // The case goes in behind the one before, whose time it completes,
    // with one reservation of room.
    char* at = text.Reserve(
        20 + std::max(kPassedCaseEndAndCaseStart.size(), lastCaseEnd_.size() + kCaseStart.size()) +
        name.size() + caseNameEnd_.size());
    if (run_.tests > 0) {
      // The case before in this iteration took until this one began.
      std::int64_t seconds = 0;
      if (run_.lastTimeOfDay >= 0 && timeOfDay >= 0)
        seconds = SecondsUntil(run_.lastTimeOfDay, timeOfDay);
      run_.seconds += seconds;
      at = PutNumber(at, static_cast<std::uint64_t>(seconds));
      // Every passed case ends alike: that end and the next case's start at once.
      at = lastPassed_ ? Put(at, kPassedCaseEndAndCaseStart)
                       : Put(Put(at, lastCaseEnd_), kCaseStart);
    } else {
      run_.firstTimeOfDay = timeOfDay;
      at = Put(at, kCaseStart);
    }
    at = Put(Put(at, name), caseNameEnd_);
    text.Commit(at);
    run_.lastTimeOfDay = timeOfDay;
    ++run_.tests;
    if (outcome == Outcome::kFailed) ++run_.failures;
    lastPassed_ = outcome == Outcome::kPassed;
    switch (outcome) {
      case Outcome::kPassed:
        break;
      case Outcome::kFailed:
        cellXml_.clear();
        AppendCellText(cells_.Text(4), decode_, cellXml_);
        lastCaseEnd_ = "\"><failure message=\"";
        AppendEscaped(cellXml_, true, lastCaseEnd_);
        lastCaseEnd_ += "\">";
        AppendEscaped(cellXml_, false, lastCaseEnd_);
        lastCaseEnd_ += "</failure></testcase>\n";
        break;
      case Outcome::kOther:
        cellXml_.clear();
        AppendCellText(status_, decode_, cellXml_);
        cellXml_ += ": ";
        AppendCellText(cells_.Text(4), decode_, cellXml_);
        lastCaseEnd_ = "\"><system-out>";
        AppendEscaped(cellXml_, false, lastCaseEnd_);
        lastCaseEnd_ += "</system-out></testcase>\n";
        break;
    }
  }

  // Writes out the run still open; once every row is read.
  void EndRun() {
    if (!open_) return;
    open_ = false;
    const std::string_view name = SuiteName();
    char counts[kCountsClosingTagMost];
    const std::string_view countsTag(
        counts, static_cast<std::size_t>(
                    PutCountsClosingTag(counts, run_.tests, run_.failures, run_.seconds) - counts));
    // The start tag goes in the room kept before the cases, which counts of
    // one digit fill; longer counts move the cases up.
    const std::size_t shift =
        kSuiteStart.size() + name.size() + countsTag.size() - (run_.casesBegin - run_.begin);
    text.Reserve(
        shift + 1 +
        std::max(lastCaseEnd_.size() + kSuiteEnd.size(), kPassedLastCaseAndSuiteEnd.size()));
    // The run is copied whole before its last fields are set: a copy that
    // reads fields just stored waits for the stores.
    Run& run = runs.emplace_back(run_);
    char* const start = text.data();
    if (shift > 0) {
      std::memmove(start + run.casesBegin + shift, start + run.casesBegin,
                   text.size() - run.casesBegin);
      run.casesBegin += shift;
    }
    Put(Put(Put(start + run.begin, kSuiteStart), name), countsTag);
    run.lastTime = text.size() + shift;
    char* at = start + run.lastTime;
    if (lastPassed_) {
      at = Put(at, kPassedLastCaseAndSuiteEnd);
    } else {
      *at++ = '0';
      at = Put(Put(at, lastCaseEnd_), kSuiteEnd);
    }
    text.Commit(at);
    run.end = text.size();
    run.part = this;
    run.nameSize = name.size();
    suiteKeys.push_back(SuiteKeyOf(name));
  }

  PartText text;
  std::vector<Run> runs;
  std::vector<std::uint64_t> suiteKeys;  // of the runs' suites, apart: the suites are found by them
  JUnitCounts counts;
  std::size_t runsUnwritten = 0;  // once the part has ended

 private:
  // A row whose first cell differs from the row before's: of another
  // iteration, unless only in spelling ("1", "<B>1</B>", "&#49;"), which
  // shares the suite. A plain iteration is its own name.
  void StartRunOf(std::string_view iteration, bool plain) {
    std::string_view name = iteration;
    if (!plain) {
      nameXml_.clear();
      AppendCellXml(iteration, decode_, cellXml_, nameXml_);
      name = nameXml_;
    }
    if (open_ && name == SuiteName()) return;
    EndRun();
    open_ = true;
    // Made in place: a copy of a fresh one would read stores just made.
    std::construct_at(&run_);
    caseNameEnd_.resize(kClassName.size() + name.size() + kTime.size());
    Put(Put(Put(caseNameEnd_.data(), kClassName), name), kTime);
    // Room for the suite's start tag, written once its counts are known.
    const std::size_t room = kSuiteStart.size() + name.size() + kCountsClosingTagLeast;
    run_.begin = text.size();
    run_.casesBegin = run_.begin + room;
    text.Commit(text.Reserve(room) + room);
  }

  // The open run's suite name, escaped.
  std::string_view SuiteName() const {
    return std::string_view(caseNameEnd_)
        .substr(kClassName.size(), caseNameEnd_.size() - kClassName.size() - kTime.size());
  }

  const LogTextDecoder& decode_;
  const bool written_;
  bool lastPassed_ = false;
  bool open_ = false;
  Run run_;                    // the open run's counts and times
  std::string iterationCell_;  // that cell as the output holds it; none before the first
  std::string caseNameEnd_;    // what follows a case's name up to its time: the suite's name
  std::string lastCaseEnd_;    // the rest of the last case
  KeptRowCells cells_;
  std::string statusCell_;  // the last status cell read, as the output holds it
  std::string status_;      // its text
  Outcome outcome_ = Outcome::kOther;
  std::string cellXml_;
  std::string nameXml_;
};

std::string_view Run::Text(std::size_t from, std::size_t to) const {
  return part->text.View().substr(from, to - from);
}

// An iteration's suite while it is not yet written out: its runs, in log
// order, and, once it has several, their counts.
struct Suite {
  Run* first = nullptr;
  Run* last = nullptr;
  std::uint64_t tests = 0;
  std::uint64_t failures = 0;
  std::int64_t seconds = 0;

  std::int64_t Seconds() const { return first == last ? first->seconds : seconds; }
};

// Every suite by its key, which the parts worked out on their threads.
// Suites are numbered as they come and written out in that order; of one
// written out, only the key is kept, so that a name seen for the first
// time, the usual case, is told apart without reading another name.
//
// A numbered suite is found where its number points. A hashed one is
// found in slots that hold its key, placed by the top of the hash: in the
// order of their hashes, which a bigger table takes in one pass, front to
// back, where slots placed at random would miss the cache on every move.
class SuiteTable {
 public:
  static constexpr std::size_t kNew = SIZE_MAX;
  static constexpr std::size_t kWrittenOut = SIZE_MAX - 1;

  // Asks the processor to fetch where a search for `key` starts: the
  // slots lie far apart in memory, and the keys are known ahead.
  void Prefetch(std::uint64_t key) const {
#if ROWSIFT_SSE2
    if (key >= kNumberedSuites && !slots_.empty())
      _mm_prefetch(reinterpret_cast<const char*>(&slots_[Home(key)]), _MM_HINT_T0);
#else
    static_cast<void>(key);
#endif
  }

  // The number of the suite of `run`, whose name has the key `key`, among
  // those not yet written out (`waiting`, the first of which has the number
  // `firstWaiting`); kNew where there is none yet, which is then numbered
  // `waiting.size()` on; kWrittenOut where it may be written out already.
  std::size_t Find(std::uint64_t key, const Run& run, const std::vector<Suite>& waiting,
                   std::size_t firstWaiting) {
    if (key < kNumberedSuites) {
      if (key >= byNumber_.size()) {
        byNumber_.resize(std::clamp<std::size_t>(2 * byNumber_.size(), key + 1, kNumberedSuites));
      }
      std::uint32_t& suite = byNumber_[key];
      if (suite == 0) {
        suite = static_cast<std::uint32_t>(++suites_);
        return kNew;
      }
      return suite - 1 < firstWaiting ? kWrittenOut : suite - 1 - firstWaiting;
    }
    if (2 * (hashed_ + 1) > slots_.size()) Grow();
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = Home(key);; at = (at + 1) & mask) {
      Slot& slot = slots_[at];
      if (slot.suite == kEmpty) {
        slot = {key, static_cast<std::uint32_t>(suites_++)};
        ++hashed_;
        return kNew;
      }
      if (slot.key != key) continue;
      if (slot.suite < firstWaiting) return kWrittenOut;
      if (waiting[slot.suite - firstWaiting].first->Name() == run.Name())
        return slot.suite - firstWaiting;
    }
  }

 private:
  static constexpr std::uint32_t kEmpty = UINT32_MAX;
  struct Slot {
    std::uint64_t key = 0;
    std::uint32_t suite = kEmpty;
  };

  // Where a search for a hashed key starts: by the hash's top bits, below
  // the one that marks it.
  std::size_t Home(std::uint64_t key) const {
    return static_cast<std::size_t>((key << 1) >> shift_);
  }

  void Grow() {
    // A suite's number must fit its slot: a table this big is more memory
    // than any machine has.
    if (slots_.size() > (std::size_t{1} << 30)) throw std::bad_alloc();
    const std::size_t size = std::max<std::size_t>(1024, 2 * slots_.size());
    std::vector<Slot> old = std::exchange(slots_, std::vector<Slot>(size));
    shift_ = 64 - std::countr_zero(size);
    const std::size_t mask = size - 1;
    for (const Slot& slot : old) {
      if (slot.suite == kEmpty) continue;
      std::size_t at = Home(slot.key);
      while (slots_[at].suite != kEmpty) at = (at + 1) & mask;
      slots_[at] = slot;
    }
  }

  std::vector<std::uint32_t> byNumber_;  // a numbered suite's number + 1; 0 for none yet
  std::vector<Slot> slots_;              // the hashed suites
  int shift_ = 64;
  std::size_t hashed_ = 0;
  std::size_t suites_ = 0;  // numbered so far
};

// The file's pieces: stretches of the parts' texts where they lie, and text
// of the file's own; appended to the file about a megabyte at a time, and
// whenever the parts may go.
class XmlPieces {
 public:
  void Add(std::string_view text) { pieces_.AddInPlace(text); }

  // A stretch between texts of the file's own: copied where it is short, as
  // the system takes many small pieces slowly.
  void AddBetween(std::string_view text) {
    if (text.size() >= kShortPiece) return Add(text);
    OwnText() += text;
    OwnTextAdded();
  }

  // Where text of the file's own is appended; call OwnTextAdded() after.
  std::string& OwnText() { return pieces_.OwnText(); }
  void OwnTextAdded() { pieces_.OwnTextAdded(); }

  bool Full() const { return pieces_.Bytes() >= kBatch || pieces_.Count() >= kMostPieces; }

  void AppendTo(filelayer::FileReplacement& file) {
    file.Append(pieces_.Views());
    pieces_.Clear();
  }

 private:
  static constexpr std::size_t kBatch = 1 << 20;
  static constexpr std::size_t kMostPieces = 1024;
  static constexpr std::size_t kShortPiece = 4096;

  PieceList pieces_;
};

// The start of the file up to its first suite: the totals' attributes, and,
// where it was written before they were known, spaces on a line of their
// own up to the size kept for it then.
std::string FileStart(std::string_view title, const JUnitCounts& counts, std::int64_t seconds,
                      std::size_t keptSize) {
  std::string start(kFileStart);
  AppendEscaped(title, true, start);
  AppendCountsClosingTag(counts.cases, counts.failed, seconds, start);
  if (keptSize > start.size()) {
    start.append(keptSize - start.size() - 1, ' ');
    start += '\n';
  }
  return start;
}

}  // namespace

// The parts' runs are joined into suites as the parts end, in log order: a
// run of an iteration seen before joins its suite, and the last case before
// it learns its time. Suites are written out in the order their iterations
// first appear, each once no later run is expected to join it: once it has
// runs after its last. A run that joins a suite written out already sends
// the collector through the log again, holding every suite to the end.
struct JUnitCollector::State {
  State(LogTextDecoder decodeText, std::string name, JUnitFileOpener opener, std::size_t held)
      : decode(std::move(decodeText)),
        logName(std::move(name)),
        openFile(std::move(opener)),
        batch(held) {}

  // Writes out the suites that wait, in order: all of them, or those no
  // later run is expected to join.
  void WriteOut(bool all) {
    if (!file) {
      file = openFile();
      title = TitleOf(head, decode);
      if (title.empty()) title = logName;
      // The totals, unknown until the end, get room for their longest.
      const std::size_t longest =
          FileStart(title, {UINT64_MAX, 0, UINT64_MAX, 0}, INT64_MAX, 0).size();
      const std::string start = all ? FileStart(title, counts, WaitingSeconds(), 0)
                                    : FileStart(title, counts, 0, longest);
      startSize = all ? 0 : start.size();
      pieces.OwnText() += start;
      pieces.OwnTextAdded();
    }
    const Run* const held = all ? nullptr : lastRun;
    std::size_t done = 0;
    for (; done < waiting.size() && waiting[done].last != held; ++done) {
      WriteSuite(waiting[done]);
      writtenSeconds += waiting[done].Seconds();
      if (pieces.Full()) pieces.AppendTo(*file);
    }
    waiting.erase(waiting.begin(), waiting.begin() + static_cast<std::ptrdiff_t>(done));
    firstWaiting += done;
    pieces.AppendTo(*file);
    waitingBytes = 0;
    for (const Suite& suite : waiting) {
      for (const Run* run = suite.first; run; run = run->nextInSuite)
        waitingBytes += run->end - run->begin;
    }
    // The parts whose runs are all written out go, their memory kept for
    // parts to come.
    while (!parts.empty() && parts.front()->runsUnwritten == 0) {
      JUnitPart& part = *parts.front();
      Spare spare{std::move(part.text), std::move(part.runs), std::move(part.suiteKeys)};
      parts.pop_front();
      spare.text.Clear();
      spare.runs.clear();
      spare.suiteKeys.clear();
      const std::lock_guard<std::mutex> lock(spareLock);
      spares.push_back(std::move(spare));
    }
  }

  void WriteSuite(const Suite& suite) {
    for (Run* run = suite.first; run; run = run->nextInSuite) --run->part->runsUnwritten;
    if (suite.first == suite.last) {
      pieces.Add(suite.first->Text(suite.first->begin, suite.first->end));
      return;
    }
    // An iteration in several runs: its own start tag, and each run's cases
    // with the last one's time as the next run gives it.
    std::string& start = pieces.OwnText();
    start += kSuiteStart;
    start += suite.first->Name();
    AppendCountsClosingTag(suite.tests, suite.failures, suite.seconds, start);
    pieces.OwnTextAdded();
    for (const Run* run = suite.first; run; run = run->nextInSuite) {
      pieces.AddBetween(run->CasesBefore());
      AppendNumber(static_cast<std::uint64_t>(run->lastSeconds), pieces.OwnText());
      pieces.OwnTextAdded();
      pieces.AddBetween(run->CasesAfter());
    }
    pieces.OwnText() += kSuiteEnd;
    pieces.OwnTextAdded();
  }

  // Writes out what waits, the file's end, and its start where the totals
  // were not known then, and puts the file in place.
  void Commit() {
    if (writeFailure) std::rethrow_exception(writeFailure);
    const bool startedEarly = static_cast<bool>(file);
    WriteOut(true);
    pieces.OwnText() += kFileEnd;
    pieces.OwnTextAdded();
    pieces.AppendTo(*file);
    if (startedEarly) file->WriteOver(0, FileStart(title, counts, writtenSeconds, startSize));
    file->Commit();
  }

  std::int64_t WaitingSeconds() const {
    std::int64_t seconds = 0;
    for (const Suite& suite : waiting) seconds += suite.Seconds();
    return seconds;
  }

  // Joins the part's runs into their suites; false where one joins a suite
  // written out already.
  // The usual run, of a new suite, is not read here: only its name's key.
  bool Join(JUnitPart& part) {
    constexpr std::size_t kAhead = 8;
    const std::size_t runs = part.runs.size();
    part.runsUnwritten = runs;
    waitingBytes += part.text.size();
    if (runs > 0) lastRun = &part.runs.back();
    for (std::size_t i = 0; i < runs; ++i) {
      if (i + kAhead < runs) suiteOf.Prefetch(part.suiteKeys[i + kAhead]);
      Run& run = part.runs[i];
      const std::size_t found = suiteOf.Find(part.suiteKeys[i], run, waiting, firstWaiting);
      if (found == SuiteTable::kWrittenOut) return false;
      if (found == SuiteTable::kNew) {
        waiting.push_back({&run, &run});
        continue;
      }
      Suite& suite = waiting[found];
      if (suite.first == suite.last) {
        suite.tests = suite.first->tests;
        suite.failures = suite.first->failures;
        suite.seconds = suite.first->seconds;
      }
      Run& before = *suite.last;
      if (before.lastTimeOfDay >= 0 && run.firstTimeOfDay >= 0)
        before.lastSeconds = SecondsUntil(before.lastTimeOfDay, run.firstTimeOfDay);
      before.nextInSuite = &run;
      suite.last = &run;
      suite.tests += run.tests;
      suite.failures += run.failures;
      suite.seconds += before.lastSeconds + run.seconds;
    }
    return true;
  }

  const LogTextDecoder decode;
  const std::string logName;
  const JUnitFileOpener openFile;
  const std::size_t batch;  // how much waits in memory before it is written out

  std::string head;  // up to the end of its <TITLE>, where it has one
  bool titleEnded = false;
  JUnitCounts counts;
  bool holdAll = false;  // the second time through the log
  // Set once a run joined a suite written out already: the parts still to
  // come only count, as the log is read again.
  std::atomic<bool> joinedTooLate{false};

  std::deque<std::unique_ptr<JUnitPart>> parts;  // those with runs not yet written out
  std::vector<Suite> waiting;
  std::size_t firstWaiting = 0;  // the number of the first suite waiting
  std::size_t waitingBytes = 0;
  const Run* lastRun = nullptr;  // the latest, whose suite the next part may go on
  SuiteTable suiteOf;

  std::unique_ptr<filelayer::FileReplacement> file;
  std::string title;
  XmlPieces pieces;
  std::size_t startSize = 0;  // kept for the file's start, where it was written early
  std::int64_t writtenSeconds = 0;
  std::exception_ptr writeFailure;
  std::future<void> committing;  // the commit, where it runs on a thread of its own

  struct Spare {
    PartText text;
    std::vector<Run> runs;
    std::vector<std::uint64_t> suiteKeys;
  };
  std::mutex spareLock;
  std::vector<Spare> spares;
};

JUnitCollector::JUnitCollector(LogTextDecoder decode, std::string logName, JUnitFileOpener openFile,
                               std::size_t batch)
    : state_(std::make_unique<State>(std::move(decode), std::move(logName), std::move(openFile),
                                     batch)) {}

void JUnitCollector::Head(std::string_view bytes) {
  State& state = *state_;
  if (state.titleEnded) return;
  const std::size_t searchFrom = state.head.size() < 6 ? 0 : state.head.size() - 6;
  state.head += bytes;
  state.titleEnded = FindIgnoreCase(state.head, "</title", searchFrom) != kNpos;
}

std::unique_ptr<KeptRowReader::Part> JUnitCollector::StartPart() {
  State& state = *state_;
  State::Spare spare;
  {
    const std::lock_guard<std::mutex> lock(state.spareLock);
    if (!state.spares.empty()) {
      spare = std::move(state.spares.back());
      state.spares.pop_back();
    }
  }
  const bool written = state.openFile && !state.joinedTooLate;
  return std::make_unique<JUnitPart>(state.decode, written, std::move(spare.text),
                                     std::move(spare.runs), std::move(spare.suiteKeys));
}

void JUnitCollector::EndPart(std::unique_ptr<Part> ended) {
  State& state = *state_;
  if (state.joinedTooLate) return;
  // Every part this collector is given back is one it started.
  std::unique_ptr<JUnitPart> part(static_cast<JUnitPart*>(ended.release()));
  state.counts.cases += part->counts.cases;
  state.counts.passed += part->counts.passed;
  state.counts.failed += part->counts.failed;
  state.counts.other += part->counts.other;
  if (!state.openFile || state.writeFailure) return;
  part->EndRun();
  JUnitPart& joined = *part;
  state.parts.push_back(std::move(part));
  if (!state.Join(joined)) {
    state.joinedTooLate = true;
    return;
  }
  if (state.holdAll || state.waitingBytes < state.batch) return;
  // A file that cannot be written fails the JUnit file alone, at the end:
  // the condensed log is written all the same.
  try {
    state.WriteOut(false);
  } catch (const std::exception&) {
    state.writeFailure = std::current_exception();
  }
}

bool JUnitCollector::ReadAgain() {
  State& state = *state_;
  if (!state.joinedTooLate) return false;
  // Everything from the start, the file too, every suite held to the end.
  state_ = std::make_unique<State>(state.decode, state.logName, state.openFile, state.batch);
  state_->holdAll = true;
  return true;
}

void JUnitCollector::StartCommit() {
  State& state = *state_;
  if (!state.openFile || state.committing.valid()) return;
  try {
    state.committing = std::async(std::launch::async, [&state] { state.Commit(); });
  } catch (const std::system_error&) {
    // No thread to spare: Finish commits.
  }
}

JUnitCounts JUnitCollector::Finish() {
  State& state = *state_;
  if (!state.openFile) return state.counts;
  if (state.committing.valid()) {
    state.committing.get();
  } else {
    state.Commit();
  }
  return state.counts;
}

JUnitCollector::~JUnitCollector() {
  // A commit under way ends before the collector goes; its failure, not
  // asked for, with it.
  if (state_->committing.valid()) state_->committing.wait();
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
