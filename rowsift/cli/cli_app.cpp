#include "cli_app.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <sstream>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "file_system.h"
#include "junit_report.h"
#include "ordered_pool.h"
#include "output_name.h"
#include "parse_run.h"

namespace rowsift {
namespace {

constexpr char kUsage[] =
    "Usage: rowsift-cli --filter TEXT [--overwrite] [--codepage N] [--junit]\n"
    "                   [--fail-on-failed] INPUT [OUTPUT]\n"
    "       rowsift-cli --filter TEXT [--overwrite] [--codepage N] [--junit]\n"
    "                   [--fail-on-failed] --each INPUT...\n"
    "\n"
    "Condenses an HTML test-results log to the rows that mention TEXT.\n"
    "\n"
    "Keeps everything outside the result rows, the heading row (first cell\n"
    "\"Itr#\") and every detail row that contains TEXT, in any letter case.\n"
    "In each kept row the first TEXT is cut out; a digit right behind it\n"
    "becomes that many \"&nbsp\" indents. A row whose step name is TEXT shows\n"
    "a blank step name. All other detail rows are dropped.\n"
    "\n"
    "  --filter TEXT   the text to look for; may be empty (\"\") or hold spaces,\n"
    "                  and is used exactly as given\n"
    "  --overwrite     replace OUTPUT if it exists, or filter INPUT in place\n"
    "                  when OUTPUT names the same file\n"
    "  --codepage N    the code page the logs are written in; under 932, 936,\n"
    "                  949 and 950 TEXT matches whole characters only.\n"
    "                  Default: the system code page on Windows, one byte per\n"
    "                  character elsewhere\n"
    "  INPUT           the results log, an .htm or .html file\n"
    "  OUTPUT          where to write; default: INPUT with \"_Output\" before\n"
    "                  its extension (Run1.htm gives Run1_Output.htm)\n"
    "  --each          every file named is an INPUT, written under its default\n"
    "                  OUTPUT name; the logs are filtered several at a time, and\n"
    "                  a log that fails is named and does not stop the others.\n"
    "                  A log named twice is filtered once. On Windows, * and ?\n"
    "                  in a file name match as dir does (Run*.htm), in name order\n"
    "  --junit         also write the kept detail rows as JUnit XML beside each\n"
    "                  OUTPUT (its name with .xml for .htm or .html): a suite\n"
    "                  per iteration, a case per row named after its step,\n"
    "                  failed where the status is Failed; and say on standard\n"
    "                  error how many kept rows passed, failed or had another\n"
    "                  status\n"
    "  --fail-on-failed  exit with 3 when a kept row of any log failed and\n"
    "                  nothing else went wrong\n"
    "  --help          show this text\n"
    "\n"
    "The output is written completely before it replaces an existing file, so\n"
    "a failure leaves that file as it was.\n"
    "\n"
    "On Windows, file names and TEXT may be in any script. TEXT is looked for\n"
    "as the logs' code page spells it; where that code page cannot spell it,\n"
    "the run is refused and nothing is written.\n"
    "\n"
    "Exit codes: 0 done, 1 refused or wrong usage, 2 read or write failure,\n"
    "3 (with --fail-on-failed) a kept row failed; with --each the worst of all\n"
    "the logs, 3 only where none had another error. On success one line on\n"
    "standard error tells how many detail rows were kept and where the output\n"
    "went.\n"
    "\n"
    "In a pipeline (GitLab CI):\n"
    "  nightly:\n"
    "    script: rowsift-cli --filter Login --overwrite --junit --fail-on-failed\n"
    "            --each results/*.htm\n"
    "    artifacts:\n"
    "      when: always\n"
    "      paths: [results/*_Output.htm]\n"
    "      reports:\n"
    "        junit: results/*_Output.xml\n";

struct Options {
  std::optional<std::string> filter;
  bool overwrite = false;
  bool each = false;
  bool junit = false;
  bool failOnFailed = false;
  bool help = false;
  std::optional<unsigned> codePage;
  std::vector<std::string> paths;
};

std::optional<unsigned> CodePageNumber(std::string_view text) {
  unsigned number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return number;
}

// The options, or an error text for a wrong command line.
std::optional<Options> ParseArguments(const std::vector<std::string>& args, std::string& error) {
  Options options;
  bool optionsEnded = false;
  // An option's value: the next argument, or the text after "=".
  const auto valueOf = [&](std::size_t& i, std::string_view name) -> std::optional<std::string> {
    const std::string& arg = args[i];
    if (arg.size() > name.size()) return arg.substr(name.size() + 1);
    if (i + 1 == args.size()) return std::nullopt;
    return args[++i];
  };
  const auto isOption = [](const std::string& arg, std::string_view name) {
    return arg == name || (arg.size() > name.size() && arg.compare(0, name.size(), name) == 0 &&
                           arg[name.size()] == '=');
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      options.paths.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help" || arg == "-h" || arg == "/?") {
      options.help = true;
    } else if (arg == "--overwrite") {
      options.overwrite = true;
    } else if (arg == "--each") {
      options.each = true;
    } else if (arg == "--junit") {
      options.junit = true;
    } else if (arg == "--fail-on-failed") {
      options.failOnFailed = true;
    } else if (isOption(arg, "--filter")) {
      options.filter = valueOf(i, "--filter");
      if (!options.filter) {
        error = "--filter needs a text (use \"\" for an empty one)";
        return std::nullopt;
      }
    } else if (isOption(arg, "--codepage")) {
      const std::optional<std::string> number = valueOf(i, "--codepage");
      options.codePage = number ? CodePageNumber(*number) : std::nullopt;
      if (!options.codePage) {
        error = "--codepage needs a code page number, such as 932";
        return std::nullopt;
      }
    } else {
      error = "unknown option " + arg;
      return std::nullopt;
    }
  }
  if (options.help) return options;
  if (!options.filter) {
    error = "--filter TEXT is required";
    return std::nullopt;
  }
  if (options.paths.empty()) {
    error = "no input file given";
    return std::nullopt;
  }
  if (!options.each && options.paths.size() > 2) {
    error = "too many file names (give --each to filter several logs)";
    return std::nullopt;
  }
  return options;
}

// How the logs are written, worked out once the options are read.
struct LogSpelling {
  CharacterSet characters;
  std::string filter;     // the filter text in the logs' code page
  LogTextDecoder decode;  // the logs' text as UTF-8
};

// The output name proposed for an input path given on the command line;
// empty when there is none.
std::string ProposedOutput(const std::string& input) {
  const std::optional<filelayer::Path> proposal = ProposeOutputName(filelayer::PathFromUtf8(input));
  return proposal ? filelayer::Utf8FromPath(*proposal) : std::string();
}

// One log through the parse run. Its messages go to `err`, each line after
// `name` when several logs run ("" when one does).
class CommandLineRun final : public ParseRunHost {
 public:
  CommandLineRun(std::string input, std::optional<std::string> output, const Options& options,
                 std::string name, std::ostream& err)
      : input_(std::move(input)),
        output_(output ? *output : ProposedOutput(input_)),
        options_(options),
        name_(std::move(name)),
        err_(err) {}

