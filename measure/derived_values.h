#pragma once
// Values derived from the completed seconds of a measurement: the newest
// count, a moving average over W seconds, the one-hour value, integrals and
// predictions. Updated once per second from running sums.

#include "measure/dose_table.h"
#include "shared/history.h"

namespace velrix {

struct DerivedValues {
  double latestCount = 0.0;        // counts per second
  double movingAverage = 0.0;      // counts per second, over min(sampleCount, W)
  double hourMean = 0.0;           // counts per second, over min(sampleCount, 3600)
  double hourCount = 0.0;          // counts of the last hour (extrapolated before one hour)
  double integratedCount = 0.0;    // counts since the start
  double integratedDose = 0.0;     // μSv since the start
  double predictedDayCount = 0.0;
  double predictedYearCount = 0.0;
  double predictedDayDose = 0.0;   // μSv
  double predictedYearDose = 0.0;  // μSv
  double windowSum = 0.0;
  int windowInUse = 0;
  double hourSum = 0.0;
};

// Every value and running sum to 0, as the start command leaves them.
void ResetDerivedValues(DerivedValues& values);

// For the second just completed (history.sampleCount is already advanced):
// rebuild the window when W changed, update the running sums, the moving
// average (also stored in the newest slot), hourMean and hourCount.
void UpdateDerivedValues(DerivedValues& values, History& history, int averageSeconds);

// After the data row is written: predictions from the moving average and
// the integrals of the newest second.
void UpdatePredictionsAndIntegrals(DerivedValues& values, const History& history,
                                   const DoseTable& table);

}  // namespace velrix
