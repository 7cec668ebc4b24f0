// The dose-equivalent table read from a sv_table.def of any bytes, then the
// conversion asked for count rates around every row, beyond the table and
// from the input.
//
// Checked besides crashes and reads outside the table: the table holds the
// numbers the file's text gives, in order, up to 10000 of them; a short or
// missing table is reported once and a complete one not at all; a rate at a
// row is that row's value, one between two rows lies between them, one
// beyond the last row is the fallback x * 8.76 / 18, a negative or NaN rate
// passes through; each trend scale converts as its unit asks.
//
// Input: byte 0 chooses a folder in the file's place (bit 0); byte 1 how
// often the file's text is repeated (so that a complete table fits a short
// input); bytes 2-17 two count rates as raw doubles; the rest is the text.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "measure/dose_table.h"
#include "settings/scan_numbers.h"
#include "tests/support/temp_folder.h"

namespace {

using namespace velrix;
namespace fs = std::filesystem;

constexpr std::size_t kMaxFileBytes = 1 << 16;

class Counting final : public UserMessages {
 public:
  void Show(const std::string&, const std::string&) override { ++shown; }
  int shown = 0;
};

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz_dose_table: %s\n", what);
  std::abort();
}

bool Same(double a, double b) {
  return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

double Fallback(double x) { return x * 8.76 / 18; }

void CheckRate(const DoseTable& t, double x) {
  const double r = DoseRate(t, x);
  const int n = t.size;
  if (std::isnan(x) || x < 0.0) {
    Require(Same(r, x), "a negative or NaN rate did not pass through");
    return;
  }
  if (x > n - 1) {
    Require(Same(r, Fallback(x)), "a rate beyond the table not the fallback");
    return;
  }
  const int i = static_cast<int>(x);
  Require(i >= 0 && i < n, "a rate inside the table has no row");
  if (i == n - 1) {
    Require(Same(r, t.rate[i]), "a rate at the last row is not its value");
    return;
  }
  if (x == i) {
    // The neighbour's weight is 0; only an infinite step could spoil that.
    if (std::isfinite(t.rate[i + 1] - t.rate[i])) {
      Require(r == t.rate[i], "a rate at a row is not the row's value");
    }
    return;
  }
  const double a = t.rate[i];
  const double b = t.rate[i + 1];
  if (std::isfinite(a) && std::isfinite(b) && std::isfinite(b - a)) {
    // Rounding may step one unit outside the two rows' values, no further.
    const double low = std::nextafter(std::fmin(a, b), -INFINITY);
    const double high = std::nextafter(std::fmax(a, b), INFINITY);
    Require(r >= low && r <= high, "an interpolated rate outside its two rows");
  }
}

void CheckScales(const DoseTable& t, double x) {
  for (int scale = -1; scale <= 20; ++scale) {
    const double r = ToScaleUnit(t, x, scale);
    double expected = DoseRate(t, x);
    if (scale >= 6 && scale <= 8) expected = x < 0.0 ? x : DoseRate(t, x) / 1000.0;
    if (scale >= 9 && scale <= 13) expected = x;
    if (scale >= 14 && scale <= 19) expected = x * 60.0;
    Require(Same(r, expected), "a trend scale converted into another unit");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const velrix::testing::TempFolder scratch;
  static const std::unique_ptr<DoseTable> table = std::make_unique<DoseTable>();
  if (size < 18) return 0;
  const std::string path = scratch.File("sv_table.def");
  std::error_code ec;
  fs::remove_all(path, ec);

  const char* text = reinterpret_cast<const char*>(data) + 18;
  const std::size_t textSize = size - 18;
  std::size_t repeat = 1 + static_cast<std::size_t>(data[1]) * 40;
  if (textSize > 0 && repeat * textSize > kMaxFileBytes) repeat = kMaxFileBytes / textSize + 1;
  std::string file;
  for (std::size_t k = 0; k < repeat; ++k) file.append(text, textSize);

  const bool folder = (data[0] & 1) != 0;
  if (folder) {
    fs::create_directory(path, ec);
  } else {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
  }
  DoseTable& t = *table;
  t.size = -7;  // a load must set it whatever it was
  Counting messages;
  LoadDoseTable(t, scratch.slash(), messages);

  // The numbers the text gives, read the way every file of the program is.
  int expected = 0;
  if (!folder && !file.empty()) {
    std::FILE* f = fmemopen(file.data(), file.size(), "r");
    double value = 0.0;
    while (f != nullptr && expected < kDoseTableCapacity && ScanDouble(f, value)) {
      Require(expected < t.size && Same(t.rate[expected], value),
              "a table row that is not the file's number");
      ++expected;
    }
    if (f != nullptr) std::fclose(f);
  }
  Require(t.size == expected, "a table of another length than the file's numbers");
  Require(messages.shown == (folder || t.size < kDoseTableComplete ? 1 : 0),
          "a table reported other than once when short or missing");

  double probes[2];
  std::memcpy(probes, data + 2, sizeof probes);
  for (const double x : probes) {
    CheckRate(t, x);
    CheckScales(t, x);
  }
  for (const double x : {-1.0, -0.0, 1e300, static_cast<double>(t.size), t.size - 1.0,
                         t.size - 1.5, std::nextafter(t.size - 1.0, 1e9)}) {
    CheckRate(t, x);
  }
  for (int k = 0; k < t.size; k += 1 + k / 16) {
    CheckRate(t, k);
    CheckRate(t, k + 0.5);
  }
  return 0;
}
