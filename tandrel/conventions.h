// What every export of the library has in common: the one way each export is
// declared, and how window handles travel.
#pragma once

#include <windows.h>

#include <cstdint>

#include "text_conventions.h"

// Each export is a plain C function in the caller-cleans convention; the .def
// file gives the undecorated names. Each is also one exception boundary:
// declared noexcept in tandrel.h, its body runs inside kit::CatchReturn with
// the result that reports its failure, so running out of memory (or any
// exception) becomes that result.
#define TANDREL_EXPORT extern "C" int __cdecl
// The two exports that answer a single-precision number.
#define TANDREL_FLOAT_EXPORT extern "C" float __cdecl

namespace tandrel {

// Window handles travel as 32-bit integers both ways: user handles are
// 32-bit significant, also in a 64-bit process.
[[nodiscard]] inline HWND WindowOf(int handle) { return static_cast<HWND>(LongToHandle(handle)); }
[[nodiscard]] inline std::int32_t HandleNumber(HWND window) {
  return static_cast<std::int32_t>(HandleToLong(window));
}

}  // namespace tandrel
