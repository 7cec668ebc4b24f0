#include "app/dialog_routes.h"

#include <QMessageBox>

#include "app/command_ids.h"
#include "app/logo.h"
#include "display/ui/key_help_dialog.h"
#include "display/ui/settings_dialogs.h"
#include "link/ui/link_dialogs.h"
#include "measure/ui/warning_dialog.h"
#include "settings/settings_files.h"
#include "settings/ui/general_dialogs.h"

namespace velrix {

namespace {
constexpr char kAboutTitle[] = "バージョン情報";
constexpr char kAboutLine1[] = "Radiation Monitor KAV-HX310 アプリケーション";
constexpr char kAboutLine2[] = "Velrix Version 1.0";
}  // namespace

bool RunDialogCommand(int id, DialogRoute& r) {
  switch (id) {
    case kCmdDisplayUnits:
      RunDisplayUnitDialog(
          r.parent, r.settings.displayUnits, r.messages,
          [&r](const DisplayUnitSettings&) { SaveDisplayUnits(r.settings, r.messages); },
          r.redrawPanel);
      return true;
    case kCmdTrendSettings:
      RunTrendDialog(
          r.parent, r.settings.trend,
          [&r](const TrendSettings&) { SaveTrendSettings(r.settings, r.messages); },
          r.redrawTrend);
      return true;
    case kCmdDataFolder:
      RunDataFolderDialog(r.parent, r.settings, r.messages);
      return true;
    case kCmdComment:
      RunCommentSettingsDialog(r.parent, r.settings, r.messages);
      return true;
    case kCmdWarning:
      // New limits show at the next drawing; redraw now so they show at once.
      if (RunWarningDialog(r.parent, r.settings, r.messages)) r.redrawPanel();
      return true;
    case kCmdBuzzer:
      RunBuzzerDialog(r.parent, r.settings, r.link, r.messages);
      return true;
    case kCmdAutoStart:
      RunAutoStartDialog(r.parent, r.settings, r.messages);
      return true;
    case kCmdComPort:
      RunComNumberDialog(r.parent, r.settings, r.link, r.messages);
      return true;
    case kCmdRetry:
      RunRetryDialog(r.parent, r.settings, r.link, r.messages);
      return true;
    case kCmdPower:
      RunPowerDialog(r.parent, r.settings, r.link, r.messages);
      return true;
    case kCmdKeyHelp:
      RunKeyHelpDialog(r.parent);
      return true;
    default:
      return false;
  }
}

bool RunCommentCheckRoute(QWidget* parent, Settings& settings, UserMessages& messages) {
  return RunCommentCheck(parent, settings, messages);
}

void ShowAboutBox(QWidget* parent) {
  QMessageBox box(parent);
  box.setWindowTitle(QString::fromUtf8(kAboutTitle));
  box.setIconPixmap(QPixmap::fromImage(VelrixLogo()));
  box.setText(QString::fromUtf8(kAboutLine1) + "\n" + QString::fromUtf8(kAboutLine2));
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

}  // namespace velrix
