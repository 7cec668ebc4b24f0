#pragma once
// The writer of the measurement data files: one CSV file per measurement
// start and one more for every midnight the measurement runs through, in the
// dated folders YYYY/MM/DD below the data folder. Rows go to the working copy
// in the program folder and reach the dated file only by a commit (a stop,
// the program's end, the midnight rollover), so a dated file is never seen
// half-written. The format of the files is in data_file_format.h.

#include <cstdint>
#include <string>
#include <vector>

#include "datafile/data_file_format.h"
#include "platform/clock.h"
#include "platform/user_messages.h"
#include "settings/settings.h"
#include "shared/auto_start.h"

namespace velrix {

// One data file written by the current measurement.
struct MeasurementFileEntry {
  char name[kDataFileNameLength + 1] = {};
  int startSecond = 0;  // elapsed second of the measurement at which the file began
  // The measurement's second (from 0) of the file's first row and its
  // calendar second; -1 before the file has a row. A file begun at a change
  // of local time starts a new relation between seconds and dates.
  int firstRowSecond = -1;
  ClockSeconds firstRowTime = 0;
};

// The files of the current measurement in the order they were created. Entry
// i covers elapsed seconds from its start to the next entry's start; the last
// one up to its start plus one day.
struct MeasurementFileList {
  MeasurementFileList();
  std::vector<MeasurementFileEntry> entries;  // room for years of days, reserved once
  void Clear() { entries.clear(); }
  int size() const { return static_cast<int>(entries.size()); }
};

// The writer's state, owned with the rest of the measurement state.
struct DataFileWriter {
  bool failed = false;        // any failure; create and append do nothing until the next start
  bool midnightName = false;  // only during the rollover: the "-000000" name
  std::int32_t slot = -1;     // second of the day of the next row; -1 = not yet anchored
  CalendarTime fileDate;      // local date the current file's rows belong to
  ClockSeconds lastRowTime = 0;   // calendar second of the last row written
  ClockSeconds firstRowTime = 0;  // clock time the measurement's first row was anchored
  std::string workingPath;
  std::string datedPath;
  MeasurementFileList files;
};

// How the writer stops the measurement that calls it when a file operation
// fails (the failure stop: no commit).
class DataFileFailureStop {
 public:
  virtual void StopMeasurementAfterFailure() = 0;

 protected:
  ~DataFileFailureStop() = default;
};

// What the writer reads and changes outside its own state, handed in on
// every call.
struct DataFileEnv {
  const Settings& settings;         // dataFolder, programFolder, comment texts
  const Clock& clock;
  UserMessages& messages;
  AutoStartState& autoStartState;   // "auto" is written once, then the state moves on
  int elapsedSeconds;               // the measurement's elapsed seconds, for the file list
                                    // (while a row is appended: its second + 1)
  DataFileFailureStop& failureStop;
};

// Creates the dated folders and a fresh working copy with its header.
// 0 on success, 1 on failure (already reported and the measurement stopped).
int CreateDataFile(DataFileWriter& writer, const DataFileEnv& env);

// Appends the row of one completed second (count value, missing flag, power
// status) labelled with the local time of rowTime, the calendar second it
// stands for (not the moment it is written). A new file begins when the
// label does not follow the last row's: at midnight (the "-000000" file), and
// at a change of local time (daylight saving, someone setting the clock),
// where the file is named after the new label, so that no label repeats or
// jumps within a file. 0 on success, 1 on failure (already reported and the
// measurement stopped).
int AppendDataRow(DataFileWriter& writer, const DataFileEnv& env, double count,
                  std::uint8_t missing, std::uint8_t power, ClockSeconds rowTime);

// Copies the working copy over the current dated file. 0 on success, 1 when
// there was nothing to copy or the copy failed (the working copy is then
// still noted as uncommitted and is recovered at the next start).
int CommitDataFile(DataFileWriter& writer);

// The row of one second as it stands in the file, without the line end.
// Writes into buffer (at least kDataRowMaxBytes) and returns its length.
inline constexpr std::size_t kDataRowMaxBytes = 400;
int FormatDataRow(char* buffer, int secondOfDay, double count, int missing, int power);

// "yymmdd-hhmmss.csv" for a file begun at `at`, or "yymmdd-000000.csv".
std::string DataFileName(const CalendarTime& at, bool midnight);

// The day folder below the data folder: dataFolder/YYYY/MM/DD.
std::string DayFolderPath(const std::string& dataFolder, const CalendarTime& at);

}  // namespace velrix
