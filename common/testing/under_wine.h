// Whether a test runs under Wine, whose ntdll says its version: for the few
// expectations that hold only for Wine's own answers. Header-only, so that
// tests that link no test support (the file layer's) can ask too.
#pragma once

#include <windows.h>

namespace kit::testing {

inline bool UnderWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace kit::testing
