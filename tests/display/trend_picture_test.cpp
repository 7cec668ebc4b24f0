#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "display/trend_picture.h"
#include "tests/datafile/reader_fixture.h"

namespace velrix {
namespace {

struct TrendFixture : ::testing::Test {
  TrendFixture() : history(std::make_unique<History>()), clock(0) {
    in.history = history.get();
    in.table = nullptr;  // empty table: CPS scales need none
    in.clock = &clock;
    in.trend.trendSpan = 0;
    in.trend.trendScale = 10;  // 10 CPS full scale
  }
  void Fill(int seconds, double count) {
    for (int s = 0; s < seconds; ++s) {
      history->slots[s].count = count;
      history->slots[s].average = count;
    }
    history->sampleCount = seconds;
    in.heldSeconds = seconds;
  }
  std::vector<TrendMark> Dots(const TrendPicture& p) const {
    std::vector<TrendMark> dots;
    for (const auto& m : p.marks)
      if (m.kind == TrendMark::Dot) dots.push_back(m);
    return dots;
  }
  bool HasText(const TrendPicture& p, const std::string& text, int x, int y) const {
    return std::any_of(p.texts.begin(), p.texts.end(), [&](const TrendText& t) {
      return t.text == text && t.x == x && t.y == y;
    });
  }

