#include "measure/trend_levels.h"

namespace velrix {
namespace {

constexpr int kSecondsPerLevel0Entry = 10;

int Wrap(int index, int size) {
  const int r = index % size;
  return r < 0 ? r + size : r;
}

void Store(TrendLevel& level, double mean) {
  level.meanCount[level.writeIndex] = mean;
  level.written += 1;
  level.writeIndex = level.written % level.capacity;
}

}  // namespace

void UpdateTrendLevels(History& history) {
  const int n = history.sampleCount;
  if (n <= 0) return;
  for (int l = 0; l < kTrendLevels; ++l) {
    TrendLevel& level = history.levels[l];
    if (n % level.period != 0) continue;
    double sum = 0.0;
    if (l == 0) {
      for (int k = 1; k <= kSecondsPerLevel0Entry; ++k) {
        sum += history.slots[Wrap(n - k, kSecondSlots)].count;
      }
      Store(level, sum / kSecondsPerLevel0Entry);
    } else {
      const TrendLevel& below = history.levels[l - 1];
      for (int k = 1; k <= level.factor; ++k) {
        sum += below.meanCount[Wrap(below.writeIndex - k, below.capacity)];
      }
      Store(level, sum / level.factor);
    }
  }
}

void ResetTrendLevels(History& history) {
  for (TrendLevel& level : history.levels) {
    level.writeIndex = 0;
    level.written = 0;
  }
}

}  // namespace velrix
