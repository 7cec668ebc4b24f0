// The 500 ms cycle: one sample per tick, one row per completed second, the
// rules that keep recorded seconds in step with the clock, and the drain
// after a stop.

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

#include "tests/measure/measure_fixture.h"

namespace velrix::testing {
namespace {

TEST_F(MeasureTest, EverySampleOfOnePerSecondBecomesOneSecondAndOneRow) {
  SetLocal(2013, 3, 2, 13, 5, 7);
  Start();
  for (int i = 0; i < 10; ++i) Second(i, i == 4 ? 1 : 0, i == 7 ? 2 : 0);
  EXPECT_EQ(history.sampleCount, 10);
  EXPECT_EQ(history.elapsedSeconds, 10);
  EXPECT_EQ(values.latestCount, 9.0);
  EXPECT_EQ(history.slots[4].missing, 1);
  EXPECT_EQ(history.slots[7].power, 2);
  EXPECT_EQ(view.cursorUpdates, 10);
  EXPECT_EQ(view.refreshes, 20);
  EXPECT_DOUBLE_EQ(values.integratedCount, 45.0);
  EXPECT_EQ(history.levels[0].written, 1);
  EXPECT_DOUBLE_EQ(history.levels[0].meanCount[0], 4.5);
  StopMeasurement(ctx);
  const auto rows = Rows(ReadBytes(writer.datedPath));
  ASSERT_EQ(rows.size(), 10u);
  EXPECT_EQ(rows[0], "13:05:07,0000.000,0,0");
  EXPECT_EQ(rows[4], "13:05:11,0004.000,1,0");
  EXPECT_EQ(rows[7], "13:05:14,0007.000,0,2");
  EXPECT_EQ(rows[9], "13:05:16,0009.000,0,0");
}

TEST_F(MeasureTest, SamplesQueuedBeforeTheStartAreNotRecorded) {
  SetLocal(2013, 3, 2, 13, 5, 7);
  Push(100.0);
  Push(200.0);
  Start();
  Second(3.0);
  Tick();
  Tick();
  EXPECT_EQ(history.sampleCount, 1);
  StopMeasurement(ctx);
  EXPECT_EQ(Rows(ReadBytes(writer.datedPath)),
            std::vector<std::string>{"13:05:07,0003.000,0,0"});
}

TEST_F(MeasureTest, ABurstIsTakenOneSamplePerTick) {
  Start();
  for (int i = 0; i < 5; ++i) Push(1.0);
  Tick();
  EXPECT_EQ(history.sampleCount, 1);
  for (int i = 0; i < 4; ++i) Tick();
  EXPECT_EQ(history.sampleCount, 5);
  Tick();
  EXPECT_EQ(history.sampleCount, 5);
}

TEST_F(MeasureTest, CursorReadoutIsLeftAloneWhileAFileIsShown) {
  view.live = false;
  Start();
  Second(1.0);
  EXPECT_EQ(history.sampleCount, 1);
  EXPECT_EQ(view.cursorUpdates, 0);
}

TEST_F(MeasureTest, IdleCycleOnlyPostsRefreshes) {
  Tick();
  Tick();
  EXPECT_EQ(view.refreshes, 2);
  EXPECT_EQ(run.cycleActive, 0);
}

TEST_F(MeasureTest, SecondsTakenWhileDrainingReachTheWorkingCopyOnly) {
  SetLocal(2013, 3, 2, 13, 5, 7);
  Start();
  link.collecting.store(1);
  Second(1.0);
  Second(2.0);
  StopMeasurement(ctx);
  Second(3.0);  // the link still collects until its next sample
  EXPECT_EQ(history.sampleCount, 3);
  EXPECT_EQ(values.latestCount, 3.0);
  link.collecting.store(0);
  Tick();
  EXPECT_EQ(run.cycleActive, 0);
  EXPECT_EQ(values.latestCount, 0.0);
  EXPECT_EQ(Rows(ReadBytes(writer.datedPath)).size(), 2u);
  EXPECT_EQ(Rows(ReadBytes(WorkingPath())).size(), 3u);
}

TEST_F(MeasureTest, LatestCountBecomesZeroAfterTheStop) {
  Start();
  Second(8.0);
  EXPECT_EQ(values.latestCount, 8.0);
  StopMeasurement(ctx);
  Tick();
  EXPECT_EQ(values.latestCount, 0.0);
}

TEST_F(MeasureTest, RunThroughMidnightSplitsTheRowsIntoTwoDatedFiles) {
  SetLocal(2013, 3, 2, 23, 59, 58);
  Start();
  for (int i = 1; i <= 4; ++i) Second(i);
  StopMeasurement(ctx);
  EXPECT_EQ(Rows(ReadBytes(DataPath("2013/03/02/130302-235958.csv"))),
            (std::vector<std::string>{"23:59:58,0001.000,0,0", "23:59:59,0002.000,0,0"}));
  EXPECT_EQ(ReadBytes(DataPath("2013/03/03/130303-000000.csv")),
            Header() + "00:00:00,0003.000,0,0\r\n00:00:01,0004.000,0,0\r\n");
  ASSERT_EQ(writer.files.size(), 2);
  EXPECT_STREQ(writer.files.entries[1].name, "130303-000000.csv");
}

// The cycle fell a whole ring behind (the window was busy for minutes): the
// seconds whose entries were overwritten, a run of 50 among them, become
// missing seconds, and every later row stands at its own second.
TEST_F(MeasureTest, ALappedRingLosesItsOverwrittenSecondsAsMissingAndShiftsNothing) {
  SetLocal(2013, 3, 2, 10, 0, 0);
  Start();
  Second(1.0);
  PushMissingRun(50);
  for (int i = 0; i < kSampleRingSize + 9; ++i) Push(100.0 + i);
  for (int i = 0; i < 400 && link.ringWrite.load() != run.readIndex; ++i) Tick();
  // Lost: the run and ten counts; kept: the newest 119 entries.
  EXPECT_EQ(history.sampleCount, 1 + 50 + kSampleRingSize + 9);
  const auto rows = Rows(ReadBytes(WorkingPath()));
  ASSERT_EQ(rows.size(), static_cast<std::size_t>(history.sampleCount));
  EXPECT_EQ(rows[1], "10:00:01,0000.000,1,0");
  EXPECT_EQ(rows[60], "10:01:00,0000.000,1,0");
  EXPECT_EQ(rows[61], "10:01:01,0110.000,0,0");
  EXPECT_EQ(rows.back(), "10:02:59,0228.000,0,0");
}

// A computer that slept for 25 minutes: the run is completed 600 seconds a
// tick, and the first count after it lands on its own second.
TEST_F(MeasureTest, ALongMissingRunIsCaughtUpInAFewTicks) {
  SetLocal(2013, 3, 2, 10, 0, 0);
  Start();
  Second(1.0);
  PushMissingRun(1500);
  Push(7.0);
  Tick();
  EXPECT_EQ(history.sampleCount, 601);
  Tick();
  Tick();
  EXPECT_EQ(history.sampleCount, 1501);
  Tick();
  EXPECT_EQ(history.sampleCount, 1502);
  EXPECT_EQ(Rows(ReadBytes(WorkingPath())).back(), "10:25:01,0007.000,0,0");
}

// The computer's clock is set during a measurement: a step of two seconds
// leaves the labels alone; an hour moves them, in a file of their own, and
// neither merges nor fills a second.
TEST_F(MeasureTest, AClockStepMovesTheLabelsOnlyPastItsToleranceAndNeverTheSeconds) {
  for (const int step : {2, 3600}) {
    SetLocal(2013, 3, 2, 10, 0, 0);
    Start();
    for (int i = 0; i < 3; ++i) Second(i);
    clock.StepWall(step);
    for (int i = 3; i < 6; ++i) Second(i);
    StopMeasurement(ctx);
    EXPECT_EQ(history.sampleCount, 6);
    EXPECT_EQ(run.mergeState, MergeState::Idle);
    const auto rows = Rows(ReadBytes(writer.datedPath));
    if (step == 2) {
      ASSERT_EQ(rows.size(), 6u);
      EXPECT_EQ(rows[5], "10:00:05,0005.000,0,0");
    } else {
      EXPECT_EQ(writer.datedPath, DataPath("2013/03/02/130302-110003.csv"));
      ASSERT_EQ(rows.size(), 3u);
      EXPECT_EQ(rows[0], "11:00:03,0003.000,0,0");
    }
    clock.StepWall(-step);
  }
}

// A unit whose clock runs fast keeps the measurement at least two seconds
// ahead; after an hour of such ticks two samples become one second.
TEST_F(MeasureTest, AnHourAheadOfTheClockMergesTwoSamplesIntoOneSecond) {
  SetLocal(2013, 3, 2, 10, 0, 0);
  Start();
  std::vector<double> sent;
  auto send = [&](double v) {
    Push(v);
    sent.push_back(v);
  };
  for (int i = 0; i < 3; ++i) send(0.0);  // a lead of three seconds
  int mergeSecond = -1;
  int mergeSlot = -1;
  for (int second = 0; second < 3700; ++second) {
    send(second % 7 + 1);
    for (int t = 0; t < 2; ++t) {
      Tick();
      if (run.mergeState == MergeState::Merging && mergeSlot < 0) {
        mergeSecond = second;
        mergeSlot = history.sampleCount;
      }
    }
    clock.Advance(1);
  }
  ASSERT_GE(mergeSecond, 3599);  // nothing merged within the first hour of ticks
  // The two consecutive samples were summed into one second ...
  EXPECT_EQ(history.slots[mergeSlot].count, sent[mergeSlot] + sent[mergeSlot + 1]);
  EXPECT_EQ(history.slots[mergeSlot + 1].count, sent[mergeSlot + 2]);
  // ... once: the lead is now too small to merge again.
  EXPECT_EQ(run.mergeState, MergeState::Idle);
  EXPECT_EQ(history.sampleCount, static_cast<int>(sent.size()) - 1);
}

TEST_F(MeasureTest, OneTickNotAheadStartsTheHourOfAheadTicksAgain) {
  Start();
  Second(1.0);
  run.aheadTicks = kCorrectionTicks - 1;
  Second(1.0);  // in step with the clock
  EXPECT_EQ(run.aheadTicks, 0);
  EXPECT_EQ(run.mergeState, MergeState::Idle);
}

// Ahead means at least two seconds ahead of the clock; the hour of such
// ticks ends on its 7200th, and the count stops there.
TEST_F(MeasureTest, AheadMeansTwoSecondsAheadAndTheHourEndsOnItsLastTick) {
  SetLocal(2013, 3, 2, 10, 0, 0);
  Start();
  Second(1.0);
  Push(1.0);
  Push(1.0);
  Tick();
  Tick();
  ASSERT_EQ(history.sampleCount, 3);  // one ahead of the clock's two
  Tick();
  EXPECT_EQ(run.aheadTicks, 0);
  Push(1.0);
  Tick();
  Tick();  // two ahead
  EXPECT_EQ(run.aheadTicks, 1);
  run.aheadTicks = kCorrectionTicks - 2;
  Tick();
  EXPECT_EQ(run.mergeState, MergeState::Idle);
  Tick();
  EXPECT_EQ(run.mergeState, MergeState::Armed);
  Tick();
  EXPECT_EQ(run.aheadTicks, kCorrectionTicks);
}

// A stop can come between arming and the next sample; the next measurement
// starts with whole seconds of its own.
TEST_F(MeasureTest, AMergeArmedWhenTheLastMeasurementStoppedIsNotCarriedOver) {
  Start();
  Second(1.0);
  run.mergeState = MergeState::Armed;
  StopMeasurement(ctx);
  clock.Advance(10);
  Start();
  Second(3.0);
  EXPECT_EQ(history.sampleCount, 1);
  EXPECT_EQ(history.slots[0].count, 3.0);
  EXPECT_EQ(run.mergeState, MergeState::Idle);
}

TEST_F(MeasureTest, ArmedMergeSumsTheNextTwoSamplesIntoOneSecond) {
  Start();
  Second(1.0);
  run.mergeState = MergeState::Armed;
  Push(3.0);
  Push(4.0);
  Tick();
  EXPECT_EQ(history.sampleCount, 1);
  EXPECT_EQ(run.mergeState, MergeState::Merging);
  Tick();
  EXPECT_EQ(history.sampleCount, 2);
  EXPECT_EQ(history.slots[1].count, 7.0);
  EXPECT_EQ(run.mergeState, MergeState::Idle);
  // Only two missing samples make a missing second; a count merged with a
  // missing second, either way round, is a counted one.
  const std::pair<std::uint8_t, std::uint8_t> flags[] = {{0, 1}, {1, 0}, {1, 1}};
  for (const auto& [first, second] : flags) {
    run.mergeState = MergeState::Armed;
    Push(first ? 0.0 : 5.0, first);
    Push(second ? 0.0 : 5.0, second);
    Tick();
    Tick();
    const SecondSlot& merged = history.slots[history.sampleCount - 1];
    EXPECT_EQ(merged.count, first && second ? 0.0 : 5.0) << +first << +second;
    EXPECT_EQ(merged.missing, first && second ? 1 : 0) << +first << +second;
  }
}

TEST_F(MeasureTest, NothingIsFilledUntil7200BehindTicksThenEachBehindTickFills) {
  SetLocal(2013, 3, 2, 10, 0, 0);
  Start();
  Second(6.0, 1, 2);
  Second(6.0, 1, 2);
  // The link delivers nothing; the clock goes on.
  int behindTicksSeen = 0;
  while (run.behindTicks < kCorrectionTicks - 1) {
    Tick();
    ++behindTicksSeen;
    if (behindTicksSeen % 2 == 0) clock.Advance(1);
    ASSERT_EQ(history.sampleCount, 2);
    ASSERT_LT(behindTicksSeen, 8000);
  }
  Tick();  // the 7200th
  EXPECT_EQ(history.sampleCount, 3);
  EXPECT_EQ(history.slots[2].count, 6.0);  // the moving average
  Tick();
  EXPECT_EQ(history.sampleCount, 4);
  // A filled second is no count: its row is a missing second with the power
  // status of the last sample taken, whatever the graph draws for it.
  EXPECT_EQ(Rows(ReadBytes(WorkingPath())).back(), "10:00:03,0000.000,1,2");
  EXPECT_EQ(history.slots[3].missing, 1);
}

// The clock steps forward between the tick that takes a merge's first sample
// and the next: the half-merged second is completed by that sample, and the
// slots keep nothing of the earlier measurement that left 1000 in them.
TEST_F(MeasureTest, AFillDuringAHalfDoneMergeKeepsItsSampleAndNoStaleValue) {
  for (auto& slot : history.slots) slot.count = 1000.0;
  run.behindTicks = kCorrectionTicks;
  Start();
  for (int i = 0; i < 3; ++i) Second(4.0);
  run.mergeState = MergeState::Armed;
  Push(5.0);
  Tick();
  ASSERT_EQ(run.mergeState, MergeState::Merging);
  clock.Advance(4);
  Tick();
  EXPECT_EQ(history.sampleCount, 4);
  EXPECT_EQ(history.slots[3].count, 5.0);
  EXPECT_EQ(run.mergeState, MergeState::Idle);
  Push(6.0);
  Tick();
  EXPECT_EQ(history.sampleCount, 5);
  EXPECT_EQ(history.slots[4].count, 6.0);
  StopMeasurement(ctx);
  const auto rows = Rows(ReadBytes(writer.datedPath));
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[3].substr(9), "0005.000,0,0");
  EXPECT_EQ(rows[4].substr(9), "0006.000,0,0");
}

// A tick between a clock second and its sample finds the ring empty while
// one second behind: that is the normal rhythm, not a lag to fill. Counts
// that vary tell the moving average from the latest count.
TEST_F(MeasureTest, AFillIsTheMovingAverageAndStartsOnlyTwoSecondsBehind) {
  SetLocal(2013, 3, 2, 10, 0, 0);
  run.behindTicks = kCorrectionTicks;
  Start();
  Second(2.0);
  Tick();  // one second behind, the sample not yet in
  EXPECT_EQ(history.sampleCount, 1);
  Second(10.0);
  Tick();
  EXPECT_EQ(history.sampleCount, 2);
  clock.Advance(1);  // two behind
  Tick();
  EXPECT_EQ(history.sampleCount, 3);
  EXPECT_EQ(history.slots[2].count, 6.0);
  EXPECT_EQ(values.latestCount, 6.0);
  Tick();  // caught up to one behind: no more fills
  EXPECT_EQ(history.sampleCount, 3);
  StopMeasurement(ctx);
  EXPECT_EQ(Rows(ReadBytes(writer.datedPath)),
            (std::vector<std::string>{"10:00:00,0002.000,0,0", "10:00:01,0010.000,0,0",
                                      "10:00:02,0000.000,1,0"}));
}

// Nothing is filled before a first second exists to give an average; a
// link that is retrying (NG, not yet given up) still gets its seconds filled.
TEST_F(MeasureTest, FillsNeedATakenSecondAndGoOnWhileTheLinkRetries) {
  SetLocal(2013, 3, 2, 10, 0, 0);
  run.behindTicks = kCorrectionTicks;
  Start();
  clock.Advance(5);
  Tick();
  Tick();
  EXPECT_EQ(history.sampleCount, 0);
  Second(4.0);
  link.linkStatus.store(kLinkNg);
  clock.Advance(1);
  Tick();
  EXPECT_EQ(history.sampleCount, 2);
  EXPECT_EQ(history.slots[1].count, 4.0);
  EXPECT_EQ(run.behindTicks, kCorrectionTicks);
}

TEST_F(MeasureTest, BehindTicksCountOverTheProgramsLifeNotPerMeasurement) {
  run.behindTicks = kCorrectionTicks;
  Start();
  Second(5.0);
  clock.Advance(5);
  Tick();
  EXPECT_EQ(history.sampleCount, 2);
}

TEST_F(MeasureTest, NoFillOnceTheLinkHasGivenUp) {
  run.behindTicks = kCorrectionTicks;
  Start();
  Second(5.0);
  clock.Advance(5);
  link.linkStatus.store(kLinkRetriesExhausted);
  Tick();
  EXPECT_EQ(history.sampleCount, 1);
}

}  // namespace
}  // namespace velrix::testing

