#pragma once
// The reader of the measurement data files: it checks a file by its name and
// its first line, takes it or passes it over by the header filters, places
// its rows on the load's timeline of seconds and builds the file history's
// moving average and trend levels from them.
//
// Reading a file is split in two, so that a load of many files can read and
// parse the next ones on another core while this thread places them in time
// order: ReadDataFile makes one pass over the bytes and keeps the header and
// the rows (it touches no history and shows nothing); ApplyDataFile does the
// rest, messages included. LoadDataFile is both in a row.

#include <cstdint>
#include <string>
#include <vector>

#include "datafile/file_history.h"
#include "platform/clock.h"
#include "platform/user_messages.h"

namespace velrix {

struct ReaderEnv {
  UserMessages& messages;  // boxes stand alone: they belong to no window
  const Clock& clock;      // local time of the names
};

// A file's name fields, in the order they are checked.
enum class NameField { Form, Year, Month, Day, Hour, Minute, Second, None };

// One pass over a data file. The buffers are reused from file to file, so
// reading allocates nothing per row and, once grown, nothing per file.
struct DataFileText {
  DataFileText();
  enum class Outcome { Read, BadName, CannotOpen, BadVersion };
  Outcome outcome = Outcome::Read;
  NameField badField = NameField::None;
  char name[kDataFileNameLength + 1] = {};
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;  // from the name
  std::string version;  // line 1
  std::string computerName, unitNumber, comment;  // lines 2-4, cut to 127 bytes
  bool firstRowValid = false;
  int firstRowSecondOfDay = 0;
  // Rows in file order, from the first row up to (not including) a second
  // "00:00:00" row, at most one day of them: the first rowCount entries.
  std::size_t rowCount = 0;
  std::vector<double> counts;
  std::vector<std::uint8_t> missing;
  std::vector<std::uint8_t> power;
  std::vector<char> bytes;  // the file's contents, reused
};

// Checks the name and reads the file into text. Never fails otherwise: a
// file it cannot use is described by text.outcome.
void ReadDataFile(const std::string& path, DataFileText& text);

// The steps of ReadDataFile on their own: the name's checks (false with
// text.badField set), and the lines of a file's bytes.
bool CheckDataFileName(const std::string& path, DataFileText& text);
void ParseDataFileBytes(const char* data, std::size_t size, DataFileText& text);

// Places a file read by ReadDataFile into the history and reports what is
// wrong with it (name, opening, version). A file that fails a filter, starts
// before the previous one ended or whose first row is malformed is passed
// over without a message.
void ApplyDataFile(FileHistory& h, const DataFileText& text, const ReaderEnv& env);

// ReadDataFile then ApplyDataFile, with the history's own buffer.
void LoadDataFile(FileHistory& h, const std::string& path, const ReaderEnv& env);

// Message titles and texts.
inline constexpr char kNotDataFileText[] = "このファイルは、当プログラムのデータファイルではありません。";
inline constexpr char kCannotOpenTitle[] = "システム異常";
inline constexpr char kCannotOpenText[] = "データファイルを開くことができません。";
inline constexpr char kBadVersionTitle[] = "ファイル選択異常";
const char* NameErrorTitle(NameField field);

}  // namespace velrix
