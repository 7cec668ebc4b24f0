// The running sums of a measurement that starts on a history an earlier run
// left behind: every slot beyond the new measurement's seconds still holds
// the earlier counts, and none of them may enter the window or the hour.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "measure/derived_values.h"

namespace velrix::testing {
namespace {

constexpr double kEarlierRunCount = 1000.0;

// W as the user might change it during the run: growing while fewer
// seconds than W exist, shrinking, and near the hour a damaged value above
// the range, which is held at the widest window of 3600 seconds.
int AverageSecondsAt(int s) {
  if (s <= 2) return 5;
  if (s <= 50) return 8;
  if (s <= 3590) return 5;
  return 5000;
}

TEST(CarriedOverHistory, WindowAndHourNeverReachIntoTheEarlierRunsSlots) {
  auto history = std::make_unique<History>();
  for (SecondSlot& slot : history->slots) slot.count = kEarlierRunCount;
  DerivedValues values;
  ResetDerivedValues(values);
  // prefix[s] = sum of the first s counts of this run.
  std::vector<double> prefix{0.0};
  auto meanOfLast = [&](int s, int n) { return (prefix[s] - prefix[s - n]) / n; };

  for (int s = 1; s <= 3700; ++s) {
    const double count = (s * 7) % 11;
    history->slots[s - 1].count = count;
    history->sampleCount = s;
    prefix.push_back(prefix.back() + count);
    const int w = AverageSecondsAt(s);
    UpdateDerivedValues(values, *history, w);
    const int n = std::min({s, w, 3600});
    const int h = std::min(s, 3600);
    ASSERT_NEAR(values.movingAverage, meanOfLast(s, n), 1e-9) << "second " << s << " W " << w;
    ASSERT_NEAR(history->slots[s - 1].average, meanOfLast(s, n), 1e-9) << s;
    ASSERT_NEAR(values.hourMean, meanOfLast(s, h), 1e-9) << "second " << s;
    ASSERT_NEAR(values.hourCount, meanOfLast(s, h) * 3600, 1e-6) << "second " << s;
  }
}

}  // namespace
}  // namespace velrix::testing
