#include <gtest/gtest.h>

#include <memory>

#include "datafile/data_file_writer.h"
#include "display/value_format.h"
#include "tests/support/comma_locale.h"
#include "tests/support/temp_folder.h"

namespace velrix {
namespace {

// A table with rate[k] = k / 10 μSv/h, so conversions are easy to follow.
std::unique_ptr<DoseTable> TenthTable() {
  auto t = std::make_unique<DoseTable>();
  t->size = kDoseTableComplete;
  for (int k = 0; k < t->size; ++k) t->rate[k] = k / 10.0;
  return t;
}

TEST(GroupDigits, GroupsTheIntegerPartAndDropsBlanks) {
  EXPECT_EQ(GroupDigits("   1234567.123"), "1,234,567.123");
  EXPECT_EQ(GroupDigits("  12345"), "12,345");
  EXPECT_EQ(GroupDigits("123"), "123");
  EXPECT_EQ(GroupDigits("1000000"), "1,000,000");
}

TEST(GroupDigits, NeverGroupsDigitsAfterThePoint) {
  EXPECT_EQ(GroupDigits("0.123456"), "0.123456");
  EXPECT_EQ(GroupDigits("1234.5678"), "1,234.5678");
}

TEST(GroupDigits, NeverPutsACommaDirectlyAfterASign) {
  EXPECT_EQ(GroupDigits("-123"), "-123");
  EXPECT_EQ(GroupDigits("  -123.456"), "-123.456");
  EXPECT_EQ(GroupDigits("-1234"), "-1,234");
  EXPECT_EQ(GroupDigits("   -123456.00"), "-123,456.00");
  EXPECT_EQ(GroupDigits("-9999"), "-9,999");
}

TEST(FormatNumber, PrintsValuesWiderThanTheFieldInFull) {
  const std::string huge = FormatNumber("%14.3lf", 1e30);
  EXPECT_GT(huge.size(), 30u);
  EXPECT_EQ(huge.substr(huge.size() - 4), ".000");
  EXPECT_EQ(FormatNumber("%8.2lf", 1.5), "    1.50");
}

TEST(FormatNumber, AFormatOfAnotherShapeCannotReadMissingArguments) {
  EXPECT_EQ(FormatNumber("%s%s%n", 2.0), "2.000");
  EXPECT_EQ(FormatNumber("%14.3lf extra", 2.0), "2.000");
}

TEST(FormatPanelValue, IntegratedDoseInMicroSievertIsGroupedAndRightAligned) {
  auto t = TenthTable();
  const std::string text = FormatPanelValue(*t, "%14.3lf", 0.0, 1234.5678, 0, kUnitMicroSv);
  EXPECT_EQ(text, "       1,234.568μSv");
  EXPECT_EQ(text.substr(0, 16), "       1,234.568");
}

TEST(FormatPanelValue, MilliSievertDividesTheDose) {
  auto t = TenthTable();
  EXPECT_EQ(FormatPanelValue(*t, "%14.3lf", 0.0, 1234.5678, 1, kUnitMilliSv),
            "           1.235 mSv");
}

TEST(FormatPanelValue, OneCountIsSingularAndTwoArePlural) {
  auto t = TenthTable();
  EXPECT_EQ(FormatPanelValue(*t, "%14.3lf", 1.0, 0.0, 0, kUnitCounts),
            std::string(16, ' ') + "1 Count");
  EXPECT_EQ(FormatPanelValue(*t, "%14.3lf", 2.0, 0.0, 0, kUnitCounts),
            std::string(16, ' ') + "2 Counts");
  EXPECT_EQ(FormatPanelValue(*t, "%14.3lf", 12345.0, 0.0, 2, kUnitCounts),
            std::string(11, ' ') + "12,345 Counts");
}

TEST(FormatPanelValue, RateRowsConvertThroughTheDoseTable) {
  auto t = TenthTable();
  // 25 counts per second is 2.5 μSv/h in this table.
  EXPECT_EQ(FormatPanelValue(*t, "%8.2lf", 25.0, 0.0, 3, kUnitMicroSvPerHour),
            "       2.50 μSv/h");
  EXPECT_EQ(FormatPanelValue(*t, "%12.3lf", 25.0, 0.0, 4, kUnitMicroSvPerHour),
            "       2.500μSv/h");
  EXPECT_EQ(FormatPanelValue(*t, "%12.3lf", 25.0, 0.0, 5, kUnitMilliSvPerHour),
            "       0.003 mSv/h");
}

TEST(FormatPanelValue, CpsCurrentRowIsWholeCountsAndHourRowIsTheHourCount) {
  auto t = TenthTable();
  EXPECT_EQ(FormatPanelValue(*t, "%8.2lf", 12.0, 0.0, 3, kUnitCps), "        12    CPS");
  EXPECT_EQ(FormatPanelValue(*t, "%12.3lf", 12.5, 0.0, 4, kUnitCps), "        12.50 CPS");
  EXPECT_EQ(FormatPanelValue(*t, "%12.3lf", 3.0, 10800.0, 5, kUnitCps),
            "    10,800.00 Counts");
  EXPECT_EQ(FormatPanelValue(*t, "%12.3lf", 0.0, 1.0, 5, kUnitCps), "         1.00 Count");
}

TEST(FormatPanelValue, CpmMultipliesCountsPerSecondBySixty) {
  auto t = TenthTable();
  EXPECT_EQ(FormatPanelValue(*t, "%8.2lf", 12.0, 0.0, 3, kUnitCpm), "       720    CPM");
  EXPECT_EQ(FormatPanelValue(*t, "%12.3lf", 100.0, 0.0, 4, kUnitCpm), "     6,000.00 CPM");
  EXPECT_EQ(FormatPanelValue(*t, "%12.3lf", 3.0, 10800.0, 5, kUnitCpm),
            "    10,800.00 Counts");
}

TEST(FormatPanelValue, NegativeValuesPassThroughWithoutASplitSign) {
  auto t = TenthTable();
  EXPECT_EQ(FormatPanelValue(*t, "%8.2lf", -9999.0, 0.0, 3, kUnitMicroSvPerHour),
            "  -9,999.00 μSv/h");
  EXPECT_EQ(FormatPanelValue(*t, "%12.3lf", -123.0, 0.0, 4, kUnitMilliSvPerHour),
            "    -123.000 mSv/h");
}

TEST(FormatPanelValue, UnknownRowOrUnitGivesNoText) {
  auto t = TenthTable();
  EXPECT_EQ(FormatPanelValue(*t, "%8.2lf", 1.0, 1.0, 6, 0), "");
  EXPECT_EQ(FormatPanelValue(*t, "%8.2lf", 1.0, 1.0, 0, 7), "");
}

}  // namespace
}  // namespace velrix

namespace velrix {
namespace {

// Under a locale with a decimal comma, "0012,000" would split a data row into
// five fields and "1,234,568" would misread on the panel.
TEST(NumbersUnderACommaLocale, RowsPanelValuesAndLabelsKeepThePoint) {
  testing::TempFolder folder;
  ASSERT_TRUE(testing::UseCommaLocaleInProcess(testing::MakeCommaLocale(folder.path())))
      << "localedef could not make " << testing::kCommaLocale;
  char row[kDataRowMaxBytes];
  const int n = FormatDataRow(row, 3723, 12.0, 1, 3);
  EXPECT_EQ(std::string(row, n), "01:02:03,0012.000,1,3");
  auto t = TenthTable();
  EXPECT_EQ(FormatPanelValue(*t, "%14.3lf", 0.0, 1234.5678, 0, kUnitMicroSv),
            "       1,234.568μSv");
  EXPECT_EQ(GroupDigits(FormatNumber("%4.2lf", 0.05)), "0.05");
}

}  // namespace
}  // namespace velrix
