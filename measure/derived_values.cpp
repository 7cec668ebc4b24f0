#include "measure/derived_values.h"

#include <algorithm>

#include "platform/clock.h"
#include "settings/settings.h"

namespace velrix {

namespace {

constexpr int kHourSeconds = kSecondsPerHour;
constexpr double kHoursPerDay = 24.0;
constexpr double kDaysPerYear = 365.0;

// Slot index `back` seconds before `newest`, wrapping round the ring.
int SlotBefore(int newest, int back) {
  int slot = (newest - back) % kSecondSlots;
  return slot < 0 ? slot + kSecondSlots : slot;
}

int NewestSlot(int sampleCount) { return (sampleCount - 1) % kSecondSlots; }

}  // namespace

void ResetDerivedValues(DerivedValues& values) { values = DerivedValues{}; }

void UpdateDerivedValues(DerivedValues& values, History& history, int averageSeconds) {
  const int s = history.sampleCount;
  if (s < 1) return;
  // A W outside the settings' range would divide by zero (W = 0) or make the
  // window wider than the ring; the settings reader already enforces the
  // range, this keeps a damaged value from corrupting the panel.
  const int w = std::clamp(averageSeconds, kMinAverageSeconds, kMaxAverageSeconds);
  const int newest = NewestSlot(s);
  std::vector<SecondSlot>& slots = history.slots;

  // A new W rebuilds the window from the ring.
  if (w != values.windowInUse) {
    values.windowInUse = w;
    const int l = std::min(s - 1, w);
    double sum = 0.0;
    for (int k = 1; k <= l; ++k) sum += slots[SlotBefore(newest, k)].count;
    values.windowSum = sum;
  }

  // The newest second enters both sums.
  const double newestCount = slots[newest].count;
  values.windowSum += newestCount;
  values.hourSum += newestCount;

  // The second that fell out of the window leaves it: the moving average.
  int n = s;
  if (s > w) {
    values.windowSum -= slots[SlotBefore(newest, w)].count;
    n = w;
  }
  values.movingAverage = values.windowSum / n;
  slots[newest].average = values.movingAverage;

  // The second an hour back leaves the hour: its mean.
  int h = s;
  if (s > kHourSeconds) {
    values.hourSum -= slots[SlotBefore(newest, kHourSeconds)].count;
    h = kHourSeconds;
  }
  values.hourMean = values.hourSum / h;

  // The hour's counts, extrapolated while the measurement is younger.
  values.hourCount = (h == kHourSeconds) ? values.hourSum : values.hourMean * kHourSeconds;
}

void UpdatePredictionsAndIntegrals(DerivedValues& values, const History& history,
                                   const DoseTable& table) {
  // A day and a year at the moving average.
  values.predictedDayCount = values.movingAverage * kHourSeconds * kHoursPerDay;
  const double dayRate = DoseRate(table, values.movingAverage);
  values.predictedDayDose = dayRate * kHoursPerDay;
  values.predictedYearCount = values.predictedDayCount * kDaysPerYear;
  values.predictedYearDose = values.predictedDayDose * kDaysPerYear;

  // The newest second adds to the integrals.
  if (history.sampleCount < 1) return;
  const double count = history.slots[NewestSlot(history.sampleCount)].count;
  values.integratedCount += count;
  values.integratedDose += DoseRate(table, count) / kHourSeconds;
}

}  // namespace velrix
