// The launcher's logic without a window: which buttons its tests enable, and
// what a press starts, against stand-in files in a temporary folder.
#include <sys/stat.h>

#include <filesystem>

#include "launcher/launcher_controller.h"
#include "tests/launcher/launcher_fixture.h"

namespace velrix::launcher::testing {
namespace {

// "10110Q": buttons 1000 to 1004 enabled (1) or not, Q when quit is enabled.
std::string Enabled(const LauncherController& controller) {
  const ButtonStates states = controller.Buttons();
  std::string s;
  for (const bool on : states.action) s += on ? '1' : '0';
  return s + (states.quit ? "Q" : "-");
}

using LauncherButtons = LauncherFolder;
using LauncherActions = LauncherFolder;

TEST_F(LauncherButtons, EachButtonIsEnabledExactlyByItsTest) {
  const LauncherSystem real = RealLauncherSystem();
  EXPECT_EQ(Enabled(LauncherController(BuildLauncherState(Options()), real, {})), "00000Q");

  WriteBytes(medium.File(kReadmeFile), "read me\n");
  WriteBytes(medium.File(kManualFile), "%PDF-1.4\n");  // no PDF viewer on the test desktop
  for (const char* file : {kDriverPackageFile, kApplicationSetupFile, kDriverUninstallerFile}) {
    Script(file);
  }
  EXPECT_EQ(Enabled(LauncherController(BuildLauncherState(Options()), real, {})), "10111Q");
  EXPECT_EQ(Enabled(LauncherController(BuildLauncherState(Options(false)), real, {})), "10000Q");
  EXPECT_EQ(Enabled(LauncherController(BuildLauncherState(Options(true, false)), real, {})),
            "10110Q");

  // A setup file that may not be run, and a folder where the readme should be.
  chmod(medium.File(kApplicationSetupFile).c_str(), 0644);
  std::filesystem::remove(medium.File(kReadmeFile));
  std::filesystem::create_directory(medium.File(kReadmeFile));
  EXPECT_EQ(Enabled(LauncherController(BuildLauncherState(Options()), real, {})), "00101Q");
}

TEST_F(LauncherButtons, APathOfMoreThan261CharactersIsRefusedNotCut) {
  // Folders whose setup.exe path has 261 characters (more bytes: "あ" takes
  // three) and 262 characters.
  const std::string file = kApplicationSetupFile;
  const size_t xs = kMaxPathCharacters - medium.slash().size() - 1 - 1 - file.size();
  const std::string fits = medium.slash() + "あ" + std::string(xs, 'x') + "/";
  const std::string tooLong = medium.slash() + "y" + fits.substr(medium.slash().size());
  for (const std::string& folder : {fits, tooLong}) {
    std::filesystem::create_directories(folder);
    WriteBytes(folder + file, "#!/bin/sh\n");
    chmod((folder + file).c_str(), 0755);
  }
  EXPECT_EQ(PathCharacters(fits + file), 261u);
  EXPECT_EQ((fits + file).size(), 263u);

  LauncherOptions options = Options();
  options.folder = fits;
  EXPECT_EQ(Enabled(LauncherController(BuildLauncherState(options), RealLauncherSystem(), {})),
            "00010Q");
  options.folder = tooLong;
  EXPECT_EQ(Enabled(LauncherController(BuildLauncherState(options), RealLauncherSystem(), {})),
            "00000Q");
}

TEST_F(LauncherActions, AFileRemovedAfterItsButtonWasEnabledIsNotFound) {
  Script(kApplicationSetupFile);
  LauncherController controller(BuildLauncherState(Options()), RealLauncherSystem(), {});
  ASSERT_EQ(Enabled(controller), "00010Q");
  std::filesystem::remove(medium.File(kApplicationSetupFile));
  EXPECT_EQ(controller.Press(kApplicationSetupButton), PressResult::FileNotFound);
  EXPECT_TRUE(controller.state().launcherIdle);
  EXPECT_EQ(Runs(), "");
}

TEST_F(LauncherActions, ARunningActionDisablesEverythingUntilItIsFinished) {
  const std::string release = medium.File("release");
  Script(kApplicationSetupFile, "while [ ! -e '" + release + "' ]; do sleep 0.05; done\n");
  Script(kDriverUninstallerFile);
  Notifications notifications;
  LauncherController controller(BuildLauncherState(Options()), RealLauncherSystem(),
                                notifications.Sink());
  ASSERT_EQ(Enabled(controller), "00011Q");
  ASSERT_EQ(controller.Press(kApplicationSetupButton), PressResult::Started);
  EXPECT_EQ(Enabled(controller), "00000-");
  EXPECT_EQ(controller.Press(kDriverUninstallButton), PressResult::Ignored);
  EXPECT_EQ(controller.Press(kQuitButton), PressResult::Ignored);

  WriteBytes(release, "");
  EXPECT_EQ(notifications.Next(), std::make_pair(kApplicationSetupButton, ActionOutcome::Ended));
  EXPECT_EQ(Enabled(controller), "00000-");  // until the dialog's thread takes the notification
  controller.Finish(kApplicationSetupButton);
  EXPECT_EQ(Enabled(controller), "00011Q");
  EXPECT_EQ(controller.Press(kQuitButton), PressResult::Quit);
  EXPECT_EQ(Runs(), "setup.exe \n");
}

TEST_F(LauncherActions, EachButtonStartsItsFileTheWayItsActionSays) {
  // Every file in place; the system notes what it is asked to start, and the
  // driver package's monitor shows once and is gone at the next look.
  std::vector<std::string> started;
  int monitorLooks = 0;
  LauncherSystem system;
  system.isRegularFile = system.isRunnableFile = system.hasAssociatedProgram =
      system.pathExists = [](const std::string&) { return true; };
  system.start = [&started](const ProcessCommand& command) {
    std::string line = (command.withAssociatedProgram ? "open " : "run ") + command.path;
    for (const std::string& a : command.arguments) line += " " + a;
    started.push_back(line);
    return StartedProcess{true, -1};
  };
  system.waitForEnd = [](int) {};
  system.processRunningAs = [&monitorLooks](const std::string&) { return monitorLooks++ == 0; };
  Notifications notifications;
  LauncherController controller(BuildLauncherState(Options()), system, notifications.Sink());
  for (const int button : kActionButtons) {
    ASSERT_EQ(controller.Press(button), PressResult::Started);
    const ActionOutcome outcome = button == kDriverSetupButton
                                      ? ActionOutcome::DriverSetupFinished
                                      : ActionOutcome::Ended;
    EXPECT_EQ(notifications.Next(), std::make_pair(button, outcome));
    controller.Finish(button);
  }
  const std::string m = medium.slash();
  EXPECT_EQ(started, (std::vector<std::string>{
                         "open " + m + "readme.txt", "open " + m + "KAV-HX310_MAN_100.pdf",
                         "run " + m + "CDM20824_Setup.exe", "run " + m + "setup.exe",
                         "run " + m + "CDMUninstaller.exe 0403 6001"}));
}

TEST_F(LauncherActions, TheReadmeOpensInTheDesktopsProgramForItsType) {
  WriteBytes(medium.File(kReadmeFile), "read me\n");
  const std::string viewerLog = std::getenv(kViewerLogVariable);
  Notifications notifications;
  LauncherController controller(BuildLauncherState(Options()), RealLauncherSystem(),
                                notifications.Sink());
  ASSERT_EQ(controller.Press(kReadmeButton), PressResult::Started);
  EXPECT_EQ(notifications.Next(), std::make_pair(kReadmeButton, ActionOutcome::Ended));
  EXPECT_EQ(ReadBytes(viewerLog), medium.File(kReadmeFile) + "\n");
}

TEST_F(LauncherActions, AProgramThatCannotStartEndsTheActionWithoutWaiting) {
  for (const char* file : {kApplicationSetupFile, kDriverPackageFile}) {
    WriteBytes(medium.File(file), "#!/no/such/interpreter\n");
    chmod(medium.File(file).c_str(), 0755);
  }
  Notifications notifications;
  LauncherOptions options = Options();
  options.monitorAppearLimit = std::chrono::hours(1);  // never reached: nothing is waited for
  LauncherController controller(BuildLauncherState(options), RealLauncherSystem(),
                                notifications.Sink());
  for (const int button : {kApplicationSetupButton, kDriverSetupButton}) {
    ASSERT_EQ(controller.Press(button), PressResult::Started);
    EXPECT_EQ(notifications.Next(), std::make_pair(button, ActionOutcome::NotStarted));
    controller.Finish(button);
    EXPECT_TRUE(controller.state().launcherIdle);
  }
}

TEST_F(LauncherActions, DriverSetupRunsThePackageTwiceWithoutAMonitorAndWaitsForItsEnd) {
  DriverPackage();
  Notifications notifications;
  LauncherController controller(BuildLauncherState(Options()), RealLauncherSystem(),
                                notifications.Sink());
  ASSERT_EQ(controller.state().driverMonitorPath, Monitor());
  ASSERT_EQ(controller.Press(kDriverSetupButton), PressResult::Started);
  EXPECT_EQ(notifications.Next(),
            std::make_pair(kDriverSetupButton, ActionOutcome::DriverSetupFinished));
  // Both monitors had ended before the launcher reported the setup finished.
  EXPECT_EQ(Runs(), "CDM20824_Setup.exe \nCDM20824_Setup.exe \nmonitor-ended\nmonitor-ended\n");
  controller.Finish(kDriverSetupButton);

  // Now the monitor file is there from the last setup: one run.
  WriteBytes(Log(), "");
  ASSERT_EQ(controller.Press(kDriverSetupButton), PressResult::Started);
  EXPECT_EQ(notifications.Next(),
            std::make_pair(kDriverSetupButton, ActionOutcome::DriverSetupFinished));
  EXPECT_EQ(Runs(), "CDM20824_Setup.exe \nmonitor-ended\n");
}

TEST_F(LauncherActions, DriverSetupStopsWaitingForAMonitorThatNeverShows) {
  DriverPackage(false);
  Notifications notifications;
  LauncherOptions options = Options();
  options.monitorAppearLimit = std::chrono::milliseconds(300);
  LauncherController controller(BuildLauncherState(options), RealLauncherSystem(),
                                notifications.Sink());
  ASSERT_EQ(controller.Press(kDriverSetupButton), PressResult::Started);
  EXPECT_EQ(notifications.Next(),
            std::make_pair(kDriverSetupButton, ActionOutcome::DriverSetupUnconfirmed));
  EXPECT_EQ(Runs(), "CDM20824_Setup.exe \nCDM20824_Setup.exe \n");
}

}  // namespace
}  // namespace velrix::launcher::testing
