#include "platform/file_bytes.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <stdexcept>

namespace velrix {

namespace {

// Grows the buffer to at least `size` bytes; false when the memory cannot be had.
bool GrowTo(std::vector<char>& buffer, std::size_t size) {
  if (buffer.size() >= size) return true;
  try {
    buffer.resize(size);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  return true;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<char>& buffer, std::size_t* length,
                   std::size_t maxBytes) {
  *length = 0;
  // Non-blocking, so opening a pipe with a data file's name cannot hang.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 ||
      static_cast<unsigned long long>(st.st_size) > maxBytes) {
    ::close(fd);
    return false;
  }
  // The size is a hint: a file that shrinks meanwhile is read to its end as
  // it then stands; one byte more than the limit tells one that grew past it.
  const std::size_t limit = maxBytes + 1;
  std::size_t used = 0;
  bool ok = GrowTo(buffer, std::min(limit, static_cast<std::size_t>(st.st_size) + 1));
  while (ok) {
    if (used == buffer.size()) {
      if (used >= limit || !GrowTo(buffer, std::min(limit, used * 2))) {
        ok = false;
        break;
      }
    }
    const ssize_t n = ::read(fd, buffer.data() + used, buffer.size() - used);
    if (n > 0) {
      used += static_cast<std::size_t>(n);
    } else if (n == 0) {
      break;
    } else if (errno != EINTR) {
      ok = false;
    }
  }
  ::close(fd);
  ok = ok && used <= maxBytes;
  *length = ok ? used : 0;
  return ok;
}

void ReleaseBuffer(std::vector<char>& buffer) { std::vector<char>().swap(buffer); }

std::vector<std::string> ListFolder(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  return names;
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace velrix
