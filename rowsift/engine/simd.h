// SSE2 where the target has it (every x86-64, and 32-bit builds made with
// SSE2); plain loops elsewhere give the same results.
#pragma once

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define ROWSIFT_SSE2 1
#else
#define ROWSIFT_SSE2 0
#endif

#if ROWSIFT_SSE2
namespace rowsift::simd {

inline __m128i Load(const char* at) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}
inline __m128i Splat(unsigned char byte) { return _mm_set1_epi8(static_cast<char>(byte)); }
inline unsigned Mask(__m128i lanes) { return static_cast<unsigned>(_mm_movemask_epi8(lanes)); }

}  // namespace rowsift::simd
#endif
