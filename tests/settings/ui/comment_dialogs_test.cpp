// The comment settings, the comment check before a measurement and the
// automatic start: texts cut to their CP932 limit, empty texts kept, texts
// CP932 cannot hold refused, and the files written on OK only.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/cp932.h"
#include "settings/ui/general_dialogs.h"
#include "tests/support/qt/dialog_fixture.h"

namespace velrix::testing {
namespace {

std::string Repeat(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

class CommentDialogsTest : public DialogTest {
 protected:
  CommentDialogsTest() {
    settings.comment = {"PC-01", "0001", "屋上"};
  }
};

TEST_F(CommentDialogsTest, CommentSettingsOpenWithTheStoredTextsAndFocusOnTheComputerName) {
  CDlg_cond_set dialog(settings, messages);
  dialog.show();
  QApplication::processEvents();
  EXPECT_EQ(dialog.windowTitle().toStdString(), "コメント設定");
  EXPECT_EQ(dialog.Edit(1019)->text().toStdString(), "PC-01");
  EXPECT_EQ(dialog.Edit(1020)->text().toStdString(), "0001");
  EXPECT_EQ(dialog.Edit(1021)->text().toStdString(), "屋上");
  EXPECT_EQ(dialog.focusWidget(), dialog.Edit(1019));
}

TEST_F(CommentDialogsTest, EmptyCommentFieldsAreStoredAndWrittenEmpty) {
  CDlg_cond_set dialog(settings, messages);
  dialog.show();
  for (int id : {1019, 1020, 1021}) dialog.Edit(id)->clear();
  dialog.OkButton()->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(settings.comment.computerName, "");
  EXPECT_EQ(settings.comment.unitNumber, "");
  EXPECT_EQ(settings.comment.comment, "");
  EXPECT_EQ(FileText("comment.def"), "\n\n\n");
  EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(CommentDialogsTest, OverLongTextsAreCutOnAWholeCp932Character) {
  CDlg_cond_set dialog(settings, messages);
  dialog.show();
  dialog.Edit(1019)->setText(QString::fromStdString(Repeat("a", 130)));
  dialog.Edit(1020)->setText(QString::fromStdString(Repeat("あ", 70)));  // 140 bytes in CP932
  dialog.Edit(1021)->setText(QString::fromStdString("a" + Repeat("測", 70)));
  dialog.OkButton()->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(settings.comment.computerName, Repeat("a", 127));
  EXPECT_EQ(settings.comment.unitNumber, Repeat("あ", 63));   // 126 bytes: the 64th would split
  EXPECT_EQ(settings.comment.comment, "a" + Repeat("測", 63));  // 127 bytes
  const std::string expected = Repeat("a", 127) + "\n" + Utf8ToCp932(Repeat("あ", 63)) + "\n" +
                               Utf8ToCp932("a" + Repeat("測", 63)) + "\n";
  EXPECT_EQ(FileText("comment.def"), expected);
}

TEST_F(CommentDialogsTest, ATextCp932CannotHoldIsRefusedAndNothingChanges) {
  CDlg_cond_set dialog(settings, messages);
  dialog.show();
  dialog.Edit(1019)->setText("new name");
  dialog.Edit(1021)->setText(QString::fromUtf8("\xF0\x9F\x98\x80"));  // an emoji
  dialog.OkButton()->click();
  EXPECT_TRUE(dialog.isVisible());
  ASSERT_EQ(messages.Shown().size(), 1u);
  EXPECT_EQ(messages.Shown()[0].title, "入力異常");
  EXPECT_EQ(messages.Shown()[0].text, "保存できない文字が含まれています。");
  EXPECT_EQ(messages.Shown()[0].owner, static_cast<QWidget*>(&dialog));
  EXPECT_EQ(settings.comment.computerName, "PC-01");
  EXPECT_EQ(settings.comment.comment, "屋上");
  EXPECT_FALSE(FileExists("comment.def"));
}

TEST_F(CommentDialogsTest, CommentSettingsCancelChangesNothing) {
  CDlg_cond_set dialog(settings, messages);
  dialog.show();
  dialog.Edit(1019)->setText("other");
  dialog.CancelButton()->click();
  EXPECT_EQ(settings.comment.computerName, "PC-01");
  EXPECT_FALSE(FileExists("comment.def"));
}

TEST_F(CommentDialogsTest, CommentCheckShowsItsFourLinesAndTheComment) {
  CDlg_com_chk dialog(settings, messages);
  dialog.show();
  QApplication::processEvents();
  EXPECT_EQ(dialog.windowTitle().toStdString(), "コメント確認");
  QStringList lines;
  for (const QLabel* label : dialog.findChildren<QLabel*>()) lines << label->text();
  EXPECT_EQ(lines, QStringList({"現在のデータファイルのコメント(測定場所等)は、下記の通りです。",
                                "必要であればコメントを変更してください。", "よろしいですか？",
                                "OKをクリックすると測定を開始します。"}));
  EXPECT_EQ(dialog.CommentEdit()->objectName(), "1019");
  EXPECT_EQ(dialog.CommentEdit()->text().toStdString(), "屋上");
  EXPECT_EQ(dialog.focusWidget(), dialog.CommentEdit());
}

TEST_F(CommentDialogsTest, CommentCheckOkStoresTheCommentAndAllowsTheStart) {
  CDlg_com_chk dialog(settings, messages);
  dialog.show();
  dialog.CommentEdit()->setText(QString::fromStdString(Repeat("x", 200)));
  dialog.OkButton()->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(settings.comment.comment, Repeat("x", 127));
  EXPECT_EQ(FileText("comment.def"), "PC-01\n0001\n" + Repeat("x", 127) + "\n");
}

TEST_F(CommentDialogsTest, CommentCheckCancelMeansNoStartAndNoChange) {
  CDlg_com_chk dialog(settings, messages);
  dialog.show();
  dialog.CommentEdit()->setText("changed");
  dialog.CancelButton()->click();
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_EQ(settings.comment.comment, "屋上");
  EXPECT_FALSE(FileExists("comment.def"));
}

TEST_F(CommentDialogsTest, CommentCheckRefusesATextCp932CannotHold) {
  CDlg_com_chk dialog(settings, messages);
  dialog.show();
  dialog.CommentEdit()->setText(QString::fromUtf8("caf\xC3\xA9"));
  dialog.OkButton()->click();
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{"保存できない文字が含まれています。"});
  EXPECT_EQ(settings.comment.comment, "屋上");
  EXPECT_FALSE(FileExists("comment.def"));
}

TEST_F(CommentDialogsTest, AutoStartFollowsTheCheckBoxAndIsWritten) {
  settings.autoStart = 0;
  Dlg_aut_start dialog(settings, messages);
  dialog.show();
  QApplication::processEvents();
  EXPECT_EQ(dialog.windowTitle().toStdString(), "自動開始設定");
  EXPECT_EQ(dialog.AutoStartBox()->objectName(), "1020");
  EXPECT_EQ(dialog.AutoStartBox()->text().toStdString(), "自動的に測定を開始");
  EXPECT_FALSE(dialog.AutoStartBox()->isChecked());
  EXPECT_EQ(dialog.focusWidget(), dialog.AutoStartBox());
  dialog.AutoStartBox()->setChecked(true);
  dialog.OkButton()->click();
  EXPECT_EQ(settings.autoStart, 1);
  EXPECT_EQ(FileText("aut_start.def"), "1\n");

  Dlg_aut_start again(settings, messages);
  again.show();
  EXPECT_TRUE(again.AutoStartBox()->isChecked());
  again.AutoStartBox()->setChecked(false);
  again.OkButton()->click();
  EXPECT_EQ(settings.autoStart, 0);
  EXPECT_EQ(FileText("aut_start.def"), "0\n");
}

TEST_F(CommentDialogsTest, AutoStartCancelChangesNothing) {
  Dlg_aut_start dialog(settings, messages);
  dialog.show();
  dialog.AutoStartBox()->setChecked(true);
  dialog.CancelButton()->click();
  EXPECT_EQ(settings.autoStart, 0);
  EXPECT_FALSE(FileExists("aut_start.def"));
}

}  // namespace
}  // namespace velrix::testing
