// How the tests reach Tandrel.dll: as a script host does, loading it by name
// and binding each export by its name.
#pragma once

#include <windows.h>

#include "tandrel.h"

// The export `name` of the loaded library, typed as tandrel.h declares it, so
// that neither its name nor its signature can drift from the header.
#define TANDREL_BIND(library, name) ::tandrel_test::Bind<decltype(&::name)>((library), #name)

namespace tandrel_test {

template <typename Export>
Export Bind(HMODULE library, const char* name) {
  return reinterpret_cast<Export>(reinterpret_cast<void (*)()>(::GetProcAddress(library, name)));
}

}  // namespace tandrel_test
