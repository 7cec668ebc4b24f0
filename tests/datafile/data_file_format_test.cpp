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

TEST_F(WriterTest, RowTimesFollowTheSlotCounterNotTheClock) {
  SetLocal(2013, 3, 2, 13, 5, 7);
  ASSERT_EQ(Create(), 0);
  Append(1.0);
  clock.Advance(5);  // the cycle delivered nothing for a while
  Append(2.0);
  Append(12345.25);
  CommitDataFile(writer);
  EXPECT_EQ(ReadBytes(writer.datedPath), Header() +
                                             "13:05:07,0001.000,0,0\r\n"
                                             "13:05:08,0002.000,0,0\r\n"
                                             "13:05:09,12345.250,0,0\r\n");
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

// The seconds of the old day that never came are zero rows marked missing,
// with the power status of the sample that crossed midnight, even when that
// sample itself was counted.
TEST_F(WriterTest, EmptySlotsAtTheRolloverBecomeMissingZeroRows) {
  SetLocal(2013, 3, 2, 23, 59, 56);
  ASSERT_EQ(Create(), 0);
  Append(7.0);
  SetLocal(2013, 3, 3, 0, 0, 1);  // three seconds of the old day never came
  Append(8.0, 0, 3);
  CommitDataFile(writer);
  EXPECT_EQ(ReadBytes(DataPath("2013/03/02/130302-235956.csv")),
            Header() +
                "23:59:56,0007.000,0,0\r\n23:59:57,0000.000,1,3\r\n"
                "23:59:58,0000.000,1,3\r\n23:59:59,0000.000,1,3\r\n");
  EXPECT_EQ(ReadBytes(DataPath("2013/03/03/130303-000000.csv")),
            Header() + "00:00:00,0008.000,0,3\r\n");
}

TEST_F(WriterTest, MoreSamplesThanSecondsCarryIntoTheNextDaysFirstRow) {
  SetLocal(2013, 3, 2, 23, 59, 58);
  ASSERT_EQ(Create(), 0);
  Append(1.0);
  Append(2.0);  // slot 23:59:59, the day is now full
  Append(4.0);  // no row left: carried
  Append(8.0);  // carried
  SetLocal(2013, 3, 3, 0, 0, 0);
  Append(16.0);
  Append(32.0);
  CommitDataFile(writer);
  EXPECT_EQ(ReadBytes(DataPath("2013/03/02/130302-235958.csv")),
            Header() + "23:59:58,0001.000,0,0\r\n23:59:59,0002.000,0,0\r\n");
  EXPECT_EQ(ReadBytes(DataPath("2013/03/03/130303-000000.csv")),
            Header() + "00:00:00,0028.000,0,0\r\n00:00:01,0032.000,0,0\r\n");
}

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

TEST_F(WriterTest, AWholeDayFileHoldsExactly86400Rows) {
  SetLocal(2013, 3, 2, 23, 59, 59);
  ASSERT_EQ(Create(), 0);
  Append(1.0);
  SetLocal(2013, 3, 3, 0, 0, 0);
  Append(1.0);
  SetLocal(2013, 3, 4, 0, 0, 0);  // the rest of the day is filled with missing rows
  Append(1.0);
  const std::string day = ReadBytes(DataPath("2013/03/03/130303-000000.csv"));
  const std::string header = Header();
  ASSERT_EQ(day.compare(0, header.size(), header), 0);
  std::size_t rows = 0;
  for (std::size_t i = header.size(); i < day.size(); ++i) rows += day[i] == '\n';
  EXPECT_EQ(rows, 86400u);
  EXPECT_EQ(day.substr(day.size() - 23), "23:59:59,0000.000,1,0\r\n");
}

}  // namespace
}  // namespace velrix::testing
