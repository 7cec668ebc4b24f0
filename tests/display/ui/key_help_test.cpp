// The key help lists the trend keys in order and closes with OK only.

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>

#include "display/ui/key_help_dialog.h"

namespace velrix {
namespace {

TEST(KeyHelpDialogTest, ShowsTheKeyTextsInOrderWithOnlyOkVisible) {
  CDlg_hlp_key dialog;
  dialog.show();
  QApplication::processEvents();
  EXPECT_EQ(dialog.windowTitle().toStdString(), "キー操作の説明");
  EXPECT_EQ(dialog.Lines(),
            QStringList({"トレンド画面のカーソルキーによる操作",
                         "F1:ズームイン　　最終カーソル経過日時を中心に１段階表示スパンの短い側へ",
                         "F2:ズームアウト　最終カーソル経過日時を中心に１段階表示スパンの長い側へ",
                         "F3:カーソル表示　ON/OFF", "F4:ファイル読み込み時に戻す",
                         "1:表示スパンの半分過去へ", "2:表示スパンの1/10過去へ",
                         "3:表示スパンの1/10未来へ", "4:表示スパンの半分未来へ"}));
  EXPECT_TRUE(dialog.OkButton()->isVisible());
  EXPECT_FALSE(dialog.CancelButton()->isVisible());
  dialog.OkButton()->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

}  // namespace
}  // namespace velrix
