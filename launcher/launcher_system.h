#pragma once
// What the launcher's logic asks of the system, as replaceable calls: the
// real ones come from launcher/platform/, the screenshot tool and tests may
// put others in.

#include <functional>
#include <string>
#include <vector>

#include "launcher/platform/processes.h"

namespace velrix::launcher {

// What a button starts: a document opened with its associated program, or
// the file itself with its arguments.
struct ProcessCommand {
  bool withAssociatedProgram = false;
  std::string path;
  std::vector<std::string> arguments;
};

struct LauncherSystem {
  std::function<bool(const std::string&)> isRegularFile;
  std::function<bool(const std::string&)> isRunnableFile;
  std::function<bool(const std::string&)> hasAssociatedProgram;
  std::function<bool(const std::string&)> pathExists;
  std::function<StartedProcess(const ProcessCommand&)> start;
  std::function<void(int pid)> waitForEnd;
  std::function<bool(const std::string&)> processRunningAs;
};

LauncherSystem RealLauncherSystem();

}  // namespace velrix::launcher
