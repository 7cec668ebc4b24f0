#include "measure/dose_table.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "settings/scan_numbers.h"

namespace velrix {

namespace {

constexpr const char* kDoseTableFileName = "sv_table.def";
constexpr const char* kDoseTableTitle = "線量当量変換ファイル異常";
constexpr const char* kDoseTableMissingText = "線量当量変換ファイルがありません。";
constexpr const char* kDoseTableShortFormat = "線量当量変換テーブル異常 データ数=%d";

// Fallback beyond the table: the detector's nominal sensitivity.
constexpr double kFallbackNumerator = 8.76;
constexpr double kFallbackDenominator = 18.0;

}  // namespace

void LoadDoseTable(DoseTable& table, const std::string& programFolder, UserMessages& messages) {
  table.size = 0;
  const std::string path = programFolder + kDoseTableFileName;
  // A folder standing where the file belongs opens on Linux but reads as
  // empty; it is as absent as a missing file.
  std::error_code ec;
  std::FILE* file =
      std::filesystem::is_directory(path, ec) ? nullptr : std::fopen(path.c_str(), "r");
  if (file == nullptr) {
    messages.Show(kDoseTableTitle, kDoseTableMissingText);
    return;
  }
  double value = 0.0;
  while (table.size < kDoseTableCapacity && ScanDouble(file, value)) {
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
