// How the clock setters build the local time record they hand to the system.
// The system clock is reached through ClockAccess, so the record-building is
// tested without ever changing a real clock.
#pragma once

#include <cstdint>
#include <ctime>

namespace tandrel {

// The system's local date and time fields; the day of the week is ignored
// when the record is written.
struct LocalTimeRecord {
  std::uint16_t year = 0;
  std::uint16_t month = 0;
  std::uint16_t dayOfWeek = 0;
  std::uint16_t day = 0;
  std::uint16_t hours = 0;
  std::uint16_t minutes = 0;
  std::uint16_t seconds = 0;
  std::uint16_t milliseconds = 0;
};

class ClockAccess {
 public:
  virtual ~ClockAccess() = default;
  [[nodiscard]] virtual LocalTimeRecord Read() = 0;
  // True when the system accepted the record as the new local time.
  virtual bool Write(const LocalTimeRecord& record) = 0;
};

// Each setter answers 0 when the system accepted the new time, else 1.

// Today's time of day on another date; each field is taken as 16 bits.
[[nodiscard]] int SetDate(ClockAccess& clock, int month, int day, int year);

// Another time of day on today's date, milliseconds kept.
[[nodiscard]] int SetTime(ClockAccess& clock, int hours, int minutes, int seconds);

// The local time of a seconds count since 1970 (UTC), with the current
// milliseconds. The record is written twice and the answer is the second
// write's. A count that has no local time (a negative one) writes nothing and
// answers 1.
[[nodiscard]] int SetDateAndTime(ClockAccess& clock, std::int32_t secondsSince1970);

// The runtime's local time of a seconds count since 1970 (UTC), in the time
// zone it last read; false for a negative count. With refresh_zone the time
// zone (TZ, or the system's settings) is read again first, also for a
// negative count.
[[nodiscard]] bool LocalTimeOf(std::int32_t secondsSince1970, bool refreshZone, std::tm& local);

}  // namespace tandrel
