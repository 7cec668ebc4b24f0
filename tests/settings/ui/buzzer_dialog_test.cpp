// The detection-buzzer dialog: with the link up the request is taken by the
// communication thread and buzzer.def is written; with the link down nothing
// changes; a request nobody takes is given up after fifty looks, with the GUI
// still running meanwhile.

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <memory>

#include "link/port_names.h"
#include "link/usb_comm.h"
#include "settings/ui/general_dialogs.h"
#include "sim/sim_unit.h"
#include "tests/support/qt/dialog_fixture.h"
#include "tests/support/unit_end.h"

namespace velrix::testing {
namespace {

constexpr int kHandshakeLimitMs = 15000;

class BuzzerDialogTest : public DialogTest {};

TEST_F(BuzzerDialogTest, OpensWithTheCurrentSettingAndFocusOnOn) {
  link.detectionBuzzer = 0;
  CDlg_k_b dialog(settings, link, messages);
  dialog.show();
  QApplication::processEvents();
  EXPECT_EQ(dialog.windowTitle().toStdString(), "検知ブザー設定");
  EXPECT_EQ(dialog.OnRadio()->objectName(), "1000");
  EXPECT_EQ(dialog.OffRadio()->objectName(), "1001");
  EXPECT_FALSE(dialog.OnRadio()->isChecked());
  EXPECT_TRUE(dialog.OffRadio()->isChecked());
  EXPECT_EQ(dialog.focusWidget(), dialog.OnRadio());
}

TEST_F(BuzzerDialogTest, WithTheLinkUpTheThreadTakesTheRequestAndBuzzerDefIsWritten) {
  sim::SimUnit unit;
  std::string error;
  ASSERT_TRUE(unit.Start(&error)) << error;
  LinkConfig config;
  config.overridePort = unit.DevicePath();
  link.comNumber = kOverridePortNumber;
  link.detectionBuzzer = 1;
  CommThread thread(link, config);
  ASSERT_TRUE(thread.Start());
  ASSERT_TRUE(WaitUntil([&] { return link.linkStatus.load() == kLinkOk; }, kHandshakeLimitMs));
  EXPECT_EQ(unit.BuzzerOff(), 0);

  CDlg_k_b dialog(settings, link, messages);
  dialog.show();
  dialog.OffRadio()->setChecked(true);
  dialog.OkButton()->click();

  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.Outcome(), BuzzerOutcome::Taken);
  EXPECT_TRUE(messages.Shown().empty());
  EXPECT_EQ(link.detectionBuzzer.load(), 0);
  EXPECT_EQ(link.buzzerRequest.load(), 0);
  EXPECT_EQ(FileText("buzzer.def"), "0\n");
  EXPECT_TRUE(WaitUntil([&] { return unit.BuzzerOff() == 1; }, kHandshakeLimitMs));
  thread.Stop();
}

TEST_F(BuzzerDialogTest, WithTheLinkDownItSaysSoAndChangesNothing) {
  link.linkStatus = kLinkNg;
  link.detectionBuzzer = 1;
  CDlg_k_b dialog(settings, link, messages);
  dialog.show();
  dialog.OffRadio()->setChecked(true);
  dialog.OkButton()->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.Outcome(), BuzzerOutcome::LinkDown);
  ASSERT_EQ(messages.Shown().size(), 1u);
  EXPECT_EQ(messages.Shown()[0].title, "システム異常");
  EXPECT_EQ(messages.Shown()[0].text, "USBユニットと通信できないため、設定できません。");
  EXPECT_EQ(link.detectionBuzzer.load(), 1);
  EXPECT_EQ(link.buzzerRequest.load(), 0);
  EXPECT_FALSE(FileExists("buzzer.def"));
}

TEST_F(BuzzerDialogTest, ARequestNobodyTakesIsReportedAfterFiveSecondsAndNotWritten) {
  link.linkStatus = kLinkOk;  // says up, but no thread serves it
  link.detectionBuzzer = 1;
  CDlg_k_b dialog(settings, link, messages);
  dialog.show();
  dialog.OffRadio()->setChecked(true);

  // The GUI keeps running during the wait, and the dialog cannot be pressed
  // again or closed under it.
  bool timerRan = false;
  bool buttonsDisabled = false;
  bool stillOpenAfterCancel = false;
  QTimer::singleShot(300, &dialog, [&] {
    timerRan = true;
    buttonsDisabled = !dialog.OkButton()->isEnabled() && !dialog.CancelButton()->isEnabled();
    dialog.reject();
    stillOpenAfterCancel = dialog.isVisible() && dialog.Waiting();
  });
  dialog.OkButton()->click();

  EXPECT_TRUE(timerRan);
  EXPECT_TRUE(buttonsDisabled);
  EXPECT_TRUE(stillOpenAfterCancel);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.Outcome(), BuzzerOutcome::NotTaken);
  ASSERT_EQ(messages.Shown().size(), 1u);
  EXPECT_EQ(messages.Shown()[0].title, "システム異常");
  EXPECT_EQ(messages.Shown()[0].text, "USBユニットとの通信に失敗しました。");
  EXPECT_EQ(link.detectionBuzzer.load(), 0);  // in force in memory, not in the file
  EXPECT_FALSE(FileExists("buzzer.def"));
}

TEST_F(BuzzerDialogTest, TheRequestIsLookedForEvery100MsAtMostFiftyTimes) {
  link.linkStatus = kLinkOk;
  int pauses = 0;
  int totalMs = 0;
  const PauseFn count = [&](int ms) {
    ++pauses;
    totalMs += ms;
  };
  EXPECT_EQ(AcceptBuzzerForm({true}, settings, link, messages, count), BuzzerOutcome::NotTaken);
  EXPECT_EQ(pauses, 50);
  EXPECT_EQ(totalMs, 5000);
  EXPECT_EQ(link.buzzerRequest.load(), 1);

  // Taken at the third look: written at once, no more looks.
  pauses = 0;
  messages.Clear();
  const PauseFn takeAtThird = [&](int) {
    if (++pauses == 3) link.buzzerRequest = 0;
  };
  EXPECT_EQ(AcceptBuzzerForm({true}, settings, link, messages, takeAtThird), BuzzerOutcome::Taken);
  EXPECT_EQ(pauses, 3);
  EXPECT_EQ(FileText("buzzer.def"), "1\n");
  EXPECT_TRUE(messages.Shown().empty());
}

}  // namespace
}  // namespace velrix::testing
