// Alignment of the sample ring with clock seconds: the gap check and the
// count-frame rules, driven directly with a hand-set clock.

#include <gtest/gtest.h>

#include <cstdint>

#include "link/protocol.h"

namespace velrix {
namespace {

constexpr ClockSeconds kStart = 1'700'000'000;
// The calendar clock stands elsewhere: the link aligns by elapsed time only.
constexpr ClockSeconds kWall = 1'800'000'000;

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
    s.ringWrite = static_cast<std::uint32_t>(stored);
    s.ringSeconds = static_cast<std::uint32_t>(stored);
    s.lastFrameTime = lastFrame;
  }
  int Check(ClockSeconds now, GapCheckForm form) { return GapCheck(s, now, kWall, form); }
  UnitLinkState s;
};

int InsertedBy(int deficit, bool silent) {
  Collecting c;
  const ClockSeconds now = kStart + 10 + deficit;
  c.Stored(10, silent ? now - kSilenceSeconds : now);
  const int inserted = c.Check(now, GapCheckForm::CountFrame);
  EXPECT_EQ(inserted, c.s.storedSamples.load() - 10);
  // However many seconds, one entry.
  EXPECT_EQ(c.s.ringWrite.load(), inserted > 0 ? 11u : 10u);
  return inserted;
}

TEST(GapCheck, ADeficitOfFourInsertsOneRunOfFourMissingSeconds) {
  Collecting c;
  c.Stored(10, kStart + 14);
  c.Check(kStart + 14, GapCheckForm::CountFrame);
  EXPECT_EQ(c.s.storedSamples.load(), 14);
  EXPECT_EQ(c.s.ringWrite.load(), 11u);
  EXPECT_EQ(c.s.ringSeconds.load(), 14u);
  const LinkSample& run = c.s.sampleRing[10];
  EXPECT_EQ(run.count.load(), 0.0);
  EXPECT_EQ(run.missing.load(), 1);
  EXPECT_EQ(run.seconds.load(), 4u);
  EXPECT_EQ(run.firstSecond.load(), 10u);
  EXPECT_EQ(c.s.consecutiveMissing.load(), 4);
  EXPECT_EQ(c.s.maxRetryCount.load(), 4);
  // The retry is dated by the calendar, the alignment by elapsed time.
  EXPECT_EQ(c.s.lastRetryTime.load(), kWall);
}

TEST(GapCheck, OnePassFillsTheWholeDeficitSoTheNextFrameIsOnItsOwnSecond) {
  // Without silence only a deficit of two or more counts.
  EXPECT_EQ(InsertedBy(0, false), 0);
  EXPECT_EQ(InsertedBy(1, false), 0);
  EXPECT_EQ(InsertedBy(2, false), 2);
  EXPECT_EQ(InsertedBy(3, false), 3);
  EXPECT_EQ(InsertedBy(4, false), 4);
  // A computer that slept for ten minutes: still one entry.
  EXPECT_EQ(InsertedBy(600, false), 600);
  // After three silent seconds even a small deficit gets its entry.
  EXPECT_EQ(InsertedBy(-1, true), 0);
  EXPECT_EQ(InsertedBy(0, true), 0);
  EXPECT_EQ(InsertedBy(1, true), 1);
}

TEST(GapCheck, ThreeSilentSecondsAfterATimeoutInsertAndAskForARestart) {
  Collecting c;
  c.Stored(5, kStart + 4);
  const ClockSeconds now = kStart + 7;
  c.Check(now, GapCheckForm::Timeout);
  EXPECT_EQ(c.s.storedSamples.load(), 7);  // deficit 2
  EXPECT_EQ(c.s.sampleRing[5].missing.load(), 1);
  EXPECT_EQ(c.s.sampleRing[5].seconds.load(), 2u);
  EXPECT_EQ(c.s.lastRetryTime.load(), kWall);
  EXPECT_EQ(c.s.resyncWanted.load(), 1);
  EXPECT_EQ(c.s.lastFrameTime.load(), now);
}

TEST(GapCheck, TheCountFrameFormNeitherRestartsNorMovesTheFrameTime) {
  Collecting c;
  c.Stored(5, kStart + 4);
  c.Check(kStart + 7, GapCheckForm::CountFrame);
  EXPECT_EQ(c.s.storedSamples.load(), 7);
  EXPECT_EQ(c.s.resyncWanted.load(), 0);
  EXPECT_EQ(c.s.lastFrameTime.load(), kStart + 4);
}

