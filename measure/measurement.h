#pragma once
// The measurement run: its commands (start, user stop, failure stop, the
// checks the view's refresh runs, the stop at program exit) and the 500 ms
// cycle that turns the link's samples into seconds of the live history,
// derived values, trend levels and data-file rows.
//
// Everything here runs on the GUI thread. The link is reached only through
// UnitLinkState; widgets only through MeasurementView; the user only through
// UserMessages; time only through Clock: all of them the station's.

#include <chrono>

#include "measure/processed_second.h"
#include "measure/station.h"

namespace velrix {

// What the measurement needs from the window that shows it. The shell
// implements it with its buttons, dialogs and drawing; a headless program
// and the tests implement it without any.
class MeasurementView {
 public:
  virtual ~MeasurementView() = default;
  // The start button (id 50024) and the stop button (id 50025).
  virtual void SetRunButtons(bool startEnabled, bool stopEnabled) = 0;
  // The comment check dialog ("コメント確認"); true when it ended with OK.
  virtual bool ConfirmComment() = 0;
  // Takes the draw lock and draws the main panel.
  virtual void RedrawPanel() = 0;
  // True while the live measurement is shown, not an opened file.
  virtual bool ShowsLiveMeasurement() const = 0;
  virtual void UpdateCursorReadout() = 0;
  // Queues the refresh request that runs MeasurementChecks and redraws once
  // this tick has returned.
  virtual void PostRefresh() = 0;
  // Once for each second whose row was written, after its values: what the
  // publishers send on. It only copies the record; nothing here may wait.
  virtual void SecondProcessed(const ProcessedSecond& second) { (void)second; }
};

// What the commands and the cycle work on: the station's records and the
// window that shows them.
struct MeasurementContext {
  Station& station;
  MeasurementView& view;
};

// Ticks of the cycle (two a second) in one hour: how long the measurement
// must be ahead of, or behind, the clock before a correction is made.
inline constexpr int kCorrectionTicks = 7200;
inline constexpr auto kCyclePeriod = std::chrono::milliseconds(500);
inline constexpr auto kExitCommitPause = std::chrono::milliseconds(1000);

void StartMeasurement(MeasurementContext& ctx);
void StopMeasurement(MeasurementContext& ctx);
// A data-file operation failed: the run ends without a commit.
void StopMeasurementAfterFailure(MeasurementContext& ctx);
// The automatic start and the stop on a link failure; run by every refresh.
void MeasurementChecks(MeasurementContext& ctx);
// The program is closing: ends a running measurement, gives a tick in
// progress time to finish its row, then commits.
void StopMeasurementAtExit(MeasurementContext& ctx,
                           std::chrono::milliseconds pause = kExitCommitPause);
// The timer callback, every 500 ms. Allocates nothing.
void CycleTick(MeasurementContext& ctx);
// Takes every sample and missing second left in the link's ring at once:
// the program's end, so that what the unit counted reaches the commit.
void DrainSampleRing(MeasurementContext& ctx);
// A new measurement: its seconds are anchored afresh, nothing is in hand.
void ResetMeasurementTimeline(MeasurementRun& run);

}  // namespace velrix
