#pragma once
// The link's settings dialogs: USB COM number (dialog 143), communication
// retries (dialog 146) and power settings (dialog 147). Their logic is in
// link_forms.h; controls are named by their resource ids.

#include <QDialog>

#include <map>

#include "link/ui/link_forms.h"
#include "link/unit_link_state.h"
#include "platform/user_messages.h"
#include "settings/settings.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace velrix {

inline constexpr char kComNumberDialogTitle[] = "USB COM番号設定";
inline constexpr char kRetryDialogTitle[] = "通信リトライ設定";
inline constexpr char kPowerDialogTitle[] = "電源設定";

class CDlg_usb_com : public QDialog {
 public:
  CDlg_usb_com(const Settings& settings, UnitLinkState& link, UserMessages& messages,
               QWidget* parent = nullptr);

  QLineEdit* NumberEdit() const { return number_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }
  void accept() override;

 private:
  const Settings& settings_;
  UnitLinkState& link_;
  MessagesOver messages_;  // boxes of the dialog stand over it
  QLineEdit* number_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

class CDlg_com_rty : public QDialog {
 public:
  CDlg_com_rty(const Settings& settings, UnitLinkState& link, UserMessages& messages,
               QWidget* parent = nullptr);

  QRadioButton* ModeRadio(int id) const;  // 1000-1002
  QLineEdit* MaxRetriesEdit() const { return maxRetries_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }
  RetryForm ReadForm() const;
  void accept() override;

 private:
  const Settings& settings_;
  UnitLinkState& link_;
  MessagesOver messages_;  // boxes of the dialog stand over it
  QRadioButton* modes_[kRetryModeChoices] = {};
  QButtonGroup* modeGroup_ = nullptr;
  QLineEdit* maxRetries_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

class CDlg_power : public QDialog {
 public:
  CDlg_power(Settings& settings, UnitLinkState& link, UserMessages& messages,
             QWidget* parent = nullptr);

  QLineEdit* Edit(int id) const;        // 1019-1023
  QComboBox* Combo(int id) const;       // 1009-1013
  QCheckBox* CheckBox(int id) const;    // 1025-1032
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }
  PowerForm ReadForm() const;
  void accept() override;

 private:
  struct Row {
    QComboBox* enabled = nullptr;
    QLineEdit* delay = nullptr;
    QCheckBox* atEvent = nullptr;
    QCheckBox* atExecution = nullptr;
  };
  void EnableRow(const Row& row);

  Settings& settings_;
  UnitLinkState& link_;
  MessagesOver messages_;  // boxes of the dialog stand over it
  QLineEdit* interval_ = nullptr;
  QComboBox* unit_ = nullptr;
  Row rows_[kPowerEvents];  // in the stored order of the events
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

// The shell's entries: run the dialog modally; true when OK closed it.
// Whether the menu offers the COM number dialog is the shell's choice.
bool RunComNumberDialog(QWidget* parent, const Settings& settings, UnitLinkState& link,
                        UserMessages& messages);
bool RunRetryDialog(QWidget* parent, const Settings& settings, UnitLinkState& link,
                    UserMessages& messages);
bool RunPowerDialog(QWidget* parent, Settings& settings, UnitLinkState& link,
                    UserMessages& messages);

}  // namespace velrix
