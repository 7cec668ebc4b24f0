// The communication thread against the simulated unit on a real
// pseudo-terminal, with the real time-outs and the system clock.

#include "link/usb_comm.h"

#include <gtest/gtest.h>
#include <time.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "link/port_names.h"
#include "link/protocol.h"
#include "sim/sim_unit.h"
#include "tests/support/unit_end.h"
#include "tests/support/temp_folder.h"

namespace velrix {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::WaitUntil;

constexpr int kHandshakeLimitMs = 15000;
constexpr int kSamplesLimitMs = 20000;

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// True when needle occurs in haystack as a contiguous run.
bool Contains(const Bytes& haystack, const Bytes& needle) {
  return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) !=
         haystack.end();
}

class CommThreadTest : public ::testing::Test {
 protected:
  void TearDown() override {
    link_.reset();
    unit_.reset();
  }

  void StartUnit(sim::SimConfig config = {}) {
    unit_ = std::make_unique<sim::SimUnit>(std::move(config));
    std::string error;
    ASSERT_TRUE(unit_->Start(&error)) << error;
    config_.overridePort = unit_->DevicePath();
    s_.comNumber = kOverridePortNumber;
  }

  void StartLink() {
    link_ = std::make_unique<CommThread>(s_, config_);
    ASSERT_TRUE(link_->Start());
  }

  void StartLinkAndWaitOk() {
    StartLink();
    ASSERT_TRUE(WaitUntil([&] { return s_.linkStatus.load() == kLinkOk; }, kHandshakeLimitMs));
  }

  // The PC's bytes cut into frames by their length bytes.
  std::vector<Bytes> PcFrames() const {
    const Bytes all = unit_->ReceivedFromPc();
    std::vector<Bytes> frames;
    std::size_t i = 0;
    while (i + 1 < all.size()) {
      const std::size_t size = 2 + all[i + 1];
      if (i + size > all.size()) break;
      frames.emplace_back(all.begin() + i, all.begin() + i + size);
      i += size;
    }
    return frames;
  }

  Bytes UnitBytes() const {
    Bytes all;
    for (const auto& chunk : unit_->Transcript()) {
      if (!chunk.fromPc) all.insert(all.end(), chunk.bytes.begin(), chunk.bytes.end());
    }
    return all;
  }

  bool WaitSamples(int n) {
    return WaitUntil([&] { return s_.storedSamples.load() >= n; }, kSamplesLimitMs);
  }

  UnitLinkState s_;
  LinkConfig config_;
  std::unique_ptr<sim::SimUnit> unit_;
  std::unique_ptr<CommThread> link_;
};

