#include "parse_run.h"

#include <exception>
#include <initializer_list>
#include <new>
#include <string>
#include <string_view>

#include "report_engine.h"

namespace rowsift {
namespace {

constexpr char kInputNotFound[] =
    "Input File Not Found.  Please make sure the file path name is correct.";
constexpr char kNotHtml[] =
    "File Format Mismatch.  Please select a HTML file ( .htm or .html)";
constexpr char kSameFileQuestion[] =
    "The output file you specify is the same as input file.  "
    "This will override the input file.  Are you sure?";
constexpr char kOutputExistsQuestion[] =
    "Output file already exists.  Would you like to override it?\r\n"
    "\r\n"
    "Please click \r\n"
    "    'Yes' to override the output file and continue the process.  \r\n"
    "    'No' to cancel the process and view the output file.  ";
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

// Each group of progress lines is followed by event processing so that the
// list repaints and the window stays responsive between steps.
void LogProgress(ParseRunHost& host, std::initializer_list<std::string> lines) {
  for (const std::string& line : lines) host.AppendDebugLine(line);
  host.ProcessPendingEvents();
}

RunOutcome ReportFailure(ParseRunHost& host, std::string_view intro, std::string_view reason,
                         RunOutcome outcome) {
  std::string text(intro);
  text += "\r\n";
  text += reason;
  host.ShowMessage(text, MessageIcon::None);
  return outcome;
}

// The checks before anything is read or written; false when the user is told
// why the run stops or chooses to stop it.
bool FilesAccepted(ParseRunHost& host, const filelayer::FileSystem& files) {
  if (!files.FileExists(host.InputPath())) {
    host.ShowMessage(kInputNotFound, MessageIcon::Error);
    host.MoveFocus(Field::InputFile);
    return false;
  }
  if (!HasHtmlExtension(host.InputPath())) {
    host.ShowMessage(kNotHtml, MessageIcon::Error);
    host.MoveFocus(Field::InputFile);
    return false;
  }
  // Plain text comparison on purpose: another spelling of the same file only
  // meets the already-exists question below.
  if (EqualsIgnoreCase(host.OutputPath(), host.InputPath()) &&
      !host.AskYesNo(kSameFileQuestion)) {
    host.MoveFocus(Field::OutputFile);
    return false;
  }
  if (files.FileExists(host.OutputPath()) && !host.AskYesNo(kOutputExistsQuestion)) {
    host.MoveFocus(Field::OutputFile);
    host.OpenWithShell(host.OutputPath());
    return false;
  }
  return true;
}

// From the records to the written file. Nothing here is covered by the parse
// error box; the caller reports a failure as a write failure.
void WriteFilteredReport(ParseRunHost& host, const filelayer::FileSystem& files,
                         const ReportCut& cut, std::size_t inputSize, bool debug) {
  if (debug) {
    LogProgress(host, {"Number of Detail lines = " + std::to_string(cut.pieceCount),
                       host.TimeStamp() + ": Parsing detail lines."});
  }
  const RecordTable table = BuildRecords(cut);

  std::string output;
  output.reserve(inputSize);
  output += cut.head;
  if (debug) LogProgress(host, {host.TimeStamp() + ": Populating output data..."});
  // Read once: no events are processed while the rows are selected, so the
  // text cannot change in between.
  const std::string filter = host.FilterText();
  for (const LogData& record : table.records) AppendSelectedRow(record, filter, output);
  output += cut.tail;

  if (debug) {
    LogProgress(host,
                {host.TimeStamp() + ": Writing to output file " + host.OutputPath() + "..."});
  }
  files.WriteAll(host.OutputPath(), output);
  if (debug) LogProgress(host, {host.TimeStamp() + ": Process completed.", ""});
}

// Everything up to the written file. The report's texts live only in this
// call, so they are released before the success box waits for the user.
RunOutcome CheckReadAndWrite(ParseRunHost& host, const filelayer::FileSystem& files,
                             BusyCursor& cursor) {
  std::string input;
  ReportCut cut;
  const bool debug = host.DebugMode();
  try {
    if (!FilesAccepted(host, files)) return RunOutcome::Refused;
    cursor.Show();
    if (debug) LogProgress(host, {host.TimeStamp() + ": Open Input File " + host.InputPath()});
    input = files.ReadAll(host.InputPath());
    cut = CutReport(input);
  } catch (const std::bad_alloc&) {
    return ReportFailure(host, kParseError, kOutOfMemory, RunOutcome::ReadFailed);
  } catch (const std::exception& failure) {
    return ReportFailure(host, kParseError, failure.what(), RunOutcome::ReadFailed);
  }

  // The file layer replaces the output only once it is completely written, so
  // a failure here leaves the existing output, even the input itself, intact.
  try {
    WriteFilteredReport(host, files, cut, input.size(), debug);
  } catch (const std::bad_alloc&) {
    return ReportFailure(host, kWriteError, kOutOfMemory, RunOutcome::WriteFailed);
  } catch (const std::exception& failure) {
    return ReportFailure(host, kWriteError, failure.what(), RunOutcome::WriteFailed);
  }
  return RunOutcome::Written;
}

}  // namespace

RunOutcome RunParse(ParseRunHost& host, const filelayer::FileSystem& files) {
  BusyCursor cursor(host);
  const RunOutcome outcome = CheckReadAndWrite(host, files, cursor);
  if (outcome == RunOutcome::Written) {
    // The viewer starts only after the user has closed the box.
    host.ShowMessage(kSuccess, MessageIcon::None);
    if (host.OpenOutputWhenDone()) host.OpenWithShell(host.OutputPath());
  }
  return outcome;
}

}  // namespace rowsift
