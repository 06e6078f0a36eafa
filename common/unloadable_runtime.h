// What a DLL built with kit_unloadable (cmake/kit.cmake) tells the thread
// support of its static runtime from its DllMain.
#pragma once

#include <windows.h>

namespace kit {

#if defined(KIT_UNLOADABLE_RUNTIME)
// Called from DllMain on DLL_PROCESS_DETACH with its lpReserved, which is
// not null when the process exits: then the other threads were stopped
// wherever they stood, maybe inside a lock, and the system reclaims
// everything. Only an unload by FreeLibrary releases what the runtime made.
void NoteModuleDetach(LPVOID reserved) noexcept;
#else
// Runtimes that release their own thread state (MSVC's) need not be told.
inline void NoteModuleDetach(LPVOID) noexcept {}
#endif

}  // namespace kit
