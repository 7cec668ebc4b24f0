#include "measure/warnings.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace velrix {
namespace {

class RecordingSound final : public WarningSound {
 public:
  void StartLoop(const std::string& path) override { starts.push_back(path); }
  void Stop() override { ++stops; }
  std::vector<std::string> starts;
  int stops = 0;
};

// A table in which n counts per second are n μSv/h, so rates are easy to set.
class Warnings : public ::testing::Test {
 protected:
  Warnings() {
    table->size = kDoseTableComplete;
    for (int k = 0; k < kDoseTableComplete; ++k) table->rate[k] = k;
  }

  const WarningState& Evaluate() {
    return EvaluateWarnings(state, values, limits, *table, *link, sound, kPath);
  }

  const std::string kPath = WarningSoundPath("/opt/velrix/");
  std::unique_ptr<DoseTable> table = std::make_unique<DoseTable>();
  std::unique_ptr<UnitLinkState> link = std::make_unique<UnitLinkState>();
  DerivedValues values;
  WarningSettings limits;
  WarningState state;
  RecordingSound sound;
};

TEST_F(Warnings, ALimitEqualToTheValueWarns) {
  values.latestCount = 25;
  limits.currentLimit = 25;
  Evaluate();
  EXPECT_TRUE(state.current);
  EXPECT_TRUE(state.anyWarning);
  EXPECT_EQ(state.reason, "設定値超過");
  limits.currentLimit = 25.01;
  Evaluate();
  EXPECT_FALSE(state.current);
  EXPECT_FALSE(state.anyWarning);
  EXPECT_EQ(state.reason, "");
}

TEST_F(Warnings, ALimitOfZeroNeverWarns) {
  values = DerivedValues{};
  values.integratedDose = 1e9;
  values.predictedDayDose = 1e9;
  Evaluate();
  EXPECT_FALSE(state.anyWarning);
  EXPECT_FALSE(state.integrated);
  EXPECT_FALSE(state.current);  // 0 >= 0, but the limit is off
}

TEST_F(Warnings, EachLimitMarksItsOwnValue) {
  values.movingAverage = 30;
  values.hourMean = 40;
  values.integratedDose = 50;
  values.predictedDayDose = 60;
  values.predictedYearDose = 70;
  limits = WarningSettings{0, 30, 40, 50, 60, 70, 0};
  Evaluate();
  EXPECT_FALSE(state.current);
  EXPECT_TRUE(state.average && state.hour && state.integrated && state.day && state.year);
  limits = WarningSettings{0, 0, 0, 0, 0, 70.5, 0};
  Evaluate();
  EXPECT_FALSE(state.average || state.hour || state.integrated || state.day || state.year);
  EXPECT_FALSE(state.anyWarning);
}

TEST_F(Warnings, LargeRateGivesMeasurementErrorOverTheUserLimit) {
  limits.currentLimit = 1;
  values.latestCount = 1500;
  Evaluate();
  EXPECT_EQ(state.reason, "測定誤差大");
  EXPECT_TRUE(state.current);
  values.latestCount = 4000;
  Evaluate();
  EXPECT_EQ(state.reason, "測定限界到達");
  EXPECT_TRUE(state.current);
}

TEST_F(Warnings, FixedRateLimitsAreStrictAndNeedNoUserLimit) {
  values.latestCount = 999.99;
  Evaluate();
  EXPECT_FALSE(state.anyWarning);
  values.latestCount = 1000;
  Evaluate();
  EXPECT_EQ(state.reason, "測定誤差大");
  values.latestCount = 3799.99;
  Evaluate();
  EXPECT_EQ(state.reason, "測定誤差大");
}

TEST_F(Warnings, UnitsLimitFlagReportsMeasurementLimitReached) {
  link->limitReached = 1;
  Evaluate();
  EXPECT_TRUE(state.current);
  EXPECT_EQ(state.reason, "測定限界到達");
  link->limitReached = 0;
  Evaluate();
  EXPECT_FALSE(state.anyWarning);
}

TEST_F(Warnings, SoundStartsOnceAndStopsWhenTheWarningEnds) {
  limits.soundOn = 1;
  limits.averageLimit = 10;
  values.movingAverage = 12;
  for (int i = 0; i < 5; ++i) Evaluate();
  ASSERT_EQ(sound.starts.size(), 1u);
  EXPECT_EQ(sound.starts[0], "/opt/velrix/VelrixWarning.wav");
  EXPECT_EQ(sound.stops, 0);
  EXPECT_TRUE(state.soundPlaying);
  values.movingAverage = 5;
  Evaluate();
  Evaluate();
  EXPECT_EQ(sound.stops, 1);
  EXPECT_FALSE(state.soundPlaying);
  values.movingAverage = 12;
  Evaluate();
  EXPECT_EQ(sound.starts.size(), 2u);
}

TEST_F(Warnings, UntickingTheSoundBoxStopsItAtTheNextEvaluation) {
  limits.soundOn = 1;
  values.latestCount = 2000;
  Evaluate();
  ASSERT_EQ(sound.starts.size(), 1u);
  limits.soundOn = 0;
  Evaluate();
  EXPECT_EQ(sound.stops, 1);
  EXPECT_TRUE(state.anyWarning);
  Evaluate();
  EXPECT_EQ(sound.stops, 1);
  EXPECT_EQ(sound.starts.size(), 1u);
}

TEST_F(Warnings, SoundPlaysOnlyWhenTheSwitchIsExactlyOne) {
  limits.soundOn = 2;
  values.latestCount = 2000;
  Evaluate();
  EXPECT_TRUE(sound.starts.empty());
  EXPECT_FALSE(state.soundPlaying);
}

}  // namespace
}  // namespace velrix
