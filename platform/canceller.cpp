#include "platform/canceller.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <thread>

namespace velrix {
namespace {
// Without an eventfd the sleep can only notice a cancel by looking again.
constexpr int kFallbackSliceMs = 10;
}

Canceller::Canceller() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

Canceller::~Canceller() {
  if (fd_ >= 0) close(fd_);
}

void Canceller::Cancel() {
  cancelled_.store(true, std::memory_order_release);
  if (fd_ < 0) return;
  // The counter is never read back, so the descriptor stays readable and
  // every present and future poll on it returns at once.
  const std::uint64_t one = 1;
  ssize_t written;
  do {
    written = write(fd_, &one, sizeof one);
  } while (written < 0 && errno == EINTR);
}

bool Canceller::SleepFor(int ms) const {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(ms, 0));
  while (!Cancelled()) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return true;
    if (fd_ < 0) {
      std::this_thread::sleep_for(
          std::chrono::milliseconds(std::min<long long>(left, kFallbackSliceMs)));
      continue;
    }
    pollfd p{fd_, POLLIN, 0};
    // Round up so that a sub-millisecond remainder does not turn into a spin.
    poll(&p, 1, static_cast<int>(left));
  }
  return false;
}

}  // namespace velrix
