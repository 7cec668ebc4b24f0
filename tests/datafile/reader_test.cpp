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
  // A filter is compared with the whole line: the kept 127 bytes of a longer
  // comment match no filter, a comment of exactly 127 bytes matches.
  h->filters.comment = std::string(127, 'c');
  wide.name = "130302-140000.csv";
  Load(Write(wide));
  EXPECT_EQ(h->files.size(), 2u);
  Load(Write({"130302-150000.csv", -1, {8.0}, std::string(127, 'c')}));
  EXPECT_EQ(h->files.size(), 3u);
}

// A file of the right name and header that is far larger than a day of rows
// (here made sparse, as truncate makes it) is refused with the read failure
// before it is read; one just within the bound loads, and the memory it was
// read into goes back when the load ends.
TEST_F(ReaderTest, AFileBeyondADayOfRowsIsRefusedUnreadAndTheMemoryGoesBack) {
  const std::vector<double> rows = {1.0, 2.0, 3.0, 4.0, 5.0};
  for (const std::uintmax_t size :
       {std::uintmax_t{kDataFileMaxBytes + 1}, std::uintmax_t{1} << 31}) {
    SCOPED_TRACE(size);
    messages.Clear();
    const std::string path = Write({"130302-100000.csv", -1, rows});
    std::filesystem::resize_file(path, size);
    Load(path);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{kCannotOpenText});
    EXPECT_TRUE(h->files.empty());
  }
  messages.Clear();
  const std::string path = Write({"130302-110000.csv", -1, rows});
  std::filesystem::resize_file(path, kDataFileMaxBytes);
  Load(path);
  EXPECT_TRUE(messages.Shown().empty());
  ASSERT_EQ(h->files.size(), 1u);
  EXPECT_EQ(h->loadedSeconds, 5);
  EXPECT_GT(h->readBuffers[0].bytes.capacity(), 0u);
  FinishLoad(*h);
  for (int i = 0; i < kReadBuffers; ++i) EXPECT_EQ(h->readBuffers[i].bytes.capacity(), 0u) << i;
}

// A negative count, or one beyond what a row can hold for a second, is a
// second without data: it leaves the moving average, the level entries and
// the file's mean as the other rows make them.
TEST_F(ReaderTest, CountsThatCannotBeCountsAreSecondsWithoutData) {
  h->averageSeconds = 3;
  const std::vector<double> rows = {2.0, -100.0, 4.0, 1e308, 1e308, 6.0, kRowCountMax,
                                    kRowCountMax + 1, 3.0, 1.0};
  FileSpec f{"130302-100000.csv", -1, rows};
  f.missing = {0, 1};
  Load(Write(f));
  FinishLoad(*h);
  ASSERT_EQ(h->loadedSeconds, 10);
  for (long long s : {1, 3, 4, 7}) EXPECT_EQ(Count(s), kNoDataCount) << s;
  EXPECT_EQ(h->timeline.slots[1].missing, 1);  // the row's flags still stand
  EXPECT_EQ(Count(6), kRowCountMax);
  EXPECT_DOUBLE_EQ(Average(1), 2.0 / 2);
  EXPECT_DOUBLE_EQ(Average(4), 4.0 / 3);
  EXPECT_DOUBLE_EQ(Average(5), 6.0 / 3);
  EXPECT_DOUBLE_EQ(Average(9), (3.0 + 1.0) / 3);  // the window has let every bad row go
  const double mean = (2.0 + 4.0 + 6.0 + kRowCountMax + 3.0 + 1.0) / 6;
  EXPECT_DOUBLE_EQ(h->timeline.levels[0].meanCount[0], mean);  // the first ten seconds
  EXPECT_DOUBLE_EQ(h->timeline.levels[1].meanCount[0], mean);  // the file's mean
}

struct LevelEntries final : LevelEntrySink {
  void Entries(int level, long long first, long long count, double mean, int) override {
    for (long long e = first; e < first + count; ++e) {
      if (level == 0 && mean >= 0.0) withData.emplace_back(e, mean);
    }
  }
  std::vector<std::pair<long long, double>> withData;
};

