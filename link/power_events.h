#pragma once
// Power management on the GUI thread: the four power buttons and the four
// power events that switch the battery supply path and the charging path
// after a delay. Both only raise requests in UnitLinkState; the communication
// thread sends the commands, and the next status read brings the real path
// states back.

#include <string>

#include "link/unit_link_state.h"
#include "platform/clock.h"
#include "settings/settings.h"

namespace velrix {

// Commands of the four power buttons.
inline constexpr int kBatteryOnCommand = 50028;
inline constexpr int kBatteryOffCommand = 50026;
inline constexpr int kChargingOnCommand = 50029;
inline constexpr int kChargingOffCommand = 50027;

struct PowerButtonText {
  int command;
  const char* caption;
  const char* tooltip;
};
inline constexpr PowerButtonText kPowerButtons[] = {
    {kBatteryOnCommand, "ON", "バッテリーからの電源供給経路を ON します。"},
    {kBatteryOffCommand, "OFF", "バッテリーからの電源供給経路を OFF します。"},
    {kChargingOnCommand, "ON", "バッテリーへの充電経路を ON します。"},
    {kChargingOffCommand, "OFF", "バッテリーへの充電経路を OFF します。"},
};

// Title of every power event pop-up.
inline constexpr char kPowerPopupTitle[] = "電源イベント";

// What the power logic needs from the view. ShowPowerPopup must return at
// once: the panel never waits for the user, and several pop-ups may be open.
class PowerView {
 public:
  virtual ~PowerView() = default;
  virtual void EnableButton(int command, bool enabled) = 0;
  virtual void ShowPowerPopup(const std::string& text) = 0;
};

// One power event's timer: 0 idle, else the clock second its condition was
// first seen.
struct PowerEvent {
  ClockSeconds eventTimer = 0;
};

// The view's power state: the event timers in evaluation order (solar low,
// solar recovery, battery low, battery recovery, see PowerEventIndex) and the
// states the ON/OFF buttons currently show.
struct PowerPanelState {
  PowerEvent events[kPowerEvents];
  int batteryButtonsOn = 1;
  int chargingButtonsOn = 1;
};

// Seconds from an event's detection to its action (battery delays are minutes).
int PowerEventDelaySeconds(const PowerSettings& settings, int event);

// One press of a power button. Returns false for a command that is not one of
// the four.
bool RunPowerCommand(int command, PowerPanelState& panel, UnitLinkState& link, PowerView& view);

// Runs at every drawing of the main panel: syncs the buttons with the path
// states and advances the four events.
void EvaluatePowerEvents(PowerPanelState& panel, const PowerSettings& settings,
                         UnitLinkState& link, const Clock& clock, PowerView& view);

}  // namespace velrix
