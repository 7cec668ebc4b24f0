#include "link/power_events.h"

namespace velrix {
namespace {

constexpr int kSecondsPerMinute = 60;

// One power event: when it is due and what it switches. The condition of an
// event is its voltage part and its path part together.
struct PowerEventRule {
  bool batteryPath;       // battery supply path, else the charging path
  bool batteryVoltage;    // watches batteryLow, else solarReached
  int voltageValue;       // the value of that field that raises the event
  int pathOnValue;        // the path state the event switches away from
  const char* eventText;
  const char* executionText;
};

// In evaluation order, matching PowerEventIndex.
constexpr PowerEventRule kPowerEventRules[kPowerEvents] = {
    {false, false, 0, 1, "ソーラーパネル供給電圧低下イベントが発生しました。",
     "ソーラーパネルの供給を停止しました。"},
    {false, false, 1, 0, "ソーラーパネル供給電圧回復イベントが発生しました。",
     "ソーラーパネルの供給を開始しました。"},
    {true, true, 1, 1, "バッテリー電圧低下イベントが発生しました。",
     "バッテリーの供給を停止しました。"},
    {true, true, 0, 0, "バッテリー電圧回復イベントが発生しました。",
     "バッテリーの供給を開始しました。"},
};

bool VoltagePartHolds(const PowerEventRule& rule, const UnitLinkState& link) {
  const int value = rule.batteryVoltage ? link.batteryLow.load() : link.solarReached.load();
  return value == rule.voltageValue;
}

bool PathPartHolds(const PowerEventRule& rule, const UnitLinkState& link) {
  const int on = rule.batteryPath ? link.batterySupplyOn.load() : link.chargingOn.load();
  return on == rule.pathOnValue;
}

// Raises the switch request for one path.
void RequestPath(bool batteryPath, bool on, UnitLinkState& link) {
  link.powerCommandState.store(1);
  if (batteryPath) {
    link.batteryOffWanted.store(on ? 0 : 1);
    link.batteryRequest.store(1);
  } else {
    link.chargingOffWanted.store(on ? 0 : 1);
    link.chargingRequest.store(1);
  }
}

void SyncButtons(int pathOn, int& buttonsOn, int onCommand, int offCommand, PowerView& view) {
  if (pathOn == 1 && buttonsOn == 0) {
    buttonsOn = 1;
    view.EnableButton(offCommand, true);
    view.EnableButton(onCommand, false);
  } else if (pathOn != 1 && buttonsOn == 1) {
    buttonsOn = 0;
    view.EnableButton(offCommand, false);
    view.EnableButton(onCommand, true);
  }
}

}  // namespace

int PowerEventDelaySeconds(const PowerSettings& settings, int event) {
  const int delay = settings.events[event].delay;
  return kPowerEventRules[event].batteryPath ? delay * kSecondsPerMinute : delay;
}

bool RunPowerCommand(int command, PowerPanelState& panel, UnitLinkState& link, PowerView& view) {
  bool batteryPath = false;
  bool on = false;
  int partner = 0;
  switch (command) {
    case kBatteryOnCommand: batteryPath = true; on = true; partner = kBatteryOffCommand; break;
    case kBatteryOffCommand: batteryPath = true; on = false; partner = kBatteryOnCommand; break;
    case kChargingOnCommand: batteryPath = false; on = true; partner = kChargingOffCommand; break;
    case kChargingOffCommand: batteryPath = false; on = false; partner = kChargingOnCommand; break;
    default: return false;
  }
  view.EnableButton(command, false);
  view.EnableButton(partner, true);
  (batteryPath ? link.batterySupplyOn : link.chargingOn).store(on ? 1 : 0);
  (batteryPath ? panel.batteryButtonsOn : panel.chargingButtonsOn) = on ? 1 : 0;
  RequestPath(batteryPath, on, link);
  return true;
}

void EvaluatePowerEvents(PowerPanelState& panel, const PowerSettings& settings,
                         UnitLinkState& link, const Clock& clock, PowerView& view) {
  // While the link is down or a command is on its way, the path states are
  // not the unit's: the timers keep their start seconds until it settles.
  if (link.linkStatus.load() != kLinkOk || link.powerCommandState.load() != 0) return;

  SyncButtons(link.batterySupplyOn.load(), panel.batteryButtonsOn, kBatteryOnCommand,
              kBatteryOffCommand, view);
  SyncButtons(link.chargingOn.load(), panel.chargingButtonsOn, kChargingOnCommand,
              kChargingOffCommand, view);

  // Delays are elapsed time: setting the computer's clock must neither
  // fire an action early nor hold it back for the length of the step.
  const ClockSeconds now = clock.ElapsedSeconds();
  for (int i = 0; i < kPowerEvents; ++i) {
    const PowerEventRule& rule = kPowerEventRules[i];
    const PowerEventSetting& setting = settings.events[i];
    ClockSeconds& timer = panel.events[i].eventTimer;
    if (setting.enabled == 0) {
      timer = 0;
    } else if (timer == 0) {
      if (VoltagePartHolds(rule, link) && PathPartHolds(rule, link)) {
        timer = now;
        if (setting.popupAtEvent != 0) view.ShowPowerPopup(rule.eventText);
      }
    } else if (now - timer >= PowerEventDelaySeconds(settings, i)) {
      if (!VoltagePartHolds(rule, link)) {
        timer = 0;
      } else if (PathPartHolds(rule, link)) {
        // Two actions may be due in one drawing; the link sends the battery
        // request first and builds each command from both wanted states.
        RequestPath(rule.batteryPath, rule.pathOnValue == 0, link);
        if (setting.popupAtExecution != 0) view.ShowPowerPopup(rule.executionText);
        timer = 0;
      }
      // Otherwise the path was switched by hand meanwhile: the timer runs on
      // until the voltage changes.
    }
  }
}

}  // namespace velrix
