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
#include "platform/single_copy_lock.h"
#include "platform/stop_signals.h"

namespace velrix {

int CTenvoApp::Run(int argc, char** argv) {
  // A second copy would fight the first for the unit and the working copy:
  // it ends at once, silently, and before Qt, which could abort on a machine
  // without a display first.
  SingleCopyLock lock(kSingleCopyName);
  if (!lock.Acquire()) return kExitSecondCopy;

  QApplication app(argc, argv);  // takes Qt's own arguments out of argv
  UseCNumbers();                 // Qt has just adopted the environment's locale
  QApplication::setWindowIcon(QIcon(QPixmap::fromImage(VelrixLogo())));

  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  AppOptions options;
  std::string error;
  if (!ParseAppOptions(args, &options, &error)) {
    std::fprintf(stderr, "velrix: %s\n", error.c_str());
    return kExitUsage;
  }

  auto* view = new CTenvoView(*link_, options);
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
