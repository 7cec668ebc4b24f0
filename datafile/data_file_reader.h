#pragma once
// The reader of the measurement data files: it takes a file read by
// ReadDataFile (data_file_parse.h) or passes it over by the header filters,
// places its rows on the load's timeline of seconds and builds the file
// history's moving average and trend levels from them, and reports what is
// wrong with a file it cannot use. LoadDataFile reads and places a file in a
// row; a load of many files reads the next ones on another core while this
// thread places them in time order (read_ahead.h).

#include <cstdint>
#include <string>

#include "datafile/data_file_parse.h"
#include "datafile/file_history.h"
#include "platform/clock.h"
#include "platform/user_messages.h"

namespace velrix {

struct ReaderEnv {
  UserMessages& messages;  // boxes stand alone: they belong to no window
  const Clock& clock;      // local time of the names
};

// The instant a file's name encodes: where the file begins on the timeline
// of a load. A name in the hour an autumn change shows twice is its first
// showing, unless the file's rows could not have been written then (their
// labels run past the repeated hour, which only a file begun after the
// change can do) or that showing would start before `notBefore` (the end of
// the file placed before it, which a file of the second showing follows).
ClockSeconds FileStartTime(const DataFileText& text, const Clock& clock,
                           ClockSeconds notBefore = INT64_MIN);

// The same choice for a file not yet read, from its name's time and its last
// row's label (seconds of the day): true when the first showing `start`
// holds the rows.
bool FirstShowingHolds(ClockSeconds start, int nameSecondOfDay, int lastRowSecondOfDay,
                       const Clock& clock);

// Places a file read by ReadDataFile into the history and reports what is
// wrong with it (name, opening, version). A file that fails a filter, starts
// before the previous one ended or whose first row is malformed is passed
// over without a message.
void ApplyDataFile(FileHistory& h, const DataFileText& text, const ReaderEnv& env);

// ReadDataFile then ApplyDataFile, with the history's own buffer.
void LoadDataFile(FileHistory& h, const std::string& path, const ReaderEnv& env);

// Message titles and texts.
inline constexpr char kNotDataFileText[] = "このファイルは、当プログラムのデータファイルではありません。";
inline constexpr char kCannotOpenText[] = "データファイルを開くことができません。";
inline constexpr char kBadVersionTitle[] = "ファイル選択異常";

}  // namespace velrix
