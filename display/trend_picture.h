#pragma once
// Everything the trend graph draws, worked out from one input record: the
// window, the texts with their places and colours, and the plotted dots and
// lines in drawing order. The Qt painter only renders this; the cursor
// read-out reads the window it leaves.

#include <string>
#include <vector>

#include "datafile/file_history.h"
#include "display/second_dating.h"
#include "display/trend_window.h"
#include "measure/dose_table.h"
#include "shared/history.h"
#include "platform/clock.h"
#include "settings/settings.h"

namespace velrix {

// A loaded file as the graph colours it: the second its name's time lies at,
// counted from the history's start, and its colour index 0-3.
struct TrendFileSpan {
  long long startSecond = 0;
  int colourIndex = 0;
};

struct TrendInputs {
  const History* history = nullptr;   // LiveHistory (fileMode 0) or the file history
  int heldSeconds = 0;                // E: sampleCount (live) or loadedSeconds (file)
  TrendSettings trend;
  const DoseTable* table = nullptr;   // nullptr reads as an empty table
  ClockSeconds startTime = 0;         // the second before the first row (live) or origin (file)
  std::vector<DatedSecond> changes;   // live: where the files' own dating begins
  const Clock* clock = nullptr;       // local calendar; nullptr = the system clock
  int fileMode = 0;                   // 0 live view, 1 file view
  int measuring = 0;
  int warmUpConsumed = 0;             // a lead-in day was discarded (file view only)
  int cursorShown = 1;
  bool showRetry = true;              // retry seconds red (files of version "2.00" only)
  std::vector<TrendFileSpan> files;   // file view: the loaded files in load order
};

// Palette indices the graph uses.
inline constexpr int kTrendPaletteGreen = 0;
inline constexpr int kTrendPaletteRed = 3;
inline constexpr int kTrendPaletteCyan = 4;
inline constexpr int kTrendPaletteBlack = 7;
inline constexpr int kTrendPaletteGrey = 10;
inline constexpr int kTrendPaletteStartDot = 14;

struct TrendText {
  int x = 0;
  int y = 0;
  std::string text;
  int palette = kTrendPaletteBlack;
};

struct TrendMark {
  enum Kind { Dot, Line } kind = Dot;
  int x1 = 0, y1 = 0;   // a dot's centre, or a line's start
  int x2 = 0, y2 = 0;   // a line's end (not drawn, as a pen moving on)
  int palette = kTrendPaletteCyan;
};

struct TrendPicture {
  TrendWindow window;
  int span = 0;
  int scale = 0;
  std::vector<TrendText> texts;   // unit label, cursor state, axis labels, dates
  bool nowLine = false;
  int nowX = kPlotLeft;
  std::vector<TrendMark> marks;   // starting dot, points, joins, average line
};

inline constexpr char kCursorOnText[] = "[カーソル表示ON]";
inline constexpr char kCursorOffText[] = "[カーソル表示OFF]";

// Inputs for the live view of a measurement's history.
TrendInputs LiveTrendInputs(const History& history, const TrendSettings& trend,
                            const DoseTable& table, ClockSeconds firstRowTime,
                            const Clock& clock, int measuring, int cursorShown);

// Inputs for the file view of a loaded file history.
TrendInputs FileTrendInputs(const FileHistory& history, const TrendSettings& trend,
                            const DoseTable& table, const Clock& clock, int cursorShown);

// The index (load order) of the file holding second t of the history: the
// last file starting at or before t, or the last file when none does; -1
// with no files.
int TrendFileAt(const std::vector<TrendFileSpan>& files, long long t);
int DarkFilePalette(int colourIndex);
int BrightFilePalette(int colourIndex);

// The points a span plots: per-second counts for spans 0-1, the level means
// for spans 2-6.
double TrendPointSeries(const History& history, int span, int ringIndex);

TrendPicture BuildTrendPicture(const TrendInputs& in);

}  // namespace velrix
