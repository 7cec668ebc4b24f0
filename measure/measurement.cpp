#include "measure/measurement.h"

#include <thread>

#include "measure/trend_levels.h"
#include "measure/writer_binding.h"

namespace velrix {
namespace {

constexpr char kErrorTitle[] = "システム異常";
constexpr char kCannotStart[] = "USBユニットと通信できないため、測定開始できません。";
constexpr char kLinkFailureStop[] =
    "USBユニットとの通信異常が発生したため、測定を中止しました。";
constexpr char kLiveVersion[] = "2.00";

// The part every stop shares: the run is over, the panel shows when.
void MarkStopped(MeasurementContext& ctx) {
  ctx.link.measuring.store(0);
  ctx.run.stopTime = ctx.clock.Now();
  ctx.run.stoppedMark = 1;
  ctx.view.SetRunButtons(true, false);
}

}  // namespace

void StartMeasurement(MeasurementContext& ctx) {
  MeasurementRun& run = ctx.run;
  UnitLinkState& link = ctx.link;
  // 1.
  if (link.measuring.load() == 1) {
    ctx.view.RedrawPanel();
    return;
  }
  // 2.
  if (link.linkStatus.load() != kLinkOk) {
    ctx.messages.Show(kErrorTitle, kCannotStart);
    ctx.view.RedrawPanel();
    return;
  }
  // 3.
  if (run.autoStartState != AutoStartState::Starting && !ctx.view.ConfirmComment()) {
    ctx.view.RedrawPanel();
    return;
  }
  // 4.
  if (run.autoStartState == AutoStartState::Started) {
    run.autoStartState = AutoStartState::ManualAfterAuto;
  }
  // 5. Samples queued before the start belong to no measurement.
  run.shownVersion = kLiveVersion;
  link.maxRetryCount.store(0);
  link.lastRetryTime.store(0);
  run.readIndex = link.ringWrite.load(std::memory_order_acquire);
  ResetMeasurementTimeline(run);
  ctx.writer.failed = false;
  ctx.writer.files.Clear();
  // 6.
  {
    WriterBinding binding(ctx);
    if (CreateDataFile(ctx.writer, binding.env()) != 0) {
      ctx.view.RedrawPanel();
      return;
    }
  }
  // 7.
  ctx.values = DerivedValues{};
  link.storedSamples.store(0);
  run.lastProcessed = 0;
  ctx.history.sampleCount = 0;
  ctx.history.elapsedSeconds = 0;
  run.stoppedMark = 0;
  ResetTrendLevels(ctx.history);
  link.measuring.store(1);
  ctx.view.SetRunButtons(false, true);
  // 8.
  ctx.view.RedrawPanel();
}

void StopMeasurement(MeasurementContext& ctx) {
  if (ctx.link.measuring.load() != 1) return;
  CommitDataFile(ctx.writer);
  MarkStopped(ctx);
}

void StopMeasurementAfterFailure(MeasurementContext& ctx) { MarkStopped(ctx); }

void MeasurementChecks(MeasurementContext& ctx) {
  // 1. Automatic start, at most once per program run. Switched on while the
  // user's own measurement runs, it has nothing left to start: the state
  // must not claim that run (or the user's next) as automatic.
  if (ctx.settings.autoStart == 1 && ctx.run.autoStartState == AutoStartState::Armed &&
      ctx.link.linkStatus.load() == kLinkOk) {
    if (ctx.link.measuring.load() == 1) {
      ctx.run.autoStartState = AutoStartState::ManualAfterAuto;
    } else {
      ctx.run.autoStartState = AutoStartState::Starting;
      StartMeasurement(ctx);
    }
  }
  // 2. Link failure. The rows written so far are committed as a user stop
  // commits them: a lost link must not lose the day's data with it.
  if (ctx.link.linkStatus.load() == kLinkRetriesExhausted && ctx.link.measuring.load() == 1) {
    CommitDataFile(ctx.writer);
    ctx.values.latestCount = 0.0;
    MarkStopped(ctx);
    ctx.messages.Show(kErrorTitle, kLinkFailureStop);
  }
}

void StopMeasurementAtExit(MeasurementContext& ctx, std::chrono::milliseconds pause) {
  if (ctx.link.measuring.load() != 1) return;
  ctx.link.measuring.store(0);
  std::this_thread::sleep_for(pause);
  // Samples still waiting in the ring (a backlog after a stall or a busy
  // moment) are seconds the unit counted: they are recorded before the
  // commit, not left behind.
  DrainSampleRing(ctx);
  CommitDataFile(ctx.writer);
}

}  // namespace velrix
