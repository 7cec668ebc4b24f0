#include "display/ui/key_help_dialog.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "settings/ui/dialog_support.h"

namespace velrix {
namespace {

constexpr const char* kKeyHelpLines[] = {
    "トレンド画面のカーソルキーによる操作",
    "F1:ズームイン　　最終カーソル経過日時を中心に１段階表示スパンの短い側へ",
    "F2:ズームアウト　最終カーソル経過日時を中心に１段階表示スパンの長い側へ",
    "F3:カーソル表示　ON/OFF",
    "F4:ファイル読み込み時に戻す",
    "1:表示スパンの半分過去へ",
    "2:表示スパンの1/10過去へ",
    "3:表示スパンの1/10未来へ",
    "4:表示スパンの半分未来へ",
};

}  // namespace

CDlg_hlp_key::CDlg_hlp_key(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QUtf8(kKeyHelpDialogTitle));
  auto* layout = new QVBoxLayout(this);
  for (const char* line : kKeyHelpLines) layout->addWidget(new QLabel(QUtf8(line)));
  layout->addLayout(NewOkCancelRow(this, &ok_, &cancel_));
  cancel_->hide();
  ok_->setFocus();
}

QStringList CDlg_hlp_key::Lines() const {
  QStringList lines;
  for (const QLabel* label : findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
    lines << label->text();
  return lines;
}

void RunKeyHelpDialog(QWidget* parent) {
  CDlg_hlp_key dialog(parent);
  dialog.exec();
}

}  // namespace velrix
