// The whole job on a log: the head (everything in front of the first bare
// "<TR>"), every detail row kept, rewritten or dropped by the filter text,
// and the tail (everything after the last "</TR>"), streamed from the log to
// the output in pieces, so that neither is ever held whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "text_search.h"

namespace rowsift {

// The log's bytes, handed out in windows. A log that fits in the address
// space comes as one window; a larger one is read window by window, and a
// row that crosses from one window into the next is read again whole.
class LogSource {
 public:
  virtual ~LogSource() = default;
  virtual std::uint64_t Size() const = 0;
  // The bytes from `offset` on: at least `length` of them (fewer only where
  // the log ends), more where the source has them at hand. Valid until the
  // next call.
  [[nodiscard]] virtual std::string_view Read(std::uint64_t offset, std::size_t length) = 0;
};

// A log in memory, handed out whole or in windows of `window` bytes.
class TextSource final : public LogSource {
 public:
  explicit TextSource(std::string_view text, std::size_t window = std::string_view::npos)
      : text_(text), window_(window) {}
  std::uint64_t Size() const override { return text_.size(); }
  [[nodiscard]] std::string_view Read(std::uint64_t offset, std::size_t length) override;

 private:
  std::string_view text_;
  std::size_t window_;
};

struct FilterCounts {
  std::uint64_t detailRows = 0;
  std::uint64_t keptRows = 0;
};

// The output's next pieces, in order, as if joined: runs of the log's own
// bytes, valid only during the call, and rewritten text.
using ReportWriter = std::function<void(std::span<const std::string_view> pieces)>;

struct FilterCut;

// Reads what the filter keeps as the output holds it, on the filter's own
// pass: the head, then the detail rows kept for the filter text. A log
// filtered on several threads is read in parts at once, one reader part to
// a thread; the parts end in log order.
class KeptRowReader {
 public:
  class Part {
   public:
    virtual ~Part() = default;
    // A kept detail row, from the end of the row before to its "</TR>":
    // the output holds `row` less its bytes [cut.before, cut.after), where
    // cut.indents indents stand instead. `cellEnds`, where the filter found
    // them on its way, are where the row's first "</TD>"s start, up to
    // five. Valid only during the call.
    virtual void Read(std::string_view row, const FilterCut& cut,
                      std::span<const std::size_t> cellEnds) = 0;
  };

  virtual ~KeptRowReader() = default;
  // The head's next bytes, before any part starts; valid only during the call.
  virtual void Head(std::string_view bytes) = 0;
  [[nodiscard]] virtual std::unique_ptr<Part> StartPart() = 0;
  // The part's rows follow those of every part ended before it. Called on
  // one thread at a time.
  virtual void EndPart(std::unique_ptr<Part> part) = 0;
  // Once every part has ended: true to read the head and the rows once
  // more, from the start, for a reader that wrote out too early what the
  // rows that came later change. The output is not written again.
  [[nodiscard]] virtual bool ReadAgain() { return false; }
};

// Filters the log into `write`, about a megabyte at a time, the log's own
// bytes never copied. With more than one thread, a
// log that comes in one window is cut into parts filtered on that many
// threads at once; the output is the same. `kept`, where given, reads the
// kept rows on the way.
FilterCounts FilterReport(LogSource& log, const FilterPattern& filter, const ReportWriter& write,
                          unsigned threads = 1, KeptRowReader* kept = nullptr);

// The same for a log in memory, appended to `output`.
FilterCounts FilterReport(std::string_view input, const FilterPattern& filter, std::string& output);

// The piece count of the cut: the number of "</TR>" after the first bare
// "<TR>", or -1 when the log holds no "<TR>".
std::int64_t CountDetailPieces(LogSource& log);

}  // namespace rowsift
