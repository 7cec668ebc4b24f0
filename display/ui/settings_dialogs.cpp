#include "display/ui/settings_dialogs.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace velrix {
namespace {

constexpr int kOkId = 1;
constexpr int kCancelId = 2;
constexpr char kOkText[] = "OK";
constexpr char kCancelText[] = "キャンセル";

// Display-unit dialog.
constexpr int kIntegratedFirstId = 1000;
constexpr int kRateFirstId = 1003;
constexpr int kAverageEditId = 1019;
constexpr const char* kIntegratedTexts[] = {"μSv", "mSv", "Counts"};
constexpr const char* kRateTexts[] = {"μSv/h", "mSv/h", "CPS", "CPM"};

// Trend dialog.
constexpr int kSpanFirstId = 1000;
constexpr int kScaleFirstId = 1007;
struct ScaleGroup {
  const char* title;
  int firstScale;
  int count;
};
constexpr ScaleGroup kScaleGroups[] = {
    {"μSv/h", 0, 6}, {"mSv/h", 6, 3}, {"CPS", 9, 5}, {"CPM", 14, 6}};
constexpr const char* kScaleTexts[kTrendScales] = {
    "0.1", "1",  "10",  "100",   "1,000",  "10,000",  "0.1",       "1", "10", "1",
    "10",  "100", "1,000", "10,000", "10", "100", "1,000", "10,000", "100,000", "1,000,000"};

QString Utf8(const char* text) { return QString::fromUtf8(text); }

QString IdName(int id) { return QString::number(id); }

QRadioButton* AddRadio(std::map<int, QRadioButton*>& radios, QButtonGroup* group, int id,
                       const char* text, QLayout* layout) {
  auto* radio = new QRadioButton(Utf8(text));
  radio->setObjectName(IdName(id));
  group->addButton(radio, id);
  layout->addWidget(radio);
  radios[id] = radio;
  return radio;
}

// The first checked radio of ids first .. first+count-1, as an index; -1 none.
int FirstChecked(const std::map<int, QRadioButton*>& radios, int first, int count) {
  for (int i = 0; i < count; ++i) {
    const auto it = radios.find(first + i);
    if (it != radios.end() && it->second->isChecked()) return i;
  }
  return -1;
}

void Check(const std::map<int, QRadioButton*>& radios, int first, int choice) {
  if (choice < 0) return;
  const auto it = radios.find(first + choice);
  if (it != radios.end()) it->second->setChecked(true);
}

QHBoxLayout* OkCancelRow(QDialog* dialog, QPushButton*& ok, QPushButton*& cancel) {
  auto* row = new QHBoxLayout;
  row->addStretch();
  ok = new QPushButton(Utf8(kOkText));
  ok->setObjectName(IdName(kOkId));
  ok->setDefault(true);
  cancel = new QPushButton(Utf8(kCancelText));
  cancel->setObjectName(IdName(kCancelId));
  row->addWidget(ok);
  row->addWidget(cancel);
  QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
  return row;
}

}  // namespace

CDlgDspSet::CDlgDspSet(DisplayUnitSettings& settings, UserMessages& messages, SaveFn save,
                       QWidget* parent)
    : QDialog(parent), settings_(settings), messages_(messages, static_cast<QWidget*>(this)), save_(std::move(save)) {
  setWindowTitle(Utf8(kDisplayUnitDialogTitle));
  auto* layout = new QVBoxLayout(this);

  auto* integrated = new QGroupBox(Utf8("積算値、予測値"));
  auto* integratedRow = new QHBoxLayout(integrated);
  integratedGroup_ = new QButtonGroup(this);
  for (int i = 0; i < 3; ++i)
    AddRadio(radios_, integratedGroup_, kIntegratedFirstId + i, kIntegratedTexts[i],
             integratedRow);
  layout->addWidget(integrated);

  auto* rate = new QGroupBox(Utf8("現在値、平均値"));
  auto* rateRow = new QHBoxLayout(rate);
  rateGroup_ = new QButtonGroup(this);
  for (int i = 0; i < 4; ++i)
    AddRadio(radios_, rateGroup_, kRateFirstId + i, kRateTexts[i], rateRow);
  layout->addWidget(rate);

  auto* averageRow = new QHBoxLayout;
  averageRow->addWidget(new QLabel(Utf8("平均値算出秒数")));
  average_ = new QLineEdit;
  average_->setObjectName(IdName(kAverageEditId));
  averageRow->addWidget(average_);
  layout->addLayout(averageRow);
  layout->addLayout(OkCancelRow(this, ok_, cancel_));

  // Opening: the current settings, focus on the first radio.
  const DisplayUnitForm form = FillDisplayUnitForm(settings_);
  Check(radios_, kIntegratedFirstId, form.integratedChoice);
  Check(radios_, kRateFirstId, form.rateChoice);
  average_->setText(QString::fromStdString(form.averageText));
  radios_[kIntegratedFirstId]->setFocus();
}

