#include "platform/canceller.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/support/unit_end.h"

namespace velrix {
namespace {

using testing::MillisecondsSince;
using testing::WaitUntil;

TEST(Canceller, SleepRunsItsFullTimeWhenNotCancelled) {
  Canceller c;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(c.SleepFor(120));
  EXPECT_GE(MillisecondsSince(start), 115);
  EXPECT_FALSE(c.Cancelled());
}

TEST(Canceller, CancelWakesEverySleeperAtOnce) {
  Canceller c;
  std::atomic<int> woken{0};
  std::atomic<int> returnedTrue{0};
  auto sleeper = [&] {
    if (c.SleepFor(600000)) ++returnedTrue;
    ++woken;
  };
  std::thread a(sleeper);
  std::thread b(sleeper);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  c.Cancel();
  // Without the wake-up these sleepers would run for ten minutes.
  EXPECT_TRUE(WaitUntil([&] { return woken.load() == 2; }, 20000));
  a.join();
  b.join();
  EXPECT_EQ(returnedTrue.load(), 0);
}

TEST(Canceller, StaysCancelledForLaterWaits) {
  Canceller c;
  c.Cancel();
  EXPECT_TRUE(c.Cancelled());
  EXPECT_FALSE(c.SleepFor(600000));
  ASSERT_GE(c.Fd(), 0);
  pollfd p{c.Fd(), POLLIN, 0};
  EXPECT_EQ(poll(&p, 1, 0), 1);
}

}  // namespace
}  // namespace velrix
