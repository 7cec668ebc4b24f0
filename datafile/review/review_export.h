#pragma once
// What velrix-review writes: UTF-8 CSV of a trend level's entries, written as
// the load completes them (a year of hourly entries is more than the level's
// ring keeps), or of the per-second ring once the load is done.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "datafile/file_history.h"
#include "platform/clock.h"

namespace velrix {

inline constexpr char kLevelCsvHeader[] = "start,mean_count,comment\n";
inline constexpr char kSecondsCsvHeader[] = "time,count,average,missing,power\n";

// A field as CSV needs it: quoted when it holds a comma, a quote or a line end.
std::string CsvField(const std::string& text);

// "YYYY-MM-DD hh:mm:ss" of a clock time in the clock's local time.
std::string LocalStamp(const Clock& clock, ClockSeconds t);

// "YYYY-MM-DD hh:mm:ss" of many clock seconds in the clock's local time,
// asking the clock once per minute: every change of a time zone's offset
// falls on a whole minute, so within one the offset holds and only the
// seconds change.
class MinuteStamps {
 public:
  static constexpr std::size_t kLength = 19;
  explicit MinuteStamps(const Clock& clock) : clock_(clock) {}
  // The stamp of t, valid until the next call.
  const char* At(ClockSeconds t);

 private:
  const Clock& clock_;
  bool known_ = false;
  ClockSeconds minute_ = 0;
  ClockSeconds offset_ = 0;
  char text_[kLength + 1] = {};
};

// Writes the entries of one level as the history reports them: each entry's
// first second (origin + entry x period, local time), its mean with six
// decimals (empty for no data) and its comment. A year of 10-second entries
// is three million lines: they are made in a buffer of the writer's own and
// written out whenever it fills, and by Flush.
class LevelCsvWriter final : public LevelEntrySink {
 public:
  LevelCsvWriter(std::FILE* out, int level, const FileHistory& history, const Clock& clock);
  void Entries(int level, long long first, long long count, double mean,
               int commentIndex) override;
  // Writes out what the buffer holds; false once any write has failed.
  bool Flush();
  long long rows() const { return rows_; }

 private:
  // A mean as "%.6f" writes it. Most means of a level are the same few
  // values (ten counts make a tenth), so they are kept once made.
  struct MeanText {
    std::uint64_t bits = 0;
    unsigned char length = 0;  // 0: not made yet
    char text[27] = {};
  };
  std::string_view MeanOf(double mean);
  const std::string& CommentField(int commentIndex);

  std::FILE* out_;
  int level_;
  const FileHistory& history_;
  MinuteStamps stamps_;
  std::vector<char> buffer_;
  std::size_t used_ = 0;
  std::vector<MeanText> means_;
  std::vector<std::string> commentFields_;  // by comment index, made once each
  std::vector<bool> commentMade_;
  bool failed_ = false;
  long long rows_ = 0;
};

// The seconds the ring holds at the end of a load, oldest first: each row's
// time (its stamp), count, moving average, retry flag and power status (the
// value fields empty for a second without data). Returns the number of rows.
long long WriteSecondsCsv(std::FILE* out, const FileHistory& history, const Clock& clock);

}  // namespace velrix
