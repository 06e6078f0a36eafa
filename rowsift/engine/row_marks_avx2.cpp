// The AVX2 way of marking blocks, in a unit of its own built for AVX2; it
// runs only where the processor has it. It uses nothing but intrinsics and
// plain declarations, so no inline code shared with other units is ever
// built with AVX2 here.
#include <immintrin.h>

#include "row_marks.h"

namespace rowsift {

void MarkBlocksAvx2(const char* text, std::size_t blocks, const AnchorBytes& anchors,
                    std::uint32_t* tags, std::uint32_t* candidates) {
  const __m256i open = _mm256_set1_epi8('<'), close = _mm256_set1_epi8('>');
  const __m256i caseA = _mm256_set1_epi8(static_cast<char>(anchors.caseA));
  const __m256i wantA = _mm256_set1_epi8(static_cast<char>(anchors.wantA));
  const __m256i caseB = _mm256_set1_epi8(static_cast<char>(anchors.caseB));
  const __m256i wantB = _mm256_set1_epi8(static_cast<char>(anchors.wantB));
  for (std::size_t i = 0; i < blocks; ++i) {
    const char* const at = text + 32 * i;
    const auto load = [](const char* p) {
      return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    };
    tags[i] = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_and_si256(
        _mm256_cmpeq_epi8(load(at), open), _mm256_cmpeq_epi8(load(at + 4), close))));
    candidates[i] = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_and_si256(
        _mm256_cmpeq_epi8(_mm256_or_si256(load(at + anchors.offsetA), caseA), wantA),
        _mm256_cmpeq_epi8(_mm256_or_si256(load(at + anchors.offsetB), caseB), wantB))));
  }
}

}  // namespace rowsift
