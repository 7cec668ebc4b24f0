#include "measure/derived_values.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

namespace velrix {
namespace {

// A measurement fed one completed second at a time, as the cycle does.
class FedRun {
 public:
  FedRun() { ResetDerivedValues(values); }

  void Second(double count, int w) {
    history->slots[history->sampleCount % kSecondSlots].count = count;
    history->sampleCount += 1;
    UpdateDerivedValues(values, *history, w);
    UpdatePredictionsAndIntegrals(values, *history, *table);
  }

  // Mean of the last n counts fed, computed the slow way.
  double MeanOfLast(int n) const {
    double sum = 0;
    for (int k = 1; k <= n; ++k) {
      sum += history->slots[((history->sampleCount - k) % kSecondSlots + kSecondSlots) %
                            kSecondSlots]
                 .count;
    }
    return sum / n;
  }

  std::unique_ptr<History> history = std::make_unique<History>();
  std::unique_ptr<DoseTable> table = std::make_unique<DoseTable>();
  DerivedValues values;
};

TEST(DerivedValues, ConstantFiveCountsExtrapolateTheHourUntilOneHourHasPassed) {
  FedRun run;
  run.Second(5, 60);
  EXPECT_DOUBLE_EQ(run.values.movingAverage, 5);
  EXPECT_DOUBLE_EQ(run.values.hourMean, 5);
  EXPECT_DOUBLE_EQ(run.values.hourCount, 18000);
  EXPECT_DOUBLE_EQ(run.values.integratedCount, 5);
  for (int s = 2; s <= 3600; ++s) {
    run.Second(5, 60);
    ASSERT_DOUBLE_EQ(run.values.integratedCount, 5.0 * s);
  }
  EXPECT_DOUBLE_EQ(run.values.hourSum, 18000);
  EXPECT_DOUBLE_EQ(run.values.hourCount, 18000);
  for (int s = 3601; s <= 4000; ++s) run.Second(5, 60);
  EXPECT_DOUBLE_EQ(run.values.hourCount, 18000);
  EXPECT_DOUBLE_EQ(run.values.movingAverage, 5);
  EXPECT_DOUBLE_EQ(run.values.integratedCount, 20000);
}

TEST(DerivedValues, HourCountIsTheExactSumOnceAnHourExists) {
  FedRun run;
  for (int s = 1; s <= 1800; ++s) run.Second(s % 7, 60);
  EXPECT_NEAR(run.values.hourCount, run.MeanOfLast(1800) * 3600, 1e-6);
  for (int s = 1801; s <= 5000; ++s) run.Second(s % 7, 60);
  EXPECT_NEAR(run.values.hourCount, run.MeanOfLast(3600) * 3600, 1e-6);
  EXPECT_NEAR(run.values.hourMean, run.MeanOfLast(3600), 1e-9);
}

TEST(DerivedValues, ChangingWMidRunAveragesExactlyTheLastWSeconds) {
  FedRun run;
  for (int s = 1; s <= 100; ++s) run.Second(s, 60);
  EXPECT_DOUBLE_EQ(run.values.movingAverage, run.MeanOfLast(60));
  run.Second(101, 10);
  EXPECT_DOUBLE_EQ(run.values.movingAverage, (92.0 + 101.0) / 2);
  EXPECT_EQ(run.values.windowInUse, 10);
  for (int s = 102; s <= 120; ++s) {
    run.Second(s * 3 % 11, 10);
    ASSERT_DOUBLE_EQ(run.values.movingAverage, run.MeanOfLast(10)) << s;
  }
  run.Second(4, 60);
  EXPECT_DOUBLE_EQ(run.values.movingAverage, run.MeanOfLast(60));
}

TEST(DerivedValues, FewerSecondsThanWAverageOverAllSecondsSoFar) {
  FedRun run;
  run.Second(7, 60);
  EXPECT_DOUBLE_EQ(run.values.movingAverage, 7);
  run.Second(2, 60);
  run.Second(3, 60);
  EXPECT_DOUBLE_EQ(run.values.movingAverage, 4);
  EXPECT_DOUBLE_EQ(run.values.hourMean, 4);
  EXPECT_DOUBLE_EQ(run.history->slots[2].average, 4);
}

TEST(DerivedValues, WindowStaysRightAcrossTheRingsWrap) {
  FedRun run;
  for (int s = 1; s <= kSecondSlots + 150; ++s) run.Second((s * 13) % 17, 120);
  EXPECT_NEAR(run.values.movingAverage, run.MeanOfLast(120), 1e-9);
  EXPECT_NEAR(run.values.hourMean, run.MeanOfLast(3600), 1e-9);
  run.Second(9, 30);  // rebuilt from slots on both sides of the wrap
  EXPECT_NEAR(run.values.movingAverage, run.MeanOfLast(30), 1e-9);
}

TEST(DerivedValues, PredictionsAndIntegralsFollowTheDoseTable) {
  FedRun run;
  run.table->size = 4;
  const double rows[] = {0.0, 10.0, 20.0, 40.0};
  for (int k = 0; k < 4; ++k) run.table->rate[k] = rows[k];
  run.Second(1, 2);
  run.Second(2, 2);
  EXPECT_DOUBLE_EQ(run.values.movingAverage, 1.5);
  EXPECT_DOUBLE_EQ(run.values.predictedDayCount, 1.5 * 86400);
  EXPECT_DOUBLE_EQ(run.values.predictedYearCount, 1.5 * 86400 * 365);
  EXPECT_DOUBLE_EQ(run.values.predictedDayDose, 15.0 * 24);
  EXPECT_DOUBLE_EQ(run.values.predictedYearDose, 15.0 * 24 * 365);
  EXPECT_DOUBLE_EQ(run.values.integratedCount, 3);
  EXPECT_DOUBLE_EQ(run.values.integratedDose, (10.0 + 20.0) / 3600);
}

TEST(DerivedValues, AnOutOfRangeWNeverDividesByZero) {
  FedRun run;
  run.Second(4, 0);
  run.Second(6, -5);
  EXPECT_TRUE(std::isfinite(run.values.movingAverage));
  EXPECT_DOUBLE_EQ(run.values.movingAverage, 6);
}

TEST(DerivedValues, ResetClearsEverythingTheStartCommandClears) {
  FedRun run;
  for (int s = 1; s <= 10; ++s) run.Second(3, 60);
  ResetDerivedValues(run.values);
  EXPECT_EQ(run.values.integratedCount, 0);
  EXPECT_EQ(run.values.movingAverage, 0);
  EXPECT_EQ(run.values.windowSum, 0);
  EXPECT_EQ(run.values.hourSum, 0);
  EXPECT_EQ(run.values.windowInUse, 0);
}

}  // namespace
}  // namespace velrix
