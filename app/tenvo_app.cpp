#include "app/tenvo_app.h"

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <string>
#include <vector>

#include "app/logo.h"
#include "app/main_frame.h"
#include "app/tenvo_view.h"
#include "platform/c_format.h"
#include "platform/command_line.h"
#include "platform/program_folder.h"
#include "platform/single_copy_lock.h"
#include "platform/stop_signals.h"
#include "platform/system_info.h"

namespace velrix {

int CTenvoApp::Run(int argc, char** argv) {
  // The command line is read before anything starts, so --help, --version
  // and a bad argument are answered on a machine without a display, and
  // while another copy runs.
  const std::vector<std::string> args(argv + 1, argv + argc);
  const HelpOrVersion asked = FindHelpOrVersion(args);
  if (asked != HelpOrVersion::None) return AnswerHelpOrVersion(asked, kAppProgramName, kAppUsage);
  AppOptions options;
  std::string error;
  if (!ParseAppOptions(args, &options, &error)) {
    return RejectArguments(kAppProgramName, error, kAppUsage);
  }

  // A second copy would fight the first for the unit and the working copy:
  // it ends at once, silently, and before Qt, which could abort on a machine
  // without a display first.
  SingleCopyLock lock(kSingleCopyName);
  if (!lock.Acquire() && lock.AnotherCopyRuns()) return kExitSecondCopy;

  options.programFolder = PrepareProgramFolder(options.programFolder, ExecutableFolder(), &error);
  if (!error.empty()) std::fprintf(stderr, "%s: %s\n", kAppProgramName, error.c_str());

  // The menu entry is velrix.desktop; naming it lets a Wayland desktop match
  // the window to the entry (on X11 the window class "velrix" does that).
  QGuiApplication::setDesktopFileName(QStringLiteral("velrix"));
  // Every argument was Velrix's own and has been read: Qt is handed the
  // program's name only, so it interprets none of them.
  argc = 1;
  QApplication app(argc, argv);
  UseCNumbers();  // Qt has just adopted the environment's locale
  QApplication::setWindowIcon(QIcon(QPixmap::fromImage(VelrixLogo())));

  clock_ = MakeScaledClock(options.clock, &error);
  auto* view = new CTenvoView(options, nullptr, clock_.get());
  CMainFrame frame(view);

  const int signalFd = StopSignalDescriptor();
  QSocketNotifier stopNotifier(signalFd, QSocketNotifier::Read);
  stopNotifier.setEnabled(signalFd >= 0);
  QObject::connect(&stopNotifier, &QSocketNotifier::activated, &frame, [&frame, signalFd] {
    DrainStopSignal(signalFd);
    frame.close();
  });

  if (!options.screenshot.empty()) {
    QTimer::singleShot(options.screenshotAfterMs, &frame, [&frame, view, options] {
      view->RenderCanvas();
      frame.grab().save(QString::fromStdString(options.screenshot));
      frame.close();
    });
  }

  frame.show();
  return app.exec();
}

}  // namespace velrix
