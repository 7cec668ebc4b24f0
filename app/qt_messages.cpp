#include "app/qt_messages.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

namespace velrix {

void QtUserMessages::Show(const std::string& title, const std::string& text) {
  const QString qtitle = QString::fromStdString(title);
  const QString qtext = QString::fromStdString(text);
  if (QThread::currentThread() != qApp->thread()) {
    // The owner belongs to the GUI thread and is not read from here; a box
    // posted from another thread stands on its own.
    QMetaObject::invokeMethod(qApp, [title, text] {
      ShowDetachedMessage(nullptr, title, text);
    }, Qt::QueuedConnection);
    return;
  }
  QMessageBox::information(owner_.data(), qtitle, qtext, QMessageBox::Ok);
}

void ShowDetachedMessage(QWidget* owner, const std::string& title, const std::string& text) {
  auto* box = new QMessageBox(QMessageBox::Information, QString::fromStdString(title),
                              QString::fromStdString(text), QMessageBox::Ok, owner);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setModal(false);
  box->show();
}

}  // namespace velrix
