#include <iostream>
#include <string>
#include <vector>

#include "cli_app.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const auto files = filelayer::MakePlatformFileSystem();
  return rowsift::RunCli(args, *files, std::cout, std::cerr);
}
