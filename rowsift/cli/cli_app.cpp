#include "cli_app.h"

#include <memory>
#include <new>
#include <optional>
#include <string_view>

#include "report_engine.h"

namespace rowsift {
namespace {

constexpr char kUsage[] =
    "Usage: rowsift-cli --filter TEXT [--overwrite] INPUT [OUTPUT]\n"
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
    "  INPUT           the results log, an .htm or .html file\n"
    "  OUTPUT          where to write; default: INPUT with \"_Output\" before\n"
    "                  its extension (Run1.htm gives Run1_Output.htm)\n"
    "  --help          show this text\n"
    "\n"
    "The output is written completely before it replaces an existing file, so\n"
    "a failure leaves that file as it was.\n"
    "\n"
    "Exit codes: 0 done, 1 refused or wrong usage, 2 read or write failure.\n"
    "On success one line on standard error tells how many detail rows were\n"
    "kept and where the output went.\n";

struct Options {
  std::optional<std::string> filter;
  bool overwrite = false;
  bool help = false;
  std::vector<std::string> paths;
};

// The options, or an error text for a wrong command line.
std::optional<Options> ParseArguments(const std::vector<std::string>& args, std::string& error) {
  Options options;
  bool optionsEnded = false;
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
    } else if (arg == "--filter") {
      if (i + 1 == args.size()) {
        error = "--filter needs a text (use \"\" for an empty one)";
        return std::nullopt;
      }
      options.filter = args[++i];
    } else if (arg.rfind("--filter=", 0) == 0) {
      options.filter = arg.substr(9);
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
  if (options.paths.empty() || options.paths.size() > 2) {
    error = options.paths.empty() ? "no input file given" : "too many file names";
    return std::nullopt;
  }
  return options;
}

int Refuse(std::ostream& err, std::string_view message) {
  err << "rowsift-cli: " << message << '\n';
  return kRefused;
}

int Fail(std::ostream& err, std::string_view intro, std::string_view reason) {
  err << intro << reason << '\n';
  return kFileFailure;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, const filelayer::FileSystem& files,
           std::ostream& out, std::ostream& err) {
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

  const std::string& input = options->paths[0];
  if (!files.FileExists(input))
    return Refuse(err, "Input File Not Found.  Please make sure the file path name is correct.");
  if (!HasHtmlExtension(input))
    return Refuse(err, "File Format Mismatch.  Please select a HTML file ( .htm or .html)");

  const std::string output = options->paths.size() == 2 ? options->paths[1] : *ProposeOutputName(input);
  if (!options->overwrite) {
    // The same comparison as the window's: a path differing only in letter
    // case names the same file on Windows.
    if (EqualsIgnoreCase(output, input))
      return Refuse(err, "the output file is the input file; give --overwrite to filter it in place");
    if (files.FileExists(output))
      return Refuse(err, "the output file " + output + " already exists; give --overwrite to replace it");
  }

  std::unique_ptr<filelayer::InputFile> report;
  try {
    report = files.OpenInput(input);
  } catch (const filelayer::FileError& failure) {
    return Fail(err, "Error parsing the HTML file: ", failure.what());
  }

  // The log streams from the input through the engine into a temporary file
  // beside the output, which takes the output's place only when complete.
  try {
    const auto replacement = files.BeginReplace(output);
    const FilterCounts counts = FilterReport(report->bytes(), *options->filter,
                                             [&](std::string_view piece) { replacement->Append(piece); });
    report.reset();  // the output may be the input itself
    replacement->Commit();
    err << "Kept " << counts.keptRows << " of " << counts.detailRows << " detail rows; wrote "
        << output << '\n';
  } catch (const std::bad_alloc&) {
    return Fail(err, "Error writing the output file: ", "Not enough memory to process the input file.");
  } catch (const filelayer::FileError& failure) {
    return Fail(err, "Error writing the output file: ", failure.what());
  }
  return kDone;
}

}  // namespace rowsift
