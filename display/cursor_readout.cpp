#include "display/cursor_readout.h"

#include <algorithm>
#include <cmath>

#include "display/trend_picture.h"
#include "display/value_format.h"
#include "platform/c_format.h"

namespace velrix {
namespace {

// Values at or below this are no data for the read-out.
constexpr double kNoDataLimit = -0.9;
constexpr int kPopupGap = 20;          // between the cursor and the pop-up
constexpr int kPopupRaise = 90;        // the pop-up's top above the mouse
constexpr int kPopupFlipX = 660;       // from here on the pop-up goes left of the cursor
constexpr int kLineOffsetX = 2;
constexpr int kLineTop = 148;
constexpr int kLineLongest = 439;

// Palette indices of the rows.
constexpr int kBlack = 7, kMagenta = 1, kBlue = 9, kGreen = 0, kRed = 3;

enum class ScaleUnit { MicroSv, MilliSv, Cps, Cpm };

ScaleUnit UnitOf(int scale) {
  if (scale <= 5) return ScaleUnit::MicroSv;
  if (scale <= 8) return ScaleUnit::MilliSv;
  if (scale <= 13) return ScaleUnit::Cps;
  return ScaleUnit::Cpm;
}

const char* UnitFormat(ScaleUnit unit) {
  switch (unit) {
    case ScaleUnit::MicroSv: return "%s μSv/h";
    case ScaleUnit::MilliSv: return "%s mSv/h";
    case ScaleUnit::Cps: return "%s CPS";
    case ScaleUnit::Cpm: return "%s CPM";
  }
  return "%s";
}

const char* AverageFormat(ScaleUnit unit) {
  switch (unit) {
    case ScaleUnit::Cps: return "%10.2lf";
    case ScaleUnit::Cpm: return "%12.2lf";
    default: return "%10.3lf";
  }
}

// Whole counts for the per-second spans, two decimals for the means.
const char* CurrentFormat(ScaleUnit unit, int span) {
  const bool seconds = span <= 1;
  switch (unit) {
    case ScaleUnit::Cps: return seconds ? "%7.0lf" : "%10.2lf";
    case ScaleUnit::Cpm: return seconds ? "%9.0lf" : "%12.2lf";
    default: return "%10.3lf";
  }
}

std::string ValueText(const char* format, double value, ScaleUnit unit) {
  return CFormatString(UnitFormat(unit), GroupDigits(FormatNumber(format, value)).c_str());
}

const DoseTable& EmptyTable() {
  static const DoseTable table;
  return table;
}

}  // namespace

CursorReadout ComputeCursorReadout(const CursorInputs& in) {
  CursorReadout r;
  const TrendWindow& w = in.window;
  // Only over the plot, while pop-ups may show and the cursor is on.
  if (in.mouseX < kPlotLeft || in.mouseX > w.rightBound || in.mouseY < kPlotTop ||
      in.mouseY > kPlotBottom || !in.popupAllowed || !in.cursorShown || in.history == nullptr) {
    return r;
  }
  const int span = ValidTrendSpan(in.span);
  const TrendSpanInfo& s = TrendSpanOf(span);
  const bool fromStart = w.offset == 0 && !in.warmUpConsumed;
  // The point under the mouse, a tenth of a point early.
  const long long k = static_cast<long long>(
      std::floor(static_cast<double>(in.mouseX - kPlotLeft) * s.seconds / kPlotWidth / s.period + 0.1));
  if (k == 0 && (span >= 2 || fromStart)) return r;
  // The cursor line stands on that point.
  r.cursorX = TrendPointX(span, k);
  const DoseTable& table = in.table != nullptr ? *in.table : EmptyTable();
  const int scale = ValidTrendScale(in.scale);
  const ScaleUnit unit = UnitOf(scale);
  const History& h = *in.history;

  // The average of spans 0-3, at the point's last second.
  std::string average;
  bool extraRows = false;
  std::uint8_t retry = 0, power = 0;
  if (span <= 3) {
    long long a = (s.period * k + w.offsetMod) % kSecondSlots - 1;
    if (fromStart && k == 1 && span <= 1) a = 0;
    if (a < 0) a = kSecondSlots - 1;
    const SecondSlot& slot = h.slots[static_cast<std::size_t>(a)];
    const double v = ToScaleUnit(table, slot.average, scale);
    if (v > kNoDataLimit) {
      average = ValueText(AverageFormat(unit), v, unit);
      extraRows = in.versionTwo;
      retry = slot.missing;
      power = slot.power;
    }
  }
  r.popupWidth = span <= 3 ? kPopupWide : kPopupNarrow;
  r.popupHeight = extraRows ? kPopupTall : kPopupShort;

  // The point's own value.
  long long ring = (w.first + k) % s.ringLength - 1;
  if (ring < 0) ring = s.ringLength - 1;
  const double v = ToScaleUnit(table, TrendPointSeries(h, span, static_cast<int>(ring)), scale);
  if (v <= kNoDataLimit) return r;
  const std::string current = ValueText(CurrentFormat(unit, span), v, unit);

  // The seconds from the start to the point's end.
  const long long e = w.offset + k * s.period;
  if (in.fileMode == 0 && in.measuring == 1 && e > in.elapsedSeconds) return r;

  // The point ends at second e: its date is the start time + e, its file
  // the one that holds second e. A recorded row shows at its own stamp, as
  // the reader places it (file_history.h).
  const CursorDetails details = in.details ? in.details(e) : CursorDetails{};
  const Clock& clock = in.clock != nullptr ? *in.clock : DefaultClock();
  r.time = clock.Local(StampAt(in.startTime, in.changes, e));

  // 8, 9.
  r.shown = true;
  r.lineX = r.cursorX + kLineOffsetX;
  r.lineY = kLineTop;
  r.lineHeight = std::min(kLineLongest, in.viewHeight - kLineTop);
  r.popupX = in.mouseX < kPopupFlipX ? r.cursorX + kPopupGap : r.cursorX - r.popupWidth - kPopupGap;
  r.popupY = in.mouseY - kPopupRaise;

  r.rows.push_back({4, "ファイル名[" + details.fileName + "]", kBlack});
  r.rows.push_back({20,
                    CFormatString("経過時間 %8lld時間%2lld分%2lld秒", e / kSecondsPerHour,
                                  (e / 60) % 60, e % 60),
                    kMagenta});
  r.rows.push_back({36, average.empty() ? "現在値[" + current + "]"
                                        : "現在値[" + current + "] 平均値[" + average + "]",
                    kBlue});
  const CalendarTime& t = r.time;
  r.rows.push_back({52, CFormatString("日時[%4d/%2d/%2d %02d:%02d:%02d]", t.year, t.month, t.day,
                                      t.hour, t.minute, t.second),
                    kBlack});
  r.rows.push_back({68, "コンピュータ名[" + details.computerName + "]", kBlack});
  r.rows.push_back({84, "ユニット番号[" + details.unitNumber + "]", kBlack});
  r.rows.push_back({100, "コメント[" + details.comment + "]", kGreen});
  if (extraRows) {
    if (retry != 0) r.rows.push_back({116, "リトライ発生", kRed});
    const bool batteryLow = (power & 2) != 0;
    r.rows.push_back({132, batteryLow ? "バッテリー電圧[不足]" : "バッテリー電圧[正常]",
                      batteryLow ? kRed : kGreen});
    const bool solarLow = (power & 1) != 0;
    r.rows.push_back({148, solarLow ? "ソーラーパネル供給電圧[不足]" : "ソーラーパネル供給電圧[規定電圧到達]",
                      solarLow ? kRed : kGreen});
  }
  return r;
}

}  // namespace velrix