QRadioButton* CDlgDspSet::Radio(int id) const {
  const auto it = radios_.find(id);
  return it == radios_.end() ? nullptr : it->second;
}

DisplayUnitForm CDlgDspSet::ReadForm() const {
  DisplayUnitForm form;
  form.integratedChoice = FirstChecked(radios_, kIntegratedFirstId, 3);
  form.rateChoice = FirstChecked(radios_, kRateFirstId, 4);
  form.averageText = average_->text().toStdString();
  return form;
}

void CDlgDspSet::accept() {
  if (!AcceptDisplayUnitForm(ReadForm(), settings_, messages_)) return;
  if (save_) save_(settings_);
  QDialog::accept();
}

CDlgTrend::CDlgTrend(TrendSettings& settings, SaveFn save, QWidget* parent)
    : QDialog(parent), settings_(settings), save_(std::move(save)) {
  setWindowTitle(Utf8(kTrendDialogTitle));
  auto* layout = new QVBoxLayout(this);

  auto* spanBox = new QGroupBox(Utf8("横軸"));
  auto* spanRow = new QHBoxLayout(spanBox);
  spanGroup_ = new QButtonGroup(this);
  for (int i = 0; i < kTrendSpans; ++i)
    AddRadio(radios_, spanGroup_, kSpanFirstId + i, TrendSpanOf(i).dialogText, spanRow);
  layout->addWidget(spanBox);

  // All twenty scale radios form one choice across the four unit groups.
  auto* scaleBox = new QGroupBox(Utf8("縦軸"));
  auto* scaleRow = new QHBoxLayout(scaleBox);
  scaleGroup_ = new QButtonGroup(this);
  for (const ScaleGroup& g : kScaleGroups) {
    auto* sub = new QGroupBox(Utf8(g.title));
    auto* column = new QVBoxLayout(sub);
    for (int s = g.firstScale; s < g.firstScale + g.count; ++s)
      AddRadio(radios_, scaleGroup_, kScaleFirstId + s, kScaleTexts[s], column);
    column->addStretch();
    scaleRow->addWidget(sub);
  }
  layout->addWidget(scaleBox);
  layout->addLayout(OkCancelRow(this, ok_, cancel_));

  const TrendForm form = FillTrendForm(settings_);
  Check(radios_, kSpanFirstId, form.spanChoice);
  Check(radios_, kScaleFirstId, form.scaleChoice);
  radios_[kSpanFirstId]->setFocus();
}

QRadioButton* CDlgTrend::Radio(int id) const {
  const auto it = radios_.find(id);
  return it == radios_.end() ? nullptr : it->second;
}

TrendForm CDlgTrend::ReadForm() const {
  TrendForm form;
  form.spanChoice = FirstChecked(radios_, kSpanFirstId, kTrendSpans);
  form.scaleChoice = FirstChecked(radios_, kScaleFirstId, kTrendScales);
  return form;
}

void CDlgTrend::accept() {
  AcceptTrendForm(ReadForm(), settings_);
  if (save_) save_(settings_);
  QDialog::accept();
}

bool RunDisplayUnitDialog(QWidget* parent, DisplayUnitSettings& settings, UserMessages& messages,
                          const CDlgDspSet::SaveFn& save, const std::function<void()>& redraw) {
  CDlgDspSet dialog(settings, messages, save, parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  if (redraw) redraw();
  return true;
}

bool RunTrendDialog(QWidget* parent, TrendSettings& settings, const CDlgTrend::SaveFn& save,
                    const std::function<void()>& redraw) {
  CDlgTrend dialog(settings, save, parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  if (redraw) redraw();
  return true;
}

}  // namespace velrix
