#pragma once
// What the end-to-end cases share: a station (program folder, data folder,
// home) in a temporary folder, the accelerated clock shared with the program
// under test, a simulated unit whose every frame carries a count that tells
// it apart, the programs run as child processes, and the checks that every
// committed row is a second the unit sent, once, at its place in time.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/scaled_clock.h"
#include "sim/sim_unit.h"
#include "tests/support/temp_folder.h"

namespace velrix::testing::e2e {

namespace fs = std::filesystem;

// Waits that only bound a test that has gone wrong; the cases run on a loaded
// two-core machine, so they are wide.
inline constexpr double kStartSeconds = 40.0;
inline constexpr double kExitSeconds = 30.0;

std::string BuildFolder();
std::string RecorderProgram();
std::string VelrixProgram();

// The accelerated clock, as the test and the program under test both run it:
// the same start, scale and anchor give the same second in both processes.
// Local time is UTC (the test and its children run with TZ=UTC0).
class SharedClock {
 public:
  // start: "YYYY-MM-DD hh:mm:ss"; the clock shows it now (or anchorDelayMs
  // real milliseconds from now).
  SharedClock(const std::string& start, int scale, std::int64_t anchorDelayMs = 0);
  const ScaledClock& clock() const { return *clock_; }
  int scale() const { return scale_; }
  std::vector<std::string> Args() const;
  // Sleeps in real time until the clock shows ms (milliseconds since 1970).
  void SleepUntilMs(std::int64_t ms) const;
  // Sleeps for a span of clock seconds.
  void SleepClockSeconds(double seconds) const;

 private:
  std::string start_;
  int scale_;
  std::int64_t anchor_;
  std::unique_ptr<ScaledClock> clock_;
};

// Watches, while it lives, how long the machine fails to run a thread that
// sleeps 2 ms at a time. At 40x a hold-up of 25 ms is a clock second in which
// the program under test, held up alike, reads a frame late and counts the
// second missing: the long cases allow for that much, so a loaded machine
// does not fail them and a quiet one keeps their limits tight.
class MachineStalls {
 public:
  MachineStalls();
  ~MachineStalls();
  MachineStalls(const MachineStalls&) = delete;
  MachineStalls& operator=(const MachineStalls&) = delete;
  // Clock seconds at this scale in which a frame may have been read late so
  // far: the hold-ups' length and one second on each side of every hold-up.
  int ClockSecondsLost(int scale) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Clock seconds of a UTC calendar time.
ClockSeconds At(int year, int month, int day, int hour, int minute, int second);

// Counts the frames carry: every value is 1 modulo 3, so a row that merged
// two frames (2 modulo 3) or holds a fill stands apart from a single one, and
// no value repeats within 2731 frames. offset starts the sequence elsewhere,
// for a second unit.
std::vector<int> MarkedCounts(int offset = 0);

// A simulated unit at linkPath with marked counts and the shared clock.
sim::SimConfig MarkedUnit(const SharedClock& clock, const std::string& linkPath, int offset = 0);

// A later run's program folder (the shipped files and every settings file,
// the retry setting of the shipped COMRTY.def: retry without end), the data
// folder below base/, a home and a runtime folder for the child.
class Station {
 public:
  explicit Station(int autoStart = 1);
  const TempFolder& temp() const { return temp_; }
  const std::string& program() const { return program_; }     // ends with '/'
  const std::string& dataFolder() const { return dataFolder_; }
  std::string WorkingCopy() const { return program_ + "data.tmp"; }
  std::string UnitLink() const { return temp_.File("ttyUnit"); }
  // The environment of a child: its own home, runtime folder, the time zone
  // (TZ=UTC0 unless set), the offscreen platform, and no system bus unless
  // one is given.
  std::vector<std::string> Env() const;
  void SetTimeZone(const std::string& tz) { tz_ = tz; }
  void SetSystemBus(const std::string& address) { systemBus_ = address; }

 private:
  TempFolder temp_;
  std::string tz_ = "UTC0";
  std::string systemBus_ = "unix:path=/nonexistent/velrix-no-system-bus";
  std::string program_;
  std::string dataFolder_;
};

// How a child is set up between fork and exec.
struct ChildSetup {
  std::string workingFolder;       // empty: the test's own
  long long fileSizeLimit = -1;    // RLIMIT_FSIZE in bytes; -1: unchanged
  std::vector<std::string> extraArgs;  // after the station's and the clock's
};

// A program of the build run as a child; standard output and error go to
// one file. Killed (SIGKILL) if still running when destroyed.
class Child {
 public:
  Child(const std::string& program, const std::vector<std::string>& args,
        const std::vector<std::string>& env, const std::string& outputPath,
        const ChildSetup& setup = {});
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool Started() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }
  bool Running();
  void Signal(int signal);
  // The wait status, or nothing while it still runs after the time.
  std::optional<int> WaitExit(double seconds);
  std::string Output() const;

