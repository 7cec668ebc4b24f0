#pragma once
// The state of the measurement run, owned by the view for the whole program.
// The running flag itself (`measuring`) lives in UnitLinkState, because the
// communication thread reads it to start and stop the unit's counting.

#include <cstdint>
#include <string>

#include "platform/clock.h"
#include "shared/auto_start.h"

namespace velrix {

enum class MergeState { Idle, Armed, Merging };

// How the seconds of a measurement map onto the calendar: second k (from 0)
// is the calendar second anchorWall + k + labelShift. It is anchored when the
// first second is processed; elapsed time then runs the seconds on, and the
// calendar clock is only consulted for steps (someone set the computer's
// clock), which move labelShift once they exceed a tolerance.
struct MeasurementTimeline {
  bool anchored = false;
  std::int64_t anchorElapsedMs = 0;  // elapsed clock when the first second was processed
  std::int64_t anchorOffsetMs = 0;   // calendar minus elapsed clock at that moment
  ClockSeconds anchorWall = 0;       // calendar second of the first second
  ClockSeconds labelShift = 0;       // clock steps taken into the labels so far
};

struct MeasurementRun {
  int stoppedMark = 0;
  ClockSeconds stopTime = 0;
  AutoStartState autoStartState = AutoStartState::Armed;
  // The cycle's read position in the link's sample ring: entries taken over
  // the program's life, counted like the link's ringWrite.
  std::uint32_t readIndex = 0;
  // ringSeconds of the entry to take next, once an entry has been taken in
  // this measurement: after a lapped ring, the seconds whose entries were
  // overwritten are told by it.
  std::uint32_t nextRingSecond = 0;
  bool ringSecondKnown = false;
  // Missing seconds of a run entry (or of entries lost to a lapped ring)
  // still to be completed, with the power status they carry.
  std::uint32_t missingLeft = 0;
  std::uint8_t missingPower = 0;
  MeasurementTimeline timeline;
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
