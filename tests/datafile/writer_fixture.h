#pragma once
// A data file writer with real folders, a manual clock and recorded messages.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "datafile/data_file_writer.h"
#include "platform/cp932.h"
#include "tests/support/data_file_fixture.h"
#include "tests/support/recording_messages.h"
#include "tests/support/temp_folder.h"

namespace velrix::testing {

class CountingStop final : public DataFileFailureStop {
 public:
  void StopMeasurementAfterFailure() override { ++stops; }
  int stops = 0;
};

class WriterTest : public ::testing::Test {
 protected:
  WriterTest() {
    UseTestFolders(settings, temp);
    settings.comment.comment = "屋上";
  }

  DataFileEnv Env() {
    return DataFileEnv{settings, clock, messages, autoStart, elapsed, stop};
  }
  int Create() { return CreateDataFile(writer, Env()); }
  // The row of the next second, as a cycle that keeps up writes it: the
  // second after the last row, or the clock's when it has moved on further.
  int Append(double count, std::uint8_t missing = 0, std::uint8_t power = 0) {
    const ClockSeconds next = appended ? lastRowTime + 1 : clock.Now();
    return AppendAt(next > clock.Now() ? next : clock.Now(), count, missing, power);
  }
  int AppendAt(ClockSeconds rowTime, double count, std::uint8_t missing = 0,
               std::uint8_t power = 0) {
    appended = true;
    lastRowTime = rowTime;
    return AppendDataRow(writer, Env(), count, missing, power, rowTime);
  }
  bool appended = false;
  ClockSeconds lastRowTime = 0;
  void SetLocal(int y, int mo, int d, int h, int mi, int s) {
    clock.Set(clock.FromLocal(y, mo, d, h, mi, s));
  }
  std::string WorkingPath() const { return settings.programFolder + "data.tmp"; }
  std::string DataPath(const std::string& tail) const { return settings.dataFolder + "/" + tail; }

  // The expected header for the settings above (line 4 given).
  static std::string Header(const std::string& line4Utf8 = "屋上") {
    return ExpectedHeader(line4Utf8);
  }

  TempFolder temp;
  Settings settings;
  ManualClock clock;
  RecordingMessages messages;
  AutoStartState autoStart = AutoStartState::Armed;
  int elapsed = 0;
  CountingStop stop;
  DataFileWriter writer;
};

}  // namespace velrix::testing
