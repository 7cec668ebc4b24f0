#pragma once
// A measurement on the real link: the simulated unit on a pseudo-terminal,
// the communication thread, the system clock, and the 500 ms cycle driven
// from the test's thread the way the window's timer drives it.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "link/port_names.h"
#include "link/usb_comm.h"
#include "measure/measurement.h"
#include "sim/sim_unit.h"
#include "tests/measure/measure_fixture.h"
#include "tests/support/recording_messages.h"
#include "tests/support/temp_folder.h"

namespace velrix::testing {

inline constexpr double kLinkUpLimitSeconds = 15.0;

class LiveUnitTest : public ::testing::Test {
 protected:
  LiveUnitTest() {
    UseTestFolders(settings, temp);
    settings.displayUnits.averageSeconds = 60;
  }
  void TearDown() override {
    if (comm) comm->Stop();
    if (unit) unit->Stop();
  }

  // Starts the unit and the communication thread on its terminal and waits
  // for the handshake.
  void StartLink(sim::SimConfig config) {
    unit = std::make_unique<sim::SimUnit>(std::move(config));
    std::string error;
    ASSERT_TRUE(unit->Start(&error)) << error;
    linkConfig.overridePort = unit->DevicePath();
    link.detectedPorts[0].store(kOverridePortNumber);
    link.detectedCount.store(1);
    link.comNumber.store(kOverridePortNumber);
    comm = std::make_unique<CommThread>(link, linkConfig);
    ASSERT_TRUE(comm->Start());
    ASSERT_TRUE(RunCycleUntil([&] { return link.linkStatus.load() == kLinkOk; },
                              kLinkUpLimitSeconds));
  }

  // One timer period: the tick, then the refresh it posted.
  void TickOnce() {
    const int posted = view.refreshes;
    CycleTick(ctx);
    if (view.refreshes != posted) MeasurementChecks(ctx);
  }

  // Runs the cycle every 500 ms until the condition holds or the limit ends.
  bool RunCycleUntil(const std::function<bool()>& condition, double limitSeconds) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(limitSeconds));
    auto next = std::chrono::steady_clock::now();
    while (!condition()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      next += kCyclePeriod;
      TickOnce();
      std::this_thread::sleep_until(next);
    }
    return true;
  }
  void RunCycleFor(double seconds) {
    RunCycleUntil([] { return false; }, seconds);
  }
  // After a stop: until the link no longer collects.
  bool Drain() {
    return RunCycleUntil([&] { return link.collecting.load() == 0 && run.cycleActive == 0; },
                         10.0);
  }

  std::string WorkingPath() const { return settings.programFolder + "data.tmp"; }

  TempFolder temp;
  RecordingMessages messages;
  RecordingView view;
  const std::unique_ptr<Station> station = BuildStation({}, messages, DefaultClock());
  Settings& settings = station->settings;
  MeasurementRun& run = station->run;
  LiveHistory& history = station->history;
  DerivedValues& values = station->values;
  UnitLinkState& link = station->link;
  DoseTable& doseTable = station->doseTable;
  DataFileWriter& writer = station->writer;
  MeasurementContext ctx{*station, view};
  LinkConfig linkConfig;
  std::unique_ptr<sim::SimUnit> unit;
  std::unique_ptr<CommThread> comm;
};

// A data row split into its fields.
struct ParsedRow {
  std::string time;
  std::string count;
  int missing = -1;
  int power = -1;
};

inline std::vector<ParsedRow> ParseRows(const std::vector<std::string>& rows) {
  std::vector<ParsedRow> parsed;
  for (const std::string& row : rows) {
    ParsedRow p;
    const std::size_t a = row.find(',');
    const std::size_t b = row.find(',', a + 1);
    const std::size_t c = row.find(',', b + 1);
    p.time = row.substr(0, a);
    p.count = row.substr(a + 1, b - a - 1);
    p.missing = std::stoi(row.substr(b + 1, c - b - 1));
    p.power = std::stoi(row.substr(c + 1));
    parsed.push_back(p);
  }
  return parsed;
}

inline std::vector<std::string> FileRows(const std::string& path) {
  return DataRows(ReadBytes(path));
}

inline int SecondOfDay(const std::string& hhmmss) {
  return std::stoi(hhmmss.substr(0, 2)) * 3600 + std::stoi(hhmmss.substr(3, 2)) * 60 +
         std::stoi(hhmmss.substr(6, 2));
}

}  // namespace velrix::testing