  std::unique_ptr<History> history;
  ManualClock clock;
  TrendInputs in;
};

TEST_F(TrendFixture, LiveMinuteSpanPlotsOneDotPerSecondInCyanWithANowLine) {
  Fill(30, 5.0);
  const TrendPicture p = BuildTrendPicture(in);
  const auto dots = Dots(p);
  // The starting dot at x1 and then 30 points.
  ASSERT_EQ(dots.size(), 31u);
  EXPECT_EQ(dots[0].palette, kTrendPaletteStartDot);
  EXPECT_EQ(dots[1].x1, 75);
  EXPECT_EQ(dots[1].y1, 365);
  EXPECT_EQ(dots[1].palette, kTrendPaletteCyan);
  EXPECT_TRUE(p.nowLine);
  EXPECT_EQ(p.nowX, 60 + 30 * 15);
}

TEST_F(TrendFixture, RetrySecondsAreRed) {
  for (int span : {0, 1}) {
    SCOPED_TRACE(span);
    in.trend.trendSpan = span;
    Fill(10, 5.0);
    history->slots[4].missing = 1;
    history->slots[1].missing = 1;
    auto dots = Dots(BuildTrendPicture(in));
    ASSERT_EQ(dots.size(), 11u);
    EXPECT_EQ(dots[5].palette, kTrendPaletteRed);  // point k = 5 is second 4
    EXPECT_EQ(dots[4].palette, kTrendPaletteCyan);
    EXPECT_EQ(dots[0].palette, kTrendPaletteStartDot);  // the starting dot is second 0
    history->slots[0].missing = 1;
    dots = Dots(BuildTrendPicture(in));
    EXPECT_EQ(dots[0].palette, kTrendPaletteRed);
    for (int s = 0; s < 10; ++s) history->slots[s].missing = 0;
  }
}

// The average line's point k is the average as it stood at second k - 1,
// and the day span's last point reads the ring's last second.
TEST_F(TrendFixture, EachAveragePointReadsItsOwnSecond) {
  Fill(10, 5.0);
  history->slots[3].average = 8.0;
  TrendPicture p = BuildTrendPicture(in);
  int found = 0;
  for (const TrendMark& m : p.marks) {
    if (m.kind != TrendMark::Line) continue;
    EXPECT_EQ(m.y2, m.x2 == TrendPointX(0, 4) ? 585 - 352 : 585 - 220) << m.x2;
    found += m.x2 == TrendPointX(0, 4);
  }
  EXPECT_EQ(found, 1);

  in.trend.trendSpan = 3;
  Fill(kSecondSlots, 5.0);
  history->slots[kSecondSlots - 1].average = 8.0;
  history->levels[1].written = 720;
  for (int i = 0; i < 720; ++i) history->levels[1].meanCount[i] = 5.0;
  p = BuildTrendPicture(in);
  ASSERT_FALSE(p.marks.empty());
  EXPECT_EQ(p.marks.back().kind, TrendMark::Line);
  EXPECT_EQ(p.marks.back().x2, 960);
  EXPECT_EQ(p.marks.back().y2, 585 - 352);
}

TEST_F(TrendFixture, NoDataLeavesAGapInDotsAndAverageLine) {
  Fill(10, 5.0);
  history->slots[5].count = -9999;
  history->slots[5].average = -9999;
  const TrendPicture p = BuildTrendPicture(in);
  EXPECT_EQ(Dots(p).size(), 10u);  // starting dot + 9
  int lines = 0;
  for (const auto& m : p.marks) lines += m.kind == TrendMark::Line;
  EXPECT_EQ(lines, 10 - 2);  // ten average points joined to the start, two joins broken
}

TEST_F(TrendFixture, MinusOneIsAlreadyNoData) {
  Fill(10, 5.0);
  history->slots[5].count = -1.0;
  history->slots[5].average = -1.0;
  const TrendPicture p = BuildTrendPicture(in);
  EXPECT_EQ(Dots(p).size(), 10u);
  int lines = 0;
  for (const auto& m : p.marks) lines += m.kind == TrendMark::Line;
  EXPECT_EQ(lines, 10 - 2);
}

TEST_F(TrendFixture, AfterScrollingTheStartingDotIsTheSecondBeforeTheWindow) {
  Fill(61, 5.0);
  history->slots[9].count = 2.0;
  const TrendPicture p = BuildTrendPicture(in);
  const auto dots = Dots(p);
  ASSERT_FALSE(dots.empty());
  EXPECT_EQ(dots[0].x1, kPlotLeft);
  EXPECT_EQ(dots[0].y1, 585 - 88);
}

// A file view whose lead-in day was consumed starts at ring index 0 without
// being second 0: the starting dot and the average line's start come from
// the slot before it, the ring's last.
TEST_F(TrendFixture, AWindowNotStartingAtSecondZeroStartsFromTheSlotBeforeIt) {
  Fill(10, 5.0);
  history->slots[kSecondSlots - 1].count = 2.0;
  history->slots[kSecondSlots - 1].average = 8.0;
  in.fileMode = 1;
  in.warmUpConsumed = 1;
  const TrendPicture p = BuildTrendPicture(in);
  const auto dots = Dots(p);
  ASSERT_EQ(dots.size(), 11u);
  EXPECT_EQ(dots[0].x1, kPlotLeft);
  EXPECT_EQ(dots[0].y1, 585 - 88);
  const auto line = std::find_if(p.marks.begin(), p.marks.end(),
                                 [](const TrendMark& m) { return m.kind == TrendMark::Line; });
  ASSERT_NE(line, p.marks.end());
  EXPECT_EQ(line->x1, kPlotLeft);
  EXPECT_EQ(line->y1, 585 - 352);
  EXPECT_EQ(line->y2, 585 - 220);
  EXPECT_EQ(dots[0].palette, DarkFilePalette(0));
  // A slot before the window without data gives no starting dot.
  history->slots[kSecondSlots - 1].count = -1.0;
  EXPECT_EQ(Dots(BuildTrendPicture(in)).size(), 10u);
  // The level spans have no starting dot, only the average line's start.
  history->slots[kSecondSlots - 1].count = 2.0;
  in.trend.trendSpan = 2;
  history->levels[0].written = 1;
  history->levels[0].meanCount[0] = 5.0;
  EXPECT_EQ(Dots(BuildTrendPicture(in)).size(), 1u);
}

TEST_F(TrendFixture, EmptyHistoryDrawsLabelsButNoPoints) {
  const TrendPicture p = BuildTrendPicture(in);
  EXPECT_TRUE(p.marks.empty());
  EXPECT_FALSE(p.nowLine);
  EXPECT_TRUE(HasText(p, "CPS", 5, 125));
  EXPECT_TRUE(HasText(p, "[カーソル表示ON]", 65, 129));
  EXPECT_TRUE(HasText(p, "秒", 968, 577));
  // Value labels end left of the plot at each grid line, time labels are
  // centred under theirs.
  EXPECT_TRUE(HasText(p, "0", 52, 580));
  EXPECT_TRUE(HasText(p, "5", 52, 360));
  EXPECT_TRUE(HasText(p, "10", 46, 140));
  EXPECT_TRUE(HasText(p, "0", 59, 592));
  EXPECT_TRUE(HasText(p, "60", 956, 592));
  // Unit label, cursor state, three value labels, seven time labels, axis unit.
  EXPECT_EQ(p.texts.size(), 13u);
}

TEST_F(TrendFixture, CursorOffIsShownInGrey) {
  in.cursorShown = 0;
  const TrendPicture p = BuildTrendPicture(in);
  const auto it = std::find_if(p.texts.begin(), p.texts.end(),
                               [](const TrendText& t) { return t.text == kCursorOffText; });
  ASSERT_NE(it, p.texts.end());
  EXPECT_EQ(it->palette, kTrendPaletteGrey);
}

TEST_F(TrendFixture, DatesAppearOnlyWhileMeasuring) {
  Fill(61, 5.0);
  in.startTime = clock.FromLocal(2024, 3, 5, 12, 0, 0);
  EXPECT_FALSE(HasText(BuildTrendPicture(in), "2024/ 3/ 5", 32, 605));
  in.measuring = 1;
  const TrendPicture p = BuildTrendPicture(in);
  EXPECT_TRUE(HasText(p, "2024/ 3/ 5", 32, 605));
  EXPECT_TRUE(HasText(p, "12:00:10", 60 - 24 + 2, 618));  // start + offset 10
  EXPECT_TRUE(HasText(p, "12:01:10", 960 - 24 + 2, 618));
}

TEST_F(TrendFixture, HourSpanSamplesTheAverageAtTheLastSecondOfEachPoint) {
  in.trend.trendSpan = 2;
  Fill(100, 1.0);
  for (int s = 0; s < 100; ++s) history->slots[s].average = s % 10 == 9 ? 8.0 : 1.0;
  history->levels[0].written = 10;
  for (int i = 0; i < 10; ++i) history->levels[0].meanCount[i] = 3.0;
  const TrendPicture p = BuildTrendPicture(in);
  EXPECT_EQ(Dots(p).size(), 11u);
  for (const auto& m : p.marks) {
    if (m.kind == TrendMark::Line) {
      EXPECT_EQ(m.y2, 585 - 352);
    }
  }
}

// The level spans start their average line at the last second of the first
// point, as every later point of that line reads its period's last second.
TEST_F(TrendFixture, LevelSpansStartTheAverageLineAtTheFirstPointsLastSecond) {
  for (int span : {2, 3}) {
    SCOPED_TRACE(span);
    const int period = span == 2 ? 10 : 120;
    in.trend.trendSpan = span;
    Fill(5 * period, 1.0);
    for (int s = 0; s < 5 * period; ++s) history->slots[s].average = 2.0;
    history->slots[period - 1].average = 6.0;
    TrendLevel& level = history->levels[span == 2 ? 0 : 1];
    level.written = 5;
    for (int i = 0; i < 5; ++i) level.meanCount[i] = 3.0;
    const TrendPicture p = BuildTrendPicture(in);
    // The points are the level's means, not the seconds' counts.
    const auto dots = Dots(p);
    ASSERT_EQ(dots.size(), 6u);
    for (const TrendMark& d : dots) EXPECT_EQ(d.y1, 585 - 132);
    const auto line = std::find_if(p.marks.begin(), p.marks.end(),
                                   [](const TrendMark& m) { return m.kind == TrendMark::Line; });
    ASSERT_NE(line, p.marks.end());
    EXPECT_EQ(line->x1, TrendPointX(span, 1));
    EXPECT_EQ(line->y1, 585 - 264);
    EXPECT_EQ(line->y2, 585 - 264);
  }
}

// Heights round to the nearest pixel: 0.36 CPS of 10 is 15.84 pixels.
TEST_F(TrendFixture, PointsAndAverageLineRoundTheirHeightToTheNearestPixel) {
  Fill(3, 0.36);
  const TrendPicture p = BuildTrendPicture(in);
  ASSERT_EQ(p.marks.size(), 7u);  // starting dot, three points, three average joins
  for (const TrendMark& m : p.marks) {
    EXPECT_EQ(m.y1, 585 - 16);
    EXPECT_EQ(m.y2, 585 - 16);
  }
}

// After a lead-in day the window starts at a file's start: the dot at x 60
// (the lead-in's last second, which ends at second 0) and the average line's
// start belong to the file that holds second 0, so the line joins on.
TEST_F(TrendFixture, TheStartingDotAndAverageTakeTheFileOfTheWindowsFirstSecond) {
  in.fileMode = 1;
  in.warmUpConsumed = 1;
  Fill(10, 5.0);
  history->slots[kSecondSlots - 1].count = 5.0;
  history->slots[kSecondSlots - 1].average = 5.0;
  in.files = {{0, 1}, {5, 2}};
  const TrendPicture p = BuildTrendPicture(in);
  const auto dots = Dots(p);
  ASSERT_FALSE(dots.empty());
  EXPECT_EQ(dots[0].x1, 60);
  EXPECT_EQ(dots[0].palette, DarkFilePalette(1));
  const auto first = std::find_if(p.marks.begin(), p.marks.end(),
                                  [](const TrendMark& m) { return m.kind == TrendMark::Line; });
  ASSERT_NE(first, p.marks.end());
  EXPECT_EQ(first->x1, 60);
  EXPECT_EQ(first->palette, BrightFilePalette(1));
}

TEST_F(TrendFixture, LongSpansJoinPointsWithinOneFile) {
  in.trend.trendSpan = 4;
  in.fileMode = 1;
  in.heldSeconds = 10 * 3600;
  history->levels[2].written = 10;
  for (int i = 0; i < 10; ++i) history->levels[2].meanCount[i] = 4.0;
  in.files = {{0, 0}, {5 * 3600 + 1, 1}};
  const TrendPicture p = BuildTrendPicture(in);
  EXPECT_FALSE(p.nowLine);
  int lines = 0;
  for (const auto& m : p.marks) {
    if (m.kind == TrendMark::Line) ++lines;
    if (m.kind != TrendMark::Dot) continue;
    EXPECT_EQ(m.palette, m.x1 <= TrendPointX(4, 5) ? 4 : 1) << m.x1;
  }
  EXPECT_EQ(lines, 8);  // 9 joins, one broken at the file change
}

TEST(TrendFiles, TheFileOfASecondIsTheLastThatStartedByThen) {
  const std::vector<TrendFileSpan> files = {{0, 0}, {100, 1}, {200, 2}};
  EXPECT_EQ(TrendFileAt(files, 0), 0);
  EXPECT_EQ(TrendFileAt(files, 99), 0);
  EXPECT_EQ(TrendFileAt(files, 100), 1);
  EXPECT_EQ(TrendFileAt(files, 5000), 2);
  EXPECT_EQ(TrendFileAt(files, -5), 2);
  EXPECT_EQ(TrendFileAt({}, 5), -1);
  const int dark[4] = {14, 13, 15, 16};
  const int bright[4] = {4, 1, 0, 5};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(DarkFilePalette(i), dark[i]) << i;
    EXPECT_EQ(BrightFilePalette(i), bright[i]) << i;
  }
  // An index from a damaged comment takes the first colour.
  for (int i : {-1, 4, 1000}) {
    EXPECT_EQ(DarkFilePalette(i), 14) << i;
    EXPECT_EQ(BrightFilePalette(i), 4) << i;
  }
}

}  // namespace
}  // namespace velrix

