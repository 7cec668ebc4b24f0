#include "link/ui/link_dialogs.h"

#include <algorithm>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "settings/ui/dialog_support.h"

namespace velrix {
namespace {

// COM number.
constexpr int kComEditId = 1019;
constexpr char kComText1[] = "ユニットと通信を行うCOM番号を設定してください。";
constexpr char kComText2[] = "（通常は自動的に設定されます。）";
constexpr char kComLabel[] = "COM";

// Retries.
constexpr int kFirstModeId = 1000;
constexpr int kMaxRetriesEditId = 1019;
constexpr char kModeGroupTitle[] = "リトライモード";
constexpr const char* kModeTexts[kRetryModeChoices] = {"リトライ禁止", "指定回数リトライ",
                                                       "無限リトライ"};
constexpr char kMaxRetriesLabel[] = "最大リトライ回数(1～9999)";

// Power settings.
constexpr int kIntervalEditId = 1019;
constexpr int kIntervalEditLength = 2;
constexpr int kUnitComboId = 1009;
constexpr const char* kUnitTexts[] = {"秒", "分"};
constexpr const char* kEnabledTexts[] = {"禁止", "許可"};
constexpr char kIntervalLabel[] = "電源状態読み取り間隔(1～60)";
constexpr const char* kExplanation[] = {
    "下記イベント発生時のイベント処理の禁止/許可と、",
    "イベント発生検知から処理実行までの遅延時間、ポップアップ表示有効を設定します。"};
constexpr const char* kColumnHeads[] = {"イベント", "禁止/許可", "遅延時間",
                                        "ポップアップ有効設定"};
constexpr char kAtEventHead[] = "イベント発生時";
constexpr char kAtExecutionHead[] = "処理実行時";
constexpr char kPopupBoxText[] = "オン1";
constexpr const char* kFooter[] = {"遅延時間：バッテリーイベントの場合は1分～60分、",
                                   "　　　　　　ソーラーパネルイベントの場合は1秒～1000秒"};

struct PowerRowLayout {
  const char* label;
  int event;  // index in the stored order
  int comboId;
  int delayId;
  int delayLength;
  const char* unitLabel;
  int atEventId;
  int atExecutionId;
};

// In the order the dialog shows them.
constexpr PowerRowLayout kPowerRows[kPowerEvents] = {
    {"ﾊﾞｯﾃﾘｰ電圧低下時供給停止", kBatteryLow, 1012, 1022, 2, "(分)", 1027, 1031},
    {"ﾊﾞｯﾃﾘｰ電圧回復時供給開始", kBatteryRecovery, 1013, 1023, 2, "(分)", 1028, 1032},
    {"ｿｰﾗｰﾊﾟﾈﾙ電圧低下時充電停止", kSolarLow, 1010, 1020, 4, "(秒)", 1025, 1029},
    {"ｿｰﾗｰﾊﾟﾈﾙ電圧回復時充電開始", kSolarRecovery, 1011, 1021, 4, "(秒)", 1026, 1030},
};

QComboBox* NewIdCombo(int id, const char* const* texts, int count, int choice) {
  auto* combo = new QComboBox;
  combo->setObjectName(IdName(id));
  for (int i = 0; i < count; ++i) combo->addItem(QUtf8(texts[i]));
  combo->setCurrentIndex(choice);  // -1 shows nothing
  return combo;
}

}  // namespace

// COM number

CDlg_usb_com::CDlg_usb_com(const Settings& settings, UnitLinkState& link, UserMessages& messages,
                           QWidget* parent)
    : QDialog(parent), settings_(settings), link_(link), messages_(messages, static_cast<QWidget*>(this)) {
  setWindowTitle(QUtf8(kComNumberDialogTitle));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QUtf8(kComText1)));
  layout->addWidget(new QLabel(QUtf8(kComText2)));
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(QUtf8(kComLabel)));
  number_ = NewIdEdit(kComEditId, QUtf8(FillComNumberForm(link_).numberText));
  row->addWidget(number_);
  row->addStretch();
  layout->addLayout(row);
  layout->addLayout(NewOkCancelRow(this, &ok_, &cancel_));
  number_->setFocus();
}