  int Run(const filelayer::FileSystem& files, const LogSpelling& spelling, unsigned threads) {
    const std::string junit = JUnitPathFor(output_);
    if (options_.junit && !options_.overwrite && files.FileExists(filelayer::PathFromUtf8(junit))) {
      Refuse("the JUnit file " + junit + " already exists; give --overwrite to replace it");
      return kRefused;
    }
    if (options_.junit || options_.failOnFailed) {
      JUnitFileOpener openFile;
      if (options_.junit)
        openFile = [&files, junit] { return files.BeginReplace(filelayer::PathFromUtf8(junit)); };
      collector_.emplace(spelling.decode, input_.substr(input_.find_last_of("/\\") + 1),
                         std::move(openFile));
    }
    const ParseJob job{filelayer::PathFromUtf8(input_), filelayer::PathFromUtf8(output_),
                       spelling.filter};
    switch (RunParse(job, *this, files, spelling.characters, threads)) {
      case RunOutcome::kWritten:
        break;
      case RunOutcome::kRefused:
        return kRefused;
      case RunOutcome::kReadFailed:
        return kFileFailure;
      case RunOutcome::kWriteFailed:
        // The JUnit file went on without the condensed log: say how it ended.
        if (logReadWhole_ && collector_) ReportKeptRows(junit);
        return kFileFailure;
    }
    return collector_ ? ReportKeptRows(junit) : kDone;
  }

