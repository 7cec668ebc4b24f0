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
    QPointer<QWidget> owner = owner_;
    QMetaObject::invokeMethod(qApp, [owner, title, text] {
      ShowDetachedMessage(owner.data(), title, text);
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
