// The fixed text forms in which the library hands out dates, times of day and
// drive letters. Platform-free, so every form is checked without a clock.
#pragma once

#include <cstdint>
#include <ctime>

namespace tandrel {

// The letters A to N whose bits are set in a drive mask (bit 0 for A), each
// followed by a comma: at most 28 characters and the terminator. Drives O to
// Z are never listed. Returns the number of letters written.
int WriteDriveLetters(char* out, std::uint32_t driveMask);

// A DOS date word as month/day/year, "04/22/2002": at most 10 characters and
// the terminator.
void WriteDosDate(char* out, std::uint16_t dosDate);

// A DOS time word as hours:minutes:seconds, "9:05:08": hours without a
// leading zero, seconds always even. At most 8 characters and the terminator.
void WriteDosTime(char* out, std::uint16_t dosTime);

// A time of day with milliseconds, "09:05:07.05": every field at least two
// digits, so milliseconds below 100 have two and from 100 on three. At most 12
// characters and the terminator.
void WriteTimeOfDay(char* out, int hours, int minutes, int seconds, int milliseconds);

// A broken-down time's time of day on a 12-hour clock, "03:04:05 PM": hours
// 01 to 12, then AM or PM. 11 characters and the terminator.
void WriteTwelveHourTime(char* out, const std::tm& time);

}  // namespace tandrel
