#pragma once
// The keys of the trend graph: zoom in and out around the last cursor
// position (F1, F2), the cursor on and off (F3), back to what was opened
// (F4), and half or a tenth of a span into the past or the future (1-4),
// the last five only while recorded data is shown. Moving reloads the
// recorded data around the new window, a lead-in day ahead of it.

#include <string>

#include "datafile/data_file_reader.h"
#include "datafile/file_history.h"
#include "datafile/file_selection.h"
#include "platform/clock.h"

namespace velrix {

enum class TrendKey { Other, F1, F2, F3, F4, Digit1, Digit2, Digit3, Digit4 };

enum class TrendAction {
  Refresh,        // not a navigating key, or its condition fails: a refresh request
  ZoomIn,
  ZoomOut,
  ToggleCursor,
  BackToOpened,
  MoveBackHalf,
  MoveBackTenth,
  MoveForwardTenth,
  MoveForwardHalf,
};

struct TrendKeyState {
  bool firstPress = true;   // not a repeat of a held key (the keys F1-F4 only act on one)
  int fileMode = 0;
  int trendSpan = 0;
  ClockSeconds origin = 0;         // of the loaded window
  ClockSeconds selectionEnd = 0;   // end of the last file opened
};

TrendAction DecideTrendKey(TrendKey key, const TrendKeyState& state);

// The start of the window a move or a zoom shows: zooms centre the new span
// (newSpanSeconds) on the last cursor time; moves go from the window's
// origin by half or a tenth of the span, backwards never before the start of
// what was opened.
ClockSeconds NavigationWindowStart(TrendAction action, ClockSeconds lastCursorTime,
                                   ClockSeconds origin, long long spanSeconds,
                                   long long newSpanSeconds, ClockSeconds selectionStart);

// Loads the window from w on, spanSeconds long, with the lead-in day before
// it, searching what was opened (its range is set to selectionStart ...
// selectionEnd; after a direct choice, that file's folder). When nothing
// lies at or after w the window is shown empty.
void NavigationReload(FileHistory& h, FileSelection& s, ClockSeconds w, long long spanSeconds,
                      ClockSeconds selectionStart, ClockSeconds selectionEnd,
                      const std::string& dataFolder, const ReaderEnv& env);

}  // namespace velrix
