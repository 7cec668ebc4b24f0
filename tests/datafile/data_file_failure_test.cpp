// The checks before every write, their messages, and that a failure stops
// the measurement once and keeps the writer quiet until the next start.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "datafile/working_copy.h"
#include "tests/datafile/writer_fixture.h"

namespace velrix::testing {
namespace {

constexpr char kTitle[] = "システム異常";

TEST_F(WriterTest, FileStandingWhereTheYearFolderMustGoStopsWithTheYearMessage) {
  SetLocal(2013, 3, 2, 13, 5, 7);
  std::filesystem::create_directories(settings.dataFolder);
  WriteBytes(DataPath("2013"), "not a folder");
  EXPECT_EQ(Create(), 1);
  ASSERT_EQ(messages.Shown().size(), 1u);
  EXPECT_EQ(messages.Shown()[0].title, kTitle);
  EXPECT_EQ(messages.Shown()[0].text,
            "データフォルダ（年）作成を失敗しましたので測定を停止します。");
  EXPECT_EQ(stop.stops, 1);
  EXPECT_TRUE(writer.failed);
  // Until a new start, both operations return at once and say nothing more.
  EXPECT_EQ(Create(), 1);
  EXPECT_EQ(Append(1.0), 1);
  EXPECT_EQ(messages.Shown().size(), 1u);
  EXPECT_EQ(stop.stops, 1);
}

TEST_F(WriterTest, FileStandingWhereTheMonthOrDayFolderMustGoNamesThatFolder) {
  SetLocal(2013, 3, 2, 13, 5, 7);
  std::filesystem::create_directories(DataPath("2013"));
  WriteBytes(DataPath("2013/03"), "x");
  EXPECT_EQ(Create(), 1);
  std::filesystem::remove(DataPath("2013/03"));
  std::filesystem::create_directories(DataPath("2013/03"));
  WriteBytes(DataPath("2013/03/02"), "x");
  writer.failed = false;  // as a new start does
  EXPECT_EQ(Create(), 1);
  EXPECT_EQ(messages.Texts(),
            (std::vector<std::string>{
                "データフォルダ（月）作成を失敗しましたので測定を停止します。",
                "データフォルダ（日）作成を失敗しましたので測定を停止します。"}));
}

TEST_F(WriterTest, DataFolderIsCreatedWithItsMissingParents) {
  settings.dataFolder = temp.path() + "/a/b/c/Velrix";
  SetLocal(2013, 3, 2, 13, 5, 7);
  ASSERT_EQ(Create(), 0);
  EXPECT_TRUE(std::filesystem::is_directory(settings.dataFolder + "/2013/03/02"));
}

TEST_F(WriterTest, WorkingCopyThatCannotBeCreatedStopsWithTheCreateMessage) {
  settings.programFolder = temp.slash() + "no/such/folder/";
  SetLocal(2013, 3, 2, 13, 5, 7);
  EXPECT_EQ(Create(), 1);
  EXPECT_EQ(messages.Texts(),
            std::vector<std::string>{"データファイル作成を失敗しましたので測定を停止します。"});
  EXPECT_EQ(stop.stops, 1);
}

TEST_F(WriterTest, HeaderThatCannotBeWrittenIsAFailedCreateNotASuccess) {
  std::filesystem::create_symlink("/dev/full", WorkingPath());
  SetLocal(2013, 3, 2, 13, 5, 7);
  EXPECT_EQ(Create(), 1);
  EXPECT_EQ(messages.Texts(),
            std::vector<std::string>{"データファイル作成を失敗しましたので測定を停止します。"});
  EXPECT_EQ(stop.stops, 1);
}

TEST_F(WriterTest, DeletedWorkingCopyStopsAtTheNextRowNamingTheFile) {
  SetLocal(2013, 3, 2, 13, 5, 7);
  ASSERT_EQ(Create(), 0);
  ASSERT_EQ(Append(1.0), 0);
  std::filesystem::remove(WorkingPath());
  EXPECT_EQ(Append(2.0), 1);
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{"測定データファイル[" + WorkingPath() +
                                                       "]は、消去されたので測定を停止します。"});
  EXPECT_EQ(stop.stops, 1);
  EXPECT_FALSE(std::filesystem::exists(WorkingPath()));
}

TEST_F(WriterTest, CorruptedWorkingCopyStopsDeletesTheDatedFileAndIsNeverCopied) {
  SetLocal(2013, 3, 2, 13, 5, 7);
  ASSERT_EQ(Create(), 0);
  ASSERT_EQ(Append(1.0), 0);
  ASSERT_EQ(CommitDataFile(writer), 0);
  ASSERT_TRUE(std::filesystem::exists(writer.datedPath));
  WriteBytes(WorkingPath(), "garbage\r\n13:05:07,0001.000,0,0\r\n");
  EXPECT_EQ(Append(2.0), 1);
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{"測定データファイル[" + WorkingPath() +
                                                       "]は、破損したので測定を停止します。"});
  EXPECT_EQ(stop.stops, 1);
  EXPECT_FALSE(std::filesystem::exists(writer.datedPath));
  // Neither a commit nor a later recovery brings the damaged copy back.
  EXPECT_EQ(CommitDataFile(writer), 1);
  EXPECT_EQ(RecoverWorkingCopy(WorkingPath()), RecoveryResult::NothingPending);
  EXPECT_FALSE(std::filesystem::exists(writer.datedPath));
}

