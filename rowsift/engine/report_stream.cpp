// Streaming the log through the row verdicts, one window of it at a time.
//
// Most rows are decided from one pass over their bytes: it finds where the
// row ends, where its cells close and where the filter first matches. A row
// without a match is dropped unless its first cell keeps it; a row with one
// needs its first and third cell. Both are read straight from the row when
// that gives what the parser would give (ReadLeadingCells); every other row
// takes the parser's way.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <vector>

#include "ordered_pool.h"
#include "piece_list.h"
#include "report_filter.h"
#include "report_rows.h"
#include "row_marks.h"

namespace rowsift {
namespace {

constexpr std::size_t kNpos = std::string_view::npos;
constexpr std::uint64_t kNowhere = UINT64_MAX;  // a position past any log

// Collects the output: runs of the log's own bytes, joined while they follow
// each other, and rewritten text. A long run is handed on where it lies in
// the log; shorter ones are copied beside the rewritten text, since writing
// many small pieces costs the system more than copying them. The buffer is
// kept from one batch to the next, so no fresh memory is touched. Hands the
// pieces on about a megabyte at a time, or, for a part of a log filtered on
// another thread, keeps them for Pass().
class RowOutput {
 public:
  static constexpr std::size_t kBatch = 1 << 20;
  static constexpr std::size_t kLongRun = 16 << 10;

  explicit RowOutput(const ReportWriter& write) : write_(&write) {}
  RowOutput() = default;  // keeps everything for Pass()
  RowOutput(const RowOutput&) = delete;
  RowOutput& operator=(const RowOutput&) = delete;

  void Copy(std::string_view bytes) {
    if (bytes.empty()) return;
    if (bytes.data() != runEnd_) {
      EndRun();
      runBegin_ = bytes.data();
    }
    runEnd_ = bytes.data() + bytes.size();
  }

  // Where rewritten text is appended; call TextAdded() after.
  std::string& Text() {
    EndRun();
    return pieces_.OwnText();
  }
  void TextAdded() {
    pieces_.OwnTextAdded();
    Added();
  }

  // Must be called before the log's window moves: runs point into it.
  void EndRun() {
    if (runBegin_ == runEnd_) return;
    const std::string_view run(runBegin_, static_cast<std::size_t>(runEnd_ - runBegin_));
    runBegin_ = runEnd_ = nullptr;
    if (run.size() < kLongRun) {
      Text().append(run);
      return TextAdded();
    }
    pieces_.AddInPlace(run);
    Added();
  }

  // Hands on what is held; for a log read in windows, before the window moves.
  void Finish() {
    EndRun();
    Flush();
  }

  // Hands on what `part` kept, after what this output holds, and empties
  // `part` for another, its memory kept.
  void Pass(RowOutput& part) {
    Finish();
    part.EndRun();
    part.write_ = write_;
    part.Flush();
    part.write_ = nullptr;
  }

 private:
  void Added() {
    if (write_ && pieces_.Bytes() >= kBatch) Flush();
  }

  void Flush() {
    if (!write_ || pieces_.Count() == 0) return;
    (*write_)(pieces_.Views());
    pieces_.Clear();
  }

  const ReportWriter* write_ = nullptr;
  const char* runBegin_ = nullptr;
  const char* runEnd_ = nullptr;
  PieceList pieces_;  // runs of the log, and the rewritten text and short runs
};

// Filters the complete rows of each window into the output. The rows are
// found from the marks of the whole window (row_marks.h): its three-letter
// tags, looked at one by one (a few to a row), and the places where the
// filter may start.
class RowFilter {
 public:
  RowFilter(const FilterPattern& filter, RowOutput& out, KeptRowReader::Part* kept)
      : filter_(filter),
        out_(out),
        kept_(kept),
        markBlocks_(ChooseMarkBlocks()),
        reach_(std::max(
            {kRowClose.size() - 1, filter.FirstAnchor().offset, filter.SecondAnchor().offset})),
        mayMatchInRowClose_(!filter.Empty() &&
                            std::string_view("/tr>").find(static_cast<char>(FoldAscii(
                                static_cast<unsigned char>(filter.Text()[0])))) != kNpos) {
    const FilterPattern::Anchor& a = filter.FirstAnchor();
    const FilterPattern::Anchor& b = filter.SecondAnchor();
    anchors_ = {a.offset, b.offset, a.caseBit, a.folded, b.caseBit, b.folded};
  }

