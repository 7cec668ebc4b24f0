#include "datafile/ui/file_dialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>
#include <QVBoxLayout>

#include "datafile/data_file_writer.h"
#include "platform/cp932.h"
#include "platform/file_bytes.h"
#include "settings/ui/dialog_support.h"

namespace velrix {
namespace {

// File selection.
constexpr int kDirectButtonId = 1008;
constexpr int kConditionButtonId = 1009;
constexpr char kDirectText[] = "直接ファイル指定";
constexpr char kConditionText[] = "条件設定";
constexpr char kOkText[] = "OK";
constexpr char kCancelText[] = "キャンセル";

// The open-file dialog.
constexpr char kOpenFileTitle[] = "開く";
constexpr char kDataFileSuffix[] = "csv";

// Conditions.
constexpr char kDateTimeLabel[] = "測定日時（開始年は必須、以降は未入力可）";
constexpr int kFirstComboId = 1009;  // start year; the other nine follow in list order
constexpr int kComputerNameEditId = 1019;
constexpr int kUnitNumberEditId = 1020;
constexpr int kCommentEditId = 1021;
constexpr char kComputerNameLabel[] = "コンピュータ名";
constexpr char kUnitNumberLabel[] = "ユニット番号";
constexpr char kCommentLabel[] = "コメント";
// The unit after each field; the start's last one leads on to the end.
constexpr const char* kStartUnits[5] = {"年", "月", "日", "時", "分　～"};
constexpr const char* kEndUnits[5] = {"年", "月", "日", "時", "分"};
constexpr int kFieldsPerSide = 5;

// A filter edit holds no more than a file's header line can: 127 bytes in
// CP932, so what the user sees is what is compared. (Characters CP932 cannot
// hold take no bytes there; the length limit keeps those in bounds too.)
class HeaderTextLimit final : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int&) const override {
    const std::string text = ToUtf8(input);
    return CutUtf8ToCp932Bytes(text, kHeaderTextMaxBytes) == text ? Acceptable : Invalid;
  }
};

QLineEdit* NewFilterEdit(int id, const std::string& text, QObject* owner) {
  QLineEdit* edit = NewIdEdit(id, QUtf8(text));
  edit->setMaxLength(static_cast<int>(kHeaderTextMaxBytes));
  edit->setValidator(new HeaderTextLimit(owner));
  return edit;
}

QComboBox* NewConditionCombo(int id, const std::vector<std::string>& entries, int choice) {
  auto* combo = new QComboBox;
  combo->setObjectName(IdName(id));
  combo->setEditable(true);
  // What is typed stays as typed: no entry is added, none completed.
  combo->setInsertPolicy(QComboBox::NoInsert);
  combo->setCompleter(nullptr);
  for (const std::string& entry : entries) combo->addItem(QUtf8(entry));
  combo->setCurrentIndex(choice);  // -1 shows an empty field
  return combo;
}

QPushButton* NewIdButton(int id, const char* text) {
  auto* button = new QPushButton(QUtf8(text));
  button->setObjectName(IdName(id));
  return button;
}

// Qt remembers the folder it showed last and falls back on it for a start
// folder that does not exist; the nearest existing parent is closer to what
// the user asked for.
std::string NearestExistingFolder(std::string folder) {
  while (!folder.empty() && !IsFolder(folder)) {
    const std::size_t slash = folder.find_last_of('/');
    folder = slash == std::string::npos ? std::string() : folder.substr(0, slash);
  }
  return folder.empty() ? std::string("/") : folder;
}

}  // namespace

void WaitCursor::Begin() { QApplication::setOverrideCursor(Qt::WaitCursor); }
void WaitCursor::End() { QApplication::restoreOverrideCursor(); }

// Qt's own dialog rather than the desktop's: the desktop's may answer
// through a document portal with a path that stands for the file alone,
// whose folder then holds none of its neighbours for the navigation's
// reloads; it may not run at all for root or without a desktop session; and
// Qt's is the same on every system and under the offscreen tests.
std::string ChooseDataFile(QWidget* parent, const std::string& startFolder) {
  QFileDialog dialog(parent, QUtf8(kOpenFileTitle), QUtf8(NearestExistingFolder(startFolder)));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(QUtf8(kDataFileSuffix));
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList chosen = dialog.selectedFiles();
  return chosen.isEmpty() ? std::string() : ToUtf8(chosen.front());
}

// Conditions

