#pragma once
// The five trend levels of a history: means of 10 s, 2 min, 1 h, 12 h and
// 5 days, each formed from the level below as soon as enough entries exist.

#include "shared/history.h"

namespace velrix {

// After the second history.sampleCount was completed: every level whose
// period divides sampleCount gets one new entry, lowest level first, so a
// level always averages entries the same call has just completed.
void UpdateTrendLevels(History& history);

// Sets every level's writeIndex and written to 0 (a new measurement).
void ResetTrendLevels(History& history);

}  // namespace velrix