  void Refuse(const std::string& text) override {
    err_ << "rowsift-cli: " << name_ << text << '\n';
  }

  // Nobody is there to answer: --overwrite answers Yes for the whole run.
  bool Confirm(Question question, const std::string&) override {
    if (options_.overwrite) return true;
    if (question == Question::kSameFile) {
      Refuse("the output file is the input file; give --overwrite to filter it in place");
    } else {
      Refuse("the output file " + output_ + " already exists; give --overwrite to replace it");
    }
    return false;
  }

  void ReportFailure(const std::string& intro, const std::string& reason) override {
    err_ << name_ << intro << reason << '\n';
  }
  KeptRowReader* KeptRows() override { return collector_ ? &*collector_ : nullptr; }
  // The JUnit file takes its place beside the condensed log, which does not
  // wait for it: each is replaced whole, on its own.
  void LogReadWhole() override {
    logReadWhole_ = true;
    if (collector_) collector_->StartCommit();
  }

  void ReportSuccess(const std::string&, const FilterCounts& counts) override {
    err_ << name_ << "Kept " << counts.keptRows << " of " << counts.detailRows
         << " detail rows; wrote " << output_ << '\n';
  }

 private:
  // The kept rows' statuses on standard error, with --junit once the JUnit
  // file is in place; the exit code they give.
  int ReportKeptRows(const std::string& junit) {
    try {
      const JUnitCounts counts = collector_->Finish();
      err_ << name_ << "Kept rows by status: " << counts.passed << " passed, " << counts.failed
           << " failed, " << counts.other << " other";
      if (options_.junit) err_ << "; wrote " << junit;
      err_ << '\n';
      return options_.failOnFailed && counts.failed > 0 ? kFailedRows : kDone;
    } catch (const std::bad_alloc&) {
      ReportFailure("Error writing the JUnit file: ", "Not enough memory.");
    } catch (const std::exception& failure) {
      ReportFailure("Error writing the JUnit file: ", failure.what());
    }
    return kFileFailure;
  }

  const std::string input_;
  const std::string output_;
  std::optional<JUnitCollector> collector_;
  bool logReadWhole_ = false;
  const Options& options_;
  const std::string name_;
  std::ostream& err_;
};

// Of two logs' codes, the one the command ends with: an error over failed
// rows, the later error over the earlier.
int Worse(int a, int b) {
  const auto rank = [](int code) { return code == kFailedRows ? 1 : code == kDone ? 0 : code + 1; };
  return rank(a) >= rank(b) ? a : b;
}

unsigned Processors() { return std::max(1u, std::thread::hardware_concurrency()); }

// A log of --each: its name as given, and as the platform compares paths.
struct EachLog {
  std::string path;
  std::string key;
};

// The logs of --each: every file once, with each wildcard pattern replaced
// by the files it matches.
std::vector<EachLog> EachInput(const std::vector<std::string>& paths,
                               const filelayer::FileSystem& files) {
  std::vector<EachLog> logs;
  std::unordered_set<std::string> seen;
  for (const std::string& path : paths) {
    for (std::string& input : files.ExpandWildcards(path)) {
      std::string key = filelayer::ComparablePath(input);
      if (seen.insert(key).second) logs.push_back({std::move(input), std::move(key)});
    }
  }
  return logs;
}

// The wave in which each log runs. A log that is another log's output in
// the same call (a rerun over "*.htm" names Run1_Output.htm beside Run1.htm)
// is read only after that output is written: never while it is replaced,
// which on Windows would also fail the replacement. Two logs that would
// write one output run one after the other.
std::vector<std::size_t> Waves(const std::vector<EachLog>& logs) {
  // An output's name is longer than its input's, so a log's producers come
  // before it in this order and their waves are known when it is reached.
  std::vector<std::size_t> order(logs.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return logs[a].key.size() < logs[b].key.size();
  });
  std::unordered_map<std::string_view, std::size_t> logOf;
  for (std::size_t i = 0; i < logs.size(); ++i) logOf.emplace(logs[i].key, i);
  std::unordered_map<std::string, std::size_t> lastWriterOf;
  std::vector<std::size_t> waves(logs.size(), 0);
  for (const std::size_t log : order) {
    const std::string output = ProposedOutput(logs[log].path);
    if (output.empty()) continue;
    const std::string key = filelayer::ComparablePath(output);
    const auto [writer, first] = lastWriterOf.try_emplace(key, log);
    if (!first) {
      waves[log] = std::max(waves[log], waves[writer->second] + 1);
      writer->second = log;
    }
    if (const auto reader = logOf.find(key); reader != logOf.end())
      waves[reader->second] = std::max(waves[reader->second], waves[log] + 1);
  }
  return waves;
}

