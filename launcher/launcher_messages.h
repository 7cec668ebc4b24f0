#pragma once
// The launcher's small message dialogs: the information icon, a text and an
// "&OK" button, in the dialog's heavy font.

#include <QFont>
#include <QMessageBox>
#include <QWidget>

#include "launcher/launcher_texts.h"

namespace velrix::launcher {

// A new box owned by `owner`, deleted when it closes; the caller shows it
// (open() for a modal one, show() for one the dialog keeps working beside).
QMessageBox* NewLauncherMessage(QWidget* owner, const MessageText& message,
                                const LauncherTexts& texts, const QFont& font);

}  // namespace velrix::launcher