TEST_F(CommThreadTest, HandshakeAndTypicalExchangeAreByteForByteAsTheUnitExpects) {
  sim::SimConfig config;
  config.counts.constant = 42;
  StartUnit(config);
  s_.detectionBuzzer = 1;
  StartLinkAndWaitOk();

  std::vector<Bytes> frames = PcFrames();
  ASSERT_GE(frames.size(), 2u);
  EXPECT_EQ(frames[0], Bytes({0x00, 0x01, 0x00}));
  EXPECT_EQ(frames[1], Bytes({0x10, 0x00}));
  const Bytes unitStart = UnitBytes();
  ASSERT_GE(unitStart.size(), 5u);
  EXPECT_EQ(Bytes(unitStart.begin(), unitStart.begin() + 5), Bytes({0x00, 0x00, 0x10, 0x01, 0x00}));
  EXPECT_EQ(s_.openedPort.load(), kOverridePortNumber);
  EXPECT_EQ(s_.comNumber.load(), kOverridePortNumber);

  // Without a measurement the status is read on every pass.
  ASSERT_TRUE(WaitUntil([&] { return s_.solarReached.load() != -1; }, kHandshakeLimitMs));
  EXPECT_TRUE(Contains(UnitBytes(), {0x90, 0x01, 0x20}));
  EXPECT_EQ(s_.batteryLow.load(), 0);
  EXPECT_EQ(s_.chargingOn.load(), 1);
  EXPECT_EQ(s_.batterySupplyOn.load(), 1);

  // Measurement start: StartCount once, then only the buzzer each pass while
  // the status read is not due.
  s_.statusReadInterval = 3600;
  const std::size_t before = PcFrames().size();
  s_.measuring = 1;
  ASSERT_TRUE(WaitSamples(2));
  frames = PcFrames();
  const auto start = std::find(frames.begin() + before, frames.end(), Bytes({0x50, 0x00}));
  ASSERT_NE(start, frames.end());
  for (auto f = start + 1; f != frames.end(); ++f) EXPECT_EQ(*f, Bytes({0x00, 0x01, 0x00}));
  EXPECT_TRUE(Contains(UnitBytes(), {0x50, 0xFF}));
  EXPECT_TRUE(Contains(UnitBytes(), {0x50, 0x02, 0x2A, 0x00}));
  EXPECT_EQ(s_.sampleRing[0].count.load(), 42.0);
  EXPECT_EQ(s_.sampleRing[1].count.load(), 42.0);
  EXPECT_EQ(s_.sampleRing[0].missing.load(), 0);
  EXPECT_EQ(s_.sampleRing[0].power.load(), 0);
  EXPECT_EQ(s_.ringSeconds.load(), static_cast<std::uint32_t>(s_.storedSamples.load()));

  // Battery supply off with the charging path on.
  s_.batteryOffWanted = 1;
  s_.batteryRequest = 1;
  ASSERT_TRUE(WaitUntil([&] { return s_.powerCommandState.load() == 2; }, kSamplesLimitMs));
  EXPECT_EQ(unit_->PowerPaths(), 0x02);
  EXPECT_EQ(s_.batteryRequest.load(), 0);
  frames = PcFrames();
  EXPECT_NE(std::find(frames.begin(), frames.end(), Bytes({0x80, 0x01, 0x02})), frames.end());
  EXPECT_TRUE(Contains(UnitBytes(), {0x80, 0x00}));

  // Measurement end: StopCount, then the status read clears the awaited state.
  s_.measuring = 0;
  ASSERT_TRUE(WaitUntil([&] { return s_.powerCommandState.load() == 0; }, kSamplesLimitMs));
  EXPECT_EQ(s_.batterySupplyOn.load(), 0);
  EXPECT_FALSE(unit_->Counting());
  EXPECT_EQ(unit_->CommandsReceived(kCodeStopCount), 1);
  EXPECT_TRUE(WaitUntil([&] { return s_.collecting.load() == 0; }, kSamplesLimitMs));
}

// A thread started while a measurement runs (the supervisor's restart after
// a lost unit) meets a unit that is not counting: the handshake asks for a
// resync, so StartCount follows it at once rather than after a frame's
// time-out has inserted missing seconds.
TEST_F(CommThreadTest, AThreadStartedDuringAMeasurementStartsCountingRightAfterTheHandshake) {
  StartUnit();
  s_.measuring = 1;
  StartLinkAndWaitOk();
  ASSERT_TRUE(WaitUntil([&] { return PcFrames().size() >= 3; }, kHandshakeLimitMs));
  const std::vector<Bytes> frames = PcFrames();
  EXPECT_EQ(frames[0], Bytes({0x00, 0x01, 0x00}));
  EXPECT_EQ(frames[1], Bytes({0x10, 0x00}));
  EXPECT_EQ(frames[2], Bytes({0x50, 0x00}));
  ASSERT_TRUE(WaitSamples(2));
  EXPECT_EQ(s_.resyncWanted.load(), 0);
  EXPECT_EQ(unit_->CommandsReceived(kCodeStartCount), 1);
}

TEST_F(CommThreadTest, AShortStartCountReplyAlsoStartsCollecting) {
  sim::SimConfig config;
  config.startCountLongForm = false;
  StartUnit(config);
  StartLinkAndWaitOk();
  s_.measuring = 1;
  ASSERT_TRUE(WaitSamples(2));
  EXPECT_TRUE(Contains(UnitBytes(), {0x50, 0x00}));
  EXPECT_FALSE(Contains(UnitBytes(), {0x50, 0xFF}));
  EXPECT_EQ(unit_->CommandsReceived(kCodeStartCount), 1);
  EXPECT_EQ(s_.linkStatus.load(), kLinkOk);
}

