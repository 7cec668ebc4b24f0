// The trend cursor's read-out: which point the mouse picks, where the pop-up
// and the line go, what the rows say, and when nothing is shown.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "display/cursor_readout.h"
#include "display/trend_window.h"

namespace velrix {
namespace {

struct CursorFixture : ::testing::Test {
  CursorFixture() : history(std::make_unique<History>()), clock(0, 9 * 3600) {
    for (int s = 0; s < 100; ++s) {
      history->slots[s].count = s % 5;
      history->slots[s].average = 2.5 + s / 100.0;
    }
    history->slots[29].missing = 1;
    history->slots[29].power = 3;
    in.history = history.get();
    in.clock = &clock;
    in.span = 0;
    in.scale = 10;  // 10 CPS full scale
    in.startTime = clock.FromLocal(2013, 3, 2, 10, 0, 0);
    in.fileMode = 1;
    in.window = ComputeTrendWindow(0, 40, 0, 1);
    in.details = [](long long slot) {
      return CursorDetails{"130302-100000.csv", "PC-01", "0001", slot >= 20 ? "屋上" : "地下"};
    };
  }
  // The mouse on point k of the minute span, and a little below the middle.
  CursorReadout At(int k, int y = 300) {
    in.mouseX = TrendPointX(0, k);
    in.mouseY = y;
    return ComputeCursorReadout(in);
  }
  std::unique_ptr<History> history;
  ManualClock clock;
  CursorInputs in;
};

// A live measurement whose clock was set an hour forward at its 20th
// second: the pop-up dates each point by the file that holds it, the row's
// own stamp, before and after the change.
TEST_F(CursorFixture, ALivePointIsDatedByTheFileThatHoldsItsSecond) {
  MeasurementFileList files;
  const ClockSeconds first = clock.FromLocal(2013, 3, 2, 10, 0, 0);
  files.entries.resize(2);
  files.entries[0].firstRowSecond = 0;
  files.entries[0].firstRowTime = first;
  files.entries[1].firstRowSecond = 20;
  files.entries[1].firstRowTime = first + 20 + 3600;
  in.fileMode = 0;
  in.window = ComputeTrendWindow(0, 40, 0, 0);
  in.elapsedSeconds = 40;
  in.startTime = first - 1;
  in.changes = LiveDatingChanges(files);
  // Point 20 ends with second 19 (10:00:19), point 21 with second 20, the
  // first row after the step.
  EXPECT_EQ(At(20).rows[3].text, "日時[2013/ 3/ 2 10:00:19]");
  EXPECT_EQ(At(21).rows[3].text, "日時[2013/ 3/ 2 11:00:20]");
  EXPECT_EQ(At(30).rows[3].text, "日時[2013/ 3/ 2 11:00:29]");
}

TEST_F(CursorFixture, ThePointUnderTheMouseIsReadOutWithItsFileAndTime) {
  const CursorReadout r = At(30);
  ASSERT_TRUE(r.shown);
  EXPECT_EQ(r.cursorX, TrendPointX(0, 30));
  EXPECT_EQ(r.lineX, r.cursorX + 2);
  EXPECT_EQ(r.lineY, 148);
  EXPECT_EQ(r.lineHeight, 439);
  EXPECT_EQ(r.popupX, r.cursorX + 20);
  EXPECT_EQ(r.popupY, 210);
  EXPECT_EQ(r.popupWidth, 320);
  EXPECT_EQ(r.popupHeight, 162);
  ASSERT_EQ(r.rows.size(), 10u);
  EXPECT_EQ(r.rows[0].text, "ファイル名[130302-100000.csv]");
  EXPECT_EQ(r.rows[1].text, "経過時間        0時間 0分30秒");
  EXPECT_EQ(r.rows[1].palette, 1);
  // Slot 29: count 4, average 2.79; whole counts per second, averages with two decimals.
  EXPECT_EQ(r.rows[2].text, "現在値[4 CPS] 平均値[2.79 CPS]");
  EXPECT_EQ(r.rows[2].palette, 9);
  // The point ends at second 30: 10:00:30, the stamp of the row in slot 29.
  EXPECT_EQ(r.rows[3].text, "日時[2013/ 3/ 2 10:00:30]");
  EXPECT_EQ(r.time.second, 30);
  EXPECT_EQ(r.rows[4].text, "コンピュータ名[PC-01]");
  EXPECT_EQ(r.rows[6].text, "コメント[屋上]");
  EXPECT_EQ(r.rows[6].palette, 0);
  EXPECT_EQ(r.rows[7].text, "リトライ発生");
  EXPECT_EQ(r.rows[7].y, 116);
  EXPECT_EQ(r.rows[8].text, "バッテリー電圧[不足]");
  EXPECT_EQ(r.rows[8].palette, 3);
  EXPECT_EQ(r.rows[9].text, "ソーラーパネル供給電圧[不足]");

  const CursorReadout calm = At(12);
  ASSERT_EQ(calm.rows.size(), 9u);  // no retry row
  EXPECT_EQ(calm.rows[7].text, "バッテリー電圧[正常]");
  EXPECT_EQ(calm.rows[7].palette, 0);
  EXPECT_EQ(calm.rows[8].text, "ソーラーパネル供給電圧[規定電圧到達]");
  EXPECT_EQ(calm.rows[6].text, "コメント[地下]");
}

TEST_F(CursorFixture, ThePopupsPlaceAndSizeFollowTheSpanVersionAndMouse) {
  in.window = ComputeTrendWindow(0, 60, 0, 1);
  EXPECT_EQ(At(39).popupX, TrendPointX(0, 39) + 20);                 // x 645
  EXPECT_EQ(At(40).popupX, TrendPointX(0, 40) - 320 - 20);           // x 660: to the left
  in.versionTwo = false;
  const CursorReadout old = At(30);
  EXPECT_EQ(old.popupHeight, 114);
  EXPECT_EQ(old.rows.size(), 7u);
  // The ten-year span: no average, a narrow pop-up, the level's mean.
  in.versionTwo = true;
  in.span = 6;
  history->levels[4].written = 3;
  for (int e = 0; e < 3; ++e) history->levels[4].meanCount[e] = 1.25;
  in.window = ComputeTrendWindow(6, 3 * 432000, 3, 1);
  in.mouseX = TrendPointX(6, 2) + 1;  // points lie 2.47 pixels apart here
  in.mouseY = 300;
  const CursorReadout decade = ComputeCursorReadout(in);
  ASSERT_TRUE(decade.shown);
  EXPECT_EQ(decade.popupWidth, 260);
  EXPECT_EQ(decade.popupHeight, 114);
  EXPECT_EQ(decade.rows[2].text, "現在値[1.25 CPS]");
  EXPECT_EQ(decade.rows[1].text, "経過時間      240時間 0分 0秒");
}

TEST_F(CursorFixture, NothingIsShownOffTheDataOrWhenItMayNotBe) {
  EXPECT_FALSE(At(0).shown);          // before the first point at the start
  EXPECT_FALSE(At(41).shown);         // past the newest point
  EXPECT_FALSE(At(30, 140).shown);    // above the plot
  EXPECT_FALSE(At(30, 590).shown);    // below it
  history->slots[14].count = -9999.0;
  EXPECT_FALSE(At(15).shown);         // a second without data
  in.popupAllowed = false;
  EXPECT_FALSE(At(30).shown);
  in.popupAllowed = true;
  in.cursorShown = false;
  EXPECT_FALSE(At(30).shown);
  in.cursorShown = true;
  // The live view while measuring: nothing beyond the last processed second.
  in.fileMode = 0;
  in.measuring = 1;
  in.elapsedSeconds = 25;
  EXPECT_TRUE(At(25).shown);
  EXPECT_FALSE(At(26).shown);
}

TEST_F(CursorFixture, RowsUnitsAndEdgesOfTheReadOut) {
  // Every row's place and colour. Point 20 ends at second 20, where the
  // second file begins: it is that file's first row.
  history->slots[19].power = 1;  // solar low only
  const CursorReadout r = At(20);
  ASSERT_EQ(r.rows.size(), 9u);
  std::vector<int> ys, palettes;
  for (const PopupRow& row : r.rows) {
    ys.push_back(row.y);
    palettes.push_back(row.palette);
  }
  EXPECT_EQ(ys, (std::vector<int>{4, 20, 36, 52, 68, 84, 100, 132, 148}));
  EXPECT_EQ(palettes, (std::vector<int>{7, 1, 9, 7, 7, 7, 0, 0, 3}));
  EXPECT_EQ(r.rows[6].text, "コメント[屋上]");
  EXPECT_EQ(At(19).rows[6].text, "コメント[地下]");
  EXPECT_EQ(r.rows[7].text, "バッテリー電圧[正常]");

  // The unit follows the scale's group: 9-13 counts per second, 14 on per minute.
  in.scale = 9;
  EXPECT_EQ(At(30).rows[2].text, "現在値[4 CPS] 平均値[2.79 CPS]");
  in.scale = 13;
  EXPECT_EQ(At(30).rows[2].text, "現在値[4 CPS] 平均値[2.79 CPS]");
  in.scale = 14;
  EXPECT_EQ(At(30).rows[2].text, "現在値[240 CPM] 平均値[167.40 CPM]");
  in.scale = 10;

  // The mouse on the bound just past the newest point still reads it.
  in.mouseX = in.window.rightBound;
  in.mouseY = 300;
  EXPECT_TRUE(ComputeCursorReadout(in).shown);

  // Once the lead-in is used up, point 0 is a point like any other: it ends
  // with the lead-in's last second, at the far end of the ring.
  history->slots[86399].count = 7;
  history->slots[86399].average = 3.5;
  in.warmUpConsumed = true;
  const CursorReadout first = At(0);
  ASSERT_TRUE(first.shown);
  EXPECT_EQ(first.rows[2].text, "現在値[7 CPS] 平均値[3.50 CPS]");
  EXPECT_EQ(At(1).rows[2].text, "現在値[0 CPS] 平均値[2.50 CPS]");
}

TEST_F(CursorFixture, HourAndMonthSpansReadTheirLevelsAndTheRightAverage) {
  for (int e = 0; e < 720; ++e) {
    history->levels[0].meanCount[e] = 1.5;
    history->levels[2].meanCount[e] = 2.25;
  }
  history->levels[0].written = 720;
  history->levels[2].written = 3;
  history->slots[9].average = 4.0;
  history->slots[7199].average = 6.0;

  // The hour span from the start: point 1 ends with slot 9.
  in.span = 2;
  in.window = ComputeTrendWindow(2, 3600, 360, 1);
  in.mouseX = TrendPointX(2, 1) + 1;
  in.mouseY = 300;
  const CursorReadout hour = ComputeCursorReadout(in);
  ASSERT_TRUE(hour.shown);
  EXPECT_EQ(hour.popupWidth, 320);
  EXPECT_EQ(hour.rows[2].text, "現在値[1.50 CPS] 平均値[4.00 CPS]");

  // Scrolled on in the live view, point 0 of the hour span is never read.
  in.fileMode = 0;
  in.window = ComputeTrendWindow(2, 7200, 720, 0);
  ASSERT_GT(in.window.offset, 0);
  in.mouseX = TrendPointX(2, 0);
  EXPECT_FALSE(ComputeCursorReadout(in).shown);
  in.fileMode = 1;

  // Thirty days: the level's mean alone, in the narrow pop-up.
  in.span = 4;
  in.window = ComputeTrendWindow(4, 3 * 3600, 3, 1);
  in.mouseX = TrendPointX(4, 2) + 1;
  const CursorReadout month = ComputeCursorReadout(in);
  ASSERT_TRUE(month.shown);
  EXPECT_EQ(month.popupWidth, 260);
  EXPECT_EQ(month.rows[2].text, "現在値[2.25 CPS]");
}

TEST_F(CursorFixture, TheAverageWrapsToTheRingsLastSlotAtTheDaysTurn) {
  // A live minute window a day on: one of its points ends exactly at the
  // ring's turn, and its average is the ring's last slot.
  for (int s = 86300; s < 86400; ++s) history->slots[s].average = 8.0;
  for (int s = 0; s < 40; ++s) history->slots[s].average = 1.0;
  in.fileMode = 0;
  in.window = ComputeTrendWindow(0, 86400 + 30, 0, 0);
  const int k = 86400 - in.window.offsetMod;
  ASSERT_GT(k, 0);
  ASSERT_LT(k, in.window.count);
  const CursorReadout r = At(k);
  ASSERT_TRUE(r.shown);
  EXPECT_NE(r.rows[2].text.find("平均値[8.00 CPS]"), std::string::npos) << r.rows[2].text;
}

}  // namespace
}  // namespace velrix
