// The data-folder dialog: one trailing separator removed, the creation
// question and its answers, the folder browser beside the dialog, and the
// root folder standing in for a bare drive.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>

#include <filesystem>

#include "settings/ui/general_dialogs.h"
#include "tests/support/qt/dialog_fixture.h"

namespace velrix::testing {
namespace {

namespace fs = std::filesystem;

class DataFolderDialogTest : public DialogTest {
 protected:
  // Opens the dialog, types the text and presses OK; true when it closed.
  bool PressOk(CDlg_df_set& dialog, const std::string& text) {
    dialog.show();
    dialog.FolderEdit()->setText(QString::fromStdString(text));
    dialog.OkButton()->click();
    return !dialog.isVisible();
  }
  // Nothing of the data folder changed and df_name.def was not written.
  void ExpectNothingStored(const std::string& base, const std::string& data) {
    EXPECT_EQ(settings.baseFolder, base);
    EXPECT_EQ(settings.dataFolder, data);
    EXPECT_FALSE(FileExists("df_name.def"));
  }
};

TEST_F(DataFolderDialogTest, OpensWithTheStoredBaseFolderAndFocusOnTheEdit) {
  CDlg_df_set dialog(settings, questions, messages);
  dialog.show();
  QApplication::processEvents();
  EXPECT_EQ(dialog.windowTitle().toStdString(), "データフォルダの場所を設定");
  EXPECT_EQ(dialog.FolderEdit()->text().toStdString(), documents.path());
  EXPECT_EQ(dialog.FolderEdit()->objectName(), "1019");
  EXPECT_EQ(dialog.BrowseButton()->text().toStdString(), "参照");
  EXPECT_EQ(dialog.focusWidget(), dialog.FolderEdit());
}

TEST_F(DataFolderDialogTest, ExactlyOneTrailingSeparatorIsRemovedBeforeVelrixIsAppended) {
  const std::string base = documents.File("store");
  fs::create_directories(base + "/Velrix");
  CDlg_df_set dialog(settings, questions, messages);
  ASSERT_TRUE(PressOk(dialog, base + "/"));
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(settings.baseFolder, base);
  EXPECT_EQ(settings.dataFolder, base + "/Velrix");
  EXPECT_EQ(FileText("df_name.def"), base + "\n");
  EXPECT_TRUE(questions.asked.empty());

  CDlg_df_set again(settings, questions, messages);
  ASSERT_TRUE(PressOk(again, base + "//"));
  EXPECT_EQ(settings.baseFolder, base + "/");
  EXPECT_EQ(settings.dataFolder, base + "//Velrix");
  EXPECT_TRUE(questions.asked.empty());
  EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(DataFolderDialogTest, AMissingFolderIsCreatedWithItsParentsAfterOk) {
  const std::string base = documents.File("a/b/c");
  CDlg_df_set dialog(settings, questions, messages);
  ASSERT_TRUE(PressOk(dialog, base));
  ASSERT_EQ(questions.asked.size(), 1u);
  EXPECT_EQ(questions.asked[0], "フォルダ確認|フォルダ[" + base + "/Velrix]は、存在しませんが、作成しますか？");
  EXPECT_TRUE(fs::is_directory(base + "/Velrix"));
  EXPECT_EQ(settings.baseFolder, base);
  EXPECT_EQ(settings.dataFolder, base + "/Velrix");
  EXPECT_EQ(FileText("df_name.def"), base + "\n");
}

TEST_F(DataFolderDialogTest, CancelInTheCreationQuestionKeepsTheDialogOpenAndStoresNothing) {
  const std::string base = documents.File("missing");
  questions.reply = false;
  CDlg_df_set dialog(settings, questions, messages);
  EXPECT_FALSE(PressOk(dialog, base));
  EXPECT_EQ(questions.asked.size(), 1u);
  EXPECT_FALSE(fs::exists(base));
  ExpectNothingStored(documents.path(), documents.path() + "/Velrix");
  EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(DataFolderDialogTest, AFileStandingInTheWayFailsTheCreationAndKeepsTheDialogOpen) {
  WriteBytes(documents.File("blocker"), "not a folder");
  const std::string base = documents.File("blocker/sub");
  CDlg_df_set dialog(settings, questions, messages);
  EXPECT_FALSE(PressOk(dialog, base));
  ASSERT_EQ(messages.Shown().size(), 1u);
  EXPECT_EQ(messages.Shown()[0].title, "フォルダ確認");
  EXPECT_EQ(messages.Shown()[0].text, "フォルダ作成を失敗しました。フォルダ名を再設定してください。");
  ExpectNothingStored(documents.path(), documents.path() + "/Velrix");
}

TEST_F(DataFolderDialogTest, AFileNamedVelrixIsNoDataFolderAndCannotBeReplaced) {
  const std::string base = documents.File("holder");
  fs::create_directories(base);
  WriteBytes(base + "/Velrix", "x");
  CDlg_df_set dialog(settings, questions, messages);
  EXPECT_FALSE(PressOk(dialog, base));
  EXPECT_EQ(questions.asked.size(), 1u);
  ASSERT_EQ(messages.Texts().size(), 1u);
  EXPECT_EQ(messages.Texts()[0], "フォルダ作成を失敗しました。フォルダ名を再設定してください。");
  ExpectNothingStored(documents.path(), documents.path() + "/Velrix");
}

TEST_F(DataFolderDialogTest, TheRootFolderIsStoredEmptyWithoutQuestionOrCreation) {
  CDlg_df_set dialog(settings, questions, messages);
  ASSERT_TRUE(PressOk(dialog, "/"));
  EXPECT_TRUE(questions.asked.empty());
  EXPECT_EQ(settings.baseFolder, "");
  EXPECT_EQ(settings.dataFolder, "/Velrix");
  EXPECT_EQ(FileText("df_name.def"), "\n");

  // Opened again, the root shows as itself and stays the root.
  CDlg_df_set again(settings, questions, messages);
  again.show();
  EXPECT_EQ(again.FolderEdit()->text().toStdString(), "/");
  again.OkButton()->click();
  EXPECT_FALSE(again.isVisible());
  EXPECT_TRUE(questions.asked.empty());
  EXPECT_EQ(settings.dataFolder, "/Velrix");
}

TEST_F(DataFolderDialogTest, OkWhileTheBrowserIsOpenAsksToCloseItAndStoresNothing) {
  const std::string base = documents.File("chosen");
  fs::create_directories(base + "/Velrix");
  CDlg_df_set dialog(settings, questions, messages);
  dialog.show();
  dialog.BrowseButton()->click();
  ASSERT_TRUE(dialog.BrowseOpen());
  ASSERT_NE(dialog.Browser(), nullptr);
  EXPECT_TRUE(dialog.Browser()->isVisible());

  EXPECT_FALSE(PressOk(dialog, base));
  ASSERT_EQ(messages.Shown().size(), 1u);
  EXPECT_EQ(messages.Shown()[0].title, "設定異常");
  EXPECT_EQ(messages.Shown()[0].text, "フォルダ参照ダイアログを閉じてください。");
  ExpectNothingStored(documents.path(), documents.path() + "/Velrix");

  // Cancel is refused the same way.
  dialog.CancelButton()->click();
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(messages.Shown().size(), 2u);

  // A second press of the browse button opens no second browser.
  QFileDialog* first = dialog.Browser();
  dialog.BrowseButton()->click();
  EXPECT_EQ(dialog.Browser(), first);

  dialog.Browser()->reject();
  EXPECT_FALSE(dialog.BrowseOpen());
  EXPECT_EQ(dialog.FolderEdit()->text().toStdString(), base);  // a cancelled browser changes nothing
  dialog.OkButton()->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(settings.baseFolder, base);
}

TEST_F(DataFolderDialogTest, TheBrowserStartsAtTheStoredFolderAndPutsTheChoiceWithASeparator) {
  const std::string stored = documents.File("stored");
  const std::string chosen = documents.File("chosen");
  fs::create_directories(stored);
  fs::create_directories(chosen);
  settings.baseFolder = stored + "/";
  CDlg_df_set dialog(settings, questions, messages);
  dialog.show();
  dialog.FolderEdit()->setText("/somewhere/else");
  dialog.BrowseButton()->click();
  QFileDialog* browser = dialog.Browser();
  ASSERT_NE(browser, nullptr);
  EXPECT_EQ(browser->windowTitle().toStdString(), "フォルダの選択");
  EXPECT_EQ(browser->directory().absolutePath().toStdString(), stored);
  EXPECT_EQ(browser->fileMode(), QFileDialog::Directory);

  browser->setDirectory(QString::fromStdString(chosen));
  browser->selectFile(QString::fromStdString(chosen));
  static_cast<QDialog*>(browser)->accept();  // as the user pressing its OK
  QApplication::processEvents();
  EXPECT_FALSE(dialog.BrowseOpen());
  EXPECT_EQ(dialog.FolderEdit()->text().toStdString(), chosen + "/");
  EXPECT_EQ(dialog.focusWidget(), dialog.FolderEdit());
  // The stored setting changes only with OK.
  EXPECT_EQ(settings.baseFolder, stored + "/");
}

TEST_F(DataFolderDialogTest, AFolderNameCp932CannotHoldIsRefusedAndNothingChanges) {
  CDlg_df_set dialog(settings, questions, messages);
  EXPECT_FALSE(PressOk(dialog, documents.File("caf\xC3\xA9")));  // "café"
  ASSERT_EQ(messages.Shown().size(), 1u);
  EXPECT_EQ(messages.Shown()[0].title, "入力異常");
  EXPECT_TRUE(questions.asked.empty());
  ExpectNothingStored(documents.path(), documents.path() + "/Velrix");
}

TEST_F(DataFolderDialogTest, CancelClosesWithoutAnyChange) {
  CDlg_df_set dialog(settings, questions, messages);
  dialog.show();
  dialog.FolderEdit()->setText("/tmp");
  dialog.CancelButton()->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  ExpectNothingStored(documents.path(), documents.path() + "/Velrix");
}

TEST_F(DataFolderDialogTest, AFailedSaveIsReportedButTheNewFolderIsInForce) {
  const std::string base = documents.File("kept");
  fs::create_directories(base + "/Velrix");
  BlockFile("df_name.def");
  CDlg_df_set dialog(settings, questions, messages);
  EXPECT_TRUE(PressOk(dialog, base));
  ASSERT_EQ(messages.Texts().size(), 1u);
  EXPECT_EQ(messages.Texts()[0], "データフォルダ名の保存を失敗しました。");
  EXPECT_EQ(settings.dataFolder, base + "/Velrix");
}

}  // namespace
}  // namespace velrix::testing
