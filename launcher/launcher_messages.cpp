#include "launcher/launcher_messages.h"

#include <QPushButton>

namespace velrix::launcher {

QMessageBox* NewLauncherMessage(QWidget* owner, const MessageText& message,
                                const LauncherTexts& texts, const QFont& font) {
  auto* box = new QMessageBox(QMessageBox::Information, QString::fromUtf8(message.title),
                              QString::fromUtf8(message.text), QMessageBox::NoButton, owner);
  box->addButton(QString::fromUtf8(texts.ok), QMessageBox::AcceptRole);
  box->setFont(font);
  box->setAttribute(Qt::WA_DeleteOnClose);
  return box;
}

}  // namespace velrix::launcher
