#include "platform/durable_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace velrix {
namespace {

void Explain(std::string* error, const std::string& what, const std::string& path) {
  if (error != nullptr) *error = what + " " + path + ": " + std::strerror(errno);
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
  // Only a file is replaced: a rename would put a plain file in place of a
  // folder, a device or a link standing there, where writing in place would
  // have failed or gone through to what they stand for.
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    errno = EEXIST;
    Explain(error, "not a file:", path);
    return false;
  }
  const std::string temporary = path + kAtomicWriteSuffix;
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    Explain(error, "cannot create", temporary);
    return false;
  }
  // The contents are on the disk before the name points at them; the other
  // order lets a cut leave the new name on an empty file.
  const bool written = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  if (!written) Explain(error, "cannot write", temporary);
  const bool closed = ::close(fd) == 0;
  if (written && !closed) Explain(error, "cannot close", temporary);
  if (!written || !closed) {
    ::unlink(temporary.c_str());
    return false;
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    Explain(error, "cannot rename to", path);
    ::unlink(temporary.c_str());
    return false;
  }
  if (!SyncFolder(FolderOf(path))) {
    Explain(error, "cannot sync the folder of", path);
    return false;
  }
  return true;
}

bool SyncFile(std::FILE* file) {
  // The length is part of what fdatasync writes; the modification time,
  // which nothing reads back, is not.
  return std::fflush(file) == 0 && ::fdatasync(::fileno(file)) == 0;
}

bool SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  return (::close(fd) == 0) && synced;
}

}  // namespace velrix
