#pragma once
// The state of the measurement run, owned by the view for the whole program.
// The running flag itself (`measuring`) lives in UnitLinkState, because the
// communication thread reads it to start and stop the unit's counting.

#include <cstdint>
#include <string>

#include "platform/clock.h"

namespace velrix {

enum class AutoStartState : int {
  Armed = 0,             // program start: the automatic start may fire once
  Starting = 1,          // the automatic start fired; the writer has not yet written "auto"
  Started = 2,           // the first file of the automatic measurement carries "auto"
  ManualAfterAuto = 9,   // a manual start followed; never automatic again in this run
};

enum class MergeState { Idle, Armed, Merging };

struct MeasurementRun {
  int stoppedMark = 0;
  ClockSeconds stopTime = 0;
  AutoStartState autoStartState = AutoStartState::Armed;
  int readIndex = 0;            // the cycle's read position in the link's sample ring
  int cycleActive = 0;
  int lastProcessed = 0;        // completed seconds already processed
  std::uint8_t currentMissing = 0;
  std::uint8_t currentPower = 0;
  MergeState mergeState = MergeState::Idle;
  int aheadTicks = 0;           // consecutive ticks ahead of the clock
  int behindTicks = 0;          // ticks behind with an empty ring, over the program's life
  std::string shownVersion;     // "2.00" for a live measurement
  // Set while a tick runs. A message box the tick shows (a data-file
  // failure) runs a nested event loop in which the timer keeps firing; a
  // tick must not start inside another.
  bool tickRunning = false;
};

}  // namespace velrix
