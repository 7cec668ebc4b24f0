#include "platform/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/canceller.h"
#include "platform/trace.h"

namespace velrix {
namespace {

using SteadyClock = std::chrono::steady_clock;

// The link's trace texts for refused settings. The time-out text also covers
// the calls that have no text of their own (buffer flush, modem lines).
constexpr char kGetStateError[] = "GetCommState Error [%d(%x)]";
constexpr char kSetStateError[] = "SetCommState Error [%d(%x)]";
constexpr char kSettingError[] = "GetCommTimeouts Error [%d(%x)]";

int MillisecondsLeft(SteadyClock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

void TraceErrno(const char* format) {
  const int e = errno;
  TraceF(format, e, e);
}

void ModemLine(int fd, unsigned long request, int line) {
  if (ioctl(fd, request, &line) != 0) TraceErrno(kSettingError);
}

}  // namespace

SerialPort::SerialPort(const Canceller* canceller) : canceller_(canceller) {}

SerialPort::~SerialPort() { Close(); }

bool SerialPort::Open(const std::string& path, int* error) {
  Close();
  std::lock_guard<std::mutex> lock(mutex_);
  if (fd_ >= 0) {  // a call on the old descriptor has not left yet
    if (error != nullptr) *error = EBUSY;
    return false;
  }
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (error != nullptr) *error = errno;
    return false;
  }
  // TIOCEXCL keeps other users' programs off the line; root passes it, so an
  // advisory lock also keeps a second copy of this program away.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (error != nullptr) *error = errno;
    close(fd);
    return false;
  }
  ioctl(fd, TIOCEXCL);
  const int wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake < 0) {
    if (error != nullptr) *error = errno;
    close(fd);
    return false;
  }
  fd_ = fd;
  wakeFd_ = wake;
  closing_ = false;
  return true;
}

void SerialPort::Configure() {
  Handles h;
  if (!Acquire(&h)) return;
  termios tio{};
  if (tcgetattr(h.port, &tio) != 0) {
    TraceErrno(kGetStateError);
  } else {
    // Raw 8N1 at the unit's speed. Hardware flow control stays as the driver
    // has it; software flow control is a line-discipline habit that would
    // swallow the bytes 0x11 and 0x13 of a binary frame, so it goes with the
    // rest of the cooked mode.
    const tcflag_t hardwareFlow = tio.c_cflag & CRTSCTS;
    cfmakeraw(&tio);
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CREAD | hardwareFlow;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    if (tcsetattr(h.port, TCSANOW, &tio) != 0) TraceErrno(kSetStateError);
  }
  if (tcflush(h.port, TCIOFLUSH) != 0) TraceErrno(kSettingError);
  ModemLine(h.port, TIOCMBIS, TIOCM_RTS);
  ModemLine(h.port, TIOCMBIC, TIOCM_DTR);
  const bool goOn = Sleep(kDtrLowMs);
  if (goOn) ModemLine(h.port, TIOCMBIS, TIOCM_DTR);
  Release();
}

PortRead SerialPort::ReadByte(std::uint8_t* byte) {
  Handles h;
  if (!Acquire(&h)) return PortRead::Failed;
  const auto deadline =
      SteadyClock::now() + std::chrono::milliseconds(kReadTotalPerByteMs + kReadTotalConstantMs);
  const int cancelFd = canceller_ != nullptr ? canceller_->Fd() : -1;
  PortRead result = PortRead::Timeout;
  for (;;) {
    if (canceller_ != nullptr && canceller_->Cancelled()) {
      result = PortRead::Failed;
      break;
    }
    pollfd fds[3] = {{h.port, POLLIN, 0}, {h.wake, POLLIN, 0}, {cancelFd, POLLIN, 0}};
    const int left = MillisecondsLeft(deadline);
    const int ready = poll(fds, cancelFd >= 0 ? 3 : 2, left);
    if (ready < 0) {
      if (errno == EINTR) continue;
      result = PortRead::Failed;
      break;
    }
    if (ready == 0) {
      if (left == 0) break;  // Timeout
      continue;
    }
    if (fds[1].revents != 0 || fds[2].revents != 0) {
      result = PortRead::Failed;
      break;
    }
    if (fds[0].revents & POLLIN) {
      const ssize_t got = read(h.port, byte, 1);
      if (got == 1) {
        result = PortRead::Byte;
        break;
      }
      if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      // 0 bytes after POLLIN is the end of the line: the device hung up.
      result = PortRead::Failed;
      break;
    }
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
      result = PortRead::Failed;
      break;
    }
  }
  Release();
  return result;
}