namespace velrix::testing {
namespace {

// A message box is modal, but the cycle's timer keeps firing in its event
// loop: the messages play that by ticking while "the box is open".
struct TickingBoxes {
  std::vector<std::string> shown;
  int measuringWhenShown = -1;
};

TEST_F(MeasureTest, AWriterFailureStopsTheRunBeforeItsMessageAndTicksBehindTheBoxDoNothing) {
  TickingBoxes boxes;
  MeasurementContext& ticking = ctx;
  messages.onShow = [&] {
    boxes.shown.push_back("shown");
    boxes.measuringWhenShown = link.measuring.load();
    for (int i = 0; i < 10; ++i) CycleTick(ticking);
  };
  SetLocal(2013, 3, 2, 13, 5, 7);
  StartMeasurement(ticking);
  ASSERT_EQ(link.measuring.load(), 1);
  for (int i = 0; i < 3; ++i) {
    Push(4.0);
    CycleTick(ticking);
    CycleTick(ticking);
    clock.Advance(1);
  }
  ASSERT_EQ(history.sampleCount, 3);

  std::filesystem::remove(WorkingPath());  // the next row finds its copy deleted
  for (int i = 0; i < 5; ++i) Push(4.0);   // more samples wait in the ring
  // The link still collects until its next sample, so a tick behind the box
  // would drain the ring; only the guard against a tick inside a tick stops it.
  link.collecting.store(1);
  CycleTick(ticking);

  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.measuringWhenShown, 0);
  // The ticks behind the box took nothing: the failed second is the last.
  EXPECT_EQ(history.sampleCount, 4);
  EXPECT_EQ(values.integratedCount, 16.0);
  EXPECT_EQ(run.stoppedMark, 1);
}

}  // namespace
}  // namespace velrix::testing
