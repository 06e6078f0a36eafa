// How failures cross the kit's outer boundaries: a COM method answers an
// HRESULT, a plain C export answers its documented failure result, and no C++
// exception ever leaves through either.
#pragma once

#include <new>
#include <utility>

namespace kit {

// Runs `body` and answers its result, or `on_failure` when it throws
// (out of memory, above all). For the body of an exported C function.
template <typename Result, typename Body>
[[nodiscard]] Result CatchReturn(Result onFailure, Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    return onFailure;
  }
}

}  // namespace kit

#ifdef _WIN32
#include <windows.h>

namespace kit {

// Runs a COM method's body: an exception becomes E_OUTOFMEMORY or
// E_UNEXPECTED.
template <typename Body>
[[nodiscard]] HRESULT CatchToHresult(Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace kit

// Answers a failed HRESULT to the caller at once.
#define KIT_RETURN_IF_FAILED(expression)  \
  do {                                    \
    const HRESULT kit_hr_ = (expression); \
    if (FAILED(kit_hr_)) return kit_hr_;  \
  } while (false)
#endif
