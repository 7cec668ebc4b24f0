#include "launcher/launcher_system.h"

#include "launcher/platform/associations.h"
#include "launcher/platform/machine.h"

namespace velrix::launcher {

LauncherSystem RealLauncherSystem() {
  LauncherSystem system;
  system.isRegularFile = IsRegularFile;
  system.isRunnableFile = IsRunnableFile;
  system.hasAssociatedProgram = HasAssociatedProgram;
  system.pathExists = PathExists;
  system.start = [](const ProcessCommand& command) {
    return command.withAssociatedProgram ? StartWithAssociatedProgram(command.path)
                                         : StartProgram(command.path, command.arguments);
  };
  system.waitForEnd = WaitForProcessEnd;
  system.processRunningAs = ProcessRunningAs;
  return system;
}

}  // namespace velrix::launcher
