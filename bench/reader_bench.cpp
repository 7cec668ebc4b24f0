// How fast recorded data opens: the condition search loading 1, 30 and 365
// days of full-day files into the file history, and, on the same files in
// the same run, a bare streaming parse (read each file, read each row's four
// fields, sum the counts; no history) to compare it with. Also one load of a
// ten-year set of shorter files, and velrix-review's export of the year at
// the finest and the coarsest level side by side, to tell the writing of the
// CSV from the load. Prints seconds and rows per second.
//
//   velrix_bench_reader DATA_FOLDER
//
// The data is generated into DATA_FOLDER on the first run (deterministic
// counts, about 1 GB) and reused afterwards; the best of three runs is
// printed, so the figures are those of a warm page cache.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "datafile/condition_range.h"
#include "datafile/data_file_writer.h"
#include "datafile/date_search.h"
#include "datafile/review/review_export.h"
#include "datafile/row_scan.h"
#include "display/trend_navigation.h"
#include "platform/clock.h"
#include "platform/cp932.h"
#include "platform/file_bytes.h"
#include "platform/user_messages.h"

namespace velrix::bench {
namespace {

namespace fs = std::filesystem;

constexpr int kYearOfDays = 2021;
constexpr int kTenYearsFrom = 2011, kTenYearsTo = 2020;
constexpr int kTenYearRowsPerFile = 3600;  // one hour a day keeps the set small
constexpr int kRuns = 3;
constexpr char kComment[] = "屋上";

class CountingMessages final : public UserMessages {
 public:
  void Show(const std::string&, const std::string&) override { ++shown; }
  int shown = 0;
};

std::string Header() {
  return "2.00\r\nBENCH-PC\r\n0001\r\n" + Utf8ToCp932(kComment) + "\r\n" +
         Utf8ToCp932("時刻,カウント値,リトライ,電源ステータス") + "\r\n";
}

// A small pseudo-random count per second, the same on every run.
struct Counts {
  std::uint32_t state = 12345;
  double Next() {
    state = state * 1664525u + 1013904223u;
    return static_cast<double>((state >> 24) % 6);
  }
};

void WriteDay(const std::string& dataFolder, const CalendarTime& day, int fromSecond, int rows,
              Counts& counts) {
  CalendarTime at = day;
  at.hour = fromSecond / 3600;
  at.minute = fromSecond / 60 % 60;
  at.second = fromSecond % 60;
  const std::string folder = DayFolderPath(dataFolder, at);
  fs::create_directories(folder);
  std::string bytes = Header();
  bytes.reserve(bytes.size() + static_cast<std::size_t>(rows) * 23);
  char row[kDataRowMaxBytes];
  for (int i = 0; i < rows; ++i) {
    const int n = FormatDataRow(row, fromSecond + i, counts.Next(), i % 997 == 0 ? 1 : 0, 0);
    bytes.append(row, static_cast<std::size_t>(n));
    bytes += "\r\n";
  }
  std::FILE* f = std::fopen((folder + "/" + DataFileName(at, fromSecond == 0)).c_str(), "wb");
  if (f == nullptr) return;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

void Generate(const std::string& dataFolder) {
  Counts counts;
  std::printf("generating a year of full days and ten years of hours in %s ...\n",
              dataFolder.c_str());
  std::fflush(stdout);
  for (ClockSeconds t = UtcFromCalendar(kYearOfDays, 1, 1, 0, 0, 0);
       CalendarFromUtc(t).year == kYearOfDays; t += 86400) {
    WriteDay(dataFolder, CalendarFromUtc(t), 0, 86400, counts);
  }
  for (ClockSeconds t = UtcFromCalendar(kTenYearsFrom, 1, 1, 0, 0, 0);
       CalendarFromUtc(t).year <= kTenYearsTo; t += 86400) {
    WriteDay(dataFolder, CalendarFromUtc(t), 12 * 3600, kTenYearRowsPerFile, counts);
  }
}

double Seconds(const std::function<void()>& work) {
  double best = 1e9;
  for (int run = 0; run < kRuns; ++run) {
    const auto start = std::chrono::steady_clock::now();
    work();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}

ConditionRange Days(int year, int days) {
  ConditionRange r;
  r.startYear = year;
  const CalendarTime last = CalendarFromUtc(UtcFromCalendar(year, 1, 1, 0, 0, 0) + (days - 1) * 86400LL);
  r.endYear = last.year;
  r.endMonth = last.month;
  r.endDay = last.day;
  return r;
}

void Measure(const char* what, const SearchPlace& place, const ConditionRange& range) {
  const ManualClock clock(0, 0);
  CountingMessages messages;
  const ReaderEnv env{messages, clock};
  static FileHistory history;
  int files = 0;
  long long seconds = 0;
  const double load = Seconds([&] {
    files = RunConditionSearch(history, place, range, env);
    seconds = history.loadedSeconds;
  });

  std::vector<std::string> paths;
  ForEachCandidate(place, range, [&](const std::string& path) {
    paths.push_back(path);
    return true;
  });
  std::vector<char> buffer;
  long long rows = 0;
  double sum = 0.0;
  const double bare = Seconds([&] {
    rows = 0;
    sum = 0.0;
    RowFields fields;
    for (const std::string& path : paths) {
      std::size_t size = 0;
      if (!ReadWholeFile(path, buffer, &size, kDataFileMaxBytes)) continue;
      // The reader's own row reading: the writer's rows in one step, any
      // other line field by field.
      const char* p = buffer.data();
      const char* end = p + size;
      int line = 0;
      bool midnight = false;
      while (p < end) {
        if (line >= 5 && static_cast<std::size_t>(end - p) >= kWriterRowBytes &&
            ScanWriterRow(p, &fields, &midnight)) {
          sum += fields.count;
          ++rows;
          p += kWriterRowBytes;
          continue;
        }
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        const char* stop = lf ? lf : end;
        std::size_t length = static_cast<std::size_t>(stop - p);
        if (length > 0 && p[length - 1] == '\r') --length;
        if (++line > 5 && !EndsTheRows(p, length)) {
          ScanRow(p, length, &fields);
          sum += fields.count;
          ++rows;
        }
        p = lf ? lf + 1 : end;
      }
    }
  });
  std::printf("%-18s files %5d  rows %9lld  seconds %10lld  load %6.3f s (%5.1f M rows/s)  "
              "bare parse %6.3f s (%5.1f M rows/s)  load/bare %.2f%s\n",
              what, files, rows, seconds, load, static_cast<double>(rows) / load / 1e6, bare,
              static_cast<double>(rows) / bare / 1e6, load / bare,
              messages.shown > 0 ? "  (messages shown!)" : "");
  std::fflush(stdout);
  (void)sum;
}

// One navigation key at a span: the reload of the window around w with its
// lead-in day, over everything generated (ten years of hours, then a year of
// full days).
void MeasureNavigation(const char* what, const std::string& dataFolder, long long spanSeconds,
                       ClockSeconds w) {
  const ManualClock clock(0, 0);
  CountingMessages messages;
  const ReaderEnv env{messages, clock};
  static FileHistory history;
  FileSelection selection;
  const ClockSeconds start = UtcFromCalendar(kTenYearsFrom, 1, 1, 0, 0, 0);
  const ClockSeconds end = UtcFromCalendar(kYearOfDays + 1, 1, 1, 0, 0, 0);
  const double took = Seconds([&] {
    NavigationReload(history, selection, w, spanSeconds, start, end, dataFolder, env);
  });
  std::printf("navigation %-8s files %5zu  seconds %10lld  reload %6.3f s\n", what,
              history.files.size(), history.loadedSeconds, took);
  std::fflush(stdout);
}

// The export velrix-review makes: the condition search with the level's
// lines written as the load completes them, into a file beside the data.
double MeasureExport(const std::string& outPath, const SearchPlace& place,
                     const ConditionRange& range, int level, long long* lines) {
  const ManualClock clock(0, 0);
  CountingMessages messages;
  const ReaderEnv env{messages, clock};
  static FileHistory history;
  return Seconds([&] {
    std::FILE* out = std::fopen(outPath.c_str(), "wb");
    if (out == nullptr) return;
    LevelCsvWriter writer(out, level, history, clock);
    history.sink = &writer;
    std::fputs(kLevelCsvHeader, out);
    RunConditionSearch(history, place, range, env);
    writer.Flush();
    std::fclose(out);
    history.sink = nullptr;
    *lines = writer.rows();
  });
}

void MeasureExports(const std::string& scratch, const SearchPlace& place,
                    const ConditionRange& range) {
  const std::string outPath = scratch + "/export.csv";
  long long fine = 0, coarse = 0;
  const double seconds0 = MeasureExport(outPath, place, range, 0, &fine);
  const double seconds4 = MeasureExport(outPath, place, range, 4, &coarse);
  std::remove(outPath.c_str());
  std::printf("export of 365 days: level 0 %6.3f s (%lld lines)  level 4 %6.3f s (%lld lines)  "
              "level 0 / level 4 %.2f (target at most 1.5)\n",
              seconds0, fine, seconds4, coarse, seconds0 / seconds4);
  std::fflush(stdout);
}

}  // namespace
}  // namespace velrix::bench

int main(int argc, char** argv) {
  using namespace velrix;
  using namespace velrix::bench;
  if (argc != 2) {
    std::fprintf(stderr, "usage: velrix_bench_reader DATA_FOLDER\n");
    return 2;
  }
  const std::string dataFolder = std::string(argv[1]) + "/Velrix";
  const std::string done = std::string(argv[1]) + "/.generated";
  if (!fs::exists(done)) {
    Generate(dataFolder);
    std::FILE* f = std::fopen(done.c_str(), "w");
    if (f != nullptr) std::fclose(f);
  }
  const SearchPlace place{dataFolder, ""};
  Measure("1 day", place, Days(kYearOfDays, 1));
  Measure("30 days", place, Days(kYearOfDays, 30));
  Measure("365 days", place, Days(kYearOfDays, 365));
  ConditionRange tenYears;
  tenYears.startYear = kTenYearsFrom;
  tenYears.endYear = kTenYearsTo;
  Measure("10 years of hours", place, tenYears);
  const ClockSeconds june = UtcFromCalendar(kYearOfDays, 6, 1, 0, 0, 0);
  MeasureExports(argv[1], place, Days(kYearOfDays, 365));
  MeasureNavigation("1 day", dataFolder, 86400, june);
  MeasureNavigation("30 days", dataFolder, 2592000, june);
  MeasureNavigation("1 year", dataFolder, 31536000, UtcFromCalendar(kYearOfDays, 1, 1, 0, 0, 0));
  MeasureNavigation("10 years", dataFolder, 315360000, UtcFromCalendar(kTenYearsFrom + 1, 1, 1, 0, 0, 0));
  return 0;
}
