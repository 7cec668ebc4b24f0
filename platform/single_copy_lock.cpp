#include "platform/single_copy_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace velrix {
namespace {

constexpr char kLockSuffix[] = ".lock";

// A folder of this user's own: sudo may pass on the runtime folder of the
// user who called it.
bool OwnFolder(const char* path) {
  struct stat st {};
  return path != nullptr && *path != '\0' && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode) &&
         st.st_uid == ::geteuid();
}

}  // namespace

SingleCopyLock::SingleCopyLock(const std::string& name, const std::string& folder) {
  if (!folder.empty()) {
    path_ = folder + "/" + name + kLockSuffix;
    return;
  }
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (OwnFolder(runtime)) {
    path_ = std::string(runtime) + "/" + name + kLockSuffix;
    return;
  }
  // The temporary folder is everybody's: the name tells the users apart.
  std::error_code ec;
  std::string dir = std::filesystem::temp_directory_path(ec).string();
  if (dir.empty()) dir = "/tmp";
  path_ = dir + "/" + name + "-" + std::to_string(::geteuid()) + kLockSuffix;
}

SingleCopyLock::~SingleCopyLock() {
  if (fd_ >= 0) close(fd_);  // closing releases the flock
}

bool SingleCopyLock::Acquire() {
  if (fd_ >= 0) return true;
  anotherCopy_ = false;
  // Never through a link someone else laid in a shared folder.
  const int fd = open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
    close(fd);  // not this user's lock: it proves nothing about this user's copies
    return false;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    anotherCopy_ = errno == EWOULDBLOCK;
    close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

}  // namespace velrix
