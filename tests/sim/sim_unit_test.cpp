// The simulated unit on a real pseudo-terminal, driven by a bare PC-side peer.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "sim/sim_unit.h"
#include "tests/sim/raw_peer.h"
#include "tests/support/temp_folder.h"

namespace velrix::sim {
namespace {

using testing::Bytes;
using testing::CountFramesIn;
using testing::RawPeer;
using SteadyClock = std::chrono::steady_clock;

// A started unit and a peer on its slave.
struct Bench {
  explicit Bench(SimConfig config = {}) : unit(std::move(config)) {
    std::string error;
    started = unit.Start(&error);
    EXPECT_TRUE(started) << error;
    if (started) {
      peer = std::make_unique<RawPeer>(unit.DevicePath());
      EXPECT_TRUE(peer->Open()) << peer->Error();
    }
  }
  SimUnit unit;
  bool started = false;
  std::unique_ptr<RawPeer> peer;
};

TEST(SimUnit, EveryCommandIsAnsweredWithItsExactBytes) {
  Bench b;
  ASSERT_TRUE(b.peer);
  RawPeer& pc = *b.peer;
  EXPECT_EQ(pc.Exchange({0x00, 0x01, 0x01}, 2), Bytes({0x00, 0x00}));
  EXPECT_EQ(b.unit.BuzzerOff(), 1);
  EXPECT_EQ(pc.Exchange({0x10, 0x00}, 3), Bytes({0x10, 0x01, 0x01}));
  EXPECT_EQ(pc.Exchange({0x00, 0x01, 0x00}, 2), Bytes({0x00, 0x00}));
  EXPECT_EQ(pc.Exchange({0x10, 0x00}, 3), Bytes({0x10, 0x01, 0x00}));
  EXPECT_EQ(pc.Exchange({0x40, 0x00}, 2), Bytes({0x40, 0x00}));
  EXPECT_EQ(pc.Exchange({0x80, 0x01, 0x02}, 2), Bytes({0x80, 0x00}));
  EXPECT_EQ(pc.Exchange({0x90, 0x00}, 3), Bytes({0x90, 0x01, 0x22}));
  EXPECT_EQ(b.unit.CommandsReceived(0x00), 2);
  EXPECT_EQ(b.unit.CommandsReceived(0x90), 1);
}

TEST(SimUnit, AnUnknownCodeGetsNoReplyAndTheNextCommandStillFits) {
  Bench b;
  ASSERT_TRUE(b.peer);
  ASSERT_TRUE(b.peer->Send({0x33, 0x02, 0x90, 0x00}));
  EXPECT_TRUE(b.peer->ReadFor(400).empty());
  EXPECT_EQ(b.peer->Exchange({0x90, 0x00}, 3), Bytes({0x90, 0x01, 0x20}));
  EXPECT_EQ(b.unit.CommandsReceived(0x33), 1);
  EXPECT_EQ(b.unit.CommandsReceived(0x90), 1);
}

TEST(SimUnit, StartCountSendsOneCountFrameAboutEverySecondUntilStopCount) {
  SimConfig config;
  config.counts.constant = 42;
  Bench b(config);
  ASSERT_TRUE(b.peer);
  EXPECT_EQ(b.peer->Exchange({0x50, 0x00}, 2), Bytes({0x50, 0xFF}));
  EXPECT_TRUE(b.unit.Counting());
  const Bytes stream = b.peer->ReadFor(3500);
  const auto frames = CountFramesIn(stream);
  EXPECT_EQ(stream.size(), frames.size() * 4) << "nothing but count frames";
  EXPECT_GE(frames.size(), 2u);
  EXPECT_LE(frames.size(), 5u);
  for (const Bytes& f : frames) EXPECT_EQ(f, Bytes({0x50, 0x02, 0x2A, 0x00}));

  ASSERT_TRUE(b.peer->Send({0x40, 0x00}));
  Bytes tail = b.peer->ReadExactly(2);
  // A frame may have crossed the command on the wire; the reply follows it.
  while (tail.size() >= 2 && tail[0] == 0x50 && tail[1] == 0x02) {
    tail = b.peer->ReadExactly(2);
    tail = b.peer->ReadExactly(2);
  }
  EXPECT_EQ(tail, Bytes({0x40, 0x00}));
  EXPECT_FALSE(b.unit.Counting());
  EXPECT_TRUE(b.peer->ReadFor(1500).empty());
}

TEST(SimUnit, CountFramesCarryTheSequenceClampedAndTheLimitFlag) {
  SimConfig config;
  config.counts.kind = CountSource::Kind::Sequence;
  config.counts.sequence = {5000, 9000};
  config.limitFlag = true;
  Bench b(config);
  ASSERT_TRUE(b.peer);
  ASSERT_EQ(b.peer->Exchange({0x50, 0x00}, 2), Bytes({0x50, 0xFF}));
  const Bytes frames = b.peer->ReadExactly(8, 5000);
  EXPECT_EQ(frames, Bytes({0x50, 0x02, 0x88, 0x33, 0x50, 0x02, 0xFF, 0x3F}));
  b.unit.SetLimitFlag(false);
  EXPECT_EQ(b.peer->ReadExactly(4, 3000), Bytes({0x50, 0x02, 0x88, 0x13}));
  const std::vector<int> sent = b.unit.CountsSent();
  ASSERT_GE(sent.size(), 3u);
  EXPECT_EQ(std::vector<int>(sent.begin(), sent.begin() + 3), std::vector<int>({5000, 8191, 5000}));
}

TEST(SimUnit, ShortStartAnswersLengthZero) {
  SimConfig config;
  config.startCountLongForm = false;
  Bench b(config);
  ASSERT_TRUE(b.peer);
  EXPECT_EQ(b.peer->Exchange({0x50, 0x00}, 2), Bytes({0x50, 0x00}));
}

TEST(SimUnit, SwitchedPowerPathsAndBatteryAndSolarStatesShowInTheStatus) {
  Bench b;
  ASSERT_TRUE(b.peer);
  RawPeer& pc = *b.peer;
  EXPECT_EQ(pc.Exchange({0x80, 0x01, 0x03}, 2), Bytes({0x80, 0x00}));
  EXPECT_EQ(b.unit.PowerPaths(), 3);
  EXPECT_EQ(pc.Exchange({0x90, 0x00}, 3), Bytes({0x90, 0x01, 0x23}));
  EXPECT_EQ(pc.Exchange({0x80, 0x01, 0x01}, 2), Bytes({0x80, 0x00}));
  b.unit.SetBatteryLow(true);
  EXPECT_EQ(pc.Exchange({0x90, 0x00}, 3), Bytes({0x90, 0x01, 0x31}));
  b.unit.SetSolarReached(false);
  EXPECT_EQ(pc.Exchange({0x90, 0x00}, 3), Bytes({0x90, 0x01, 0x11}));
  b.unit.SetBatteryLow(false);
  EXPECT_EQ(pc.Exchange({0x90, 0x00}, 3), Bytes({0x90, 0x01, 0x01}));
}

TEST(SimUnit, ScheduledBatteryAndSolarChangesApplyAtTheirTime) {
  SimConfig config;
  config.schedule = {{0.8, TimedChange::What::SolarInsufficient},
                     {0.5, TimedChange::What::BatteryLow}};
  Bench b(config);
  ASSERT_TRUE(b.peer);
  const auto started = SteadyClock::now();
  const Bytes before = b.peer->Exchange({0x90, 0x00}, 3);
  if (SteadyClock::now() - started < std::chrono::milliseconds(400)) {
    EXPECT_EQ(before, Bytes({0x90, 0x01, 0x20}));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  EXPECT_EQ(b.peer->Exchange({0x90, 0x00}, 3), Bytes({0x90, 0x01, 0x10}));
}

TEST(SimUnit, WrongEchoAnswersGetBuzzerWithTheOtherBit) {
  SimConfig config;
  config.wrongBuzzerEcho = true;
  Bench b(config);
  ASSERT_TRUE(b.peer);
  EXPECT_EQ(b.peer->Exchange({0x00, 0x01, 0x01}, 2), Bytes({0x00, 0x00}));
  EXPECT_EQ(b.peer->Exchange({0x10, 0x00}, 3), Bytes({0x10, 0x01, 0x00}));
  b.unit.SetWrongBuzzerEcho(false);
  EXPECT_EQ(b.peer->Exchange({0x10, 0x00}, 3), Bytes({0x10, 0x01, 0x01}));
}

TEST(SimUnit, StrayBytesFollowEveryNthFrame) {
  SimConfig config;
  config.strayBytes = {0xAA, 0xBB};
  config.strayEvery = 2;
  Bench b(config);
  ASSERT_TRUE(b.peer);
  EXPECT_EQ(b.peer->Exchange({0x90, 0x00}, 3), Bytes({0x90, 0x01, 0x20}));
  EXPECT_TRUE(b.peer->ReadFor(300).empty());
  EXPECT_EQ(b.peer->Exchange({0x40, 0x00}, 4), Bytes({0x40, 0x00, 0xAA, 0xBB}));
}

TEST(SimUnit, InjectedBytesReachThePc) {
  Bench b;
  ASSERT_TRUE(b.peer);
  b.unit.InjectBytes({0x50, 0x02, 0x07});
  EXPECT_EQ(b.peer->ReadExactly(3), Bytes({0x50, 0x02, 0x07}));
}

TEST(SimUnit, ASilentUnitReadsCommandsButAnswersNothing) {
  Bench b;
  ASSERT_TRUE(b.peer);
  b.unit.SetSilent(true);
  ASSERT_TRUE(b.peer->Send({0x10, 0x00}));
  ASSERT_TRUE(b.peer->Send({0x50, 0x00}));
  EXPECT_TRUE(b.peer->ReadFor(1600).empty());
  EXPECT_EQ(b.unit.CommandsReceived(0x10), 1);
  EXPECT_FALSE(b.unit.Counting()) << "a dropped StartCount starts nothing";
  b.unit.SetSilent(false);
  EXPECT_EQ(b.peer->Exchange({0x10, 0x00}, 3), Bytes({0x10, 0x01, 0x00}));
}

TEST(SimUnit, ScheduledSilenceStopsCountFramesAndEndsOnTime) {
  SimConfig config;
  config.schedule = {{0.0, TimedChange::What::SilenceOff},
                     {2.5, TimedChange::What::SilenceOn},
                     {5.0, TimedChange::What::SilenceOff}};
  Bench b(config);
  ASSERT_TRUE(b.peer);
  const auto started = SteadyClock::now();
  ASSERT_EQ(b.peer->Exchange({0x50, 0x00}, 2), Bytes({0x50, 0xFF}));
  std::this_thread::sleep_until(started + std::chrono::milliseconds(2700));
  b.peer->ReadFor(10);  // drop what came before the silence
  const Bytes silent = b.peer->ReadFor(2000);
  if (SteadyClock::now() - started < std::chrono::milliseconds(4900)) {
    EXPECT_TRUE(silent.empty());
  }
  std::this_thread::sleep_until(started + std::chrono::milliseconds(5200));
  EXPECT_EQ(b.peer->ReadExactly(4, 3000), Bytes({0x50, 0x02, 0x05, 0x00}));
}

TEST(SimUnit, ReplyDelayHoldsTheReplyBack) {
  SimConfig config;
  config.replyDelayMs = 400;
  Bench b(config);
  ASSERT_TRUE(b.peer);
  const auto sent = SteadyClock::now();
  EXPECT_EQ(b.peer->Exchange({0x10, 0x00}, 3), Bytes({0x10, 0x01, 0x00}));
  EXPECT_GE(SteadyClock::now() - sent, std::chrono::milliseconds(350));
}

TEST(SimUnit, FastUnitClockSendsExtraFramesAndSlowOneSkipsSeconds) {
  SimConfig fast;
  fast.fastEvery = 1;
  Bench f(fast);
  SimConfig slow;
  slow.slowEvery = 2;
  Bench s(slow);
  ASSERT_TRUE(f.peer && s.peer);
  ASSERT_EQ(f.peer->Exchange({0x50, 0x00}, 2), Bytes({0x50, 0xFF}));
  ASSERT_EQ(s.peer->Exchange({0x50, 0x00}, 2), Bytes({0x50, 0xFF}));
  std::this_thread::sleep_for(std::chrono::milliseconds(4500));
  const auto fastFrames = CountFramesIn(f.peer->ReadFor(50)).size();
  const auto slowFrames = CountFramesIn(s.peer->ReadFor(50)).size();
  // Four or five seconds passed for both: twice that many frames from the
  // fast unit, half from the slow one.
  EXPECT_GE(fastFrames, 6u);
  EXPECT_LE(fastFrames, 12u);
  EXPECT_GE(slowFrames, 1u);
  EXPECT_LE(slowFrames, 3u);
}

TEST(SimUnit, HangUpMakesThePcReadEndInsteadOfWaiting) {
  Bench b;
  ASSERT_TRUE(b.peer);
  ASSERT_EQ(b.peer->Exchange({0x10, 0x00}, 3), Bytes({0x10, 0x01, 0x00}));
  b.unit.HangUp();
  EXPECT_FALSE(b.unit.Running());
  const RawPeer::HangUpSeen seen = b.peer->WaitForHangUp(3000);
  EXPECT_NE(seen.wait, WaitResult::Timeout);
  EXPECT_TRUE(seen.read == ReadStatus::Closed || seen.read == ReadStatus::Failed);
  // The line stays dead: a second look reports the same at once.
  const RawPeer::HangUpSeen again = b.peer->WaitForHangUp(3000);
  EXPECT_TRUE(again.read == ReadStatus::Closed || again.read == ReadStatus::Failed);
  EXPECT_FALSE(b.peer->Send({0x10, 0x00}));
}

TEST(SimUnit, AScheduledHangUpStopsTheUnitForGood) {
  SimConfig config;
  config.schedule = {{0.3, TimedChange::What::HangUp}};
  Bench b(config);
  ASSERT_TRUE(b.peer);
  const RawPeer::HangUpSeen seen = b.peer->WaitForHangUp(5000);
  EXPECT_TRUE(seen.read == ReadStatus::Closed || seen.read == ReadStatus::Failed);
  const auto deadline = SteadyClock::now() + std::chrono::seconds(5);
  while (b.unit.Running() && SteadyClock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_FALSE(b.unit.Running());
  RawPeer late(b.unit.DevicePath());
  if (late.Open()) {
    EXPECT_TRUE(late.Exchange({0x10, 0x00}, 3, 500).empty());
  }
}

TEST(SimUnit, ThePcCanCloseAndReopenThePortAndStillTalk) {
  Bench b;
  ASSERT_TRUE(b.peer);
  EXPECT_EQ(b.peer->Exchange({0x00, 0x01, 0x01}, 2), Bytes({0x00, 0x00}));
  b.peer->Close();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  RawPeer again(b.unit.DevicePath());
  ASSERT_TRUE(again.Open()) << again.Error();
  EXPECT_EQ(again.Exchange({0x10, 0x00}, 3), Bytes({0x10, 0x01, 0x01}));
  EXPECT_TRUE(b.unit.Running());
}

TEST(SimUnit, TheTranscriptKeepsBothDirectionsInOrder) {
  Bench b;
  ASSERT_TRUE(b.peer);
  ASSERT_EQ(b.peer->Exchange({0x90, 0x00}, 3), Bytes({0x90, 0x01, 0x20}));
  ASSERT_EQ(b.peer->Exchange({0x40, 0x00}, 2), Bytes({0x40, 0x00}));
  const std::vector<WireChunk> t = b.unit.Transcript();
  ASSERT_EQ(t.size(), 4u);
  EXPECT_TRUE(t[0].fromPc);
  EXPECT_EQ(t[0].bytes, Bytes({0x90, 0x00}));
  EXPECT_FALSE(t[1].fromPc);
  EXPECT_EQ(t[1].bytes, Bytes({0x90, 0x01, 0x20}));
  EXPECT_TRUE(t[2].fromPc);
  EXPECT_FALSE(t[3].fromPc);
  EXPECT_EQ(b.unit.ReceivedFromPc(), Bytes({0x90, 0x00, 0x40, 0x00}));
}

TEST(SimUnit, ALinkPointsAtTheDeviceReplacesAnOldLinkAndGoesWithStop) {
  testing::TempFolder folder;
  const std::string link = folder.File("ttyUNIT");
  std::filesystem::create_symlink("/nonexistent/old-unit", link);
  SimConfig config;
  config.linkPath = link;
  {
    Bench b(config);
    ASSERT_TRUE(b.peer);
    EXPECT_EQ(b.unit.DevicePath(), link);
    EXPECT_EQ(b.peer->Exchange({0x10, 0x00}, 3), Bytes({0x10, 0x01, 0x00}));
    b.unit.Stop();
    EXPECT_FALSE(std::filesystem::is_symlink(std::filesystem::symlink_status(link)));
  }
}

TEST(SimUnit, AFileStandingAtTheLinkPathIsLeftAloneAndStartFails) {
  testing::TempFolder folder;
  const std::string path = folder.File("ttyUNIT");
  testing::WriteBytes(path, "keep me");
  SimConfig config;
  config.linkPath = path;
  SimUnit unit(config);
  std::string error;
  EXPECT_FALSE(unit.Start(&error));
  EXPECT_NE(error.find("ttyUNIT"), std::string::npos) << error;
  EXPECT_EQ(testing::ReadBytes(path), "keep me");
  EXPECT_FALSE(unit.Running());
}

TEST(SimUnit, StopIsSafeBeforeStartTwiceAndWhileCounting) {
  SimUnit idle;
  idle.Stop();
  Bench b;
  ASSERT_TRUE(b.peer);
  ASSERT_EQ(b.peer->Exchange({0x50, 0x00}, 2), Bytes({0x50, 0xFF}));
  b.unit.Stop();
  b.unit.Stop();
  EXPECT_FALSE(b.unit.Running());
  EXPECT_FALSE(b.unit.Counting());
}

TEST(SimUnit, AStoppedUnitCanBeStartedAgainOnAFreshTerminal) {
  Bench b;
  ASSERT_TRUE(b.peer);
  std::string error;
  EXPECT_FALSE(b.unit.Start(&error)) << "already running";
  b.unit.Stop();
  ASSERT_TRUE(b.unit.Start(&error)) << error;
  RawPeer again(b.unit.DevicePath());
  ASSERT_TRUE(again.Open()) << again.Error();
  EXPECT_EQ(again.Exchange({0x10, 0x00}, 3), Bytes({0x10, 0x01, 0x00}));
}

}  // namespace
}  // namespace velrix::sim
