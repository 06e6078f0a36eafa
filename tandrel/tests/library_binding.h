// How the tests reach Tandrel.dll: as a script host does, loading it by name
// and binding each export by its name.
#pragma once

#include <windows.h>

namespace tandrel_test {

template <typename Export>
Export Bind(HMODULE library, const char* name) {
  return reinterpret_cast<Export>(reinterpret_cast<void (*)()>(::GetProcAddress(library, name)));
}

// For the few expectations that hold only for Wine's own answers.
inline bool UnderWine() {
  return ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

}  // namespace tandrel_test
