#include "launcher/launcher_controller.h"

#include <utility>

namespace velrix::launcher {

LauncherController::LauncherController(LauncherState state, LauncherSystem system, Notify notify)
    : state_(std::move(state)), system_(std::move(system)), notify_(std::move(notify)) {}

LauncherController::~LauncherController() {
  for (LauncherAction& action : state_.actions) {
    if (action.worker.joinable()) action.worker.join();
  }
}

PressResult LauncherController::Press(int button) {
  if (button == kQuitButton) return state_.launcherIdle ? PressResult::Quit : PressResult::Ignored;
  LauncherAction* action = FindAction(state_, button);
  // A press queued before the buttons were disabled is not a missing file.
  if (action == nullptr || !state_.launcherIdle) return PressResult::Ignored;
  if (!ActionEnabled(state_, *action, system_)) return PressResult::FileNotFound;
  state_.launcherIdle = false;
  action->worker = std::thread([run = PrepareRun(state_, *action), system = system_,
                                notify = notify_, button] {
    notify(button, RunAction(run, system));
  });
  return PressResult::Started;
}

void LauncherController::Finish(int button) {
  LauncherAction* action = FindAction(state_, button);
  if (action == nullptr) return;
  if (action->worker.joinable()) action->worker.join();
  state_.launcherIdle = true;
}

}  // namespace velrix::launcher
