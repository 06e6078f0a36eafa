// The detail rows a condensed log kept, as the JUnit XML that CI servers
// (Jenkins, GitLab, Azure Pipelines, GitHub Actions) show as test results:
// one suite per iteration, in the order the iterations first appear; one
// case per row, in log order, named after its step; the status cell decides
// whether it passed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace rowsift {

// The log's bytes as UTF-8. What the log's code page cannot map becomes
// U+FFFD.
using LogTextDecoder = std::function<std::string(std::string_view bytes)>;

struct JUnitCounts {
  std::uint64_t cases = 0;  // the kept detail rows
  std::uint64_t passed = 0;
  std::uint64_t failed = 0;
  std::uint64_t other = 0;  // a warning, "Done", an empty status: passed, and said so
};

// Takes the JUnit file's bytes, piece after piece.
using JUnitSink = std::function<void(std::string_view piece)>;

// Writes the JUnit file of the condensed log, well-formed UTF-8 whatever the
// log holds. The suites are named after the log's <TITLE>, or `logName`
// where it has none. The rows are read on `threads` threads.
JUnitCounts WriteJUnit(std::string_view condensedLog, std::string_view logName,
                       const LogTextDecoder& decode, const JUnitSink& write, unsigned threads = 1);

// Only the counts, for a run that writes no JUnit file.
[[nodiscard]] JUnitCounts CountStatuses(std::string_view condensedLog);

// `output` with ".xml" in place of its ".htm" or ".html", in any letter
// case; with ".xml" added to any other name.
[[nodiscard]] std::string JUnitPathFor(const std::string& output);

// Seconds from `from` to `to`, both "h:mm:ss" on a 24-hour clock, going
// forward across midnight; -1 where either is no such time.
[[nodiscard]] long SecondsBetween(std::string_view from, std::string_view to);

}  // namespace rowsift
