#include "platform/pty.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace velrix {
namespace {

std::string Describe(const char* what) {
  return std::string(what) + ": " + std::strerror(errno);
}

void SetError(std::string* error, const std::string& text) {
  if (error != nullptr) *error = text;
}

bool SetNonBlocking(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

}  // namespace

void CloseDescriptor(int* fd) {
  if (*fd >= 0) {
    ::close(*fd);
    *fd = -1;
  }
}

bool MakeRawLine(int fd, std::string* error) {
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) {
    SetError(error, Describe("tcgetattr"));
    return false;
  }
  cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  cfsetispeed(&tio, B115200);
  cfsetospeed(&tio, B115200);
  if (tcsetattr(fd, TCSANOW, &tio) != 0) {
    SetError(error, Describe("tcsetattr"));
    return false;
  }
  return true;
}

bool OpenPty(PtyEnds* ends, std::string* error) {
  PtyEnds opened;
  opened.master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (opened.master < 0) {
    SetError(error, Describe("posix_openpt"));
    return false;
  }
  char name[128] = {};
  if (grantpt(opened.master) != 0 || unlockpt(opened.master) != 0 ||
      ptsname_r(opened.master, name, sizeof name) != 0) {
    SetError(error, Describe("unlocking the pseudo-terminal"));
    ClosePty(&opened);
    return false;
  }
  opened.slavePath = name;
  if (!SetNonBlocking(opened.master)) {
    SetError(error, Describe("fcntl"));
    ClosePty(&opened);
    return false;
  }
  opened.slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (opened.slave < 0) {
    SetError(error, Describe(("open " + opened.slavePath).c_str()));
    ClosePty(&opened);
    return false;
  }
  if (!MakeRawLine(opened.slave, error)) {
    ClosePty(&opened);
    return false;
  }
  *ends = opened;
  return true;
}

void ClosePty(PtyEnds* ends) {
  CloseDescriptor(&ends->slave);
  CloseDescriptor(&ends->master);
}

int OpenTerminal(const std::string& path, std::string* error) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) SetError(error, Describe(("open " + path).c_str()));
  return fd;
}

bool OpenWakePipe(WakePipe* pipe, std::string* error) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
    SetError(error, Describe("pipe2"));
    return false;
  }
  pipe->readEnd = fds[0];
  pipe->writeEnd = fds[1];
  return true;
}

void SignalWake(const WakePipe& pipe) {
  if (pipe.writeEnd < 0) return;
  const std::uint8_t one = 1;
  // A full pipe already wakes the reader, so a failed write loses nothing.
  [[maybe_unused]] const ssize_t n = ::write(pipe.writeEnd, &one, 1);
}

void DrainWake(const WakePipe& pipe) {
  if (pipe.readEnd < 0) return;
  std::uint8_t sink[64];
  while (::read(pipe.readEnd, sink, sizeof sink) > 0) {
  }
}

void CloseWakePipe(WakePipe* pipe) {
  CloseDescriptor(&pipe->readEnd);
  CloseDescriptor(&pipe->writeEnd);
}

WaitResult WaitReadable(int fd, int wakeFd, int timeoutMs) {
  pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
  const nfds_t count = wakeFd >= 0 ? 2 : 1;
  const int n = ::poll(fds, count, timeoutMs < 0 ? 0 : timeoutMs);
  if (n < 0) return errno == EINTR ? WaitResult::Timeout : WaitResult::Failed;
  if (n == 0) return WaitResult::Timeout;
  if (fds[0].revents & POLLIN) return WaitResult::Readable;
  if (count == 2 && (fds[1].revents & POLLIN)) return WaitResult::Woken;
  if (fds[0].revents & (POLLHUP | POLLERR)) return WaitResult::HangUp;
  if (fds[0].revents & POLLNVAL) return WaitResult::Failed;
  return WaitResult::Timeout;
}

ReadOutcome ReadAvailable(int fd, std::uint8_t* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = ::read(fd, buffer, size);
    if (n > 0) return {ReadStatus::Data, static_cast<std::size_t>(n)};
    if (n == 0) return {ReadStatus::Closed, 0};
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return {ReadStatus::Nothing, 0};
    return {ReadStatus::Failed, 0};
  }
}

std::size_t WriteWithin(int fd, const std::uint8_t* data, std::size_t size, int timeoutMs) {
  using SteadyClock = std::chrono::steady_clock;
  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) break;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - SteadyClock::now()).count();
    if (left <= 0) break;
    pollfd out{fd, POLLOUT, 0};
    const int ready = ::poll(&out, 1, static_cast<int>(left));
    if (ready < 0 && errno != EINTR) break;
    if (ready > 0 && (out.revents & (POLLERR | POLLHUP | POLLNVAL))) break;
  }
  return done;
}

}  // namespace velrix
