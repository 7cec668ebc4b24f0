// Reading the edit boxes: atoi- and atof-like numbers without the locale,
// characters counted as characters, and texts fitted to CP932 byte limits.

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <clocale>

#include "settings/ui/field_text.h"
#include "tests/support/comma_locale.h"
#include "tests/support/temp_folder.h"

namespace velrix {
namespace {

TEST(FieldTextTest, LeadingIntegersReadLikeAtoiAndHoldAtTheLimits) {
  EXPECT_EQ(ReadLeadingInteger("  42abc"), 42);
  EXPECT_EQ(ReadLeadingInteger("-7"), -7);
  EXPECT_EQ(ReadLeadingInteger("+8"), 8);
  EXPECT_EQ(ReadLeadingInteger("x9"), 0);
  EXPECT_EQ(ReadLeadingInteger(""), 0);
  EXPECT_EQ(ReadLeadingInteger("99999999999999999999999"), LLONG_MAX);
  EXPECT_EQ(ReadLeadingInteger("-99999999999999999999999"), LLONG_MIN);
}

TEST(FieldTextTest, LeadingNumbersIgnoreTheLocaleAndRefuseInfinityAndNan) {
  const char* before = std::setlocale(LC_ALL, nullptr);
  const std::string saved = before ? before : "C";
  testing::TempFolder folder;
  ASSERT_TRUE(testing::UseCommaLocaleInProcess(testing::MakeCommaLocale(folder.path())));
  EXPECT_EQ(ReadLeadingNumber("1.5"), 1.5);
  EXPECT_EQ(FormatFixed(1.5, 2), "1.50");
  std::setlocale(LC_ALL, saved.c_str());
  EXPECT_EQ(ReadLeadingNumber("inf"), 0.0);
  EXPECT_EQ(ReadLeadingNumber("nan"), 0.0);
  EXPECT_EQ(ReadLeadingNumber("5e"), 5.0);
  EXPECT_EQ(ReadLeadingNumber("-2.5e2"), -250.0);
  EXPECT_EQ(ReadLeadingNumber("1e999"), HUGE_VAL);
  EXPECT_EQ(ReadLeadingNumber("1e-999"), 0.0);
  EXPECT_EQ(ReadLeadingNumber("."), 0.0);
}

TEST(FieldTextTest, FirstCharactersCountsCharactersNotBytes) {
  EXPECT_EQ(FirstCharacters("１２３４", 3), "１２３");
  EXPECT_EQ(FirstCharacters("ab", 3), "ab");
}

TEST(FieldTextTest, FittingCutsOnAWholeCp932CharacterAndRefusesOthers) {
  std::string fitted = "untouched";
  EXPECT_TRUE(FitFieldText("aあい", 4, &fitted));
  EXPECT_EQ(fitted, "aあ");
  fitted = "untouched";
  EXPECT_FALSE(FitFieldText("caf\xC3\xA9", 127, &fitted));
  EXPECT_EQ(fitted, "untouched");
  EXPECT_TRUE(FitFieldText("～", 127, &fitted));  // the wave dash CP932 writes as 81 60
  EXPECT_EQ(fitted, "～");
}

}  // namespace
}  // namespace velrix
