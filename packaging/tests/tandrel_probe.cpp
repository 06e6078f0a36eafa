// Loads Tandrel.dll from the folder a package installed it to, as a script
// host binds it, and prints the computer name it answers. Exit code 0 when it
// loaded and answered, 1 otherwise.
#include <windows.h>

#include <cstdio>
#include <string>

#include "library_binding.h"
#include "tandrel.h"
#include "unique_resource.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tandrel_probe FOLDER\n");
    return 1;
  }
  const std::string path = std::string(argv[1]) + "\\Tandrel.dll";
  const kit::unique_hmodule library(::LoadLibraryA(path.c_str()));
  if (!library.valid()) {
    std::printf("%s does not load (%lu)\n", path.c_str(), ::GetLastError());
    return 1;
  }
  const auto getCompName = TANDREL_BIND(library.get(), get_comp_name);
  char name[16] = {};
  if (!getCompName || getCompName(name) != 0) {
    std::printf("get_comp_name failed\n");
    return 1;
  }
  std::printf("computer name: %s\n", name);
  return 0;
}
