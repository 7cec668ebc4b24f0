#include <gtest/gtest.h>

#include "display/ui/panel_painter.h"
#include "display/ui/power_help.h"
#include "tests/display/ui/ui_fixture.h"

namespace velrix {
namespace {

using testing::At;
using testing::BlankView;
using testing::CountNot;
using testing::CountRgb;
using testing::IsRgb;
using testing::Tools;

const QColor kBackground(220, 220, 220);
const QColor kRed(255, 0, 0);

struct PanelFixture : ::testing::Test {
  PanelFixture() : clock(0), image(BlankView()) {
    in.clock = &clock;
    in.now = clock.FromLocal(2024, 3, 5, 9, 8, 7);
    in.values.integratedDose = 1234.5678;
    in.values.latestCount = 12;
    in.values.movingAverage = 11.5;
    in.values.hourMean = 11;
    in.values.hourCount = 39600;
  }
  PanelResult Draw() {
    QPainter p(&image);
    return DrawPanel(p, Tools(), in);
  }

  ManualClock clock;
  PanelInputs in;
  QImage image;
};

TEST_F(PanelFixture, TopBoxesAreFilledAndTheirProbesRecordTheFill) {
  const PanelResult r = Draw();
  EXPECT_EQ(r.leftProbe.x, 64);
  EXPECT_EQ(r.leftProbe.y, 7);
  EXPECT_EQ(QColor(r.leftProbe.colour), QColor(190, 255, 190));
  EXPECT_EQ(r.rightProbe.x, 373);
  EXPECT_EQ(r.rightProbe.y, 7);
  EXPECT_EQ(QColor(r.rightProbe.colour), QColor(180, 210, 255));
  EXPECT_TRUE(IsRgb(image, 64, 7, 190, 255, 190));
  EXPECT_TRUE(IsRgb(image, 373, 7, 180, 210, 255));
  testing::SavePicture(image, "panel_idle.png");
}

// A line stops one pixel short of its end and no shorter, so the corners of
// the boxes and of the retry frame close.
TEST_F(PanelFixture, BoxAndRetryFrameCornersAreClosed) {
  Draw();
  EXPECT_TRUE(IsRgb(image, 353, 3, 180, 180, 180));    // outer top edge to right - 1
  EXPECT_TRUE(IsRgb(image, 61, 121, 180, 180, 180));   // outer left edge from bottom
  EXPECT_TRUE(IsRgb(image, 61, 120, 150, 150, 150));   // inner left edge from bottom - 1
  EXPECT_TRUE(IsRgb(image, 351, 119, 110, 110, 110));  // shadow along the bottom
  EXPECT_TRUE(IsRgb(image, 352, 119, 110, 110, 110));  // shadow down the right
  EXPECT_TRUE(IsRgb(image, 704, 615, 110, 110, 110));  // retry frame, up to its title gap
  EXPECT_TRUE(IsRgb(image, 705, 615, 220, 220, 220));
  EXPECT_TRUE(IsRgb(image, 830, 655, 110, 110, 110));  // bottom-right corner
  EXPECT_TRUE(IsRgb(image, 640, 615, 110, 110, 110));
}

TEST_F(PanelFixture, SunkenBoxEdgesAreDrawnAtTheirPlaces) {
  Draw();
  // Left box at 60, 3, 294 x 118: outline, outer and inner edges, shadow.
  EXPECT_TRUE(IsRgb(image, 60, 50, 210, 210, 210));
  EXPECT_TRUE(IsRgb(image, 61, 50, 150, 150, 150));  // inner edge over the outer
  EXPECT_TRUE(IsRgb(image, 200, 3, 180, 180, 180));
  EXPECT_TRUE(IsRgb(image, 200, 4, 150, 150, 150));
  EXPECT_TRUE(IsRgb(image, 200, 119, 110, 110, 110));
  EXPECT_TRUE(IsRgb(image, 352, 50, 110, 110, 110));
}

TEST_F(PanelFixture, ValueFieldsAreWhiteAndHoldTheirValues) {
  Draw();
  for (int top : {13, 48, 83}) {
    EXPECT_TRUE(IsRgb(image, 700, top + 5, 255, 255, 255)) << top;
    // Text in the field, dark on white.
    EXPECT_GT(CountNot(image, 462, top + 4, 708, top + 27, Qt::white), 20) << top;
  }
}

TEST_F(PanelFixture, RunMarkWhileMeasuringStopMarkOtherwise) {
  PanelResult r = Draw();
  EXPECT_EQ(r.mark, RunMark::Stop);
  EXPECT_TRUE(IsRgb(image, 571, 627, 255, 0, 0));
  EXPECT_TRUE(IsRgb(image, 566, 622, 0, 0, 0));
  EXPECT_TRUE(IsRgb(image, 409, 626, 220, 220, 220));

  image = BlankView();
  in.measuring = 1;
  r = Draw();
  EXPECT_EQ(r.mark, RunMark::Run);
  EXPECT_TRUE(IsRgb(image, 409, 626, 0, 200, 0));
  EXPECT_TRUE(IsRgb(image, 406, 626, 0, 0, 0));
  EXPECT_TRUE(IsRgb(image, 571, 627, 220, 220, 220));
}

TEST_F(PanelFixture, WarningBoxIsDrawnForAReasonAndClearedWithout) {
  in.warnings.reason = "設定値超過";
  in.warnings.rowFlags[3] = true;
  Draw();
  EXPECT_TRUE(IsRgb(image, 736, 3, 255, 0, 0));
  EXPECT_TRUE(IsRgb(image, 909, 120, 255, 0, 0));
  EXPECT_TRUE(IsRgb(image, 740, 115, 200, 200, 0));
  EXPECT_GT(CountRgb(image, 742, 11, 902, 95, kRed), 2000);  // the big "警告"
  EXPECT_GT(CountRgb(image, 788, 99, 900, 115, kRed), 30);   // the reason
  // The current value is red.
  EXPECT_GT(CountRgb(image, 462, 17, 708, 40, kRed), 20);
  testing::SavePicture(image, "panel_warning.png");

  in.warnings = PanelWarnings{};
  Draw();
  EXPECT_EQ(CountNot(image, 736, 3, 916, 121, kBackground), 0);
  EXPECT_EQ(CountRgb(image, 462, 17, 708, 40, kRed), 0);
}

// Each of the six warnings turns its own value red and no other: the three
// rows of the left box (integrated, day, year) and the three value fields of
// the right box (current, average, one hour).
TEST_F(PanelFixture, EachWarnedValueAndOnlyThatOneIsRed) {
  struct Area {
    int left, top, right, bottom;
  };
  const Area values[6] = {{140, 53, 354, 73},  {140, 75, 354, 95},  {140, 97, 354, 117},
                          {462, 17, 708, 40},  {462, 52, 708, 75},  {462, 87, 708, 110}};
  for (int warned = -1; warned < 6; ++warned) {
    SCOPED_TRACE(warned);
    in.warnings = PanelWarnings{};
    if (warned >= 0) in.warnings.rowFlags[static_cast<std::size_t>(warned)] = true;
    image = BlankView();
    Draw();
    for (int row = 0; row < 6; ++row) {
      const Area& a = values[row];
      const int red = CountRgb(image, a.left, a.top, a.right, a.bottom, kRed);
      if (row == warned) {
        EXPECT_GT(red, 20) << "row " << row;
      } else {
        EXPECT_EQ(red, 0) << "row " << row;
      }
    }
  }
}

TEST_F(PanelFixture, LinkLineOkInBlueNgInRedAndNothingBeforeTheFirstStatus) {
  Draw();
  EXPECT_EQ(CountNot(image, 831, 635, 998, 672, kBackground), 0);

  in.linkStatus = 1;
  in.portName = "ttyUSB0";
  PanelResult r = Draw();
  EXPECT_GT(CountRgb(image, 840, 635, 998, 648, QColor(0, 0, 255)), 30);
  EXPECT_FALSE(r.linkFailedShown);

  in.linkStatus = 3;
  r = Draw();
  EXPECT_EQ(CountRgb(image, 830, 635, 998, 672, QColor(0, 0, 255)), 0);
  EXPECT_GT(CountRgb(image, 880, 635, 998, 648, kRed), 30);
  EXPECT_EQ(CountRgb(image, 830, 635, 879, 648, kRed), 0);
  EXPECT_TRUE(r.linkFailedShown);
  testing::SavePicture(image, "panel_ng.png");
}

TEST_F(PanelFixture, RetryBoxShowsOnlyFrameAndTitleBeforeAnyRetry) {
  Draw();
  EXPECT_TRUE(IsRgb(image, 650, 615, 110, 110, 110));
  EXPECT_TRUE(IsRgb(image, 830, 640, 110, 110, 110));
  EXPECT_TRUE(IsRgb(image, 735, 655, 110, 110, 110));
  EXPECT_EQ(CountNot(image, 645, 624, 825, 650, kBackground), 0);

  in.lastRetryTime = clock.FromLocal(2024, 3, 5, 9, 0, 0);
  in.maxRetryCount = 3;
  Draw();
  EXPECT_GT(CountNot(image, 645, 624, 825, 650, kBackground), 60);
}

TEST_F(PanelFixture, PowerSquaresShowTheReadState) {
  in.batteryLow = 1;
  in.solarReached = 0;
  Draw();
  EXPECT_TRUE(IsRgb(image, 190, 620, 255, 0, 0));
  EXPECT_TRUE(IsRgb(image, 190, 645, 255, 255, 255));
  EXPECT_TRUE(IsRgb(image, 180, 613, 0, 0, 0));
  in.batteryLow = 0;
  in.solarReached = 1;
  Draw();
  EXPECT_TRUE(IsRgb(image, 190, 620, 0, 200, 0));
  EXPECT_TRUE(IsRgb(image, 190, 645, 0, 200, 0));
  in.batteryLow = -1;
  in.solarReached = -1;
  Draw();
  EXPECT_TRUE(IsRgb(image, 190, 620, 220, 220, 220));
  EXPECT_TRUE(IsRgb(image, 199, 628, 0, 0, 0));
}

TEST_F(PanelFixture, StoppedPanelShowsDashesInsteadOfTheCurrentValue) {
  Draw();
  const int running = CountNot(image, 462, 17, 708, 40, Qt::white);
  in.stoppedMark = 1;
  in.stopTime = in.now - 30;
  Draw();
  const int stopped = CountNot(image, 462, 17, 708, 40, Qt::white);
  EXPECT_NE(running, stopped);
  testing::SavePicture(image, "panel_stopped.png");
}

TEST(PowerHelp, RowsOfColourSquaresOnWhite) {
  QImage image(kPowerHelpWidth, kPowerHelpHeight, QImage::Format_RGB32);
  image.fill(Qt::black);
  {
    QPainter p(&image);
    PaintPowerHelp(p, Tools());
  }
  EXPECT_TRUE(IsRgb(image, 2, 70, 255, 255, 255));
  EXPECT_TRUE(IsRgb(image, 84, 10, 0, 200, 0));
  EXPECT_TRUE(IsRgb(image, 84, 26, 255, 0, 0));
  EXPECT_TRUE(IsRgb(image, 84, 44, 0, 200, 0));
  EXPECT_TRUE(IsRgb(image, 84, 60, 255, 255, 255));
  EXPECT_TRUE(IsRgb(image, 74, 54, 0, 0, 0));
  testing::SavePicture(image, "power_help.png");
}

}  // namespace
}  // namespace velrix

namespace velrix {
namespace {

TEST_F(PanelFixture, TextIsDrawnWithoutAntialiasing) {
  in.warnings.reason = "測定限界到達";
  Draw();
  // Inside the warning box only the box's own two colours may appear.
  const int other = testing::CountNot(image, 737, 4, 909, 120, QColor(200, 200, 0)) -
                    CountRgb(image, 737, 4, 909, 120, kRed);
  EXPECT_EQ(other, 0);
}

TEST(MarkedRunButtonPaint, TheMarkSurvivesTheButtonsOwnRepaint) {
  QWidget view;
  view.resize(testing::kViewWidth, testing::kViewHeight);
  MarkedRunButton start(QString::fromUtf8("開始"), Tools(), &view);
  start.setGeometry(330, 609, 100, 36);
  start.SetMark(RunMark::Run);
  QImage face = start.grab().toImage();
  // The triangle's inside at view 409, 626 is button pixel 79, 17.
  EXPECT_TRUE(IsRgb(face, 79, 17, 0, 200, 0));
  start.SetMark(RunMark::None);
  face = start.grab().toImage();
  EXPECT_FALSE(IsRgb(face, 79, 17, 0, 200, 0));
}

}  // namespace
}  // namespace velrix
