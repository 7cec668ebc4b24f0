#include "display/trend_picture.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "datafile/data_file_format.h"
#include "display/value_format.h"

namespace velrix {
namespace {

// Values at or below this are no data: not plotted, and lines break there.
constexpr double kNoDataLimit = -1.0;

constexpr int kDarkSet[4] = {14, 13, 15, 16};
constexpr int kBrightSet[4] = {4, 1, 0, 5};

// Text places.
constexpr int kUnitLabelX = 5, kUnitLabelY = 125;
constexpr int kCursorStateX = 65, kCursorStateY = 129;
constexpr int kTimeLabelY = 592;
constexpr int kDateLabelY = 605;
constexpr int kClockLabelY = 618;
constexpr int kAxisUnitX = 968, kAxisUnitY = 577;
constexpr int kValueLabelRaise = 5;

const DoseTable& EmptyTable() {
  static const DoseTable table;
  return table;
}

int Wrap(long long value, int length) {
  long long r = value % length;
  if (r < 0) r += length;
  return static_cast<int>(r);
}

const SecondSlot& SlotAt(const History& h, long long second) {
  return h.slots[static_cast<std::size_t>(Wrap(second, kSecondSlots))];
}

// Joins consecutive values into a line that breaks at no-data values and, in
// the file view, where the file changes.
struct Polyline {
  bool hasPrevious = false;
  double previousValue = 0.0;
  int previousFile = -1;
  int x = 0, y = 0;

  void Start(int px, int py, double value, int file) {
    hasPrevious = true;
    previousValue = value;
    previousFile = file;
    x = px;
    y = py;
  }
  void Next(std::vector<TrendMark>& marks, int px, int py, double value, int file,
            int palette) {
    if (hasPrevious && previousValue > kNoDataLimit && value > kNoDataLimit &&
        previousFile == file) {
      TrendMark m;
      m.kind = TrendMark::Line;
      m.x1 = x;
      m.y1 = y;
      m.x2 = px;
      m.y2 = py;
      m.palette = palette;
      marks.push_back(m);
    }
    Start(px, py, value, file);
  }
};

void AddDot(std::vector<TrendMark>& marks, int x, int y, int palette) {
  TrendMark m;
  m.kind = TrendMark::Dot;
  m.x1 = m.x2 = x;
  m.y1 = m.y2 = y;
  m.palette = palette;
  marks.push_back(m);
}

std::string DateText(const CalendarTime& c) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%4d/%2d/%2d", c.year, c.month, c.day);
  return buffer;
}

std::string TimeText(const CalendarTime& c) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", c.hour, c.minute, c.second);
  return buffer;
}

}  // namespace

TrendInputs LiveTrendInputs(const History& history, const TrendSettings& trend,
                            const DoseTable& table, ClockSeconds firstRowTime,
                            const Clock& clock, int measuring, int cursorShown) {
  TrendInputs in;
  in.history = &history;
  in.heldSeconds = history.sampleCount;
  in.trend = trend;
  in.table = &table;
  // The row of second 0 ends one second after the start, as in a load.
  in.startTime = firstRowTime - 1;
  in.clock = &clock;
  in.fileMode = 0;
  in.measuring = measuring;
  in.cursorShown = cursorShown;
  return in;
}

TrendInputs FileTrendInputs(const FileHistory& history, const TrendSettings& trend,
                            const DoseTable& table, const Clock& clock, int cursorShown) {
  TrendInputs in;
  in.history = &history.timeline;
  in.heldSeconds = static_cast<int>(std::min<long long>(history.loadedSeconds, INT_MAX));
  in.trend = trend;
  in.table = &table;
  in.startTime = history.origin;
  in.clock = &clock;
  in.fileMode = 1;
  in.warmUpConsumed = history.warmUpConsumed ? 1 : 0;
  in.cursorShown = cursorShown;
  in.showRetry = history.shownVersion == kDataFileVersion;
  in.files.reserve(history.files.size());
  for (const FileEntry& f : history.files) {
    in.files.push_back({f.startTime - history.origin, f.colourIndex});
  }
  return in;
}

