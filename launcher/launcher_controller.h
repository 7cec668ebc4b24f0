#pragma once
// The launcher without its window: the buttons' states, a press, the action
// on its worker thread and its end. The dialog shows what this decides; the
// tests drive it directly.

#include <functional>

#include "launcher/action_run.h"
#include "launcher/launcher_actions.h"
#include "launcher/launcher_system.h"

namespace velrix::launcher {

enum class PressResult {
  Quit,          // close the dialog
  FileNotFound,  // the button's test failed at the press: message 130
  Started,       // the action runs on its worker thread
  Ignored,       // not a button of the launcher, or an action already runs
};

class LauncherController {
 public:
  // Called on the worker thread when the action's work is done; the owner
  // hands it to its own thread, which then calls Finish.
  using Notify = std::function<void(int button, ActionOutcome outcome)>;

  LauncherController(LauncherState state, LauncherSystem system, Notify notify);
  // Waits for a running action's worker.
  ~LauncherController();
  LauncherController(const LauncherController&) = delete;
  LauncherController& operator=(const LauncherController&) = delete;

  ButtonStates Buttons() const { return RefreshButtons(state_, system_); }

  // Runs the button's test again, then leaves the idle state and starts the
  // worker.
  PressResult Press(int button);

  // After the notification: waits for the worker to end and returns to idle.
  void Finish(int button);

  const LauncherState& state() const { return state_; }

 private:
  LauncherState state_;
  LauncherSystem system_;
  Notify notify_;
};

}  // namespace velrix::launcher
