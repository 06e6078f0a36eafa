// Date, time and locale family: the current local date and time in fixed text
// forms, the time of day of a seconds count, the clock setters and the user's
// date pictures.

#include "clock_setting.h"
#include "conventions.h"
#include "error_handling.h"
#include "tandrel.h"
#include "time_text.h"

namespace tandrel {
namespace {

class SystemClock final : public ClockAccess {
 public:
  LocalTimeRecord Read() override {
    SYSTEMTIME now = {};
    ::GetLocalTime(&now);
    LocalTimeRecord record;
    record.year = now.wYear;
    record.month = now.wMonth;
    record.dayOfWeek = now.wDayOfWeek;
    record.day = now.wDay;
    record.hours = now.wHour;
    record.minutes = now.wMinute;
    record.seconds = now.wSecond;
    record.milliseconds = now.wMilliseconds;
    return record;
  }

  bool Write(const LocalTimeRecord& record) override {
    SYSTEMTIME time = {};
    time.wYear = record.year;
    time.wMonth = record.month;
    time.wDayOfWeek = record.dayOfWeek;
    time.wDay = record.day;
    time.wHour = record.hours;
    time.wMinute = record.minutes;
    time.wSecond = record.seconds;
    time.wMilliseconds = record.milliseconds;
    return ::SetLocalTime(&time) != FALSE;
  }
};

SYSTEMTIME LocalNow() {
  SYSTEMTIME now = {};
  ::GetLocalTime(&now);
  return now;
}

}  // namespace
}  // namespace tandrel

TANDREL_EXPORT get_date_long(char* out) noexcept {
  return kit::CatchReturn(1, [&] {
    // An explicit picture: the text is the same whatever the user's date settings.
    ::GetDateFormatA(LOCALE_SYSTEM_DEFAULT, 0, nullptr, "MM/dd/yyyy", out, 11);
    return 1;
  });
}

TANDREL_EXPORT get_local_time(char* out) noexcept {
  return kit::CatchReturn(0, [&] {
    const SYSTEMTIME now = tandrel::LocalNow();
    tandrel::WriteTimeOfDay(out, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
    return now.wHour * 100 + now.wMinute;
  });
}

TANDREL_EXPORT get_time_in_ms(int* millisecondsSinceMidnight) noexcept {
  return kit::CatchReturn(0, [&] {
    const SYSTEMTIME now = tandrel::LocalNow();
    *millisecondsSinceMidnight =
        ((now.wHour * 60 + now.wMinute) * 60 + now.wSecond) * 1000 + now.wMilliseconds;
    return static_cast<int>(now.wDayOfWeek);
  });
}

TANDREL_EXPORT get_dow_string(char* out) noexcept {
  return kit::CatchReturn(0, [&] {
    tandrel::WriteDecimal(out, tandrel::LocalNow().wDayOfWeek);
    return 0;
  });
}

TANDREL_EXPORT GmtToLocalTime(int secondsSince1970, char* out) noexcept {
  return kit::CatchReturn(0, [&] {
    std::tm local = {};
    if (tandrel::LocalTimeOf(secondsSince1970, true, local))
      tandrel::WriteTwelveHourTime(out, local);
    else
      *out = '\0';
    return 0;
  });
}

TANDREL_EXPORT set_sys_date(int month, int day, int year) noexcept {
  return kit::CatchReturn(1, [&] {
    tandrel::SystemClock clock;
    return tandrel::SetDate(clock, month, day, year);
  });
}

TANDREL_EXPORT set_sys_time(int hours, int minutes, int seconds) noexcept {
  return kit::CatchReturn(1, [&] {
    tandrel::SystemClock clock;
    return tandrel::SetTime(clock, hours, minutes, seconds);
  });
}

TANDREL_EXPORT set_sys_time_date(int secondsSince1970) noexcept {
  return kit::CatchReturn(1, [&] {
    tandrel::SystemClock clock;
    return tandrel::SetDateAndTime(clock, secondsSince1970);
  });
}

TANDREL_EXPORT set_locale_shortdate_format(const char* picture) noexcept {
  return kit::CatchReturn(0, [&] {
    ::SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, picture);
    return 0;
  });
}

TANDREL_EXPORT set_locale_longdate_format(const char* picture) noexcept {
  return kit::CatchReturn(0, [&] {
    ::SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SLONGDATE, picture);
    return 0;
  });
}
