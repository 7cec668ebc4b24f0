#pragma once
// Counts per second to dose-equivalent rate (μSv/h) through the table read
// from sv_table.def, and to the unit of a trend scale.

#include <string>

#include "platform/user_messages.h"

namespace velrix {

inline constexpr int kDoseTableCapacity = 10000;
inline constexpr int kDoseTableComplete = 8192;

struct DoseTable {
  double rate[kDoseTableCapacity] = {};
  int size = 0;
};

// Reads programFolder + "sv_table.def"; reports a missing or short table
// through messages and always returns.
void LoadDoseTable(DoseTable& table, const std::string& programFolder, UserMessages& messages);

// μSv/h for a count rate x (counts per second; negative values pass through).
double DoseRate(const DoseTable& table, double x);

// x converted into the unit of trend scale 0-19 (μSv/h, mSv/h, CPS or CPM).
double ToScaleUnit(const DoseTable& table, double x, int scale);

}  // namespace velrix
