#include "parse_run.h"

#include <exception>
#include <initializer_list>
#include <memory>
#include <new>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "output_name.h"

namespace rowsift {
namespace {

constexpr char kInputNotFound[] =
    "Input File Not Found.  Please make sure the file path name is correct.";
constexpr char kNotHtml[] = "File Format Mismatch.  Please select a HTML file ( .htm or .html)";
constexpr char kSameFileQuestion[] =
    "The output file you specify is the same as input file.  "
    "This will override the input file.  Are you sure?";
constexpr char kOutputExistsQuestion[] =
    "Output file already exists.  Would you like to override it?\r\n"
    "\r\n"
    "Please click \r\n"
    "    'Yes' to override the output file and continue the process.  \r\n"
    "    'No' to cancel the process and view the output file.  ";
constexpr char kFilterNotSpelt[] =
    "The filter text cannot be written in the code page of the input file, so no row could "
    "match it.  Please change the filter text.";
constexpr char kParseError[] = "Error parsing the HTML file: ";
constexpr char kWriteError[] = "Error writing the output file: ";
constexpr char kOutOfMemory[] = "Not enough memory to process the input file.";
constexpr char kSuccess[] = "Output File Created Successfully!";

// The hourglass is shown only once the checks have passed, and the normal
// cursor must come back however the run ends.
class BusyCursor {
 public:
  explicit BusyCursor(ParseRunHost& host) : host_(host) {}
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
  ~BusyCursor() {
    if (shown_) host_.SetBusyCursor(false);
  }

  void Show() {
    host_.SetBusyCursor(true);
    shown_ = true;
  }

 private:
  ParseRunHost& host_;
  bool shown_ = false;
};

// A failure to read the log while it streams through: a parse error, as
// every failure to read the input is.
class InputReadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The input file as the filter reads it.
class FileLog final : public LogSource {
 public:
  explicit FileLog(filelayer::InputFile& file) : file_(file) {}
  std::uint64_t Size() const override { return file_.size(); }
  std::string_view Read(std::uint64_t offset, std::size_t length) override {
    try {
      return file_.View(offset, length);
    } catch (const filelayer::FileError& failure) {
      throw InputReadError(failure.what());
    }
  }
  void CheckViewsRead() const {
    try {
      file_.CheckViewsRead();
    } catch (const filelayer::FileError& failure) {
      throw InputReadError(failure.what());
    }
  }

 private:
  filelayer::InputFile& file_;
};

// Each group of progress lines is followed by event processing so that the
// list repaints and the window stays responsive between steps.
void LogProgress(ParseRunHost& host, std::initializer_list<std::string> lines) {
  for (const std::string& line : lines) host.AppendDebugLine(line);
  host.ProcessPendingEvents();
}

RunOutcome Fail(ParseRunHost& host, std::string_view intro, std::string_view reason,
                RunOutcome outcome) {
  host.ReportFailure(std::string(intro), std::string(reason));
  return outcome;
}

// The checks before anything is read or written; false when the user is told
// why the run stops or chooses to stop it.
bool FilesAccepted(ParseRunHost& host, const filelayer::FileSystem& files, const ParseJob& job) {
  if (!files.FileExists(job.input)) {
    host.Refuse(kInputNotFound);
    host.MoveFocus(Field::kInputFile);
    return false;
  }
  if (!HasHtmlExtension(job.input)) {
    host.Refuse(kNotHtml);
    host.MoveFocus(Field::kInputFile);
    return false;
  }
  // Such a filter would keep only the rows kept anyway: the report would
  // lose every other row without a word.
  if (!job.filter) {
    host.Refuse(kFilterNotSpelt);
    host.MoveFocus(Field::kFilter);
    return false;
  }
  // Plain text comparison on purpose: another spelling of the same file only
  // meets the already-exists question below.
  if (filelayer::EqualIgnoringCase(job.output, job.input) &&
      !host.Confirm(Question::kSameFile, kSameFileQuestion)) {
    host.MoveFocus(Field::kOutputFile);
    return false;
  }
  if (files.FileExists(job.output) &&
      !host.Confirm(Question::kOutputExists, kOutputExistsQuestion)) {
    host.MoveFocus(Field::kOutputFile);
    host.OpenWithShell(job.output);
    return false;
  }
  return true;
}

}  // namespace

RunOutcome RunParse(const ParseJob& job, ParseRunHost& host, const filelayer::FileSystem& files,
                    const CharacterSet& characters, unsigned threads) {
  BusyCursor cursor(host);
  std::unique_ptr<filelayer::InputFile> input;
  std::int64_t pieces = -1;
  try {
    if (!FilesAccepted(host, files, job)) return RunOutcome::kRefused;
    cursor.Show();
    if (job.debug)
      LogProgress(host,
                  {host.TimeStamp() + ": Open Input File " + filelayer::Utf8FromPath(job.input)});
    input = files.OpenInput(job.input);
    if (job.debug) {
      FileLog log(*input);
      pieces = CountDetailPieces(log);
    }
  } catch (const std::bad_alloc&) {
    return Fail(host, kParseError, kOutOfMemory, RunOutcome::kReadFailed);
  } catch (const std::exception& failure) {
    return Fail(host, kParseError, failure.what(), RunOutcome::kReadFailed);
  }

  // The log streams from the input through the filter into a temporary file
  // beside the output, which takes the output's place only when complete: a
  // failure leaves the existing output, even the input itself, intact.
  FilterCounts counts;
  try {
    if (job.debug) {
      LogProgress(host, {"Number of Detail lines = " + std::to_string(pieces),
                         host.TimeStamp() + ": Parsing detail lines."});
      LogProgress(host, {host.TimeStamp() + ": Populating output data..."});
      LogProgress(host, {host.TimeStamp() + ": Writing to output file " +
                         filelayer::Utf8FromPath(job.output) + "..."});
    }
    const auto replacement = files.BeginReplace(job.output);
    FileLog log(*input);
    const FilterPattern filter(*job.filter, characters);
    counts = FilterReport(
        log, filter, [&](std::span<const std::string_view> pieces) { replacement->Append(pieces); },
        threads, host.KeptRows());
    log.CheckViewsRead();
    host.LogReadWhole();
    input.reset();  // the output may be the input itself
    replacement->Commit();
    if (job.debug) LogProgress(host, {host.TimeStamp() + ": Process completed.", ""});
  } catch (const InputReadError& failure) {
    return Fail(host, kParseError, failure.what(), RunOutcome::kReadFailed);
  } catch (const std::bad_alloc&) {
    return Fail(host, kWriteError, kOutOfMemory, RunOutcome::kWriteFailed);
  } catch (const std::exception& failure) {
    return Fail(host, kWriteError, failure.what(), RunOutcome::kWriteFailed);
  }

  // The viewer starts only after the user has closed the box.
  host.ReportSuccess(kSuccess, counts);
  if (host.OpenOutputWhenDone()) host.OpenWithShell(job.output);
  return RunOutcome::kWritten;
}

}  // namespace rowsift
