// What forcing the working copy's rows to the disk costs, for each way the
// writer could do it, on this machine's disk (the folder given, by default
// the system's temporary folder, where the programs' own figures run):
//
//   never        the kernel writes the rows back when it likes (30 s and
//                more); a power cut loses all of that
//   every 5 rows at most five seconds lost
//   every row    at most the row being written lost (the writer's choice)
//
// Each way appends rows with the file calls of AppendDataRow (the check of
// the working copy's first word, open for appending, one row, the sync when
// due, close), as fast as it can: rows per second on this disk, CPU time and
// wall time per row. A program records one row a second, so the CPU time of
// one row is what the way adds to the share of one core that the recorder
// and the window use (scripts/bench.sh measures their whole share). Then the
// writer itself (CreateDataFile and AppendDataRow) runs the same number of
// rows, as built.
//
//   velrix_bench_sync [ROWS] [FOLDER]

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "datafile/data_file_writer.h"
#include "datafile/working_copy.h"
#include "platform/clock.h"
#include "settings/settings.h"

namespace velrix::bench {
namespace {

constexpr int kDefaultRows = 3000;
constexpr char kRow[] = "12:00:00,0002.000,0,0\r\n";
constexpr char kHeader[] = "2.00\r\nPC\r\n0001\r\nbench\r\ntitles\r\n";

struct Way {
  const char* name;
  int syncEvery;  // rows; 0 = never
};
constexpr Way kWays[] = {{"never", 0}, {"every 5 rows", 5}, {"every row", 1}};

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Figures {
  double rowsPerSecond = 0;
  double cpuMicroseconds = 0;   // per row
  double medianWallMs = 0;      // per row
  double worstWallMs = 0;
  bool failed = false;
};

// Runs append(i) for every row and times it.
template <typename Append>
Figures Time(int rows, Append append) {
  Figures f;
  std::vector<double> walls;
  walls.reserve(rows);
  const double cpu0 = CpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < rows && !f.failed; ++i) {
    const auto before = std::chrono::steady_clock::now();
    f.failed = !append(i);
    walls.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() -
                                                              before).count());
  }
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  f.rowsPerSecond = rows / wall;
  f.cpuMicroseconds = (CpuSeconds() - cpu0) * 1e6 / rows;
  std::sort(walls.begin(), walls.end());
  f.medianWallMs = walls[walls.size() / 2];
  f.worstWallMs = walls.back();
  return f;
}

void Print(const std::string& name, const Figures& f) {
  if (f.failed) {
    std::printf("%-28s failed\n", name.c_str());
    return;
  }
  // One row a second: CPU microseconds per row over a million per second.
  std::printf("%-28s %10.0f rows/s %8.1f us CPU/row %8.3f ms median %8.3f ms worst   "
              "+%.4f %% of one core at a row a second\n",
              name.c_str(), f.rowsPerSecond, f.cpuMicroseconds, f.medianWallMs, f.worstWallMs,
              f.cpuMicroseconds / 1e6 * 100.0);
}

Figures AppendLikeTheWriter(const std::string& folder, int rows, int syncEvery) {
  const std::string working = folder + "/" + kWorkingCopyName;
  std::FILE* f = std::fopen(working.c_str(), "wb");
  if (f == nullptr) return Figures{0, 0, 0, 0, true};
  std::fputs(kHeader, f);
  std::fclose(f);
  return Time(rows, [&](int i) {
    if (CheckWorkingCopy(working) != WorkingCopyCheck::Ok) return false;
    std::FILE* file = std::fopen(working.c_str(), "ab");
    if (file == nullptr) return false;
    bool ok = std::fputs(kRow, file) >= 0;
    if (syncEvery > 0 && (i + 1) % syncEvery == 0) ok = ok && SyncAppendedRows(file);
    return (std::fclose(file) == 0) && ok;
  });
}

class NoStop final : public DataFileFailureStop {
 public:
  void StopMeasurementAfterFailure() override { stopped = true; }
  bool stopped = false;
};

Figures TheWriter(const std::string& folder, int rows) {
  Settings settings;
  settings.programFolder = folder + "/";
  settings.dataFolder = folder + "/Velrix";
  settings.comment = {"PC", "0001", "bench"};
  ManualClock clock(UtcFromCalendar(2026, 6, 1, 0, 0, 0), 0);
  HeldMessages messages;
  AutoStartState autoStart = AutoStartState::Armed;
  NoStop stop;
  DataFileWriter writer;
  DataFileEnv env{settings, clock, messages, autoStart, 0, stop};
  if (CreateDataFile(writer, env) != 0) return Figures{0, 0, 0, 0, true};
  Figures f = Time(rows, [&](int) {
    clock.Advance(1);
    return AppendDataRow(writer, env, 2.0, 0, 0, clock.Now()) == 0;
  });
  f.failed = f.failed || CommitDataFile(writer) != 0;
  if (messages.shown > 0) std::printf("the writer said: %s\n", messages.last.c_str());
  return f;
}

}  // namespace
}  // namespace velrix::bench

int main(int argc, char** argv) {
  using namespace velrix::bench;
  const int rows = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultRows;
  ScratchFolder scratch;
  const std::string folder = argc > 2 ? std::string(argv[2]) : scratch.path();
  if (folder.empty()) {
    std::fprintf(stderr, "velrix_bench_sync: no scratch folder\n");
    return 1;
  }
  std::printf("%d rows appended in %s\n", rows, folder.c_str());
  for (const Way& way : kWays) {
    Print(std::string("sync ") + way.name, AppendLikeTheWriter(folder, rows, way.syncEvery));
  }
  Print("AppendDataRow as built", TheWriter(folder, rows));
  return 0;
}