void CDlg_usb_com::accept() {
  if (AcceptComNumberForm({ToUtf8(number_->text())}, settings_, link_, messages_))
    QDialog::accept();
}

// Retries

CDlg_com_rty::CDlg_com_rty(const Settings& settings, UnitLinkState& link, UserMessages& messages,
                           QWidget* parent)
    : QDialog(parent), settings_(settings), link_(link), messages_(messages, static_cast<QWidget*>(this)) {
  setWindowTitle(QUtf8(kRetryDialogTitle));
  auto* layout = new QVBoxLayout(this);
  auto* group = new QGroupBox(QUtf8(kModeGroupTitle));
  auto* groupLayout = new QVBoxLayout(group);
  modeGroup_ = new QButtonGroup(this);
  for (int i = 0; i < kRetryModeChoices; ++i) {
    modes_[i] = new QRadioButton(QUtf8(kModeTexts[i]));
    modes_[i]->setObjectName(IdName(kFirstModeId + i));
    modeGroup_->addButton(modes_[i], i);
    groupLayout->addWidget(modes_[i]);
  }
  layout->addWidget(group);
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(QUtf8(kMaxRetriesLabel)));
  maxRetries_ = NewIdEdit(kMaxRetriesEditId);
  row->addWidget(maxRetries_);
  layout->addLayout(row);
  layout->addLayout(NewOkCancelRow(this, &ok_, &cancel_));

  const RetryForm form = FillRetryForm(link_);
  maxRetries_->setText(QUtf8(form.maxRetriesText));
  maxRetries_->setEnabled(RetryEditEnabled(form.modeChoice));
  if (form.modeChoice >= 0) modes_[form.modeChoice]->setChecked(true);
  modes_[form.modeChoice >= 0 ? form.modeChoice : 0]->setFocus();
  connect(modeGroup_, &QButtonGroup::idClicked, this,
          [this](int choice) { maxRetries_->setEnabled(RetryEditEnabled(choice)); });
}

QRadioButton* CDlg_com_rty::ModeRadio(int id) const {
  const int i = id - kFirstModeId;
  return i >= 0 && i < kRetryModeChoices ? modes_[i] : nullptr;
}

RetryForm CDlg_com_rty::ReadForm() const {
  RetryForm form;
  form.modeChoice = -1;
  for (int i = 0; i < kRetryModeChoices && form.modeChoice < 0; ++i)
    if (modes_[i]->isChecked()) form.modeChoice = i;
  form.maxRetriesText = ToUtf8(maxRetries_->text());
  return form;
}

void CDlg_com_rty::accept() {
  if (AcceptRetryForm(ReadForm(), settings_, link_, messages_)) QDialog::accept();
}

// Power settings

// The edits limit what the user types, but a value from POWevent.def that is
// longer must reach the OK checks whole: cut to the limit, "120" would
// silently become a valid "12".
static int EditLimitKeeping(int limit, const QString& shown) {
  return std::max(limit, static_cast<int>(shown.size()));
}

