#pragma once
// Pieces every settings dialog shares: UTF-8 texts, controls named by their
// resource ids (the object name "1019" is edit 1019, "1" is OK and "2" is
// cancel, as the shell and the tests look them up), the OK / cancel row, the
// message-box question and a wait that keeps the GUI responsive.

#include <QCheckBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include <string>

#include "settings/ui/user_questions.h"

namespace velrix {

inline constexpr int kOkButtonId = 1;
inline constexpr int kCancelButtonId = 2;

QString QUtf8(const char* text);
QString QUtf8(const std::string& text);
std::string ToUtf8(const QString& text);
QString IdName(int id);

QLineEdit* NewIdEdit(int id, const QString& text = QString());
QCheckBox* NewIdCheckBox(int id, const QString& text);

// OK (the default button) and "キャンセル", right-aligned, wired to the
// dialog's accept() and reject().
QHBoxLayout* NewOkCancelRow(QDialog* dialog, QPushButton** ok, QPushButton** cancel);

// A child found by its resource id, or nullptr.
template <typename T>
T* FindById(const QWidget* parent, int id) {
  return parent->findChild<T*>(IdName(id));
}

// Asks with a modal message box (OK / cancel) owned by `owner`.
class QtQuestions final : public UserQuestions {
 public:
  explicit QtQuestions(QWidget* owner = nullptr) : owner_(owner) {}
  void SetOwner(QWidget* owner) { owner_ = owner; }
  bool AskOkCancel(const std::string& title, const std::string& text) override;

 private:
  QPointer<QWidget> owner_;
};

// Waits the given milliseconds while the GUI thread goes on handling events
// (the cycle timer keeps running and the windows repaint).
void PauseResponsive(int milliseconds);

}  // namespace velrix
