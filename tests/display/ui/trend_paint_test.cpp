#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "display/ui/trend_info.h"
#include "display/ui/trend_painter.h"
#include "tests/display/ui/ui_fixture.h"

namespace velrix {
namespace {

using testing::BlankView;
using testing::CountRgb;
using testing::IsRgb;
using testing::Tools;

const QColor kPlot(0, 33, 0);
const QColor kCyan(0, 255, 255);

struct TrendPaintFixture : ::testing::Test {
  TrendPaintFixture() : history(std::make_unique<History>()), clock(0), image(BlankView()) {
    in.history = history.get();
    in.clock = &clock;
    in.trend.trendScale = 10;  // 10 CPS full scale: values need no table
    in.startTime = clock.FromLocal(2024, 3, 5, 12, 0, 0);
  }
  void Fill(int seconds, double count) {
    for (int s = 0; s < seconds; ++s) {
      history->slots[s].count = count;
      history->slots[s].average = count;
    }
    history->sampleCount = seconds;
    in.heldSeconds = seconds;
  }
  TrendWindow Draw() {
    QPainter p(&image);
    return DrawTrend(p, Tools(), in);
  }

  std::unique_ptr<History> history;
  ManualClock clock;
  TrendInputs in;
  QImage image;
};

TEST_F(TrendPaintFixture, EmptyGraphHasTheDarkPlotAreaGridsAndLabels) {
  Draw();
  EXPECT_TRUE(IsRgb(image, 300, 300, 0, 33, 0));
  EXPECT_TRUE(IsRgb(image, 61, 146, 0, 33, 0));
  EXPECT_TRUE(IsRgb(image, 959, 584, 0, 33, 0));
  // White zero and full-scale lines and outer time lines.
  EXPECT_TRUE(IsRgb(image, 500, 585, 255, 255, 255));
  EXPECT_TRUE(IsRgb(image, 500, 145, 255, 255, 255));
  EXPECT_TRUE(IsRgb(image, 60, 400, 255, 255, 255));
  EXPECT_TRUE(IsRgb(image, 960, 400, 255, 255, 255));
  // The dotted middle line alternates grey and plot colour.
  EXPECT_TRUE(IsRgb(image, 60, 365, 255, 255, 255));
  EXPECT_TRUE(IsRgb(image, 62, 365, 200, 200, 200));
  EXPECT_TRUE(IsRgb(image, 63, 365, 0, 33, 0));
  // No points, no now line.
  EXPECT_EQ(CountRgb(image, 61, 146, 960, 585, kCyan), 0);
  EXPECT_EQ(CountRgb(image, 61, 146, 960, 585, QColor(0, 200, 0)), 0);
  // Labels in the margins.
  EXPECT_GT(CountRgb(image, 0, 125, 60, 600, Qt::black), 50);
  EXPECT_GT(CountRgb(image, 968, 577, 998, 590, Qt::black), 10);
  testing::SavePicture(image, "trend_empty.png");
}

TEST_F(TrendPaintFixture, ThePlotFrameIsClosedAtItsRightCorners) {
  Draw();
  EXPECT_TRUE(IsRgb(image, 959, 145, 255, 255, 255));
  EXPECT_TRUE(IsRgb(image, 959, 585, 255, 255, 255));
  EXPECT_TRUE(IsRgb(image, 960, 585, 255, 255, 255));
}

TEST_F(TrendPaintFixture, LivePointsAreCyanRetrySecondsRedAndANowLineFollows) {
  Fill(61, 5.0);
  history->slots[30].missing = 1;
  in.measuring = 1;
  const TrendWindow w = Draw();
  EXPECT_EQ(w.offset, 10);
  EXPECT_EQ(w.count, 51);
  // Point k = 1 (second 10) at x 75, y 365.
  EXPECT_TRUE(IsRgb(image, 75, 365, 0, 255, 255));
  // Second 30 is point k = 21 at x 375; the average line crosses its middle row.
  EXPECT_TRUE(IsRgb(image, 375, 364, 255, 0, 0));
  EXPECT_TRUE(IsRgb(image, 360, 364, 0, 255, 255));
  // The now line at x 60 + 51 * 15 = 825.
  EXPECT_TRUE(IsRgb(image, 825, 300, 0, 200, 0));
  EXPECT_TRUE(IsRgb(image, 826, 300, 0, 33, 0));
  // Dates below both ends.
  EXPECT_GT(CountRgb(image, 32, 605, 92, 630, Qt::black), 30);
  EXPECT_GT(CountRgb(image, 932, 605, 992, 630, Qt::black), 30);
  testing::SavePicture(image, "trend_live_minute.png");
}

TEST_F(TrendPaintFixture, ValuesAboveFullScaleOnTheTopLineNegativesOnTheZeroLine) {
  Fill(10, 50.0);         // five times full scale
  history->slots[5].count = -0.5;
  Draw();
  // Point k = 1 at x 75 sits on the top line; k = 6 (second 5) on the zero line.
  EXPECT_TRUE(IsRgb(image, 75, 145, 0, 255, 255));
  EXPECT_TRUE(IsRgb(image, 150, 585, 0, 255, 255));
}

TEST_F(TrendPaintFixture, DatesOnlyWhileMeasuring) {
  Fill(61, 5.0);
  Draw();
  EXPECT_EQ(CountRgb(image, 32, 605, 92, 630, Qt::black), 0);
}

TEST_F(TrendPaintFixture, EverySpanAndScaleDrawsInsideTheView) {
  Fill(86400, 3.0);
  for (int l = 0; l < kTrendLevels; ++l) {
    history->levels[l].written = std::max(1, 86400 / history->levels[l].period);
    for (int i = 0; i < history->levels[l].capacity; ++i) history->levels[l].meanCount[i] = 3.0;
  }
  for (int span = 0; span < kTrendSpans; ++span) {
    for (int scale = 0; scale < kTrendScales; ++scale) {
      image = BlankView();
      in.trend.trendSpan = span;
      in.trend.trendScale = scale;
      const TrendWindow w = Draw();
      EXPECT_LE(w.rightBound, 961) << span << "/" << scale;
      EXPECT_GT(CountRgb(image, 61, 146, 960, 585, kPlot), 300000) << span << "/" << scale;
      EXPECT_GT(CountRgb(image, 58, 140, 962, 590, kCyan), 10) << span << "/" << scale;
    }
    testing::SavePicture(image, "trend_span" + std::to_string(span) + ".png");
  }
}

TEST_F(TrendPaintFixture, FileViewColoursPointsByTheirFile) {
  in.fileMode = 1;
  in.trend.trendSpan = 4;
  in.heldSeconds = 20 * 3600;
  history->levels[2].written = 20;
  for (int i = 0; i < 20; ++i) history->levels[2].meanCount[i] = 5.0;
  in.files = {{0, 0}, {10 * 3600 + 1, 1}};
  Draw();
  // Spans 4-6 use the bright set: cyan (index 0) then magenta (index 1).
  EXPECT_TRUE(IsRgb(image, TrendPointX(4, 3), 365, 0, 255, 255));
  EXPECT_TRUE(IsRgb(image, TrendPointX(4, 15), 365, 255, 0, 255));
  // No now line in the file view.
  EXPECT_EQ(CountRgb(image, 61, 146, 960, 360, QColor(0, 200, 0)), 0);
  testing::SavePicture(image, "trend_file_month.png");
}

}  // namespace
}  // namespace velrix