TEST_F(CommThreadTest, TheFirstFrameOfAMeasurementIsNotStored) {
  sim::SimConfig config;
  config.counts.kind = sim::CountSource::Kind::Sequence;
  for (int i = 101; i <= 160; ++i) config.counts.sequence.push_back(i);
  StartUnit(config);
  StartLinkAndWaitOk();
  s_.measuring = 1;
  ASSERT_TRUE(WaitSamples(3));
  const std::vector<int> sent = unit_->CountsSent();
  ASSERT_FALSE(sent.empty());
  const int first = static_cast<int>(s_.sampleRing[0].count.load());
  const auto at = std::find(sent.begin(), sent.end(), first);
  ASSERT_NE(at, sent.end());
  EXPECT_GE(at - sent.begin(), 1);
  EXPECT_GT(s_.sampleRing[1].count.load(), s_.sampleRing[0].count.load());
}

TEST_F(CommThreadTest, AThreeSecondSilenceInsertsMissingSecondsAndRestartsCounting) {
  StartUnit();
  StartLinkAndWaitOk();
  // No status read during the measurement: a status request swallowed by the
  // silence would leave the link waiting for its reply among the count
  // frames until the supervisor restarts it.
  s_.statusReadInterval = 3600;
  s_.measuring = 1;
  ASSERT_TRUE(WaitSamples(2));
  unit_->SetSilent(true);
  const bool gap = WaitUntil([&] { return s_.resyncWanted.load() == 1; }, kSamplesLimitMs);
  unit_->SetSilent(false);
  ASSERT_TRUE(gap);
  EXPECT_NE(s_.lastRetryTime.load(), 0);
  int missing = 0;
  const int stored = s_.storedSamples.load();
  for (int i = 0; i < stored && i < kSampleRingSize; ++i) {
    if (s_.sampleRing[i].missing.load() == 1) {
      missing += static_cast<int>(s_.sampleRing[i].seconds.load());
      EXPECT_EQ(s_.sampleRing[i].count.load(), 0.0);
    }
  }
  EXPECT_GE(missing, 1);
  EXPECT_GE(s_.maxRetryCount.load(), 1);
  // Counting is started again and samples flow once more.
  ASSERT_TRUE(WaitUntil([&] { return unit_->CommandsReceived(kCodeStartCount) >= 2; },
                        kSamplesLimitMs)) << ::testing::PrintToString(PcFrames());
  ASSERT_TRUE(WaitSamples(stored + 2));
  const int latest = (s_.ringWrite.load() + kSampleRingSize - 1) % kSampleRingSize;
  EXPECT_EQ(s_.sampleRing[latest].missing.load(), 0);
  EXPECT_TRUE(WaitUntil([&] { return s_.linkStatus.load() == kLinkOk; }, kSamplesLimitMs));
  // Still one entry per clock second.
  const ClockSeconds behind =
      DefaultClock().ElapsedSeconds() - s_.collectStart.load() - s_.storedSamples.load();
  EXPECT_GE(behind, -1);
  EXPECT_LE(behind, 2);
}

// The user stops just after a count frame and the unit answers slowly: the
// wait for a frame that StopCount has cancelled runs into its time-out. That
// silence is no gap: nothing is inserted and counting is not started again.
TEST_F(CommThreadTest, AStopJustAfterAFrameFromASlowUnitLeavesTheUnitIdle) {
  sim::SimConfig config;
  config.replyDelayMs = 450;
  StartUnit(config);
  StartLinkAndWaitOk();
  s_.statusReadInterval = 3600;
  s_.measuring = 1;
  ASSERT_TRUE(WaitSamples(2));
  const int before = s_.storedSamples.load();
  ASSERT_TRUE(WaitSamples(before + 1));
  s_.measuring = 0;
  const int atStop = s_.storedSamples.load();
  ASSERT_TRUE(WaitUntil([&] { return s_.collecting.load() == 0; }, kSamplesLimitMs));
  // Room for a resync, its StartCount and a few of the frames that follow.
  std::this_thread::sleep_for(std::chrono::seconds(5));
  EXPECT_EQ(unit_->CommandsReceived(kCodeStartCount), 1);
  EXPECT_FALSE(unit_->Counting());
  EXPECT_EQ(s_.resyncWanted.load(), 0);
  const int stored = s_.storedSamples.load();
  EXPECT_LE(stored, atStop + 1);  // at most the frame the stop overtook
  for (int k = atStop; k < stored; ++k) {
    EXPECT_EQ(s_.sampleRing[k % kSampleRingSize].missing.load(), 0);
  }
  EXPECT_EQ(s_.linkStatus.load(), kLinkOk);
}

