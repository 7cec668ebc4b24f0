// The 500 ms cycle. It takes at most one sample from the link's ring per
// tick, so it runs at twice the unit's rate and catches up after a burst,
// and it keeps the number of recorded seconds in step with the clock: a unit
// clock that runs fast for an hour gets two samples merged into one second,
// and a measurement that has been behind with an empty ring for an hour of
// ticks is filled with the moving average.

#include "measure/measurement.h"
#include "measure/trend_levels.h"
#include "measure/writer_binding.h"

namespace velrix {
namespace {

int SlotOf(int second) { return second % kSecondSlots; }

// Step 6: one sample from the ring becomes (part of) the next second.
void TakeSample(MeasurementContext& ctx) {
  MeasurementRun& run = ctx.run;
  History& history = ctx.history;
  const LinkSample& entry = ctx.link.sampleRing[run.readIndex];
  const double count = entry.count.load(std::memory_order_relaxed);
  run.currentMissing = entry.missing.load(std::memory_order_relaxed);
  run.currentPower = entry.power.load(std::memory_order_relaxed);
  SecondSlot& slot = history.slots[SlotOf(history.sampleCount)];
  slot.missing = run.currentMissing;
  slot.power = run.currentPower;
  run.readIndex = (run.readIndex + 1) % kSampleRingSize;
  switch (run.mergeState) {
    case MergeState::Idle:
      slot.count = count;
      history.sampleCount += 1;
      break;
    case MergeState::Armed:
      // The first of two samples that make one second; no second completes.
      slot.count = count;
      run.mergeState = MergeState::Merging;
      break;
    case MergeState::Merging:
      slot.count += count;
      run.mergeState = MergeState::Idle;
      history.sampleCount += 1;
      break;
  }
}

// Step 8: everything a completed second brings.
void ProcessCompletedSecond(MeasurementContext& ctx) {
  History& history = ctx.history;
  UpdateDerivedValues(ctx.values, history, ctx.settings.displayUnits.averageSeconds);
  UpdateTrendLevels(history);
  history.elapsedSeconds = history.sampleCount;
  ctx.values.latestCount = history.slots[SlotOf(history.sampleCount - 1)].count;
  {
    // A failure has already been reported and has stopped the run.
    WriterBinding binding(ctx);
    AppendDataRow(ctx.writer, binding.env(), ctx.values.latestCount, ctx.run.currentMissing,
                  ctx.run.currentPower);
  }
  if (ctx.view.ShowsLiveMeasurement()) ctx.view.UpdateCursorReadout();
  UpdatePredictionsAndIntegrals(ctx.values, history, ctx.doseTable);
  ctx.run.lastProcessed = history.sampleCount;
}

}  // namespace

void CycleTick(MeasurementContext& ctx) {
  MeasurementRun& run = ctx.run;
  if (run.tickRunning) return;
  struct TickGuard {
    bool& running;
    explicit TickGuard(bool& r) : running(r) { running = true; }
    ~TickGuard() { running = false; }
  } guard(run.tickRunning);
  History& history = ctx.history;
  UnitLinkState& link = ctx.link;

  // 2. Idle, and the link has stopped delivering: clear the latest value once.
  if (link.measuring.load() != 1 && link.collecting.load() != 1) {
    if (run.cycleActive != 0) {
      run.cycleActive = 0;
      ctx.values.latestCount = 0.0;
    }
    ctx.view.PostRefresh();
    return;
  }
  // 3.
  run.cycleActive = 1;
  // 4.
  if (history.sampleCount == 0) {
    ctx.values.windowSum = 0.0;
    ctx.values.hourSum = 0.0;
    ctx.values.windowInUse = ctx.settings.displayUnits.averageSeconds;
    run.mergeState = MergeState::Idle;
  }
  // 5. Ahead test. The counters stop at the threshold: past it only
  // "reached" matters, and a program running for decades must not wrap.
  const ClockSeconds expected = ctx.clock.Now() - ctx.writer.firstRowTime + 1;
  if (history.sampleCount > expected + 1) {
    if (run.aheadTicks < kCorrectionTicks) run.aheadTicks += 1;
    if (run.aheadTicks >= kCorrectionTicks && run.mergeState == MergeState::Idle) {
      run.mergeState = MergeState::Armed;
    }
  } else {
    run.aheadTicks = 0;
  }
  // 6, 7.
  if (run.readIndex != link.ringWrite.load(std::memory_order_acquire)) {
    TakeSample(ctx);
  } else if (link.linkStatus.load() <= kLinkNg && history.sampleCount >= 1 &&
             history.sampleCount < expected - 1) {
    if (run.behindTicks < kCorrectionTicks) run.behindTicks += 1;
    if (run.behindTicks >= kCorrectionTicks) {
      // A merge half done (the clock stepped since it was armed) already
      // holds its first sample in this slot: that sample completes the
      // second instead of being overwritten, and the next sample must not be
      // added onto whatever the following slot holds from an earlier run.
      if (run.mergeState == MergeState::Merging) {
        run.mergeState = MergeState::Idle;
      } else {
        // The fill keeps the flags of the last sample taken.
        history.slots[SlotOf(history.sampleCount)].count = ctx.values.movingAverage;
      }
      history.sampleCount += 1;
    }
  }
  // 8.
  if (history.sampleCount > run.lastProcessed) ProcessCompletedSecond(ctx);
  // 9.
  ctx.view.PostRefresh();
}

}  // namespace velrix
