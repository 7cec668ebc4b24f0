// A tick of the cycle allocates nothing: the history, the rings and the
// writer's paths are made once, so a measurement running for years never
// touches the heap from its timer.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "tests/measure/measure_fixture.h"

// clang links its ThreadSanitizer runtime into the program whole, with an
// operator new of its own that a second one here would collide with.
#if defined(__clang__)
#if __has_feature(thread_sanitizer)
#define VELRIX_RUNTIME_OWNS_NEW 1
#endif
#endif

namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

}  // namespace

#ifndef VELRIX_RUNTIME_OWNS_NEW
namespace {
// Kept out of line so the compiler does not pair a visible malloc with a
// delete expression elsewhere and warn about a mismatch that is not there.
[[gnu::noinline]] void ReleaseBlock(void* p) noexcept { std::free(p); }
}  // namespace

void* operator new(std::size_t size) {
  if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { ReleaseBlock(p); }
void operator delete(void* p, std::size_t) noexcept { ReleaseBlock(p); }
#endif

namespace velrix::testing {
namespace {

TEST_F(MeasureTest, TicksOfARunningMeasurementAllocateNothing) {
#ifdef VELRIX_RUNTIME_OWNS_NEW
  GTEST_SKIP() << "the ThreadSanitizer runtime's operator new cannot be counted";
#endif
  SetLocal(2013, 3, 2, 13, 5, 7);
  Start();
  Second(1.0);  // the first second anchors the file
  counting.store(true);
  delete new int(1);  // the counter sees what the heap is asked for
  ASSERT_EQ(allocations.load(), 1);
  allocations.store(0);
  for (int i = 0; i < 30; ++i) Second(2.0 + i % 3, 0, 1);
  Tick();  // one with an empty ring
  counting.store(false);
  EXPECT_EQ(allocations.load(), 0);
  EXPECT_EQ(history.sampleCount, 31);
  EXPECT_EQ(history.levels[0].written, 3);
}

}  // namespace
}  // namespace velrix::testing
