#pragma once
// The dialogs of the open command: the file selection CDlg_f_op (dialog 132)
// offers the direct choice of one file and the condition dialog CDlg_f_cond
// (dialog 133), which searches the dated folder tree. Their logic is in
// file_forms.h; controls are named by their resource ids.

#include <QDialog>

#include <functional>
#include <string>

#include "datafile/file_history.h"
#include "datafile/file_selection.h"
#include "datafile/ui/file_forms.h"
#include "platform/clock.h"
#include "platform/user_messages.h"
#include "settings/settings.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace velrix {

inline constexpr char kFileSelectionDialogTitle[] = "ファイル選択";
inline constexpr char kConditionDialogTitle[] = "ファイル選択条件";

// The wait cursor over the whole application while a load runs: the open
// command's loads and the trend navigation's reloads.
class WaitCursor final : public BusyIndicator {
 public:
  void Begin() override;
  void End() override;
};

// What the open command works on; all of it belongs to the view and lives
// for the whole run of the program.
struct FileOpenRoute {
  QWidget* parent;           // the main window
  FileHistory& history;      // loaded by either choice
  FileSelection& selection;  // remembered choices, filters, the search folder
  const Settings& settings;  // the data folder
  UserMessages& messages;    // the program's sink; the reader's boxes stand alone
  const Clock& clock;        // the current year; local time of the file names
};

// Asks for one file to open, starting in startFolder: its full path, or an
// empty text when the user chose none.
using FileChooser = std::function<std::string(QWidget* parent, const std::string& startFolder)>;

// Qt's own open-file dialog, modal over parent: existing files only, no type
// filter, "csv" added to a name typed without a suffix. A start folder that
// does not exist yet (the first measurement makes the data folder) opens at
// its nearest existing parent.
std::string ChooseDataFile(QWidget* parent, const std::string& startFolder);

// The conditions. OK searches and closes the dialog only when files were
// loaded; a failing field or an empty result keeps it open.
class CDlg_f_cond : public QDialog {
 public:
  explicit CDlg_f_cond(FileOpenRoute& route, QWidget* parent = nullptr);

  QComboBox* Combo(int id) const;  // 1009-1018
  QLineEdit* Edit(int id) const;   // 1019-1021
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }
  int Span() const { return span_; }  // the trend span, once accepted

  void accept() override;

 private:
  ConditionForm ReadForm() const;

  FileOpenRoute& route_;
  MessagesOver messages_;  // the checks' boxes stand over this dialog
  ConditionLists lists_;
  QComboBox* combos_[kConditionLists] = {};
  QLineEdit* computerName_ = nullptr;
  QLineEdit* unitNumber_ = nullptr;
  QLineEdit* comment_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
  int span_ = 0;
};

// The file selection. It closes itself after a successful load (its OK
// button is there but hidden); cancel closes it with nothing loaded.
class CDlg_f_op : public QDialog {
 public:
  explicit CDlg_f_op(FileOpenRoute& route, QWidget* parent = nullptr, FileChooser chooser = {});

  QPushButton* DirectButton() const { return direct_; }        // 1008
  QPushButton* ConditionButton() const { return condition_; }  // 1009
  QPushButton* OkButton() const { return ok_; }                // 1, hidden
  QPushButton* CancelButton() const { return cancel_; }        // 2

  // After the dialog closed: whether files were loaded, the trend span for
  // them, and the file chosen directly (empty after a condition search).
  bool Loaded() const { return loaded_; }
  int Span() const { return span_; }
  const std::string& DirectPath() const { return directPath_; }

 private:
  void ChooseDirectly();
  void SetConditions();

  FileOpenRoute& route_;
  FileChooser chooser_;
  QPushButton* direct_ = nullptr;
  QPushButton* condition_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
  bool loaded_ = false;
  int span_ = 0;
  std::string directPath_;
};

// Command 32773: runs the file selection modally over route.parent. True
// when files were loaded, with the trend span (0 = 1 minute ... 6 = 10 years)
// and the directly chosen path (empty after a condition search). A false
// return may still follow an attempt that reset the file history.
bool RunFileOpenDialog(FileOpenRoute& route, int* spanChosen, std::string* directPath);

}  // namespace velrix
