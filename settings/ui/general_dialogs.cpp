#include "settings/ui/general_dialogs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "settings/ui/dialog_support.h"

namespace velrix {
namespace {

// Data folder.
constexpr char kDataFolderLabel[] = "測定データを保存する\"Velrix\"フォルダの場所を設定してください。";
constexpr int kFolderEditId = 1019;
constexpr int kBrowseButtonId = 1008;
constexpr char kBrowseText[] = "参照";

// Comment settings and comment check.
constexpr int kComputerNameEditId = 1019;
constexpr int kUnitNumberEditId = 1020;
constexpr int kCommentEditId = 1021;
constexpr int kCheckCommentEditId = 1019;
constexpr char kComputerNameLabel[] = "コンピュータ名";
constexpr char kUnitNumberLabel[] = "ユニット番号";
constexpr char kCommentLabel[] = "コメント（設置場所等）";
constexpr const char* kCommentCheckLines[] = {
    "現在のデータファイルのコメント(測定場所等)は、下記の通りです。",
    "必要であればコメントを変更してください。",
    "よろしいですか？",
    "OKをクリックすると測定を開始します。",
};

// Automatic start.
constexpr int kAutoStartBoxId = 1020;
constexpr char kAutoStartText[] = "自動的に測定を開始";

// Detection buzzer.
constexpr char kBuzzerLabel[] = "ユニット部検知ブザーのON/OFFを設定します。";
constexpr int kBuzzerOnId = 1000;
constexpr int kBuzzerOffId = 1001;
constexpr char kBuzzerOnText[] = "ON";
constexpr char kBuzzerOffText[] = "OFF";

}  // namespace

// Data folder

CDlg_df_set::CDlg_df_set(Settings& settings, UserQuestions& questions, UserMessages& messages,
                         QWidget* parent)
    : QDialog(parent), settings_(settings), questions_(questions), messages_(messages, static_cast<QWidget*>(this)) {
  setWindowTitle(QUtf8(kDataFolderDialogTitle));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QUtf8(kDataFolderLabel)));
  auto* row = new QHBoxLayout;
  folder_ = NewIdEdit(kFolderEditId);
  browse_ = new QPushButton(QUtf8(kBrowseText));
  browse_->setObjectName(IdName(kBrowseButtonId));
  browse_->setAutoDefault(false);
  row->addWidget(folder_, 1);
  row->addWidget(browse_);
  layout->addLayout(row);
  layout->addLayout(NewOkCancelRow(this, &ok_, &cancel_));
  connect(browse_, &QPushButton::clicked, this, [this] { Browse(); });

  folder_->setText(QUtf8(FillDataFolderForm(settings_).folderText));
  folder_->setFocus();
}

void CDlg_df_set::accept() {
  const DataFolderForm form{ToUtf8(folder_->text())};
  if (AcceptDataFolderForm(form, browseOpen_, settings_, questions_, messages_)) QDialog::accept();
}

void CDlg_df_set::reject() {
  if (CancelDataFolderDialog(browseOpen_, messages_)) QDialog::reject();
}

void CDlg_df_set::Browse() {
  if (browseOpen_) return;
  browseOpen_ = true;
  // A window of its own, not modal, so this dialog stays usable beside it;
  // as this dialog's child it is not blocked by this dialog's modality.
  browser_ = new QFileDialog(this, QUtf8(kFolderBrowserTitle),
                             QUtf8(BrowseStartFolder(settings_)));
  browser_->setWindowModality(Qt::NonModal);
  browser_->setFileMode(QFileDialog::Directory);
  browser_->setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
  connect(browser_, &QFileDialog::finished, this, [this](int result) { BrowserFinished(result); });
  browser_->show();
}

void CDlg_df_set::BrowserFinished(int result) {
  QFileDialog* browser = browser_;
  browseOpen_ = false;
  browser_ = nullptr;
  if (browser == nullptr) return;
  const QStringList chosen = browser->selectedFiles();
  browser->deleteLater();
  if (result != QDialog::Accepted || chosen.isEmpty() || chosen.front().isEmpty()) return;
  folder_->setText(QUtf8(BrowsedFolderText(ToUtf8(chosen.front()))));
  folder_->setFocus();
}

// Comment settings

CDlg_cond_set::CDlg_cond_set(Settings& settings, UserMessages& messages, QWidget* parent)
    : QDialog(parent), settings_(settings), messages_(messages, static_cast<QWidget*>(this)) {
  setWindowTitle(QUtf8(kCommentDialogTitle));
  auto* layout = new QVBoxLayout(this);
  auto* fields = new QFormLayout;
  computerName_ = NewIdEdit(kComputerNameEditId);
  unitNumber_ = NewIdEdit(kUnitNumberEditId);
  comment_ = NewIdEdit(kCommentEditId);
  fields->addRow(QUtf8(kComputerNameLabel), computerName_);
  fields->addRow(QUtf8(kUnitNumberLabel), unitNumber_);
  fields->addRow(QUtf8(kCommentLabel), comment_);
  layout->addLayout(fields);
  layout->addLayout(NewOkCancelRow(this, &ok_, &cancel_));

  const CommentForm form = FillCommentForm(settings_);
  computerName_->setText(QUtf8(form.computerName));
  unitNumber_->setText(QUtf8(form.unitNumber));
  comment_->setText(QUtf8(form.comment));
  computerName_->setFocus();
}