  // The rows of `text`, which starts where a row starts; returns where the
  // last complete one ends (0 when none is complete).
  std::size_t FilterRows(std::string_view text) {
    CharacterStarts starts(filter_.Characters(), text);
    StartRow(0, starts);
    const char* const bytes = text.data();
    std::size_t p = 0;
    while (p + 32 + reach_ <= text.size()) {
      const std::size_t blocks = std::min(kBlocks, (text.size() - reach_ - p) / 32);
      markBlocks_(bytes + p, blocks, anchors_, tags_, candidates_);
      for (std::size_t i = 0; i < blocks; ++i) {
        const std::size_t base = p + 32 * i;
        const std::uint32_t tags = tags_[i];
        const std::uint32_t candidates = candidates_[i];
        if (candidates == 0) {
          for (std::uint32_t marks = tags; marks != 0; marks &= marks - 1) {
            const std::size_t at = base + static_cast<std::size_t>(std::countr_zero(marks));
            if (ClosesRow(bytes, at)) EndRow(text, at, starts);
          }
          continue;
        }
        // In position order: a match that starts at a row's closing tag
        // belongs to that row.
        for (std::uint32_t marks = tags | candidates; marks != 0; marks &= marks - 1) {
          const int bit = std::countr_zero(marks);
          const std::size_t at = base + static_cast<std::size_t>(bit);
          if ((candidates >> bit) & 1) TryMatch(text, at, starts);
          if (((tags >> bit) & 1) && ClosesRow(bytes, at)) EndRow(text, at, starts);
        }
      }
      p += 32 * blocks;
    }
    for (; p + kRowClose.size() <= text.size(); ++p) {
      TryMatch(text, p, starts);
      if (bytes[p] == '<' && bytes[p + 4] == '>' && ClosesRow(bytes, p)) EndRow(text, p, starts);
    }
    return rowStart_;
  }

  const FilterCounts& Counts() const { return counts_; }

 private:
  static constexpr std::size_t kBlocks = 64;

  void StartRow(std::size_t start, CharacterStarts& starts) {
    rowStart_ = start;
    cellCloses_ = 0;
    match_ = filter_.Empty() ? start : kNpos;
    starts.Restart(start);
  }

  // The first match in the row; positions come in increasing order.
  void TryMatch(std::string_view text, std::size_t at, CharacterStarts& starts) {
    if (match_ == kNpos && at >= rowStart_ && filter_.MatchesAt(text, at) && starts.IsStart(at))
      match_ = at;
  }

  // A three-letter tag "<...>" at `at`: counts a "</TD>", true for "</TR>".
  // Its first four bytes are compared as one word, letters with their case
  // bit set.
  bool ClosesRow(const char* bytes, std::size_t at) {
    const std::uint32_t word = LoadWord(bytes + at) | LoadWord("\0\0\x20\x20");
    if (word == LoadWord("</td")) {
      if (cellCloses_ < kCellEndsKept) cellCloseAt_[cellCloses_] = at;
      ++cellCloses_;
    }
    return word == LoadWord("</tr");
  }

  void EndRow(std::string_view text, std::size_t rowClose, CharacterStarts& starts) {
    const std::size_t end = rowClose + kRowClose.size();
    // A match may start inside the closing tag, behind the marks looked at.
    for (std::size_t at = rowClose + 1; mayMatchInRowClose_ && at < end; ++at)
      TryMatch(text, at, starts);
    const std::size_t match =
        match_ != kNpos && match_ + filter_.size() <= end ? match_ - rowStart_ : kNpos;
    FilterRow(text.substr(rowStart_, end - rowStart_), match);
    StartRow(end, starts);
  }

