#pragma once
// The launcher's state and its five actions: which file each button
// starts, how, and when the button may be pressed.

#include <array>
#include <chrono>
#include <cstddef>
#include <string>
#include <thread>
#include <vector>

#include "launcher/launcher_system.h"

namespace velrix::launcher {

inline constexpr int kReadmeButton = 1000;
inline constexpr int kManualButton = 1001;
inline constexpr int kDriverSetupButton = 1002;
inline constexpr int kApplicationSetupButton = 1003;
inline constexpr int kDriverUninstallButton = 1004;
inline constexpr int kQuitButton = 1;
inline constexpr int kActionCount = 5;
inline constexpr int kActionButtons[kActionCount] = {kReadmeButton, kManualButton,
                                                     kDriverSetupButton, kApplicationSetupButton,
                                                     kDriverUninstallButton};

// The companion files in the launcher's own folder.
inline constexpr char kReadmeFile[] = "readme.txt";
inline constexpr char kManualFile[] = "KAV-HX310_MAN_100.pdf";
inline constexpr char kDriverPackageFile[] = "CDM20824_Setup.exe";
inline constexpr char kApplicationSetupFile[] = "setup.exe";
inline constexpr char kDriverUninstallerFile[] = "CDMUninstaller.exe";
// The uninstaller removes the driver of this USB vendor and product.
inline constexpr char kUsbVendorId[] = "0403";
inline constexpr char kUsbProductId[] = "6001";

// The program the driver package leaves in the user's temporary folder and
// runs in a window of its own.
inline constexpr char kDriverMonitor32[] = "DPInst_Monx86.exe";
inline constexpr char kDriverMonitor64[] = "DPInst_Monx64.exe";

// A companion file's full path may hold this many characters; a longer one
// is refused, never cut.
inline constexpr std::size_t kMaxPathCharacters = 261;

// How long the driver setup waits for the package's window to show.
inline constexpr std::chrono::milliseconds kMonitorAppearLimit{60000};

enum class EnableTest {
  Document,         // idle, the file exists, an associated program is found
  SetupFile,        // idle, administrator, the file exists
  UninstallerFile,  // as SetupFile, and the launcher was given an argument
};

enum class RunMode { Plain, DriverInstall };

struct LauncherAction {
  int button = 0;
  std::string filePath;
  EnableTest enableTest = EnableTest::Document;
  bool withAssociatedProgram = false;
  std::vector<std::string> arguments;
  RunMode runMode = RunMode::Plain;
  std::thread worker;  // while the action runs
};

// What start-up decided.
struct LauncherOptions {
  std::string folder;      // the launcher's own folder, ending with '/'
  std::string tempFolder;  // the user's temporary folder, ending with '/'
  bool is32BitX86 = false;
  bool isAdmin = false;
  bool showUninstall = false;
  std::chrono::milliseconds monitorAppearLimit = kMonitorAppearLimit;
};

struct LauncherState {
  bool launcherIdle = true;
  bool isAdmin = false;
  bool showUninstall = false;
  std::string driverMonitorPath;
  std::chrono::milliseconds monitorAppearLimit = kMonitorAppearLimit;
  std::array<LauncherAction, kActionCount> actions;
};

struct ButtonStates {
  bool action[kActionCount] = {};  // in the order of kActionButtons
  bool quit = false;               // the quit button and the window's close
};

LauncherState BuildLauncherState(const LauncherOptions& options);

// The action of a button, or nullptr.
LauncherAction* FindAction(LauncherState& state, int button);

// Characters (not bytes) of a UTF-8 path.
std::size_t PathCharacters(const std::string& path);

bool ActionEnabled(const LauncherState& state, const LauncherAction& action,
                   const LauncherSystem& system);

ButtonStates RefreshButtons(const LauncherState& state, const LauncherSystem& system);

ProcessCommand BuildCommand(const LauncherAction& action);

}  // namespace velrix::launcher
