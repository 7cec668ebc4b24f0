// The supervisor against the simulated unit on a real pseudo-terminal. These
// cases wait on the supervisor's real time-outs (4 s settle, 1 s checks, 21
// silent seconds); each is its own test case so that they run side by side.

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <thread>

#include "link/protocol.h"
#include "link/unit_link_state.h"
#include "link/usb_comm.h"
#include "link/usb_comm_kanshi.h"
#include "sim/sim_unit.h"
#include "tests/support/temp_folder.h"

namespace velrix {
namespace {

namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;
using testing::TempFolder;

constexpr int kUnitCount = 5;

double SecondsSince(Steady::time_point start) {
  return std::chrono::duration<double>(Steady::now() - start).count();
}

bool WaitFor(const std::function<bool()>& condition, double seconds) {
  const auto deadline = Steady::now() + std::chrono::duration<double>(seconds);
  while (Steady::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return condition();
}

void SleepSeconds(double seconds) {
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// A unit "plugged in" at a stable path, the way --port names a device.
class SupervisedUnit : public ::testing::Test {
 protected:
  SupervisedUnit() {
    unitPath = folder.File("unit");
    config.sysfsRoot = folder.File("no-sysfs");
    config.overridePort = unitPath;
  }
  sim::SimConfig UnitConfig() const {
    sim::SimConfig c;
    c.counts.constant = kUnitCount;
    c.linkPath = unitPath;
    return c;
  }
  void StartSupervisor() {
    supervisor = std::make_unique<LinkSupervisor>(state, config);
    supervisorStarted = Steady::now();
    ASSERT_EQ(StartLinkThreads(*supervisor), 0);
  }
  void TearDown() override {
    if (supervisor) supervisor->Stop();
  }

  TempFolder folder;
  std::string unitPath;
  LinkConfig config;
  UnitLinkState state;
  std::unique_ptr<LinkSupervisor> supervisor;
  Steady::time_point supervisorStarted;
};

TEST_F(SupervisedUnit, HangUpDuringAMeasurementAndANewUnitBringTheLinkBack) {
  auto first = std::make_unique<sim::SimUnit>(UnitConfig());
  ASSERT_TRUE(first->Start());
  StartSupervisor();
  ASSERT_TRUE(WaitFor([&] { return state.linkStatus.load() == kLinkOk; }, 15));

  state.measuring.store(1);
  ASSERT_TRUE(WaitFor([&] { return state.storedSamples.load() >= 3; }, 15));

  first->HangUp();
  const auto hungUp = Steady::now();
  ASSERT_TRUE(WaitFor([&] { return state.linkStatus.load() != kLinkOk; }, 10));
  SleepSeconds(2);
  sim::SimUnit second(UnitConfig());
  ASSERT_TRUE(second.Start());

  ASSERT_TRUE(WaitFor([&] { return state.linkStatus.load() == kLinkOk; }, 30));
  EXPECT_GE(supervisor->WriteFailureRestarts(), 1);
  EXPECT_EQ(supervisor->CommThreadStarts(), 2);
  const int storedAtReturn = state.storedSamples.load();
  ASSERT_TRUE(WaitFor([&] { return second.CountsSent().size() >= 3; }, 15));
  ASSERT_TRUE(WaitFor([&] { return state.storedSamples.load() >= storedAtReturn + 3; }, 10));
  EXPECT_GT(SecondsSince(hungUp), 3.0);

  // Every second since the first sample has an entry: the outage as missing
  // seconds, then the new unit's counts.
  const int stored = state.storedSamples.load();
  const ClockSeconds elapsed = DefaultClock().ElapsedSeconds() - state.collectStart.load();
  EXPECT_NEAR(static_cast<double>(stored), static_cast<double>(elapsed + 1), 2.0);
  ASSERT_LT(static_cast<int>(state.ringWrite.load()), kSampleRingSize);
  int missing = 0;
  for (std::uint32_t i = 0; i < state.ringWrite.load(); ++i) {
    if (state.sampleRing[i].missing.load() == 1) missing += state.sampleRing[i].seconds.load();
  }
  EXPECT_GE(missing, 3);
  const int last = (state.ringWrite.load() + kSampleRingSize - 1) % kSampleRingSize;
  EXPECT_EQ(state.sampleRing[last].missing.load(), 0);
  EXPECT_EQ(state.sampleRing[last].count.load(), kUnitCount);
  EXPECT_EQ(state.sampleRing[0].missing.load(), 0);
}

TEST_F(SupervisedUnit, FailingWritesRestartTheLinkOnTheFourthCheck) {
  sim::SimUnit unit(UnitConfig());
  ASSERT_TRUE(unit.Start());
  StartSupervisor();
  ASSERT_TRUE(WaitFor([&] { return state.linkStatus.load() == kLinkOk; }, 15));
  // Past the settling time, so that the checks are running.
  SleepSeconds(std::max(0.0, 5.5 - SecondsSince(supervisorStarted)));

  unit.HangUp();
  ASSERT_TRUE(WaitFor([&] { return state.dead_err_cnt.load() > 0; }, 10));
  const auto firstFailure = Steady::now();
  ASSERT_TRUE(WaitFor([&] { return supervisor->WriteFailureRestarts() == 1; }, 20));
  // Three checks in a row with failed writes are tolerated.
  EXPECT_GT(SecondsSince(firstFailure), 2.5);
  EXPECT_EQ(supervisor->SilenceRestarts(), 0);

  // After the pause the failure count is cleared and the search finds nothing.
  ASSERT_TRUE(WaitFor([&] { return state.dead_err_cnt.load() == 0; }, 5));
  ASSERT_TRUE(WaitFor([&] { return state.linkStatus.load() == kLinkNg; }, 5));
  EXPECT_EQ(state.echoConfirmed.load(), 0);
  SleepSeconds(1.5);
  EXPECT_EQ(supervisor->CommThreadStarts(), 1);
  EXPECT_EQ(state.detectedCount.load(), 0);
}

// The checks counted one by one instead of timed. The port is a folder, so
// the communication thread ends at once and only the test writes the two
// words a check reads: dead_err_cnt, and activityCount, which every check
// that does not restart takes back to 0, so seeing it at 0 marks one check.
TEST_F(SupervisedUnit, FailedWritesAtThreeChecksAreToleratedAndTheFourthRestarts) {
  fs::create_directory(unitPath);
  StartSupervisor();
  ASSERT_TRUE(WaitFor([&] { return supervisor->CommThreadStarts() == 1; }, 5));
  auto nextCheck = [&] {
    state.activityCount.store(1);
    return WaitFor(
        [&] {
          return state.activityCount.load() == 0 || supervisor->WriteFailureRestarts() > 0;
        },
        15);
  };
  ASSERT_TRUE(nextCheck());  // the first check after settling sees no failure
  state.dead_err_cnt.store(1);
  for (int check = 1; check <= 3; ++check) {
    ASSERT_TRUE(nextCheck()) << check;
    ASSERT_EQ(supervisor->WriteFailureRestarts(), 0) << "restarted at check " << check;
  }
  ASSERT_TRUE(nextCheck());
  EXPECT_EQ(supervisor->WriteFailureRestarts(), 1);
  EXPECT_EQ(state.activityCount.load(), 1);  // the fourth restarted instead of counting
  ASSERT_TRUE(WaitFor([&] { return supervisor->CommThreadStarts() == 2; }, 10));
  EXPECT_EQ(state.dead_err_cnt.load(), 0);
  EXPECT_EQ(supervisor->SilenceRestarts(), 0);
}

// A port that exists but cannot be opened: the communication thread ends at
// once and gives no more heartbeats.
TEST_F(SupervisedUnit, EndedThreadIsRestartedAfterTwentyOneSilentSecondsAndAPause) {
  fs::create_directory(unitPath);
  StartSupervisor();
  ASSERT_TRUE(WaitFor([&] { return state.linkStatus.load() == kLinkNg; }, 5));
  SleepSeconds(1);
  fs::remove(unitPath);
  sim::SimUnit unit(UnitConfig());
  ASSERT_TRUE(unit.Start());

  SleepSeconds(std::max(0.0, 20.0 - SecondsSince(supervisorStarted)));
  EXPECT_EQ(unit.CommandsReceived(kCodeSetBuzzer), 0);  // nobody talks to it yet
  EXPECT_EQ(supervisor->CommThreadStarts(), 1);

  ASSERT_TRUE(WaitFor([&] { return unit.CommandsReceived(kCodeSetBuzzer) > 0; }, 40));
  const double restartedAfter = SecondsSince(supervisorStarted);
  // 4 s settling, 21 silent checks, 3 s pause.
  EXPECT_GE(restartedAfter, 27.5);
  EXPECT_LT(restartedAfter, 45.0);
  EXPECT_EQ(supervisor->SilenceRestarts(), 1);
  EXPECT_EQ(supervisor->CommThreadStarts(), 2);
  ASSERT_TRUE(WaitFor([&] { return state.linkStatus.load() == kLinkOk; }, 10));
}

// A silent unit still takes the writes: the thread keeps retrying and keeps
// its heartbeat, so it is left running rather than restarted.
TEST_F(SupervisedUnit, SilentUnitWhoseWritesSucceedKeepsItsThread) {
  sim::SimUnit unit(UnitConfig());
  ASSERT_TRUE(unit.Start());
  state.retryMode.store(2);
  StartSupervisor();
  ASSERT_TRUE(WaitFor([&] { return state.linkStatus.load() == kLinkOk; }, 15));
  // An idle link sends the buzzer setting and a status read on every pass;
  // whichever of the two the silence caught is the one retried.
  const auto commandsSent = [&] {
    return unit.CommandsReceived(kCodeSetBuzzer) + unit.CommandsReceived(kCodeGetPowerStatus);
  };
  unit.SetSilent(true);
  const int before = commandsSent();

  SleepSeconds(std::max(0.0, 31.0 - SecondsSince(supervisorStarted)));
  EXPECT_EQ(supervisor->SilenceRestarts(), 0);
  EXPECT_EQ(supervisor->WriteFailureRestarts(), 0);
  EXPECT_EQ(supervisor->CommThreadStarts(), 1);
  EXPECT_GT(commandsSent(), before + 2);  // still retrying

  unit.SetSilent(false);
  ASSERT_TRUE(WaitFor([&] { return state.linkStatus.load() == kLinkOk; }, 15));
}

TEST_F(SupervisedUnit, NoUnitKeepsLinkNgAndUsesLittleCpu) {
  config.overridePort.clear();
  fs::create_directories(folder.File("sysfs/bus/usb/devices"));
  config.sysfsRoot = folder.File("sysfs");
  const std::clock_t cpuBefore = std::clock();
  StartSupervisor();
  for (int round = 0; round < 4; ++round) {
    state.linkStatus.store(kLinkNone);
    ASSERT_TRUE(WaitFor([&] { return state.linkStatus.load() == kLinkNg; }, 3)) << round;
    SleepSeconds(0.6);
  }
  const double cpuSeconds = static_cast<double>(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
  EXPECT_LT(cpuSeconds, 0.5);
  EXPECT_EQ(supervisor->CommThreadStarts(), 0);
  EXPECT_TRUE(supervisor->Running());
}

TEST_F(SupervisedUnit, StopEndsTheSupervisorAndItsThreadAtOnce) {
  sim::SimUnit unit(UnitConfig());
  ASSERT_TRUE(unit.Start());
  StartSupervisor();
  ASSERT_TRUE(WaitFor([&] { return state.linkStatus.load() == kLinkOk; }, 5));
  // Still inside the 4-second settling wait.
  const auto stopping = Steady::now();
  supervisor->Stop();
  EXPECT_LT(SecondsSince(stopping), 2.5);
  EXPECT_FALSE(supervisor->Running());

  const int sent = unit.CommandsReceived(kCodeSetBuzzer);
  SleepSeconds(0.5);
  EXPECT_EQ(unit.CommandsReceived(kCodeSetBuzzer), sent);  // nobody polls the unit any more
}

}  // namespace
}  // namespace velrix
