#pragma once
// One "stop now" signal for a worker thread. Cancel() wakes every wait that
// watches it at once, in any thread, and stays in force: a thread that is
// being stopped must not fall asleep again after the signal went out.

#include <atomic>

namespace velrix {

class Canceller {
 public:
  Canceller();
  ~Canceller();
  Canceller(const Canceller&) = delete;
  Canceller& operator=(const Canceller&) = delete;

  void Cancel();
  bool Cancelled() const { return cancelled_.load(std::memory_order_acquire); }

  // Waits ms milliseconds unless cancelled first; false when cancelled.
  bool SleepFor(int ms) const;

  // Readable (POLLIN) once cancelled, for waits that poll other descriptors
  // too; -1 when the descriptor could not be made (SleepFor still works).
  int Fd() const { return fd_; }

 private:
  int fd_ = -1;
  std::atomic<bool> cancelled_{false};
};

}  // namespace velrix