  void FilterRow(std::string_view row, std::size_t match) {
    ++counts_.detailRows;
    arena_.Clear();
    // Four "</TD>" in the row leave at least four in the parser's copy: the
    // row is a detail row, and its first cell decides.
    if (cellCloses_ >= 4) {
      const std::size_t cellCloses[3] = {cellCloseAt_[0] - rowStart_, cellCloseAt_[1] - rowStart_,
                                         cellCloseAt_[2] - rowStart_};
      const std::optional<LeadingCells> cells =
          ReadLeadingCells(row, cellCloses, match != kNpos, arena_, scratch_);
      if (cells) {
        if (KeptUnconditionally(cells->Itr)) return Keep(row);
        if (match == kNpos) return;  // dropped
        if (!filter_.EqualsIgnoringCase(cells->Name)) return KeepCut(row, match);
      }
    }
    // The parser's way, for every row the quick reading does not cover.
    const LogData record = MakeRecord(row, arena_, scratch_);
    std::string& text = out_.Text();
    const std::size_t rowText = text.size();
    if (AppendSelectedRow(record, filter_, text)) {
      ++counts_.keptRows;
      if (kept_ && !KeptUnconditionally(record.Itr)) {
        const std::size_t size = text.size() - rowText;
        kept_->Read(std::string_view(text).substr(rowText), FilterCut{size, size, 0}, {});
      }
    }
    out_.TextAdded();
  }

  void Keep(std::string_view row) {
    ++counts_.keptRows;
    AppendRowText(row, 0, row.size());
  }

  void KeepCut(std::string_view row, std::size_t match) {
    ++counts_.keptRows;
    const FilterCut cut = CutAtMatch(row, match, filter_.size());
    AppendRowText(row, 0, cut.before);
    if (cut.indents > 0) {
      std::string& text = out_.Text();
      for (int i = 0; i < cut.indents; ++i) text.append(kIndent);
      out_.TextAdded();
    }
    AppendRowText(row, cut.after, row.size());
    if (kept_) {
      std::size_t cellEnds[kCellEndsKept];
      const std::size_t known = std::min<std::size_t>(cellCloses_, kCellEndsKept);
      for (std::size_t i = 0; i < known; ++i) cellEnds[i] = cellCloseAt_[i] - rowStart_;
      kept_->Read(row, cut, std::span<const std::size_t>(cellEnds, known));
    }
  }

  // Bytes [from, to) of the row as its record holds it: closed by "</TR>"
  // in upper case, whatever the log has.
  void AppendRowText(std::string_view row, std::size_t from, std::size_t to) {
    const std::size_t pieceEnd = row.size() - kRowClose.size();
    if (to <= pieceEnd || row.substr(pieceEnd) == kRowClose) {
      out_.Copy(row.substr(from, to - from));
      return;
    }
    if (from < pieceEnd) out_.Copy(row.substr(from, pieceEnd - from));
    const std::size_t tagFrom = std::max(from, pieceEnd) - pieceEnd;
    out_.Text().append(kRowClose.substr(tagFrom, to - pieceEnd - tagFrom));
    out_.TextAdded();
  }

  const FilterPattern& filter_;
  RowOutput& out_;
  KeptRowReader::Part* const kept_;
  const MarkBlocksFunction markBlocks_;
  const std::size_t reach_;  // how far past a block the marking reads
  const bool mayMatchInRowClose_;
  AnchorBytes anchors_;
  std::uint32_t tags_[kBlocks];
  std::uint32_t candidates_[kBlocks];

  std::size_t rowStart_ = 0;
  unsigned cellCloses_ = 0;
  // The first "</TD>"s of the row: three decide it, five go to kept_.
  static constexpr unsigned kCellEndsKept = 5;
  std::size_t cellCloseAt_[kCellEndsKept] = {};
  std::size_t match_ = kNpos;

