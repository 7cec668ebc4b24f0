#pragma once
// One processed second as tools outside the program may watch it: what its
// data row holds, the dose values the panel shows for it and the link's
// state at that moment. A plain record of a few words, copied out of the
// cycle once per second; the cycle never waits on whoever takes it.

#include <cstdint>

#include "platform/clock.h"

namespace velrix {

struct ProcessedSecond {
  ClockSeconds time = 0;        // calendar second of the row (its label's instant)
  int second = 0;               // the second's place in the measurement, from 0
  double count = 0.0;           // the row's count; 0 for a missing second
  bool missing = false;         // the row's retry mark: no count came for it
  std::uint8_t power = 0;       // the row's power status: bit 0 solar low, bit 1 battery not normal
  double currentDose = 0.0;     // μSv/h of the second's count
  double averageDose = 0.0;     // μSv/h of the moving average
  double hourDose = 0.0;        // μSv/h of the one-hour value
  double integratedDose = 0.0;  // μSv since the measurement's start
  int linkStatus = 0;           // UnitLinkState::linkStatus when the second was processed
};

}  // namespace velrix
