#include <iostream>
#include <string>
#include <vector>

#include "cli_app.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
#ifdef _WIN32
  // The arguments arrive in the system code page.
  const auto files = filelayer::MakeSystemCodePageFileSystem();
#else
  const auto files = filelayer::MakePlatformFileSystem();
#endif
  return rowsift::RunCli(args, *files, std::cout, std::cerr);
}
