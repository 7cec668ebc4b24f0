// What a data file holds: its dated place and name, the CP932 header and the
// rows, byte for byte, and the midnight rollover.

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/datafile/writer_fixture.h"

namespace velrix::testing {
namespace {

TEST_F(WriterTest, MeasurementStartedAt130507WritesDatedFileWithExactBytes) {
  SetLocal(2013, 3, 2, 13, 5, 7);
  ASSERT_EQ(Create(), 0);
  ASSERT_EQ(Append(12.0, 0, 0), 0);
  clock.Advance(1);
  ASSERT_EQ(Append(3.5, 1, 2), 0);
  ASSERT_EQ(CommitDataFile(writer), 0);

  const std::string dated = DataPath("2013/03/02/130302-130507.csv");
  EXPECT_EQ(writer.datedPath, dated);
  EXPECT_EQ(ReadBytes(dated),
            Header() + "13:05:07,0012.000,0,0\r\n13:05:08,0003.500,1,2\r\n");
  EXPECT_EQ(writer.firstRowTime, clock.FromLocal(2013, 3, 2, 13, 5, 7));
  ASSERT_EQ(writer.files.size(), 1);
  EXPECT_STREQ(writer.files.entries[0].name, "130302-130507.csv");
  EXPECT_EQ(writer.files.entries[0].startSecond, 0);
  EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(WriterTest, FirstSampleASecondLaterAnchorsTheFirstRowThen) {
  SetLocal(2013, 3, 2, 13, 5, 7);
  ASSERT_EQ(Create(), 0);
  clock.Advance(1);
  ASSERT_EQ(Append(12.0), 0);
  CommitDataFile(writer);
  EXPECT_EQ(ReadBytes(DataPath("2013/03/02/130302-130507.csv")),
            Header() + "13:05:08,0012.000,0,0\r\n");
}

// A cycle catching up after a gap writes several seconds at once: each row
// carries its own second, not the moment it was written.
TEST_F(WriterTest, RowTimesAreTheirOwnSecondsNotTheTimeOfWriting) {
  SetLocal(2013, 3, 2, 13, 5, 7);
  const ClockSeconds first = clock.Now();
  ASSERT_EQ(Create(), 0);
  clock.Advance(5);
  AppendAt(first, 1.0);
  AppendAt(first + 1, 2.0);
  AppendAt(first + 2, 12345.25);
  CommitDataFile(writer);
  EXPECT_EQ(ReadBytes(writer.datedPath), Header() +
                                             "13:05:07,0001.000,0,0\r\n"
                                             "13:05:08,0002.000,0,0\r\n"
                                             "13:05:09,12345.250,0,0\r\n");
  EXPECT_EQ(writer.firstRowTime, first);
}

TEST_F(WriterTest, EmptyCommentGivesEmptyFourthLineAndFiveHeaderLines) {
  settings.comment.comment.clear();
  SetLocal(2013, 3, 2, 13, 5, 7);
  ASSERT_EQ(Create(), 0);
  EXPECT_EQ(ReadBytes(WorkingPath()), Header(""));
}

TEST_F(WriterTest, HeaderTextsAreCutTo127BytesAfterAWholeCp932Character) {
  std::string kanji64;
  for (int i = 0; i < 64; ++i) kanji64 += "測";
  settings.comment.computerName = "a" + kanji64;                 // 129 bytes in CP932
  settings.comment.unitNumber = std::string(126, 'x') + "測";    // 128 bytes
  settings.comment.comment = std::string(127, 'y') + "z";        // 128 bytes
  SetLocal(2013, 3, 2, 13, 5, 7);
  ASSERT_EQ(Create(), 0);

  std::string kanji63;
  for (int i = 0; i < 63; ++i) kanji63 += "測";
  const std::string expected = "2.00\r\n" + Utf8ToCp932("a" + kanji63) + "\r\n" +
                               std::string(126, 'x') + "\r\n" + std::string(127, 'y') + "\r\n" +
                               Utf8ToCp932("時刻,カウント値,リトライ,電源ステータス") + "\r\n";
  EXPECT_EQ(ReadBytes(WorkingPath()), expected);
}

TEST_F(WriterTest, LineBreakInACommentDoesNotAddHeaderLines) {
  settings.comment.comment = "一行目\r\n二行目";
  SetLocal(2013, 3, 2, 13, 5, 7);
  ASSERT_EQ(Create(), 0);
  EXPECT_EQ(ReadBytes(WorkingPath()), Header("一行目"));
}

TEST_F(WriterTest, AutomaticStartWritesAutoInTheFirstFileOnly) {
  autoStart = AutoStartState::Starting;
  SetLocal(2013, 3, 2, 23, 59, 59);
  ASSERT_EQ(Create(), 0);
  EXPECT_EQ(autoStart, AutoStartState::Started);
  Append(1.0);
  clock.Advance(1);
  elapsed = 2;
  Append(2.0);
  CommitDataFile(writer);
  EXPECT_EQ(ReadBytes(DataPath("2013/03/02/130302-235959.csv")),
            Header("auto") + "23:59:59,0001.000,0,0\r\n");
  EXPECT_EQ(ReadBytes(DataPath("2013/03/03/130303-000000.csv")),
            Header() + "00:00:00,0002.000,0,0\r\n");
}

TEST_F(WriterTest, RunThroughMidnightClosesTheDayAndStartsTheNextAtMidnight) {
  SetLocal(2013, 3, 2, 23, 59, 57);
  ASSERT_EQ(Create(), 0);
  for (int i = 0; i < 5; ++i) {
    elapsed = i + 1;
    ASSERT_EQ(Append(10.0 + i), 0);
    clock.Advance(1);
  }
  CommitDataFile(writer);
  EXPECT_EQ(ReadBytes(DataPath("2013/03/02/130302-235957.csv")),
            Header() +
                "23:59:57,0010.000,0,0\r\n23:59:58,0011.000,0,0\r\n23:59:59,0012.000,0,0\r\n");
  EXPECT_EQ(ReadBytes(DataPath("2013/03/03/130303-000000.csv")),
            Header() + "00:00:00,0013.000,0,0\r\n00:00:01,0014.000,0,0\r\n");
  ASSERT_EQ(writer.files.size(), 2);
  EXPECT_STREQ(writer.files.entries[1].name, "130303-000000.csv");
  EXPECT_EQ(writer.files.entries[1].startSecond, 4);
}

// When local time stops following the seconds (the clock was set, daylight
// saving began or ended), the rows go on in a new file named after the new
// local time: no label repeats or jumps within a file, no row is invented
// for a skipped hour, and no second is summed into another.
struct LocalTimeChange {
  const char* name;
  int startHour, startMinute, startSecond;  // local, 2013-03-02
  ClockSeconds step;                        // calendar seconds added to the fourth row's time
  int newOffset;                            // local time's new UTC offset at the fourth row
  const char* secondFile;                   // below the data folder
  const char* secondFirstRow;
};

class WriterLocalTimeChange : public WriterTest,
                              public ::testing::WithParamInterface<LocalTimeChange> {};

TEST_P(WriterLocalTimeChange, TheRowsGoOnInANewFileNamedAfterTheNewLocalTime) {
  const LocalTimeChange& c = GetParam();
  SetLocal(2013, 3, 2, c.startHour, c.startMinute, c.startSecond);
  const ClockSeconds first = clock.Now();
  ASSERT_EQ(Create(), 0);
  const std::string firstFile = writer.datedPath;
  for (int i = 0; i < 5; ++i) {
    if (i == 3) clock.SetUtcOffset(c.newOffset);
    elapsed = i + 1;
    ASSERT_EQ(AppendAt(first + i + (i >= 3 ? c.step : 0), 10.0 + i), 0);
  }
  CommitDataFile(writer);
  const std::vector<std::string> before = DataRows(ReadBytes(firstFile));
  ASSERT_EQ(before.size(), 3u);
  EXPECT_EQ(before[2].substr(9), "0012.000,0,0");
  EXPECT_EQ(writer.datedPath, DataPath(c.secondFile));
  const std::vector<std::string> after = DataRows(ReadBytes(DataPath(c.secondFile)));
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(after[0], std::string(c.secondFirstRow) + ",0013.000,0,0");
  EXPECT_EQ(after[1].substr(9), "0014.000,0,0");
  // The file list dates each second of the measurement by its own file.
  ASSERT_EQ(writer.files.size(), 2);
  EXPECT_EQ(writer.files.entries[0].firstRowSecond, 0);
  EXPECT_EQ(writer.files.entries[0].firstRowTime, first);
  EXPECT_EQ(writer.files.entries[1].firstRowSecond, 3);
  EXPECT_EQ(writer.files.entries[1].firstRowTime, first + 3 + c.step);
}

constexpr int kJst = 9 * 3600;
INSTANTIATE_TEST_SUITE_P(
    Changes, WriterLocalTimeChange,
    ::testing::Values(
        LocalTimeChange{"ClockSetForwardAnHour", 12, 0, 0, 3600, kJst, "2013/03/02/130302-130003.csv",
                        "13:00:03"},
        LocalTimeChange{"ClockSetBackAnHour", 12, 0, 0, -3600, kJst, "2013/03/02/130302-110003.csv",
                        "11:00:03"},
        LocalTimeChange{"SummerTimeBegins", 12, 0, 0, 0, kJst + 3600,
                        "2013/03/02/130302-130003.csv", "13:00:03"},
        LocalTimeChange{"WinterTimeBegins", 12, 0, 0, 0, kJst - 3600,
                        "2013/03/02/130302-110003.csv", "11:00:03"},
        // Across midnight by a step: no rows for the skipped part of the day.
        LocalTimeChange{"ClockSetForwardPastMidnight", 23, 59, 57, 3600, kJst,
                        "2013/03/03/130303-010000.csv", "01:00:00"},
        // Back to the very second the first file began: its name is taken,
        // so the new file is named a second earlier and nothing is overwritten.
        LocalTimeChange{"ClockSetBackToTheFirstFilesSecond", 12, 0, 0, -3, kJst,
                        "2013/03/02/130302-115959.csv", "12:00:00"}),
    [](const ::testing::TestParamInfo<LocalTimeChange>& info) { return info.param.name; });

TEST_F(WriterTest, FirstSampleAfterMidnightLeavesTheFirstFileWithItsHeaderOnly) {
  SetLocal(2013, 3, 2, 23, 59, 59);
  ASSERT_EQ(Create(), 0);
  SetLocal(2013, 3, 3, 0, 0, 0);
  ASSERT_EQ(Append(5.0), 0);
  CommitDataFile(writer);
  EXPECT_EQ(ReadBytes(DataPath("2013/03/02/130302-235959.csv")), Header());
  EXPECT_EQ(ReadBytes(DataPath("2013/03/03/130303-000000.csv")),
            Header() + "00:00:00,0005.000,0,0\r\n");
}

// A day of seconds is a day of rows, and the next second opens the next
// day's file at 00:00:00.
TEST_F(WriterTest, AWholeDayFileHoldsExactly86400Rows) {
  // Every row is synced as it is written: a day of them on memory, not disk.
  const TempFolder memory("/dev/shm");
  UseTestFolders(settings, memory);
  SetLocal(2013, 3, 2, 23, 59, 59);
  const ClockSeconds first = clock.Now();
  ASSERT_EQ(Create(), 0);
  for (int i = 0; i <= kSecondsPerDay + 1; ++i) ASSERT_EQ(AppendAt(first + i, 1.0), 0) << i;
  const std::string day = ReadBytes(DataPath("2013/03/03/130303-000000.csv"));
  const std::string header = Header();
  ASSERT_EQ(day.compare(0, header.size(), header), 0);
  std::size_t rows = 0;
  for (std::size_t i = header.size(); i < day.size(); ++i) rows += day[i] == '\n';
  EXPECT_EQ(rows, 86400u);
  EXPECT_EQ(day.substr(day.size() - 23), "23:59:59,0001.000,0,0\r\n");
  EXPECT_EQ(DataRows(ReadBytes(WorkingPath())), std::vector<std::string>{"00:00:00,0001.000,0,0"});
}

}  // namespace
}  // namespace velrix::testing
