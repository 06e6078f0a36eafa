// The library holds no state of its own: loading and unloading do nothing
// beyond the runtime's own initialisation and release.
#include <windows.h>

#include "dll_entry.h"
#include "unloadable_runtime.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) noexcept {
  if (reason == DLL_PROCESS_DETACH) kit::NoteModuleDetach(reserved);
  return TRUE;
}
