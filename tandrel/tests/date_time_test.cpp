// The date, time and locale family as a script host sees it. The suite runs
// with TZ=IST-5:30 (UTC+5:30, no daylight saving) for the system and the
// runtime alike. No call here can change the real clock: the setters are
// given invalid fields, or under Wine the current time (which Wine accepts
// and ignores).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "library_binding.h"
#include "under_wine.h"
#include "unique_resource.h"

namespace {

using kit::testing::UnderWine;

constexpr int kZoneOffsetSeconds = 5 * 3600 + 30 * 60;
constexpr int kMidnightUtc = 1019433600;  // 2002-04-22 00:00:00 UTC

int MillisecondsOfDay(const SYSTEMTIME& t) {
  return ((t.wHour * 60 + t.wMinute) * 60 + t.wSecond) * 1000 + t.wMilliseconds;
}

bool SameDay(const SYSTEMTIME& a, const SYSTEMTIME& b) {
  return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay;
}

// Runs `call` between two readings of the local clock until both readings
// fall on the same day, so the answer can be bracketed.
template <typename Call>
void Bracketed(Call call, SYSTEMTIME& before, SYSTEMTIME& after) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    ::GetLocalTime(&before);
    call();
    ::GetLocalTime(&after);
    if (SameDay(before, after)) return;
  }
  FAIL() << "the day changed during every attempt";
}

void UseRuntimeZone(const char* tz) {
  _putenv_s("TZ", tz);
  ::SetEnvironmentVariableA("TZ", tz);
}

class DateTime : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dateLong_ && localTime_ && timeInMs_ && dowString_ && gmtToLocal_ && setDate_ &&
                setTime_ && setTimeDate_ && shortPicture_ && longPicture_);
  }

  const kit::unique_hmodule library_{::LoadLibraryA("Tandrel.dll")};
  const decltype(&::get_date_long) dateLong_ = TANDREL_BIND(library_.get(), get_date_long);
  const decltype(&::get_local_time) localTime_ = TANDREL_BIND(library_.get(), get_local_time);
  const decltype(&::get_time_in_ms) timeInMs_ = TANDREL_BIND(library_.get(), get_time_in_ms);
  const decltype(&::get_dow_string) dowString_ = TANDREL_BIND(library_.get(), get_dow_string);
  const decltype(&::GmtToLocalTime) gmtToLocal_ = TANDREL_BIND(library_.get(), GmtToLocalTime);
  const decltype(&::set_sys_date) setDate_ = TANDREL_BIND(library_.get(), set_sys_date);
  const decltype(&::set_sys_time) setTime_ = TANDREL_BIND(library_.get(), set_sys_time);
  const decltype(&::set_sys_time_date) setTimeDate_ =
      TANDREL_BIND(library_.get(), set_sys_time_date);
  const decltype(&::set_locale_shortdate_format) shortPicture_ =
      TANDREL_BIND(library_.get(), set_locale_shortdate_format);
  const decltype(&::set_locale_longdate_format) longPicture_ =
      TANDREL_BIND(library_.get(), set_locale_longdate_format);
};

TEST_F(DateTime, TodayAndTimeOfDayMatchTheClock) {
  char date[32];
  std::memset(date, 'x', sizeof date);
  int result = 0;
  SYSTEMTIME before, after;
  Bracketed([&] { result = dateLong_(date); }, before, after);
  EXPECT_EQ(result, 1);
  char expected[32];
  std::snprintf(expected, sizeof expected, "%02d/%02d/%04d", before.wMonth, before.wDay,
                before.wYear);
  EXPECT_STREQ(date, expected);

  char time[32];
  std::memset(time, 'x', sizeof time);
  Bracketed([&] { result = localTime_(time); }, before, after);
  int hours, minutes, seconds;
  char milliseconds[8] = "";
  ASSERT_EQ(std::sscanf(time, "%2d:%2d:%2d.%7s", &hours, &minutes, &seconds, milliseconds), 4)
      << time;
  EXPECT_EQ(std::strlen(time), 9 + std::strlen(milliseconds));
  EXPECT_EQ(std::strlen(milliseconds), std::atoi(milliseconds) < 100 ? 2u : 3u) << time;
  EXPECT_EQ(result, hours * 100 + minutes);
  const int read = ((hours * 60 + minutes) * 60 + seconds) * 1000 + std::atoi(milliseconds);
  EXPECT_GE(read, MillisecondsOfDay(before));
  EXPECT_LE(read, MillisecondsOfDay(after));

  int sinceMidnight = -1;
  Bracketed([&] { result = timeInMs_(&sinceMidnight); }, before, after);
  EXPECT_GE(sinceMidnight, MillisecondsOfDay(before));
  EXPECT_LE(sinceMidnight, MillisecondsOfDay(after));
  EXPECT_EQ(result, before.wDayOfWeek);

  char day[8];
  std::memset(day, 'x', sizeof day);
  Bracketed([&] { result = dowString_(day); }, before, after);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(day, std::to_string(before.wDayOfWeek));
}

