#include "settings/ui/dialog_support.h"

#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>

namespace velrix {
namespace {

constexpr char kOkText[] = "OK";
constexpr char kCancelText[] = "キャンセル";

}  // namespace

QString QUtf8(const char* text) { return QString::fromUtf8(text); }
QString QUtf8(const std::string& text) { return QString::fromStdString(text); }
std::string ToUtf8(const QString& text) { return text.toStdString(); }
QString IdName(int id) { return QString::number(id); }

QLineEdit* NewIdEdit(int id, const QString& text) {
  auto* edit = new QLineEdit(text);
  edit->setObjectName(IdName(id));
  return edit;
}

QCheckBox* NewIdCheckBox(int id, const QString& text) {
  auto* box = new QCheckBox(text);
  box->setObjectName(IdName(id));
  return box;
}

QHBoxLayout* NewOkCancelRow(QDialog* dialog, QPushButton** ok, QPushButton** cancel) {
  auto* row = new QHBoxLayout;
  row->addStretch();
  *ok = new QPushButton(QUtf8(kOkText));
  (*ok)->setObjectName(IdName(kOkButtonId));
  (*ok)->setDefault(true);
  *cancel = new QPushButton(QUtf8(kCancelText));
  (*cancel)->setObjectName(IdName(kCancelButtonId));
  row->addWidget(*ok);
  row->addWidget(*cancel);
  QObject::connect(*ok, &QPushButton::clicked, dialog, &QDialog::accept);
  QObject::connect(*cancel, &QPushButton::clicked, dialog, &QDialog::reject);
  return row;
}

bool QtQuestions::AskOkCancel(const std::string& title, const std::string& text) {
  QMessageBox box(QMessageBox::Question, QUtf8(title), QUtf8(text),
                  QMessageBox::Ok | QMessageBox::Cancel, owner_);
  return box.exec() == QMessageBox::Ok;
}

void PauseResponsive(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace velrix
