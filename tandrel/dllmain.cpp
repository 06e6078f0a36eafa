// The library holds no state of its own: loading and unloading do nothing
// beyond the runtime's own initialisation.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) noexcept { return TRUE; }