CDlg_f_cond::CDlg_f_cond(FileOpenRoute& route, QWidget* parent)
    : QDialog(parent),
      route_(route),
      messages_(route.messages, static_cast<QWidget*>(this)),
      lists_(ConditionListsFor(YearFolders(route.settings.dataFolder))) {
  setWindowTitle(QUtf8(kConditionDialogTitle));
  const ConditionForm form =
      FillConditionForm(route_.selection, lists_, route_.clock.LocalNow().year);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QUtf8(kDateTimeLabel)));
  auto* dates = new QGridLayout;
  for (int i = 0; i < kConditionLists; ++i) {
    const int row = i / kFieldsPerSide;
    const int column = (i % kFieldsPerSide) * 2;
    combos_[i] = NewConditionCombo(kFirstComboId + i, lists_.entries[i], form.choice[i]);
    dates->addWidget(combos_[i], row, column);
    const char* unit = row == 0 ? kStartUnits[i % kFieldsPerSide] : kEndUnits[i % kFieldsPerSide];
    dates->addWidget(new QLabel(QUtf8(unit)), row, column + 1);
  }
  layout->addLayout(dates);

  auto* filters = new QFormLayout;
  computerName_ = NewFilterEdit(kComputerNameEditId, form.computerName, this);
  unitNumber_ = NewFilterEdit(kUnitNumberEditId, form.unitNumber, this);
  comment_ = NewFilterEdit(kCommentEditId, form.comment, this);
  filters->addRow(QUtf8(kComputerNameLabel), computerName_);
  filters->addRow(QUtf8(kUnitNumberLabel), unitNumber_);
  filters->addRow(QUtf8(kCommentLabel), comment_);
  layout->addLayout(filters);
  layout->addLayout(NewOkCancelRow(this, &ok_, &cancel_));
  combos_[kStartYearList]->setFocus();
}

QComboBox* CDlg_f_cond::Combo(int id) const { return FindById<QComboBox>(this, id); }
QLineEdit* CDlg_f_cond::Edit(int id) const { return FindById<QLineEdit>(this, id); }

ConditionForm CDlg_f_cond::ReadForm() const {
  ConditionForm form;
  for (int i = 0; i < kConditionLists; ++i) form.text[i] = ToUtf8(combos_[i]->currentText());
  form.computerName = ToUtf8(computerName_->text());
  form.unitNumber = ToUtf8(unitNumber_->text());
  form.comment = ToUtf8(comment_->text());
  return form;
}

void CDlg_f_cond::accept() {
  WaitCursor waitCursor;
  const ReaderEnv reader{route_.messages, route_.clock};
  const OpenLoad load{route_.history, route_.selection, route_.settings.dataFolder, reader,
                      waitCursor};
  if (AcceptConditionForm(ReadForm(), lists_, load, messages_, &span_) ==
      ConditionOutcome::Loaded) {
    QDialog::accept();
  }
}

// File selection

CDlg_f_op::CDlg_f_op(FileOpenRoute& route, QWidget* parent, FileChooser chooser)
    : QDialog(parent), route_(route), chooser_(chooser ? std::move(chooser) : ChooseDataFile) {
  setWindowTitle(QUtf8(kFileSelectionDialogTitle));
  auto* layout = new QVBoxLayout(this);
  direct_ = NewIdButton(kDirectButtonId, kDirectText);
  condition_ = NewIdButton(kConditionButtonId, kConditionText);
  layout->addWidget(direct_);
  layout->addWidget(condition_);
  auto* row = new QHBoxLayout;
  row->addStretch();
  ok_ = NewIdButton(kOkButtonId, kOkText);
  ok_->setAutoDefault(false);
  ok_->hide();
  cancel_ = NewIdButton(kCancelButtonId, kCancelText);
  row->addWidget(ok_);
  row->addWidget(cancel_);
  layout->addLayout(row);
  connect(direct_, &QPushButton::clicked, this, [this] { ChooseDirectly(); });
  connect(condition_, &QPushButton::clicked, this, [this] { SetConditions(); });
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void CDlg_f_op::ChooseDirectly() {
  const std::string path = chooser_(this, route_.settings.dataFolder);
  WaitCursor waitCursor;
  const ReaderEnv reader{route_.messages, route_.clock};
  const OpenLoad load{route_.history, route_.selection, route_.settings.dataFolder, reader,
                      waitCursor};
  if (!AcceptChosenFile(path, load, &span_)) return;
  loaded_ = true;
  directPath_ = path;
  accept();
}

void CDlg_f_op::SetConditions() {
  CDlg_f_cond conditions(route_, this);
  if (conditions.exec() != QDialog::Accepted) return;
  loaded_ = true;
  span_ = conditions.Span();
  accept();
}

// Entry for the shell

bool RunFileOpenDialog(FileOpenRoute& route, int* spanChosen, std::string* directPath) {
  CDlg_f_op dialog(route, route.parent);
  dialog.exec();
  if (!dialog.Loaded()) return false;
  *spanChosen = dialog.Span();
  *directPath = dialog.DirectPath();
  return true;
}

}  // namespace velrix
