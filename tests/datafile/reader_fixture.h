#pragma once
// Data files made byte for byte in a temporary data folder, and a file
// history that loads them with a manual clock (local time UTC+9) and recorded
// messages.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "datafile/data_file_reader.h"
#include "datafile/data_file_writer.h"
#include "datafile/file_history.h"
#include "platform/cp932.h"
#include "tests/support/recording_messages.h"
#include "tests/support/temp_folder.h"

namespace velrix::testing {

struct FileSpec {
  std::string name;                 // yymmdd-hhmmss.csv
  int firstRow = -1;                // second of the day of the first row; -1: the name's time
  std::vector<double> counts;
  std::string comment = "屋上";     // UTF-8
  std::string version = "2.00";
  std::string computer = "PC-01";
  std::string unit = "0001";
  std::vector<int> missing = {};    // per row, 0 when absent
};

// The time a name encodes as a second of the day; 0 for a name that is not one.
inline int NameSecond(const std::string& name) {
  int digits[6] = {};
  for (int i = 0; i < 6; ++i) {
    const std::size_t at = 7 + (i / 2) * 2 + i % 2;
    if (name.size() < 17 || name[at] < '0' || name[at] > '9') return 0;
    digits[i] = name[at] - '0';
  }
  return (digits[0] * 10 + digits[1]) * 3600 + (digits[2] * 10 + digits[3]) * 60 +
         digits[4] * 10 + digits[5];
}

// A data file's bytes as the writer makes them.
inline std::string DataFileBytes(const FileSpec& f) {
  std::string b = f.version + "\r\n" + f.computer + "\r\n" + f.unit + "\r\n" +
                  Utf8ToCp932(f.comment) + "\r\n" +
                  Utf8ToCp932("時刻,カウント値,リトライ,電源ステータス") + "\r\n";
  int second = f.firstRow >= 0 ? f.firstRow : NameSecond(f.name);
  char row[kDataRowMaxBytes];
  for (std::size_t i = 0; i < f.counts.size(); ++i, ++second) {
    const int r = i < f.missing.size() ? f.missing[i] : 0;
    b.append(row, static_cast<std::size_t>(FormatDataRow(row, second % 86400, f.counts[i], r, 0)));
    b += "\r\n";
  }
  return b;
}

class ReaderTest : public ::testing::Test {
 protected:
  ReaderTest() : h(std::make_unique<FileHistory>()) {}

  static std::string Bytes(const FileSpec& f) { return DataFileBytes(f); }
  // Writes the file into its dated folder (or the given folder) and returns its path.
  std::string Write(const FileSpec& f, const std::string& folder = "") {
    const std::string dir = folder.empty() ? DayFolder(f.name) : folder;
    std::filesystem::create_directories(dir);
    const std::string path = dir + "/" + f.name;
    WriteBytes(path, Bytes(f));
    return path;
  }
  std::string DayFolder(const std::string& name) const {
    return dataFolder() + "/20" + name.substr(0, 2) + "/" + name.substr(2, 2) + "/" + name.substr(4, 2);
  }
  std::string dataFolder() const { return temp.path() + "/Velrix"; }

  void Load(const std::string& path) { LoadDataFile(*h, path, env); }
  ClockSeconds Local(int y, int mo, int d, int hh, int mi, int s) const {
    return clock.FromLocal(y, mo, d, hh, mi, s);
  }
  double Count(long long second) const { return h->timeline.slots[second % 86400].count; }
  double Average(long long second) const { return h->timeline.slots[second % 86400].average; }

  TempFolder temp;
  ManualClock clock;
  RecordingMessages messages;
  ReaderEnv env{messages, clock};
  std::unique_ptr<FileHistory> h;
};

}  // namespace velrix::testing
