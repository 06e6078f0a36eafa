// A host that ends while its second thread is inside a call of Tandrel.dll:
// get_active_mdi_child, whose message box waits for a person.
#include "exit_host.h"

#include <windows.h>

#include "library_binding.h"

int main() {
  HMODULE library = ::LoadLibraryA("Tandrel.dll");
  const decltype(&::get_active_mdi_child) showActiveChild =
      TANDREL_BIND(library, get_active_mdi_child);
  if (!showActiveChild) return 1;
  return kit::testing::ExitWhileInCall([showActiveChild] { showActiveChild(0); }, "#32770");
}
