#include "datafile/row_scan.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

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

bool ScanWriterRow(const char* p, RowFields* f, bool* midnight) {
  if constexpr (std::endian::native != std::endian::little) {
    return false;  // the masks below are laid out for little-endian words
  } else {
    if (p[8] != ',' || p[17] != ',' || p[19] != ',' || p[21] != '\r' || p[22] != '\n') return false;
    const unsigned char r = static_cast<unsigned char>(p[18] - '0');
    const unsigned char w = static_cast<unsigned char>(p[20] - '0');
    if (r > 9 || w > 9) return false;
    // Eight bytes at a time; byte i of the word is character i. A byte is a
    // digit when its high nibble is 3 and adding 6 keeps it so.
    std::uint64_t time = 0, count = 0;
    std::memcpy(&time, p, 8);
    std::memcpy(&count, p + 9, 8);
    constexpr std::uint64_t kTimeDigits = 0xF0F000F0F000F0F0ULL;  // hh mm ss, not the colons
    constexpr std::uint64_t kTimeColons = 0x0000FF0000FF0000ULL;
    constexpr std::uint64_t kCountDigits = 0xF0F0F000F0F0F0F0ULL;  // dddd ddd, not the point
    constexpr std::uint64_t kCountPoint = 0x000000FF00000000ULL;
    constexpr std::uint64_t kThrees = 0x3030303030303030ULL;
    constexpr std::uint64_t kSixes = 0x0606060606060606ULL;
    if ((time & kTimeDigits) != (kThrees & kTimeDigits) ||
        ((time + (kSixes & (kTimeDigits >> 4))) & kTimeDigits) != (kThrees & kTimeDigits) ||
        (time & kTimeColons) != 0x00003A00003A0000ULL) {
      return false;
    }
    if ((count & kCountDigits) != (kThrees & kCountDigits) ||
        ((count + (kSixes & (kCountDigits >> 4))) & kCountDigits) != (kThrees & kCountDigits) ||
        (count & kCountPoint) != 0x0000002E00000000ULL) {
      return false;
    }
    std::uint64_t whole = count & 0x0F0F0F0FULL;  // the four digits before the point
    whole = (whole * 10 + (whole >> 8)) & 0x00FF00FFULL;
    whole = (whole * 100 + (whole >> 16)) & 0xFFFFULL;
    const std::uint64_t part = ((count >> 40) & 0x0F) * 100 + ((count >> 48) & 0x0F) * 10 +
                               ((count >> 56) & 0x0F);
    // One correctly rounded division gives the same double as reading the text.
    f->count = static_cast<double>(whole * 1000 + part) / 1000.0;
    f->missing = r;
    f->power = w;
    *midnight = time == 0x30303A30303A3030ULL;  // "00:00:00"
    return true;
  }
}

}  // namespace velrix
