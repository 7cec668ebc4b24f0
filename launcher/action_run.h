#pragma once
// One action's work, done on its worker thread: start the program and wait
// for it; for the driver setup, also wait for the package's own window.

#include <chrono>
#include <string>

#include "launcher/launcher_actions.h"
#include "launcher/launcher_system.h"

namespace velrix::launcher {

// The driver package's window is looked for this often.
inline constexpr std::chrono::milliseconds kMonitorPollInterval{15};

enum class ActionOutcome {
  Ended,                   // the program ran and ended
  NotStarted,              // a program could not be started; nothing is shown
  DriverSetupFinished,     // the package's window came and went: message 131
  DriverSetupUnconfirmed,  // the package's window never showed within the limit
};

// Everything the worker needs, copied so that it shares nothing with the
// dialog thread.
struct ActionRun {
  ProcessCommand command;
  RunMode runMode = RunMode::Plain;
  std::string driverMonitorPath;
  std::chrono::milliseconds monitorAppearLimit = kMonitorAppearLimit;
};

ActionRun PrepareRun(const LauncherState& state, const LauncherAction& action);

ActionOutcome RunAction(const ActionRun& run, const LauncherSystem& system);

}  // namespace velrix::launcher
