#pragma once
// A data file writer with real folders, a manual clock and recorded messages.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "datafile/data_file_writer.h"
#include "platform/cp932.h"
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
    settings.programFolder = temp.slash() + "program/";
    settings.dataFolder = temp.path() + "/documents/Velrix";
    std::filesystem::create_directories(settings.programFolder);
    settings.comment.computerName = "PC-01";
    settings.comment.unitNumber = "0001";
    settings.comment.comment = "屋上";
  }

  DataFileEnv Env() {
    return DataFileEnv{settings, clock, messages, autoStart, elapsed, stop};
  }
  int Create() { return CreateDataFile(writer, Env()); }
  int Append(double count, std::uint8_t missing = 0, std::uint8_t power = 0) {
    return AppendDataRow(writer, Env(), count, missing, power);
  }
  void SetLocal(int y, int mo, int d, int h, int mi, int s) {
    clock.Set(clock.FromLocal(y, mo, d, h, mi, s));
  }
  std::string WorkingPath() const { return settings.programFolder + "data.tmp"; }
  std::string DataPath(const std::string& tail) const { return settings.dataFolder + "/" + tail; }

  // The expected header for the settings above (line 4 given).
  static std::string Header(const std::string& line4Utf8 = "屋上") {
    return "2.00\r\nPC-01\r\n0001\r\n" + Utf8ToCp932(line4Utf8) + "\r\n" +
           Utf8ToCp932("時刻,カウント値,リトライ,電源ステータス") + "\r\n";
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
