#pragma once
// How the seconds of a history are dated. The row that ends e seconds after
// a history's start is stamped start + e, except from a point where a live
// measurement began a file at a change of local time (daylight saving, the
// clock set): from there on that file's own first stamp counts.

#include <vector>

#include "datafile/data_file_writer.h"
#include "platform/clock.h"

namespace velrix {

// From e on (the row ending e seconds after the start), rows count on from
// `stamp`.
struct DatedSecond {
  long long e = 0;
  ClockSeconds stamp = 0;
};

inline ClockSeconds StampAt(ClockSeconds start, const std::vector<DatedSecond>& changes,
                            long long e) {
  for (auto it = changes.rbegin(); it != changes.rend(); ++it) {
    if (it->e <= e) return it->stamp + (e - it->e);
  }
  return start + e;
}

// The points of a live measurement's files where their dating begins: the
// row of second firstRowSecond (from 0) ends firstRowSecond + 1 seconds
// after the start.
inline std::vector<DatedSecond> LiveDatingChanges(const MeasurementFileList& files) {
  std::vector<DatedSecond> changes;
  for (const MeasurementFileEntry& f : files.entries) {
    if (f.firstRowSecond >= 0) changes.push_back({f.firstRowSecond + 1LL, f.firstRowTime});
  }
  return changes;
}

}  // namespace velrix