namespace velrix {
namespace {

// The read-out pop-up's rows in their colours on white, each at x 4.
TEST(TrendInfoPaint, RowsAreDrawnInTheirColoursAtTheirPlacesOnWhite) {
  QImage image(320, 170, QImage::Format_RGB32);
  image.fill(Qt::black);
  {
    QPainter p(&image);
    PaintTrendInfo(p, testing::Tools(), {{4, "ファイル名[x]", 7}, {20, "経過時間", 1},
                                         {36, "現在値", 9}, {116, "リトライ発生", 3},
                                         {132, "バッテリー電圧[正常]", 0}});
  }
  EXPECT_TRUE(testing::IsRgb(image, 0, 0, 255, 255, 255));
  EXPECT_TRUE(testing::IsRgb(image, 319, 169, 255, 255, 255));
  auto inRow = [&](int y, const QColor& c) { return testing::CountRgb(image, 4, y, 120, y + 13, c); };
  EXPECT_GT(inRow(4, QColor(0, 0, 0)), 20);
  EXPECT_GT(inRow(20, QColor(255, 0, 255)), 20);
  EXPECT_GT(inRow(36, QColor(0, 0, 255)), 20);
  EXPECT_GT(inRow(116, QColor(255, 0, 0)), 20);
  EXPECT_GT(inRow(132, QColor(0, 200, 0)), 20);
  EXPECT_EQ(inRow(52, QColor(0, 0, 0)), 0);  // no row there
  EXPECT_EQ(testing::CountRgb(image, 0, 0, 4, 170, QColor(0, 0, 0)), 0);  // nothing left of x 4
}

}  // namespace
}  // namespace velrix
