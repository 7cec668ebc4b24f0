#include "display/trend_window.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "display/value_format.h"
#include "platform/clock.h"
#include "shared/history.h"

namespace velrix {
namespace {

// A span of the per-second slots: a point a second, read from their ring.
// A live window scrolls by one interval of its time grid.
constexpr TrendSpanInfo SlotSpan(const char* text, int span, int grid, const char* axisUnit,
                                 int scrollStep) {
  return {text, kTrendSpanSeconds[span], 1, -1, kSecondSlots, grid, axisUnit, scrollStep};
}

// A span of one trend level: a point an entry, read from the level's ring.
constexpr TrendSpanInfo LevelSpan(const char* text, int span, int level, int grid,
                                  const char* axisUnit, int scrollStep) {
  return {text, kTrendSpanSeconds[span], kTrendLevelShapes[level].period, level,
          kTrendLevelShapes[level].capacity, grid, axisUnit, scrollStep};
}

constexpr TrendSpanInfo kSpans[kTrendSpans] = {
    SlotSpan("1分", 0, 6, "秒", 10),
    SlotSpan("10分", 1, 10, "分", 60),
    LevelSpan("1時間", 2, 0, 6, "分", 600),
    LevelSpan("1日", 3, 1, 24, "時間", kSecondsPerHour),
    LevelSpan("30日", 4, 2, 30, "日", kSecondsPerDay),
    LevelSpan("1年", 5, 3, 12, "月", 30 * kSecondsPerDay),
    LevelSpan("10年", 6, 4, 10, "年", 365 * kSecondsPerDay),
};

constexpr TrendScaleInfo kScales[kTrendScales] = {
    {0.1, "μSv/h", "%4.2lf"},     {1, "μSv/h", "%4.2lf"},
    {10, "μSv/h", "%6.0lf"},      {100, "μSv/h", "%6.0lf"},
    {1000, "μSv/h", "%6.0lf"},    {10000, "μSv/h", "%6.0lf"},
    {0.1, " mSv/h", "%4.2lf"},    {1, " mSv/h", "%4.2lf"},
    {10, " mSv/h", "%4.2lf"},     {1, "CPS", "%5.1lf"},
    {10, "CPS", "%5.0lf"},        {100, "CPS", "%5.0lf"},
    {1000, "CPS", "%5.0lf"},      {10000, "CPS", "%5.0lf"},
    {10, "CPM", "%7.0lf"},        {100, "CPM", "%7.0lf"},
    {1000, "CPM", "%7.0lf"},      {10000, "CPM", "%7.0lf"},
    {100000, "CPM", "%7.0lf"},    {1000000, "CPM", "%7.0lf"},
};

// Text widths on the graph: font 1 is 6 pixels a column.
constexpr int kColumnPixels = 6;

// Byte length is the column count here: the labels are ASCII.
int Columns(const std::string& text) { return static_cast<int>(text.size()); }

}  // namespace

int ValidTrendSpan(int span) { return span >= 0 && span < kTrendSpans ? span : 0; }
int ValidTrendScale(int scale) { return scale >= 0 && scale < kTrendScales ? scale : 0; }
const TrendSpanInfo& TrendSpanOf(int span) { return kSpans[ValidTrendSpan(span)]; }
const TrendScaleInfo& TrendScaleOf(int scale) { return kScales[ValidTrendScale(scale)]; }

int TrendPointsPerSpan(int span) {
  const TrendSpanInfo& s = TrendSpanOf(span);
  return s.seconds / s.period;
}

TrendWindow ComputeTrendWindow(int span, int heldSeconds, int writtenPoints, int fileMode) {
  span = ValidTrendSpan(span);
  const TrendSpanInfo& s = kSpans[span];
  const long long E = std::max(heldSeconds, 0);
  const long long W = std::max(writtenPoints, 0);
  const bool live = fileMode == 0;
  long long offset = 0;
  long long count = 0;
  long long first = 0;
  if (span <= 1) {
    if (E <= s.seconds) {
      count = E;
    } else {
      if (live) offset = ((E - s.seconds - 1) / s.scrollStep + 1) * s.scrollStep;
      count = std::min<long long>(E - offset, s.seconds);
    }
    first = offset % kSecondSlots;
  } else if (span <= 3) {
    if (E <= s.seconds) {
      count = W;
    } else {
      if (live) offset = ((E - s.seconds - 1) / s.scrollStep + 1) * s.scrollStep;
      count = W - offset / s.period;
      if (span == 2) count = std::min<long long>(count, 360);
    }
    first = (offset / s.period) % s.ringLength;
  } else {
    if (E <= s.seconds) {
      count = W;
    } else {
      offset = ((E - s.seconds - 1) / s.scrollStep + 1) * s.scrollStep;
      count = W - offset / s.period;
      first = (offset / s.period) % s.ringLength;
    }
  }
  // A level that has fallen behind the seconds (or a history longer than a
  // span in the file view) must not make the graph read around its ring twice
  // or draw past the right edge.
  count = std::clamp<long long>(count, 0, TrendPointsPerSpan(span));

  TrendWindow w;
  w.offset = static_cast<int>(offset);
  w.first = static_cast<int>(first);
  w.count = static_cast<int>(count);
  w.offsetMod = static_cast<int>(offset % kSecondSlots);
  w.rightBound = 61 + static_cast<int>(std::floor(static_cast<double>(count) * s.period *
                                                      kPlotWidth / s.seconds +
                                                  0.5));
  return w;
}

int TrendPointX(int span, long long k) {
  const TrendSpanInfo& s = TrendSpanOf(span);
  // 64-bit: k * period * 900 reaches 2.8e11 in the ten-year span.
  return kPlotLeft + static_cast<int>(k * s.period * kPlotWidth / s.seconds);
}

int TrendValueY(double value, double full) {
  double h = value * kPlotHeight / full + 0.5;
  // Clamped before the conversion to int: a huge or undefined value must land
  // on an edge, not overflow the conversion.
  if (!(h >= 0.0)) h = 0.0;
  if (h > kPlotHeight) h = kPlotHeight;
  return kPlotBottom - static_cast<int>(h);
}

int TrendValueGridY(int i) { return kPlotBottom - 220 * i; }

std::string TrendValueLabel(int scale, int i) {
  const TrendScaleInfo& s = TrendScaleOf(scale);
  return GroupDigits(FormatNumber(s.labelFormat, i * s.full * 0.5));
}

int TrendValueLabelX(const std::string& label) {
  return kPlotLeft - kColumnPixels * Columns(label) - 2;
}

int TrendTimeGridX(int span, int j) {
  const int n = TrendSpanOf(span).gridIntervals;
  return kPlotLeft + kPlotWidth * j / n;
}

std::string TrendTimeLabel(int span, int offset, int j) {
  span = ValidTrendSpan(span);
  const TrendSpanInfo& s = kSpans[span];
  const long long o = offset;
  long long value = 0;
  switch (span) {
    case 0: value = o + static_cast<long long>(s.seconds) * j / 6; break;
    case 1: value = (o + static_cast<long long>(s.seconds) * j / 10) / 60; break;
    case 2: value = (o + static_cast<long long>(s.seconds) * j / 6) / 60; break;
    case 3: value = o / kSecondsPerHour + j; break;
    case 4: value = o / kSecondsPerDay + j; break;
    case 5: value = o / kSecondsPerDay / 30 + j; break;
    default: value = o / kSecondsPerDay / 365 + j; break;
  }
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%lld", value);
  return buffer;
}

int TrendCentredTextX(int gridX, const std::string& text) {
  return gridX - 3 * Columns(text) + 2;
}

}  // namespace velrix
