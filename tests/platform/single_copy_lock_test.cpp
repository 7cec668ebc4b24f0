#include <gtest/gtest.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/single_copy_lock.h"
#include "tests/support/temp_folder.h"

namespace velrix {
namespace {

// What a second program start finds, as its exit status.
enum Found { kAcquired = 0, kAnotherCopy = 1, kNoLock = 2 };

// flock() locks belong to the open file description, so a second copy is
// played by a child process, as a second program start would be; as root,
// it may run as another user.
int AcquireInChild(const std::string& folder, uid_t asUser = 0) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (asUser != 0 && (setgroups(0, nullptr) != 0 || setgid(asUser) != 0 || setuid(asUser) != 0)) {
      _exit(3);
    }
    SingleCopyLock lock("Velrix", folder);
    _exit(lock.Acquire() ? kAcquired : lock.AnotherCopyRuns() ? kAnotherCopy : kNoLock);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SingleCopyLock, SecondCopyIsRefusedWhileTheFirstRuns) {
  testing::TempFolder folder;
  SingleCopyLock first("Velrix", folder.path());
  ASSERT_TRUE(first.Acquire());
  EXPECT_EQ(AcquireInChild(folder.path()), kAnotherCopy);
}

TEST(SingleCopyLock, LockOfAnEndedCopyDoesNotBlockTheNext) {
  testing::TempFolder folder;
  EXPECT_EQ(AcquireInChild(folder.path()), kAcquired);  // child exits holding the lock file
  SingleCopyLock next("Velrix", folder.path());
  EXPECT_TRUE(next.Acquire());
}

TEST(SingleCopyLock, AFolderThatCannotExistRefusesRatherThanCrashes) {
  testing::TempFolder folder;
  testing::WriteBytes(folder.File("file"), "x");
  SingleCopyLock lock("Velrix", folder.File("file"));  // a file where the folder must be
  EXPECT_FALSE(lock.Acquire());
  EXPECT_FALSE(lock.AnotherCopyRuns());  // no lock to be had proves no other copy
}

// Without a runtime folder (as under sudo) the lock lies in the shared
// temporary folder. Another user's copy, running or ended, leaves this
// user's program free to start; a lock file of another user's standing
// where this user's belongs proves nothing either.
TEST(SingleCopyLock, AnotherUsersLockNeverCountsAsACopyOfThisUsersProgram) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to play another user";
  testing::TempFolder shared;
  ASSERT_EQ(chmod(shared.path().c_str(), 01777), 0);
  const std::string runtime = std::getenv("XDG_RUNTIME_DIR") ? std::getenv("XDG_RUNTIME_DIR") : "";
  const std::string tmp = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
  unsetenv("XDG_RUNTIME_DIR");
  setenv("TMPDIR", shared.path().c_str(), 1);
  constexpr uid_t kOther = 65534, kThird = 65533;
  {
    SingleCopyLock mine("Velrix");
    ASSERT_TRUE(mine.Acquire());
    EXPECT_EQ(AcquireInChild("", kOther), kAcquired);  // while this user's copy runs
  }
  EXPECT_EQ(AcquireInChild("", kThird), kAcquired);  // that copy has ended
  EXPECT_EQ(AcquireInChild("", kOther), kAcquired);
  SingleCopyLock again("Velrix");  // one copy per user still
  ASSERT_TRUE(again.Acquire());
  EXPECT_EQ(AcquireInChild(""), kAnotherCopy);
  // Another user's file in this user's place is no lock of this user's.
  ASSERT_EQ(mkdir(shared.File("foreign").c_str(), 0700), 0);
  SingleCopyLock other("Velrix", shared.File("foreign"));
  testing::WriteBytes(other.path(), "");
  ASSERT_EQ(chown(other.path().c_str(), kOther, kOther), 0);
  EXPECT_FALSE(other.Acquire());
  EXPECT_FALSE(other.AnotherCopyRuns());
  if (tmp.empty()) unsetenv("TMPDIR"); else setenv("TMPDIR", tmp.c_str(), 1);
  if (!runtime.empty()) setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
}

}  // namespace
}  // namespace velrix
