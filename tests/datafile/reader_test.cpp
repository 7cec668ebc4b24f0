// Reading recorded files back: which files are refused and with what
// message, where their rows land on the timeline, and the moving average and
// trend levels built from them, checked against values computed from the
// rows themselves.

#include <sys/stat.h>

#include <numeric>

#include "tests/datafile/reader_fixture.h"

namespace velrix::testing {
namespace {

TEST_F(ReaderTest, EachBadNameFieldHasItsTitleAndUnreadableFilesTheirMessage) {
  const std::vector<std::pair<std::string, std::string>> names = {
      {"short.csv", "ファイル名異常"},          {"130302x130507.csv", "ファイル名異常"},
      {"130302-130507.txt", "ファイル名異常"},  {"100302-130507.csv", "ファイル名(年)異常"},
      {"1a0302-130507.csv", "ファイル名(年)異常"}, {"131302-130507.csv", "ファイル名(月)異常"},
      {"130300-130507.csv", "ファイル名(日)異常"}, {"130302-240507.csv", "ファイル名(時)異常"},
      {"130302-136007.csv", "ファイル名(分)異常"}, {"130302-130560.csv", "ファイル名(秒)異常"}};
  for (const auto& [name, title] : names) {
    messages.Clear();
    Load(Write({name, -1, {1.0}}, temp.path()));
    ASSERT_EQ(messages.Shown().size(), 1u) << name;
    EXPECT_EQ(messages.Shown()[0].title, title) << name;
    EXPECT_EQ(messages.Shown()[0].text, kNotDataFileText);
    EXPECT_EQ(messages.Shown()[0].owner, nullptr);  // stands alone
  }
  // Missing, a folder and a pipe with a data file's name: none is read, none hangs.
  const std::string folder = temp.File("a/130302-130507.csv");
  std::filesystem::create_directories(folder);
  const std::string pipe = temp.File("130302-130508.csv");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  for (const std::string& path : {temp.File("130302-130509.csv"), folder, pipe}) {
    messages.Clear();
    Load(path);
    ASSERT_EQ(messages.Shown().size(), 1u) << path;
    EXPECT_EQ(messages.Shown()[0].title, "システム異常");
    EXPECT_EQ(messages.Shown()[0].text, "データファイルを開くことができません。");
  }
  EXPECT_TRUE(h->files.empty());

  // The bounds are names of data files; a bare name is a path like any other.
  for (const char* name : {"110101-000000.csv", "311231-235959.csv"}) {
    messages.Clear();
    Load(Write({name, -1, {1.0}}, temp.path()));
    EXPECT_TRUE(messages.Shown().empty()) << name;
  }
  messages.Clear();
  Load("130302-130510.csv");
  ASSERT_EQ(messages.Shown().size(), 1u);
  EXPECT_EQ(messages.Shown()[0].title, "システム異常");
}

TEST_F(ReaderTest, OnlyVersionsOneAndTwoAreReadAndLfLineEndsAreAccepted) {
  for (const char* version : {"3.00", "2.0", ""}) {
    messages.Clear();
    Load(Write({"130302-130507.csv", -1, {1.0}, "屋上", version}));
    ASSERT_EQ(messages.Texts(), std::vector<std::string>{kNotDataFileText}) << version;
    EXPECT_EQ(messages.Shown()[0].title, "ファイル選択異常");
  }
  WriteBytes(DayFolder("130302-130507.csv") + "/130302-130508.csv", "");  // 0 bytes
  messages.Clear();
  Load(DayFolder("130302-130507.csv") + "/130302-130508.csv");
  EXPECT_EQ(messages.Shown().size(), 1u);

  FileSpec one{"130302-140000.csv", -1, {4.0, 5.0}};
  one.version = "1.00";
  std::string bytes = Bytes(one);
  for (std::size_t at; (at = bytes.find("\r\n")) != std::string::npos;) bytes.erase(at, 1);
  const std::string path = DayFolder(one.name) + "/" + one.name;
  WriteBytes(path, bytes);
  messages.Clear();
  Load(path);
  EXPECT_TRUE(messages.Shown().empty());
  ASSERT_EQ(h->files.size(), 1u);
  EXPECT_EQ(h->shownVersion, "1.00");
  EXPECT_EQ(h->loadedSeconds, 2);
  EXPECT_EQ(Count(1), 5.0);
}

TEST_F(ReaderTest, FiltersMatchWholeHeaderLinesByteForByte) {
  h->filters.comment = Utf8ToCp932("屋上");
  Load(Write({"130302-100000.csv", -1, {1.0}, "屋上 東"}));
  Load(Write({"130302-110000.csv", -1, {2.0}, "屋上"}));
  h->filters.unitNumber = "0002";
  Load(Write({"130302-120000.csv", -1, {3.0}, "屋上"}));
  EXPECT_TRUE(messages.Shown().empty());
  ASSERT_EQ(h->files.size(), 1u);
  EXPECT_STREQ(h->files[0].name, "130302-110000.csv");

  // A long comment line is kept to 127 bytes and the rows still follow line 5.
  h->filters = {};
  FileSpec wide{"130302-130000.csv", -1, {6.0, 7.0}, std::string(10000, 'c')};
  Load(Write(wide));
  ASSERT_EQ(h->files.size(), 2u);
  EXPECT_EQ(h->files[1].comment, std::string(127, 'c'));
  EXPECT_EQ(Count(h->loadedSeconds - 1), 7.0);
}

// The first row normally comes a moment after the file is made; at the
// file's start or a second later it begins the file, later ones leave a gap.
TEST_F(ReaderTest, AFirstRowUpToASecondLateStartsTheFileLaterOnesLeaveNoData) {
  for (int firstRow : {0, 1, 3}) {
    SCOPED_TRACE(firstRow);
    ResetFileHistory(*h);
    h->origin = Local(2013, 3, 2, 13, 5, 0);
    const int nameSecond = 13 * 3600 + 5 * 60 + 7;
    Load(Write({"130302-130507.csv", nameSecond + firstRow, {5.0, 6.0}}));
    const long long first = firstRow <= 1 ? 7 : 7 + firstRow - 1;
    EXPECT_EQ(Count(first), 5.0);
    EXPECT_EQ(Count(first + 1), 6.0);
    for (long long s = 0; s < first; ++s) EXPECT_EQ(Count(s), kNoDataCount) << s;
    EXPECT_EQ(h->files[0].endTime, h->files[0].startTime + (first - 7) + 2);
    // A row stamped at the file's start shows at its own time; a first row
    // stamped later takes its file a second early.
    EXPECT_EQ(SlotStamp(h->origin, first), Local(2013, 3, 2, 13, 5, 7 + std::max(0, firstRow - 1)));
  }
}

TEST_F(ReaderTest, AcrossMidnightOneCommentContinuesTheAverageAnotherRestartsIt) {
  h->averageSeconds = 4;
  for (const char* second : {"屋上", "地下"}) {
    ResetFileHistory(*h);
    h->origin = 0;
    Load(Write({"130302-235957.csv", -1, {1.0, 2.0, 3.0}}));
    Load(Write({"130303-000000.csv", -1, {10.0, 20.0}, second}));
    ASSERT_EQ(h->files.size(), 2u);
    const bool same = std::string(second) == "屋上";
    EXPECT_DOUBLE_EQ(Average(3), same ? (1 + 2 + 3 + 10) / 4.0 : 10.0) << second;
    EXPECT_DOUBLE_EQ(Average(4), same ? (2 + 3 + 10 + 20) / 4.0 : 15.0) << second;
    EXPECT_EQ(h->files[1].colourIndex, h->files[1].commentIndex % 4);
  }
  // The colours last: loading again gives "屋上" the index it had.
  EXPECT_EQ(h->distinctComments.IndexOf(Utf8ToCp932("屋上")), h->files[0].commentIndex);
}

TEST_F(ReaderTest, AFileStartingBeforeThePreviousEndedIsPassedOverSilently) {
  Load(Write({"130302-100000.csv", -1, std::vector<double>(100, 1.0)}));
  Load(Write({"130302-100030.csv", -1, {9.0}}));
  EXPECT_TRUE(messages.Shown().empty());
  EXPECT_EQ(h->files.size(), 1u);
  EXPECT_EQ(h->loadedSeconds, 100);
}

// Values left by an earlier load must not show through: the second load's
// averages and level means are checked against means of its own rows.
TEST_F(ReaderTest, AveragesAndLevelMeansAreThoseOfTheRows) {
  Load(Write({"130302-000000.csv", -1, std::vector<double>(600, 1000.0)}));
  ResetFileHistory(*h);
  h->origin = 0;
  h->averageSeconds = 7;
  std::vector<double> rows(250);
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<double>((i * 7919) % 13);
  Load(Write({"130304-120000.csv", -1, rows}));
  FinishLoad(*h);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::size_t from = i >= 6 ? i - 6 : 0;
    const double mean = std::accumulate(rows.begin() + from, rows.begin() + i + 1, 0.0) / (i + 1 - from);
    ASSERT_NEAR(Average(i), mean, 1e-9) << i;
  }
  const TrendLevel& tens = h->timeline.levels[0];
  EXPECT_EQ(tens.written, 25);  // every 10 s completed; none partial
  for (int e = 0; e < 25; ++e) {
    const double mean = std::accumulate(rows.begin() + e * 10, rows.begin() + e * 10 + 10, 0.0) / 10;
    EXPECT_NEAR(tens.meanCount[e], mean, 1e-9) << e;
  }
  // Levels that completed entries in the file leave their partial entry
  // uncounted; the others count it, holding the file's mean.
  const TrendLevel& twoMinutes = h->timeline.levels[1];
  EXPECT_EQ(twoMinutes.written, 2);
  EXPECT_NEAR(twoMinutes.meanCount[1],
              std::accumulate(rows.begin() + 120, rows.begin() + 240, 0.0) / 120, 1e-9);
  EXPECT_EQ(h->timeline.levels[2].written, 1);
  EXPECT_NEAR(h->timeline.levels[2].meanCount[0],
              std::accumulate(rows.begin(), rows.end(), 0.0) / 250, 1e-9);
}

TEST_F(ReaderTest, ALevelEntryAveragesOnlyTheRowsOfTheCurrentFilesComment) {
  Load(Write({"130302-100000.csv", -1, {100.0, 100.0, 100.0, 100.0, 100.0}, "A"}));
  Load(Write({"130302-100005.csv", -1, {1.0, 3.0, 1.0, 3.0, 1.0}, "B"}));
  EXPECT_DOUBLE_EQ(h->timeline.levels[0].meanCount[0], 1.8);
}

// After a file, the first level boundary of the gap keeps the file's mean in
// a level that completed no entry of its own during the file; the rest of
// the gap, and the trailing part of a level that did, hold no data.
TEST_F(ReaderTest, AShortFilesMeanStaysInTheLongerLevelsAcrossTheGapAfterIt) {
  std::vector<double> rows(35);
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<double>(i % 4);
  const double mean = std::accumulate(rows.begin(), rows.end(), 0.0) / 35;
  Load(Write({"130302-100000.csv", -1, rows}));
  Load(Write({"130302-101000.csv", -1, {9.0}}));
  const TrendLevel& tens = h->timeline.levels[0];
  const TrendLevel& twoMinutes = h->timeline.levels[1];
  EXPECT_EQ(tens.written, 60);
  EXPECT_DOUBLE_EQ(tens.meanCount[2], std::accumulate(rows.begin() + 20, rows.begin() + 30, 0.0) / 10);
  EXPECT_EQ(tens.meanCount[3], kNoDataCount);  // the part after 30 s: completed entries came before
  EXPECT_EQ(twoMinutes.written, 5);
  EXPECT_DOUBLE_EQ(twoMinutes.meanCount[0], mean);
  for (int e = 1; e < 5; ++e) EXPECT_EQ(twoMinutes.meanCount[e], kNoDataCount) << e;
  EXPECT_EQ(h->levelState[1].comment[0], h->files[0].commentIndex);

  // A file with no rows leaves no mean to keep.
  ResetFileHistory(*h);
  h->origin = 0;
  Load(Write({"130302-120000.csv", -1, {}}));
  Load(Write({"130302-121000.csv", -1, {9.0}}));
  EXPECT_EQ(h->timeline.levels[1].written, 5);
  EXPECT_EQ(h->timeline.levels[1].meanCount[0], kNoDataCount);
}

TEST_F(ReaderTest, MoreThanADayKeepsTheLastDayOfSecondsAndEarlierDaysInTheLevels) {
  Load(Write({"130302-000000.csv", -1, std::vector<double>(86400, 1.0)}));
  Load(Write({"130303-000000.csv", -1, std::vector<double>(86400, 2.0)}));
  FinishLoad(*h);
  EXPECT_EQ(h->loadedSeconds, 2 * 86400);
  for (long long s : {0LL, 43200LL, 86399LL}) EXPECT_EQ(Count(s), 2.0);
  const TrendLevel& hours = h->timeline.levels[2];
  EXPECT_EQ(hours.written, 48);
  EXPECT_EQ(hours.meanCount[23], 1.0);
  EXPECT_EQ(hours.meanCount[24], 2.0);
}

TEST_F(ReaderTest, TheLeadInDayIsDroppedAndTheWindowEndsAtTheSpanLimit) {
  h->averageSeconds = 60;
  h->origin = Local(2013, 3, 2, 0, 0, 0);
  h->warmUpDay = true;
  h->spanLimit = 3600 + 86400;
  Load(Write({"130302-000000.csv", -1, std::vector<double>(40000, 5.0)}));
  EXPECT_FALSE(h->warmUpConsumed);
  // Noon to midnight ends the lead-in day.
  Load(Write({"130302-120000.csv", -1, std::vector<double>(43200, 1.0)}));
  EXPECT_TRUE(h->warmUpConsumed);
  EXPECT_FALSE(h->warmUpDay);
  EXPECT_EQ(h->origin, Local(2013, 3, 3, 0, 0, 0));
  EXPECT_EQ(h->spanLimit, 3600);
  EXPECT_EQ(h->loadedSeconds, 0);
  ASSERT_EQ(h->files.size(), 1u);
  EXPECT_STREQ(h->files[0].name, "130302-120000.csv");
  EXPECT_EQ(Count(86399 - 61), kNoDataCount);  // ahead of the window: cleared
  EXPECT_EQ(Count(86399 - 60), 1.0);           // the lead-in's last N + 1 seconds stay
  EXPECT_EQ(h->timeline.levels[1].written, 0);
  EXPECT_EQ(h->timeline.levels[3].written, 0);

  Load(Write({"130303-000000.csv", -1, std::vector<double>(7200, 2.0)}));
  EXPECT_TRUE(h->loadFull);
  EXPECT_EQ(h->loadedSeconds, 3600);
  EXPECT_EQ(h->files.size(), 2u);
  EXPECT_EQ(Count(3599), 2.0);
  EXPECT_EQ(Count(3600), kNoDataCount);
  EXPECT_EQ(h->timeline.levels[0].written, 360);
  EXPECT_EQ(h->timeline.levels[0].meanCount[0], kNoDataCount);  // a full ring's entry 0
  EXPECT_EQ(h->timeline.levels[0].meanCount[359], 2.0);
}

// A long silence in the lead-in day, then a whole day to show: what the
// window shows is the window's own rows once the load is finished.
TEST_F(ReaderTest, ALongGapInTheLeadInDayLeavesTheWindowsRowsAlone) {
  h->origin = Local(2013, 3, 2, 0, 0, 0);
  h->warmUpDay = true;
  h->spanLimit = 2 * 86400;
  Load(Write({"130302-000000.csv", -1, std::vector<double>(3600, 1.0)}));
  Load(Write({"130302-230000.csv", -1, std::vector<double>(3600, 1.0)}));
  Load(Write({"130303-000000.csv", -1, std::vector<double>(86400, 2.0)}));
  FinishLoad(*h);
  EXPECT_TRUE(h->warmUpConsumed);
  EXPECT_EQ(h->loadedSeconds, 86400);
  for (long long s : {0LL, 3600LL, 20000LL, 39000LL, 86399LL}) EXPECT_EQ(Count(s), 2.0) << s;
}

TEST_F(ReaderTest, TheFileLimitFillsTheLoadAndTheSpanLimitCutsIt) {
  h->fileLimit = 2;
  Load(Write({"130302-100000.csv", -1, {1.0}}));
  EXPECT_FALSE(h->loadFull);
  Load(Write({"130302-110000.csv", -1, {1.0}}));
  EXPECT_TRUE(h->loadFull);

  // A late first row runs past the limit; the load is cut to the limit and a
  // second, and the levels count only what lies before the limit.
  ResetFileHistory(*h);
  h->loadFull = false;
  h->fileLimit = 0;
  h->origin = Local(2013, 3, 2, 10, 0, 0);
  h->spanLimit = 600;
  Load(Write({"130302-100955.csv", 10 * 3600 + 10 * 60 + 15, {3.0, 4.0}}));
  EXPECT_TRUE(h->loadFull);
  EXPECT_EQ(h->loadedSeconds, 601);
  EXPECT_EQ(h->timeline.levels[0].written, 60);
  EXPECT_EQ(h->timeline.levels[1].written, 5);
}

TEST_F(ReaderTest, RowsAfterASecondMidnightEndTheFile) {
  Load(Write({"130302-235958.csv", -1, {1.0, 2.0, 3.0, 4.0}}));
  ASSERT_EQ(h->files.size(), 1u);
  EXPECT_EQ(h->loadedSeconds, 2);
  EXPECT_EQ(h->files[0].endTime, h->files[0].startTime + 2);
  EXPECT_EQ(Count(2), kNoDataCount);
}

TEST_F(ReaderTest, OddRowsAreReadAsTheyStandOrEndTheFile) {
  const std::string head = Bytes({"130302-100000.csv", -1, {}});
  const std::string path = Write({"130302-100000.csv", -1, {}});
  WriteBytes(path, head + "10:00:00,12345.678,1,3\r\n10:00:01,abc,1,2\r\n10:00:02, 7.5 ,0\r\n" +
                       "10:00:03,0001.000,0,0\r\n10:00:0");
  Load(path);
  ASSERT_EQ(h->loadedSeconds, 4);
  EXPECT_EQ(Count(0), 12345.678);
  EXPECT_EQ(h->timeline.slots[0].missing, 1);
  EXPECT_EQ(h->timeline.slots[0].power, 3);
  EXPECT_EQ(Count(1), 0.0);
  EXPECT_EQ(h->timeline.slots[1].power, 2);
  EXPECT_EQ(Count(2), 7.5);
  EXPECT_EQ(h->timeline.slots[2].power, 0);

  // A malformed first row: the header is taken, the file has no rows. Bytes
  // that are no CP932 in a header are kept as they are.
  for (const char* first : {"25:00:00", "12:60:00", "12:00:60", "12:00"}) {
    WriteBytes(path, std::string("2.00\r\n\xFF\xFE\r\n0001\r\nx\r\ntitles\r\n") + first +
                         ",0001.000,0,0\r\n10:00:01,0001.000,0,0\r\n");
    ResetFileHistory(*h);
    h->origin = 0;
    Load(path);
    ASSERT_EQ(h->files.size(), 1u) << first;
    EXPECT_EQ(h->files[0].computerName, "\xFF\xFE");
    EXPECT_EQ(h->loadedSeconds, 0) << first;
  }
  EXPECT_TRUE(messages.Shown().empty());
  // A file that ends within its header takes nothing of the file before.
  WriteBytes(path, "2.00\r\nPC-02\r\n");
  Load(path);
  ASSERT_EQ(h->files.size(), 2u);
  EXPECT_EQ(h->files[1].unitNumber, "");
  EXPECT_EQ(h->files[1].comment, "");
}

TEST(CommentTable, EveryCommentKeepsItsOwnIndexAndColourPastTenThousand) {
  CommentTable table;
  for (int i = 0; i < 10005; ++i) ASSERT_EQ(table.IndexOf("c" + std::to_string(i)), i);
  EXPECT_EQ(table.IndexOf("c10003"), 10003);
  EXPECT_EQ(table.Comment(10004), "c10004");
  EXPECT_EQ(CommentTable::ColourOf(10003), 3);
}

}  // namespace
}  // namespace velrix::testing
