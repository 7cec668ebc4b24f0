// launch-screenshots: pictures of the launcher's dialog for the
// documentation, in its Japanese and English copies (launcher-ja.png,
// launcher-en.png). Drawn offscreen as an administrator with an argument
// would see it beside a complete set of companion files, so all six buttons
// show and are enabled; no file is looked at and nothing is started.
//
// usage: launch-screenshots [--out DIR]

#include <QApplication>
#include <QDir>
#include <QPixmap>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "launcher/launcher_dialog.h"
#include "launcher/version_info.h"

namespace {

using namespace velrix::launcher;

constexpr char kUsage[] = "usage: launch-screenshots [--out DIR]\n";
constexpr char kMediumFolder[] = "/media/cdrom/";

LauncherSystem EverythingInPlace() {
  LauncherSystem system;
  const auto yes = [](const std::string&) { return true; };
  system.isRegularFile = yes;
  system.isRunnableFile = yes;
  system.hasAssociatedProgram = yes;
  system.pathExists = yes;
  system.start = [](const ProcessCommand&) { return StartedProcess{}; };
  system.waitForEnd = [](int) {};
  system.processRunningAs = [](const std::string&) { return false; };
  return system;
}

bool Take(Language language, const QString& path) {
  LauncherOptions options;
  options.folder = kMediumFolder;
  options.tempFolder = "/tmp/";
  options.isAdmin = true;
  options.showUninstall = true;
  LauncherDialog dialog(BuildLauncherState(options), EverythingInPlace(), language,
                        QString::fromUtf8(kFallbackTitle));
  dialog.show();
  QApplication::processEvents();
  if (!dialog.grab().save(path, "PNG")) {
    std::fprintf(stderr, "launch-screenshots: cannot write %s\n", path.toLocal8Bit().constData());
    return false;
  }
  std::printf("%s\n", path.toLocal8Bit().constData());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  QString out = QStringLiteral(".");
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--out" && i + 1 < argc) {
      out = QString::fromLocal8Bit(argv[++i]);
    } else {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  const QDir folder(out);
  const bool ja = Take(Language::Japanese, folder.filePath(QStringLiteral("launcher-ja.png")));
  const bool en = Take(Language::English, folder.filePath(QStringLiteral("launcher-en.png")));
  return ja && en ? 0 : 1;
}
