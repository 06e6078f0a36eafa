// One parse run: what happens when the user presses "Parse" in the window or
// runs rowsift-cli. It checks the chosen files, asks before anything is
// overwritten, streams the input log through the filter into a replacement
// of the output file, and reports.
//
// The checks, the questions and every text the user is told are the run's
// own. Its host hands it the job and shows them: the window in message boxes, with the focus, the
// hourglass and the debug lines; the command line on standard error, with
// an exit code. The run is tested with a recording double.
//
// Paths pass between the run and its host in the platform's own form, as the
// file layer takes them; every other text is UTF-8 (messages, debug lines),
// except the filter text, which is searched for in the log's bytes and so
// comes in the log's code page.
#pragma once

#include <optional>
#include <string>

#include "character_set.h"
#include "file_system.h"
#include "report_filter.h"

namespace rowsift {

enum class Field { kInputFile, kOutputFile, kFilter };
enum class Question { kSameFile, kOutputExists };

// What one run reads and writes, fixed when it starts: what the checks
// approve is what the run reads and writes, whatever the host's texts become
// meanwhile.
struct ParseJob {
  filelayer::Path input;
  filelayer::Path output;
  // Nothing when the log's code page cannot spell the text the user gave:
  // the run is refused then, as no text of the log could match it.
  std::optional<std::string> filter;
  // Time-stamped progress lines go to the host's debug list.
  bool debug = false;
};

class ParseRunHost {
 public:
  virtual ~ParseRunHost() = default;

  // The chosen files are refused before anything is read; `text` says why.
  virtual void Refuse(const std::string& text) = 0;
  // Asked before a file is overwritten; true to go on.
  [[nodiscard]] virtual bool Confirm(Question question, const std::string& text) = 0;
  // The run failed after the checks; the output was left as it was.
  virtual void ReportFailure(const std::string& intro, const std::string& reason) = 0;
  // The output is written.
  virtual void ReportSuccess(const std::string& text, const FilterCounts& counts) = 0;
  // Where a host reads the kept rows on the filter's way; none by default.
  [[nodiscard]] virtual KeptRowReader* KeptRows() { return nullptr; }
  // The log was read whole and every row went through the filter: what was
  // read from it on the way is sound. The output is committed next.
  virtual void LogReadWhole() {}

  // What only a desktop has: the open-when-done option, the focus, the
  // cursor, the debug lines, event processing between the steps, the shell,
  // the clock. A console has none of them, and leaves these as they are.

  // Asked once the output is written: the user may change the option while
  // a debug-mode run processes events.
  [[nodiscard]] virtual bool OpenOutputWhenDone() { return false; }
  virtual void MoveFocus(Field) {}
  virtual void SetBusyCursor(bool) {}
  virtual void AppendDebugLine(const std::string&) {}
  virtual void ProcessPendingEvents() {}
  // Opens the file with the viewer the desktop associates with it; a failure
  // is ignored.
  virtual void OpenWithShell(const filelayer::Path&) {}
  // The current local date and time as the user's locale writes them: short
  // date, a space, long time. Asked only by a run in debug mode.
  [[nodiscard]] virtual std::string TimeStamp() { return {}; }
};

// How a run ended; the user has been told already.
enum class RunOutcome { kWritten, kRefused, kReadFailed, kWriteFailed };

// `characters` are those of the code page the log is written in. The log is
// filtered on `threads` threads at once where it is mapped whole; the window
// keeps to its one.
RunOutcome RunParse(const ParseJob& job, ParseRunHost& host, const filelayer::FileSystem& files,
                    const CharacterSet& characters, unsigned threads);

}  // namespace rowsift
