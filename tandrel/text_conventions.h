// How numbers travel as text across the library's boundary.
#pragma once

#include <cstdint>

namespace tandrel {

// Writes `value` into `out` as signed decimal text (a minus sign, the digits,
// no padding) with its terminator: at most 12 bytes. Unsigned quantities are
// passed as their signed 32-bit reading.
void WriteDecimal(char* out, std::int32_t value);

// The number at the start of `text`, read as atol does: leading white space
// skipped, an optional sign, decimal digits up to the first other character;
// no digits give 0. Values beyond 32 bits saturate, as strtol's do.
[[nodiscard]] std::int32_t ReadLong(const char* text);

}  // namespace tandrel