TEST_F(CommThreadTest, StatusByte0x30MakesThePowerStatusOfNewSamplesTwo) {
  sim::SimConfig config;
  config.batteryLow = true;
  config.solarReached = true;
  StartUnit(config);
  StartLinkAndWaitOk();
  ASSERT_TRUE(WaitUntil([&] { return s_.batteryLow.load() == 1; }, kHandshakeLimitMs));
  EXPECT_TRUE(Contains(UnitBytes(), {0x90, 0x01, 0x30}));
  EXPECT_EQ(s_.solarReached.load(), 1);
  s_.measuring = 1;
  ASSERT_TRUE(WaitSamples(1));
  EXPECT_EQ(s_.sampleRing[0].power.load(), 2);
}

TEST_F(CommThreadTest, BuzzerAndChargingRequestsReachTheUnit) {
  StartUnit();
  s_.detectionBuzzer = 1;
  StartLinkAndWaitOk();
  EXPECT_EQ(unit_->BuzzerOff(), 0);
  s_.detectionBuzzer = 0;
  s_.buzzerRequest = 1;
  ASSERT_TRUE(WaitUntil([&] { return s_.buzzerRequest.load() == 0; }, kHandshakeLimitMs));
  ASSERT_TRUE(WaitUntil([&] { return unit_->BuzzerOff() == 1; }, kHandshakeLimitMs));
  EXPECT_EQ(s_.buzzerEcho.load(), 1);

  s_.chargingOffWanted = 1;
  s_.chargingRequest = 1;
  ASSERT_TRUE(WaitUntil([&] { return unit_->PowerPaths() == 0x01; }, kHandshakeLimitMs));
  ASSERT_TRUE(WaitUntil([&] { return s_.chargingOn.load() == 0; }, kHandshakeLimitMs));
  EXPECT_EQ(s_.batterySupplyOn.load(), 1);
}

TEST_F(CommThreadTest, AHangUpIsReportedAsFailuresWithoutSpinning) {
  StartUnit();
  StartLinkAndWaitOk();
  unit_->HangUp();
  ASSERT_TRUE(WaitUntil([&] { return s_.dead_err_cnt.load() > 0; }, kHandshakeLimitMs));
  EXPECT_EQ(s_.responseError.load(), 1);
  EXPECT_NE(s_.linkStatus.load(), kLinkOk);
  EXPECT_FALSE(link_->Finished());

  const double cpuBefore = ProcessCpuSeconds();
  const int beatsBefore = s_.activityCount.load();
  std::this_thread::sleep_for(std::chrono::seconds(3));
  const double cpuUsed = ProcessCpuSeconds() - cpuBefore;
  // A thread spinning on the dead port would burn most of the three seconds.
  EXPECT_LT(cpuUsed, 0.6);
  // Still alive and paced: the supervisor sees heartbeats and failing writes.
  EXPECT_GT(s_.activityCount.load(), beatsBefore);
  EXPECT_GT(s_.dead_err_cnt.load(), 1);
}

