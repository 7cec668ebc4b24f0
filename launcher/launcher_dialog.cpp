#include "launcher/launcher_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMessageBox>
#include <QMetaObject>

#include "launcher/launcher_icon.h"
#include "launcher/launcher_messages.h"

namespace velrix::launcher {

namespace {
// The quit button shares the uninstall button's row, the last of the column.
constexpr int kQuitRow = kActionCount - 1;
}  // namespace

QFont HeavyFont(Language language) {
  QFont font = QApplication::font();
  if (language == Language::Japanese) font.setFamilies({QString::fromUtf8(kJapaneseFace)});
  font.setWeight(static_cast<QFont::Weight>(kHeavyWeight));
  return font;
}

LauncherDialog::LauncherDialog(LauncherState state, LauncherSystem system, Language language,
                               const QString& title, QWidget* parent)
    : QDialog(parent),
      texts_(TextsFor(language)),
      heavyFont_(HeavyFont(language)),
      controller_(std::move(state), std::move(system), [this](int button, ActionOutcome outcome) {
        // From the worker thread: the dialog's own thread takes it from here.
        QMetaObject::invokeMethod(
            this, [this, button, outcome] { OnActionEnded(button, outcome); },
            Qt::QueuedConnection);
      }) {
  setObjectName(QString::number(kLauncherDialogId));
  setWindowTitle(title);
  setWindowIcon(LauncherIcon());
  const bool showUninstall = controller_.state().showUninstall;
  setFixedSize(kDialogWidth, kDialogHeight + (showUninstall ? kUninstallExtraHeight : 0));
  for (int row = 0; row < kActionCount; ++row) AddButton(kActionButtons[row], row);
  AddButton(kQuitButton, kQuitRow);
  button(kDriverUninstallButton)->setVisible(showUninstall);
  if (showUninstall) {
    button(kQuitButton)->move(kQuitWithUninstall);
    button(kReadmeButton)->setFocus();
  }
  RefreshButtonStates();
  refreshTimer_.setInterval(kRefreshIntervalMs);
  connect(&refreshTimer_, &QTimer::timeout, this, [this] { RefreshButtonStates(); });
  refreshTimer_.start();
}

void LauncherDialog::AddButton(int id, int row) {
  auto* b = new QPushButton(QString::fromUtf8(Caption(texts_, id)), this);
  b->setObjectName(QString::number(id));
  b->setGeometry(kButtonLeft, kButtonTop + row * kButtonPitch, kButtonWidth, kButtonHeight);
  b->setFont(heavyFont_);
  connect(b, &QPushButton::clicked, this, [this, id] { Press(id); });
  buttons_[id] = b;
}

QPushButton* LauncherDialog::button(int id) const {
  const auto it = buttons_.find(id);
  return it == buttons_.end() ? nullptr : it->second;
}

void LauncherDialog::RefreshButtonStates() {
  const ButtonStates states = controller_.Buttons();
  for (int i = 0; i < kActionCount; ++i) button(kActionButtons[i])->setEnabled(states.action[i]);
  button(kQuitButton)->setEnabled(states.quit);
}

void LauncherDialog::Press(int id) {
  switch (controller_.Press(id)) {
    case PressResult::Quit:
      close();
      break;
    case PressResult::FileNotFound:
      NewLauncherMessage(this, texts_.fileNotFound, texts_, heavyFont_)->open();
      break;
    case PressResult::Started:
      RefreshButtonStates();
      break;
    case PressResult::Ignored:
      break;
  }
}

void LauncherDialog::OnActionEnded(int button, ActionOutcome outcome) {
  // The driver setup's message is acknowledged before the launcher is idle
  // again, as the worker that shows it ends only then.
  const MessageText* message = nullptr;
  if (outcome == ActionOutcome::DriverSetupFinished) message = &texts_.driverSetupFinished;
  if (outcome == ActionOutcome::DriverSetupUnconfirmed) message = &texts_.driverSetupUnconfirmed;
  if (message == nullptr) {
    CompleteAction(button);
    return;
  }
  QMessageBox* box = NewLauncherMessage(this, *message, texts_, heavyFont_);
  connect(box, &QDialog::finished, this, [this, button] { CompleteAction(button); });
  box->open();
}

void LauncherDialog::CompleteAction(int id) {
  controller_.Finish(id);
  RefreshButtonStates();
  button(id)->setFocus();
}

void LauncherDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (opened_) return;
  opened_ = true;
  if (!controller_.state().isAdmin) {
    // After the dialog is on the screen, and beside it: the readme and the
    // manual stay usable while the message is open.
    QMetaObject::invokeMethod(this, [this] { ShowAdminMessage(); }, Qt::QueuedConnection);
  }
}

void LauncherDialog::ShowAdminMessage() {
  QMessageBox* box = NewLauncherMessage(this, texts_.adminRequired, texts_, heavyFont_);
  box->setModal(false);
  box->show();
}

void LauncherDialog::BringToFront() {
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
}

void LauncherDialog::closeEvent(QCloseEvent* event) {
  // The title bar's close stays in place (a toolkit window cannot gray it
  // without being made anew), but does nothing while an action runs.
  if (!controller_.state().launcherIdle) {
    event->ignore();
    return;
  }
  refreshTimer_.stop();
  QDialog::closeEvent(event);
}

void LauncherDialog::reject() {
  if (!controller_.state().launcherIdle) return;  // Esc while an action runs
  refreshTimer_.stop();
  QDialog::reject();
}

}  // namespace velrix::launcher
