#pragma once
// Time as the rest of Velrix sees it: whole clock seconds since 1970 (UTC),
// compared by subtraction, and the local calendar time used for file names,
// folders and displayed dates. Tests inject a ManualClock.

#include <atomic>
#include <cstdint>

namespace velrix {

using ClockSeconds = std::int64_t;

struct CalendarTime {
  int year = 1970;   // four digits
  int month = 1;     // 1-12
  int day = 1;       // 1-31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int weekday = 4;   // 0 = Sunday
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual ClockSeconds Now() const = 0;
  virtual CalendarTime Local(ClockSeconds t) const = 0;
  // The clock second at which the local calendar shows the given time (for a
  // time that occurs twice or not at all on a daylight-saving change, the
  // C library's choice).
  virtual ClockSeconds FromLocal(int year, int month, int day, int hour, int minute,
                                 int second) const = 0;
  CalendarTime LocalNow() const { return Local(Now()); }
};

// The machine's clock and time zone.
class SystemClock final : public Clock {
 public:
  ClockSeconds Now() const override;
  CalendarTime Local(ClockSeconds t) const override;
  ClockSeconds FromLocal(int year, int month, int day, int hour, int minute,
                         int second) const override;
};

// A clock the tests set and advance; local time is UTC shifted by a fixed
// offset, so results never depend on the machine's time zone.
class ManualClock final : public Clock {
 public:
  explicit ManualClock(ClockSeconds start = 0, int utcOffsetSeconds = 9 * 3600)
      : now_(start), offset_(utcOffsetSeconds) {}
  ClockSeconds Now() const override { return now_.load(); }
  CalendarTime Local(ClockSeconds t) const override;
  void Set(ClockSeconds t) { now_.store(t); }
  void Advance(ClockSeconds d) { now_.fetch_add(d); }
  ClockSeconds FromLocal(int year, int month, int day, int hour, int minute,
                         int second) const override;

 private:
  std::atomic<ClockSeconds> now_;
  int offset_;
};

// Calendar arithmetic on UTC, without the C library's time zone state.
CalendarTime CalendarFromUtc(ClockSeconds t);
ClockSeconds UtcFromCalendar(int year, int month, int day, int hour, int minute, int second);

// The process-wide system clock, for code that is not handed another one.
const Clock& DefaultClock();

}  // namespace velrix
