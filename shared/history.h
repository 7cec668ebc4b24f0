#pragma once
// The history of a measurement as the trend graph and the panel read it: a
// ring of a day of per-second slots and five trend levels of means. One
// instance lives for the whole program and is never cleared; a new
// measurement only resets the counters, so readers use sampleCount and each
// level's written to know which slots belong to the measurement. A history
// loaded from files for review (datafile/file_history.h) has the same shape,
// which is why it stands here, below both the measurement and the reader.

#include <cstdint>
#include <vector>

#include "platform/clock.h"

namespace velrix {

inline constexpr int kSecondSlots = kSecondsPerDay;
inline constexpr int kTrendLevels = 5;
inline constexpr int kTrendLevelMaxEntries = 1000;

struct SecondSlot {
  double count = 0.0;      // counts of that second (a sample, two merged samples, or a fill)
  double average = 0.0;    // moving average of counts when the second was completed
  std::uint8_t missing = 0;
  std::uint8_t power = 0;
};

struct TrendLevel {
  int period = 0;      // seconds per entry
  int factor = 0;      // entries of the level below per entry
  int capacity = 0;    // ring length
  double meanCount[kTrendLevelMaxEntries] = {};
  int writeIndex = 0;
  int written = 0;
};

struct History {
  History();
  std::vector<SecondSlot> slots;  // kSecondSlots entries, allocated once
  int sampleCount = 0;            // completed seconds in the measurement
  int elapsedSeconds = 0;         // sampleCount as of the last processed second
  TrendLevel levels[kTrendLevels];
};

using LiveHistory = History;

// The fixed shape of the levels: 10 s, 2 min, 1 h, 12 h and 5 days per entry.
struct TrendLevelShape {
  int period;
  int factor;
  int capacity;
};
inline constexpr TrendLevelShape kTrendLevelShapes[kTrendLevels] = {
    {10, 10, 360},
    {120, 12, 720},
    {kSecondsPerHour, 30, 720},
    {kSecondsPerDay / 2, 12, 730},
    {5 * kSecondsPerDay, 10, 730}};

inline History::History() : slots(kSecondSlots) {
  for (int i = 0; i < kTrendLevels; ++i) {
    levels[i].period = kTrendLevelShapes[i].period;
    levels[i].factor = kTrendLevelShapes[i].factor;
    levels[i].capacity = kTrendLevelShapes[i].capacity;
  }
}

}  // namespace velrix
