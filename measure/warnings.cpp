#include "measure/warnings.h"

namespace velrix {

namespace {

// A limit of 0 or below switches its warning off; reaching it warns.
bool Exceeds(double value, double limit) { return limit > 0.0 && value >= limit; }

}  // namespace

std::string WarningSoundPath(const std::string& programFolder) {
  return programFolder + kWarningSoundFileName;
}

const WarningState& EvaluateWarnings(WarningState& state, const DerivedValues& values,
                                     const WarningSettings& limits, const DoseTable& table,
                                     const UnitLinkState& link, WarningSound& sound,
                                     const std::string& soundPath) {
  const bool soundPlaying = state.soundPlaying;
  state = WarningState{};
  state.soundPlaying = soundPlaying;

  const double currentRate = DoseRate(table, values.latestCount);
  struct Check {
    double value;
    double limit;
    bool& flag;
  };
  const Check checks[] = {
      {currentRate, limits.currentLimit, state.current},
      {DoseRate(table, values.movingAverage), limits.averageLimit, state.average},
      {DoseRate(table, values.hourMean), limits.hourLimit, state.hour},
      {values.integratedDose, limits.integratedLimit, state.integrated},
      {values.predictedDayDose, limits.dayLimit, state.day},
      {values.predictedYearDose, limits.yearLimit, state.year},
  };
  for (const Check& check : checks) {
    if (Exceeds(check.value, check.limit)) {
      check.flag = true;
      state.anyWarning = true;
      state.reason = kReasonLimitExceeded;
    }
  }

  // The later reasons overwrite the earlier: saturation says more than a
  // large error, which says more than a crossed user limit.
  if (currentRate > kLargeErrorRate) {
    state.reason = kReasonLargeError;
    state.current = true;
    state.anyWarning = true;
  }
  if (currentRate > kMeasurementLimitRate || link.limitReached.load() == 1) {
    state.reason = kReasonLimitReached;
    state.current = true;
    state.anyWarning = true;
  }

  if (limits.soundOn == 1 && state.anyWarning) {
    // Started once; restarting would cut the loop short at every drawing.
    if (!state.soundPlaying) {
      sound.StartLoop(soundPath);
      state.soundPlaying = true;
    }
  } else if (state.soundPlaying) {
    sound.Stop();
    state.soundPlaying = false;
  }
  return state;
}

}  // namespace velrix
