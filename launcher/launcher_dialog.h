#pragma once
// The launcher's dialog (102): six buttons in a fixed layout, refreshed every
// 120 ms from the controller's tests; a press starts the action, which keeps
// every button and the window's close disabled until it ends.

#include <QDialog>
#include <QFont>
#include <QPoint>
#include <QPushButton>
#include <QString>
#include <QTimer>

#include <map>

#include "launcher/launcher_controller.h"
#include "launcher/launcher_texts.h"

namespace velrix::launcher {

// The fixed layout, in pixels of the client area. The action buttons stand
// in one column; the uninstall button lies under the quit button and is
// only shown, with the dialog grown to free it, when the launcher was given
// an argument.
inline constexpr int kLauncherDialogId = 102;
inline constexpr int kDialogWidth = 344;
inline constexpr int kDialogHeight = 343;
inline constexpr int kUninstallExtraHeight = 64;
inline constexpr int kButtonLeft = 22;
inline constexpr int kButtonTop = 17;
inline constexpr int kButtonPitch = 64;
inline constexpr int kButtonWidth = 300;
inline constexpr int kButtonHeight = 48;
inline constexpr QPoint kQuitWithUninstall{22, 337};
inline constexpr int kRefreshIntervalMs = 120;
// The buttons' weight: the heaviest there is.
inline constexpr int kHeavyWeight = 1000;
// The Japanese copy's face (the installed stand-in of the system's dialog face).
inline constexpr char kJapaneseFace[] = "IPAGothic";

QFont HeavyFont(Language language);

class LauncherDialog : public QDialog {
 public:
  LauncherDialog(LauncherState state, LauncherSystem system, Language language,
                 const QString& title, QWidget* parent = nullptr);

  QPushButton* button(int id) const;
  const LauncherController& controller() const { return controller_; }

  // A second launcher asked for this one.
  void BringToFront();

  // Esc and the window's close do nothing while an action runs.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void AddButton(int id, int row);
  void Press(int id);
  void OnActionEnded(int button, ActionOutcome outcome);
  void CompleteAction(int button);
  void RefreshButtonStates();
  void ShowAdminMessage();

  const LauncherTexts& texts_;
  QFont heavyFont_;
  LauncherController controller_;
  QTimer refreshTimer_;
  std::map<int, QPushButton*> buttons_;
  bool opened_ = false;
};

}  // namespace velrix::launcher
