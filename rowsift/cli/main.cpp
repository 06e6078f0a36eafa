#include <iostream>
#include <string>
#include <vector>

#include "cli_app.h"

#ifdef _WIN32
#include <windows.h>
#endif

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const auto files = filelayer::MakePlatformFileSystem();
#ifdef _WIN32
  const unsigned systemCodePage = ::GetACP();  // the code page logs are written in
#else
  const unsigned systemCodePage = 0;  // no system code page: one byte per character
#endif
  return rowsift::RunCli(args, *files, systemCodePage, std::cout, std::cerr);
}
