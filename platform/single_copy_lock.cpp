#include "platform/single_copy_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace velrix {

SingleCopyLock::SingleCopyLock(const std::string& name, const std::string& folder) {
  std::string dir = folder;
  if (dir.empty()) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::error_code ec;
    dir = (runtime != nullptr && *runtime != '\0') ? runtime
                                                   : std::filesystem::temp_directory_path(ec).string();
    if (dir.empty()) dir = "/tmp";
  }
  path_ = dir + "/" + name + ".lock";
}

SingleCopyLock::~SingleCopyLock() {
  if (fd_ >= 0) close(fd_);  // closing releases the flock
}

bool SingleCopyLock::Acquire() {
  if (fd_ >= 0) return true;
  const int fd = open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

}  // namespace velrix
