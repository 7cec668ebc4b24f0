#include "measure/ui/warning_dialog.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "settings/ui/dialog_support.h"

namespace velrix {
namespace {

constexpr int kFirstLimitEditId = 1019;
constexpr int kSoundBoxId = 1025;
constexpr const char* kLimitLabels[kWarningLimitCount] = {
    "現在値(μSv/h)", "平均値(μSv/h)", "1時間値(μSv/h)",
    "積算(μSv)",     "予測１日(μSv)", "予測１年(μSv)",
};
constexpr char kExplanation[] = "この設定値以上になると警告表示を行います。";
constexpr char kZeroExplanation[] = "（0のときは、警告表示しません。）";
constexpr char kSoundText[] = "警告音を鳴らす";

}  // namespace

CDlg_warning::CDlg_warning(Settings& settings, UserMessages& messages, QWidget* parent)
    : QDialog(parent), settings_(settings), messages_(messages, static_cast<QWidget*>(this)) {
  setWindowTitle(QUtf8(kWarningDialogTitle));
  auto* layout = new QVBoxLayout(this);
  auto* fields = new QFormLayout;
  const WarningForm form = FillWarningForm(settings_.warning);
  for (int i = 0; i < kWarningLimitCount; ++i) {
    limits_[i] = NewIdEdit(kFirstLimitEditId + i, QUtf8(form.limitTexts[i]));
    fields->addRow(QUtf8(kLimitLabels[i]), limits_[i]);
  }
  layout->addLayout(fields);
  layout->addWidget(new QLabel(QUtf8(kExplanation)));
  layout->addWidget(new QLabel(QUtf8(kZeroExplanation)));
  sound_ = NewIdCheckBox(kSoundBoxId, QUtf8(kSoundText));
  sound_->setChecked(form.soundTicked);
  layout->addWidget(sound_);
  layout->addLayout(NewOkCancelRow(this, &ok_, &cancel_));
  limits_[0]->setFocus();
}

QLineEdit* CDlg_warning::LimitEdit(int id) const {
  const int i = id - kFirstLimitEditId;
  return i >= 0 && i < kWarningLimitCount ? limits_[i] : nullptr;
}

WarningForm CDlg_warning::ReadForm() const {
  WarningForm form;
  for (int i = 0; i < kWarningLimitCount; ++i) form.limitTexts[i] = ToUtf8(limits_[i]->text());
  form.soundTicked = sound_->isChecked();
  return form;
}

void CDlg_warning::accept() {
  if (AcceptWarningForm(ReadForm(), settings_, messages_)) QDialog::accept();
}

bool RunWarningDialog(QWidget* parent, Settings& settings, UserMessages& messages) {
  CDlg_warning dialog(settings, messages, parent);
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace velrix
