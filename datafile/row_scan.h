#pragma once
// The fields of one data row, "hh:mm:ss,count,retry,power", read without the
// locale. The writer's own rows ("13:05:07,0012.000,0,0") take a short path;
// anything else is read field by field as the C library's %d and %lf would
// read it, a field that holds no number reading as 0.

#include <cstddef>
#include <cstdint>

namespace velrix {

struct RowFields {
  int hour = 0, minute = 0, second = 0;  // -1 when the time is not "dd:dd:dd"
  double count = 0.0;
  std::uint8_t missing = 0;
  std::uint8_t power = 0;
};

// The length of a row line the reader ends a file at: empty, or character 9
// is not ",".
inline bool EndsTheRows(const char* line, std::size_t length) {
  return length < 9 || line[8] != ',';
}

// Reads the fields of a line (without its line end) that does not end the rows.
void ScanRow(const char* line, std::size_t length, RowFields* fields);

// The row exactly as the writer makes it, "hh:mm:ss,dddd.ddd,r,p" with CR LF
// (kWriterRowBytes bytes), read in one step: true with the count, the flags
// and whether it is stamped "00:00:00" when the bytes at p (at least
// kWriterRowBytes of them) are such a row; false for anything else, which
// the caller then reads line by line. The time is not kept.
inline constexpr std::size_t kWriterRowBytes = 23;
bool ScanWriterRow(const char* p, RowFields* fields, bool* midnight);

// A decimal number with an optional sign, point and exponent, as %lf reads
// it from the start of [p, end); 0 when there is none or it is not finite.
double ScanDecimal(const char* p, const char* end);

// A decimal integer as %d reads it, held at 0 ... 255.
std::uint8_t ScanSmallInteger(const char* p, const char* end);

}  // namespace velrix
