#pragma once
// Only one copy of the program may run per user. The lock is an flock() on a
// file of the user's own, so it disappears with the process that held it: a
// crashed copy never blocks the next one. The file lies in the user's runtime
// folder, or in the temporary folder under a name that carries the user's
// id, so that another user's copy, or the file it left behind, never counts
// as a copy of this user's program.

#include <string>

namespace velrix {

class SingleCopyLock {
 public:
  // name: "Velrix"; folder: where the lock file lives ("" = $XDG_RUNTIME_DIR
  // when that is a folder of this user's, else the temporary folder with
  // the user id in the file's name).
  explicit SingleCopyLock(const std::string& name, const std::string& folder = "");
  ~SingleCopyLock();
  SingleCopyLock(const SingleCopyLock&) = delete;
  SingleCopyLock& operator=(const SingleCopyLock&) = delete;

  // True when this process holds the lock. False when another copy holds
  // it (AnotherCopyRuns) or when no lock can be had here: the file cannot
  // be made, or one of another user's stands in its place.
  bool Acquire();
  // Whether the last Acquire found the lock held by another running copy of
  // this user's program. Only then must this copy give way.
  bool AnotherCopyRuns() const { return anotherCopy_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
  bool anotherCopy_ = false;
};

}  // namespace velrix
