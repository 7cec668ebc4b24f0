#include "settings/scan_numbers.h"

#include <cctype>
#include <charconv>
#include <climits>
#include <limits>

#include "platform/cp932.h"

namespace velrix {

namespace {

// Significant digits kept of one number: more than a double needs for
// correct rounding, in a fixed buffer however long the digit run is.
constexpr std::size_t kMaxSignificantDigits = 800;
// Beyond 400 decimal magnitudes every double is 0 or infinite. Digit counts
// and exponents are held below 10^15 (far beyond any file) so their sum
// cannot overflow however many digits an item has.
constexpr long long kExponentSaturation = 1000000000000000LL;
constexpr long long kDoubleMagnitudeLimit = 400;

bool IsScanfSpace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(int c) { return c >= '0' && c <= '9'; }

int Lower(int c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; }

bool IsWordChar(int c) {
  return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

int SkipSpace(std::FILE* file) {
  int c;
  do {
    c = std::getc(file);
  } while (IsScanfSpace(c));
  return c;
}

void PushBack(std::FILE* file, int c) {
  if (c != EOF) std::ungetc(c, file);
}

// Reads the rest of a word after its first letter; true when all of it matched.
bool MatchWord(std::FILE* file, const char* rest) {
  for (const char* p = rest; *p != '\0'; ++p) {
    if (Lower(std::getc(file)) != *p) return false;
  }
  return true;
}

// "inf", "infinity", "nan" and "nan(chars)"; the first letter has been read.
// A partly matching word is not a number. Reading stops at a non-number, so
// what it consumed need not be pushed back.
bool ScanInfinityOrNan(std::FILE* file, int first, double sign, double& value) {
  if (Lower(first) == 'i') {
    if (!MatchWord(file, "nf")) return false;
    const int c = std::getc(file);
    if (Lower(c) == 'i') {
      if (!MatchWord(file, "nity")) return false;
    } else {
      PushBack(file, c);
    }
    value = sign * std::numeric_limits<double>::infinity();
    return true;
  }
  if (!MatchWord(file, "an")) return false;
  int c = std::getc(file);
  if (c == '(') {
    do {
      c = std::getc(file);
    } while (c != ')' && IsWordChar(c));
    if (c != ')') return false;
  } else {
    PushBack(file, c);
  }
  value = std::numeric_limits<double>::quiet_NaN();
  return true;
}

}  // namespace

bool ScanDouble(std::FILE* file, double& value) {
  int c = SkipSpace(file);
  if (c == EOF) return false;

  double sign = 1.0;
  if (c == '+' || c == '-') {
    if (c == '-') sign = -1.0;
    c = std::getc(file);
  }
  if (Lower(c) == 'i' || Lower(c) == 'n') return ScanInfinityOrNan(file, c, sign, value);

  // The mantissa as significant digits d1 d2 ... and the value
  // 0.d1d2... x 10^magnitude.
  char digits[kMaxSignificantDigits];
  std::size_t kept = 0;
  long long magnitude = 0;
  bool anyDigit = false;
  bool seenNonZero = false;
  while (IsDigit(c)) {
    anyDigit = true;
    if (c != '0' || seenNonZero) {
      seenNonZero = true;
      if (kept < kMaxSignificantDigits) digits[kept++] = static_cast<char>(c);
      if (magnitude < kExponentSaturation) ++magnitude;
    }
    c = std::getc(file);
  }
  if (c == '.') {
    c = std::getc(file);
    while (IsDigit(c)) {
      anyDigit = true;
      if (c == '0' && !seenNonZero) {
        if (magnitude > -kExponentSaturation) --magnitude;
      } else {
        seenNonZero = true;
        if (kept < kMaxSignificantDigits) digits[kept++] = static_cast<char>(c);
      }
      c = std::getc(file);
    }
  }
  if (!anyDigit) return false;

  if (c == 'e' || c == 'E') {
    // As with "%lf" (unlike strtod), a marker without exponent digits makes
    // the whole item a non-number: "100ergs" is not 100.
    c = std::getc(file);
    long long exponentSign = 1;
    if (c == '+' || c == '-') {
      if (c == '-') exponentSign = -1;
      c = std::getc(file);
    }
    if (!IsDigit(c)) return false;
    long long exponent = 0;
    while (IsDigit(c)) {
      if (exponent < kExponentSaturation) exponent = exponent * 10 + (c - '0');
      c = std::getc(file);
    }
    magnitude += exponentSign * exponent;
  }
  PushBack(file, c);

  if (kept == 0 || magnitude < -kDoubleMagnitudeLimit) {
    value = sign * 0.0;
    return true;
  }
  if (magnitude > kDoubleMagnitudeLimit) {
    value = sign * std::numeric_limits<double>::infinity();
    return true;
  }
  char text[kMaxSignificantDigits + 32];
  std::size_t len = 0;
  text[len++] = '0';
  text[len++] = '.';
  for (std::size_t k = 0; k < kept; ++k) text[len++] = digits[k];
  text[len++] = 'e';
  const auto printed = std::to_chars(text + len, text + sizeof text, magnitude);
  double parsed = 0.0;
  const auto result = std::from_chars(text, printed.ptr, parsed);
  if (result.ec == std::errc::result_out_of_range) {
    parsed = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  }
  value = sign * parsed;
  return true;
}

bool ScanInt(std::FILE* file, int& value) {
  int c = SkipSpace(file);
  if (c == EOF) return false;
  bool negative = false;
  if (c == '+' || c == '-') {
    negative = (c == '-');
    c = std::getc(file);
  }
  if (!IsDigit(c)) return false;
  constexpr long long kLimit = static_cast<long long>(INT_MAX) + 1;
  long long magnitude = 0;
  while (IsDigit(c)) {
    if (magnitude <= kLimit) magnitude = magnitude * 10 + (c - '0');
    c = std::getc(file);
  }
  PushBack(file, c);
  long long signedValue = negative ? -magnitude : magnitude;
  if (signedValue > INT_MAX) signedValue = INT_MAX;
  if (signedValue < INT_MIN) signedValue = INT_MIN;
  value = static_cast<int>(signedValue);
  return true;
}

bool ReadCp932Line(std::FILE* file, std::size_t maxBytes, std::string& line) {
  line.clear();
  int c = std::getc(file);
  if (c == EOF) return false;
  // One byte beyond the limit is kept so the cut can tell whether the last
  // byte within it starts a two-byte character.
  bool textEnded = false;
  while (c != EOF && c != '\n') {
    if (c == '\r' || c == '\0') textEnded = true;
    if (!textEnded && line.size() <= maxBytes) line.push_back(static_cast<char>(c));
    c = std::getc(file);
  }
  line = CutCp932(line, maxBytes);
  return true;
}

long long ReadLeadingInteger(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])) != 0) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const int digit = text[i] - '0';
    if (value > (LLONG_MAX - digit) / 10) return negative ? LLONG_MIN : LLONG_MAX;
    value = value * 10 + digit;
  }
  return negative ? -value : value;
}

}  // namespace velrix