 private:
  pid_t pid_ = -1;
  int status_ = 0;
  std::string outputPath_;
};

bool ExitedWith(const std::optional<int>& status, int code);
std::string Describe(const std::optional<int>& status);

// The recorder on the station's unit link, with the shared clock.
std::unique_ptr<Child> StartRecorder(const Station& station, const SharedClock& clock,
                                     const std::string& outputName,
                                     const ChildSetup& setup = {});
// velrix (offscreen) on the station's unit link, with the shared clock.
std::unique_ptr<Child> StartVelrix(const Station& station, const SharedClock& clock,
                                   const std::string& outputName,
                                   const ChildSetup& setup = {});

bool WaitUntil(const std::function<bool()>& condition, double seconds);
// WaitUntil for a test that holds a view: this thread's events (timers,
// posted refreshes) run while it waits.
bool PumpUntil(const std::function<bool()>& condition, double seconds);
// Rows in the working copy (lines after the five header lines).
int WorkingRows(const Station& station);
// Waits until the unit has sent at least `frames` count frames and the
// working copy's last row carries one of its last three: the recorder has
// caught up with the unit.
bool WaitForFrames(const Station& station, const sim::SimUnit& unit, int frames, double seconds);
// Lines of a child's output that contain text.
int LinesWith(const std::string& output, const std::string& text);

// One committed row, placed in time by its file's folder and its own time.
struct Row {
  ClockSeconds at = 0;
  double count = 0.0;
  int missing = 0;
  int power = 0;
};

struct DataFile {
  std::string path;
  std::string name;
  std::string comment;  // header line 4, as bytes
  std::vector<Row> rows;
};

// Every data file below the data folder in time order, each read twice: by
// a strict parse of the bytes (CP932 header, CR LF line ends, the row
// format) and by the program's own reader, which must agree. Problems found
// go to *problems.
std::vector<DataFile> ReadDataFolder(const std::string& dataFolder,
                                     std::vector<std::string>* problems);
std::vector<Row> AllRows(const std::vector<DataFile>& files);

// Within each file the rows are consecutive seconds; across all files every
// second comes once, in order. Returns the problems.
std::vector<std::string> TimelineProblems(const std::vector<DataFile>& files);

// Rows matched in order against the counts the unit sent.
struct Matching {
  int singles = 0;       // rows that carry one frame's count
  int merges = 0;        // rows that carry two consecutive frames' counts
  int missingRows = 0;   // rows marked missing with count 0
  int unmatched = 0;     // rows that match no frame (fills, duplicates, corruption)
  std::vector<int> dropped;  // indexes of sent frames no row carries
  int firstMatched = -1;
  int lastMatched = -1;
};
Matching MatchRows(const std::vector<Row>& rows, const std::vector<int>& sent);

// Dropped frames outside the given index ranges [first, last].
std::vector<int> DropsOutside(const std::vector<int>& dropped,
                              const std::vector<std::pair<int, int>>& allowed);

// What a case allows besides an exact record of the unit's frames.
struct RowExpectations {
  std::vector<std::pair<int, int>> allowedDrops;  // sent-frame index ranges that may be missing
  // Frames that may be missing anywhere else: on a fast clock a real
  // scheduling delay of a few milliseconds stands for a late second, and the
  // link drops a frame it then takes for more than a second early.
  int maxOtherDrops = 0;
  int maxUnmatched = 0;
  int minMissingRows = 0;
  int maxMissingRows = 0;
  // Rows written in this zone are placed by their labels in its local time
  // (daylight saving and all) instead of as UTC; their files are ordered by
  // the frames they carry.
  const Clock* localZone = nullptr;
};

// Reads the committed files and checks them: readable, the same to the
// program's reader, a clean timeline, every row matched to the frames sent
// and no frame missing outside the allowed ranges. Returns every problem
// ("" when none); the files and the matching go to the pointers.
std::string CheckCommitted(const std::string& dataFolder, const std::vector<int>& sent,
                           const RowExpectations& expect, std::vector<DataFile>* files,
                           Matching* matching);

std::string Join(const std::vector<std::string>& lines);
std::string JoinInts(const std::vector<int>& values);

}  // namespace velrix::testing::e2e
