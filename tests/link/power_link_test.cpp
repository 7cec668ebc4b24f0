// Power requests and status reads carried out by the real link against the
// simulated unit on a pseudo-terminal.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "link/power_events.h"
#include "link/unit_link_state.h"
#include "link/usb_comm.h"
#include "link/usb_comm_kanshi.h"
#include "platform/clock.h"
#include "sim/sim_unit.h"
#include "tests/support/temp_folder.h"

namespace velrix {
namespace {

using Steady = std::chrono::steady_clock;

constexpr std::uint8_t kCodeSetPowerPaths = 0x80;
constexpr std::uint8_t kCodeGetPowerStatus = 0x90;

bool WaitFor(const std::function<bool()>& condition, double seconds) {
  const auto deadline = Steady::now() + std::chrono::duration<double>(seconds);
  while (Steady::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return condition();
}

class NullPowerView final : public PowerView {
 public:
  void EnableButton(int, bool) override {}
  void ShowPowerPopup(const std::string& text) override { popups.push_back(text); }
  std::vector<std::string> popups;
};

// The frames of one code the PC sent, in order, from the unit's record of
// the bytes it received.
std::vector<std::vector<std::uint8_t>> FramesFromPc(const sim::SimUnit& unit, std::uint8_t code) {
  const std::vector<std::uint8_t> bytes = unit.ReceivedFromPc();
  std::vector<std::vector<std::uint8_t>> frames;
  for (std::size_t i = 0; i + 1 < bytes.size();) {
    const std::size_t length = bytes[i + 1];
    if (i + 2 + length > bytes.size()) break;
    if (bytes[i] == code) frames.emplace_back(bytes.begin() + i, bytes.begin() + i + 2 + length);
    i += 2 + length;
  }
  return frames;
}

class LinkedUnit : public ::testing::Test {
 protected:
  void Connect(sim::SimConfig unitConfig) {
    unitConfig.linkPath = folder.File("unit");
    unit = std::make_unique<sim::SimUnit>(unitConfig);
    ASSERT_TRUE(unit->Start());
    config.sysfsRoot = folder.File("no-sysfs");
    config.overridePort = unitConfig.linkPath;
    supervisor = std::make_unique<LinkSupervisor>(state, config);
    ASSERT_TRUE(supervisor->Start());
    ASSERT_TRUE(WaitFor([&] { return state.linkStatus.load() == kLinkOk; }, 15));
  }
  void TearDown() override {
    if (supervisor) supervisor->Stop();
  }

  testing::TempFolder folder;
  LinkConfig config;
  UnitLinkState state;
  std::unique_ptr<sim::SimUnit> unit;
  std::unique_ptr<LinkSupervisor> supervisor;
};

TEST_F(LinkedUnit, SolarLowAndBatteryLowDueTogetherSwitchBothPathsOffBatteryFirst) {
  sim::SimConfig unitConfig;
  unitConfig.batteryLow = true;
  unitConfig.solarReached = false;
  Connect(unitConfig);
  ASSERT_TRUE(WaitFor([&] { return state.batteryLow.load() == 1 && state.solarReached.load() == 0; }, 10));

  PowerSettings settings;
  settings.events[kSolarLow] = PowerEventSetting{1, 60, 0, 1};
  settings.events[kBatteryLow] = PowerEventSetting{1, 1, 0, 1};
  PowerPanelState panel;
  NullPowerView view;
  ManualClock clock(ManualClock().FromLocal(2024, 6, 1, 12, 0, 0));
  EvaluatePowerEvents(panel, settings, state, clock, view);
  clock.Advance(60);
  // Both actions are due in this one drawing; the link sends both commands
  // in its next pass.
  EvaluatePowerEvents(panel, settings, state, clock, view);
  ASSERT_TRUE(WaitFor([&] {
    return unit->CommandsReceived(kCodeSetPowerPaths) == 2 && state.powerCommandState.load() == 0;
  }, 15));
  EXPECT_EQ(unit->PowerPaths(), 0x03);
  EXPECT_EQ(state.batterySupplyOn.load(), 0);
  EXPECT_EQ(state.chargingOn.load(), 0);

  // Battery first; the charging command keeps the battery path off.
  const auto frames = FramesFromPc(*unit, kCodeSetPowerPaths);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0], (std::vector<std::uint8_t>{0x80, 0x01, 0x02}));
  EXPECT_EQ(frames[1], (std::vector<std::uint8_t>{0x80, 0x01, 0x03}));
  EXPECT_EQ(view.popups.size(), 2u);

  // With both paths off, nothing is due any more.
  clock.Advance(3600);
  EvaluatePowerEvents(panel, settings, state, clock, view);
  EXPECT_EQ(state.powerCommandState.load(), 0);
}

TEST_F(LinkedUnit, ManualBatteryOffIsSentWithTheChargingPathKept) {
  Connect(sim::SimConfig{});
  PowerPanelState panel;
  NullPowerView view;
  ASSERT_TRUE(RunPowerCommand(kBatteryOffCommand, panel, state, view));
  ASSERT_TRUE(WaitFor([&] { return unit->CommandsReceived(kCodeSetPowerPaths) == 1; }, 10));
  ASSERT_TRUE(WaitFor([&] { return state.powerCommandState.load() == 0; }, 10));
  EXPECT_EQ(FramesFromPc(*unit, kCodeSetPowerPaths)[0], (std::vector<std::uint8_t>{0x80, 0x01, 0x02}));
  EXPECT_EQ(unit->PowerPaths(), 0x02);
  EXPECT_EQ(state.batterySupplyOn.load(), 0);
  EXPECT_EQ(state.chargingOn.load(), 1);
}

// "5" with "分" is stored as 300 seconds: while measuring, the status is read
// once and then not again for five minutes; otherwise on every pass.
TEST_F(LinkedUnit, FiveMinuteIntervalReadsTheStatusOnlyEveryThreeHundredSecondsWhileMeasuring) {
  state.statusReadInterval.store(5 * 60);
  Connect(sim::SimConfig{});
  const int idleStart = unit->CommandsReceived(kCodeGetPowerStatus);
  std::this_thread::sleep_for(std::chrono::seconds(2));
  EXPECT_GE(unit->CommandsReceived(kCodeGetPowerStatus) - idleStart, 5);

  state.measuring.store(1);
  ASSERT_TRUE(WaitFor([&] { return unit->Counting() && state.storedSamples.load() >= 1; }, 10));
  const int measuringStart = unit->CommandsReceived(kCodeGetPowerStatus);
  ASSERT_TRUE(WaitFor([&] { return state.storedSamples.load() >= 5; }, 15));
  EXPECT_EQ(unit->CommandsReceived(kCodeGetPowerStatus), measuringStart);

  state.measuring.store(0);
  ASSERT_TRUE(WaitFor([&] {
    return unit->CommandsReceived(kCodeGetPowerStatus) >= measuringStart + 5;
  }, 10));
}

}  // namespace
}  // namespace velrix
