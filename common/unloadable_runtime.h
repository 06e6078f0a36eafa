// What a DLL built with kit_unloadable (cmake/kit.cmake) tells the thread
// support of its static runtime from its DllMain.
#pragma once

#include <windows.h>

namespace kit {

#if defined(__MINGW32__) && defined(__GNUC__) && !defined(__clang__)
// Called from DllMain on DLL_PROCESS_DETACH with its lpReserved, which is
// not null when the process exits: then the other threads were stopped
// wherever they stood, maybe inside a lock, and the system reclaims
// everything. Only an unload by FreeLibrary releases what the runtime made.
void NoteModuleDetach(LPVOID reserved) noexcept;
#else
// Other runtimes (MSVC's) tell exit from unload themselves.
inline void NoteModuleDetach(LPVOID) noexcept {}
#endif

}  // namespace kit
