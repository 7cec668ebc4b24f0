#include "app/qt_messages.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

namespace velrix {

void QtUserMessages::Show(const std::string& title, const std::string& text) {
  // The main widget is read on the GUI thread only.
  if (QThread::currentThread() != qApp->thread()) {
    ShowOver(nullptr, title, text);
    return;
  }
  ShowOver(main_.isNull() ? nullptr : HandleOf(main_->window()), title, text);
}

void QtUserMessages::ShowOver(WindowHandle owner, const std::string& title,
                              const std::string& text) {
  if (QThread::currentThread() != qApp->thread()) {
    // A box posted from another thread cannot know whether its owner still
    // exists when it is shown, so it stands on its own.
    QMetaObject::invokeMethod(qApp, [title, text] {
      ShowDetachedMessage(nullptr, title, text);
    }, Qt::QueuedConnection);
    return;
  }
  auto* parent = static_cast<QWidget*>(const_cast<void*>(owner));
  QMessageBox::information(parent, QString::fromStdString(title), QString::fromStdString(text),
                           QMessageBox::Ok);
}

void ShowDetachedMessage(QWidget* owner, const std::string& title, const std::string& text) {
  auto* box = new QMessageBox(QMessageBox::Information, QString::fromStdString(title),
                              QString::fromStdString(text), QMessageBox::Ok, owner);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setModal(false);
  box->show();
}

}  // namespace velrix
