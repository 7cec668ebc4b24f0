#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/single_copy_lock.h"
#include "tests/support/temp_folder.h"

namespace velrix {
namespace {

// flock() locks belong to the open file description, so a second copy is
// played by a child process, as a second program start would be.
bool AcquireInChild(const std::string& folder) {
  const pid_t pid = fork();
  if (pid == 0) {
    SingleCopyLock lock("Velrix", folder);
    _exit(lock.Acquire() ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(SingleCopyLock, SecondCopyIsRefusedWhileTheFirstRuns) {
  testing::TempFolder folder;
  SingleCopyLock first("Velrix", folder.path());
  ASSERT_TRUE(first.Acquire());
  EXPECT_FALSE(AcquireInChild(folder.path()));
}

TEST(SingleCopyLock, LockOfAnEndedCopyDoesNotBlockTheNext) {
  testing::TempFolder folder;
  EXPECT_TRUE(AcquireInChild(folder.path()));  // child exits holding the lock file
  SingleCopyLock next("Velrix", folder.path());
  EXPECT_TRUE(next.Acquire());
}

TEST(SingleCopyLock, AFolderThatCannotExistRefusesRatherThanCrashes) {
  testing::TempFolder folder;
  testing::WriteBytes(folder.File("file"), "x");
  SingleCopyLock lock("Velrix", folder.File("file"));  // a file where the folder must be
  EXPECT_FALSE(lock.Acquire());
}

}  // namespace
}  // namespace velrix