// Every log into its proposed output name, several at a time. The messages
// of each log come out together, in the order the logs were named.
int RunEach(const Options& options, const LogSpelling& spelling, const filelayer::FileSystem& files,
            std::ostream& err) {
  struct Result {
    std::string messages;
    int code = kDone;
    bool done = false;
  };
  const std::vector<EachLog> inputs = EachInput(options.paths, files);
  const std::vector<std::size_t> waves = Waves(inputs);
  std::vector<Result> results(inputs.size());
  std::size_t printed = 0;
  const std::size_t lastWave = *std::max_element(waves.begin(), waves.end());
  for (std::size_t wave = 0; wave <= lastWave; ++wave) {
    std::vector<std::size_t> logs;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
      if (waves[i] == wave) logs.push_back(i);
    }
    OrderedJobs jobs;
    jobs.count = logs.size();
    jobs.work = [&](std::size_t n) {
      const std::size_t i = logs[n];
      Result& result = results[i];
      try {
        std::ostringstream messages;
        const std::string& input = inputs[i].path;
        result.code = CommandLineRun(input, std::nullopt, options, input + ": ", messages)
                          .Run(files, spelling, 1);
        result.messages = messages.str();
      } catch (const std::exception& failure) {  // out of memory before the run could say so
        result = {inputs[i].path + ": " + failure.what() + "\n", kFileFailure};
      }
    };
    jobs.deliver = [&](std::size_t n) {
      results[logs[n]].done = true;
      for (; printed < results.size() && results[printed].done; ++printed)
        err << results[printed].messages;
      err.flush();
    };
    RunInOrder(jobs, Processors());
  }

  int worst = kDone;
  for (const Result& result : results) worst = Worse(worst, result.code);
  return worst;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, const filelayer::FileSystem& files,
           const LogCodePages& codePages, std::ostream& out, std::ostream& err) {
  std::string usageError;
  const std::optional<Options> options = ParseArguments(args, usageError);
  if (!options) {
    err << "rowsift-cli: " << usageError << "\n\n" << kUsage;
    return kRefused;
  }
  if (options->help) {
    out << kUsage;
    return kDone;
  }
  unsigned codePage = options->codePage.value_or(codePages.system);
  if (options->codePage && codePages.resolve) {
    // A mistyped number must not pass for a code page that spells nothing:
    // that would write a report without a single detail row.
    const std::optional<unsigned> known = codePages.resolve(codePage);
    if (!known) {
      err << "rowsift-cli: this system has no code page " << codePage << "\n";
      return kRefused;
    }
    codePage = *known;
  }
  const std::optional<CharacterSet> characters = CharacterSet::ForCodePage(codePage);
  if (!characters) {
    err << "rowsift-cli: code page " << codePage
        << " is not supported: its characters may take more than two bytes or change with a "
           "shift state\n";
    return kRefused;
  }
  const std::optional<std::string> filterInLogs =
      codePages.spell ? codePages.spell(*options->filter, codePage) : options->filter;
  if (!filterInLogs) {
    // Such a filter would keep only the rows kept anyway: every report would
    // lose its other rows without a word.
    err << "rowsift-cli: code page " << codePage
        << " cannot spell the filter text, so it could match no row; nothing was written\n";
    return kRefused;
  }
  const LogSpelling spelling{
      *characters, *filterInLogs, [&codePages, codePage](std::string_view bytes) {
        return codePages.decode ? codePages.decode(bytes, codePage) : std::string(bytes);
      }};
  if (options->each) return RunEach(*options, spelling, files, err);
  const std::optional<std::string> output =
      options->paths.size() == 2 ? std::optional<std::string>(options->paths[1]) : std::nullopt;
  // One log: its rows on every processor.
  return CommandLineRun(options->paths[0], output, *options, "", err)
      .Run(files, spelling, Processors());
}

}  // namespace rowsift
