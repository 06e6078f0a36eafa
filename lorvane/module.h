// Process-wide state of the server: its module handle and the counts that
// decide whether COM may unload it.
#pragma once

#include <windows.h>

namespace lorvane {

[[nodiscard]] HINSTANCE Module();
void ObjectCreated();
void ObjectDestroyed();
// A lock keeps the server loaded while no object lives: LockServer, a held
// class factory, a thread's stored selection.
void LockModule(bool lock);
[[nodiscard]] bool ModuleInUse();

}  // namespace lorvane
