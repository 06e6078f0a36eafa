#include "clock_setting.h"

namespace tandrel {

int SetDate(ClockAccess& clock, int month, int day, int year) {
  LocalTimeRecord record = clock.Read();
  record.year = static_cast<std::uint16_t>(year);
  record.month = static_cast<std::uint16_t>(month);
  record.day = static_cast<std::uint16_t>(day);
  return clock.Write(record) ? 0 : 1;
}

int SetTime(ClockAccess& clock, int hours, int minutes, int seconds) {
  LocalTimeRecord record = clock.Read();
  record.hours = static_cast<std::uint16_t>(hours);
  record.minutes = static_cast<std::uint16_t>(minutes);
  record.seconds = static_cast<std::uint16_t>(seconds);
  return clock.Write(record) ? 0 : 1;
}

int SetDateAndTime(ClockAccess& clock, std::int32_t secondsSince1970) {
  LocalTimeRecord record = clock.Read();
  std::tm local = {};
  if (!LocalTimeOf(secondsSince1970, false, local)) return 1;
  record.year = static_cast<std::uint16_t>(local.tm_year + 1900);
  record.month = static_cast<std::uint16_t>(local.tm_mon + 1);
  record.day = static_cast<std::uint16_t>(local.tm_mday);
  record.hours = static_cast<std::uint16_t>(local.tm_hour);
  record.minutes = static_cast<std::uint16_t>(local.tm_min);
  record.seconds = static_cast<std::uint16_t>(local.tm_sec);
  // Set twice: a change of the clock can move the local zone's daylight
  // state, and the second setting then lands on the intended local time.
  clock.Write(record);
  return clock.Write(record) ? 0 : 1;
}

bool LocalTimeOf(std::int32_t secondsSince1970, bool refreshZone, std::tm& local) {
  // Refreshed whatever the count: a later conversion without refresh (the
  // clock setter's) relies on it.
#ifdef _WIN32
  if (refreshZone) _tzset();
#else
  if (refreshZone) tzset();
#endif
  // The runtime refuses instants before 1970; refuse them the same way on
  // every platform.
  if (secondsSince1970 < 0) return false;
  const std::time_t instant = secondsSince1970;
#ifdef _WIN32
  return localtime_s(&local, &instant) == 0;
#else
  return localtime_r(&instant, &local) != nullptr;
#endif
}

}  // namespace tandrel
