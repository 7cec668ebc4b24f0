// The working copy's version word is compared whole: bytes that only look
// like the end of a text in C (a NUL) are part of the word.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "datafile/working_copy.h"
#include "tests/support/temp_folder.h"

namespace velrix {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

const std::string kGoodDated = "2.00\r\nPC\r\n0001\r\nauto\r\ntitles\r\n12:00:00,0001.000,0,0\r\n";

TEST(WorkingCopyCheck, AVersionFollowedByNulBytesIsNotTheVersion) {
  TempFolder folder;
  const std::string working = folder.File(kWorkingCopyName);
  // The first bytes of a header and then zeros, as a crash can leave a file
  // whose size reached the disk before its contents did.
  WriteBytes(working, std::string("2.00\0\0\0\0\0\0\0\0\r\nPC\r\n", 18));
  EXPECT_EQ(CheckWorkingCopy(working), WorkingCopyCheck::Corrupted);
  WriteBytes(working, std::string("2.00\0x\r\n", 8));
  EXPECT_EQ(CheckWorkingCopy(working), WorkingCopyCheck::Corrupted);
  WriteBytes(working, std::string("\0" "2.00\r\n", 7));
  EXPECT_EQ(CheckWorkingCopy(working), WorkingCopyCheck::Corrupted);
  WriteBytes(working, "2.00\r\n");
  EXPECT_EQ(CheckWorkingCopy(working), WorkingCopyCheck::Ok);
}

TEST(WorkingCopyCheck, ACopyPaddedWithNulBytesIsNotRecoveredOverItsDatedFile) {
  TempFolder folder;
  const std::string working = folder.File(kWorkingCopyName);
  const std::string dated = folder.File("130302-120000.csv");
  WriteBytes(dated, kGoodDated);
  WriteBytes(working, std::string("2.00\0\0\0\0\0\0\0\0\0\0\0\0", 16));
  ASSERT_TRUE(WriteWorkingTarget(working, dated));

  EXPECT_EQ(RecoverWorkingCopy(working), RecoveryResult::Rejected);
  // The dated file keeps its last committed rows, which the reader can open.
  EXPECT_EQ(ReadBytes(dated), kGoodDated);
  EXPECT_EQ(ReadWorkingTarget(working), "");
}

}  // namespace
}  // namespace velrix
