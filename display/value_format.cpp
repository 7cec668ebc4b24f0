#include "display/value_format.h"

#include <algorithm>
#include <cstdio>

#include "platform/c_format.h"

namespace velrix {
namespace {

// Added before printing so that a value that is a hair below a rounding
// boundary in binary still shows the digit a person expects.
constexpr double kPrintNudge = 0.0001;

// The names are as the fixed-pitch panel lays them out: "μ" takes two
// columns, so " mSv" carries a blank to match "μSv".
constexpr char kMicroSv[] = "μSv";
constexpr char kMilliSv[] = " mSv";
constexpr char kCountsName[] = "Counts";
constexpr char kCpsName[] = "CPS";
constexpr char kCpmName[] = "CPM";

constexpr char kFallbackFormat[] = "%.3lf";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Accepts "%", up to three width digits, optionally "." and up to two
// precision digits, then "lf" or "f"; nothing before or after.
bool IsPlainFloatFormat(const std::string& f) {
  std::size_t i = 0;
  if (i >= f.size() || f[i] != '%') return false;
  ++i;
  std::size_t digits = 0;
  while (i < f.size() && IsDigit(f[i]) && digits < 3) ++i, ++digits;
  if (i < f.size() && f[i] == '.') {
    ++i;
    digits = 0;
    while (i < f.size() && IsDigit(f[i]) && digits < 2) ++i, ++digits;
  }
  if (f.compare(i, std::string::npos, "lf") == 0 || f.compare(i, std::string::npos, "f") == 0)
    return true;
  return false;
}

bool IsSign(char c) { return c == '-' || c == '+'; }

}  // namespace

std::string FormatNumber(const std::string& format, double value) {
  const char* f = IsPlainFloatFormat(format) ? format.c_str() : kFallbackFormat;
  // Sized from what snprintf reports, so a value far wider than its field
  // (1e300 in "%14.3lf") is printed in full instead of overrunning a buffer.
  const int needed = CFormat(nullptr, 0, f, value);
  if (needed <= 0) return std::string();
  std::string out(static_cast<std::size_t>(needed) + 1, '\0');
  CFormat(out.data(), out.size(), f, value);
  out.resize(static_cast<std::size_t>(needed));
  return out;
}

std::string GroupDigits(const std::string& text) {
  const bool hasPoint = text.find('.') != std::string::npos;
  bool pointPassed = false;
  int run = 0;
  std::string reversed;
  reversed.reserve(text.size() + text.size() / 3 + 1);
  for (auto it = text.rbegin(); it != text.rend(); ++it) {
    const char c = *it;
    if (c == ' ') {
      run = 0;
      continue;
    }
    if (c == '.') {
      reversed.push_back(c);
      pointPassed = true;
      run = 0;
      continue;
    }
    // A sign closes the number: a comma before it would split "-123" into
    // "-,123".
    if ((!hasPoint || pointPassed) && run == 3 && !IsSign(c)) {
      reversed.push_back(',');
      run = 0;
    }
    reversed.push_back(c);
    ++run;
  }
  return std::string(reversed.rbegin(), reversed.rend());
}

std::string PadLeft(const std::string& text, int width) {
  if (width <= 0 || text.size() >= static_cast<std::size_t>(width)) return text;
  return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}

std::string FormatPanelValue(const DoseTable& table, const std::string& numberFormat,
                             double countValue, double secondValue, int row, int unitCode) {
  if (row < 0 || row >= kPanelRows || unitCode < kUnitMicroSv || unitCode > kUnitCpm)
    return std::string();

  // The number and its format by unit code.
  double number = 0.0;
  std::string format = numberFormat;
  switch (unitCode) {
    case kUnitMicroSv:
      number = secondValue;
      break;
    case kUnitMilliSv:
      number = secondValue / 1000.0;
      format = "%12.3lf";
      break;
    case kUnitCounts:
      number = countValue;
      format = "%14.0lf";
      break;
    case kUnitMicroSvPerHour:
      number = DoseRate(table, countValue);
      break;
    case kUnitMilliSvPerHour:
      // A negative count is a marker, not a rate: it is shown unchanged.
      number = countValue < 0 ? countValue : DoseRate(table, countValue) / 1000.0;
      format = "%8.3lf";
      break;
    case kUnitCps:
    case kUnitCpm:
      if (row == kRowHour)
        number = secondValue;
      else
        number = unitCode == kUnitCpm ? countValue * 60.0 : countValue;
      format = row == kRowCurrent ? "%11.0lf" : "%13.2lf";
      break;
  }

  // Printed locale-free and grouped by thousands.
  const std::string grouped = GroupDigits(FormatNumber(format, number + kPrintNudge));

  // Padded to its column, with the unit name.
  switch (unitCode) {
    case kUnitMicroSv:
      return PadLeft(grouped, 16) + kMicroSv;
    case kUnitMilliSv:
      return PadLeft(grouped, 16) + kMilliSv;
    case kUnitCounts:
      if (number < 2) return PadLeft(grouped, 17) + " Count";
      return PadLeft(grouped, 17) + " " + kCountsName;
    case kUnitMicroSvPerHour:
      if (row == kRowCurrent) return PadLeft(grouped, 11) + " " + kMicroSv + "/h";
      return PadLeft(grouped, 12) + kMicroSv + "/h";
    case kUnitMilliSvPerHour:
      return PadLeft(grouped, 12) + kMilliSv + "/h";
    default: {
      const char* name = unitCode == kUnitCpm ? kCpmName : kCpsName;
      if (row == kRowHour) {
        if (number < 2) return PadLeft(grouped, 13) + " Count";
        return PadLeft(grouped, 13) + " " + kCountsName;
      }
      if (row == kRowCurrent) return PadLeft(grouped, 10) + "    " + name;
      return PadLeft(grouped, 13) + " " + name;
    }
  }
}

}  // namespace velrix
