#include "settings/ui/field_text.h"

#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>

#include "platform/cp932.h"

namespace velrix {
namespace {

bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t SkipBlanks(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  return i;
}

}  // namespace

bool FitFieldText(const std::string& utf8, std::size_t maxBytes, std::string* fitted) {
  bool ok = true;
  Utf8ToCp932(utf8, &ok);
  if (!ok) return false;
  *fitted = CutUtf8ToCp932Bytes(utf8, maxBytes);
  return true;
}

std::string FirstCharacters(const std::string& utf8, std::size_t count) {
  std::size_t end = 0;
  std::size_t taken = 0;
  while (end < utf8.size() && taken < count) {
    ++end;
    // Continuation bytes belong to the character already counted.
    while (end < utf8.size() && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) ++end;
    ++taken;
  }
  return utf8.substr(0, end);
}

double ReadLeadingNumber(const std::string& text) {
  const std::size_t start = SkipBlanks(text);
  std::size_t i = start;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  const std::size_t mantissaStart = i;
  std::size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return 0.0;
  // An exponent counts only when digits follow it ("5e" reads as 5).
  bool negativeExponent = false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    bool minus = false;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) minus = text[j++] == '-';
    if (j < text.size() && IsDigit(text[j])) {
      while (j < text.size() && IsDigit(text[j])) ++j;
      i = j;
      negativeExponent = minus;
    }
  }
  double value = 0.0;
  const char* first = text.data() + mantissaStart;
  const auto result = std::from_chars(first, text.data() + i, value, std::chars_format::general);
  // Out of a double's range: far beyond every limit, or too small to matter.
  if (result.ec == std::errc::result_out_of_range) value = negativeExponent ? 0.0 : HUGE_VAL;
  return text[start] == '-' ? -value : value;
}

std::string FormatFixed(double value, int decimals) {
  char buffer[400];
  const auto printed = std::to_chars(buffer, buffer + sizeof buffer, value,
                                     std::chars_format::fixed, decimals);
  if (printed.ec != std::errc()) return "0";
  return std::string(buffer, printed.ptr);
}

}  // namespace velrix