TEST_F(CommThreadTest, StopReleasesABlockedThreadAndANewOneCarriesOn) {
  StartUnit();
  s_.retryMode = 2;
  StartLinkAndWaitOk();
  s_.measuring = 1;
  ASSERT_TRUE(WaitSamples(2));

  // A silent unit with endless retries keeps the thread inside its reads.
  unit_->SetSilent(true);
  ASSERT_TRUE(WaitUntil([&] { return s_.commandRetries.load() >= 1; }, kSamplesLimitMs));
  link_->Stop();
  const int stored = s_.storedSamples.load();
  const std::uint32_t write = s_.ringWrite.load();
  const ClockSeconds collectStart = s_.collectStart.load();
  const int beats = s_.activityCount.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(s_.activityCount.load(), beats);  // nothing left running
  EXPECT_EQ(s_.storedSamples.load(), stored);
  EXPECT_EQ(s_.ringWrite.load(), write);

  unit_->SetSilent(false);
  StartLinkAndWaitOk();
  ASSERT_TRUE(WaitSamples(stored + 4));
  EXPECT_EQ(s_.collectStart.load(), collectStart);
  EXPECT_EQ(s_.ringSeconds.load(), static_cast<std::uint32_t>(s_.storedSamples.load()));
  // The silent seconds were filled with missing entries, so the samples stay
  // on the clock.
  const ClockSeconds behind =
      DefaultClock().ElapsedSeconds() - collectStart - s_.storedSamples.load();
  EXPECT_GE(behind, -1);
  EXPECT_LE(behind, 2);
}

TEST_F(CommThreadTest, APortThatCannotBeOpenedEndsTheThreadWithNg) {
  testing::TempFolder folder;
  config_.devRoot = folder.path();
  s_.comNumber = 5;
  StartLink();
  ASSERT_TRUE(WaitUntil([&] { return link_->Finished(); }, kHandshakeLimitMs));
  EXPECT_EQ(s_.linkStatus.load(), kLinkNg);
  EXPECT_EQ(s_.openedPort.load(), 5);
  // One thread per link object, also once it has ended or been stopped.
  EXPECT_FALSE(link_->Start());
  link_->Stop();
  EXPECT_FALSE(link_->Start());

  s_.linkStatus = kLinkNone;
  s_.comNumber = 0;  // automatic, but nothing was found
  StartLink();
  ASSERT_TRUE(WaitUntil([&] { return link_->Finished(); }, kHandshakeLimitMs));
  EXPECT_EQ(s_.linkStatus.load(), kLinkNg);
}

TEST_F(CommThreadTest, AutomaticModeOpensTheFirstDetectedPortThatOpens) {
  testing::TempFolder folder;
  StartUnit();
  config_.devRoot = folder.path();
  std::filesystem::create_symlink(unit_->DevicePath(), folder.File("ttyUSB1"));
  s_.comNumber = 0;
  s_.detectedPorts[0] = 1;  // ttyUSB0: not there
  s_.detectedPorts[1] = 2;  // ttyUSB1: the unit
  s_.detectedCount = 2;
  StartLinkAndWaitOk();
  EXPECT_EQ(s_.openedPort.load(), 2);
  EXPECT_EQ(s_.comNumber.load(), 2);
  EXPECT_EQ(PortName(config_, s_.openedPort.load()), "ttyUSB1");
}

}  // namespace
}  // namespace velrix

namespace velrix {
namespace {

TEST(PortNames, NumbersNameTtyUsbDevicesAndTheCommandLineDeviceShortly) {
  LinkConfig config;
  config.devRoot = "/dev";
  config.overridePort = "/dev/pts/3";
  EXPECT_EQ(PortDevicePath(config, 1), "/dev/ttyUSB0");
  EXPECT_EQ(PortName(config, 1), "ttyUSB0");
  EXPECT_EQ(PortDevicePath(config, kOverridePortNumber), "/dev/pts/3");
  EXPECT_EQ(PortName(config, kOverridePortNumber), "pts/3");
  EXPECT_EQ(PortDevicePath(config, 0), "");
  EXPECT_EQ(PortDevicePath(config, 300), "");
  config.overridePort = "/tmp/unit";
  EXPECT_EQ(PortName(config, kOverridePortNumber), "/tmp/unit");
  EXPECT_EQ(PortNumberOfTtyName("ttyUSB3"), 4);
  EXPECT_EQ(PortNumberOfTtyName("ttyUSB"), 0);
  EXPECT_EQ(PortNumberOfTtyName("ttyACM0"), 0);
  EXPECT_EQ(PortNumberOfTtyName("ttyUSB999"), 0);
}

}  // namespace
}  // namespace velrix
