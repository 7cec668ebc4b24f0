#pragma once
// Turning numbers into the texts the panel, the trend axes and the cursor
// read-out show: printf-style number formats, digit grouping, and the value
// of one panel row with its unit.

#include <string>

#include "measure/dose_table.h"

namespace velrix {

// Unit codes of FormatPanelValue: the integrated rows use integratedUnit
// (0-2), the rate rows rateUnit + 3.
inline constexpr int kUnitMicroSv = 0;
inline constexpr int kUnitMilliSv = 1;
inline constexpr int kUnitCounts = 2;
inline constexpr int kUnitMicroSvPerHour = 3;
inline constexpr int kUnitMilliSvPerHour = 4;
inline constexpr int kUnitCps = 5;
inline constexpr int kUnitCpm = 6;

// Panel rows.
inline constexpr int kRowIntegrated = 0;
inline constexpr int kRowPredictedDay = 1;
inline constexpr int kRowPredictedYear = 2;
inline constexpr int kRowCurrent = 3;
inline constexpr int kRowAverage = 4;
inline constexpr int kRowHour = 5;
inline constexpr int kPanelRows = 6;

// Prints value with a format of the form "%[width][.precision]lf" (also "f").
// The result is as long as the number needs: a value wider than the field is
// printed in full. A format of any other shape prints with "%.3lf", so a
// format text can never make the formatter read arguments it was not given.
std::string FormatNumber(const std::string& format, double value);

// Drops blanks and puts a comma between groups of three digits of the integer
// part; digits after the point are never grouped, and a sign is never
// separated from its digits ("-1,234", not "-,1,234").
std::string GroupDigits(const std::string& text);

// Pads text on the left with blanks to width bytes (the "%Ns" of printf).
std::string PadLeft(const std::string& text, int width);

// The text of one panel value with its unit. countValue is in counts or
// counts per second; secondValue is the dose in μSv for rows 0-2 and the count
// of the last hour for row 5. A row or unit code outside the tables gives "".
std::string FormatPanelValue(const DoseTable& table, const std::string& numberFormat,
                             double countValue, double secondValue, int row, int unitCode);

}  // namespace velrix
