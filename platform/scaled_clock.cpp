#include "platform/scaled_clock.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace velrix {
namespace {

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

bool ParseWhole(const std::string& text, long long low, long long high, long long* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (end == nullptr || *end != '\0' || v < low || v > high) return false;
  *value = v;
  return true;
}

}  // namespace

ScaledClock::ScaledClock(std::int64_t startMs, int scale, std::int64_t anchorRealMs,
                         std::vector<ClockStep> steps)
    : startMs_(startMs),
      scale_(scale < 1 ? 1 : scale),
      anchorRealMs_(anchorRealMs),
      bootAtAnchorMs_(SystemClock().ElapsedMs() - (RealNowMs() - anchorRealMs)),
      steps_(std::move(steps)) {}

std::int64_t ScaledClock::RealNowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::int64_t ScaledClock::NowMs() const {
  std::int64_t ms = startMs_ + (RealNowMs() - anchorRealMs_) * scale_;
  if (!steps_.empty()) {
    const std::int64_t elapsed = ElapsedMs() - startMs_;
    for (const ClockStep& step : steps_) {
      if (elapsed >= step.afterMs) ms += step.deltaMs;
    }
  }
  return ms;
}

std::int64_t ScaledClock::ElapsedMs() const {
  return startMs_ + (SystemClock().ElapsedMs() - bootAtAnchorMs_) * scale_;
}

std::int64_t ScaledClock::RealSpanMs(std::int64_t clockMs) const {
  if (clockMs <= 0) return 0;
  return (clockMs + scale_ - 1) / scale_;
}

ClockSeconds ScaledClock::Now() const { return FloorDiv(NowMs(), 1000); }

CalendarTime ScaledClock::Local(ClockSeconds t) const { return zone_.Local(t); }

ClockSeconds ScaledClock::FromLocal(int year, int month, int day, int hour, int minute,
                                    int second) const {
  return zone_.FromLocal(year, month, day, hour, minute, second);
}

bool ParseLocalTime(const std::string& text, const Clock& zone, ClockSeconds* seconds) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  char sep = 0;
  int used = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%n", &y, &mo, &d, &sep, &h, &mi, &s,
                  &used) != 7 ||
      used != static_cast<int>(text.size()) || (sep != ' ' && sep != 'T')) {
    return false;
  }
  if (y < 1970 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59 ||
      h < 0 || mi < 0 || s < 0) {
    return false;
  }
  // A time the autumn change shows twice is its first showing, so a start
  // just before the change is before it; one the spring change skips is
  // taken as the C library takes it.
  ClockSeconds instants[2] = {};
  *seconds = LocalInstants(zone, y, mo, d, h, mi, s, instants) > 0
                 ? instants[0]
                 : zone.FromLocal(y, mo, d, h, mi, s);
  return true;
}

bool TakeClockOption(const std::vector<std::string>& args, std::size_t* i,
                     ClockOptions* options, std::string* error) {
  const std::string& arg = args[*i];
  if (arg != "--clock-start" && arg != "--time-scale" && arg != "--clock-anchor-ms" &&
      arg != "--clock-step") {
    return false;
  }
  if (*i + 1 >= args.size()) {
    *error = "missing value for " + arg;
    return true;
  }
  const std::string& value = args[++*i];
  long long number = 0;
  if (arg == "--clock-start") {
    ClockSeconds unused = 0;
    if (!ParseLocalTime(value, SystemClock(), &unused)) {
      *error = "--clock-start wants \"YYYY-MM-DD hh:mm:ss\": " + value;
    } else {
      options->start = value;
    }
  } else if (arg == "--time-scale") {
    if (!ParseWhole(value, 1, kMaxTimeScale, &number)) {
      *error = "--time-scale wants a whole number from 1 to 1000: " + value;
    } else {
      options->scale = static_cast<int>(number);
    }
  } else if (arg == "--clock-step") {
    const std::size_t at = value.find('@');
    long long delta = 0;
    long long after = 0;
    const std::string deltaText = value.substr(0, at);
    if (at == std::string::npos ||
        !ParseWhole(deltaText[0] == '+' ? deltaText.substr(1) : deltaText, -(1LL << 40),
                    1LL << 40, &delta) ||
        !ParseWhole(value.substr(at + 1), 0, 1LL << 40, &after)) {
      *error = "--clock-step wants SECONDS@AFTER (for example -3600@120): " + value;
    } else {
      options->steps.push_back({after * 1000, delta * 1000});
    }
  } else {
    if (!ParseWhole(value, 0, 1LL << 50, &number)) {
      *error = "--clock-anchor-ms wants milliseconds since 1970: " + value;
    } else {
      options->anchorMs = number;
    }
  }
  return true;
}

std::unique_ptr<ScaledClock> MakeScaledClock(const ClockOptions& options, std::string* error) {
  if (!options.Given()) return nullptr;
  const std::int64_t anchor = options.anchorMs >= 0 ? options.anchorMs : ScaledClock::RealNowMs();
  std::int64_t startMs = anchor;
  if (!options.start.empty()) {
    ClockSeconds start = 0;
    if (!ParseLocalTime(options.start, SystemClock(), &start)) {
      if (error) *error = "bad clock start: " + options.start;
      return nullptr;
    }
    startMs = start * 1000;
  }
  return std::make_unique<ScaledClock>(startMs, options.scale, anchor, options.steps);
}

}  // namespace velrix
