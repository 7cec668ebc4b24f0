// Both programs hold logind's sleep lock while they record and give it back
// when SIGTERM ends them; without a system bus they record all the same and
// say once that the computer is not kept awake.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/e2e_fixture.h"
#include "tests/support/logind_mock.h"

namespace velrix::testing::e2e {
namespace {

constexpr char kNotKeptAwake[] = "not kept awake";

TEST(KeepAwakeWhileRecording, BothProgramsHoldTheLockUntilSigtermAndGoOnWithoutLogind) {
  LogindMock logind;
  ASSERT_NE(logind.Address(), "") << logind.Error();
  SharedClock clock("2026-06-01 10:00:00", 5);
  Station withBus, withoutBus, window;
  withBus.SetSystemBus(logind.Address());
  window.SetSystemBus(logind.Address());
  std::vector<std::unique_ptr<sim::SimUnit>> units;
  for (const Station* s : {&withBus, &withoutBus, &window}) {
    units.push_back(std::make_unique<sim::SimUnit>(MarkedUnit(clock, s->UnitLink())));
    ASSERT_TRUE(units.back()->Start());
  }
  auto recorder = StartRecorder(withBus, clock, "recorder.out");
  auto lonely = StartRecorder(withoutBus, clock, "lonely.out");
  auto velrix = StartVelrix(window, clock, "velrix.out");
  for (const Station* s : {&withBus, &withoutBus, &window}) {
    ASSERT_TRUE(WaitUntil([&] { return WorkingRows(*s) >= 3; }, kStartSeconds));
  }
  EXPECT_TRUE(WaitUntil([&] { return logind.Inhibitors().size() == 2; }, kStartSeconds))
      << Join(logind.Inhibitors());
  for (const std::string& lock : logind.Inhibitors()) {
    EXPECT_EQ(lock.substr(0, 18), "sleep:idle|Velrix|") << lock;
    EXPECT_EQ(lock.substr(lock.size() - 6), "|block") << lock;
  }
  for (Child* c : {recorder.get(), lonely.get(), velrix.get()}) {
    c->Signal(SIGTERM);
    const std::optional<int> status = c->WaitExit(kExitSeconds);
    EXPECT_TRUE(ExitedWith(status, 0)) << Describe(status) << "\n" << c->Output();
  }
  EXPECT_TRUE(WaitUntil([&] { return logind.Inhibitors().empty(); }, kExitSeconds))
      << Join(logind.Inhibitors());
  EXPECT_EQ(LinesWith(recorder->Output(), kNotKeptAwake), 0) << recorder->Output();
  EXPECT_EQ(LinesWith(velrix->Output(), kNotKeptAwake), 0) << velrix->Output();
  EXPECT_EQ(LinesWith(lonely->Output(), kNotKeptAwake), 1) << lonely->Output();
}

}  // namespace
}  // namespace velrix::testing::e2e
