#pragma once
// The key help (キー操作の説明), template 145: the keys of the trend screen as
// static texts, closed with OK. Its cancel button exists but is hidden.

#include <QDialog>
#include <QStringList>

class QPushButton;

namespace velrix {

inline constexpr char kKeyHelpDialogTitle[] = "キー操作の説明";

class CDlg_hlp_key : public QDialog {
 public:
  explicit CDlg_hlp_key(QWidget* parent = nullptr);

  // The static texts in the order they are shown.
  QStringList Lines() const;
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }

 private:
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

// The menu command "キー操作の説明(&K)": shows the help modally.
void RunKeyHelpDialog(QWidget* parent);

}  // namespace velrix
