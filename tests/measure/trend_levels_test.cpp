// The five trend levels: each entry is the mean of the entries (or seconds)
// just completed below it, and no entry of an earlier measurement is mixed in.

#include <gtest/gtest.h>

#include "measure/trend_levels.h"

namespace velrix::testing {
namespace {

// Completes seconds 1..n with count(second index) and updates the levels.
template <typename Count>
void CompleteSeconds(History& history, int n, Count count) {
  for (int s = 0; s < n; ++s) {
    history.slots[s % kSecondSlots].count = count(s);
    history.sampleCount = s + 1;
    UpdateTrendLevels(history);
  }
}

TEST(TrendLevels, TenSecondsMakeOneLevelZeroEntryOfTheirMean) {
  History history;
  CompleteSeconds(history, 25, [](int s) { return static_cast<double>(s); });
  EXPECT_EQ(history.levels[0].written, 2);
  EXPECT_EQ(history.levels[0].writeIndex, 2);
  EXPECT_DOUBLE_EQ(history.levels[0].meanCount[0], 4.5);
  EXPECT_DOUBLE_EQ(history.levels[0].meanCount[1], 14.5);
  EXPECT_EQ(history.levels[1].written, 0);
}

TEST(TrendLevels, HigherLevelsAverageTheEntriesJustCompletedBelow) {
  History history;
  // Each hour has its own value, so a level-2 entry shows exactly one hour.
  CompleteSeconds(history, 2 * 3600, [](int s) { return s < 3600 ? 2.0 : 8.0; });
  EXPECT_EQ(history.levels[1].written, 60);
  EXPECT_DOUBLE_EQ(history.levels[1].meanCount[29], 2.0);
  EXPECT_DOUBLE_EQ(history.levels[1].meanCount[30], 8.0);
  EXPECT_EQ(history.levels[2].written, 2);
  EXPECT_DOUBLE_EQ(history.levels[2].meanCount[0], 2.0);
  EXPECT_DOUBLE_EQ(history.levels[2].meanCount[1], 8.0);
}

TEST(TrendLevels, FiveDaysFillEveryLevelAndTheRingsWrap) {
  History history;
  CompleteSeconds(history, 432000, [](int s) { return static_cast<double>(s % 3); });
  EXPECT_EQ(history.levels[0].written, 43200);
  EXPECT_EQ(history.levels[0].writeIndex, 43200 % 360);
  EXPECT_EQ(history.levels[3].written, 10);
  EXPECT_EQ(history.levels[4].written, 1);
  EXPECT_NEAR(history.levels[4].meanCount[0], 1.0, 1e-9);
}

TEST(TrendLevels, ANewMeasurementNeverAveragesOldEntries) {
  History history;
  CompleteSeconds(history, 3600, [](int) { return 100.0; });
  ResetTrendLevels(history);
  CompleteSeconds(history, 3600, [](int) { return 1.0; });
  EXPECT_EQ(history.levels[2].written, 1);
  EXPECT_DOUBLE_EQ(history.levels[2].meanCount[0], 1.0);
}

}  // namespace
}  // namespace velrix::testing
