#pragma once
// Time as the rest of Velrix sees it: whole clock seconds since 1970 (UTC)
// and the local calendar time, used for file names, folders, row labels and
// displayed dates; and elapsed time, from a clock that nobody sets and that
// runs on while the computer sleeps, used for every "how long since". A
// clock step (NTP, a user setting the time) moves the first and never the
// second, so it can never read as a unit running fast or slow, or as a gap.
// Tests inject a ManualClock.

#include <atomic>
#include <cstdint>

namespace velrix {

using ClockSeconds = std::int64_t;

inline constexpr int kSecondsPerHour = 3600;
inline constexpr int kSecondsPerDay = 24 * kSecondsPerHour;

// The second of the day (0-86399) a time of day stands for.
inline constexpr int SecondOfDay(int hour, int minute, int second) {
  return hour * kSecondsPerHour + minute * 60 + second;
}

struct CalendarTime {
  int year = 1970;   // four digits
  int month = 1;     // 1-12
  int day = 1;       // 1-31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int weekday = 4;   // 0 = Sunday
};

inline constexpr int SecondOfDay(const CalendarTime& c) {
  return SecondOfDay(c.hour, c.minute, c.second);
}

class Clock {
 public:
  virtual ~Clock() = default;
  // The calendar clock, in seconds and in milliseconds since 1970 (UTC).
  virtual ClockSeconds Now() const = 0;
  virtual std::int64_t NowMs() const { return Now() * 1000; }
  // Elapsed time in milliseconds from an arbitrary origin: never set, never
  // stepped, counting through suspend.
  virtual std::int64_t ElapsedMs() const = 0;
  ClockSeconds ElapsedSeconds() const { return FloorSeconds(ElapsedMs()); }
  virtual CalendarTime Local(ClockSeconds t) const = 0;
  // The clock second at which the local calendar shows the given time (for a
  // time that occurs twice or not at all on a daylight-saving change, the
  // C library's choice).
  virtual ClockSeconds FromLocal(int year, int month, int day, int hour, int minute,
                                 int second) const = 0;
  CalendarTime LocalNow() const { return Local(Now()); }

  static ClockSeconds FloorSeconds(std::int64_t ms) {
    return ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
  }
};

// The machine's clock and time zone.
class SystemClock final : public Clock {
 public:
  ClockSeconds Now() const override;
  std::int64_t NowMs() const override;
  std::int64_t ElapsedMs() const override;
  CalendarTime Local(ClockSeconds t) const override;
  ClockSeconds FromLocal(int year, int month, int day, int hour, int minute,
                         int second) const override;
};

// A clock the tests set and advance; local time is UTC shifted by a fixed
// offset, so results never depend on the machine's time zone. Set and
// Advance move elapsed time along with the calendar, as time passing does;
// StepWall moves the calendar alone, as setting the computer's clock does.
class ManualClock final : public Clock {
 public:
  explicit ManualClock(ClockSeconds start = 0, int utcOffsetSeconds = 9 * kSecondsPerHour)
      : now_(start), elapsedMs_(start * 1000), offset_(utcOffsetSeconds) {}
  ClockSeconds Now() const override { return now_.load(); }
  std::int64_t ElapsedMs() const override { return elapsedMs_.load(); }
  CalendarTime Local(ClockSeconds t) const override;
  void Set(ClockSeconds t) { Advance(t - now_.load()); }
  void Advance(ClockSeconds d) {
    now_.fetch_add(d);
    elapsedMs_.fetch_add(d * 1000);
  }
  void StepWall(ClockSeconds d) { now_.fetch_add(d); }
  void SetUtcOffset(int seconds) { offset_.store(seconds); }
  ClockSeconds FromLocal(int year, int month, int day, int hour, int minute,
                         int second) const override;

 private:
  std::atomic<ClockSeconds> now_;
  std::atomic<std::int64_t> elapsedMs_;
  std::atomic<int> offset_;
};

// Calendar arithmetic on UTC, without the C library's time zone state.
CalendarTime CalendarFromUtc(ClockSeconds t);
ClockSeconds UtcFromCalendar(int year, int month, int day, int hour, int minute, int second);

// The UTC offset of local time at t, in seconds (local minus UTC).
int UtcOffsetAt(const Clock& clock, ClockSeconds t);

// The instants at which the local calendar shows the given time: one in
// most hours; two in the hour a daylight-saving change repeats (earliest
// first); none in the hour a change skips. Returns how many were found.
int LocalInstants(const Clock& clock, int year, int month, int day, int hour, int minute,
                  int second, ClockSeconds instants[2]);

// The process-wide system clock, for code that is not handed another one.
const Clock& DefaultClock();

}  // namespace velrix