// The rollover checks the working copy before it commits and begins the
// next day: a deleted copy must be reported there, not hidden by a fresh
// working copy for the new day.
TEST_F(WriterTest, DeletedWorkingCopyIsCaughtBeforeTheMidnightCommit) {
  SetLocal(2013, 3, 2, 23, 59, 57);
  ASSERT_EQ(Create(), 0);
  ASSERT_EQ(Append(1.0), 0);
  ASSERT_EQ(CommitDataFile(writer), 0);
  const std::string oldDay = writer.datedPath;
  std::filesystem::remove(WorkingPath());
  SetLocal(2013, 3, 3, 0, 0, 1);
  EXPECT_EQ(Append(2.0), 1);
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{"測定データファイル[" + WorkingPath() +
                                                       "]は、消去されたので測定を停止します。"});
  EXPECT_EQ(stop.stops, 1);
  EXPECT_EQ(ReadBytes(oldDay), Header() + "23:59:57,0001.000,0,0\r\n");
  EXPECT_FALSE(std::filesystem::exists(DataPath("2013/03/03")));
}

TEST_F(WriterTest, VersionMustBeExactlyTheFirstWord) {
  WriteBytes(WorkingPath(), "2.000\r\n");
  EXPECT_EQ(CheckWorkingCopy(WorkingPath()), WorkingCopyCheck::Corrupted);
  WriteBytes(WorkingPath(), " \r\n2.00 x\r\n");
  EXPECT_EQ(CheckWorkingCopy(WorkingPath()), WorkingCopyCheck::Ok);
  WriteBytes(WorkingPath(), "");
  EXPECT_EQ(CheckWorkingCopy(WorkingPath()), WorkingCopyCheck::Corrupted);
}

TEST_F(WriterTest, WorkingCopyThatCannotBeOpenedFor31AttemptsStopsWithTheWriteMessage) {
  SetLocal(2013, 3, 2, 13, 5, 7);
  ASSERT_EQ(Create(), 0);
  ASSERT_EQ(Append(1.0), 0);
  std::filesystem::remove(WorkingPath());
  std::filesystem::create_directory(WorkingPath());
  const auto begun = std::chrono::steady_clock::now();
  EXPECT_EQ(Append(2.0), 1);
  const auto waited = std::chrono::steady_clock::now() - begun;
  // 30 pauses of 100 ms between the 31 attempts.
  EXPECT_GE(waited, std::chrono::milliseconds(3000));
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{
                                  "データファイル書き込みを失敗しましたので測定を停止します。"});
  EXPECT_EQ(stop.stops, 1);
  EXPECT_EQ(Append(3.0), 1);
  EXPECT_EQ(messages.Shown().size(), 1u);
}

TEST_F(WriterTest, ANewStartAfterAFailureWritesAgain) {
  SetLocal(2013, 3, 2, 13, 5, 7);
  ASSERT_EQ(Create(), 0);
  std::filesystem::remove(WorkingPath());
  ASSERT_EQ(Append(1.0), 1);
  writer.failed = false;
  writer.files.Clear();
  clock.Advance(10);
  ASSERT_EQ(Create(), 0);
  ASSERT_EQ(Append(4.0), 0);
  CommitDataFile(writer);
  EXPECT_EQ(ReadBytes(DataPath("2013/03/02/130302-130517.csv")),
            Header() + "13:05:17,0004.000,0,0\r\n");
}

}  // namespace
}  // namespace velrix::testing
