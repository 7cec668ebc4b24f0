#include "launcher/launcher_actions.h"

namespace velrix::launcher {

namespace {

struct ActionTable {
  int button;
  const char* file;
  EnableTest enableTest;
  bool withAssociatedProgram;
  RunMode runMode;
};

constexpr ActionTable kActions[kActionCount] = {
    {kReadmeButton, kReadmeFile, EnableTest::Document, true, RunMode::Plain},
    {kManualButton, kManualFile, EnableTest::Document, true, RunMode::Plain},
    {kDriverSetupButton, kDriverPackageFile, EnableTest::SetupFile, false, RunMode::DriverInstall},
    {kApplicationSetupButton, kApplicationSetupFile, EnableTest::SetupFile, false, RunMode::Plain},
    {kDriverUninstallButton, kDriverUninstallerFile, EnableTest::UninstallerFile, false,
     RunMode::Plain},
};

}  // namespace

LauncherState BuildLauncherState(const LauncherOptions& options) {
  LauncherState state;
  state.isAdmin = options.isAdmin;
  state.showUninstall = options.showUninstall;
  state.driverMonitorPath =
      options.tempFolder + (options.is32BitX86 ? kDriverMonitor32 : kDriverMonitor64);
  state.monitorAppearLimit = options.monitorAppearLimit;
  for (int i = 0; i < kActionCount; ++i) {
    LauncherAction& action = state.actions[i];
    action.button = kActions[i].button;
    action.filePath = options.folder + kActions[i].file;
    action.enableTest = kActions[i].enableTest;
    action.withAssociatedProgram = kActions[i].withAssociatedProgram;
    action.runMode = kActions[i].runMode;
    if (action.button == kDriverUninstallButton) action.arguments = {kUsbVendorId, kUsbProductId};
  }
  return state;
}

LauncherAction* FindAction(LauncherState& state, int button) {
  for (LauncherAction& action : state.actions) {
    if (action.button == button) return &action;
  }
  return nullptr;
}

std::size_t PathCharacters(const std::string& path) {
  std::size_t count = 0;
  for (const char c : path) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;  // not a continuation byte
  }
  return count;
}

bool ActionEnabled(const LauncherState& state, const LauncherAction& action,
                   const LauncherSystem& system) {
  if (!state.launcherIdle) return false;
  if (PathCharacters(action.filePath) > kMaxPathCharacters) return false;
  switch (action.enableTest) {
    case EnableTest::Document:
      return system.isRegularFile(action.filePath) &&
             system.hasAssociatedProgram(action.filePath);
    case EnableTest::SetupFile:
      return state.isAdmin && system.isRunnableFile(action.filePath);
    case EnableTest::UninstallerFile:
      return state.showUninstall && state.isAdmin && system.isRunnableFile(action.filePath);
  }
  return false;
}

ButtonStates RefreshButtons(const LauncherState& state, const LauncherSystem& system) {
  ButtonStates buttons;
  for (int i = 0; i < kActionCount; ++i) {
    buttons.action[i] = ActionEnabled(state, state.actions[i], system);
  }
  buttons.quit = state.launcherIdle;
  return buttons;
}

ProcessCommand BuildCommand(const LauncherAction& action) {
  return {action.withAssociatedProgram, action.filePath, action.arguments};
}

}  // namespace velrix::launcher
