// The vector half of the row scan: for blocks of 32 positions, one bit per
// position marks a three-letter tag "<...>" (the closing tags of rows and
// cells are such tags) and another marks where both anchors of the filter
// are in place. The row logic then looks at the marked positions only.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rowsift {

struct AnchorBytes {
  std::size_t offsetA = 0, offsetB = 0;
  unsigned char caseA = 0, wantA = 0, caseB = 0, wantB = 0;
};

// Fills tags[i] and candidates[i] for the block at text + 32 * i, for i below
// `blocks`. Reads the bytes up to 32 * blocks + max(4, offsetA, offsetB).
using MarkBlocksFunction = void (*)(const char* text, std::size_t blocks,
                                    const AnchorBytes& anchors, std::uint32_t* tags,
                                    std::uint32_t* candidates);

// The fastest way this processor has, chosen once.
[[nodiscard]] MarkBlocksFunction ChooseMarkBlocks();

// The marking built for AVX2, in a unit of its own; only for processors
// that have it.
void MarkBlocksAvx2(const char* text, std::size_t blocks, const AnchorBytes& anchors,
                    std::uint32_t* tags, std::uint32_t* candidates);

}  // namespace rowsift
