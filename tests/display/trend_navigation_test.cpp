// The trend keys: which of them act and when, where a move or a zoom puts the
// window, and the reload around it over real files.

#include "display/trend_navigation.h"
#include "tests/datafile/reader_fixture.h"

namespace velrix::testing {
namespace {

constexpr long long kDay = 86400;

TEST(TrendKeys, EachKeyActsOnlyWhereItMay) {
  TrendKeyState s;
  s.fileMode = 1;
  s.trendSpan = 3;
  s.origin = 1000;
  s.selectionEnd = 1000 + kDay + 1;  // the one-day window does not reach the end yet
  EXPECT_EQ(DecideTrendKey(TrendKey::F1, s), TrendAction::ZoomIn);
  EXPECT_EQ(DecideTrendKey(TrendKey::F2, s), TrendAction::ZoomOut);
  EXPECT_EQ(DecideTrendKey(TrendKey::F3, s), TrendAction::ToggleCursor);
  EXPECT_EQ(DecideTrendKey(TrendKey::F4, s), TrendAction::BackToOpened);
  EXPECT_EQ(DecideTrendKey(TrendKey::Digit1, s), TrendAction::MoveBackHalf);
  EXPECT_EQ(DecideTrendKey(TrendKey::Digit2, s), TrendAction::MoveBackTenth);
  EXPECT_EQ(DecideTrendKey(TrendKey::Digit3, s), TrendAction::MoveForwardTenth);
  EXPECT_EQ(DecideTrendKey(TrendKey::Digit4, s), TrendAction::MoveForwardHalf);
  EXPECT_EQ(DecideTrendKey(TrendKey::Other, s), TrendAction::Refresh);

  // At the end of what was opened, 3 and 4 do nothing.
  s.selectionEnd = 1000 + kDay;
  EXPECT_EQ(DecideTrendKey(TrendKey::Digit3, s), TrendAction::Refresh);
  EXPECT_EQ(DecideTrendKey(TrendKey::Digit4, s), TrendAction::Refresh);
  // A held F-key does not repeat; held digits do.
  s.firstPress = false;
  for (TrendKey k : {TrendKey::F1, TrendKey::F2, TrendKey::F3, TrendKey::F4}) {
    EXPECT_EQ(DecideTrendKey(k, s), TrendAction::Refresh);
  }
  EXPECT_EQ(DecideTrendKey(TrendKey::Digit1, s), TrendAction::MoveBackHalf);
  // The shortest and the longest span cannot zoom further.
  s.firstPress = true;
  s.trendSpan = 0;
  EXPECT_EQ(DecideTrendKey(TrendKey::F1, s), TrendAction::Refresh);
  s.trendSpan = 6;
  EXPECT_EQ(DecideTrendKey(TrendKey::F2, s), TrendAction::Refresh);
  // The live view: only zoom and the cursor.
  s.fileMode = 0;
  s.trendSpan = 3;
  EXPECT_EQ(DecideTrendKey(TrendKey::F1, s), TrendAction::ZoomIn);
  for (TrendKey k : {TrendKey::F4, TrendKey::Digit1, TrendKey::Digit2, TrendKey::Digit3,
                     TrendKey::Digit4}) {
    EXPECT_EQ(DecideTrendKey(k, s), TrendAction::Refresh);
  }
}

TEST(TrendKeys, MovesAndZoomsPlaceTheWindow) {
  const ClockSeconds origin = 100000, start = 90000;
  EXPECT_EQ(NavigationWindowStart(TrendAction::ZoomIn, 200000, origin, 3600, 600, start), 199700);
  EXPECT_EQ(NavigationWindowStart(TrendAction::ZoomOut, 200000, origin, 600, 3600, start), 198200);
  EXPECT_EQ(NavigationWindowStart(TrendAction::MoveBackTenth, 0, origin, 3600, 3600, start), 99640);
  EXPECT_EQ(NavigationWindowStart(TrendAction::MoveBackHalf, 0, origin, 86400, 86400, start), start);
  EXPECT_EQ(NavigationWindowStart(TrendAction::MoveForwardTenth, 0, origin, 3600, 3600, start), 100360);
  EXPECT_EQ(NavigationWindowStart(TrendAction::MoveForwardHalf, 0, origin, 3600, 3600, start), 101800);
}

class NavigationTest : public ReaderTest {};

TEST_F(NavigationTest, AReloadShowsTheWindowWithItsLeadInOrAnEmptyWindowPastTheData) {
  Write({"130302-000000.csv", -1, std::vector<double>(86400, 1.0)});
  Write({"130303-000000.csv", -1, std::vector<double>(86400, 2.0)});
  FileSelection s;
  const ClockSeconds start = Local(2013, 3, 2, 0, 0, 0);
  const ClockSeconds end = Local(2013, 3, 4, 0, 0, 0);
  const ClockSeconds w = Local(2013, 3, 3, 0, 0, 0);
  h->loadFull = true;  // left by an earlier load that filled up
  NavigationReload(*h, s, w, 3600, start, end, dataFolder(), env);
  EXPECT_TRUE(h->warmUpConsumed);
  EXPECT_EQ(h->origin, w);
  EXPECT_EQ(h->loadedSeconds, 3600);
  EXPECT_EQ(Count(0), 2.0);
  // Before the window: the lead-in's last second, stamped with the window's
  // first midnight, and the day's last row before it.
  EXPECT_EQ(Count(86399), 2.0);
  EXPECT_EQ(Count(86398), 1.0);
  EXPECT_EQ((std::vector<int>{s.range.startYear, s.range.startMonth, s.range.startDay,
                              s.range.startHour, s.range.startMinute, s.range.endYear,
                              s.range.endMonth, s.range.endDay, s.range.endHour,
                              s.range.endMinute}),
            (std::vector<int>{2013, 3, 2, 0, 0, 2013, 3, 4, 0, 0}));

  const ClockSeconds past = Local(2013, 3, 5, 0, 0, 0);
  NavigationReload(*h, s, past, 3600, start, end, dataFolder(), env);
  EXPECT_EQ(h->origin, past);
  EXPECT_EQ(h->loadedSeconds, 0);
  EXPECT_FALSE(h->warmUpConsumed);
  EXPECT_TRUE(h->files.empty());
}

TEST_F(NavigationTest, AfterADirectChoiceTheReloadsSearchThatFilesFolder) {
  const std::string elsewhere = temp.File("copied");
  const std::string chosen = Write({"130302-000000.csv", -1, std::vector<double>(86400, 3.0)}, elsewhere);
  FileSelection s;
  ASSERT_EQ(LoadChosenFile(*h, s, chosen, env), 1);
  EXPECT_EQ(s.searchFolder, elsewhere);
  KeepOpenedLoad(*h, s, chosen);
  EXPECT_EQ(h->fileLimit, 1);
  const ClockSeconds start = h->origin;
  const ClockSeconds end = h->files.back().endTime;
  NavigationReload(*h, s, start + 7200, 3600, start, end, dataFolder(), env);
  ASSERT_EQ(h->files.size(), 1u);
  EXPECT_EQ(h->origin, start + 7200);
  EXPECT_EQ(Count(0), 3.0);
  // F4 loads the chosen file again, whole, from its own start.
  EXPECT_EQ(ReloadOpenedLoad(*h, s, dataFolder(), env), 1);
  EXPECT_EQ(h->origin, start);
  EXPECT_EQ(h->loadedSeconds, 86400);
  EXPECT_FALSE(h->warmUpConsumed);
}

// A direct choice the reader refuses, after a condition search with a
// comment filter: what was opened stays as it was, for F4 and the moves.
TEST_F(NavigationTest, ARefusedDirectChoiceLeavesWhatWasOpenedAlone) {
  Write({"130302-100000.csv", -1, std::vector<double>(600, 2.0), "B"});
  Write({"130302-110000.csv", -1, std::vector<double>(600, 1.0), "A"});
  const std::string elsewhere = temp.File("elsewhere");
  Write({"130302-120000.csv", -1, std::vector<double>(600, 3.0), "A"}, elsewhere);
  WriteBytes(elsewhere + "/notes.txt", "x");
  FileSelection s;
  s.commentFilter = "A";
  ConditionRange range;
  range.startYear = range.endYear = 2013;
  range.startMonth = range.endMonth = 3;
  range.startDay = range.endDay = 2;
  ASSERT_EQ(LoadByConditions(*h, s, range, dataFolder(), env), 1);
  KeepOpenedLoad(*h, s, "");
  const ClockSeconds start = h->origin;
  const ClockSeconds end = h->files.back().endTime;

  EXPECT_EQ(LoadChosenFile(*h, s, elsewhere + "/notes.txt", env), 0);
  EXPECT_EQ(messages.Shown().back().title, "ファイル名異常");
  EXPECT_TRUE(s.loadedByCondition);
  EXPECT_TRUE(s.searchFolder.empty());
  // F4 loads the filtered search again ...
  ASSERT_EQ(ReloadOpenedLoad(*h, s, dataFolder(), env), 1);
  EXPECT_STREQ(h->files[0].name, "130302-110000.csv");
  // ... and a move searches the dated tree, with the filter.
  NavigationReload(*h, s, start, 86400, start, Local(2013, 3, 2, 23, 0, 0), dataFolder(), env);
  ASSERT_EQ(h->files.size(), 1u);
  EXPECT_STREQ(h->files[0].name, "130302-110000.csv");
  EXPECT_EQ(end, Local(2013, 3, 2, 11, 9, 59));
}

}  // namespace
}  // namespace velrix::testing
