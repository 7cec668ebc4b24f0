#pragma once
// A clock for running days of measurement in minutes: it shows a chosen
// start time at a chosen real moment and then runs a whole number of times
// faster than the machine's clock. Local time is the machine's time zone (TZ),
// as for SystemClock. Two processes given the same start, scale and anchor
// show the same time, so a simulated unit in one and the program in another
// agree on where each second begins.
//
// The programs take it from three options that --help does not list:
//   --clock-start "YYYY-MM-DD hh:mm:ss"  local time the clock shows at the anchor
//   --time-scale N                       clock seconds per real second (1-1000)
//   --clock-anchor-ms MS                 real time (milliseconds since 1970) of the
//                                        start; default: when the program starts
//   --clock-step DELTA@AFTER             (repeatable) the calendar clock is set
//                                        DELTA seconds forward (or back, with a
//                                        minus) once AFTER clock seconds have
//                                        elapsed since the start, as a user or NTP
//                                        setting the computer's clock would; the
//                                        elapsed clock does not move
//
// Elapsed time runs at the same scale from the machine's boot-time clock, so
// a process stopped and continued (or a machine suspended and woken) finds
// its elapsed time gone on by the stop, like the calendar.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace velrix {

inline constexpr int kMaxTimeScale = 1000;

// One setting of the calendar clock: deltaMs added once afterMs of elapsed
// clock time have passed since the start.
struct ClockStep {
  std::int64_t afterMs = 0;
  std::int64_t deltaMs = 0;
};

class ScaledClock final : public Clock {
 public:
  // startMs: milliseconds since 1970 the clock shows at the real time
  // anchorRealMs; from there it runs `scale` times faster.
  ScaledClock(std::int64_t startMs, int scale, std::int64_t anchorRealMs,
              std::vector<ClockStep> steps = {});

  // The machine's clock in milliseconds since 1970.
  static std::int64_t RealNowMs();

  std::int64_t NowMs() const override;
  // Starts at startMs with the calendar and runs on at the same pace, but
  // without the steps.
  std::int64_t ElapsedMs() const override;
  int Scale() const { return scale_; }
  // Real milliseconds for a span of clock milliseconds, rounded up; a span
  // that is not empty takes at least one real millisecond.
  std::int64_t RealSpanMs(std::int64_t clockMs) const;

  ClockSeconds Now() const override;
  CalendarTime Local(ClockSeconds t) const override;
  ClockSeconds FromLocal(int year, int month, int day, int hour, int minute,
                         int second) const override;

 private:
  std::int64_t startMs_;
  int scale_;
  std::int64_t anchorRealMs_;
  std::int64_t bootAtAnchorMs_;  // the boot-time clock at the real anchor
  std::vector<ClockStep> steps_;
  SystemClock zone_;
};

// The clock options as given on a command line; empty start and a scale of 1
// leave the machine's clock in place.
struct ClockOptions {
  std::string start;        // --clock-start
  int scale = 1;            // --time-scale
  std::int64_t anchorMs = -1;  // --clock-anchor-ms; -1 = when the clock is made
  std::vector<ClockStep> steps;  // --clock-step
  bool Given() const { return !start.empty() || scale != 1 || !steps.empty(); }
};

// Takes args[*i] (and its value) when it is one of the clock options and
// advances *i past the value. Returns false when args[*i] is not a clock
// option; sets *error when it is one but its value is missing or bad.
bool TakeClockOption(const std::vector<std::string>& args, std::size_t* i,
                     ClockOptions* options, std::string* error);

// "YYYY-MM-DD hh:mm:ss" (or with a 'T' between date and time) as the local
// time of `zone` (the first of two in a repeated hour); false when the text
// is not such a time.
bool ParseLocalTime(const std::string& text, const Clock& zone, ClockSeconds* seconds);

// The clock the options ask for, or nullptr when they ask for none (the
// system clock then applies) or are bad (*error says why).
std::unique_ptr<ScaledClock> MakeScaledClock(const ClockOptions& options, std::string* error);

}  // namespace velrix
