#include "display/panel_text.h"

#include <cstdarg>
#include <cstdio>

#include "display/value_format.h"
#include "platform/c_format.h"

namespace velrix {
namespace {

constexpr const char* kRowLabels[kPanelRows] = {"積算", "予測１日", "予測１年",
                                                "現在値", "平均値", "１時間値"};
constexpr const char* kRowFormats[kPanelRows] = {"%14.3lf", "%14.3lf", "%14.3lf",
                                                 "%8.2lf",  "%12.3lf", "%12.3lf"};

// Palette indices of the indicator fills.
constexpr int kPaletteGreen = 0;
constexpr int kPaletteRed = 3;
constexpr int kPaletteWhite = 5;

const DoseTable& EmptyTable() {
  static const DoseTable table;
  return table;
}

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* format, ...) {
  char buffer[256];
  va_list args;
  va_start(args, format);
  const int n = CFormatV(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n < 0) return std::string();
  return std::string(buffer, static_cast<std::size_t>(n) < sizeof buffer ? n : sizeof buffer - 1);
}

}  // namespace

PanelWarnings PanelWarningsFrom(const WarningState& state) {
  PanelWarnings w;
  w.rowFlags = {state.integrated, state.day, state.year, state.current, state.average, state.hour};
  w.reason = state.reason;
  return w;
}

void ReadLinkInputs(PanelInputs& in, const UnitLinkState& link) {
  in.linkStatus = link.linkStatus.load();
  in.maxRetryCount = link.maxRetryCount.load();
  in.lastRetryTime = link.lastRetryTime.load();
  in.batteryLow = link.batteryLow.load();
  in.solarReached = link.solarReached.load();
  in.measuring = link.measuring.load();
}

const char* PanelRowLabel(int row) { return row >= 0 && row < kPanelRows ? kRowLabels[row] : ""; }

const char* PanelRowFormat(int row) {
  return row >= 0 && row < kPanelRows ? kRowFormats[row] : "%12.3lf";
}

double PanelRowCountValue(const DerivedValues& v, int row) {
  switch (row) {
    case kRowIntegrated: return v.integratedCount;
    case kRowPredictedDay: return v.predictedDayCount;
    case kRowPredictedYear: return v.predictedYearCount;
    case kRowCurrent: return v.latestCount;
    case kRowAverage: return v.movingAverage;
    case kRowHour: return v.hourMean;
    default: return 0.0;
  }
}

double PanelRowSecondValue(const DerivedValues& v, int row) {
  switch (row) {
    case kRowIntegrated: return v.integratedDose;
    case kRowPredictedDay: return v.predictedDayDose;
    case kRowPredictedYear: return v.predictedYearDose;
    case kRowHour: return v.hourCount;
    default: return 0.0;
  }
}

int PanelRowUnitCode(const DisplayUnitSettings& units, int row) {
  return row < kRowCurrent ? units.integratedUnit : units.rateUnit + 3;
}

std::string PanelRowText(const PanelInputs& in, int row) {
  const DoseTable& table = in.table ? *in.table : EmptyTable();
  std::string text;
  if (row == kRowCurrent && in.stoppedMark == 1) {
    text = kStoppedCurrentValue;
  } else {
    text = FormatPanelValue(table, PanelRowFormat(row), PanelRowCountValue(in.values, row),
                            PanelRowSecondValue(in.values, row), row,
                            PanelRowUnitCode(in.units, row));
  }
  if (row >= 0 && row < kPanelRows && in.warnings.rowFlags[static_cast<std::size_t>(row)])
    text += kWarningMarkText;
  return text;
}

std::string PanelClockLine(const Clock& clock, ClockSeconds now, int stoppedMark,
                           ClockSeconds stopTime) {
  if (stoppedMark == 1) {
    const CalendarTime c = clock.Local(stopTime);
    return Printf("現在  %04d-%02d-%02d %02d:%02d:%02d  停止", c.year, c.month, c.day, c.hour,
                  c.minute, c.second);
  }
  const CalendarTime c = clock.Local(now);
  return Printf("現在  %04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day, c.hour, c.minute,
                c.second);
}

std::string PanelElapsedLine(int elapsedSeconds) {
  return Printf("経過 %8d時間%2d分%2d秒", elapsedSeconds / kSecondsPerHour, (elapsedSeconds / 60) % 60,
                elapsedSeconds % 60);
}

bool LinkStatusIsNg(int linkStatus) { return linkStatus == 2 || linkStatus == 3; }

std::string LinkStatusText(int linkStatus, const std::string& portName) {
  if (linkStatus == 1) return "[" + portName + "]USBユニット通信OK";
  if (LinkStatusIsNg(linkStatus)) return "USBユニット通信NG";
  return std::string();
}

std::string RetryCountLine(int maxRetryCount, ClockSeconds lastRetryTime) {
  if (lastRetryTime == 0) return std::string();
  return Printf("最大回数 : %d", maxRetryCount);
}

std::string RetryTimeLine(const Clock& clock, ClockSeconds lastRetryTime) {
  if (lastRetryTime == 0) return std::string();
  const CalendarTime c = clock.Local(lastRetryTime);
  return Printf("最新日時 : %4d/%2d/%2d %02d:%02d:%02d", c.year, c.month, c.day, c.hour,
                c.minute, c.second);
}

int BatterySquarePalette(int batteryLow) {
  if (batteryLow == 1) return kPaletteRed;
  if (batteryLow == 0) return kPaletteGreen;
  return -1;
}

int SolarSquarePalette(int solarReached) {
  if (solarReached == 1) return kPaletteGreen;
  if (solarReached == 0) return kPaletteWhite;
  return -1;
}

}  // namespace velrix
