// Rows written to the working copy but never committed (the program was
// killed) reach their dated file at the next start or the next measurement;
// a committed or damaged working copy is left alone.

#include <gtest/gtest.h>

#include <filesystem>

#include "datafile/working_copy.h"
#include "tests/datafile/writer_fixture.h"

namespace velrix::testing {
namespace {

TEST_F(WriterTest, UncommittedRowsAreCopiedToTheirDatedFileAtStartUp) {
  SetLocal(2013, 3, 2, 13, 5, 7);
  ASSERT_EQ(Create(), 0);
  Append(1.0);
  Append(2.0);
  const std::string dated = writer.datedPath;
  ASSERT_FALSE(std::filesystem::exists(dated));  // killed before any commit

  EXPECT_EQ(RecoverWorkingCopy(WorkingPath()), RecoveryResult::Copied);
  EXPECT_EQ(ReadBytes(dated), Header() + "13:05:07,0001.000,0,0\r\n13:05:08,0002.000,0,0\r\n");
  EXPECT_EQ(RecoverWorkingCopy(WorkingPath()), RecoveryResult::NothingPending);
}

TEST_F(WriterTest, RecoveryRecreatesDatedFoldersThatWentAway) {
  SetLocal(2013, 3, 2, 13, 5, 7);
  ASSERT_EQ(Create(), 0);
  Append(1.0);
  std::filesystem::remove_all(settings.dataFolder);
  EXPECT_EQ(RecoverWorkingCopy(WorkingPath()), RecoveryResult::Copied);
  EXPECT_EQ(ReadBytes(DataPath("2013/03/02/130302-130507.csv")),
            Header() + "13:05:07,0001.000,0,0\r\n");
}

TEST_F(WriterTest, NewMeasurementSavesTheUncommittedCopyBeforeTruncatingIt) {
  SetLocal(2013, 3, 2, 13, 5, 7);
  ASSERT_EQ(Create(), 0);
  Append(1.0);
  const std::string first = writer.datedPath;
  // A new writer, as after a restart of the program that skipped recovery.
  writer = DataFileWriter{};
  clock.Advance(60);
  ASSERT_EQ(Create(), 0);
  EXPECT_EQ(ReadBytes(first), Header() + "13:05:07,0001.000,0,0\r\n");
  EXPECT_EQ(ReadBytes(WorkingPath()), Header());
}

TEST_F(WriterTest, CommittedCopyIsNotCopiedAgainOverTheDatedFile) {
  SetLocal(2013, 3, 2, 13, 5, 7);
  ASSERT_EQ(Create(), 0);
  Append(1.0);
  ASSERT_EQ(CommitDataFile(writer), 0);
  // Rows of the drain after a stop reach the working copy only.
  Append(2.0);
  EXPECT_EQ(RecoverWorkingCopy(WorkingPath()), RecoveryResult::NothingPending);
  EXPECT_EQ(ReadBytes(writer.datedPath), Header() + "13:05:07,0001.000,0,0\r\n");
}

TEST_F(WriterTest, DamagedUncommittedCopyIsRejectedAndNeverCopied) {
  SetLocal(2013, 3, 2, 13, 5, 7);
  ASSERT_EQ(Create(), 0);
  Append(1.0);
  WriteBytes(WorkingPath(), "1.99\r\n");
  EXPECT_EQ(RecoverWorkingCopy(WorkingPath()), RecoveryResult::Rejected);
  EXPECT_FALSE(std::filesystem::exists(writer.datedPath));
  EXPECT_EQ(RecoverWorkingCopy(WorkingPath()), RecoveryResult::NothingPending);
}

TEST_F(WriterTest, FailedCommitKeepsTheCopyPendingForRecovery) {
  SetLocal(2013, 3, 2, 13, 5, 7);
  ASSERT_EQ(Create(), 0);
  Append(1.0);
  std::filesystem::create_directory(writer.datedPath);  // something in the way
  EXPECT_EQ(CommitDataFile(writer), 1);
  std::filesystem::remove(writer.datedPath);
  EXPECT_EQ(RecoverWorkingCopy(WorkingPath()), RecoveryResult::Copied);
  EXPECT_EQ(ReadBytes(writer.datedPath), Header() + "13:05:07,0001.000,0,0\r\n");
}

}  // namespace
}  // namespace velrix::testing
