#include "launcher/platform/front_requests.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

namespace velrix::launcher {

namespace {

constexpr char kSocketExtension[] = ".socket";
constexpr int kBacklog = 4;

// False when the path does not fit a socket address (it is never cut).
bool MakeAddress(const std::string& path, sockaddr_un* address) {
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address->sun_path) return false;
  std::memcpy(address->sun_path, path.data(), path.size());
  return true;
}

}  // namespace

std::string FrontRequestPath(const std::string& lockPath) {
  return std::filesystem::path(lockPath).replace_extension(kSocketExtension).string();
}

int ListenForFrontRequests(const std::string& path) {
  sockaddr_un address;
  if (!MakeAddress(path, &address)) return -1;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  unlink(path.c_str());  // left by a copy that crashed; this copy holds the lock
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      listen(fd, kBacklog) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool TakeFrontRequests(int listener) {
  bool any = false;
  for (;;) {
    const int connection = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) return any;
    close(connection);
    any = true;
  }
}

void StopListening(int listener, const std::string& path) {
  if (listener < 0) return;
  close(listener);
  unlink(path.c_str());
}

bool SendFrontRequest(const std::string& path) {
  sockaddr_un address;
  if (!MakeAddress(path, &address)) return false;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool sent = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return sent;
}

}  // namespace velrix::launcher
