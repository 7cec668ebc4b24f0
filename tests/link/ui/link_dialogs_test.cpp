// The COM number and retry dialogs: what each entry reads as, which are
// refused with which message, and what USBCOM.def and COMRTY.def receive.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "link/ui/link_dialogs.h"
#include "tests/support/qt/dialog_fixture.h"

namespace velrix::testing {
namespace {

class ComNumberDialogTest : public DialogTest {
 protected:
  bool Enter(const std::string& text) {
    CDlg_usb_com dialog(settings, link, messages);
    dialog.show();
    dialog.NumberEdit()->setText(QString::fromStdString(text));
    dialog.OkButton()->click();
    for (const ShownMessage& m : messages.Shown()) {
      EXPECT_EQ(m.owner, static_cast<QWidget*>(&dialog)) << m.text;
    }
    return !dialog.isVisible();
  }
};

TEST_F(ComNumberDialogTest, OpensWithTheCurrentNumberAndFocusOnIt) {
  link.comNumber = 7;
  CDlg_usb_com dialog(settings, link, messages);
  dialog.show();
  QApplication::processEvents();
  EXPECT_EQ(dialog.windowTitle().toStdString(), "USB COM番号設定");
  EXPECT_EQ(dialog.NumberEdit()->objectName(), "1019");
  EXPECT_EQ(dialog.NumberEdit()->text().toStdString(), "7");
  EXPECT_EQ(dialog.focusWidget(), dialog.NumberEdit());
}

TEST_F(ComNumberDialogTest, FiveSetsPortFiveAndIsWritten) {
  EXPECT_TRUE(Enter("5"));
  EXPECT_EQ(link.comNumber.load(), 5);
  EXPECT_EQ(FileText("USBCOM.def"), "5\n");
  EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(ComNumberDialogTest, ZeroAndTextWithoutDigitsSetAutomatic) {
  link.comNumber = 3;
  EXPECT_TRUE(Enter("0"));
  EXPECT_EQ(link.comNumber.load(), 0);
  link.comNumber = 3;
  EXPECT_TRUE(Enter("COM4"));
  EXPECT_EQ(link.comNumber.load(), 0);
  EXPECT_EQ(FileText("USBCOM.def"), "0\n");
}

TEST_F(ComNumberDialogTest, ThreeHundredAndMinusOneAreRefused) {
  link.comNumber = 3;
  for (const char* text : {"300", "-1", "257"}) {
    SCOPED_TRACE(text);
    messages.Clear();
    EXPECT_FALSE(Enter(text));
    ASSERT_EQ(messages.Shown().size(), 1u);
    EXPECT_EQ(messages.Shown()[0].title, "入力異常");
    EXPECT_EQ(messages.Shown()[0].text, "COM番号が異常です。");
  }
  EXPECT_EQ(link.comNumber.load(), 3);
  EXPECT_FALSE(FileExists("USBCOM.def"));
}

TEST_F(ComNumberDialogTest, OnlyTheFirstThreeCharactersAreRead) {
  EXPECT_TRUE(Enter("1000"));
  EXPECT_EQ(link.comNumber.load(), 100);
  EXPECT_TRUE(Enter("256"));  // the device named with --port
  EXPECT_EQ(link.comNumber.load(), 256);
}

TEST_F(ComNumberDialogTest, CancelChangesNothing) {
  CDlg_usb_com dialog(settings, link, messages);
  dialog.show();
  dialog.NumberEdit()->setText("9");
  dialog.CancelButton()->click();
  EXPECT_EQ(link.comNumber.load(), 0);
  EXPECT_FALSE(FileExists("USBCOM.def"));
}

class RetryDialogTest : public DialogTest {};

TEST_F(RetryDialogTest, OpensWithTheModeCheckedAndTheEditEnabledOnlyForCountedRetries) {
  link.retryMode = 1;
  link.maxRetries = 12;
  CDlg_com_rty dialog(settings, link, messages);
  dialog.show();
  QApplication::processEvents();
  EXPECT_EQ(dialog.windowTitle().toStdString(), "通信リトライ設定");
  EXPECT_TRUE(dialog.ModeRadio(1001)->isChecked());
  EXPECT_EQ(dialog.ModeRadio(1001)->text().toStdString(), "指定回数リトライ");
  EXPECT_EQ(dialog.focusWidget(), dialog.ModeRadio(1001));
  EXPECT_EQ(dialog.MaxRetriesEdit()->text().toStdString(), "12");
  EXPECT_TRUE(dialog.MaxRetriesEdit()->isEnabled());

  dialog.ModeRadio(1002)->click();
  EXPECT_FALSE(dialog.MaxRetriesEdit()->isEnabled());
  dialog.ModeRadio(1001)->click();
  EXPECT_TRUE(dialog.MaxRetriesEdit()->isEnabled());
  dialog.ModeRadio(1000)->click();
  EXPECT_FALSE(dialog.MaxRetriesEdit()->isEnabled());
}

TEST_F(RetryDialogTest, ZeroAndTenThousandAreRefused) {
  link.retryMode = 1;
  CDlg_com_rty dialog(settings, link, messages);
  dialog.show();
  for (const char* text : {"0", "10000", "abc"}) {
    SCOPED_TRACE(text);
    messages.Clear();
    dialog.MaxRetriesEdit()->setText(text);
    dialog.OkButton()->click();
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_EQ(messages.Shown().size(), 1u);
    EXPECT_EQ(messages.Shown()[0].title, "設定異常");
    EXPECT_EQ(messages.Shown()[0].text, "最大リトライ回数が異常です。");
  }
  EXPECT_EQ(link.maxRetries.load(), 1);
  EXPECT_FALSE(FileExists("COMRTY.def"));

  dialog.MaxRetriesEdit()->setText("9999");
  dialog.OkButton()->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(link.maxRetries.load(), 9999);
  EXPECT_EQ(FileText("COMRTY.def"), "1\n9999\n");
}

TEST_F(RetryDialogTest, TheDisabledEditIsStillCheckedAndStored) {
  CDlg_com_rty dialog(settings, link, messages);
  dialog.show();
  dialog.ModeRadio(1001)->click();
  dialog.MaxRetriesEdit()->setText("0");
  dialog.ModeRadio(1002)->click();
  ASSERT_FALSE(dialog.MaxRetriesEdit()->isEnabled());
  dialog.OkButton()->click();
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{"最大リトライ回数が異常です。"});
  EXPECT_EQ(link.retryMode.load(), 0);

  dialog.ModeRadio(1001)->click();
  dialog.MaxRetriesEdit()->setText("25");
  dialog.ModeRadio(1002)->click();
  dialog.OkButton()->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(link.retryMode.load(), 2);
  EXPECT_EQ(link.maxRetries.load(), 25);
  EXPECT_EQ(FileText("COMRTY.def"), "2\n25\n");
}

TEST_F(RetryDialogTest, AModeOutsideTheListChecksNothingAndIsKept) {
  link.retryMode = 7;
  CDlg_com_rty dialog(settings, link, messages);
  dialog.show();
  for (int id : {1000, 1001, 1002}) EXPECT_FALSE(dialog.ModeRadio(id)->isChecked());
  EXPECT_FALSE(dialog.MaxRetriesEdit()->isEnabled());
  dialog.OkButton()->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(link.retryMode.load(), 7);
  EXPECT_EQ(FileText("COMRTY.def"), "7\n1\n");
}

TEST_F(RetryDialogTest, AFailedSaveIsReportedAndTheNewValuesStayInForce) {
  BlockFile("COMRTY.def");
  CDlg_com_rty dialog(settings, link, messages);
  dialog.show();
  dialog.ModeRadio(1002)->click();
  dialog.MaxRetriesEdit()->setText("3");
  dialog.OkButton()->click();
  EXPECT_FALSE(dialog.isVisible());
  ASSERT_EQ(messages.Shown().size(), 1u);
  EXPECT_EQ(messages.Shown()[0].title, "異常発生");
  EXPECT_EQ(messages.Shown()[0].text, "通信リトライ設定の保存を失敗しました。");
  EXPECT_EQ(link.retryMode.load(), 2);
  EXPECT_EQ(link.maxRetries.load(), 3);
}

}  // namespace
}  // namespace velrix::testing