int SerialPort::QueuedInputBytes() {
  Handles h;
  if (!Acquire(&h)) return 0;
  int queued = 0;
  if (ioctl(h.port, FIONREAD, &queued) != 0) queued = 0;
  Release();
  return queued;
}

void SerialPort::DiscardInput() {
  Handles h;
  if (!Acquire(&h)) return;
  tcflush(h.port, TCIFLUSH);
  Release();
}

bool SerialPort::Write(const std::uint8_t* data, std::size_t size, int* error) {
  Handles h;
  if (!Acquire(&h)) {
    if (error != nullptr) *error = EBADF;
    return false;
  }
  const auto deadline =
      SteadyClock::now() +
      std::chrono::milliseconds(static_cast<long long>(size) * kWriteTotalPerByteMs +
                                kWriteTotalConstantMs);
  const int cancelFd = canceller_ != nullptr ? canceller_->Fd() : -1;
  int failure = 0;
  std::size_t done = 0;
  while (done < size && failure == 0) {
    if (canceller_ != nullptr && canceller_->Cancelled()) {
      failure = ECANCELED;
      break;
    }
    const ssize_t n = write(h.port, data + done, size - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) {
      failure = errno;
      break;
    }
    if (n < 0 && errno == EINTR) continue;
    // The output queue is full: wait until it drains, the time runs out or
    // someone takes the port away.
    pollfd fds[3] = {{h.port, POLLOUT, 0}, {h.wake, POLLIN, 0}, {cancelFd, POLLIN, 0}};
    const int left = MillisecondsLeft(deadline);
    if (left == 0) {
      failure = ETIMEDOUT;
      break;
    }
    const int ready = poll(fds, cancelFd >= 0 ? 3 : 2, left);
    if (ready < 0 && errno != EINTR) {
      failure = errno;
    } else if (ready > 0 && (fds[1].revents != 0 || fds[2].revents != 0)) {
      failure = ECANCELED;
    } else if (ready > 0 && (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) &&
               !(fds[0].revents & POLLOUT)) {
      failure = EIO;
    }
  }
  Release();
  if (failure != 0 && error != nullptr) *error = failure;
  return failure == 0;
}

void SerialPort::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (fd_ < 0 || closing_) return;
  closing_ = true;
  const std::uint64_t one = 1;
  ssize_t written;
  do {
    written = write(wakeFd_, &one, sizeof one);
  } while (written < 0 && errno == EINTR);
  if (users_ == 0) ReleaseDescriptorsLocked();
}

bool SerialPort::IsOpen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return fd_ >= 0 && !closing_;
}

bool SerialPort::Acquire(Handles* handles) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (fd_ < 0 || closing_) return false;
  ++users_;
  handles->port = fd_;
  handles->wake = wakeFd_;
  return true;
}

void SerialPort::Release() {
  std::lock_guard<std::mutex> lock(mutex_);
  --users_;
  if (users_ == 0 && closing_) ReleaseDescriptorsLocked();
}

void SerialPort::ReleaseDescriptorsLocked() {
  close(fd_);
  close(wakeFd_);
  fd_ = -1;
  wakeFd_ = -1;
  closing_ = false;
}

bool SerialPort::Sleep(int ms) const {
  if (canceller_ != nullptr) return canceller_->SleepFor(ms);
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  return true;
}

}  // namespace velrix
