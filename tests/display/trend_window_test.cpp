#include <gtest/gtest.h>

#include "display/trend_window.h"

namespace velrix {
namespace {

TEST(TrendWindow, OneMinuteSpanScrollsByTenSecondsAfterTheRightEdge) {
  const TrendWindow at61 = ComputeTrendWindow(0, 61, 0, 0);
  EXPECT_EQ(at61.offset, 10);
  EXPECT_EQ(at61.count, 51);
  EXPECT_EQ(at61.first, 10);
  // The newest point stands nine points short of the right edge.
  EXPECT_EQ(TrendPointX(0, at61.count), kPlotRight - 9 * 15);
  EXPECT_EQ(at61.rightBound, 61 + 51 * 15);

  const TrendWindow at70 = ComputeTrendWindow(0, 70, 0, 0);
  EXPECT_EQ(at70.offset, 10);
  EXPECT_EQ(at70.count, 60);

  const TrendWindow at71 = ComputeTrendWindow(0, 71, 0, 0);
  EXPECT_EQ(at71.offset, 20);
  EXPECT_EQ(at71.count, 51);
}

TEST(TrendWindow, BeforeTheRightEdgeTheWindowStartsAtZero) {
  const TrendWindow w = ComputeTrendWindow(0, 60, 0, 0);
  EXPECT_EQ(w.offset, 0);
  EXPECT_EQ(w.count, 60);
  EXPECT_EQ(w.rightBound, 961);
  const TrendWindow empty = ComputeTrendWindow(3, 0, 0, 0);
  EXPECT_EQ(empty.count, 0);
  EXPECT_EQ(empty.rightBound, 61);
}

TEST(TrendWindow, FileViewOfShortSpansAlwaysStartsAtTheBeginning) {
  const TrendWindow w = ComputeTrendWindow(1, 5000, 0, 1);
  EXPECT_EQ(w.offset, 0);
  EXPECT_EQ(w.count, 600);
  const TrendWindow h = ComputeTrendWindow(2, 5000, 500, 1);
  EXPECT_EQ(h.offset, 0);
  EXPECT_EQ(h.count, 360);
}

TEST(TrendWindow, OneHourSpanReadsLevelZeroAndScrollsByTenMinutes) {
  const TrendWindow before = ComputeTrendWindow(2, 1234, 123, 0);
  EXPECT_EQ(before.offset, 0);
  EXPECT_EQ(before.count, 123);
  const TrendWindow after = ComputeTrendWindow(2, 3601, 360, 0);
  EXPECT_EQ(after.offset, 600);
  EXPECT_EQ(after.count, 300);
  EXPECT_EQ(after.first, 60);
}

TEST(TrendWindow, LongSpansScrollInBothViews) {
  // 31 days into a 30-day span: one day step past the edge.
  const int e = 31 * 86400;
  const TrendWindow live = ComputeTrendWindow(4, e, e / 3600, 0);
  const TrendWindow file = ComputeTrendWindow(4, e, e / 3600, 1);
  EXPECT_EQ(live.offset, 86400);
  EXPECT_EQ(file.offset, 86400);
  EXPECT_EQ(live.count, 31 * 24 - 24);
  EXPECT_EQ(live.first, 24);
}

TEST(TrendWindow, CountNeverExceedsTheSpanOrGoesNegative) {
  EXPECT_EQ(ComputeTrendWindow(3, 5 * 86400, 100000, 1).count, 720);
  EXPECT_EQ(ComputeTrendWindow(4, 40 * 86400, 3, 0).count, 0);
  EXPECT_EQ(ComputeTrendWindow(2, -5, -5, 0).count, 0);
}

TEST(TrendWindow, TenYearSpanPositionsDoNotOverflow) {
  EXPECT_EQ(TrendPointX(6, 730), kPlotRight);
  EXPECT_EQ(TrendPointX(6, 365), kPlotLeft + 450);
  const TrendWindow w = ComputeTrendWindow(6, 315360000, 730, 0);
  EXPECT_EQ(w.rightBound, 961);
}

TEST(TrendWindow, UnknownSpanOrScaleReadsAsTheFirst) {
  EXPECT_EQ(TrendSpanOf(9).seconds, 60);
  EXPECT_EQ(TrendScaleOf(-1).full, 0.1);
}

TEST(TrendY, AValueAboveFullScaleSitsOnTheTopLine) {
  EXPECT_EQ(TrendValueY(5.0, 1.0), kPlotTop);
  EXPECT_EQ(TrendValueY(1e300, 1.0), kPlotTop);
  EXPECT_EQ(TrendValueY(1.0, 1.0), kPlotTop);
}

TEST(TrendY, ASmallNegativeValueSitsOnTheZeroLine) {
  EXPECT_EQ(TrendValueY(-0.5, 1.0), kPlotBottom);
  EXPECT_EQ(TrendValueY(-9999.0, 1.0), kPlotBottom);
}

TEST(TrendY, HalfScaleRoundsToTheMiddleLine) {
  EXPECT_EQ(TrendValueY(0.5, 1.0), 365);
  EXPECT_EQ(TrendValueY(0.05, 0.1), 365);
  EXPECT_EQ(TrendValueY(0.0, 0.1), kPlotBottom);
}

TEST(TrendLabels, ScaleLabelsOfTheSmallestDoseScale) {
  EXPECT_EQ(TrendValueLabel(0, 0), "0.00");
  EXPECT_EQ(TrendValueLabel(0, 1), "0.05");
  EXPECT_EQ(TrendValueLabel(0, 2), "0.10");
  EXPECT_EQ(TrendValueLabelX("0.10"), 60 - 24 - 2);
}

TEST(TrendLabels, ScaleLabelsOfTheLargestCpmScaleAreGrouped) {
  EXPECT_EQ(TrendValueLabel(19, 0), "0");
  EXPECT_EQ(TrendValueLabel(19, 1), "500,000");
  EXPECT_EQ(TrendValueLabel(19, 2), "1,000,000");
}

TEST(TrendLabels, TimeLabelsCountFromTheWindowStart) {
  EXPECT_EQ(TrendTimeLabel(0, 10, 0), "10");
  EXPECT_EQ(TrendTimeLabel(0, 10, 6), "70");
  EXPECT_EQ(TrendTimeLabel(1, 0, 10), "10");
  EXPECT_EQ(TrendTimeLabel(2, 600, 6), "70");
  EXPECT_EQ(TrendTimeLabel(3, 7200, 24), "26");
  EXPECT_EQ(TrendTimeLabel(5, 2592000, 12), "13");
  EXPECT_EQ(TrendTimeLabel(6, 0, 10), "10");
  EXPECT_EQ(TrendTimeGridX(3, 24), kPlotRight);
  EXPECT_EQ(TrendCentredTextX(60, "10"), 56);
}

}  // namespace
}  // namespace velrix
