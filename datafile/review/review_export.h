#pragma once
// What velrix-review writes: UTF-8 CSV of a trend level's entries, written as
// the load completes them (a year of hourly entries is more than the level's
// ring keeps), or of the per-second ring once the load is done.

#include <cstdio>
#include <string>

#include "datafile/file_history.h"
#include "platform/clock.h"

namespace velrix {

inline constexpr char kLevelCsvHeader[] = "start,mean_count,comment\n";
inline constexpr char kSecondsCsvHeader[] = "time,count,average,missing,power\n";

// A field as CSV needs it: quoted when it holds a comma, a quote or a line end.
std::string CsvField(const std::string& text);

// "YYYY-MM-DD hh:mm:ss" of a clock time in the clock's local time.
std::string LocalStamp(const Clock& clock, ClockSeconds t);

// Writes the entries of one level as the history reports them: each entry's
// first second (origin + entry x period, local time), its mean with six
// decimals (empty for no data) and its comment.
class LevelCsvWriter final : public LevelEntrySink {
 public:
  LevelCsvWriter(std::FILE* out, int level, const FileHistory& history, const Clock& clock);
  void Entries(int level, long long first, long long count, double mean,
               int commentIndex) override;
  long long rows() const { return rows_; }

 private:
  std::FILE* out_;
  int level_;
  const FileHistory& history_;
  const Clock& clock_;
  long long rows_ = 0;
};

// The seconds the ring holds at the end of a load, oldest first: each row's
// time, count, moving average, retry flag and power status (the value
// fields empty for a second without data). Returns the number of rows.
long long WriteSecondsCsv(std::FILE* out, const FileHistory& history, const Clock& clock);

}  // namespace velrix
