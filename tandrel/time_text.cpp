#include "time_text.h"

#include <cstdio>
#include <cstring>

namespace tandrel {
namespace {

// Room for any field values a caller's record may hold; the result is cut
// to the caller's documented size only when the fields are in range.
constexpr std::size_t kScratchChars = 128;

void CopyOut(char* out, const char* text) { std::memcpy(out, text, std::strlen(text) + 1); }

}  // namespace

int WriteDriveLetters(char* out, std::uint32_t driveMask) {
  constexpr int kLettersListed = 14;  // A to N
  int count = 0;
  for (int letter = 0; letter < kLettersListed; ++letter) {
    if (driveMask & (1u << letter)) {
      *out++ = static_cast<char>('A' + letter);
      *out++ = ',';
      ++count;
    }
  }
  *out = '\0';
  return count;
}

void WriteDosDate(char* out, std::uint16_t dosDate) {
  const int day = dosDate & 0x1F;
  const int month = (dosDate >> 5) & 0x0F;
  const int year = (dosDate >> 9) + 1980;
  char text[kScratchChars];
  std::snprintf(text, sizeof text, "%.2d/%.2d/%d", month, day, year);
  CopyOut(out, text);
}

void WriteDosTime(char* out, std::uint16_t dosTime) {
  const int seconds = (dosTime & 0x1F) * 2;
  const int minutes = (dosTime >> 5) & 0x3F;
  const int hours = dosTime >> 11;
  char text[kScratchChars];
  std::snprintf(text, sizeof text, "%d:%.2d:%.2d", hours, minutes, seconds);
  CopyOut(out, text);
}

void WriteTimeOfDay(char* out, int hours, int minutes, int seconds, int milliseconds) {
  char text[kScratchChars];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%02d", hours, minutes, seconds, milliseconds);
  CopyOut(out, text);
}

void WriteTwelveHourTime(char* out, const std::tm& time) {
  const char* marker = "AM";
  int hours = time.tm_hour;
  if (hours >= 12) {
    marker = "PM";
    hours -= 12;
  }
  if (hours == 0) hours = 12;
  char clock[kScratchChars];
  std::snprintf(clock, sizeof clock, "%.2d:%.2d:%.2d", hours, time.tm_min, time.tm_sec);
  char text[kScratchChars];
  std::snprintf(text, sizeof text, "%.8s %s", clock, marker);
  CopyOut(out, text);
}

}  // namespace tandrel
