#include <iostream>
#include <string>
#include <vector>

#include "cli_app.h"

#ifdef _WIN32
#include <windows.h>
#endif

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
#ifdef _WIN32
  // The arguments arrive in the system code page, as the logs are written.
  const auto files = filelayer::MakeSystemCodePageFileSystem();
  const unsigned systemCodePage = ::GetACP();
#else
  const auto files = filelayer::MakePlatformFileSystem();
  const unsigned systemCodePage = 0;  // no system code page: one byte per character
#endif
  return rowsift::RunCli(args, *files, systemCodePage, std::cout, std::cerr);
}
