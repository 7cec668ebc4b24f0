#pragma once
// The warning settings dialog (警告表示設定), dialog 137: edits 1019-1024 and
// check box 1025. Its logic is in warning_form.h.

#include <QDialog>

#include "measure/ui/warning_form.h"
#include "platform/user_messages.h"
#include "settings/settings.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace velrix {

inline constexpr char kWarningDialogTitle[] = "警告表示設定";

class CDlg_warning : public QDialog {
 public:
  CDlg_warning(Settings& settings, UserMessages& messages, QWidget* parent = nullptr);

  QLineEdit* LimitEdit(int id) const;  // 1019-1024
  QCheckBox* SoundBox() const { return sound_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }
  WarningForm ReadForm() const;

  void accept() override;

 private:
  Settings& settings_;
  MessagesOver messages_;  // boxes of the dialog stand over it
  QLineEdit* limits_[kWarningLimitCount] = {};
  QCheckBox* sound_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

// The menu command "警告設定(&K)": runs the dialog modally; true after OK (the
// shell then redraws the panel so the new limits show at once).
bool RunWarningDialog(QWidget* parent, Settings& settings, UserMessages& messages);

}  // namespace velrix
