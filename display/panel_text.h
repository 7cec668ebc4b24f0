#pragma once
// What the main panel shows, as plain texts and choices computed from one
// input record. The Qt painter draws these at the panel's fixed places; the
// shell fills PanelInputs just before each drawing, after it has evaluated
// the warnings and run the power checks.

#include <array>
#include <string>

#include "measure/derived_values.h"
#include "measure/dose_table.h"
#include "measure/warnings.h"
#include "link/unit_link_state.h"
#include "platform/clock.h"
#include "settings/settings.h"

namespace velrix {

// The warning evaluation as the panel needs it: one flag per row (rows 0-5:
// integrated, day, year, current, average, hour) and the reason text ("" when
// there is no warning).
struct PanelWarnings {
  std::array<bool, 6> rowFlags{};
  std::string reason;
};

// The row flags of an evaluated warning state, in panel row order.
PanelWarnings PanelWarningsFrom(const WarningState& state);

struct PanelInputs {
  DerivedValues values;
  DisplayUnitSettings units;
  const DoseTable* table = nullptr;   // nullptr reads as an empty table
  PanelWarnings warnings;

  // Measurement run.
  int measuring = 0;
  int stoppedMark = 0;
  ClockSeconds stopTime = 0;
  ClockSeconds now = 0;
  int elapsedSeconds = 0;
  const Clock* clock = nullptr;       // local calendar; nullptr = the system clock

  // Link and power, as the link threads last left them.
  int linkStatus = 0;
  std::string portName;
  int maxRetryCount = 0;
  ClockSeconds lastRetryTime = 0;
  int batteryLow = -1;                // -1 not read yet, 0 normal, 1 low
  int solarReached = -1;              // -1 not read yet, 0 insufficient, 1 reached
};

// Copies what the link threads left in the shared record: link status, retry
// statistics and the power inputs. The port name is the caller's to fill
// (PortName of the port opened last).
void ReadLinkInputs(PanelInputs& in, const UnitLinkState& link);

// Row labels, their number formats and the two values each row shows.
const char* PanelRowLabel(int row);
const char* PanelRowFormat(int row);
double PanelRowCountValue(const DerivedValues& values, int row);
double PanelRowSecondValue(const DerivedValues& values, int row);

// The unit code a row is formatted with.
int PanelRowUnitCode(const DisplayUnitSettings& units, int row);

// The value text of one row as drawn: the formatted value, the stopped
// placeholder for the current value, and "▲" when the row is in warning.
std::string PanelRowText(const PanelInputs& in, int row);

// "現在  YYYY-MM-DD hh:mm:ss" (with "  停止" and the stop time when stopped).
std::string PanelClockLine(const Clock& clock, ClockSeconds now, int stoppedMark,
                           ClockSeconds stopTime);

// "経過 %8d時間%2d分%2d秒".
std::string PanelElapsedLine(int elapsedSeconds);

// The link status line for linkStatus (1 OK with the port, 2 and 3 NG);
// "" for 0, which draws nothing.
std::string LinkStatusText(int linkStatus, const std::string& portName);
bool LinkStatusIsNg(int linkStatus);

// The two lines inside the retry box; both "" while no retry has happened.
std::string RetryCountLine(int maxRetryCount, ClockSeconds lastRetryTime);
std::string RetryTimeLine(const Clock& clock, ClockSeconds lastRetryTime);

// Fill of a power indicator square as a palette index, or -1 for a state not
// read yet (the square is then left in the background colour).
int BatterySquarePalette(int batteryLow);
int SolarSquarePalette(int solarReached);

// Fixed texts.
inline constexpr char kStoppedCurrentValue[] = "     -------";
inline constexpr char kWarningMarkText[] = "▲";
inline constexpr char kWarningTitleText[] = "警告";
inline constexpr char kRetryTitleText[] = "リトライ";
inline constexpr char kBatteryText[] = "バッテリー";
inline constexpr char kSolarText[] = "ソーラー";

}  // namespace velrix
