#pragma once
// The arithmetic of the trend graph: the span and scale tables, the window of
// the history that is visible, and the x/y of a point. Plain numbers in and
// out, so the cursor read-out and the tests use exactly what the graph draws.

#include <string>

#include "settings/settings.h"

namespace velrix {

inline constexpr int kTrendScales = 20;

// Plot area in client pixels: x 60 is the left edge, y 585 the zero line and
// y 145 the full-scale line.
inline constexpr int kPlotLeft = 60;
inline constexpr int kPlotRight = 960;
inline constexpr int kPlotTop = 145;
inline constexpr int kPlotBottom = 585;
inline constexpr int kPlotWidth = 900;
inline constexpr int kPlotHeight = 440;

struct TrendSpanInfo {
  const char* dialogText;
  int seconds;        // S
  int period;         // seconds per plotted point
  int level;          // trend level of the points, -1 for the per-second slots
  int ringLength;
  int gridIntervals;
  const char* axisUnit;
  int scrollStep;     // seconds the live window jumps by
};

struct TrendScaleInfo {
  double full;        // value at the top of the plot
  const char* unitLabel;
  const char* labelFormat;
};

// Out-of-range indices (a damaged trend.def) read as 0, so a bad setting can
// never index past the tables.
const TrendSpanInfo& TrendSpanOf(int span);
const TrendScaleInfo& TrendScaleOf(int scale);
int ValidTrendSpan(int span);
int ValidTrendScale(int scale);

// Points the span holds at most (S / period): 60, 600, 360, 720, 720, 730, 730.
int TrendPointsPerSpan(int span);

struct TrendWindow {
  int offset = 0;      // seconds from the start of the history to the left edge
  int first = 0;       // ring index of the first point
  int count = 0;       // number of points
  int offsetMod = 0;   // offset modulo 86400
  int rightBound = 61; // x just past the newest point
};

// heldSeconds is E (sampleCount or loadedSeconds), writtenPoints W (written
// of the span's level; unused for spans 0 and 1). The count never exceeds the
// points of a span and is never negative.
TrendWindow ComputeTrendWindow(int span, int heldSeconds, int writtenPoints, int fileMode);

// x of point k (k >= 0): 60 + floor(k * period * 900 / S).
int TrendPointX(int span, long long k);

// y of a value in the scale's unit, clamped to the plot.
int TrendValueY(double value, double full);

// Value grid line i (0, 1, 2): its y, label text and label x.
int TrendValueGridY(int i);
std::string TrendValueLabel(int scale, int i);
int TrendValueLabelX(const std::string& label);

// Time grid line j (0 ... gridIntervals): its x and label.
int TrendTimeGridX(int span, int j);
std::string TrendTimeLabel(int span, int offset, int j);
// x at which a text of this many characters is centred on the grid line.
int TrendCentredTextX(int gridX, const std::string& text);

}  // namespace velrix
