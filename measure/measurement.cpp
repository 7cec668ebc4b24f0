#include "measure/measurement.h"

#include <thread>

#include "datafile/data_file_format.h"
#include "measure/trend_levels.h"
#include "measure/writer_binding.h"

namespace velrix {
namespace {

constexpr char kCannotStart[] = "USBユニットと通信できないため、測定開始できません。";
constexpr char kLinkFailureStop[] =
    "USBユニットとの通信異常が発生したため、測定を中止しました。";

// The part every stop shares: the run is over, the panel shows when.
void MarkStopped(MeasurementContext& ctx) {
  Station& s = ctx.station;
  s.link.measuring.store(0);
  s.run.stopTime = s.clock.Now();
  s.run.stoppedMark = 1;
  ctx.view.SetRunButtons(true, false);
}

}  // namespace

void StartMeasurement(MeasurementContext& ctx) {
  Station& s = ctx.station;
  MeasurementRun& run = s.run;
  UnitLinkState& link = s.link;
  // A measurement already running is only shown again.
  if (link.measuring.load() == 1) {
    ctx.view.RedrawPanel();
    return;
  }
  // Without the unit there is nothing to measure.
  if (link.linkStatus.load() != kLinkOk) {
    s.messages.Show(kSystemErrorTitle, kCannotStart);
    ctx.view.RedrawPanel();
    return;
  }
  // The user confirms the comment the file will carry; the automatic start
  // does not ask.
  if (run.autoStartState != AutoStartState::Starting && !ctx.view.ConfirmComment()) {
    ctx.view.RedrawPanel();
    return;
  }
  // A manual start after the automatic one ends its claim on "auto".
  if (run.autoStartState == AutoStartState::Started) {
    run.autoStartState = AutoStartState::ManualAfterAuto;
  }
  // Samples queued before the start belong to no measurement.
  run.shownVersion = kDataFileVersion;
  link.maxRetryCount.store(0);
  link.lastRetryTime.store(0);
  run.readIndex = link.ringWrite.load(std::memory_order_acquire);
  ResetMeasurementTimeline(run);
  s.writer.failed = false;
  s.writer.files.Clear();
  // The first data file; a failure has been reported and stops here.
  {
    WriterBinding binding(ctx);
    if (CreateDataFile(s.writer, binding.env()) != 0) {
      ctx.view.RedrawPanel();
      return;
    }
  }
  // The values and the history start afresh, then the run.
  ResetDerivedValues(s.values);
  link.storedSamples.store(0);
  run.lastProcessed = 0;
  s.history.sampleCount = 0;
  s.history.elapsedSeconds = 0;
  run.stoppedMark = 0;
  ResetTrendLevels(s.history);
  link.measuring.store(1);
  ctx.view.SetRunButtons(false, true);
  ctx.view.RedrawPanel();
}

void StopMeasurement(MeasurementContext& ctx) {
  if (ctx.station.link.measuring.load() != 1) return;
  CommitDataFile(ctx.station.writer);
  MarkStopped(ctx);
}

void StopMeasurementAfterFailure(MeasurementContext& ctx) { MarkStopped(ctx); }

void MeasurementChecks(MeasurementContext& ctx) {
  Station& s = ctx.station;
  // Automatic start, at most once per program run. Switched on while the
  // user's own measurement runs, it has nothing left to start: the state
  // must not claim that run (or the user's next) as automatic.
  if (s.settings.autoStart == 1 && s.run.autoStartState == AutoStartState::Armed &&
      s.link.linkStatus.load() == kLinkOk) {
    if (s.link.measuring.load() == 1) {
      s.run.autoStartState = AutoStartState::ManualAfterAuto;
    } else {
      s.run.autoStartState = AutoStartState::Starting;
      StartMeasurement(ctx);
    }
  }
  // Link failure. The rows written so far are committed as a user stop
  // commits them: a lost link must not lose the day's data with it.
  if (s.link.linkStatus.load() == kLinkRetriesExhausted && s.link.measuring.load() == 1) {
    CommitDataFile(s.writer);
    s.values.latestCount = 0.0;
    MarkStopped(ctx);
    s.messages.Show(kSystemErrorTitle, kLinkFailureStop);
  }
}

void StopMeasurementAtExit(MeasurementContext& ctx, std::chrono::milliseconds pause) {
  Station& s = ctx.station;
  if (s.link.measuring.load() != 1) return;
  s.link.measuring.store(0);
  std::this_thread::sleep_for(pause);
  // Samples still waiting in the ring (a backlog after a stall or a busy
  // moment) are seconds the unit counted: they are recorded before the
  // commit, not left behind.
  DrainSampleRing(ctx);
  CommitDataFile(s.writer);
}

}  // namespace velrix
