// The 500 ms cycle. It takes at most one sample from the link's ring per
// tick, so it runs at twice the unit's rate and catches up after a burst,
// and it keeps the number of recorded seconds in step with elapsed time: a
// unit clock that runs fast for an hour gets two samples merged into one
// second, and a measurement that has been behind with an empty ring for an
// hour of ticks is filled with the moving average.
//
// A run of missing seconds (a gap of the unit, a computer that slept or was
// paused) is one ring entry; its seconds are completed many per tick, so the
// rows after a long gap soon stand at their own seconds again. If the cycle
// itself fell a whole ring behind, the seconds whose entries were
// overwritten become missing seconds too, never a shift of the later rows.

#include <cstdlib>

#include "measure/measurement.h"
#include "measure/trend_levels.h"
#include "measure/writer_binding.h"

namespace velrix {
namespace {

// Missing seconds completed in one tick: an eight-hour sleep is caught up
// in 24 seconds of ticks, and no tick writes so many rows that the window
// stops answering.
constexpr std::uint32_t kMissingSecondsPerTick = 600;
// A difference between the calendar and the elapsed clock that moves this
// far from where it stood is a step of the computer's clock; smaller ones
// are the two clocks' reading jitter and NTP's slewing.
constexpr std::int64_t kClockStepToleranceMs = 2500;
constexpr std::uint8_t kMissingFlag = 1;

int SlotOf(int second) { return second % kSecondSlots; }

// One ring entry as the cycle reads it.
struct TakenEntry {
  double count = 0.0;
  std::uint8_t missing = 0;
  std::uint8_t power = 0;
  std::uint32_t seconds = 1;
  std::uint32_t firstSecond = 0;
};

// Reads the entry at readIndex when one is there. An entry the link may be
// overwriting while it is read (the ring lapped) is not used; the read
// position moves to the oldest entry that is safe, and *lost counts the
// entries passed over.
bool ReadEntry(MeasurementRun& run, const UnitLinkState& link, TakenEntry* e,
               std::uint32_t* lost) {
  *lost = 0;
  for (;;) {
    const std::uint32_t written = link.ringWrite.load(std::memory_order_acquire);
    if (written == run.readIndex) return false;
    // The link may be writing entry `written` right now; its index is that
    // of written - ring size, so one less than a ring is safe.
    constexpr std::uint32_t kSafeBehind = kSampleRingSize - 1;
    if (written - run.readIndex > kSafeBehind) {
      *lost += written - kSafeBehind - run.readIndex;
      run.readIndex = written - kSafeBehind;
    }
    const LinkSample& entry = link.sampleRing[RingIndex(run.readIndex)];
    e->count = entry.count.load(std::memory_order_relaxed);
    e->missing = entry.missing.load(std::memory_order_relaxed);
    e->power = entry.power.load(std::memory_order_relaxed);
    e->seconds = entry.seconds.load(std::memory_order_relaxed);
    e->firstSecond = entry.firstSecond.load(std::memory_order_relaxed);
    // The reads above must be done before ringWrite is looked at again.
    std::atomic_thread_fence(std::memory_order_acquire);
    if (link.ringWrite.load(std::memory_order_relaxed) - run.readIndex <= kSafeBehind) return true;
  }
}

// One sample becomes (part of) the next second.
void TakeSample(MeasurementContext& ctx, double count, std::uint8_t missing, std::uint8_t power) {
  MeasurementRun& run = ctx.station.run;
  History& history = ctx.station.history;
  run.currentMissing = missing;
  run.currentPower = power;
  SecondSlot& slot = history.slots[SlotOf(history.sampleCount)];
  // A merged second is missing only when both its samples are: a count
  // merged with a missing second is a counted second, not a missing row
  // that carries a count.
  const bool merging = run.mergeState == MergeState::Merging;
  slot.missing = merging && slot.missing == 0 ? 0 : missing;
  slot.power = power;
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

// The calendar second of completed second `second` (from 0), anchoring the
// timeline at the first one and taking in a step of the computer's clock.
ClockSeconds RowTime(MeasurementContext& ctx, int second) {
  const Clock& clock = ctx.station.clock;
  MeasurementTimeline& t = ctx.station.run.timeline;
  const std::int64_t elapsedMs = clock.ElapsedMs();
  const std::int64_t offsetMs = clock.NowMs() - elapsedMs;
  if (!t.anchored) {
    t.anchored = true;
    t.anchorElapsedMs = elapsedMs;
    t.anchorOffsetMs = offsetMs;
    t.anchorWall = Clock::FloorSeconds(elapsedMs + offsetMs) - second;
    t.labelShift = 0;
  }
  const std::int64_t drift = offsetMs - t.anchorOffsetMs - t.labelShift * 1000;
  if (std::llabs(drift) > kClockStepToleranceMs) {
    t.labelShift += (drift + (drift > 0 ? 500 : -500)) / 1000;
  }
  return t.anchorWall + second + t.labelShift;
}

// The record the publishers get for the second just completed.
ProcessedSecond MakeProcessedSecond(const Station& station, ClockSeconds rowTime,
                                    double rowCount, std::uint8_t rowMissing) {
  ProcessedSecond p;
  p.time = rowTime;
  p.second = station.history.sampleCount - 1;
  p.count = rowCount;
  p.missing = rowMissing != 0;
  p.power = station.run.currentPower;
  p.currentDose = DoseRate(station.doseTable, station.values.latestCount);
  p.averageDose = DoseRate(station.doseTable, station.values.movingAverage);
  p.hourDose = DoseRate(station.doseTable, station.values.hourMean);
  p.integratedDose = station.values.integratedDose;
  p.linkStatus = station.link.linkStatus.load();
  return p;
}

// Everything a completed second brings: its derived values and trend
// levels, its row, the cursor's read-out, the predictions and integrals.
void ProcessCompletedSecond(MeasurementContext& ctx, std::uint8_t rowMissing, double rowCount) {
  Station& s = ctx.station;
  History& history = s.history;
  UpdateDerivedValues(s.values, history, s.settings.displayUnits.averageSeconds);
  UpdateTrendLevels(history);
  history.elapsedSeconds = history.sampleCount;
  s.values.latestCount = history.slots[SlotOf(history.sampleCount - 1)].count;
  const ClockSeconds rowTime = RowTime(ctx, history.sampleCount - 1);
  {
    // A failure has already been reported and has stopped the run.
    WriterBinding binding(ctx);
    AppendDataRow(s.writer, binding.env(), rowCount, rowMissing, s.run.currentPower, rowTime);
  }
  if (ctx.view.ShowsLiveMeasurement()) ctx.view.UpdateCursorReadout();
  UpdatePredictionsAndIntegrals(s.values, history, s.doseTable);
  s.run.lastProcessed = history.sampleCount;
  // A second whose row could not be written is not told to anyone as recorded.
  if (!s.writer.failed) {
    ctx.view.SecondProcessed(MakeProcessedSecond(s, rowTime, rowCount, rowMissing));
  }
}

void ProcessIfCompleted(MeasurementContext& ctx) {
  const History& history = ctx.station.history;
  if (history.sampleCount > ctx.station.run.lastProcessed) {
    const SecondSlot& slot = history.slots[SlotOf(history.sampleCount - 1)];
    ProcessCompletedSecond(ctx, slot.missing, slot.count);
  }
}

// Completes up to `limit` seconds of the missing run in hand.
void TakeMissingSeconds(MeasurementContext& ctx, std::uint32_t limit) {
  MeasurementRun& run = ctx.station.run;
  for (std::uint32_t i = 0; i < limit && run.missingLeft > 0; ++i) {
    --run.missingLeft;
    TakeSample(ctx, 0.0, kMissingFlag, run.missingPower);
    ProcessIfCompleted(ctx);
  }
}

// Takes the next ring entry, if any: a counted second, or a run of missing
// seconds whose first part is completed at once. False when the ring is
// empty.
bool TakeEntry(MeasurementContext& ctx) {
  MeasurementRun& run = ctx.station.run;
  TakenEntry e;
  std::uint32_t lost = 0;
  if (!ReadEntry(run, ctx.station.link, &e, &lost)) return false;
  if (lost > 0) {
    // The seconds of the overwritten entries, as the entry in hand tells
    // them (at least one each before any entry was taken), become missing
    // seconds first; the entry itself is taken once they are done.
    run.missingLeft = run.ringSecondKnown ? e.firstSecond - run.nextRingSecond : lost;
    run.missingPower = e.power;
    run.nextRingSecond = e.firstSecond;
    run.ringSecondKnown = true;
    TakeMissingSeconds(ctx, kMissingSecondsPerTick);
    return true;
  }
  run.readIndex += 1;
  run.nextRingSecond = e.firstSecond + e.seconds;
  run.ringSecondKnown = true;
  if (e.seconds > 1) {
    run.missingLeft = e.seconds;
    run.missingPower = e.power;
    TakeMissingSeconds(ctx, kMissingSecondsPerTick);
  } else {
    TakeSample(ctx, e.count, e.missing, e.power);
    ProcessIfCompleted(ctx);
  }
  return true;
}

// Seconds the elapsed clock has run since the measurement's first second,
// plus one, or nothing before that second exists.
bool ExpectedSeconds(const MeasurementContext& ctx, ClockSeconds* expected) {
  const MeasurementTimeline& t = ctx.station.run.timeline;
  if (!t.anchored) return false;
  *expected = ctx.station.clock.ElapsedSeconds() - Clock::FloorSeconds(t.anchorElapsedMs) + 1;
  return true;
}

}  // namespace

void ResetMeasurementTimeline(MeasurementRun& run) {
  run.timeline = MeasurementTimeline{};
  run.missingLeft = 0;
  run.ringSecondKnown = false;
}

void CycleTick(MeasurementContext& ctx) {
  Station& s = ctx.station;
  MeasurementRun& run = s.run;
  if (run.tickRunning) return;
  struct TickGuard {
    bool& running;
    explicit TickGuard(bool& r) : running(r) { running = true; }
    ~TickGuard() { running = false; }
  } guard(run.tickRunning);
  History& history = s.history;
  UnitLinkState& link = s.link;

  // Idle, and the link has stopped delivering: clear the latest value once.
  if (link.measuring.load() != 1 && link.collecting.load() != 1 && run.missingLeft == 0) {
    if (run.cycleActive != 0) {
      run.cycleActive = 0;
      s.values.latestCount = 0.0;
    }
    ctx.view.PostRefresh();
    return;
  }
  // The cycle is taking seconds.
  run.cycleActive = 1;
  // A new measurement's first tick starts the running sums afresh.
  if (history.sampleCount == 0) {
    s.values.windowSum = 0.0;
    s.values.hourSum = 0.0;
    s.values.windowInUse = s.settings.displayUnits.averageSeconds;
    run.mergeState = MergeState::Idle;
  }
  // Ahead test, on elapsed time: a step of the computer's clock is not
  // the unit running fast. The counters stop at the threshold: past it only
  // "reached" matters, and a program running for decades must not wrap.
  ClockSeconds expected = 0;
  const bool timed = ExpectedSeconds(ctx, &expected);
  if (timed && history.sampleCount > expected + 1) {
    if (run.aheadTicks < kCorrectionTicks) run.aheadTicks += 1;
    if (run.aheadTicks >= kCorrectionTicks && run.mergeState == MergeState::Idle) {
      run.mergeState = MergeState::Armed;
    }
  } else {
    run.aheadTicks = 0;
  }
  // A missing run in hand goes on; otherwise the next entry.
  if (run.missingLeft > 0) {
    TakeMissingSeconds(ctx, kMissingSecondsPerTick);
  } else if (!TakeEntry(ctx) && timed && link.linkStatus.load() <= kLinkNg &&
             history.sampleCount >= 1 && history.sampleCount < expected - 1) {
    // Behind with an empty ring: after an hour of such ticks, fill.
    if (run.behindTicks < kCorrectionTicks) run.behindTicks += 1;
    if (run.behindTicks >= kCorrectionTicks) {
      // A merge half done (the clock stepped since it was armed) already
      // holds its first sample in this slot: that sample completes the
      // second instead of being overwritten, and the next sample must not be
      // added onto whatever the following slot holds from an earlier run.
      if (run.mergeState == MergeState::Merging) {
        run.mergeState = MergeState::Idle;
        history.sampleCount += 1;
        ProcessIfCompleted(ctx);
      } else {
        // The graph draws the moving average for the second, but no count
        // came for it: the row and the slot say so.
        SecondSlot& slot = history.slots[SlotOf(history.sampleCount)];
        slot.count = s.values.movingAverage;
        slot.missing = kMissingFlag;
        slot.power = run.currentPower;
        history.sampleCount += 1;
        ProcessCompletedSecond(ctx, kMissingFlag, 0.0);
      }
    }
  }
  // The view redraws once this tick has returned.
  ctx.view.PostRefresh();
}

void DrainSampleRing(MeasurementContext& ctx) {
  MeasurementRun& run = ctx.station.run;
  if (run.tickRunning) return;
  run.tickRunning = true;
  for (;;) {
    if (run.missingLeft > 0) {
      TakeMissingSeconds(ctx, run.missingLeft);
    } else if (!TakeEntry(ctx)) {
      break;
    }
  }
  run.tickRunning = false;
}

}  // namespace velrix
