// The detail rows a condensed log kept, as the JUnit XML that CI servers
// (Jenkins, GitLab, Azure Pipelines, GitHub Actions) show as test results:
// one suite per iteration, in the order the iterations first appear; one
// case per row, in log order, named after its step; the status cell decides
// whether it passed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
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

// Reads a condensed log as it is written, parsing its rows on a thread of
// its own meanwhile, and at the end gives their counts and writes the JUnit
// file: well-formed UTF-8 whatever the log holds, its suites named after the
// log's <TITLE>, or the log's file name where it has none.
class JUnitCollector {
 public:
  explicit JUnitCollector(LogTextDecoder decode);
  ~JUnitCollector();
  JUnitCollector(JUnitCollector&&) noexcept;
  JUnitCollector(const JUnitCollector&) = delete;
  JUnitCollector& operator=(const JUnitCollector&) = delete;

  // The log's next bytes, in order; from one thread at a time.
  void Add(std::string_view bytes);
  // Once every byte is added: the counts, and the JUnit file into `write`
  // where one is given.
  JUnitCounts Finish(std::string_view logName, const JUnitSink* write);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The JUnit file of a condensed log held whole.
JUnitCounts WriteJUnit(std::string_view condensedLog, std::string_view logName,
                       const LogTextDecoder& decode, const JUnitSink& write);

// `output` with ".xml" in place of its ".htm" or ".html", in any letter
// case; with ".xml" added to any other name.
[[nodiscard]] std::string JUnitPathFor(const std::string& output);

}  // namespace rowsift
