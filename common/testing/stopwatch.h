// Benchmark support: the high-resolution clock, and how long a piece of work
// takes on it.
#pragma once

#include <windows.h>

namespace kit::testing {

// Seconds on the performance counter, from an origin of its own.
inline double Seconds() {
  LARGE_INTEGER now, frequency;
  ::QueryPerformanceCounter(&now);
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

template <typename Work>
double Timed(Work work) {
  const double begun = Seconds();
  work();
  return Seconds() - begun;
}

}  // namespace kit::testing
