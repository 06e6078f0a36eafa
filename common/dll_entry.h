// The entry point the system calls in each DLL of the kit, declared once
// with the C linkage the loader and every compiler's runtime look for: a
// DllMain left with C++ linkage would be silently replaced by the runtime's
// own empty one under some toolchains.
#pragma once

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) noexcept;
