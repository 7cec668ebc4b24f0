#include "measure/dose_table.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace velrix {

namespace {

constexpr const char* kDoseTableFileName = "sv_table.def";
constexpr const char* kDoseTableTitle = "線量当量変換ファイル異常";
constexpr const char* kDoseTableMissingText = "線量当量変換ファイルがありません。";
constexpr const char* kDoseTableShortFormat = "線量当量変換テーブル異常 データ数=%d";

// Fallback beyond the table: the detector's nominal sensitivity.
constexpr double kFallbackNumerator = 8.76;
constexpr double kFallbackDenominator = 18.0;

// Significant digits kept of one number. 800 is more than any double needs
// for correct rounding, and it keeps a megabyte-long digit run in a fixed
// buffer instead of memory proportional to the file.
constexpr std::size_t kMaxSignificantDigits = 800;
// Beyond these decimal magnitudes every double is 0 or infinite; saturating
// the exponent here keeps its arithmetic from overflowing on absurd input.
constexpr long kExponentSaturation = 100000;

bool IsScanfSpace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(int c) { return c >= '0' && c <= '9'; }

int Lower(int c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; }

// Reads the rest of a word after its first letter; true when all of it matched.
bool MatchWord(std::FILE* file, const char* rest) {
  for (const char* p = rest; *p != '\0'; ++p) {
    if (Lower(std::getc(file)) != *p) return false;
  }
  return true;
}

// "inf", "infinity", "nan" and "nan(chars)", as "%lf" takes them. The first
// letter has been read. A partly matching word is not a number; reading stops
// there anyway, so nothing needs to be pushed back.
bool ReadSpecial(std::FILE* file, int first, double sign, double& value) {
  if (Lower(first) == 'i') {
    if (!MatchWord(file, "nf")) return false;
    int c = std::getc(file);
    if (Lower(c) == 'i') {
      if (!MatchWord(file, "nity")) return false;
    } else if (c != EOF) {
      std::ungetc(c, file);
    }
    value = sign * std::numeric_limits<double>::infinity();
    return true;
  }
  if (!MatchWord(file, "an")) return false;
  int c = std::getc(file);
  if (c == '(') {
    do {
      c = std::getc(file);
    } while (c != ')' && c != EOF && (std::isalnum(c) || c == '_'));
    if (c != ')') return false;
  } else if (c != EOF) {
    std::ungetc(c, file);
  }
  value = std::numeric_limits<double>::quiet_NaN();
  return true;
}

// Reads one decimal number the way "%lf" does, independent of the process
// locale (the GUI sets LC_NUMERIC from the environment, where the decimal
// separator may be a comma; the file always uses a point). Leading white
// space is skipped; the character after the number is pushed back. Returns
// false at the end of the file or when the next item is not a number.
bool ReadNumber(std::FILE* file, double& value) {
  int c;
  do {
    c = std::getc(file);
  } while (IsScanfSpace(c));
  if (c == EOF) return false;

  double sign = 1.0;
  if (c == '+' || c == '-') {
    if (c == '-') sign = -1.0;
    c = std::getc(file);
  }
  if (Lower(c) == 'i' || Lower(c) == 'n') return ReadSpecial(file, c, sign, value);

  // Mantissa, kept as significant digits d1 d2 ... with the value
  // 0.d1d2... x 10^magnitude.
  char digits[kMaxSignificantDigits + 1];
  std::size_t kept = 0;
  long magnitude = 0;
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
    // Like "%lf" (and unlike strtod), an exponent marker without digits makes
    // the whole item a non-number: "100ergs" is not 100.
    c = std::getc(file);
    long expSign = 1;
    if (c == '+' || c == '-') {
      if (c == '-') expSign = -1;
      c = std::getc(file);
    }
    if (!IsDigit(c)) return false;
    long exponent = 0;
    while (IsDigit(c)) {
      if (exponent < kExponentSaturation) exponent = exponent * 10 + (c - '0');
      c = std::getc(file);
    }
    magnitude += expSign * exponent;
  }
  if (c != EOF) std::ungetc(c, file);

  if (kept == 0) {
    value = sign * 0.0;
    return true;
  }
  // Far outside the range of a double: settle it without the converter.
  if (magnitude > 400) {
    value = sign * std::numeric_limits<double>::infinity();
    return true;
  }
  if (magnitude < -400) {
    value = sign * 0.0;
    return true;
  }
  char text[kMaxSignificantDigits + 32];
  std::size_t len = 0;
  text[len++] = '0';
  text[len++] = '.';
  for (std::size_t k = 0; k < kept; ++k) text[len++] = digits[k];
  text[len++] = 'e';
  auto printed = std::to_chars(text + len, text + sizeof text, magnitude);
  double parsed = 0.0;
  auto result = std::from_chars(text, printed.ptr, parsed);
  if (result.ec == std::errc::result_out_of_range) {
    parsed = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  }
  value = sign * parsed;
  return true;
}

}  // namespace

void LoadDoseTable(DoseTable& table, const std::string& programFolder, UserMessages& messages) {
  table.size = 0;
  const std::string path = programFolder + kDoseTableFileName;
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) {
    messages.Show(kDoseTableTitle, kDoseTableMissingText);
    return;
  }
  double value = 0.0;
  while (table.size < kDoseTableCapacity && ReadNumber(file, value)) {
    table.rate[table.size] = value;
    ++table.size;
  }
  std::fclose(file);

  if (table.size < kDoseTableComplete) {
    char text[128];
    std::snprintf(text, sizeof text, kDoseTableShortFormat, table.size);
    messages.Show(kDoseTableTitle, text);
  }
}

double DoseRate(const DoseTable& table, double x) {
  // NaN fails every comparison and would reach the index below; pass it
  // through like a negative value instead of reading outside the table.
  if (x < 0.0 || std::isnan(x)) return x;
  const int n = table.size;
  if (x > static_cast<double>(n - 1)) return x * kFallbackNumerator / kFallbackDenominator;
  const int i = static_cast<int>(x);
  if (i == n - 1) return table.rate[n - 1];
  return table.rate[i] + (table.rate[i + 1] - table.rate[i]) * (x - i);
}

double ToScaleUnit(const DoseTable& table, double x, int scale) {
  constexpr int kLastMicroSievertScale = 5;
  constexpr int kLastMilliSievertScale = 8;
  constexpr int kLastCpsScale = 13;
  constexpr int kLastCpmScale = 19;
  if (scale > kLastMicroSievertScale && scale <= kLastMilliSievertScale) {
    if (x < 0.0) return x;
    return DoseRate(table, x) / 1000.0;
  }
  if (scale > kLastMilliSievertScale && scale <= kLastCpsScale) return x;
  if (scale > kLastCpsScale && scale <= kLastCpmScale) return x * 60.0;
  // 0-5, and any index a damaged trend.def may hold: μSv/h.
  return DoseRate(table, x);
}

}  // namespace velrix