// The 11:00 file's mean stands in the open entry at ring entry 0 once the
// ten-second ring has gone round; it is that entry's when the entry closes.
TEST_F(ReaderTest, AFilesMeanAtTheStartOfAFullRingIsKeptForTheEntryItBecomes) {
  LevelEntries entries;
  h->sink = &entries;
  h->origin = Local(2013, 3, 2, 10, 0, 0);
  // Each file's first row ends the second of its name, on a ten-second
  // boundary, and stands alone; the other two give the entry after it the
  // file's mean.
  for (const char* name : {"130302-100020.csv", "130302-110000.csv", "130302-120020.csv"}) {
    const double count = 10.0 * (1 + static_cast<int>(h->files.size()));
    Load(Write({name, -1, {count, count, count}}));
  }
  FinishLoad(*h);
  h->sink = nullptr;
  EXPECT_EQ(entries.withData,
            (std::vector<std::pair<long long, double>>{{2, 10.0}, {360, 20.0}, {722, 30.0}}));

  // An entry completed at ring entry 0 of a full ring stays as it is.
  ResetFileHistory(*h);
  h->origin = Local(2013, 3, 2, 10, 0, 0);
  std::vector<double> rows(30);
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<double>(i);
  Load(Write({"130302-105950.csv", -1, rows}));  // 10:59:50 to 11:00:19
  EXPECT_EQ(h->timeline.levels[0].written, 361);
  EXPECT_DOUBLE_EQ(h->timeline.levels[0].meanCount[0],
                   std::accumulate(rows.begin() + 11, rows.begin() + 21, 0.0) / 10);  // 11:00:01-10
}

// The first row normally comes a moment after the file is made: stamped
// with the name's own second or the next one. Either way, and after a later
// first row too, every row lands where it shows at its own stamp.
TEST_F(ReaderTest, EveryRowShowsAtItsOwnStampWhereverTheFirstRowFalls) {
  for (int firstRow : {0, 1, 2, 3}) {
    SCOPED_TRACE(firstRow);
    ResetFileHistory(*h);
    h->origin = Local(2013, 3, 2, 13, 5, 0);
    const int nameSecond = 13 * 3600 + 5 * 60 + 7;
    Load(Write({"130302-130507.csv", nameSecond + firstRow, {5.0, 6.0}}));
    const long long first = 6 + firstRow;
    EXPECT_EQ(Count(first), 5.0);
    EXPECT_EQ(Count(first + 1), 6.0);
    for (long long s = 0; s < first; ++s) EXPECT_EQ(Count(s), kNoDataCount) << s;
    EXPECT_EQ(SlotStamp(h->origin, first), Local(2013, 3, 2, 13, 5, 7 + firstRow));
    EXPECT_EQ(h->files[0].endTime, Local(2013, 3, 2, 13, 5, 8 + firstRow));  // the last stamp
    EXPECT_EQ(h->loadedSeconds, first + 2);
  }
}

