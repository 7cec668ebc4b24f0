#include <gtest/gtest.h>

#include <memory>

#include "display/panel_text.h"
#include "display/settings_forms.h"
#include "tests/support/recording_messages.h"

namespace velrix {
namespace {

TEST(PanelText, StoppedCurrentValueIsDashesAndStillTakesTheWarningMark) {
  PanelInputs in;
  in.units.rateUnit = 2;
  in.values.latestCount = 12;
  EXPECT_EQ(PanelRowText(in, 3), "        12    CPS");
  in.stoppedMark = 1;
  EXPECT_EQ(PanelRowText(in, 3), "     -------");
  in.warnings.rowFlags[3] = true;
  EXPECT_EQ(PanelRowText(in, 3), "     -------▲");
}

TEST(PanelText, ARowInWarningEndsWithTheMarkDirectlyAfterTheUnit) {
  PanelInputs in;
  in.values.integratedDose = 1234.5678;
  in.warnings.rowFlags[0] = true;
  EXPECT_EQ(PanelRowText(in, 0), "       1,234.568μSv▲");
  EXPECT_EQ(PanelRowText(in, 1).find("▲"), std::string::npos);
}

TEST(PanelText, RowsReadTheirOwnValues) {
  DerivedValues v;
  v.hourMean = 3;
  v.hourCount = 10800;
  v.predictedYearDose = 7;
  EXPECT_EQ(PanelRowCountValue(v, 5), 3);
  EXPECT_EQ(PanelRowSecondValue(v, 5), 10800);
  EXPECT_EQ(PanelRowSecondValue(v, 2), 7);
  DisplayUnitSettings u;
  u.integratedUnit = 2;
  u.rateUnit = 3;
  EXPECT_EQ(PanelRowUnitCode(u, 1), 2);
  EXPECT_EQ(PanelRowUnitCode(u, 4), 6);
}

TEST(PanelText, WarningRowsFollowThePanelOrder) {
  WarningState s;
  s.current = true;
  s.year = true;
  s.reason = "設定値超過";
  const PanelWarnings w = PanelWarningsFrom(s);
  EXPECT_TRUE(w.rowFlags[2]);
  EXPECT_TRUE(w.rowFlags[3]);
  EXPECT_FALSE(w.rowFlags[0]);
  EXPECT_EQ(w.reason, "設定値超過");
}

TEST(PanelText, ClockLineShowsTheStopTimeWhenStopped) {
  ManualClock clock(0);
  const ClockSeconds now = clock.FromLocal(2024, 3, 5, 9, 8, 7);
  EXPECT_EQ(PanelClockLine(clock, now, 0, 0), "現在  2024-03-05 09:08:07");
  EXPECT_EQ(PanelClockLine(clock, now, 1, now - 60), "現在  2024-03-05 09:07:07  停止");
}

TEST(PanelText, ElapsedLineSplitsHoursMinutesSeconds) {
  EXPECT_EQ(PanelElapsedLine(3 * 3600 + 25 * 60 + 7), "経過        3時間25分 7秒");
}

TEST(PanelText, LinkLineByStatus) {
  EXPECT_EQ(LinkStatusText(0, "ttyUSB0"), "");
  EXPECT_EQ(LinkStatusText(1, "ttyUSB0"), "[ttyUSB0]USBユニット通信OK");
  EXPECT_EQ(LinkStatusText(2, "ttyUSB0"), "USBユニット通信NG");
  EXPECT_EQ(LinkStatusText(3, "ttyUSB0"), "USBユニット通信NG");
}

TEST(PanelText, RetryLinesOnlyAfterARetry) {
  ManualClock clock(0);
  EXPECT_EQ(RetryCountLine(4, 0), "");
  EXPECT_EQ(RetryTimeLine(clock, 0), "");
  const ClockSeconds t = clock.FromLocal(2024, 3, 5, 9, 8, 7);
  EXPECT_EQ(RetryCountLine(4, t), "最大回数 : 4");
  EXPECT_EQ(RetryTimeLine(clock, t), "最新日時 : 2024/ 3/ 5 09:08:07");
}

TEST(PanelText, PowerSquaresLeaveAnUnreadStateUncoloured) {
  EXPECT_EQ(BatterySquarePalette(1), 3);
  EXPECT_EQ(BatterySquarePalette(0), 0);
  EXPECT_EQ(BatterySquarePalette(-1), -1);
  EXPECT_EQ(SolarSquarePalette(1), 0);
  EXPECT_EQ(SolarSquarePalette(0), 5);
  EXPECT_EQ(SolarSquarePalette(-1), -1);
}

TEST(DisplayUnitForm, AcceptsOneAndThirtySixHundred) {
  testing::RecordingMessages messages;
  DisplayUnitSettings s{0, 0, 60};
  DisplayUnitForm f = FillDisplayUnitForm(s);
  EXPECT_EQ(f.averageText, "60");
  f.averageText = "1";
  f.integratedChoice = 2;
  f.rateChoice = 3;
  EXPECT_TRUE(AcceptDisplayUnitForm(f, s, messages));
  EXPECT_EQ(s.averageSeconds, 1);
  EXPECT_EQ(s.integratedUnit, 2);
  EXPECT_EQ(s.rateUnit, 3);
  f.averageText = "3600";
  EXPECT_TRUE(AcceptDisplayUnitForm(f, s, messages));
  EXPECT_EQ(s.averageSeconds, 3600);
  EXPECT_TRUE(messages.Shown().empty());
}

TEST(DisplayUnitForm, RejectsOutOfRangeLettersAndNothingWithoutChangingSettings) {
  for (const char* text : {"0", "3601", "abc", "", "-5", "0000000060"}) {
    testing::RecordingMessages messages;
    DisplayUnitSettings s{1, 2, 60};
    DisplayUnitForm f = FillDisplayUnitForm(s);
    f.averageText = text;
    f.integratedChoice = 0;
    EXPECT_FALSE(AcceptDisplayUnitForm(f, s, messages)) << text;
    ASSERT_EQ(messages.Shown().size(), 1u) << text;
    EXPECT_EQ(messages.Shown()[0].title, "設定異常");
    EXPECT_EQ(messages.Shown()[0].text, "平均回数（秒数）は、1～3600を設定してください。");
    EXPECT_EQ(s.integratedUnit, 1);
    EXPECT_EQ(s.averageSeconds, 60);
  }
}

TEST(DisplayUnitForm, ReadsOnlySevenCharactersAndLeadingDigits) {
  EXPECT_EQ(ReadAverageSeconds("120abc"), 120);
  EXPECT_EQ(ReadAverageSeconds("  42"), 42);
  EXPECT_EQ(ReadAverageSeconds("0000060"), 60);
  EXPECT_EQ(ReadAverageSeconds("00000060"), 6);  // the eighth character is not read
  EXPECT_EQ(ReadAverageSeconds("x1"), 0);
}

TEST(TrendForm, FillsAndStoresTheChoices) {
  TrendSettings s{3, 19};
  TrendForm f = FillTrendForm(s);
  EXPECT_EQ(f.spanChoice, 3);
  EXPECT_EQ(f.scaleChoice, 19);
  f.spanChoice = 6;
  f.scaleChoice = 0;
  AcceptTrendForm(f, s);
  EXPECT_EQ(s.trendSpan, 6);
  EXPECT_EQ(s.trendScale, 0);
}

TEST(TrendForm, ADamagedSettingChecksNothingAndStoresTheFirstChoice) {
  TrendSettings s{9, 42};
  TrendForm f = FillTrendForm(s);
  EXPECT_EQ(f.spanChoice, -1);
  EXPECT_EQ(f.scaleChoice, -1);
  AcceptTrendForm(f, s);
  EXPECT_EQ(s.trendSpan, 0);
  EXPECT_EQ(s.trendScale, 0);
}

}  // namespace
}  // namespace velrix

namespace velrix {
namespace {

TEST(PanelInputsFromLink, CopiesStatusRetriesAndPower) {
  auto link = std::make_unique<UnitLinkState>();
  link->linkStatus = 3;
  link->maxRetryCount = 7;
  link->lastRetryTime = 12345;
  link->batteryLow = 1;
  link->solarReached = 0;
  link->measuring = 1;
  PanelInputs in;
  ReadLinkInputs(in, *link);
  EXPECT_EQ(in.linkStatus, 3);
  EXPECT_EQ(in.maxRetryCount, 7);
  EXPECT_EQ(in.lastRetryTime, 12345);
  EXPECT_EQ(in.batteryLow, 1);
  EXPECT_EQ(in.solarReached, 0);
  EXPECT_EQ(in.measuring, 1);
}

}  // namespace
}  // namespace velrix