  FilterCounts counts_;
  TextArena arena_;
  std::string scratch_;
};

// Where `pattern` first occurs at or after `from`, reading window by window;
// kNowhere when the log ends first.
std::uint64_t FindAcross(LogSource& log, std::uint64_t from, std::string_view pattern) {
  const std::uint64_t size = log.Size();
  while (from < size) {
    const std::string_view window = log.Read(from, pattern.size());
    const std::size_t at = FindIgnoreCase(window, pattern);
    if (at != kNpos) return from + at;
    if (window.size() < pattern.size()) return kNowhere;
    from += window.size() - (pattern.size() - 1);  // a match may straddle the windows
  }
  return kNowhere;
}

// The log from `from` to `to` as it is: the head, or a tail that no row
// closes. Only the head is given to `kept`.
void CopyAll(LogSource& log, std::uint64_t from, std::uint64_t to, RowOutput& out,
             KeptRowReader* kept) {
  while (from < to) {
    const std::string_view window = log.Read(from, 1);
    const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(window.size(), to - from));
    out.Copy(window.substr(0, part));
    out.Finish();
    if (kept) kept->Head(window.substr(0, part));
    from += part;
  }
}

// The rows of a log held whole, from `rowsStart` on, cut into parts at row
// ends and filtered on `threads` threads; the parts' outputs go on in order,
// and only a few parts are held at any time.
FilterCounts FilterInParts(std::string_view log, std::size_t rowsStart, const FilterPattern& filter,
                           RowOutput& out, unsigned threads, KeptRowReader* kept) {
  // A few parts to a thread, none larger than a few megabytes.
  const std::size_t partSize =
      std::clamp<std::size_t>((log.size() - rowsStart) / (4 * threads), 256, 4 << 20);
  std::vector<std::size_t> bounds{rowsStart};
  while (bounds.back() < log.size()) {
    const std::size_t close = log.size() - bounds.back() > partSize
                                  ? FindIgnoreCase(log, kRowClose, bounds.back() + partSize)
                                  : kNpos;
    bounds.push_back(close == kNpos ? log.size() : close + kRowClose.size());
  }

  struct Part {
    std::unique_ptr<RowOutput> output;
    std::unique_ptr<KeptRowReader::Part> kept;
    FilterCounts counts;
  };
  std::vector<Part> parts(bounds.size() - 1);
  // Outputs handed on go back here for later parts, their memory kept.
  std::vector<std::unique_ptr<RowOutput>> spare;
  std::mutex spareLock;
  FilterCounts counts;
  OrderedJobs jobs;
  jobs.count = parts.size();
  jobs.ahead = 2 * std::size_t{threads};
  jobs.work = [&](std::size_t i) {
    std::unique_ptr<RowOutput> partOutput;
    {
      const std::lock_guard<std::mutex> lock(spareLock);
      if (!spare.empty()) {
        partOutput = std::move(spare.back());
        spare.pop_back();
      }
    }
    if (!partOutput) partOutput = std::make_unique<RowOutput>();
    std::unique_ptr<KeptRowReader::Part> keptPart = kept ? kept->StartPart() : nullptr;
    RowFilter rows(filter, *partOutput, keptPart.get());
    const std::string_view text = log.substr(bounds[i], bounds[i + 1] - bounds[i]);
    const std::size_t done = rows.FilterRows(text);
    partOutput->Copy(text.substr(done));  // the tail, in the last part
    parts[i] = {std::move(partOutput), std::move(keptPart), rows.Counts()};
  };
  jobs.deliver = [&](std::size_t i) {
    out.Pass(*parts[i].output);
    if (kept) kept->EndPart(std::move(parts[i].kept));
    counts.detailRows += parts[i].counts.detailRows;
    counts.keptRows += parts[i].counts.keptRows;
    const std::lock_guard<std::mutex> lock(spareLock);
    spare.push_back(std::move(parts[i].output));
  };
  RunInOrder(jobs, threads);
  return counts;
}

// The whole filter, from the log's windows into the output.
FilterCounts FilterInto(LogSource& log, const FilterPattern& filter, RowOutput& out,
                        unsigned threads, KeptRowReader* kept) {
  const std::uint64_t size = log.Size();
  const std::uint64_t rowsStart = FindAcross(log, 0, kRowOpen);
  if (rowsStart == kNowhere) {
    // Nothing to filter: the whole log passes through as the head.
    CopyAll(log, 0, size, out, kept);
    out.Finish();
    return {};
  }
  CopyAll(log, 0, rowsStart, out, kept);
  if (threads > 1) {
    const std::string_view whole = log.Read(0, 1);
    if (whole.size() == size) {
      const FilterCounts counts =
          FilterInParts(whole, static_cast<std::size_t>(rowsStart), filter, out, threads, kept);
      out.Finish();
      return counts;
    }
  }

  std::unique_ptr<KeptRowReader::Part> keptPart = kept ? kept->StartPart() : nullptr;
  RowFilter rows(filter, out, keptPart.get());
  std::uint64_t offset = rowsStart;
  std::size_t wanted = kRowClose.size();
  for (;;) {
    const std::string_view window = log.Read(offset, wanted);
    const std::size_t done = rows.FilterRows(window);
    if (offset + window.size() >= size) {
      out.Copy(window.substr(done));  // the tail
      break;
    }
    out.Finish();
    offset += done;
    if (done > 0) {
      wanted = kRowClose.size();
      continue;
    }
    // The row goes on past this window: read it again, whole, once its end
    // is known; without one, the rest of the log is the tail.
    const std::uint64_t rowClose =
        FindAcross(log, offset + window.size() - (kRowClose.size() - 1), kRowClose);
    if (rowClose == kNowhere) {
      CopyAll(log, offset, size, out, nullptr);
      break;
    }
    const std::uint64_t rowSize = rowClose + kRowClose.size() - offset;
    if (rowSize > SIZE_MAX) throw std::bad_alloc();  // a row larger than the address space
    wanted = static_cast<std::size_t>(rowSize);
  }
  out.Finish();
  if (kept) kept->EndPart(std::move(keptPart));
  return rows.Counts();
}

}  // namespace

