#include "platform/clock.h"

#include <time.h>

#include <algorithm>
#include <ctime>

namespace velrix {
namespace {

// Days since 1970-01-01 for a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

}  // namespace

CalendarTime CalendarFromUtc(ClockSeconds t) {
  std::int64_t days = t / kSecondsPerDay;
  std::int64_t rem = t % kSecondsPerDay;
  if (rem < 0) {
    rem += kSecondsPerDay;
    --days;
  }
  CalendarTime c;
  c.hour = static_cast<int>(rem / kSecondsPerHour);
  c.minute = static_cast<int>(rem / 60 % 60);
  c.second = static_cast<int>(rem % 60);
  c.weekday = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  const std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  c.year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
  c.month = static_cast<int>(m);
  c.day = static_cast<int>(d);
  return c;
}

ClockSeconds UtcFromCalendar(int year, int month, int day, int hour, int minute, int second) {
  return DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * kSecondsPerDay +
         SecondOfDay(hour, minute, second);
}

ClockSeconds SystemClock::Now() const { return static_cast<ClockSeconds>(std::time(nullptr)); }

namespace {

std::int64_t ReadMs(clockid_t id) {
  timespec ts{};
  clock_gettime(id, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace

std::int64_t SystemClock::NowMs() const { return ReadMs(CLOCK_REALTIME); }

// CLOCK_BOOTTIME is the monotonic clock that also counts the time the
// machine was suspended: a measurement's seconds go on while it sleeps.
std::int64_t SystemClock::ElapsedMs() const { return ReadMs(CLOCK_BOOTTIME); }

CalendarTime SystemClock::Local(ClockSeconds t) const {
  const std::time_t tt = static_cast<std::time_t>(t);
  std::tm tm{};
  localtime_r(&tt, &tm);
  CalendarTime c;
  c.year = tm.tm_year + 1900;
  c.month = tm.tm_mon + 1;
  c.day = tm.tm_mday;
  c.hour = tm.tm_hour;
  c.minute = tm.tm_min;
  c.second = tm.tm_sec;
  c.weekday = tm.tm_wday;
  return c;
}

ClockSeconds SystemClock::FromLocal(int year, int month, int day, int hour, int minute,
                                   int second) const {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;
  return static_cast<ClockSeconds>(std::mktime(&tm));
}

CalendarTime ManualClock::Local(ClockSeconds t) const { return CalendarFromUtc(t + offset_.load()); }

ClockSeconds ManualClock::FromLocal(int year, int month, int day, int hour, int minute,
                                    int second) const {
  return UtcFromCalendar(year, month, day, hour, minute, second) - offset_.load();
}

int UtcOffsetAt(const Clock& clock, ClockSeconds t) {
  const CalendarTime c = clock.Local(t);
  return static_cast<int>(UtcFromCalendar(c.year, c.month, c.day, c.hour, c.minute, c.second) - t);
}

int LocalInstants(const Clock& clock, int year, int month, int day, int hour, int minute,
                  int second, ClockSeconds instants[2]) {
  // Every offset in use lies within 14 hours of UTC; the offsets in force
  // half a day before and after the time cover both sides of any change.
  constexpr ClockSeconds kHalfDay = kSecondsPerDay / 2;
  const ClockSeconds naive = UtcFromCalendar(year, month, day, hour, minute, second);
  ClockSeconds candidates[2] = {naive - UtcOffsetAt(clock, naive - kHalfDay),
                                naive - UtcOffsetAt(clock, naive + kHalfDay)};
  std::sort(candidates, candidates + 2);
  int found = 0;
  for (int i = 0; i < 2; ++i) {
    if (i == 1 && candidates[1] == candidates[0]) break;
    const CalendarTime c = clock.Local(candidates[i]);
    if (c.year == year && c.month == month && c.day == day && c.hour == hour &&
        c.minute == minute && c.second == second) {
      instants[found++] = candidates[i];
    }
  }
  return found;
}

const Clock& DefaultClock() {
  static const SystemClock clock;
  return clock;
}

}  // namespace velrix
