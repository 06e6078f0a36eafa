// The library holds no state of its own: loading and unloading do nothing
// beyond the runtime's own initialisation.
#include <windows.h>

#include "conventions.h"

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

namespace tandrel {

HKEY RootKeyFromIndex(int index) {
  static const HKEY kRoots[] = {HKEY_CLASSES_ROOT,  HKEY_CURRENT_USER,    HKEY_LOCAL_MACHINE,
                                HKEY_USERS,         HKEY_PERFORMANCE_DATA, HKEY_CURRENT_CONFIG,
                                HKEY_DYN_DATA};
  return index >= 0 && index < 7 ? kRoots[index] : HKEY_CLASSES_ROOT;
}

}  // namespace tandrel