std::string_view TextSource::Read(std::uint64_t offset, std::size_t length) {
  if (offset >= text_.size()) return {};
  const auto at = static_cast<std::size_t>(offset);
  return text_.substr(at, std::max(length, window_));
}

FilterCounts FilterReport(LogSource& log, const FilterPattern& filter, const ReportWriter& write,
                          unsigned threads, KeptRowReader* kept) {
  RowOutput out(write);
  const FilterCounts counts = FilterInto(log, filter, out, threads, kept);
  if (kept && kept->ReadAgain()) {
    const ReportWriter nowhere = [](std::span<const std::string_view>) {};
    RowOutput unwritten(nowhere);
    FilterInto(log, filter, unwritten, threads, kept);
  }
  return counts;
}

FilterCounts FilterReport(std::string_view input, const FilterPattern& filter,
                          std::string& output) {
  TextSource log(input);
  output.reserve(output.size() + input.size());
  const ReportWriter append = [&](std::span<const std::string_view> pieces) {
    for (const std::string_view piece : pieces) output.append(piece);
  };
  RowOutput out(append);
  return FilterInto(log, filter, out, 1, nullptr);
}

std::int64_t CountDetailPieces(LogSource& log) {
  std::uint64_t at = FindAcross(log, 0, kRowOpen);
  if (at == kNowhere) return -1;
  std::int64_t pieces = 0;
  while ((at = FindAcross(log, at, kRowClose)) != kNowhere) {
    ++pieces;
    at += kRowClose.size();
  }
  return pieces;
}

}  // namespace rowsift
