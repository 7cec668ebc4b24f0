// launch: the installation medium's setup launcher. Shows the readme and the
// manual, sets up and removes the USB driver and runs the application's
// installer, all from the files beside it. Any command-line argument offers
// the driver removal; there are no options.

#include <QApplication>

#include "launcher/front_request_listener.h"
#include "launcher/launcher_dialog.h"
#include "launcher/launcher_system.h"
#include "launcher/platform/front_requests.h"
#include "launcher/platform/machine.h"
#include "launcher/platform/own_version.h"
#include "launcher/version_info.h"
#include "platform/single_copy_lock.h"
#include "platform/system_info.h"

namespace {

constexpr char kSingleCopyName[] = "KAV-Qz-Setup-Launcher";
constexpr int kExitDone = 0;
constexpr int kExitAnotherCopy = -1;  // exit status 255

}  // namespace

int main(int argc, char** argv) {
  using namespace velrix::launcher;
  // Counted before the toolkit takes its own options out of the list.
  const bool anyArgument = argc > 1;

  // A second copy only asks the first to come to the front, before it needs
  // a display of its own. A lock that cannot be had proves no other copy.
  velrix::SingleCopyLock lock(kSingleCopyName);
  const std::string frontPath = FrontRequestPath(lock.path());
  if (!lock.Acquire() && lock.AnotherCopyRuns()) {
    SendFrontRequest(frontPath);
    return kExitAnotherCopy;
  }

  const std::string title = LauncherTitle(ParseVersionStrings(ReadOwnVersionData()));
  LauncherOptions options;
  options.isAdmin = RunsAsAdministrator();
  options.showUninstall = anyArgument;
  options.folder = velrix::ExecutableFolder();
  options.tempFolder = TemporaryFolder();
  options.is32BitX86 = NativeIs32BitX86();

  QApplication app(argc, argv);
  LauncherDialog dialog(BuildLauncherState(options), RealLauncherSystem(),
                        LanguageFromEnvironment(), QString::fromStdString(title));
  FrontRequestListener listener(frontPath, [&dialog] { dialog.BringToFront(); });
  dialog.exec();
  return kExitDone;
}