TEST(GapCheck, NothingHappensWhileSamplesKeepUp) {
  Collecting c;
  c.Stored(5, kStart + 5);
  c.Check(kStart + 6, GapCheckForm::MainLoop);
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
    c.Stored(5, kStart + 3);
    c.Check(kStart + 6, form);  // silent, one second without its sample
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
  c.Check(kStart + 12, GapCheckForm::CountFrame);  // deficit 2: two entries
  EXPECT_EQ(c.s.linkStatus.load(), kLinkOk);
  c.Check(kStart + 14, GapCheckForm::CountFrame);  // deficit 2 again
  EXPECT_EQ(c.s.consecutiveMissing.load(), 4);
  EXPECT_EQ(c.s.linkStatus.load(), kLinkRetriesExhausted);
}

TEST(GapCheck, MissingEntriesCarryThePowerStatusAndWrapTheRing) {
  Collecting c;
  c.s.batteryLow = 1;
  c.s.solarReached = 0;
  c.Stored(kSampleRingSize - 1, kStart);
  c.Check(kStart + kSampleRingSize + 1, GapCheckForm::MainLoop);  // deficit 2
  c.Check(kStart + kSampleRingSize + 4, GapCheckForm::MainLoop);  // deficit 3
  // The count goes on past the ring's size; the index wraps.
  EXPECT_EQ(c.s.ringWrite.load(), static_cast<std::uint32_t>(kSampleRingSize + 1));
  EXPECT_EQ(c.s.sampleRing[kSampleRingSize - 1].power.load(), 3);
  EXPECT_EQ(c.s.sampleRing[0].power.load(), 3);
  EXPECT_EQ(c.s.sampleRing[0].firstSecond.load(), static_cast<std::uint32_t>(kSampleRingSize + 1));
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
  EXPECT_EQ(s.ringWrite.load(), 0u);

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

// A computer stopped for ten minutes while the unit went on: the frames it
// sent meanwhile wait on the port. The first one found behind the gap is not
// the sample of the second it is read in, so it goes with the backlog; the
// next fresh frame lands on its own second. A step of the calendar clock
// alone is no gap at all.
TEST(CountFrame, AFrameQueuedBehindAGapGoesWithTheBacklogAndAClockStepIsNoGap) {
  UnitLinkState s;
  ManualClock clock(kStart);
  s.measuring = 1;
  s.collecting = 1;
  EXPECT_EQ(HandleCountFrame(s, clock, 1, 0), FrameOutcome::Stored);
  clock.StepWall(-3600);
  clock.Advance(1);
  EXPECT_EQ(HandleCountFrame(s, clock, 2, 0, true), FrameOutcome::Stored);
  EXPECT_EQ(s.storedSamples.load(), 2);
  clock.Advance(600);
  EXPECT_EQ(HandleCountFrame(s, clock, 3, 0, true), FrameOutcome::Stale);
  EXPECT_EQ(s.storedSamples.load(), 601);
  EXPECT_EQ(s.resyncWanted.load(), 1);
  EXPECT_EQ(HandleCountFrame(s, clock, 4, 0, true), FrameOutcome::Stored);
  EXPECT_EQ(s.storedSamples.load(), 602);
  EXPECT_EQ(s.ringWrite.load(), 4u);  // two counts, the run, the count
  EXPECT_EQ(s.sampleRing[3].count.load(), 4.0);
  EXPECT_EQ(s.sampleRing[3].firstSecond.load(), 601u);
  // Held up on this side past a read time-out, which gave the seconds up:
  // the frames that then come at once are the backlog too. A frame that
  // comes alone after the time-out ends a silence of the unit and is the
  // sample of its second.
  for (const bool queued : {true, false}) {
    clock.Advance(40);
    EXPECT_GT(GapCheck(s, clock.ElapsedSeconds(), clock.Now(), GapCheckForm::Timeout), 0);
    EXPECT_EQ(HandleCountFrame(s, clock, 5, 0, queued),
              queued ? FrameOutcome::Stale : FrameOutcome::Stored);
  }
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
