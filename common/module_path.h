// Where a module's file lies.
#pragma once

#include <windows.h>

#include <string>

namespace kit {

// The full path of the module's file (nullptr: the program's), however
// long; the empty text when the system cannot tell.
[[nodiscard]] inline std::wstring ModulePath(HMODULE module) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    // A path that filled the buffer may have been cut short.
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

}  // namespace kit
