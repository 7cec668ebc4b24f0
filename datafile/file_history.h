#pragma once
// Recorded data loaded back for review: the same per-second ring and five
// trend levels as a live measurement's history, so the trend graph draws
// either one, plus what only a load knows: the file each second came from
// (by its comment), the loaded files themselves, and the limits and lead-in
// day of the trend navigation's reloads. One instance, owned by the view,
// allocated once; only the reader fills it.
//
// Slots and clock times. A row stamped T stands for the second that ends at
// T. Slot s of a load holds the row stamped origin + s + 1 (SlotStamp): the
// trend graph and its cursor show the point that ends at second e of the
// load at origin + e, and that point is slot e - 1, so every row shows at the
// time written in it. The reader places each file from where its first row
// belongs: a first row stamped with the name's own time ends the second
// before it, one stamped a second later begins the file's own first slot,
// and a later one leaves the slots before it without data. A point of the
// graph takes the colour, and the cursor the details, of the file that
// holds the second the point ends at.

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "datafile/data_file_format.h"
#include "shared/history.h"
#include "platform/clock.h"

namespace velrix {

inline constexpr double kNoDataCount = -9999.0;
inline constexpr int kNoComment = -1;
inline constexpr int kMaxLoadedFiles = 10000;
inline constexpr int kFileColours = 4;
inline constexpr int kReadBuffers = 3;

// The stamp of the row in slot `slot` of a load whose origin is `origin`.
inline ClockSeconds SlotStamp(ClockSeconds origin, long long slot) { return origin + slot + 1; }

// A loaded file: its name and span, and header lines 2-4 as the file holds
// them (CP932 bytes, at most 127 each).
struct FileEntry {
  char name[kDataFileNameLength + 1] = {};
  ClockSeconds startTime = 0;  // the local time its name encodes
  ClockSeconds endTime = 0;    // where its last slot ends (its last row's stamp)
  std::string computerName;
  std::string unitNumber;
  std::string comment;
  int commentIndex = kNoComment;
  int colourIndex = 0;
};

// Every comment met by the loads of this run of the program. A comment keeps
// its index, and with it its colour, from load to load; the table is never
// emptied. It grows past its first 10000 entries rather than merging or
// dropping comments: each entry is one short text.
class CommentTable {
 public:
  CommentTable();
  // The index of the comment, added at the end when it is new.
  int IndexOf(const std::string& comment);
  int size() const { return static_cast<int>(comments_.size()); }
  const std::string& Comment(int index) const { return comments_[static_cast<std::size_t>(index)]; }
  static int ColourOf(int index) { return index % kFileColours; }

 private:
  std::vector<std::string> comments_;
  std::unordered_map<std::string, int> indexOf_;
};

// Header conditions of a load, as CP932 bytes; an empty one matches every file.
struct HeaderFilters {
  std::string computerName;
  std::string unitNumber;
  std::string comment;
};

// What a trend level knows beyond the live history's levels.
struct FileLevelState {
  int comment[kTrendLevelMaxEntries] = {};
  // An entry was completed during the last file loaded (a file passed over
  // after it, a filtered or refused one, does not count).
  bool completedThisFile = false;
  bool completedSinceFirstRow = false;  // ... since the last file's first row
  // The level's current entry holds the mean of the file read last and has
  // not been closed; the first boundary after that file keeps it. The mean
  // is kept here too, because while the ring is full its entry 0 shows no
  // data until the entry is closed (the open entry there would otherwise
  // show as the oldest point).
  bool fileMeanPending = false;
  double fileMean = kNoDataCount;
  int fileMeanComment = kNoComment;
};

// Told about every level entry once the level moves past it, so a caller can
// keep more entries than the rings hold (the headless review). Loads with a
// lead-in day or a span limit revise the counts afterwards; the sink is for
// plain loads.
class LevelEntrySink {
 public:
  virtual ~LevelEntrySink() = default;
  // `count` consecutive entries of `level`, the first being entry number
  // `first` since the origin, all with this mean (kNoDataCount for none).
  virtual void Entries(int level, long long first, long long count, double mean,
                       int commentIndex) = 0;
};

struct DataFileText;

// Seconds [from, to) counted from the origin.
struct SecondRange {
  long long from = 0;
  long long to = 0;
};

struct FileHistory {
  FileHistory();
  ~FileHistory();
  FileHistory(const FileHistory&) = delete;
  FileHistory& operator=(const FileHistory&) = delete;

  History timeline;                       // per-second ring and the five levels
  std::vector<std::int32_t> slotComment;  // comment index of each slot
  FileLevelState levelState[kTrendLevels];
  std::vector<FileEntry> files;           // the loaded files, in load order

  ClockSeconds origin = 0;    // time at which slot 0 begins; 0: the first file's start
  long long loadedSeconds = 0;  // the next slot to fill, counted from origin
  int currentCommentIndex = kNoComment;
  CommentTable distinctComments;
  HeaderFilters filters;
  int averageSeconds = 60;    // N of the moving average (1-3600)

  bool warmUpDay = false;       // the first day loaded is a lead-in, discarded after loading
  bool warmUpConsumed = false;  // a lead-in day was discarded
  long long spanLimit = 0;      // seconds; 0 = none
  int fileLimit = 0;            // files; 0 = none (then 10000)
  bool loadFull = false;        // a limit was reached; offer no further files
  std::string shownVersion;     // line 1 of the file read last

  // Moving average: running sum and number of rows in the window.
  double windowSum = 0.0;
  int windowCount = 0;

  // Seconds of long gaps whose slots are still to be written with no data
  // (see MaterialiseGaps).
  std::vector<SecondRange> pendingGaps;

  LevelEntrySink* sink = nullptr;
  // Passes over files, reused from load to load: LoadDataFile reads into
  // the first, a search reads ahead into all of them.
  std::unique_ptr<DataFileText[]> readBuffers;
};

// Count and average of every slot and the mean of every level entry become
// no data; the levels, the loaded files, loadedSeconds, the lead-in flags and
// the span limit start again. The comment table, origin, fileLimit and the
// filters are left to the caller.
void ResetFileHistory(FileHistory& h);

// Ends a load after its last file: the slots of long gaps that still lie in
// the last day get no data, every level that completed no entry during the
// last file counts its current entry, which holds that file's mean, and the
// memory the files were read into is given back.
void FinishLoad(FileHistory& h);

// Writes the noted gaps' slots that still lie in the ring.
void MaterialiseGaps(FileHistory& h);

// The level moves past its current entry, which counts as written: a file's
// mean that stands in it is written back, and the sink is told.
void CloseFileMeanEntry(FileHistory& h, int level);


// The loaded file that holds second t of the history (t counted from origin):
// the last file whose name's time is at or before it, or the last file when
// none is; -1 when nothing is loaded.
int FileAtSecond(const FileHistory& h, long long t);

}  // namespace velrix
