// The warning settings dialog: limits shown with two and three decimals, the
// leading number of each edit, the check order 1019 to 1024 with each
// field's own message and bounds, and warning.def written on OK only.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "measure/ui/warning_dialog.h"
#include "settings/ui/field_text.h"
#include "tests/support/qt/dialog_fixture.h"

namespace velrix::testing {
namespace {

constexpr const char* kMessages[6] = {
    "現在値警報設定が異常です。", "平均値警報設定が異常です。", "実績１時間値警報設定が異常です。",
    "積算警報設定が異常です。",   "予測１日警報設定が異常です。", "予測１年警報設定が異常です。",
};

class WarningDialogTest : public DialogTest {
 protected:
  // All six edits valid, then the given one replaced.
  WarningForm ValidForm() {
    WarningForm form;
    for (auto& text : form.limitTexts) text = "1";
    return form;
  }
};

TEST_F(WarningDialogTest, OpensWithTwoDecimalsForTheCurrentLimitAndThreeForTheOthers) {
  settings.warning = {1.5, 2.0, 3.25, 100.0, 0.0005, 999999.999, 1};
  CDlg_warning dialog(settings, messages);
  dialog.show();
  QApplication::processEvents();
  EXPECT_EQ(dialog.windowTitle().toStdString(), "警告表示設定");
  EXPECT_EQ(dialog.LimitEdit(1019)->text().toStdString(), "1.50");
  EXPECT_EQ(dialog.LimitEdit(1020)->text().toStdString(), "2.000");
  EXPECT_EQ(dialog.LimitEdit(1021)->text().toStdString(), "3.250");
  EXPECT_EQ(dialog.LimitEdit(1022)->text().toStdString(), "100.000");
  EXPECT_EQ(dialog.LimitEdit(1023)->text().toStdString(), "0.001");
  EXPECT_EQ(dialog.LimitEdit(1024)->text().toStdString(), "999999.999");
  EXPECT_EQ(dialog.LimitEdit(1024)->objectName(), "1024");
  EXPECT_TRUE(dialog.SoundBox()->isChecked());
  EXPECT_EQ(dialog.SoundBox()->objectName(), "1025");
  EXPECT_EQ(dialog.focusWidget(), dialog.LimitEdit(1019));
}

TEST_F(WarningDialogTest, ANegativeIntegratedLimitIsReportedOnlyWhenTheEarlierFieldsAreValid) {
  CDlg_warning dialog(settings, messages);
  dialog.show();
  dialog.LimitEdit(1019)->setText("6000");
  dialog.LimitEdit(1022)->setText("-1");
  dialog.OkButton()->click();
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{"現在値警報設定が異常です。"});
  EXPECT_EQ(messages.Shown()[0].owner, static_cast<QWidget*>(&dialog));

  messages.Clear();
  dialog.LimitEdit(1019)->setText("10");
  dialog.OkButton()->click();
  EXPECT_TRUE(dialog.isVisible());
  ASSERT_EQ(messages.Shown().size(), 1u);
  EXPECT_EQ(messages.Shown()[0].title, "設定異常");
  EXPECT_EQ(messages.Shown()[0].text, "積算警報設定が異常です。");
  EXPECT_EQ(settings.warning.currentLimit, 0.0);
  EXPECT_FALSE(FileExists("warning.def"));
}

TEST_F(WarningDialogTest, EachFieldHasItsOwnMessageAndBounds) {
  const double maxima[6] = {5000, 5000, 5000, 999999.999, 999999.999, 999999.999};
  const char* aboveMax[6] = {"5000.01", "5000.001", "5001", "1000000", "999999.9991", "1e7"};
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    WarningForm form = ValidForm();
    form.limitTexts[i] = aboveMax[i];
    EXPECT_EQ(ValidateWarningForm(form), kMessages[i]);
    form.limitTexts[i] = "-0.001";
    EXPECT_EQ(ValidateWarningForm(form), kMessages[i]);
    form.limitTexts[i] = FormatFixed(maxima[i], 3);
    EXPECT_EQ(ValidateWarningForm(form), "");
    form.limitTexts[i] = "0";
    EXPECT_EQ(ValidateWarningForm(form), "");
  }
}

TEST_F(WarningDialogTest, EachEditIsReadByItsLeadingNumber) {
  WarningForm form = ValidForm();
  form.limitTexts[0] = "12abc";
  form.limitTexts[1] = "abc";
  form.limitTexts[2] = "  3.5e1x";
  form.limitTexts[3] = "";
  form.limitTexts[4] = "nan";   // no number: reads as 0, never as a limit nothing reaches
  form.limitTexts[5] = "+.5";
  ASSERT_EQ(ValidateWarningForm(form), "");
  WarningSettings stored;
  ApplyWarningForm(form, stored);
  EXPECT_EQ(stored.currentLimit, 12.0);
  EXPECT_EQ(stored.averageLimit, 0.0);
  EXPECT_EQ(stored.hourLimit, 35.0);
  EXPECT_EQ(stored.integratedLimit, 0.0);
  EXPECT_EQ(stored.dayLimit, 0.0);
  EXPECT_EQ(stored.yearLimit, 0.5);
}

TEST_F(WarningDialogTest, OkStoresTheLimitsAndTheSoundAndWritesWarningDef) {
  CDlg_warning dialog(settings, messages);
  dialog.show();
  const char* texts[6] = {"1.25", "2", "3", "4.5", "5", "6"};
  for (int i = 0; i < 6; ++i) dialog.LimitEdit(1019 + i)->setText(texts[i]);
  dialog.SoundBox()->setChecked(true);
  dialog.OkButton()->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(settings.warning.currentLimit, 1.25);
  EXPECT_EQ(settings.warning.integratedLimit, 4.5);
  EXPECT_EQ(settings.warning.yearLimit, 6.0);
  EXPECT_EQ(settings.warning.soundOn, 1);
  EXPECT_EQ(FileText("warning.def"),
            "1.250000\n2.000000\n3.000000\n4.500000\n5.000000\n6.000000\n1\n");
}

TEST_F(WarningDialogTest, CancelChangesNothing) {
  CDlg_warning dialog(settings, messages);
  dialog.show();
  dialog.LimitEdit(1019)->setText("7");
  dialog.CancelButton()->click();
  EXPECT_EQ(settings.warning.currentLimit, 0.0);
  EXPECT_FALSE(FileExists("warning.def"));
}

}  // namespace
}  // namespace velrix::testing
