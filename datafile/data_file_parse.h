#pragma once
// The reader's side of the bytes: a data file checked by its name and its
// first line, its header lines kept as the file holds them and its rows
// scanned into plain arrays, in one pass and without touching any history
// or showing anything, so that a load can read the next files on another
// core while the history is filled (data_file_reader.h places them).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "datafile/data_file_format.h"
#include "platform/clock.h"
#include "shared/history.h"

namespace velrix {

// A file's name fields, in the order they are checked.
enum class NameField { Form, Year, Month, Day, Hour, Minute, Second, None };

// The most a data file may hold: five header lines (their texts cut to 127
// bytes, but a line may be longer) and one day of rows, with room for rows
// wider than the writer's 23 bytes. A larger file is no data file and is
// refused before it is read, so a huge or sparse file on a shared drive
// cannot take the program's memory.
inline constexpr std::size_t kDataFileHeaderBytes = 64 * 1024;
inline constexpr std::size_t kDataFileRowBytes = 64;
inline constexpr std::size_t kDataFileMaxBytes =
    kDataFileHeaderBytes + static_cast<std::size_t>(kSecondSlots) * kDataFileRowBytes;

// The largest count a row can hold for one second: a count frame's 13 bits,
// twice over for a second into which the measurement merged two samples or
// the writer added a sample that found the day full. A row holding more, a
// negative count or one that is no finite number is a second without data.
inline constexpr double kUnitCountMax = 8191.0;
inline constexpr double kRowCountMax = 2 * kUnitCountMax;

// One pass over a data file. The row buffers are allocated once; the file's
// bytes are read into a buffer that grows to the largest file of a load and
// is given back when the load ends (FinishLoad), so reading allocates nothing
// per row.
struct DataFileText {
  DataFileText();
  enum class Outcome { Read, BadName, CannotOpen, BadVersion };
  Outcome outcome = Outcome::Read;
  NameField badField = NameField::None;
  char name[kDataFileNameLength + 1] = {};
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;  // from the name
  std::string version;  // line 1
  std::string computerName, unitNumber, comment;  // lines 2-4, cut to 127 bytes
  // Whether each of lines 2-4 is kept whole: a header filter matches the
  // whole line, so a line longer than its kept text matches no filter.
  bool wholeLine[3] = {true, true, true};
  bool firstRowValid = false;
  int firstRowSecondOfDay = 0;
  // Rows in file order, from the first row up to (not including) a second
  // "00:00:00" row, at most one day of them: the first rowCount entries. A
  // count that cannot be one (kRowCountMax) is kNoDataCount here.
  std::size_t rowCount = 0;
  std::vector<double> counts;
  std::vector<std::uint8_t> missing;
  std::vector<std::uint8_t> power;
  std::vector<char> bytes;  // the file's contents, reused
};

// The second of the day the file's name gives.
inline int NameSecondOfDay(const DataFileText& text) {
  return SecondOfDay(text.hour, text.minute, text.second);
}

// Checks the name and reads the file into text. Never fails otherwise, and
// never throws: a file it cannot use (too large, or too large for the memory
// there is, included) is described by text.outcome.
void ReadDataFile(const std::string& path, DataFileText& text);

// The last row's label of a data file (seconds of the day), read from the
// file's end only; false when its last line is no row.
bool LastRowLabel(const std::string& path, int* secondOfDay);

// The steps of ReadDataFile on their own: the name's checks (false with
// text.badField set), and the lines of a file's bytes.
bool CheckDataFileName(const std::string& path, DataFileText& text);
void ParseDataFileBytes(const char* data, std::size_t size, DataFileText& text);

// The title a refused name is reported with: the first field that failed.
const char* NameErrorTitle(NameField field);

}  // namespace velrix
