// Alignment of the sample ring with clock seconds: the gap check and the
// count-frame rules, driven directly with a hand-set clock.

#include <gtest/gtest.h>

#include <cstdint>

#include "link/protocol.h"

namespace velrix {
namespace {

constexpr ClockSeconds kStart = 1'700'000'000;

struct Collecting {
  Collecting() {
    s.measuring = 1;
    s.collecting = 1;
    s.collectStart = kStart;
    s.lastFrameTime = kStart;
  }
  // Pretends `stored` samples were already taken, the last one just now.
  void Stored(int stored, ClockSeconds lastFrame) {
    s.storedSamples = stored;
    s.ringWrite = stored % kSampleRingSize;
    s.lastFrameTime = lastFrame;
  }
  UnitLinkState s;
};

int InsertedBy(int deficit, bool silent) {
  Collecting c;
  const ClockSeconds now = kStart + 10 + deficit;
  c.Stored(10, silent ? now - kSilenceSeconds : now);
  GapCheck(c.s, now, GapCheckForm::CountFrame);
  return c.s.storedSamples.load() - 10;
}

TEST(GapCheck, ADeficitOfFourInsertsThreeEntriesInOnePass) {
  Collecting c;
  c.Stored(10, kStart + 14);
  GapCheck(c.s, kStart + 14, GapCheckForm::CountFrame);
  EXPECT_EQ(c.s.storedSamples.load(), 13);
  EXPECT_EQ(c.s.ringWrite.load(), 13);
  for (int i = 10; i < 13; ++i) {
    EXPECT_EQ(c.s.sampleRing[i].count.load(), 0.0);
    EXPECT_EQ(c.s.sampleRing[i].missing.load(), 1);
  }
  EXPECT_EQ(c.s.consecutiveMissing.load(), 3);
  EXPECT_EQ(c.s.maxRetryCount.load(), 3);
  EXPECT_EQ(c.s.lastRetryTime.load(), kStart + 14);
}

TEST(GapCheck, OnePassFillsAboutHalfTheDeficit) {
  // Without silence only a deficit of two or more counts.
  EXPECT_EQ(InsertedBy(0, false), 0);
  EXPECT_EQ(InsertedBy(1, false), 0);
  EXPECT_EQ(InsertedBy(2, false), 2);
  EXPECT_EQ(InsertedBy(3, false), 2);
  EXPECT_EQ(InsertedBy(4, false), 3);
  // After three silent seconds even a small deficit gets its entry.
  EXPECT_EQ(InsertedBy(-1, true), 0);
  EXPECT_EQ(InsertedBy(0, true), 1);
  EXPECT_EQ(InsertedBy(1, true), 1);
}

TEST(GapCheck, ThreeSilentSecondsAfterATimeoutInsertAndAskForARestart) {
  Collecting c;
  c.Stored(5, kStart + 4);
  const ClockSeconds now = kStart + 7;
  GapCheck(c.s, now, GapCheckForm::Timeout);
  EXPECT_EQ(c.s.storedSamples.load(), 7);  // deficit 2
  EXPECT_EQ(c.s.sampleRing[5].missing.load(), 1);
  EXPECT_EQ(c.s.sampleRing[6].missing.load(), 1);
  EXPECT_EQ(c.s.lastRetryTime.load(), now);
  EXPECT_EQ(c.s.resyncWanted.load(), 1);
  EXPECT_EQ(c.s.lastFrameTime.load(), now);
}

TEST(GapCheck, TheCountFrameFormNeitherRestartsNorMovesTheFrameTime) {
  Collecting c;
  c.Stored(5, kStart + 4);
  GapCheck(c.s, kStart + 7, GapCheckForm::CountFrame);
  EXPECT_EQ(c.s.storedSamples.load(), 7);
  EXPECT_EQ(c.s.resyncWanted.load(), 0);
  EXPECT_EQ(c.s.lastFrameTime.load(), kStart + 4);
}

TEST(GapCheck, NothingHappensWhileSamplesKeepUp) {
  Collecting c;
  c.Stored(5, kStart + 5);
  GapCheck(c.s, kStart + 6, GapCheckForm::MainLoop);
  EXPECT_EQ(c.s.storedSamples.load(), 5);
  EXPECT_EQ(c.s.lastRetryTime.load(), 0);
  EXPECT_EQ(c.s.resyncWanted.load(), 0);
}

TEST(GapCheck, WithoutRetriesOneMissingSecondExhaustsTheLinkButOnlyInFrameAndTimeoutForms) {
  for (GapCheckForm form : {GapCheckForm::CountFrame, GapCheckForm::Timeout,
                            GapCheckForm::ReadFailure, GapCheckForm::MainLoop}) {
    Collecting c;
    c.s.linkStatus = kLinkOk;
    c.s.retryMode = 0;
    c.Stored(5, kStart + 2);
    GapCheck(c.s, kStart + 5, form);
    EXPECT_EQ(c.s.storedSamples.load(), 6);
    const bool gives = form == GapCheckForm::CountFrame || form == GapCheckForm::Timeout;
    EXPECT_EQ(c.s.linkStatus.load(), gives ? kLinkRetriesExhausted : kLinkOk);
  }
}

TEST(GapCheck, CountedRetriesExhaustTheLinkAtMaxRetriesMissingSeconds) {
  Collecting c;
  c.s.linkStatus = kLinkOk;
  c.s.retryMode = 1;
  c.s.maxRetries = 3;
  c.Stored(10, kStart + 12);
  GapCheck(c.s, kStart + 12, GapCheckForm::CountFrame);  // deficit 2: two entries
  EXPECT_EQ(c.s.linkStatus.load(), kLinkOk);
  GapCheck(c.s, kStart + 14, GapCheckForm::CountFrame);  // deficit 2 again
  EXPECT_EQ(c.s.consecutiveMissing.load(), 4);
  EXPECT_EQ(c.s.linkStatus.load(), kLinkRetriesExhausted);
}

TEST(GapCheck, MissingEntriesCarryThePowerStatusAndWrapTheRing) {
  Collecting c;
  c.s.batteryLow = 1;
  c.s.solarReached = 0;
  c.Stored(kSampleRingSize - 1, kStart);
  GapCheck(c.s, kStart + kSampleRingSize + 1, GapCheckForm::MainLoop);  // deficit 2
  EXPECT_EQ(c.s.ringWrite.load(), 1);
  EXPECT_EQ(c.s.sampleRing[kSampleRingSize - 1].power.load(), 3);
  EXPECT_EQ(c.s.sampleRing[0].power.load(), 3);
}

TEST(CountFrame, DecodesThirteenBitsAndTheLimitFlag) {
  EXPECT_EQ(CountOfFrame(0x2A, 0x00), 42);
  EXPECT_EQ(CountOfFrame(0xFF, 0xFF), 8191);
  EXPECT_EQ(LimitFlagOfFrame(0xFF), 1);
  EXPECT_EQ(CountOfFrame(0x00, 0x20), 0);
  EXPECT_EQ(LimitFlagOfFrame(0x20), 1);
  EXPECT_EQ(LimitFlagOfFrame(0xDF), 0);
}

TEST(CountFrame, TheFirstFrameAfterAStartOnlyOpensCollectionAndTheNextIsSampleZero) {
  UnitLinkState s;
  ManualClock clock(kStart);
  s.measuring = 1;
  HandleCountFrame(s, clock, 7, 0);
  EXPECT_EQ(s.collecting.load(), 1);
  EXPECT_EQ(s.storedSamples.load(), 0);
  EXPECT_EQ(s.ringWrite.load(), 0);

  clock.Advance(1);
  HandleCountFrame(s, clock, 42, 0x20);
  EXPECT_EQ(s.storedSamples.load(), 1);
  EXPECT_EQ(s.collectStart.load(), kStart + 1);
  EXPECT_EQ(s.sampleRing[0].count.load(), 42.0);
  EXPECT_EQ(s.sampleRing[0].missing.load(), 0);
  EXPECT_EQ(s.limitReached.load(), 1);
  EXPECT_EQ(s.lastFrameTime.load(), kStart + 1);
}

TEST(CountFrame, FramesFasterThanTheClockAreDropped) {
  UnitLinkState s;
  ManualClock clock(kStart);
  s.measuring = 1;
  s.collecting = 1;
  HandleCountFrame(s, clock, 1, 0);  // sample 0 at kStart
  HandleCountFrame(s, clock, 2, 0);  // one ahead: still taken
  EXPECT_EQ(s.storedSamples.load(), 2);
  HandleCountFrame(s, clock, 3, 0x20);  // two ahead: dropped
  EXPECT_EQ(s.storedSamples.load(), 2);
  EXPECT_EQ(s.limitReached.load(), 0);
  clock.Advance(1);
  HandleCountFrame(s, clock, 4, 0);
  EXPECT_EQ(s.storedSamples.load(), 3);
  EXPECT_EQ(s.sampleRing[2].count.load(), 4.0);
}

TEST(CountFrame, AFrameAfterTheMeasurementEndedIsStoredAndEndsCollection) {
  UnitLinkState s;
  ManualClock clock(kStart);
  s.collecting = 1;
  s.storedSamples = 3;
  s.collectStart = kStart - 3;
  s.lastFrameTime = kStart - 1;
  s.consecutiveMissing = 2;
  HandleCountFrame(s, clock, 9, 0);
  EXPECT_EQ(s.storedSamples.load(), 4);
  EXPECT_EQ(s.collecting.load(), 0);
  EXPECT_EQ(s.consecutiveMissing.load(), 0);
}

TEST(PowerStatus, StatusByte0x30IsBothPathsOnBatteryLowSolarReached) {
  UnitLinkState s;
  ApplyPowerStatus(s, 0x30);
  EXPECT_EQ(s.chargingOn.load(), 1);
  EXPECT_EQ(s.batterySupplyOn.load(), 1);
  EXPECT_EQ(s.batteryLow.load(), 1);
  EXPECT_EQ(s.solarReached.load(), 1);
  EXPECT_EQ(CurrentPowerStatus(s), 2);

  ApplyPowerStatus(s, 0x03);
  EXPECT_EQ(s.chargingOn.load(), 0);
  EXPECT_EQ(s.batterySupplyOn.load(), 0);
  EXPECT_EQ(s.batteryLow.load(), 0);
  EXPECT_EQ(s.solarReached.load(), 0);
  EXPECT_EQ(CurrentPowerStatus(s), 1);

  // One bit at a time: each names its own path or state and no other.
  struct Bit {
    std::uint8_t byte;
    int chargingOn, batterySupplyOn, batteryLow, solarReached;
  };
  for (const Bit& b : {Bit{0x01, 0, 1, 0, 0}, Bit{0x02, 1, 0, 0, 0}, Bit{0x10, 1, 1, 1, 0},
                       Bit{0x20, 1, 1, 0, 1}}) {
    SCOPED_TRACE(static_cast<int>(b.byte));
    ApplyPowerStatus(s, b.byte);
    EXPECT_EQ(s.chargingOn.load(), b.chargingOn);
    EXPECT_EQ(s.batterySupplyOn.load(), b.batterySupplyOn);
    EXPECT_EQ(s.batteryLow.load(), b.batteryLow);
    EXPECT_EQ(s.solarReached.load(), b.solarReached);
  }
  // Battery low with the solar supply short: both power bits of a sample.
  ApplyPowerStatus(s, 0x10);
  EXPECT_EQ(CurrentPowerStatus(s), 3);
}

}  // namespace
}  // namespace velrix
