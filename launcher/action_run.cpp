#include "launcher/action_run.h"

#include <thread>

namespace velrix::launcher {

namespace {

bool StartAndWait(const ProcessCommand& command, const LauncherSystem& system) {
  const StartedProcess process = system.start(command);
  if (!process.started) return false;
  system.waitForEnd(process.pid);
  return true;
}

// The package runs the monitor program from the temporary folder in a
// window of its own and ends before that program does. The monitor is
// waited for to show (up to the limit: a package that never opens its
// window must not keep the launcher busy for ever), then to end, which takes
// as long as the user's installation; its window is on the screen meanwhile.
bool WaitForDriverMonitor(const ActionRun& run, const LauncherSystem& system) {
  const auto deadline = std::chrono::steady_clock::now() + run.monitorAppearLimit;
  while (!system.processRunningAs(run.driverMonitorPath)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kMonitorPollInterval);
  }
  while (system.processRunningAs(run.driverMonitorPath)) {
    std::this_thread::sleep_for(kMonitorPollInterval);
  }
  return true;
}

}  // namespace

ActionRun PrepareRun(const LauncherState& state, const LauncherAction& action) {
  return {BuildCommand(action), action.runMode, state.driverMonitorPath, state.monitorAppearLimit};
}

ActionOutcome RunAction(const ActionRun& run, const LauncherSystem& system) {
  if (run.runMode == RunMode::Plain) {
    return StartAndWait(run.command, system) ? ActionOutcome::Ended : ActionOutcome::NotStarted;
  }
  // A package that finds no monitor program of an earlier setup in the
  // temporary folder puts it there on its first run and only sets the driver
  // up on a second one.
  const bool monitorWasThere = system.pathExists(run.driverMonitorPath);
  if (!StartAndWait(run.command, system)) return ActionOutcome::NotStarted;
  if (!monitorWasThere && !StartAndWait(run.command, system)) return ActionOutcome::NotStarted;
  return WaitForDriverMonitor(run, system) ? ActionOutcome::DriverSetupFinished
                                           : ActionOutcome::DriverSetupUnconfirmed;
}

}  // namespace velrix::launcher
