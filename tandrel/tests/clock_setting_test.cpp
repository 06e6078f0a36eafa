// The local time records the clock setters hand to the system, seen through a
// recording clock: no real clock is ever changed.
#include "clock_setting.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace tandrel {
namespace {

bool operator==(const LocalTimeRecord& a, const LocalTimeRecord& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day && a.hours == b.hours &&
         a.minutes == b.minutes && a.seconds == b.seconds && a.milliseconds == b.milliseconds;
}

LocalTimeRecord Record(int year, int month, int day, int hours, int minutes, int seconds,
                       int milliseconds) {
  LocalTimeRecord record;
  record.year = static_cast<std::uint16_t>(year);
  record.month = static_cast<std::uint16_t>(month);
  record.dayOfWeek = 3;
  record.day = static_cast<std::uint16_t>(day);
  record.hours = static_cast<std::uint16_t>(hours);
  record.minutes = static_cast<std::uint16_t>(minutes);
  record.seconds = static_cast<std::uint16_t>(seconds);
  record.milliseconds = static_cast<std::uint16_t>(milliseconds);
  return record;
}

// A clock that reads a fixed time and answers each write from a script.
class RecordingClock final : public ClockAccess {
 public:
  explicit RecordingClock(std::vector<bool> answers = {true, true}) : answers_(answers) {}
  LocalTimeRecord Read() override { return now_; }
  bool Write(const LocalTimeRecord& record) override {
    written.push_back(record);
    return written.size() <= answers_.size() && answers_[written.size() - 1];
  }
  std::vector<LocalTimeRecord> written;

 private:
  const LocalTimeRecord now_ = Record(2026, 12, 7, 8, 15, 42, 321);
  const std::vector<bool> answers_;
};

// The runtime's zone for this process only; read at once, as a first use would.
void UseZone(const char* tz) {
#ifdef _WIN32
  _putenv_s("TZ", tz);
  _tzset();
#else
  setenv("TZ", tz, 1);
  tzset();
#endif
}

TEST(ClockSetters, DateAndTimeReplaceOnlyTheirFieldsAndSetOnce) {
  RecordingClock dateClock;
  EXPECT_EQ(SetDate(dateClock, 2, 28, 2002), 0);  // month, day, year
  ASSERT_EQ(dateClock.written.size(), 1u);
  EXPECT_TRUE(dateClock.written[0] == Record(2002, 2, 28, 8, 15, 42, 321));

  RecordingClock timeClock;
  EXPECT_EQ(SetTime(timeClock, 23, 5, 9), 0);
  ASSERT_EQ(timeClock.written.size(), 1u);
  EXPECT_TRUE(timeClock.written[0] == Record(2026, 12, 7, 23, 5, 9, 321));

  // Each field travels as 16 bits.
  RecordingClock wideClock;
  EXPECT_EQ(SetDate(wideClock, 65536 + 3, 65536 + 4, 65536 + 2005), 0);
  EXPECT_TRUE(wideClock.written[0] == Record(2005, 3, 4, 8, 15, 42, 321));
}

TEST(ClockSetters, ARefusalIsReportedAsOne) {
  RecordingClock refusing({false});
  EXPECT_EQ(SetDate(refusing, 2, 30, 2002), 1);
  EXPECT_EQ(refusing.written.size(), 1u);  // asked once, not retried
  RecordingClock refusingTime({false});
  EXPECT_EQ(SetTime(refusingTime, 25, 0, 0), 1);
}

TEST(ClockSetters, SecondsCountSetsTwiceAndAnswersFromTheSecond) {
  UseZone("UTC0");
  RecordingClock clock;
  // 2002-04-22 14:05:09 UTC
  EXPECT_EQ(SetDateAndTime(clock, 1019484309), 0);
  ASSERT_EQ(clock.written.size(), 2u);
  EXPECT_TRUE(clock.written[0] == Record(2002, 4, 22, 14, 5, 9, 321));
  EXPECT_TRUE(clock.written[1] == clock.written[0]);

  RecordingClock secondRefused({true, false});
  EXPECT_EQ(SetDateAndTime(secondRefused, 1019484309), 1);
  RecordingClock firstRefused({false, true});
  EXPECT_EQ(SetDateAndTime(firstRefused, 1019484309), 0);
}

TEST(ClockSetters, SecondsCountIsTurnedIntoLocalTime) {
  UseZone("EST5");
  RecordingClock clock;
  EXPECT_EQ(SetDateAndTime(clock, 0), 0);
  EXPECT_TRUE(clock.written[0] == Record(1969, 12, 31, 19, 0, 0, 321));
  UseZone("UTC0");
}

TEST(ClockSetters, ANegativeCountChangesNothing) {
  RecordingClock clock;
  EXPECT_EQ(SetDateAndTime(clock, -1), 1);
  EXPECT_TRUE(clock.written.empty());
  std::tm local = {};
  EXPECT_FALSE(LocalTimeOf(-1, true, local));
  EXPECT_FALSE(LocalTimeOf(INT32_MIN, false, local));
}

TEST(LocalTime, RefreshReadsTheZoneAgain) {
  UseZone("UTC0");
  std::tm local = {};
  ASSERT_TRUE(LocalTimeOf(0, false, local));
  EXPECT_EQ(local.tm_hour, 0);
#ifdef _WIN32
  _putenv_s("TZ", "EST5");
#else
  setenv("TZ", "EST5", 1);
#endif
  ASSERT_TRUE(LocalTimeOf(0, true, local));
  EXPECT_EQ(local.tm_hour, 19);
  EXPECT_EQ(local.tm_year, 69);
  ASSERT_TRUE(LocalTimeOf(INT32_MAX, true, local));  // the last instant of a 32-bit count
  EXPECT_EQ(local.tm_year + 1900, 2038);

  // A negative count has no local time, yet the zone is read again for the
  // conversions that follow without a refresh.
#ifdef _WIN32
  _putenv_s("TZ", "UTC0");
#else
  setenv("TZ", "UTC0", 1);
#endif
  EXPECT_FALSE(LocalTimeOf(-1, true, local));
  ASSERT_TRUE(LocalTimeOf(0, false, local));
  EXPECT_EQ(local.tm_hour, 0);
  UseZone("UTC0");
}

}  // namespace
}  // namespace tandrel
