// rowsift-cli: the report filter for nightly pipelines where nobody clicks.
//   rowsift-cli --filter TEXT [--overwrite] [--codepage N] INPUT [OUTPUT]
//   rowsift-cli --filter TEXT [--overwrite] [--codepage N] --each INPUT...
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "file_system.h"

namespace rowsift {

// With --each, the worst of the logs' codes: they are in this order.
enum ExitCode { kDone = 0, kRefused = 1, kFileFailure = 2 };

// Runs the command line `args` (without the program name). Messages go to
// `err`, the help text to `out`. Logs are taken to be written in
// `systemCodePage` (0: one byte per character) unless --codepage says
// otherwise.
int RunCli(const std::vector<std::string>& args, const filelayer::FileSystem& files, unsigned systemCodePage,
           std::ostream& out, std::ostream& err);

}  // namespace rowsift