QLineEdit* CDlg_cond_set::Edit(int id) const { return FindById<QLineEdit>(this, id); }

void CDlg_cond_set::accept() {
  const CommentForm form{ToUtf8(computerName_->text()), ToUtf8(unitNumber_->text()),
                         ToUtf8(comment_->text())};
  if (AcceptCommentForm(form, settings_, messages_)) QDialog::accept();
}

// Comment check

CDlg_com_chk::CDlg_com_chk(Settings& settings, UserMessages& messages, QWidget* parent)
    : QDialog(parent), settings_(settings), messages_(messages, static_cast<QWidget*>(this)) {
  setWindowTitle(QUtf8(kCommentCheckDialogTitle));
  auto* layout = new QVBoxLayout(this);
  for (const char* line : kCommentCheckLines) layout->addWidget(new QLabel(QUtf8(line)));
  comment_ = NewIdEdit(kCheckCommentEditId, QUtf8(FillCommentCheckForm(settings_).comment));
  layout->addWidget(comment_);
  layout->addLayout(NewOkCancelRow(this, &ok_, &cancel_));
  comment_->setFocus();
}

void CDlg_com_chk::accept() {
  if (AcceptCommentCheckForm({ToUtf8(comment_->text())}, settings_, messages_)) QDialog::accept();
}

// Automatic start

Dlg_aut_start::Dlg_aut_start(Settings& settings, UserMessages& messages, QWidget* parent)
    : QDialog(parent), settings_(settings), messages_(messages, static_cast<QWidget*>(this)) {
  setWindowTitle(QUtf8(kAutoStartDialogTitle));
  auto* layout = new QVBoxLayout(this);
  box_ = NewIdCheckBox(kAutoStartBoxId, QUtf8(kAutoStartText));
  box_->setChecked(FillAutoStartForm(settings_).ticked);
  layout->addWidget(box_);
  layout->addLayout(NewOkCancelRow(this, &ok_, &cancel_));
  box_->setFocus();
}

void Dlg_aut_start::accept() {
  AcceptAutoStartForm({box_->isChecked()}, settings_, messages_);
  QDialog::accept();
}

// Detection buzzer

CDlg_k_b::CDlg_k_b(const Settings& settings, UnitLinkState& link, UserMessages& messages,
                   QWidget* parent, PauseFn pause)
    : QDialog(parent),
      settings_(settings),
      link_(link),
      messages_(messages, static_cast<QWidget*>(this)),
      pause_(pause ? std::move(pause) : PauseFn(PauseResponsive)) {
  setWindowTitle(QUtf8(kBuzzerDialogTitle));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QUtf8(kBuzzerLabel)));
  auto* row = new QHBoxLayout;
  auto* group = new QButtonGroup(this);
  on_ = new QRadioButton(QUtf8(kBuzzerOnText));
  on_->setObjectName(IdName(kBuzzerOnId));
  off_ = new QRadioButton(QUtf8(kBuzzerOffText));
  off_->setObjectName(IdName(kBuzzerOffId));
  group->addButton(on_, kBuzzerOnId);
  group->addButton(off_, kBuzzerOffId);
  row->addWidget(on_);
  row->addWidget(off_);
  row->addStretch();
  layout->addLayout(row);
  layout->addLayout(NewOkCancelRow(this, &ok_, &cancel_));

  const BuzzerForm form = FillBuzzerForm(link_);
  (form.on ? on_ : off_)->setChecked(true);
  on_->setFocus();
}

void CDlg_k_b::accept() {
  if (waiting_) return;
  waiting_ = true;
  // The wait runs the event loop: keep the user from pressing again or
  // closing the dialog under it.
  ok_->setEnabled(false);
  cancel_->setEnabled(false);
  outcome_ = AcceptBuzzerForm({on_->isChecked()}, settings_, link_, messages_, pause_);
  waiting_ = false;
  ok_->setEnabled(true);
  cancel_->setEnabled(true);
  QDialog::accept();
}

void CDlg_k_b::reject() {
  if (!waiting_) QDialog::reject();
}

// Entries for the shell

bool RunDataFolderDialog(QWidget* parent, Settings& settings, UserMessages& messages) {
  QtQuestions questions;
  CDlg_df_set dialog(settings, questions, messages, parent);
  questions.SetOwner(&dialog);  // the question stands over the dialog it belongs to
  return dialog.exec() == QDialog::Accepted;
}

bool RunCommentSettingsDialog(QWidget* parent, Settings& settings, UserMessages& messages) {
  CDlg_cond_set dialog(settings, messages, parent);
  return dialog.exec() == QDialog::Accepted;
}

bool RunCommentCheck(QWidget* parent, Settings& settings, UserMessages& messages) {
  CDlg_com_chk dialog(settings, messages, parent);
  return dialog.exec() == QDialog::Accepted;
}

bool RunAutoStartDialog(QWidget* parent, Settings& settings, UserMessages& messages) {
  Dlg_aut_start dialog(settings, messages, parent);
  return dialog.exec() == QDialog::Accepted;
}

bool RunBuzzerDialog(QWidget* parent, const Settings& settings, UnitLinkState& link,
                     UserMessages& messages) {
  CDlg_k_b dialog(settings, link, messages, parent);
  return dialog.exec() == QDialog::Accepted && dialog.Outcome() == BuzzerOutcome::Taken;
}

}  // namespace velrix
