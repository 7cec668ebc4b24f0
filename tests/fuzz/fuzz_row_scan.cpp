// The data rows' scanners fed any bytes. The input is taken as lines (split at
// LF, a CR before it dropped) and every line that does not end the rows is
// read as a row; every field is read as a decimal and a small integer; and the
// one-step reader of the writer's rows is tried at every offset.
//
// Checked besides crashes and reads past the line: a field's decimal is what
// strtod reads in the "C" locale (0 where that is no finite number); a small
// integer is strtol's value held at 0 ... 255; a row's count and flags are the
// fields' values whichever path read them, and its time fields are -1 or two
// digits; the one-step reader takes exactly the bytes shaped like a writer's
// row with CR LF, gives the same values as the line reader, and calls a row
// midnight exactly when it is stamped 00:00:00.

#include <locale.h>
#include <stdlib.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "datafile/row_scan.h"

namespace {

using namespace velrix;

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz_row_scan: %s\n", what);
  std::abort();
}

locale_t CLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return c;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool SameDouble(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Where a field's number starts after the blanks %lf and %d skip in a field
// (scanf would skip any white space, but a row has no other within a line),
// or nullptr when it has no sign or digit there to start one.
const char* NumberStart(const char* p, const char* end, bool pointStarts) {
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
  const char* q = p;
  if (q < end && (*q == '+' || *q == '-')) ++q;
  if (q == end || !(IsDigit(*q) || (pointStarts && *q == '.'))) return nullptr;
  return p;
}

void CheckDecimal(const char* p, const char* end) {
  const double value = ScanDecimal(p, end);
  const char* start = NumberStart(p, end, true);
  if (start == nullptr) {
    Require(value == 0.0, "a decimal read where no number starts");
    return;
  }
  const std::string text(start, end);
  const char* digits = text.c_str() + ((text[0] == '+' || text[0] == '-') ? 1 : 0);
  // Hexadecimal is not the files' form; the reader is not held to it.
  if (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) return;
  errno = 0;
  const double expected = strtod_l(text.c_str(), nullptr, CLocale());
  if (!std::isfinite(expected)) {
    Require(value == 0.0, "a decimal beyond a double's range not read as 0");
  } else if (errno == ERANGE) {
    // Below the smallest normal double: 0 or the nearest denormal.
    Require(value == 0.0 || SameDouble(value, expected), "a tiny decimal read wrongly");
  } else {
    Require(SameDouble(value, expected), "a decimal read with another value");
  }
}

void CheckSmallInteger(const char* p, const char* end) {
  const std::uint8_t value = ScanSmallInteger(p, end);
  const char* start = NumberStart(p, end, false);
  long long expected = 0;
  if (start != nullptr) expected = strtoll(std::string(start, end).c_str(), nullptr, 10);
  if (expected < 0) expected = 0;
  if (expected > 255) expected = 255;
  Require(value == expected, "a small integer read with another value");
}

// The start of the field after the next comma, or end.
const char* NextField(const char* p, const char* end) {
  while (p < end && *p != ',') ++p;
  return p < end ? p + 1 : end;
}

void CheckRow(const char* line, std::size_t length) {
  const char* end = line + length;
  for (const char* field = line; field < end; field = NextField(field, end)) {
    CheckDecimal(field, end);
    CheckSmallInteger(field, end);
  }
  if (EndsTheRows(line, length)) return;
  RowFields f;
  ScanRow(line, length, &f);
  for (const int t : {f.hour, f.minute, f.second}) {
    Require(t == -1 || (t >= 0 && t <= 99), "a time field that is not two digits");
  }
  const char* count = line + 9;
  const char* retry = NextField(count, end);
  const char* power = NextField(retry, end);
  Require(SameDouble(f.count, ScanDecimal(count, end)), "a row's count differs from its field");
  Require(f.missing == (retry < end ? ScanSmallInteger(retry, end) : 0),
          "a row's missing flag differs from its field");
  Require(f.power == (power < end ? ScanSmallInteger(power, end) : 0),
          "a row's power status differs from its field");
}

// hh:mm:ss,dddd.ddd,r,p CR LF, character by character.
bool ShapedLikeWriterRow(const char* p) {
  static const char kShape[] = "dd:dd:dd,dddd.ddd,d,d\r\n";
  for (std::size_t i = 0; i < kWriterRowBytes; ++i) {
    if (kShape[i] == 'd' ? !IsDigit(p[i]) : p[i] != kShape[i]) return false;
  }
  return true;
}

void CheckWriterRow(const char* p) {
  RowFields fast;
  bool midnight = false;
  const bool taken = ScanWriterRow(p, &fast, &midnight);
  Require(taken == ShapedLikeWriterRow(p), "the one-step reader misjudged a row's shape");
  if (!taken) return;
  RowFields slow;
  ScanRow(p, kWriterRowBytes - 2, &slow);
  Require(SameDouble(fast.count, slow.count) && fast.missing == slow.missing &&
              fast.power == slow.power,
          "the one-step reader and the line reader disagree");
  Require(midnight == (std::memcmp(p, "00:00:00", 8) == 0), "midnight misjudged");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  const char* end = text + size;
  for (const char* p = text; p + kWriterRowBytes <= end; ++p) CheckWriterRow(p);
  const char* line = text;
  while (line < end) {
    const std::size_t left = static_cast<std::size_t>(end - line);
    const char* lf = static_cast<const char*>(std::memchr(line, '\n', left));
    const char* lineEnd = lf != nullptr ? lf : end;
    std::size_t length = static_cast<std::size_t>(lineEnd - line);
    if (lf != nullptr && length > 0 && line[length - 1] == '\r') --length;
    CheckRow(line, length);
    line = lf != nullptr ? lf + 1 : end;
  }
  return 0;
}
