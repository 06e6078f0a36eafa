// The detail rows a condensed log kept, as the JUnit XML that CI servers
// (Jenkins, GitLab, Azure Pipelines, GitHub Actions) show as test results:
// one suite per iteration, in the order the iterations first appear; one
// case per row, in log order, named after its step; the status cell decides
// whether it passed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "file_system.h"
#include "log_xml_text.h"
#include "report_filter.h"

namespace rowsift {

struct JUnitCounts {
  std::uint64_t cases = 0;  // the kept detail rows
  std::uint64_t passed = 0;
  std::uint64_t failed = 0;
  std::uint64_t other = 0;  // a warning, "Done", an empty status: passed, and said so
};

// Begins the JUnit file, when there is something to write.
using JUnitFileOpener = std::function<std::unique_ptr<filelayer::FileReplacement>()>;

// Reads the kept rows on the filter's way, each part of the log on the
// filter's thread for it, where its cases are written out as whole suites,
// and joins the suites by iteration as the parts end. Gives the counts,
// and, given `openFile`, writes the JUnit file: well-formed UTF-8 whatever
// the log holds, its suites named after the log's <TITLE>, or `logName`
// where it has none. Suites are written out about every `batch` bytes as
// the parts end, the file's start, which holds the totals, only at the end.
class JUnitCollector final : public KeptRowReader {
 public:
  static constexpr std::size_t kBatch = 1 << 20;

  JUnitCollector(LogTextDecoder decode, std::string logName, JUnitFileOpener openFile = {},
                 std::size_t batch = kBatch);
  ~JUnitCollector() override;
  JUnitCollector(const JUnitCollector&) = delete;
  JUnitCollector& operator=(const JUnitCollector&) = delete;

  void Head(std::string_view bytes) override;
  [[nodiscard]] std::unique_ptr<Part> StartPart() override;
  void EndPart(std::unique_ptr<Part> part) override;
  [[nodiscard]] bool ReadAgain() override;

  // Once every part has ended and the log is known to be read whole:
  // completes the JUnit file and puts it in place on a thread of its own,
  // beside whatever the caller does meanwhile.
  void StartCommit();
  // Once every part has ended: the counts, and the JUnit file, where one is
  // written, completed and in place, committed here unless StartCommit did.
  // Throws what writing the file failed with.
  JUnitCounts Finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// `output` with ".xml" in place of its ".htm" or ".html", in any letter
// case; with ".xml" added to any other name.
[[nodiscard]] std::string JUnitPathFor(const std::string& output);

}  // namespace rowsift
