#pragma once
// A measurement on a station of its own, with a manual clock, real files in
// a temporary folder, and a view that records what the window would do.
// Samples are fed into UnitLinkState's ring exactly as the link feeds them.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "datafile/working_copy.h"
#include "link/protocol.h"
#include "measure/measurement.h"
#include "platform/cp932.h"
#include "tests/support/data_file_fixture.h"
#include "tests/support/recording_messages.h"
#include "tests/support/temp_folder.h"

namespace velrix::testing {

class RecordingView final : public MeasurementView {
 public:
  void SetRunButtons(bool startOn, bool stopOn) override {
    startEnabled = startOn;
    stopEnabled = stopOn;
    ++buttonChanges;
  }
  bool ConfirmComment() override {
    ++commentChecks;
    return commentAnswer;
  }
  void RedrawPanel() override { ++redraws; }
  bool ShowsLiveMeasurement() const override { return live; }
  void UpdateCursorReadout() override { ++cursorUpdates; }
  void PostRefresh() override { ++refreshes; }

  bool startEnabled = true;
  bool stopEnabled = false;
  int buttonChanges = 0;
  bool commentAnswer = true;
  int commentChecks = 0;
  int redraws = 0;
  bool live = true;
  int cursorUpdates = 0;
  int refreshes = 0;
};

class MeasureTest : public ::testing::Test {
 protected:
  MeasureTest() {
    UseTestFolders(settings, temp);
    settings.comment.comment = "屋上";
    settings.displayUnits.averageSeconds = 60;
    link.linkStatus.store(kLinkOk);
  }

  void SetLocal(int y, int mo, int d, int h, int mi, int s) {
    clock.Set(clock.FromLocal(y, mo, d, h, mi, s));
  }
  // The link's side: complete the entry, then publish it.
  void Push(double count, std::uint8_t missing = 0, std::uint8_t power = 0) {
    PublishEntry(link, count, missing, power);
  }
  // A run of missing seconds, one entry as the link's gap check makes it.
  void PushMissingRun(std::uint32_t seconds, std::uint8_t power = 0) {
    PublishEntry(link, 0.0, 1, power, seconds);
  }
  void Tick() { CycleTick(ctx); }
  // One clock second: the link delivers a sample, the cycle ticks twice.
  void Second(double count, std::uint8_t missing = 0, std::uint8_t power = 0) {
    Push(count, missing, power);
    Tick();
    Tick();
    clock.Advance(1);
  }
  void Start() { StartMeasurement(ctx); }

  std::string WorkingPath() const { return settings.programFolder + "data.tmp"; }
  std::string DataPath(const std::string& tail) const { return settings.dataFolder + "/" + tail; }
  static std::string Header(const std::string& line4Utf8 = "屋上") {
    return ExpectedHeader(line4Utf8);
  }
  static std::vector<std::string> Rows(const std::string& bytes) { return DataRows(bytes); }

  TempFolder temp;
  ManualClock clock;
  RecordingMessages messages;
  RecordingView view;
  const std::unique_ptr<Station> station = BuildStation({}, messages, clock);
  Settings& settings = station->settings;
  MeasurementRun& run = station->run;
  LiveHistory& history = station->history;
  DerivedValues& values = station->values;
  UnitLinkState& link = station->link;
  DoseTable& doseTable = station->doseTable;
  DataFileWriter& writer = station->writer;
  MeasurementContext ctx{*station, view};
};

}  // namespace velrix::testing
