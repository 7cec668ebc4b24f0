// The settings files' scanners fed any bytes, mixed in the order a script in
// the input chooses, as the readers mix numbers and whole lines. Each accepted
// item is checked against the C library read in the "C" locale: the text a
// number scanner took must be one number to strtod/strtol as a whole, with the
// same value (ints held at their limits); a line must be the start of the
// line's text, without CR, LF or NUL, within its byte limit, cut after a whole
// CP932 character and only when the text is longer (or ends in half a
// character). The typed-text reader is
// checked against strtoll.
//
// Input: bytes 0-3 are the script (two bits per step: number, integer, line,
// number), byte 4 the line limit; the rest is the file.

#include <locale.h>
#include <stdlib.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/cp932.h"
#include "settings/scan_numbers.h"

namespace {

using namespace velrix;

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz_scan_numbers: %s\n", what);
  std::abort();
}

locale_t CLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return c;
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The item a scanner took, without the white space before it.
std::string Item(const std::uint8_t* file, long from, long to) {
  std::string text(reinterpret_cast<const char*>(file) + from, static_cast<std::size_t>(to - from));
  std::size_t start = 0;
  while (start < text.size() && IsSpace(text[start])) ++start;
  return text.substr(start);
}

void CheckDouble(const std::string& item, double value) {
  Require(item.find('\0') == std::string::npos, "a number read across a NUL byte");
  char* end = nullptr;
  const double expected = strtod_l(item.c_str(), &end, CLocale());
  Require(end == item.c_str() + item.size(), "a number item that strtod does not take whole");
  if (std::isnan(expected)) {
    Require(std::isnan(value), "NaN read as a number");
    return;
  }
  Require(std::memcmp(&expected, &value, sizeof value) == 0, "a number read with another value");
}

void CheckInt(const std::string& item, int value) {
  Require(item.find('\0') == std::string::npos, "an integer read across a NUL byte");
  char* end = nullptr;
  errno = 0;
  long long expected = strtoll(item.c_str(), &end, 10);
  Require(end == item.c_str() + item.size(), "an integer item that strtol does not take whole");
  if (expected > INT_MAX) expected = INT_MAX;
  if (expected < INT_MIN) expected = INT_MIN;
  Require(value == expected, "an integer read with another value");
}

void CheckLine(const std::uint8_t* file, std::size_t size, long from, long to,
               std::size_t maxBytes, const std::string& line) {
  const char* raw = reinterpret_cast<const char*>(file) + from;
  std::size_t rawLength = static_cast<std::size_t>(to - from);
  Require(to == static_cast<long>(size) || raw[rawLength - 1] == '\n',
          "a line read that stops before its LF");
  if (rawLength > 0 && raw[rawLength - 1] == '\n') --rawLength;
  std::size_t textLength = 0;
  while (textLength < rawLength && raw[textLength] != '\r' && raw[textLength] != '\0') ++textLength;
  const std::string text(raw, textLength);
  Require(line.size() <= maxBytes, "a line longer than its limit");
  Require(text.compare(0, line.size(), line) == 0, "a line that is not the start of the text");
  Require(CutCp932(line, maxBytes) == line, "a line cut inside a character");
  if (text.size() <= maxBytes) {
    // Only a lead byte whose second byte is missing may go.
    const bool danglingLead = line.size() + 1 == text.size() &&
                              Cp932CharLength(static_cast<unsigned char>(text.back())) == 2;
    Require(line == text || danglingLead, "a line within its limit that was cut");
  } else {
    Require(line.size() + 1 >= maxBytes, "a line cut shorter than a character needs");
  }
}

void CheckLeadingInteger(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  errno = 0;
  const long long expected = strtoll(text.c_str(), nullptr, 10);
  Require(ReadLeadingInteger(text) == expected, "a typed integer read with another value");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 6) return 0;
  const std::uint32_t script = data[0] | (data[1] << 8) | (data[2] << 16) |
                               (static_cast<std::uint32_t>(data[3]) << 24);
  const std::size_t maxBytes = data[4] % 2 == 0 ? data[4] / 2 : 127 + data[4] / 2;
  const std::uint8_t* file = data + 5;
  const std::size_t fileSize = size - 5;
  CheckLeadingInteger(file, fileSize);

  // fmemopen reads the bytes as they are (no NUL ends them in read mode).
  std::FILE* f = fmemopen(const_cast<std::uint8_t*>(file), fileSize, "r");
  if (f == nullptr) return 0;
  for (int step = 0; step < 4096; ++step) {
    const long from = std::ftell(f);
    const int op = static_cast<int>((script >> (2 * (step % 16))) & 3);
    bool took = false;
    if (op == 1) {
      int value = 0;
      took = ScanInt(f, value);
      if (took) CheckInt(Item(file, from, std::ftell(f)), value);
    } else if (op == 2) {
      std::string line;
      took = ReadCp932Line(f, maxBytes, line);
      if (took) CheckLine(file, fileSize, from, std::ftell(f), maxBytes, line);
    } else {
      double value = 0.0;
      took = ScanDouble(f, value);
      if (took) CheckDouble(Item(file, from, std::ftell(f)), value);
    }
    const long to = std::ftell(f);
    Require(to >= from, "a scanner moved the stream back");
    if (!took && to == from) break;  // the end of the stream
  }
  std::fclose(f);
  return 0;
}