int TrendFileAt(const std::vector<TrendFileSpan>& files, long long t) {
  if (files.empty()) return -1;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const bool last = i + 1 == files.size();
    if (files[i].startSecond <= t && (last || t < files[i + 1].startSecond))
      return static_cast<int>(i);
  }
  return static_cast<int>(files.size()) - 1;
}

int DarkFilePalette(int colourIndex) {
  return kDarkSet[colourIndex >= 0 && colourIndex < 4 ? colourIndex : 0];
}

int BrightFilePalette(int colourIndex) {
  return kBrightSet[colourIndex >= 0 && colourIndex < 4 ? colourIndex : 0];
}

double TrendPointSeries(const History& history, int span, int ringIndex) {
  const TrendSpanInfo& s = TrendSpanOf(span);
  if (s.level < 0) return SlotAt(history, ringIndex).count;
  const TrendLevel& level = history.levels[s.level];
  return level.meanCount[Wrap(ringIndex, s.ringLength)];
}

TrendPicture BuildTrendPicture(const TrendInputs& in) {
  TrendPicture p;
  p.span = ValidTrendSpan(in.trend.trendSpan);
  p.scale = ValidTrendScale(in.trend.trendScale);
  const TrendSpanInfo& span = TrendSpanOf(p.span);
  const TrendScaleInfo& scale = TrendScaleOf(p.scale);
  const DoseTable& table = in.table ? *in.table : EmptyTable();
  const Clock& clock = in.clock ? *in.clock : DefaultClock();
  const bool live = in.fileMode == 0;
  const int written = in.history && span.level >= 0 ? in.history->levels[span.level].written : 0;

  // The window.
  p.window = ComputeTrendWindow(p.span, in.heldSeconds, written, in.fileMode);
  const TrendWindow& w = p.window;

  // Unit label and cursor state.
  p.texts.push_back({kUnitLabelX, kUnitLabelY, scale.unitLabel, kTrendPaletteBlack});
  if (in.cursorShown == 1)
    p.texts.push_back({kCursorStateX, kCursorStateY, kCursorOnText, kTrendPaletteBlack});
  else
    p.texts.push_back({kCursorStateX, kCursorStateY, kCursorOffText, kTrendPaletteGrey});

  // Value grid labels.
  for (int i = 0; i <= 2; ++i) {
    const std::string label = TrendValueLabel(p.scale, i);
    p.texts.push_back(
        {TrendValueLabelX(label), TrendValueGridY(i) - kValueLabelRaise, label, kTrendPaletteBlack});
  }

  // Time grid labels, and the dates at both ends while there is a
  // measurement or a file to date them by.
  const bool dated = in.measuring == 1 || !live;
  for (int j = 0; j <= span.gridIntervals; ++j) {
    const int x = TrendTimeGridX(p.span, j);
    const std::string label = TrendTimeLabel(p.span, w.offset, j);
    p.texts.push_back({TrendCentredTextX(x, label), kTimeLabelY, label, kTrendPaletteBlack});
    if (dated && (j == 0 || j == span.gridIntervals)) {
      const ClockSeconds t =
          StampAt(in.startTime, in.changes, w.offset + (j == 0 ? 0 : span.seconds));
      const CalendarTime c = clock.Local(t);
      const std::string date = DateText(c);
      const std::string time = TimeText(c);
      p.texts.push_back({TrendCentredTextX(x, date), kDateLabelY, date, kTrendPaletteBlack});
      p.texts.push_back({TrendCentredTextX(x, time), kClockLabelY, time, kTrendPaletteBlack});
    }
  }

  // The unit of the time axis.
  p.texts.push_back({kAxisUnitX, kAxisUnitY, span.axisUnit, kTrendPaletteBlack});

  // Nothing more to draw without points; a live graph has its "now" line.
  if (!in.history) return p;
  const bool levelSpan = p.span >= 4;
  if (w.count <= 0 || (levelSpan && written <= 0)) return p;
  if (live) {
    p.nowLine = true;
    p.nowX = TrendPointX(p.span, w.count);
  }

  const History& h = *in.history;
  auto scaled = [&](double v) { return ToScaleUnit(table, v, p.scale); };
  // The file a point's colour comes from: the one that holds the second the
  // point ends at, offset + k x period. A recorded row shows at its own
  // stamp (file_history.h), so every row keeps its own file's colour.
  auto fileAt = [&](long long second) { return live ? -1 : TrendFileAt(in.files, second); };
  auto fileOfPoint = [&](long long k) {
    return fileAt(static_cast<long long>(w.offset) + k * span.period);
  };
  auto colourIndexOf = [&](int file) {
    return file >= 0 ? in.files[static_cast<std::size_t>(file)].colourIndex : 0;
  };
  const int x1 = TrendPointX(p.span, 1);
  // Files of version "1.00" have no retry column.
  auto retried = [&](long long second) { return in.showRetry && SlotAt(h, second).missing == 1; };

  // The starting point of spans 0-3.
  Polyline average;
  if (!levelSpan) {
    const bool fromStart = w.offset == 0 && in.warmUpConsumed == 0;
    // The starting dot's file, and the average line's first: the one that
    // holds second offset.
    const int startFile = fileAt(static_cast<long long>(w.offset));
    if (fromStart) {
      const double v = scaled(TrendPointSeries(h, p.span, 0));
      if (v > kNoDataLimit) {
        AddDot(p.marks, x1, TrendValueY(v, scale.full),
               retried(0) ? kTrendPaletteRed : kTrendPaletteStartDot);
      }
      const double a = scaled(SlotAt(h, p.span <= 1 ? 0 : span.period - 1).average);
      average.Start(x1, TrendValueY(a, scale.full), a, startFile);
    } else {
      if (p.span <= 1) {
        const int r = w.first == 0 ? kSecondSlots - 1 : w.first - 1;
        const double v = scaled(SlotAt(h, r).count);
        if (v > kNoDataLimit) {
          int palette = live ? kTrendPaletteStartDot : DarkFilePalette(colourIndexOf(startFile));
          if (retried(r)) palette = kTrendPaletteRed;
          AddDot(p.marks, kPlotLeft, TrendValueY(v, scale.full), palette);
        }
      }
      const double a = scaled(SlotAt(h, Wrap(static_cast<long long>(w.offsetMod) - span.period,
                                             kSecondSlots))
                                  .average);
      average.Start(kPlotLeft, TrendValueY(a, scale.full), a, startFile);
    }
  }

  // The points.
  Polyline join;
  for (int i = 0; i < w.count; ++i) {
    const long long k = i + 1;
    const int r = Wrap(static_cast<long long>(w.first) + i, span.ringLength);
    const double v = scaled(TrendPointSeries(h, p.span, r));
    const int file = fileOfPoint(k);
    int palette = kTrendPaletteCyan;
    if (!live)
      palette = levelSpan ? BrightFilePalette(colourIndexOf(file))
                          : DarkFilePalette(colourIndexOf(file));
    if (p.span <= 1 && retried(r)) palette = kTrendPaletteRed;
    const int x = TrendPointX(p.span, k);
    const int y = TrendValueY(v, scale.full);
    if (v > kNoDataLimit) AddDot(p.marks, x, y, palette);
    if (levelSpan) {
      if (i == 0)
        join.Start(x, y, v, file);
      else
        join.Next(p.marks, x, y, v, file, palette);
    }
  }

  // The average line of spans 0-3.
  if (!levelSpan) {
    for (long long k = 1; k <= w.count; ++k) {
      long long second;
      if (p.span <= 1) {
        second = (w.offsetMod + k - 1) % kSecondsPerDay;
      } else {
        second = (k * span.period + w.offsetMod) % kSecondsPerDay - 1;
        if (second < 0) second = kSecondsPerDay - 1;
      }
      const double a = scaled(SlotAt(h, second).average);
      const int file = fileOfPoint(k);
      const int palette = live ? kTrendPaletteCyan : BrightFilePalette(colourIndexOf(file));
      average.Next(p.marks, TrendPointX(p.span, k), TrendValueY(a, scale.full), a, file,
                   palette);
    }
  }
  return p;
}

}  // namespace velrix