namespace velrix {
namespace {

TEST(LiveTrend, InputsHoldTheMeasurementsSecondsAndStart) {
  auto history = std::make_unique<History>();
  history->sampleCount = 42;
  auto table = std::make_unique<DoseTable>();
  ManualClock clock(0);
  const TrendInputs in = LiveTrendInputs(*history, TrendSettings{1, 2}, *table, 777, clock, 1, 0);
  EXPECT_EQ(in.history, history.get());
  EXPECT_EQ(in.table, table.get());
  EXPECT_EQ(in.clock, &clock);
  EXPECT_EQ(in.measuring, 1);
  EXPECT_EQ(in.trend.trendSpan, 1);
  EXPECT_EQ(in.heldSeconds, 42);
  EXPECT_EQ(in.startTime, 776);  // the second before the first row
  EXPECT_EQ(in.fileMode, 0);
  EXPECT_EQ(in.trend.trendScale, 2);
  EXPECT_EQ(in.cursorShown, 0);
}

}  // namespace
}  // namespace velrix

// Loaded files drawn as the view draws them: each point in the dark colour
// of the file whose second it ends at, retry seconds red only in files that
// record them ("2.00"), dates from the load's origin.
namespace velrix::testing {
namespace {

TEST_F(ReaderTest, TheFileViewColoursByCommentAndMarksRetriesOnlyInVersionTwo) {
  for (const char* version : {"2.00", "1.00"}) {
    ResetFileHistory(*h);
    h->origin = Local(2013, 3, 2, 10, 0, 0);
    // Rows stamped 10:00:01-03 and 10:00:04-05: points 1-3 and 4-5.
    FileSpec a{"130302-100001.csv", -1, {5.0, 5.0, 5.0}, "A", version};
    a.missing = {0, 1, 0};
    Load(Write(a));
    Load(Write({"130302-100004.csv", -1, {5.0, 5.0}, "B", version}));
    TrendSettings trend{0, 10};
    EXPECT_EQ(FileTrendInputs(*h, trend, DoseTable{}, clock, 0).cursorShown, 0);
    const TrendPicture p = BuildTrendPicture(FileTrendInputs(*h, trend, DoseTable{}, clock, 1));
    std::vector<int> palettes;
    for (const TrendMark& m : p.marks) {
      if (m.kind == TrendMark::Dot) palettes.push_back(m.palette);
    }
    const int red = std::string(version) == "2.00" ? kTrendPaletteRed : DarkFilePalette(0);
    // The starting dot, then five points: file A (dark set 0), file B (dark set 1).
    EXPECT_EQ(palettes, (std::vector<int>{kTrendPaletteStartDot, DarkFilePalette(0), red,
                                          DarkFilePalette(0), DarkFilePalette(1),
                                          DarkFilePalette(1)}))
        << version;
    EXPECT_FALSE(p.nowLine);
    const bool dated = std::any_of(p.texts.begin(), p.texts.end(), [](const TrendText& t) {
      return t.text == "10:00:00" && t.y == 618;
    });
    EXPECT_TRUE(dated);
  }
}

}  // namespace
}  // namespace velrix::testing