// The day's file ends with its 23:59:59 row, whether its first row came in
// the second the file was made or one later, and the midnight file's first
// row follows it in the next slot.
TEST_F(ReaderTest, AcrossMidnightOneCommentContinuesTheAverageAnotherRestartsIt) {
  h->averageSeconds = 4;
  for (const int late : {0, 1}) {
    for (const char* second : {"屋上", "地下"}) {
      SCOPED_TRACE(std::to_string(late) + second);
      ResetFileHistory(*h);
      h->origin = 0;
      const std::string day = late == 0 ? "130302-235957.csv" : "130302-235956.csv";
      Load(Write({day, 23 * 3600 + 59 * 60 + 57, {1.0, 2.0, 3.0}}));
      Load(Write({"130303-000000.csv", -1, {10.0, 20.0}, second}));
      ASSERT_EQ(h->files.size(), 2u);
      EXPECT_EQ(SlotStamp(h->origin, 2), Local(2013, 3, 2, 23, 59, 59));
      EXPECT_EQ(Count(2), 3.0);
      EXPECT_EQ(Count(3), 10.0);
      const bool same = std::string(second) == "屋上";
      EXPECT_DOUBLE_EQ(Average(3), same ? (1 + 2 + 3 + 10) / 4.0 : 10.0);
      EXPECT_DOUBLE_EQ(Average(4), same ? (2 + 3 + 10 + 20) / 4.0 : 15.0);
      EXPECT_EQ(h->files[1].colourIndex, h->files[1].commentIndex % 4);
    }
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
  // A file named with the previous file's last stamp, 10:01:39: its first
  // row's second is taken, and the earlier row keeps it.
  Load(Write({"130302-100139.csv", -1, {5.0, 6.0}}));
  ASSERT_EQ(h->files.size(), 2u);
  EXPECT_EQ(Count(99), 1.0);
  EXPECT_EQ(Count(100), 6.0);
  EXPECT_EQ(h->loadedSeconds, 101);
}

// A second without data between two files of one comment: the moving
// average goes on with that second in its window, and the next file's
// first row, which ends a ten-second period on its own, adds to no entry.
TEST_F(ReaderTest, AfterASecondWithoutDataTheAverageGoesOnAndTheFirstRowStandsAlone) {
  h->averageSeconds = 4;
  h->origin = Local(2013, 3, 2, 10, 0, 0);
  FileSpec first{"130302-100001.csv", -1, {1, 2, 3, 4, 5, 6, 7, 8}};
  first.missing = {1};
  Load(Write(first));                                  // 10:00:01-08
  Load(Write({"130302-100010.csv", -1, {20, 30, 40}}));  // 10:00:10-12
  EXPECT_EQ(h->timeline.slots[0].missing, 1);
  EXPECT_EQ(Count(8), kNoDataCount);  // 10:00:09
  EXPECT_EQ(Count(9), 20.0);
  EXPECT_DOUBLE_EQ(Average(9), (7 + 8 + 20) / 4.0);
  EXPECT_DOUBLE_EQ(Average(11), (20 + 30 + 40) / 4.0);
  EXPECT_DOUBLE_EQ(h->timeline.levels[0].meanCount[0], 4.5);  // the first file's mean
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

// The lead-in day ends with the row stamped midnight, the first of the next
// day's file; the window's rows follow it.
TEST_F(ReaderTest, TheLeadInDayIsDroppedAndTheWindowEndsAtTheSpanLimit) {
  h->averageSeconds = 60;
  h->origin = Local(2013, 3, 2, 0, 0, 0);
  h->warmUpDay = true;
  h->spanLimit = 3600 + 86400;
  Load(Write({"130302-000000.csv", -1, std::vector<double>(40000, 5.0)}));
  // Noon to the day's last second: the lead-in still lacks its last second.
  Load(Write({"130302-120000.csv", -1, std::vector<double>(43200, 1.0)}));
  EXPECT_FALSE(h->warmUpConsumed);
  EXPECT_EQ(h->loadedSeconds, 86399);

  Load(Write({"130303-000000.csv", -1, std::vector<double>(7200, 2.0)}));
  EXPECT_TRUE(h->warmUpConsumed);
  EXPECT_FALSE(h->warmUpDay);
  EXPECT_TRUE(h->loadFull);
  EXPECT_EQ(h->origin, Local(2013, 3, 3, 0, 0, 0));
  EXPECT_EQ(h->spanLimit, 3600);
  EXPECT_EQ(h->loadedSeconds, 3600);
  ASSERT_EQ(h->files.size(), 1u);
  EXPECT_STREQ(h->files[0].name, "130303-000000.csv");
  EXPECT_EQ(Count(86399 - 61), kNoDataCount);  // ahead of the window: cleared
  EXPECT_EQ(Count(86399 - 60), 1.0);           // the lead-in's last N + 1 seconds stay,
  EXPECT_EQ(Count(86399), 2.0);                // the last of them stamped midnight
  EXPECT_EQ(Count(3599), 2.0);
  EXPECT_EQ(Count(3600), kNoDataCount);
  EXPECT_EQ(h->timeline.levels[0].written, 360);
  EXPECT_EQ(h->timeline.levels[1].written, 30);
  EXPECT_EQ(h->timeline.levels[3].written, 0);
  EXPECT_EQ(h->timeline.levels[0].meanCount[0], kNoDataCount);  // a full ring's open entry 0
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
  EXPECT_EQ(h->loadedSeconds, 86399);  // the day's first row ended the lead-in
  for (long long s : {0LL, 3600LL, 20000LL, 39000LL, 86398LL}) EXPECT_EQ(Count(s), 2.0) << s;
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
  EXPECT_EQ(h->files[0].endTime, h->files[0].startTime + 1);  // 23:59:59, its last row
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
