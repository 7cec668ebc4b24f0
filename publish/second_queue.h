#pragma once
// The bounded queue between the measurement cycle and a publishing thread:
// one producer (the cycle), one consumer (the publisher), no lock. The
// producer fills a slot, then publishes `written` with release; the consumer
// reads `written` with acquire and only the slots before it, and hands each
// slot back by publishing `taken`. A full queue refuses the second at once
// and counts it: the cycle never waits for a publisher.

#include <atomic>
#include <cstdint>
#include <memory>

#include "measure/processed_second.h"

namespace velrix {

// Seconds the queue holds: more than one tick can complete (a tick finishes
// up to 600 missing seconds after a long gap), so a catch-up reaches the
// publisher whole.
inline constexpr std::uint32_t kSecondQueueSize = 1024;

class SecondQueue {
 public:
  SecondQueue() : slots_(std::make_unique<ProcessedSecond[]>(kSecondQueueSize)) {}

  // Producer only. False (and counted) when the queue is full.
  bool Push(const ProcessedSecond& s) {
    const std::uint32_t w = written_.load(std::memory_order_relaxed);
    if (w - taken_.load(std::memory_order_acquire) >= kSecondQueueSize) {
      refused_.fetch_add(1, std::memory_order_relaxed);
      return false;
    }
    slots_[w % kSecondQueueSize] = s;
    written_.store(w + 1, std::memory_order_release);
    return true;
  }

  // Consumer only. False when empty.
  bool Pop(ProcessedSecond* s) {
    const std::uint32_t t = taken_.load(std::memory_order_relaxed);
    if (written_.load(std::memory_order_acquire) == t) return false;
    *s = slots_[t % kSecondQueueSize];
    taken_.store(t + 1, std::memory_order_release);
    return true;
  }

  // Seconds refused because the queue was full; any thread.
  std::uint64_t Refused() const { return refused_.load(std::memory_order_relaxed); }

 private:
  std::unique_ptr<ProcessedSecond[]> slots_;
  std::atomic<std::uint32_t> written_{0};
  std::atomic<std::uint32_t> taken_{0};
  std::atomic<std::uint64_t> refused_{0};
};

}  // namespace velrix
