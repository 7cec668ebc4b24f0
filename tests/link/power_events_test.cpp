#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "link/power_events.h"
#include "platform/clock.h"

namespace velrix {
namespace {

// Remembers what the panel would show: button states and pop-up texts.
class RecordingPowerView final : public PowerView {
 public:
  void EnableButton(int command, bool enabled) override { enabled_[command] = enabled; }
  void ShowPowerPopup(const std::string& text) override { popups.push_back(text); }
  // -1 when the button was never touched.
  int Enabled(int command) const {
    auto it = enabled_.find(command);
    return it == enabled_.end() ? -1 : (it->second ? 1 : 0);
  }
  std::vector<std::string> popups;

 private:
  std::map<int, bool> enabled_;
};

constexpr const char* kBatteryLowText = "バッテリー電圧低下イベントが発生しました。";
constexpr const char* kBatteryStoppedText = "バッテリーの供給を停止しました。";
constexpr const char* kSolarStoppedText = "ソーラーパネルの供給を停止しました。";
constexpr const char* kSolarRecoveryText = "ソーラーパネル供給電圧回復イベントが発生しました。";
constexpr const char* kSolarStartedText = "ソーラーパネルの供給を開始しました。";
constexpr const char* kBatteryRecoveryText = "バッテリー電圧回復イベントが発生しました。";
constexpr const char* kBatteryStartedText = "バッテリーの供給を開始しました。";

class PowerEvents : public ::testing::Test {
 protected:
  PowerEvents() : clock(ManualClock().FromLocal(2024, 5, 1, 9, 0, 0)) {
    link.linkStatus.store(kLinkOk);
    link.batteryLow.store(0);
    link.solarReached.store(1);
  }
  void Enable(int event, int delay, int popupAtEvent = 1, int popupAtExecution = 1) {
    settings.events[event] = PowerEventSetting{1, delay, popupAtEvent, popupAtExecution};
  }
  void Draw() { EvaluatePowerEvents(panel, settings, link, clock, view); }
  // What the link does after sending the command and reading the status again.
  void LinkSettles() {
    link.batteryRequest.store(0);
    link.chargingRequest.store(0);
    link.powerCommandState.store(0);
  }

