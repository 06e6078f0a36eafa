#include "row_marks.h"

#include "simd.h"

#if ROWSIFT_AVX2_UNIT && defined(_MSC_VER)
#include <intrin.h>
#endif

namespace rowsift {

namespace {

void MarkBlocksPortable(const char* text, std::size_t blocks, const AnchorBytes& anchors,
                        std::uint32_t* tags, std::uint32_t* candidates) {
#if ROWSIFT_SSE2
  const __m128i open = simd::Splat('<'), close = simd::Splat('>');
  const __m128i caseA = simd::Splat(anchors.caseA), wantA = simd::Splat(anchors.wantA);
  const __m128i caseB = simd::Splat(anchors.caseB), wantB = simd::Splat(anchors.wantB);
  const auto mark = [&](const char* at, unsigned& tag, unsigned& candidate) {
    tag = simd::Mask(_mm_and_si128(_mm_cmpeq_epi8(simd::Load(at), open),
                                   _mm_cmpeq_epi8(simd::Load(at + 4), close)));
    candidate = simd::Mask(_mm_and_si128(
        _mm_cmpeq_epi8(_mm_or_si128(simd::Load(at + anchors.offsetA), caseA), wantA),
        _mm_cmpeq_epi8(_mm_or_si128(simd::Load(at + anchors.offsetB), caseB), wantB)));
  };
  for (std::size_t i = 0; i < blocks; ++i) {
    unsigned lowTags, lowCandidates, highTags, highCandidates;
    mark(text + 32 * i, lowTags, lowCandidates);
    mark(text + 32 * i + 16, highTags, highCandidates);
    tags[i] = lowTags | (highTags << 16);
    candidates[i] = lowCandidates | (highCandidates << 16);
  }
#else
  const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
  for (std::size_t i = 0; i < blocks; ++i) {
    std::uint32_t tag = 0, candidate = 0;
    for (std::size_t bit = 0; bit < 32; ++bit) {
      const std::size_t at = 32 * i + bit;
      if (byte(at) == '<' && byte(at + 4) == '>') tag |= std::uint32_t{1} << bit;
      if ((byte(at + anchors.offsetA) | anchors.caseA) == anchors.wantA &&
          (byte(at + anchors.offsetB) | anchors.caseB) == anchors.wantB)
        candidate |= std::uint32_t{1} << bit;
    }
    tags[i] = tag;
    candidates[i] = candidate;
  }
#endif
}

#if ROWSIFT_AVX2_UNIT
bool HasAvx2() {
#if defined(_MSC_VER)
  int info[4];
  __cpuid(info, 0);
  if (info[0] < 7) return false;
  __cpuid(info, 1);
  const bool osSavesVectors = (info[2] & (1 << 27)) != 0 && (info[2] & (1 << 28)) != 0;
  if (!osSavesVectors || (_xgetbv(0) & 6) != 6) return false;
  __cpuidex(info, 7, 0);
  return (info[1] & (1 << 5)) != 0;
#else
  return __builtin_cpu_supports("avx2");
#endif
}
#endif

}  // namespace

MarkBlocksFunction ChooseMarkBlocks() {
#if ROWSIFT_AVX2_UNIT
  static const MarkBlocksFunction kChosen = HasAvx2() ? MarkBlocksAvx2 : MarkBlocksPortable;
  return kChosen;
#else
  return MarkBlocksPortable;
#endif
}

}  // namespace rowsift
