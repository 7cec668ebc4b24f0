#pragma once
// What the serial tests share: a bare pseudo-terminal on which a test
// plays the unit byte by byte, and waiting for a condition with a generous
// limit.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace velrix::testing {

// The unit's side of a pseudo-terminal; the link opens slavePath.
class UnitEnd {
 public:
  UnitEnd() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) {
      const char* name = ptsname(master_);
      if (name != nullptr) slavePath_ = name;
    }
  }
  ~UnitEnd() { HangUp(); }
  UnitEnd(const UnitEnd&) = delete;
  UnitEnd& operator=(const UnitEnd&) = delete;

  bool Ok() const { return master_ >= 0 && !slavePath_.empty(); }
  const std::string& SlavePath() const { return slavePath_; }

  void Send(const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
      } else {
        pollfd p{master_, POLLOUT, 0};
        if (poll(&p, 1, 1000) <= 0) return;
      }
    }
  }

  // Everything the PC has written so far (waits up to waitMs for the first byte).
  std::vector<std::uint8_t> Received(int waitMs = 0) {
    std::vector<std::uint8_t> bytes;
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, waitMs) <= 0) return bytes;
    std::uint8_t buffer[256];
    for (;;) {
      const ssize_t n = read(master_, buffer, sizeof buffer);
      if (n <= 0) break;
      bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return bytes;
  }

  // Closing the master is what a pulled cable looks like to the PC.
  void HangUp() {
    if (master_ >= 0) close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  std::string slavePath_;
};

inline bool WaitUntil(const std::function<bool()>& condition, int limitMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

inline long long MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               start)
      .count();
}

}  // namespace velrix::testing
