// The power settings dialog: rows enabled by their combo box, the five edits
// checked in order at their bounds (disabled rows too), POWevent.def in the
// stored order and the status read interval recomputed.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "link/ui/link_dialogs.h"
#include "tests/support/qt/dialog_fixture.h"

namespace velrix::testing {
namespace {

struct EditBounds {
  int id;
  int max;
  const char* message;
};

// In the order they are checked.
constexpr EditBounds kEdits[5] = {
    {1019, 60, "電源状態読み取り間隔が異常です。"},
    {1020, 1000, "ソーラーパネル供給電圧低下時の処理遅延時間が異常です。"},
    {1021, 1000, "ソーラーパネル供給電圧回復時の処理遅延時間が異常です。"},
    {1022, 60, "バッテリー電圧低下時の処理遅延時間が異常です。"},
    {1023, 60, "バッテリー電圧回復時の処理遅延時間が異常です。"},
};

class PowerDialogTest : public DialogTest {
 protected:
  PowerDialogTest() {
    PowerSettings& p = settings.power;
    p.statusIntervalValue = 5;
    p.statusIntervalUnit = 1;
    p.events[kSolarLow] = {1, 30, 1, 0};
    p.events[kSolarRecovery] = {0, 40, 0, 1};
    p.events[kBatteryLow] = {1, 2, 1, 1};
    p.events[kBatteryRecovery] = {0, 3, 0, 0};
  }
};

TEST_F(PowerDialogTest, OpensFilledWithRowsEnabledOnlyWhenAllowed) {
  CDlg_power dialog(settings, link, messages);
  dialog.show();
  QApplication::processEvents();
  EXPECT_EQ(dialog.windowTitle().toStdString(), "電源設定");
  EXPECT_EQ(dialog.Edit(1019)->text().toStdString(), "5");
  EXPECT_EQ(dialog.Combo(1009)->currentText().toStdString(), "分");
  EXPECT_EQ(dialog.focusWidget(), dialog.Edit(1019));
  // Solar low: combo 1010, delay 1020, boxes 1025 / 1029.
  EXPECT_EQ(dialog.Combo(1010)->currentText().toStdString(), "許可");
  EXPECT_EQ(dialog.Edit(1020)->text().toStdString(), "30");
  EXPECT_TRUE(dialog.Edit(1020)->isEnabled());
  EXPECT_TRUE(dialog.CheckBox(1025)->isChecked());
  EXPECT_FALSE(dialog.CheckBox(1029)->isChecked());
  EXPECT_EQ(dialog.CheckBox(1025)->text().toStdString(), "オン1");
  // Solar recovery: disabled.
  EXPECT_EQ(dialog.Combo(1011)->currentText().toStdString(), "禁止");
  EXPECT_FALSE(dialog.Edit(1021)->isEnabled());
  EXPECT_FALSE(dialog.CheckBox(1026)->isEnabled());
  EXPECT_FALSE(dialog.CheckBox(1030)->isEnabled());
  EXPECT_TRUE(dialog.CheckBox(1030)->isChecked());
  // Battery low: combo 1012, delay 1022, boxes 1027 / 1031; recovery disabled.
  EXPECT_EQ(dialog.Edit(1022)->text().toStdString(), "2");
  EXPECT_TRUE(dialog.CheckBox(1031)->isEnabled());
  EXPECT_FALSE(dialog.Edit(1023)->isEnabled());
  EXPECT_EQ(dialog.Edit(1019)->maxLength(), 2);
  EXPECT_EQ(dialog.Edit(1020)->maxLength(), 4);
  EXPECT_EQ(dialog.Edit(1022)->maxLength(), 2);
}

TEST_F(PowerDialogTest, ChangingARowsComboEnablesOrDisablesItsEditAndBoxes) {
  CDlg_power dialog(settings, link, messages);
  dialog.show();
  dialog.Combo(1013)->setCurrentIndex(1);
  EXPECT_TRUE(dialog.Edit(1023)->isEnabled());
  EXPECT_TRUE(dialog.CheckBox(1028)->isEnabled());
  EXPECT_TRUE(dialog.CheckBox(1032)->isEnabled());
  dialog.Combo(1010)->setCurrentIndex(0);
  EXPECT_FALSE(dialog.Edit(1020)->isEnabled());
  EXPECT_FALSE(dialog.CheckBox(1025)->isEnabled());
  EXPECT_FALSE(dialog.CheckBox(1029)->isEnabled());
}

TEST_F(PowerDialogTest, EachEditIsCheckedAtItsBoundsWithItsOwnMessage) {
  for (const EditBounds& edit : kEdits) {
    for (int value : {0, edit.max + 1, 1, edit.max}) {
      SCOPED_TRACE(std::to_string(edit.id) + "=" + std::to_string(value));
      messages.Clear();
      CDlg_power dialog(settings, link, messages);
      dialog.show();
      dialog.Edit(edit.id)->setText(QString::number(value));
      dialog.OkButton()->click();
      const bool valid = value >= 1 && value <= edit.max;
      EXPECT_EQ(!dialog.isVisible(), valid);
      if (valid) {
        EXPECT_TRUE(messages.Shown().empty());
      } else {
        ASSERT_EQ(messages.Shown().size(), 1u);
        EXPECT_EQ(messages.Shown()[0].title, "設定異常");
        EXPECT_EQ(messages.Shown()[0].text, edit.message);
      }
    }
  }
}

TEST_F(PowerDialogTest, TheFirstInvalidEditInOrderIsReportedAndDisabledRowsAreChecked) {
  CDlg_power dialog(settings, link, messages);
  dialog.show();
  ASSERT_FALSE(dialog.Edit(1023)->isEnabled());
  dialog.Edit(1023)->setText("0");
  dialog.Edit(1021)->setText("0");
  dialog.OkButton()->click();
  EXPECT_EQ(messages.Texts(),
            std::vector<std::string>{"ソーラーパネル供給電圧回復時の処理遅延時間が異常です。"});
  dialog.Edit(1021)->setText("10");
  dialog.OkButton()->click();
  ASSERT_EQ(messages.Texts().size(), 2u);
  EXPECT_EQ(messages.Texts()[1], "バッテリー電圧回復時の処理遅延時間が異常です。");
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_FALSE(FileExists("POWevent.def"));
  EXPECT_EQ(settings.power.events[kSolarRecovery].delay, 40);
}

// POWevent.def is read without range checks; a stored value too long for its
// edit must still meet the OK checks, not be cut into a valid one.
TEST_F(PowerDialogTest, OutOfRangeStoredValuesAreShownWholeAndRejectedOnOk) {
  settings.power.statusIntervalValue = 100;
  settings.power.events[kBatteryLow].delay = 120;
  CDlg_power dialog(settings, link, messages);
  dialog.show();
  EXPECT_EQ(dialog.Edit(1019)->text().toStdString(), "100");
  EXPECT_EQ(dialog.Edit(1022)->text().toStdString(), "120");
  dialog.OkButton()->click();
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{"電源状態読み取り間隔が異常です。"});
  dialog.Edit(1019)->setText("10");
  dialog.OkButton()->click();
  ASSERT_EQ(messages.Texts().size(), 2u);
  EXPECT_EQ(messages.Texts()[1], "バッテリー電圧低下時の処理遅延時間が異常です。");
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_FALSE(FileExists("POWevent.def"));
  EXPECT_EQ(settings.power.statusIntervalValue, 100);
}

TEST_F(PowerDialogTest, OkWritesPowEventDefInStoredOrderAndRecomputesTheInterval) {
  CDlg_power dialog(settings, link, messages);
  dialog.show();
  dialog.Edit(1019)->setText("5");
  dialog.Combo(1009)->setCurrentIndex(1);  // minutes
  dialog.Combo(1011)->setCurrentIndex(1);
  dialog.Edit(1021)->setText("1000");
  dialog.CheckBox(1026)->setChecked(true);
  dialog.Edit(1023)->setText("60");
  dialog.OkButton()->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_TRUE(messages.Shown().empty());
  EXPECT_EQ(link.statusReadInterval.load(), 300);
  EXPECT_EQ(settings.power.events[kSolarRecovery].enabled, 1);
  EXPECT_EQ(settings.power.events[kSolarRecovery].delay, 1000);
  EXPECT_EQ(FileText("POWevent.def"),
            "5\n1\n"
            "1\n30\n1\n0\n"
            "1\n1000\n1\n1\n"
            "1\n2\n1\n1\n"
            "0\n60\n0\n0\n");
}

TEST_F(PowerDialogTest, AComboShowingNothingStoresItsFirstChoice) {
  settings.power.events[kBatteryLow].enabled = 9;  // a damaged file
  settings.power.statusIntervalUnit = 4;
  CDlg_power dialog(settings, link, messages);
  dialog.show();
  EXPECT_EQ(dialog.Combo(1012)->currentIndex(), -1);
  EXPECT_FALSE(dialog.Edit(1022)->isEnabled());
  dialog.OkButton()->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(settings.power.events[kBatteryLow].enabled, 0);
  EXPECT_EQ(settings.power.statusIntervalUnit, 0);
  EXPECT_EQ(link.statusReadInterval.load(), 5);
}

TEST_F(PowerDialogTest, AFailedSaveIsReportedAndTheIntervalIsStillRecomputed) {
  BlockFile("POWevent.def");
  CDlg_power dialog(settings, link, messages);
  dialog.show();
  dialog.Combo(1009)->setCurrentIndex(0);
  dialog.OkButton()->click();
  EXPECT_FALSE(dialog.isVisible());
  ASSERT_EQ(messages.Shown().size(), 1u);
  EXPECT_EQ(messages.Shown()[0].title, "異常発生");
  EXPECT_EQ(messages.Shown()[0].text, "電源設定の保存を失敗しました。");
  EXPECT_EQ(link.statusReadInterval.load(), 5);
}

TEST_F(PowerDialogTest, CancelChangesNothing) {
  CDlg_power dialog(settings, link, messages);
  dialog.show();
  dialog.Edit(1019)->setText("9");
  dialog.CancelButton()->click();
  EXPECT_EQ(settings.power.statusIntervalValue, 5);
  EXPECT_FALSE(FileExists("POWevent.def"));
}

}  // namespace
}  // namespace velrix::testing