  ManualClock clock;
  UnitLinkState link;
  PowerSettings settings;
  PowerPanelState panel;
  RecordingPowerView view;
};

TEST_F(PowerEvents, BatteryLowShowsTheEventAtOnceAndSwitchesOffAfterTwoMinutes) {
  Enable(kBatteryLow, 2);
  link.batteryLow.store(1);
  Draw();
  EXPECT_EQ(view.popups, (std::vector<std::string>{kBatteryLowText}));
  EXPECT_EQ(link.powerCommandState.load(), 0);

  clock.Advance(119);
  Draw();
  EXPECT_EQ(link.batteryRequest.load(), 0);
  EXPECT_EQ(view.popups.size(), 1u);

  clock.Advance(1);
  Draw();
  EXPECT_EQ(link.batteryRequest.load(), 1);
  EXPECT_EQ(link.batteryOffWanted.load(), 1);
  EXPECT_EQ(link.chargingRequest.load(), 0);
  EXPECT_EQ(link.powerCommandState.load(), 1);
  EXPECT_EQ(view.popups, (std::vector<std::string>{kBatteryLowText, kBatteryStoppedText}));
  EXPECT_EQ(panel.events[kBatteryLow].eventTimer, 0);
}

TEST_F(PowerEvents, RecoveryBeforeTheDelayClearsTheTimerSilently) {
  Enable(kBatteryLow, 2);
  link.batteryLow.store(1);
  Draw();
  clock.Advance(60);
  link.batteryLow.store(0);
  Draw();
  EXPECT_NE(panel.events[kBatteryLow].eventTimer, 0);  // left alone until the delay ends
  clock.Advance(60);
  Draw();
  EXPECT_EQ(panel.events[kBatteryLow].eventTimer, 0);
  EXPECT_EQ(link.batteryRequest.load(), 0);
  EXPECT_EQ(link.powerCommandState.load(), 0);
  EXPECT_EQ(view.popups, (std::vector<std::string>{kBatteryLowText}));
}

TEST_F(PowerEvents, ManualSwitchDuringTheDelayLeavesTheTimerRunning) {
  Enable(kBatteryLow, 2);
  link.batteryLow.store(1);
  Draw();
  const ClockSeconds started = panel.events[kBatteryLow].eventTimer;
  clock.Advance(30);
  ASSERT_TRUE(RunPowerCommand(kBatteryOffCommand, panel, link, view));
  EXPECT_EQ(view.Enabled(kBatteryOffCommand), 0);
  EXPECT_EQ(view.Enabled(kBatteryOnCommand), 1);
  EXPECT_EQ(link.batterySupplyOn.load(), 0);
  EXPECT_EQ(link.batteryOffWanted.load(), 1);
  EXPECT_EQ(link.batteryRequest.load(), 1);
  EXPECT_EQ(link.powerCommandState.load(), 1);
  LinkSettles();  // the unit now reports the supply off

  clock.Advance(200);
  Draw();
  EXPECT_EQ(panel.events[kBatteryLow].eventTimer, started);
  EXPECT_EQ(link.batteryRequest.load(), 0);
  EXPECT_EQ(link.powerCommandState.load(), 0);
  EXPECT_EQ(view.popups.size(), 1u);

  link.batteryLow.store(0);  // the voltage changes: only now the timer goes idle
  Draw();
  EXPECT_EQ(panel.events[kBatteryLow].eventTimer, 0);
}

TEST_F(PowerEvents, SolarLowAndBatteryLowDueTogetherRaiseBothRequestsInOneDrawing) {
  Enable(kSolarLow, 60, 0, 1);
  Enable(kBatteryLow, 1, 0, 1);
  link.batteryLow.store(1);
  link.solarReached.store(0);
  Draw();
  EXPECT_TRUE(view.popups.empty());
  clock.Advance(60);
  Draw();
  EXPECT_EQ(link.batteryRequest.load(), 1);
  EXPECT_EQ(link.batteryOffWanted.load(), 1);
  EXPECT_EQ(link.chargingRequest.load(), 1);
  EXPECT_EQ(link.chargingOffWanted.load(), 1);
  EXPECT_EQ(link.powerCommandState.load(), 1);
  EXPECT_EQ(panel.events[kSolarLow].eventTimer, 0);
  EXPECT_EQ(panel.events[kBatteryLow].eventTimer, 0);
  // Execution texts in evaluation order: solar low before battery low.
  EXPECT_EQ(view.popups, (std::vector<std::string>{kSolarStoppedText, kBatteryStoppedText}));

  Draw();  // commands on their way: nothing is evaluated again
  EXPECT_EQ(view.popups.size(), 2u);
}

TEST_F(PowerEvents, RecoveryEventsSwitchThePathsBackOnWithTheirTexts) {
  Enable(kSolarRecovery, 5);
  Enable(kBatteryRecovery, 1);
  link.batterySupplyOn.store(0);
  link.chargingOn.store(0);
  Draw();
  // The buttons follow the paths reported off.
  EXPECT_EQ(view.Enabled(kBatteryOnCommand), 1);
  EXPECT_EQ(view.Enabled(kBatteryOffCommand), 0);
  EXPECT_EQ(view.Enabled(kChargingOnCommand), 1);
  EXPECT_EQ(view.Enabled(kChargingOffCommand), 0);
  EXPECT_EQ(panel.batteryButtonsOn, 0);
  EXPECT_EQ(panel.chargingButtonsOn, 0);
  EXPECT_EQ(view.popups, (std::vector<std::string>{kSolarRecoveryText, kBatteryRecoveryText}));

  clock.Advance(5);
  Draw();
  EXPECT_EQ(link.chargingRequest.load(), 1);
  EXPECT_EQ(link.chargingOffWanted.load(), 0);
  EXPECT_EQ(link.batteryRequest.load(), 0);
  LinkSettles();
  clock.Advance(55);
  Draw();
  EXPECT_EQ(link.batteryRequest.load(), 1);
  EXPECT_EQ(link.batteryOffWanted.load(), 0);
  EXPECT_EQ(view.popups.back(), kBatteryStartedText);
  EXPECT_EQ(view.popups[2], kSolarStartedText);
}

TEST_F(PowerEvents, SolarDelayIsInSecondsAndBatteryDelayInMinutes) {
  settings.events[kSolarLow].delay = 7;
  settings.events[kSolarRecovery].delay = 1000;
  settings.events[kBatteryLow].delay = 2;
  settings.events[kBatteryRecovery].delay = 60;
  EXPECT_EQ(PowerEventDelaySeconds(settings, kSolarLow), 7);
  EXPECT_EQ(PowerEventDelaySeconds(settings, kSolarRecovery), 1000);
  EXPECT_EQ(PowerEventDelaySeconds(settings, kBatteryLow), 120);
  EXPECT_EQ(PowerEventDelaySeconds(settings, kBatteryRecovery), 3600);
}

TEST_F(PowerEvents, StatusNeverReadFiresNoEvent) {
  for (int e = 0; e < kPowerEvents; ++e) Enable(e, 1);
  link.batteryLow.store(-1);
  link.solarReached.store(-1);
  for (int i = 0; i < 5; ++i) {
    Draw();
    clock.Advance(3600);
  }
  EXPECT_TRUE(view.popups.empty());
  EXPECT_EQ(link.powerCommandState.load(), 0);
  EXPECT_EQ(link.batteryRequest.load() + link.chargingRequest.load(), 0);
  // What every sample then carries: battery not normal, solar counted as reached.
  EXPECT_EQ(CurrentPowerStatus(link), 2);
}

TEST_F(PowerEvents, DisabledEventStopsItsTimer) {
  Enable(kSolarLow, 10);
  link.solarReached.store(0);
  Draw();
  EXPECT_NE(panel.events[kSolarLow].eventTimer, 0);
  settings.events[kSolarLow].enabled = 0;
  Draw();
  EXPECT_EQ(panel.events[kSolarLow].eventTimer, 0);
  clock.Advance(20);
  Draw();
  EXPECT_EQ(link.chargingRequest.load(), 0);
}

TEST_F(PowerEvents, LinkNotOkOrCommandPendingFreezesTimersAndButtons) {
  Enable(kBatteryLow, 1);
  link.batteryLow.store(1);
  Draw();
  const ClockSeconds started = panel.events[kBatteryLow].eventTimer;
  link.linkStatus.store(kLinkNg);
  link.batteryLow.store(0);
  link.batterySupplyOn.store(0);
  clock.Advance(600);
  Draw();
  EXPECT_EQ(panel.events[kBatteryLow].eventTimer, started);
  EXPECT_EQ(view.Enabled(kBatteryOnCommand), -1);
  link.linkStatus.store(kLinkOk);
  link.powerCommandState.store(2);
  Draw();
  EXPECT_EQ(panel.events[kBatteryLow].eventTimer, started);
  EXPECT_EQ(panel.batteryButtonsOn, 1);
}

TEST_F(PowerEvents, PopupsAreShownOnlyWhenEnabled) {
  Enable(kSolarLow, 1, 0, 0);
  link.solarReached.store(0);
  Draw();
  clock.Advance(1);
  Draw();
  EXPECT_EQ(link.chargingRequest.load(), 1);
  EXPECT_TRUE(view.popups.empty());
}

TEST(PowerCommands, EachButtonRaisesItsPathRequestAndSwapsTheEnabledButton) {
  struct Case {
    int command;
    int partner;
    bool battery;
    int on;
  };
  const Case cases[] = {{kBatteryOnCommand, kBatteryOffCommand, true, 1},
                        {kBatteryOffCommand, kBatteryOnCommand, true, 0},
                        {kChargingOnCommand, kChargingOffCommand, false, 1},
                        {kChargingOffCommand, kChargingOnCommand, false, 0}};
  for (const Case& c : cases) {
    UnitLinkState link;
    PowerPanelState panel;
    RecordingPowerView view;
    link.batterySupplyOn.store(1 - c.on);
    link.chargingOn.store(1 - c.on);
    ASSERT_TRUE(RunPowerCommand(c.command, panel, link, view)) << c.command;
    EXPECT_EQ(view.Enabled(c.command), 0) << c.command;
    EXPECT_EQ(view.Enabled(c.partner), 1) << c.command;
    EXPECT_EQ(link.powerCommandState.load(), 1);
    if (c.battery) {
      EXPECT_EQ(link.batterySupplyOn.load(), c.on);
      EXPECT_EQ(panel.batteryButtonsOn, c.on);
      EXPECT_EQ(link.batteryOffWanted.load(), 1 - c.on);
      EXPECT_EQ(link.batteryRequest.load(), 1);
      EXPECT_EQ(link.chargingRequest.load(), 0);
    } else {
      EXPECT_EQ(link.chargingOn.load(), c.on);
      EXPECT_EQ(panel.chargingButtonsOn, c.on);
      EXPECT_EQ(link.chargingOffWanted.load(), 1 - c.on);
      EXPECT_EQ(link.chargingRequest.load(), 1);
      EXPECT_EQ(link.batteryRequest.load(), 0);
    }
    EXPECT_TRUE(view.popups.empty());
  }
  UnitLinkState link;
  PowerPanelState panel;
  RecordingPowerView view;
  EXPECT_FALSE(RunPowerCommand(32787, panel, link, view));
  EXPECT_EQ(link.powerCommandState.load(), 0);
}

}  // namespace
}  // namespace velrix
