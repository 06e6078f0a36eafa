// rowsift-cli: the report filter for nightly pipelines where nobody clicks.
//   rowsift-cli --filter TEXT [--overwrite] [--codepage N] [--junit] [--fail-on-failed]
//               INPUT [OUTPUT]
//   rowsift-cli --filter TEXT [--overwrite] [--codepage N] [--junit] [--fail-on-failed]
//               --each INPUT...
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "file_system.h"

namespace rowsift {

// With --each, the worst of the logs' codes: kFailedRows, for kept rows that
// failed, only where no log had an error, then the errors in this order.
enum ExitCode { kDone = 0, kRefused = 1, kFileFailure = 2, kFailedRows = 3 };

// The code page the logs are written in, as the system running the command
// knows it.
struct LogCodePages {
  // Used unless --codepage names another; 0 for one byte per character.
  unsigned system = 0;
  // The filter text as given in `codePage`'s bytes; nothing when that code
  // page cannot spell it (or the system knows no such code page). Unset
  // where the arguments come as the logs' own bytes, as on Linux; on
  // Windows they come in Unicode.
  std::function<std::optional<std::string>(const std::string& filter, unsigned codePage)> spell;
  // The code page that --codepage's number stands for: the number itself, or
  // the system's own for the pseudo numbers such as 0 (the ANSI code page);
  // nothing when the system knows no such code page. Unset where any number
  // is taken as given.
  std::function<std::optional<unsigned>(unsigned codePage)> resolve;
  // `bytes` of `codePage` as UTF-8, what it cannot map as U+FFFD. Unset
  // where the logs are taken to be UTF-8.
  std::function<std::string(std::string_view bytes, unsigned codePage)> decode;
};

// Runs the command line `args` (without the program name). Messages go to
// `err`, the help text to `out`; paths are as in `args`, which are UTF-8 on
// Windows.
[[nodiscard]] int RunCli(const std::vector<std::string>& args, const filelayer::FileSystem& files,
                         const LogCodePages& codePages, std::ostream& out, std::ostream& err);

}  // namespace rowsift
