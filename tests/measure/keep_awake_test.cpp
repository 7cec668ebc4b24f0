// The computer is kept awake exactly while a measurement runs: the lock is
// asked of logind (a stand-in on a private bus) at the start and given back
// at the stop; without logind the measurement goes on and the reason is told
// once.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "measure/keep_awake.h"
#include "tests/support/logind_mock.h"

namespace velrix::testing {
namespace {

// The process's system bus for the life of the object.
struct SystemBus {
  explicit SystemBus(const std::string& address) {
    setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
  }
  ~SystemBus() { unsetenv("DBUS_SYSTEM_BUS_ADDRESS"); }
};

// logind sees a lock go when its descriptor closes, a moment later.
std::vector<std::string> LocksOnceSettled(const LogindMock& logind, std::size_t expected) {
  std::vector<std::string> locks;
  for (int i = 0; i < 100; ++i) {
    locks = logind.Inhibitors();
    if (locks.size() == expected) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return locks;
}

TEST(KeepAwake, HoldsOneSleepLockWhileMeasuringAndGivesItBackAtTheStop) {
  LogindMock logind;
  ASSERT_NE(logind.Address(), "") << logind.Error();
  SystemBus bus(logind.Address());
  std::vector<std::string> reports;
  KeepAwake keep([&](const std::string& text) { reports.push_back(text); });
  const std::vector<std::string> held = {std::string("sleep:idle|Velrix|") + kKeepAwakeWhy + "|block"};
  for (int run = 0; run < 2; ++run) {
    keep.Follow(true);
    keep.Follow(true);
    EXPECT_TRUE(keep.Held());
    EXPECT_EQ(LocksOnceSettled(logind, 1), held);
    keep.Follow(false);
    EXPECT_FALSE(keep.Held());
    EXPECT_EQ(LocksOnceSettled(logind, 0), std::vector<std::string>{});
  }
  EXPECT_EQ(reports, std::vector<std::string>{});
}

TEST(KeepAwake, WithoutLogindTheMeasurementGoesOnAndTheReasonIsToldOnce) {
  SystemBus bus("unix:path=/nonexistent/velrix-no-bus");
  std::vector<std::string> reports;
  KeepAwake keep([&](const std::string& text) { reports.push_back(text); });
  for (int run = 0; run < 3; ++run) {
    keep.Follow(true);
    EXPECT_FALSE(keep.Held());
    keep.Follow(false);
  }
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find("not kept awake"), std::string::npos) << reports[0];
}

}  // namespace
}  // namespace velrix::testing
