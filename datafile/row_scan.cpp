#include "datafile/row_scan.h"

#include <charconv>
#include <cmath>

namespace velrix {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
int Digit(char c) { return c - '0'; }

int TwoDigits(const char* p) {
  return IsDigit(p[0]) && IsDigit(p[1]) ? Digit(p[0]) * 10 + Digit(p[1]) : -1;
}

const char* SkipBlanks(const char* p, const char* end) {
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
  return p;
}

// The start of the field after the next comma, or end.
const char* NextField(const char* p, const char* end) {
  while (p < end && *p != ',') ++p;
  return p < end ? p + 1 : end;
}

}  // namespace

double ScanDecimal(const char* p, const char* end) {
  p = SkipBlanks(p, end);
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
  }
  // from_chars reads no sign of its own here, so "--1" stays 0 as with %lf.
  if (p == end || !(IsDigit(*p) || *p == '.')) return 0.0;
  double value = 0.0;
  const auto result = std::from_chars(p, end, value, std::chars_format::general);
  if (result.ec != std::errc() || !std::isfinite(value)) return 0.0;
  return negative ? -value : value;
}

std::uint8_t ScanSmallInteger(const char* p, const char* end) {
  p = SkipBlanks(p, end);
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
  }
  int value = 0;
  while (p < end && IsDigit(*p)) {
    if (value <= 255) value = value * 10 + Digit(*p);
    ++p;
  }
  if (negative) return 0;
  return static_cast<std::uint8_t>(value > 255 ? 255 : value);
}

void ScanRow(const char* line, std::size_t length, RowFields* f) {
  const char* end = line + length;
  const bool timed = length >= 8 && line[2] == ':' && line[5] == ':';
  f->hour = timed ? TwoDigits(line) : -1;
  f->minute = timed ? TwoDigits(line + 3) : -1;
  f->second = timed ? TwoDigits(line + 6) : -1;

  // The writer's row: hh:mm:ss,dddd.ddd,r,p
  if (length == 21 && line[13] == '.' && line[17] == ',' && line[19] == ',' &&
      IsDigit(line[9]) && IsDigit(line[10]) && IsDigit(line[11]) && IsDigit(line[12]) &&
      IsDigit(line[14]) && IsDigit(line[15]) && IsDigit(line[16]) && IsDigit(line[18]) &&
      IsDigit(line[20])) {
    const int thousandths = ((((((Digit(line[9]) * 10 + Digit(line[10])) * 10 + Digit(line[11])) *
                                   10 + Digit(line[12])) * 10 + Digit(line[14])) * 10 +
                              Digit(line[15])) * 10 + Digit(line[16]));
    // One correctly rounded division gives the same double as reading the text.
    f->count = thousandths / 1000.0;
    f->missing = static_cast<std::uint8_t>(Digit(line[18]));
    f->power = static_cast<std::uint8_t>(Digit(line[20]));
    return;
  }
  const char* count = line + 9;
  const char* retry = NextField(count, end);
  const char* power = NextField(retry, end);
  f->count = ScanDecimal(count, end);
  f->missing = retry < end ? ScanSmallInteger(retry, end) : 0;
  f->power = power < end ? ScanSmallInteger(power, end) : 0;
}

}  // namespace velrix
