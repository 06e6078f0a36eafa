// rowsift-cli: the report filter for nightly pipelines where nobody clicks.
//   rowsift-cli --filter TEXT [--overwrite] INPUT [OUTPUT]
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "file_system.h"

namespace rowsift {

enum ExitCode { kDone = 0, kRefused = 1, kFileFailure = 2 };

// Runs the command line `args` (without the program name). Messages go to
// `err`, the help text to `out`.
int RunCli(const std::vector<std::string>& args, const filelayer::FileSystem& files,
           std::ostream& out, std::ostream& err);

}  // namespace rowsift