TEST_F(DateTime, GmtToLocalTimeIsATwelveHourClockInTheLocalZone) {
  const auto localTimeOf = [this](int seconds) {
    char out[32];
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(gmtToLocal_(seconds, out), 0);
    EXPECT_LT(std::strlen(out), 12u);
    return std::string(out);
  };
  // Each instant given as its local time of day.
  const auto atLocal = [](int h, int m, int s) {
    return kMidnightUtc + (h * 60 + m) * 60 + s - kZoneOffsetSeconds;
  };
  EXPECT_EQ(localTimeOf(atLocal(0, 30, 0)), "12:30:00 AM");
  EXPECT_EQ(localTimeOf(atLocal(11, 59, 59)), "11:59:59 AM");
  EXPECT_EQ(localTimeOf(atLocal(12, 30, 0)), "12:30:00 PM");
  EXPECT_EQ(localTimeOf(atLocal(13, 0, 0)), "01:00:00 PM");
  EXPECT_EQ(localTimeOf(0), "05:30:00 AM");
  EXPECT_EQ(localTimeOf(-1), "") << "no local time before 1970";

  // The zone is read again on every call.
  UseRuntimeZone("UTC0");
  EXPECT_EQ(localTimeOf(0), "12:00:00 AM");
  UseRuntimeZone("IST-5:30");
  EXPECT_EQ(localTimeOf(0), "05:30:00 AM");
}

TEST_F(DateTime, InvalidFieldsAreRefusedAndChangeNothing) {
  SYSTEMTIME before, after;
  ::GetLocalTime(&before);
  EXPECT_EQ(setDate_(2, 30, 2002), 1);  // month, day, year
  EXPECT_EQ(setDate_(13, 1, 2002), 1);
  EXPECT_EQ(setTime_(24, 0, 0), 1);
  EXPECT_EQ(setTime_(12, 60, 0), 1);
  EXPECT_EQ(setTimeDate_(-1), 1);
  EXPECT_EQ(setTimeDate_(INT32_MIN), 1);
  ::GetLocalTime(&after);
  EXPECT_EQ(after.wYear, before.wYear);
  EXPECT_LT(MillisecondsOfDay(after) - MillisecondsOfDay(before), 60000);
}

// Wine accepts a setting within half a second of the real time and changes
// nothing; anything further it refuses. On Windows these calls would set the
// clock, so they run under Wine only.
TEST_F(DateTime, SettersBuildTheCurrentLocalTimeFromTheirFields) {
  if (!UnderWine()) GTEST_SKIP() << "would set the real clock";
  // A second may turn between reading the fields and the call: retry.
  const auto eventuallyZero = [](auto call) {
    for (int attempt = 0; attempt < 5; ++attempt)
      if (call() == 0) return true;
    return false;
  };
  EXPECT_TRUE(eventuallyZero([this] {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return setTime_(now.wHour, now.wMinute, now.wSecond);
  }));
  EXPECT_TRUE(eventuallyZero([this] {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return setDate_(now.wMonth, now.wDay, now.wYear);
  }));
  // The seconds count goes through the local zone (5:30 from UTC here); a
  // record left in UTC would be hours away and refused.
  EXPECT_TRUE(
      eventuallyZero([this] { return setTimeDate_(static_cast<int>(std::time(nullptr))); }));
  // A time an hour away is a real change, which Wine refuses.
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  EXPECT_EQ(setTime_((now.wHour + 1) % 24, now.wMinute, now.wSecond), 1);
}

class DatePictures : public DateTime {
 protected:
  void SetUp() override {
    DateTime::SetUp();
    ::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, short_, sizeof short_);
    ::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SLONGDATE, long_, sizeof long_);
  }
  void TearDown() override {
    ::SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, short_);
    ::SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SLONGDATE, long_);
  }
  static std::string Picture(LCTYPE item) {
    char text[256] = "";
    ::GetLocaleInfoA(LOCALE_USER_DEFAULT, item, text, sizeof text);
    return text;
  }

 private:
  char short_[256] = "";
  char long_[256] = "";
};

TEST_F(DatePictures, AreStoredForTheUserAndLeaveGetDateLongAlone) {
  EXPECT_EQ(shortPicture_("yyyy-MM-dd"), 0);
  EXPECT_EQ(Picture(LOCALE_SSHORTDATE), "yyyy-MM-dd");
  EXPECT_EQ(longPicture_("dddd, d. MMMM yyyy"), 0);
  EXPECT_EQ(Picture(LOCALE_SLONGDATE), "dddd, d. MMMM yyyy");
  EXPECT_EQ(Picture(LOCALE_SSHORTDATE), "yyyy-MM-dd");

  char date[11];
  dateLong_(date);
  EXPECT_EQ(date[2], '/');
  EXPECT_EQ(date[5], '/');
  EXPECT_EQ(std::strlen(date), 10u);
}

TEST_F(DatePictures, ARejectedPictureChangesNothing) {
  ASSERT_EQ(shortPicture_("dd/MM/yyyy"), 0);
  // Windows takes at most 80 characters for a date picture; Wine takes more.
  const std::string tooLong(200, 'd');
  EXPECT_EQ(shortPicture_(tooLong.c_str()), 0);
  EXPECT_EQ(longPicture_(tooLong.c_str()), 0);
  if (!UnderWine()) {
    EXPECT_EQ(Picture(LOCALE_SSHORTDATE), "dd/MM/yyyy");
  }
  EXPECT_EQ(shortPicture_(nullptr), 0) << "no picture is a rejected picture";
}

}  // namespace
