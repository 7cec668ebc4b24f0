#include "measure/dose_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>
#include <sstream>
#include <string>

#include "tests/support/program_run.h"
#include "tests/support/recording_messages.h"
#include "tests/support/temp_folder.h"

namespace velrix {
namespace {

using testing::ReadBytes;
using testing::RecordingMessages;
using testing::TempFolder;
using testing::WriteBytes;

constexpr const char* kTitle = "線量当量変換ファイル異常";

double Fallback(double x) { return x * 8.76 / 18; }

// A row value that differs from row to row and from the fallback.
double RowValue(int k) { return 0.25 + 0.5 * k + 0.0001 * k * k; }

std::string TableText(int rows) {
  std::ostringstream text;
  text.precision(17);
  for (int k = 0; k < rows; ++k) text << RowValue(k) << "\n";
  return text.str();
}

struct Loaded {
  std::unique_ptr<DoseTable> table = std::make_unique<DoseTable>();
  RecordingMessages messages;
};

void LoadFrom(const TempFolder& folder, const std::string& content, Loaded& loaded) {
  WriteBytes(folder.File("sv_table.def"), content);
  LoadDoseTable(*loaded.table, folder.slash(), loaded.messages);
}

TEST(DoseTable, FullTableInterpolatesBetweenRowsAndUsesLastRowAtItsIndex) {
  TempFolder folder;
  Loaded loaded;
  LoadFrom(folder, TableText(8192), loaded);
  const DoseTable& t = *loaded.table;
  EXPECT_EQ(t.size, 8192);
  EXPECT_TRUE(loaded.messages.Shown().empty());
  EXPECT_DOUBLE_EQ(DoseRate(t, 0), RowValue(0));
  EXPECT_DOUBLE_EQ(DoseRate(t, 2.5), (RowValue(2) + RowValue(3)) / 2);
  EXPECT_DOUBLE_EQ(DoseRate(t, 8191), RowValue(8191));
  EXPECT_DOUBLE_EQ(DoseRate(t, 8191.5), Fallback(8191.5));
}

TEST(DoseTable, ShortTableIsReportedWithItsCountAndStillUsed) {
  TempFolder folder;
  Loaded loaded;
  LoadFrom(folder, "1.0\n2.0\n3.0\n", loaded);
  const DoseTable& t = *loaded.table;
  ASSERT_EQ(loaded.messages.Shown().size(), 1u);
  EXPECT_EQ(loaded.messages.Shown()[0].title, kTitle);
  EXPECT_EQ(loaded.messages.Shown()[0].text, "線量当量変換テーブル異常 データ数=3");
  EXPECT_DOUBLE_EQ(DoseRate(t, 2), 3.0);
  EXPECT_DOUBLE_EQ(DoseRate(t, 2.01), Fallback(2.01));
  EXPECT_DOUBLE_EQ(DoseRate(t, 1.5), 2.5);
}

TEST(DoseTable, MissingFileIsReportedAndEveryRateUsesTheFallback) {
  TempFolder folder;
  Loaded loaded;
  loaded.table->size = 77;
  LoadDoseTable(*loaded.table, folder.slash(), loaded.messages);
  ASSERT_EQ(loaded.messages.Shown().size(), 1u);
  EXPECT_EQ(loaded.messages.Shown()[0].title, kTitle);
  EXPECT_EQ(loaded.messages.Shown()[0].text, "線量当量変換ファイルがありません。");
  EXPECT_EQ(loaded.table->size, 0);
  EXPECT_NEAR(DoseRate(*loaded.table, 10), 4.8666666666, 1e-9);
  EXPECT_DOUBLE_EQ(DoseRate(*loaded.table, 0), 0.0);
}

TEST(DoseTable, FolderStandingWhereTheFileBelongsCountsAsMissing) {
  TempFolder folder;
  std::filesystem::create_directory(folder.File("sv_table.def"));
  Loaded loaded;
  LoadDoseTable(*loaded.table, folder.slash(), loaded.messages);
  ASSERT_EQ(loaded.messages.Texts().size(), 1u);
  EXPECT_EQ(loaded.messages.Texts()[0], "線量当量変換ファイルがありません。");
}

TEST(DoseTable, ReadingStopsAtTheFirstItemThatIsNotANumber) {
  TempFolder folder;
  Loaded loaded;
  LoadFrom(folder, "0.1 0.2 abc 0.3\n", loaded);
  EXPECT_EQ(loaded.table->size, 2);
  EXPECT_DOUBLE_EQ(loaded.table->rate[1], 0.2);
  ASSERT_EQ(loaded.messages.Texts().size(), 1u);
  EXPECT_EQ(loaded.messages.Texts()[0], "線量当量変換テーブル異常 データ数=2");
}

TEST(DoseTable, NegativeCountRatesPassThroughUnchanged) {
  TempFolder folder;
  Loaded loaded;
  LoadFrom(folder, TableText(8192), loaded);
  EXPECT_DOUBLE_EQ(DoseRate(*loaded.table, -3.5), -3.5);
  EXPECT_DOUBLE_EQ(ToScaleUnit(*loaded.table, -3.5, 7), -3.5);
  EXPECT_DOUBLE_EQ(ToScaleUnit(*loaded.table, -3.5, 2), -3.5);
}

TEST(DoseTable, NotANumberIsPassedThroughWithoutTouchingTheTable) {
  DoseTable* t = new DoseTable;
  t->size = 3;
  EXPECT_TRUE(std::isnan(DoseRate(*t, std::numeric_limits<double>::quiet_NaN())));
  delete t;
}

TEST(DoseTable, NumbersAreReadAsPercentLfReadsThem) {
  TempFolder folder;
  Loaded loaded;
  LoadFrom(folder, "+1.5\t-2e3\r\n.5 3. 1E+2 7e-1 1.5-2 -inf nan 4", loaded);
  const DoseTable& t = *loaded.table;
  ASSERT_EQ(t.size, 11);
  EXPECT_DOUBLE_EQ(t.rate[0], 1.5);
  EXPECT_DOUBLE_EQ(t.rate[1], -2000);
  EXPECT_DOUBLE_EQ(t.rate[2], 0.5);
  EXPECT_DOUBLE_EQ(t.rate[3], 3.0);
  EXPECT_DOUBLE_EQ(t.rate[4], 100.0);
  EXPECT_DOUBLE_EQ(t.rate[5], 0.7);
  EXPECT_DOUBLE_EQ(t.rate[6], 1.5);
  EXPECT_DOUBLE_EQ(t.rate[7], -2.0);
  EXPECT_TRUE(std::isinf(t.rate[8]) && t.rate[8] < 0);
  EXPECT_TRUE(std::isnan(t.rate[9]));
  EXPECT_DOUBLE_EQ(t.rate[10], 4.0);
}

TEST(DoseTable, AnExponentMarkerWithoutDigitsIsNotANumber) {
  TempFolder folder;
  Loaded loaded;
  LoadFrom(folder, "7 100ergs 8", loaded);
  EXPECT_EQ(loaded.table->size, 1);
}

TEST(DoseTable, MoreThanTenThousandNumbersAreCutWithoutMessage) {
  TempFolder folder;
  Loaded loaded;
  LoadFrom(folder, TableText(12000), loaded);
  EXPECT_EQ(loaded.table->size, 10000);
  EXPECT_DOUBLE_EQ(loaded.table->rate[9999], RowValue(9999));
  EXPECT_TRUE(loaded.messages.Shown().empty());
}

TEST(DoseTable, HugeAndTinyNumbersBecomeInfinityOrZero) {
  TempFolder folder;
  Loaded loaded;
  const std::string longDigits(3 * 1024 * 1024, '9');
  LoadFrom(folder,
           "1e999999999999999999 -1e400 1e-400 0.000e99999 " + longDigits + " " + longDigits +
               "e-3145728 12345678901234567890123",
           loaded);
  const DoseTable& t = *loaded.table;
  ASSERT_EQ(t.size, 7);
  EXPECT_TRUE(std::isinf(t.rate[0]) && t.rate[0] > 0);
  EXPECT_TRUE(std::isinf(t.rate[1]) && t.rate[1] < 0);
  EXPECT_EQ(t.rate[2], 0.0);
  EXPECT_EQ(t.rate[3], 0.0);
  EXPECT_TRUE(std::isinf(t.rate[4]));
  EXPECT_NEAR(t.rate[5], 1.0, 1e-12);
  EXPECT_DOUBLE_EQ(t.rate[6], 12345678901234567890123.0);
}

TEST(DoseTable, MegabytesOfJunkAfterAFullTableAreIgnored) {
  TempFolder folder;
  Loaded loaded;
  std::string junk(4 * 1024 * 1024, '\0');
  for (std::size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>((i * 131 + 7) % 256);
  LoadFrom(folder, TableText(8192) + "x" + junk, loaded);
  EXPECT_EQ(loaded.table->size, 8192);
  EXPECT_TRUE(loaded.messages.Shown().empty());

  Loaded onlyJunk;
  LoadFrom(folder, junk, onlyJunk);
  EXPECT_LT(onlyJunk.table->size, 8192);
  EXPECT_EQ(onlyJunk.messages.Shown().size(), 1u);
}

TEST(DoseTable, ScaleIndexChoosesTheUnit) {
  TempFolder folder;
  Loaded loaded;
  LoadFrom(folder, TableText(8192), loaded);
  const DoseTable& t = *loaded.table;
  const double x = 12.25;
  for (int scale = 0; scale <= 5; ++scale) EXPECT_DOUBLE_EQ(ToScaleUnit(t, x, scale), DoseRate(t, x));
  for (int scale = 6; scale <= 8; ++scale)
    EXPECT_DOUBLE_EQ(ToScaleUnit(t, x, scale), DoseRate(t, x) / 1000);
  for (int scale = 9; scale <= 13; ++scale) EXPECT_DOUBLE_EQ(ToScaleUnit(t, x, scale), x);
  for (int scale = 14; scale <= 19; ++scale) EXPECT_DOUBLE_EQ(ToScaleUnit(t, x, scale), x * 60);
}

TEST(DoseTable, ShippedTableIsCompleteMonotoneAndStartsAtZero) {
  const std::string shipped = testing::ShippedProgramFolder();
  Loaded loaded;
  LoadDoseTable(*loaded.table, shipped, loaded.messages);
  const DoseTable& t = *loaded.table;
  EXPECT_TRUE(loaded.messages.Shown().empty());
  ASSERT_EQ(t.size, 8192);
  EXPECT_EQ(t.rate[0], 0.0);
  for (int k = 1; k < t.size; ++k) ASSERT_GT(t.rate[k], t.rate[k - 1]) << k;
}

}  // namespace
}  // namespace velrix
