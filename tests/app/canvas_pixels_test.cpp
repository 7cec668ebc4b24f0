// The view's picture at the fixed pixels the layout promises: the dark plot
// area, the fills of the two top boxes where the covering check reads them
// back, and the link line in red or blue by the state of the link.

#include <gtest/gtest.h>

#include "sim/sim_unit.h"
#include "tests/app/app_fixture.h"

namespace velrix::testing {
namespace {

// The link line's area: NG text from 880, 635, OK text from 840, 635.
constexpr int kLinkLeft = 830, kLinkTop = 635, kLinkRight = 998, kLinkBottom = 650;

void ExpectLayoutPixels(const QImage& canvas) {
  ASSERT_EQ(canvas.size(), QSize(998, 672));
  // Plot area, away from the grid lines (x 60 + 150 j, y 145, 365, 585).
  for (const QPoint p : {QPoint(61, 146), QPoint(100, 200), QPoint(400, 300), QPoint(900, 550),
                         QPoint(959, 584)}) {
    EXPECT_TRUE(IsRgb(canvas, p.x(), p.y(), 0, 33, 0)) << p.x() << "," << p.y();
  }
  EXPECT_TRUE(IsRgb(canvas, 64, 7, 190, 255, 190));
  EXPECT_TRUE(IsRgb(canvas, 373, 7, 180, 210, 255));
  // The whole-window fill around everything else.
  EXPECT_TRUE(IsRgb(canvas, 5, 5, 220, 220, 220));
  EXPECT_TRUE(IsRgb(canvas, 20, 665, 220, 220, 220));
}

TEST(CanvasPixels, NoUnitFoundDrawsTheLayoutAndARedNgLine) {
  ProgramFolder folder;
  Shell shell(folder, kNoSuchUnit);
  ASSERT_TRUE(shell.ShowAndPaint());
  ASSERT_TRUE(PumpUntil([&] { return shell.link().linkStatus.load() == kLinkNg; }, 20.0));
  shell.view().RenderCanvas();
  const QImage& canvas = shell.view().Canvas();
  ExpectLayoutPixels(canvas);
  EXPECT_GT(CountRgb(canvas, 880, kLinkTop, kLinkRight, kLinkBottom, 255, 0, 0), 30);
  EXPECT_EQ(CountRgb(canvas, kLinkLeft, kLinkTop, kLinkRight, kLinkBottom, 0, 0, 255), 0);
}

// A power command sent just before the unit was lost waits for a status
// read that will never come; the NG line ends the wait, so the power
// events can send again once the unit is back.
TEST(CanvasPixels, TheNgLineEndsTheWaitForAPowerCommandsStatusRead) {
  ProgramFolder folder;
  Shell shell(folder, kNoSuchUnit);
  ASSERT_TRUE(shell.ShowAndPaint());
  ASSERT_TRUE(PumpUntil([&] { return shell.link().linkStatus.load() == kLinkNg; }, 20.0));
  shell.link().powerCommandState.store(2);
  shell.view().RenderCanvas();
  EXPECT_EQ(shell.link().powerCommandState.load(), 0);
}

TEST(CanvasPixels, AnAnsweringUnitDrawsTheLayoutAndABlueOkLine) {
  ProgramFolder folder;
  sim::SimUnit unit;
  std::string error;
  ASSERT_TRUE(unit.Start(&error)) << error;
  Shell shell(folder, unit.DevicePath());
  ASSERT_TRUE(shell.ShowAndPaint());
  ASSERT_TRUE(PumpUntil([&] { return shell.link().linkStatus.load() == kLinkOk; }, kLinkUpSeconds));
  shell.view().RenderCanvas();
  const QImage& canvas = shell.view().Canvas();
  ExpectLayoutPixels(canvas);
  EXPECT_GT(CountRgb(canvas, 840, kLinkTop, kLinkRight, kLinkBottom, 0, 0, 255), 30);
  EXPECT_EQ(CountRgb(canvas, kLinkLeft, kLinkTop, kLinkRight, kLinkBottom, 255, 0, 0), 0);
}

TEST(CanvasPixels, ThePaintedWindowShowsTheCanvas) {
  ProgramFolder folder;
  Shell shell(folder, kNoSuchUnit);
  ASSERT_TRUE(shell.ShowAndPaint());
  const QImage shown = shell.view().grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(shown.size(), QSize(998, 672));
  EXPECT_TRUE(IsRgb(shown, 400, 300, 0, 33, 0));
  EXPECT_TRUE(IsRgb(shown, 64, 7, 190, 255, 190));
  EXPECT_TRUE(IsRgb(shown, 373, 7, 180, 210, 255));
}

}  // namespace
}  // namespace velrix::testing
