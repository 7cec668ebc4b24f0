#pragma once
// The general settings dialogs: data folder, comment settings, comment check,
// automatic start and detection buzzer. Their logic lives in general_forms.h;
// these classes move values between the controls and the forms. Controls are
// named by their resource ids (see dialog_support.h).

#include <QDialog>
#include <QFileDialog>
#include <QPointer>

#include "link/unit_link_state.h"
#include "platform/user_messages.h"
#include "settings/settings.h"
#include "settings/ui/general_forms.h"
#include "settings/ui/user_questions.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace velrix {

inline constexpr char kDataFolderDialogTitle[] = "データフォルダの場所を設定";
inline constexpr char kCommentDialogTitle[] = "コメント設定";
inline constexpr char kCommentCheckDialogTitle[] = "コメント確認";
inline constexpr char kAutoStartDialogTitle[] = "自動開始設定";
inline constexpr char kBuzzerDialogTitle[] = "検知ブザー設定";
inline constexpr char kFolderBrowserTitle[] = "フォルダの選択";

// Data folder, dialog 139. The folder browser (button 1008) is a window of
// its own that leaves this dialog usable; OK and cancel are refused while it
// is open.
class CDlg_df_set : public QDialog {
 public:
  CDlg_df_set(Settings& settings, UserQuestions& questions, UserMessages& messages,
              QWidget* parent = nullptr);

  QLineEdit* FolderEdit() const { return folder_; }
  QPushButton* BrowseButton() const { return browse_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }
  bool BrowseOpen() const { return browseOpen_; }
  QFileDialog* Browser() const { return browser_; }  // nullptr while closed

  void accept() override;
  void reject() override;

 private:
  void Browse();
  void BrowserFinished(int result);

  Settings& settings_;
  UserQuestions& questions_;
  MessagesOver messages_;  // boxes of the dialog stand over it
  QLineEdit* folder_ = nullptr;
  QPushButton* browse_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
  bool browseOpen_ = false;
  QPointer<QFileDialog> browser_;
};

// Comment settings, dialog 135: edits 1019, 1020, 1021.
class CDlg_cond_set : public QDialog {
 public:
  CDlg_cond_set(Settings& settings, UserMessages& messages, QWidget* parent = nullptr);

  QLineEdit* Edit(int id) const;
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }
  void accept() override;

 private:
  Settings& settings_;
  MessagesOver messages_;  // boxes of the dialog stand over it
  QLineEdit* computerName_ = nullptr;
  QLineEdit* unitNumber_ = nullptr;
  QLineEdit* comment_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

// Comment check, dialog 140: edit 1019. Accepted means "start measuring".
class CDlg_com_chk : public QDialog {
 public:
  CDlg_com_chk(Settings& settings, UserMessages& messages, QWidget* parent = nullptr);

  QLineEdit* CommentEdit() const { return comment_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }
  void accept() override;

 private:
  Settings& settings_;
  MessagesOver messages_;  // boxes of the dialog stand over it
  QLineEdit* comment_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

// Automatic start, dialog 144: check box 1020.
class Dlg_aut_start : public QDialog {
 public:
  Dlg_aut_start(Settings& settings, UserMessages& messages, QWidget* parent = nullptr);

  QCheckBox* AutoStartBox() const { return box_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }
  void accept() override;

 private:
  Settings& settings_;
  MessagesOver messages_;  // boxes of the dialog stand over it
  QCheckBox* box_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

// Detection buzzer, dialog 142: radios 1000 "ON" and 1001 "OFF". OK waits up
// to five seconds for the link, with the GUI running and the dialog's buttons
// disabled, and closes the dialog whatever the outcome.
class CDlg_k_b : public QDialog {
 public:
  CDlg_k_b(const Settings& settings, UnitLinkState& link, UserMessages& messages,
           QWidget* parent = nullptr, PauseFn pause = {});

  QRadioButton* OnRadio() const { return on_; }
  QRadioButton* OffRadio() const { return off_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }
  bool Waiting() const { return waiting_; }
  // The outcome of OK; meaningful once the dialog has been accepted.
  BuzzerOutcome Outcome() const { return outcome_; }

  void accept() override;
  void reject() override;

 private:
  const Settings& settings_;
  UnitLinkState& link_;
  MessagesOver messages_;  // boxes of the dialog stand over it
  PauseFn pause_;
  QRadioButton* on_ = nullptr;
  QRadioButton* off_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
  bool waiting_ = false;
  BuzzerOutcome outcome_ = BuzzerOutcome::LinkDown;
};

// The shell's entries: each runs its dialog modally and returns true when OK
// closed it. RunCommentCheck's true means the measurement may start; false
// means no start. RunBuzzerDialog returns true only when the unit took the
// new setting.
bool RunDataFolderDialog(QWidget* parent, Settings& settings, UserMessages& messages);
bool RunCommentSettingsDialog(QWidget* parent, Settings& settings, UserMessages& messages);
bool RunCommentCheck(QWidget* parent, Settings& settings, UserMessages& messages);
bool RunAutoStartDialog(QWidget* parent, Settings& settings, UserMessages& messages);
bool RunBuzzerDialog(QWidget* parent, const Settings& settings, UnitLinkState& link,
                     UserMessages& messages);

}  // namespace velrix
