#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include "display/ui/settings_dialogs.h"
#include "tests/support/recording_messages.h"

namespace velrix {
namespace {

TEST(DisplayUnitDialog, OpensWithTheSettingsCheckedAndTheSecondsInTheEdit) {
  testing::RecordingMessages messages;
  DisplayUnitSettings s{1, 3, 120};
  CDlgDspSet dialog(s, messages, nullptr);
  EXPECT_EQ(dialog.windowTitle().toStdString(), "表示単位設定");
  EXPECT_TRUE(dialog.Radio(1001)->isChecked());
  EXPECT_FALSE(dialog.Radio(1000)->isChecked());
  EXPECT_TRUE(dialog.Radio(1006)->isChecked());
  EXPECT_EQ(dialog.AverageEdit()->text().toStdString(), "120");
  EXPECT_EQ(dialog.Radio(1000)->text().toStdString(), "μSv");
  EXPECT_EQ(dialog.Radio(1003)->text().toStdString(), "μSv/h");
  EXPECT_EQ(dialog.CancelButton()->text().toStdString(), "キャンセル");
  dialog.adjustSize();
  dialog.grab().save(QCoreApplication::applicationDirPath() + "/dialog_display_units.png");
}

TEST(DisplayUnitDialog, OkWithValidSecondsStoresSavesAndCloses) {
  testing::RecordingMessages messages;
  DisplayUnitSettings s{0, 0, 60};
  DisplayUnitSettings saved{};
  int saves = 0;
  CDlgDspSet dialog(s, messages, [&](const DisplayUnitSettings& v) {
    saved = v;
    ++saves;
  });
  dialog.Radio(1002)->setChecked(true);
  dialog.Radio(1005)->setChecked(true);
  dialog.AverageEdit()->setText("3600");
  dialog.OkButton()->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(saves, 1);
  EXPECT_EQ(s.integratedUnit, 2);
  EXPECT_EQ(s.rateUnit, 2);
  EXPECT_EQ(s.averageSeconds, 3600);
  EXPECT_EQ(saved.averageSeconds, 3600);
  EXPECT_TRUE(messages.Shown().empty());
}

TEST(DisplayUnitDialog, OkWithBadSecondsShowsTheSettingErrorAndChangesNothing) {
  for (const char* text : {"0", "3601", "abc", ""}) {
    testing::RecordingMessages messages;
    DisplayUnitSettings s{0, 0, 60};
    int saves = 0;
    CDlgDspSet dialog(s, messages, [&](const DisplayUnitSettings&) { ++saves; });
    dialog.Radio(1001)->setChecked(true);
    dialog.AverageEdit()->setText(text);
    dialog.OkButton()->click();
    EXPECT_NE(dialog.result(), QDialog::Accepted) << text;
    EXPECT_EQ(saves, 0) << text;
    EXPECT_EQ(s.integratedUnit, 0) << text;
    EXPECT_EQ(s.averageSeconds, 60) << text;
    ASSERT_EQ(messages.Shown().size(), 1u) << text;
    EXPECT_EQ(messages.Shown()[0].title, "設定異常");
    EXPECT_EQ(messages.Shown()[0].text, "平均回数（秒数）は、1～3600を設定してください。");
    EXPECT_EQ(messages.Shown()[0].owner, static_cast<QWidget*>(&dialog)) << "over its dialog";
  }
}

TEST(DisplayUnitDialog, CancelChangesNothing) {
  testing::RecordingMessages messages;
  DisplayUnitSettings s{0, 0, 60};
  int saves = 0;
  CDlgDspSet dialog(s, messages, [&](const DisplayUnitSettings&) { ++saves; });
  dialog.Radio(1002)->setChecked(true);
  dialog.CancelButton()->click();
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_EQ(s.integratedUnit, 0);
  EXPECT_EQ(saves, 0);
}

TEST(TrendDialog, OpensWithSpanAndScaleCheckedInOneScaleChoice) {
  TrendSettings s{2, 15};
  CDlgTrend dialog(s, nullptr);
  EXPECT_EQ(dialog.windowTitle().toStdString(), "トレンド表示設定");
  EXPECT_TRUE(dialog.Radio(1002)->isChecked());
  EXPECT_TRUE(dialog.Radio(1022)->isChecked());
  EXPECT_EQ(dialog.Radio(1006)->text().toStdString(), "10年");
  EXPECT_EQ(dialog.Radio(1026)->text().toStdString(), "1,000,000");
  dialog.adjustSize();
  dialog.grab().save(QCoreApplication::applicationDirPath() + "/dialog_trend.png");
  // Checking a scale in another unit group unchecks the old one.
  dialog.Radio(1008)->setChecked(true);
  EXPECT_FALSE(dialog.Radio(1022)->isChecked());
}

TEST(TrendDialog, OkStoresTheChoicesAndSavesCancelDoesNot) {
  TrendSettings s{0, 0};
  TrendSettings saved{};
  int saves = 0;
  {
    CDlgTrend dialog(s, [&](const TrendSettings& v) {
      saved = v;
      ++saves;
    });
    dialog.Radio(1003)->setChecked(true);
    dialog.Radio(1016)->setChecked(true);
    dialog.CancelButton()->click();
    EXPECT_EQ(s.trendSpan, 0);
    EXPECT_EQ(saves, 0);
  }
  CDlgTrend dialog(s, [&](const TrendSettings& v) {
    saved = v;
    ++saves;
  });
  dialog.Radio(1003)->setChecked(true);
  dialog.Radio(1016)->setChecked(true);
  dialog.OkButton()->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(s.trendSpan, 3);
  EXPECT_EQ(s.trendScale, 9);
  EXPECT_EQ(saves, 1);
  EXPECT_EQ(saved.trendScale, 9);
}

}  // namespace
}  // namespace velrix

namespace velrix {
namespace {

// Presses OK on whichever modal dialog is open once the event loop runs.
void PressOkSoon() {
  QTimer::singleShot(0, [] {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) dialog->accept();
  });
}

TEST(SettingsCommands, TheGraphIsRedrawnOnlyAfterOk) {
  TrendSettings s{0, 0};
  int redraws = 0;
  PressOkSoon();
  EXPECT_TRUE(RunTrendDialog(nullptr, s, nullptr, [&] { ++redraws; }));
  EXPECT_EQ(redraws, 1);
  QTimer::singleShot(0, [] {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) dialog->reject();
  });
  EXPECT_FALSE(RunTrendDialog(nullptr, s, nullptr, [&] { ++redraws; }));
  EXPECT_EQ(redraws, 1);
}

TEST(SettingsCommands, ThePanelIsRedrawnAfterAValidOk) {
  testing::RecordingMessages messages;
  DisplayUnitSettings s{0, 0, 60};
  int redraws = 0;
  PressOkSoon();
  EXPECT_TRUE(RunDisplayUnitDialog(nullptr, s, messages, nullptr, [&] { ++redraws; }));
  EXPECT_EQ(redraws, 1);
}

}  // namespace
}  // namespace velrix
