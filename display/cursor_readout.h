#pragma once
// The trend cursor: where the mouse points on the graph, the point it snaps
// to, and what the read-out pop-up beside it shows (value, average, elapsed
// time, date, the file's details, retry and power state). Worked out from
// plain inputs, so the view only places two windows and paints the rows.

#include <functional>
#include <string>
#include <vector>

#include "display/second_dating.h"
#include "display/trend_window.h"
#include "measure/dose_table.h"
#include "shared/history.h"
#include "platform/clock.h"

namespace velrix {

// The file a second belongs to, as the pop-up names it (UTF-8).
struct CursorDetails {
  std::string fileName;
  std::string computerName;
  std::string unitNumber;
  std::string comment;
};

struct CursorInputs {
  int mouseX = 0, mouseY = 0;       // in the view
  TrendWindow window;               // as the last drawing of the graph left it
  int span = 0;
  int scale = 0;
  const History* history = nullptr;
  const DoseTable* table = nullptr;  // nullptr reads as an empty table
  ClockSeconds startTime = 0;        // the second before the first row, or the load's origin
  std::vector<DatedSecond> changes;  // live: where the files' own dating begins
  const Clock* clock = nullptr;      // local calendar; nullptr = the system clock
  int fileMode = 0;
  int measuring = 0;
  int elapsedSeconds = 0;            // of the live measurement
  bool warmUpConsumed = false;
  bool popupAllowed = true;
  bool cursorShown = true;
  bool versionTwo = true;            // the shown data carries retry and power columns
  int viewHeight = 672;
  // The details of the file holding second t of the history (t counted
  // from the start time; the point of second t ends there).
  std::function<CursorDetails(long long t)> details;
};

struct PopupRow {
  int y = 0;
  std::string text;
  int palette = 7;
};

struct CursorReadout {
  bool shown = false;     // false: the pop-up and the cursor line are hidden
  int cursorX = 0;
  // Places in the view's coordinates.
  int lineX = 0, lineY = 0, lineHeight = 0;
  int popupX = 0, popupY = 0, popupWidth = 0, popupHeight = 0;
  std::vector<PopupRow> rows;  // x 4, font 1, on white
  CalendarTime time;           // the point's date and time: the last cursor time
};

inline constexpr int kPopupTextX = 4;
inline constexpr int kPopupWide = 320;
inline constexpr int kPopupNarrow = 260;
inline constexpr int kPopupTall = 162;
inline constexpr int kPopupShort = 114;
inline constexpr int kCursorLineWidth = 1;

CursorReadout ComputeCursorReadout(const CursorInputs& in);

}  // namespace velrix
