#pragma once
// Only one copy of the program may run. The lock is an flock() on a file
// named after the program in the user's runtime folder, so it disappears with
// the process that held it: a crashed copy never blocks the next one.

#include <string>

namespace velrix {

class SingleCopyLock {
 public:
  // name: "Velrix"; folder: where the lock file lives ("" = $XDG_RUNTIME_DIR,
  // else the temporary folder).
  explicit SingleCopyLock(const std::string& name, const std::string& folder = "");
  ~SingleCopyLock();
  SingleCopyLock(const SingleCopyLock&) = delete;
  SingleCopyLock& operator=(const SingleCopyLock&) = delete;

  // True when this process holds the lock; false when another copy holds it
  // or the lock file cannot be made.
  bool Acquire();
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
};

}  // namespace velrix