CDlg_power::CDlg_power(Settings& settings, UnitLinkState& link, UserMessages& messages,
                       QWidget* parent)
    : QDialog(parent), settings_(settings), link_(link), messages_(messages, static_cast<QWidget*>(this)) {
  setWindowTitle(QUtf8(kPowerDialogTitle));
  const PowerForm form = FillPowerForm(settings_.power);
  auto* layout = new QVBoxLayout(this);

  auto* intervalRow = new QHBoxLayout;
  intervalRow->addWidget(new QLabel(QUtf8(kIntervalLabel)));
  interval_ = NewIdEdit(kIntervalEditId, QUtf8(form.intervalText));
  interval_->setMaxLength(EditLimitKeeping(kIntervalEditLength, interval_->text()));
  intervalRow->addWidget(interval_);
  unit_ = NewIdCombo(kUnitComboId, kUnitTexts, 2, form.unitChoice);
  intervalRow->addWidget(unit_);
  intervalRow->addStretch();
  layout->addLayout(intervalRow);
  for (const char* line : kExplanation) layout->addWidget(new QLabel(QUtf8(line)));

  auto* grid = new QGridLayout;
  for (int c = 0; c < 3; ++c) grid->addWidget(new QLabel(QUtf8(kColumnHeads[c])), 0, c, 2, 1);
  grid->addWidget(new QLabel(QUtf8(kColumnHeads[3])), 0, 4, 1, 2);
  grid->addWidget(new QLabel(QUtf8(kAtEventHead)), 1, 4);
  grid->addWidget(new QLabel(QUtf8(kAtExecutionHead)), 1, 5);
  int gridRow = 2;
  for (const PowerRowLayout& shown : kPowerRows) {
    const PowerRowForm& values = form.rows[shown.event];
    Row& row = rows_[shown.event];
    row.enabled = NewIdCombo(shown.comboId, kEnabledTexts, 2, values.enabledChoice);
    row.delay = NewIdEdit(shown.delayId, QUtf8(values.delayText));
    row.delay->setMaxLength(EditLimitKeeping(shown.delayLength, row.delay->text()));
    row.atEvent = NewIdCheckBox(shown.atEventId, QUtf8(kPopupBoxText));
    row.atEvent->setChecked(values.popupAtEvent);
    row.atExecution = NewIdCheckBox(shown.atExecutionId, QUtf8(kPopupBoxText));
    row.atExecution->setChecked(values.popupAtExecution);
    grid->addWidget(new QLabel(QUtf8(shown.label)), gridRow, 0);
    grid->addWidget(row.enabled, gridRow, 1);
    grid->addWidget(row.delay, gridRow, 2);
    grid->addWidget(new QLabel(QUtf8(shown.unitLabel)), gridRow, 3);
    grid->addWidget(row.atEvent, gridRow, 4);
    grid->addWidget(row.atExecution, gridRow, 5);
    ++gridRow;
    EnableRow(row);
    const int event = shown.event;
    connect(row.enabled, &QComboBox::currentIndexChanged, this,
            [this, event] { EnableRow(rows_[event]); });
  }
  layout->addLayout(grid);
  for (const char* line : kFooter) layout->addWidget(new QLabel(QUtf8(line)));
  layout->addLayout(NewOkCancelRow(this, &ok_, &cancel_));
  interval_->setFocus();
}

void CDlg_power::EnableRow(const Row& row) {
  const bool enabled = PowerRowEnabled(row.enabled->currentIndex());
  row.delay->setEnabled(enabled);
  row.atEvent->setEnabled(enabled);
  row.atExecution->setEnabled(enabled);
}

QLineEdit* CDlg_power::Edit(int id) const { return FindById<QLineEdit>(this, id); }
QComboBox* CDlg_power::Combo(int id) const { return FindById<QComboBox>(this, id); }
QCheckBox* CDlg_power::CheckBox(int id) const { return FindById<QCheckBox>(this, id); }

PowerForm CDlg_power::ReadForm() const {
  PowerForm form;
  form.intervalText = ToUtf8(interval_->text());
  form.unitChoice = unit_->currentIndex();
  for (int e = 0; e < kPowerEvents; ++e) {
    form.rows[e].enabledChoice = rows_[e].enabled->currentIndex();
    form.rows[e].delayText = ToUtf8(rows_[e].delay->text());
    form.rows[e].popupAtEvent = rows_[e].atEvent->isChecked();
    form.rows[e].popupAtExecution = rows_[e].atExecution->isChecked();
  }
  return form;
}

void CDlg_power::accept() {
  if (AcceptPowerForm(ReadForm(), settings_, link_, messages_)) QDialog::accept();
}

// Entries for the shell

bool RunComNumberDialog(QWidget* parent, const Settings& settings, UnitLinkState& link,
                        UserMessages& messages) {
  CDlg_usb_com dialog(settings, link, messages, parent);
  return dialog.exec() == QDialog::Accepted;
}

bool RunRetryDialog(QWidget* parent, const Settings& settings, UnitLinkState& link,
                    UserMessages& messages) {
  CDlg_com_rty dialog(settings, link, messages, parent);
  return dialog.exec() == QDialog::Accepted;
}

bool RunPowerDialog(QWidget* parent, Settings& settings, UnitLinkState& link,
                    UserMessages& messages) {
  CDlg_power dialog(settings, link, messages, parent);
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace velrix
