#include "platform/private_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/c_format.h"

namespace velrix {

bool ReadPrivateFirstLine(const std::string& path, std::size_t maxBytes, std::string* text,
                          std::string* error) {
  text->clear();
  // Non-blocking, so a pipe with the file's name cannot hang the start.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *error = path + " cannot be opened: " + std::strerror(errno);
    return false;
  }
  struct stat st {};
  bool ok = false;
  if (::fstat(fd, &st) != 0) {
    *error = path + " cannot be examined: " + std::strerror(errno);
  } else if (!S_ISREG(st.st_mode)) {
    *error = path + " is not a regular file";
  } else if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
    *error = path + CFormatString(" may be read or changed by other users (mode %04o); "
                                  "allow its owner only (chmod 600)",
                                  static_cast<unsigned>(st.st_mode & 07777));
  } else if (static_cast<unsigned long long>(st.st_size) > maxBytes) {
    *error = path + CFormatString(" is larger than %zu bytes", maxBytes);
  } else {
    std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t used = 0;
    ok = true;
    while (used < bytes.size()) {
      const ssize_t n = ::read(fd, bytes.data() + used, bytes.size() - used);
      if (n > 0) {
        used += static_cast<std::size_t>(n);
      } else if (n == 0) {
        break;
      } else if (errno != EINTR) {
        *error = path + " cannot be read: " + std::strerror(errno);
        ok = false;
        break;
      }
    }
    bytes.resize(used);
    const std::size_t end = bytes.find_first_of("\r\n");
    if (ok) *text = bytes.substr(0, end);
  }
  ::close(fd);
  return ok;
}

}  // namespace velrix
