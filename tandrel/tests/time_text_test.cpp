// The fixed text forms of dates, times of day and drive letters.
#include "time_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace tandrel {
namespace {

constexpr std::uint16_t DosDate(int year, int month, int day) {
  return static_cast<std::uint16_t>(((year - 1980) << 9) | (month << 5) | day);
}
constexpr std::uint16_t DosTime(int hours, int minutes, int seconds) {
  return static_cast<std::uint16_t>((hours << 11) | (minutes << 5) | (seconds / 2));
}

// Each writer's text, checked to end within the caller's documented buffer.
template <typename Write>
std::string Written(std::size_t bufferBytes, Write write) {
  char out[64];
  std::memset(out, 'x', sizeof out);
  write(out);
  EXPECT_LT(std::strlen(out), bufferBytes);
  return out;
}

TEST(DriveLetters, LettersAToNEachWithAComma) {
  int count = -1;
  const auto letters = [&count](std::uint32_t mask) {
    return Written(29, [&](char* out) { count = WriteDriveLetters(out, mask); });
  };
  EXPECT_EQ(letters(0b1101), "A,C,D,");  // B missing
  EXPECT_EQ(count, 3);
  EXPECT_EQ(letters((1u << 2) | (1u << 25)), "C,");  // C and Z: Z is past N
  EXPECT_EQ(count, 1);
  EXPECT_EQ(letters(0), "");
  EXPECT_EQ(count, 0);
  EXPECT_EQ(letters(0xFFFFFFFF), "A,B,C,D,E,F,G,H,I,J,K,L,M,N,");
  EXPECT_EQ(count, 14);
  EXPECT_EQ(letters(1u << 13), "N,");
  EXPECT_EQ(letters(1u << 14), "");  // O
}

TEST(DosDateAndTime, MonthDayYearAndUnpaddedHours) {
  const auto date = [](std::uint16_t word) {
    return Written(11, [&](char* out) { WriteDosDate(out, word); });
  };
  const auto time = [](std::uint16_t word) {
    return Written(9, [&](char* out) { WriteDosTime(out, word); });
  };
  EXPECT_EQ(date(DosDate(2002, 4, 22)), "04/22/2002");
  EXPECT_EQ(date(DosDate(2001, 3, 3)), "03/03/2001");
  EXPECT_EQ(date(DosDate(1980, 1, 1)), "01/01/1980");
  EXPECT_EQ(date(DosDate(2107, 12, 31)), "12/31/2107");
  EXPECT_EQ(time(DosTime(9, 5, 9)), "9:05:08");  // two-second steps
  EXPECT_EQ(time(DosTime(0, 0, 0)), "0:00:00");
  EXPECT_EQ(time(DosTime(23, 59, 59)), "23:59:58");
  EXPECT_EQ(time(0xFFFF), "31:63:62");  // every field at its widest
}

TEST(TimeOfDay, MillisecondsHaveTwoDigitsBelowAHundred) {
  const auto text = [](int h, int m, int s, int ms) {
    return Written(13, [&](char* out) { WriteTimeOfDay(out, h, m, s, ms); });
  };
  EXPECT_EQ(text(9, 5, 7, 5), "09:05:07.05");
  EXPECT_EQ(text(9, 5, 7, 50), "09:05:07.50");
  EXPECT_EQ(text(14, 5, 0, 123), "14:05:00.123");
  EXPECT_EQ(text(23, 59, 59, 999), "23:59:59.999");
  EXPECT_EQ(text(0, 0, 0, 0), "00:00:00.00");
}

TEST(TwelveHourTime, MidnightAndNoonAreTwelve) {
  const auto text = [](int h, int m, int s) {
    std::tm time = {};
    time.tm_hour = h;
    time.tm_min = m;
    time.tm_sec = s;
    return Written(12, [&](char* out) { WriteTwelveHourTime(out, time); });
  };
  EXPECT_EQ(text(0, 30, 0), "12:30:00 AM");
  EXPECT_EQ(text(0, 0, 0), "12:00:00 AM");
  EXPECT_EQ(text(1, 2, 3), "01:02:03 AM");
  EXPECT_EQ(text(11, 59, 59), "11:59:59 AM");
  EXPECT_EQ(text(12, 30, 0), "12:30:00 PM");
  EXPECT_EQ(text(13, 0, 0), "01:00:00 PM");
  EXPECT_EQ(text(15, 4, 5), "03:04:05 PM");
  EXPECT_EQ(text(23, 59, 59), "11:59:59 PM");
}

}  // namespace
}  // namespace tandrel
