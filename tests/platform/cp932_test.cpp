#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/cp932.h"

namespace velrix {
namespace {

TEST(Cp932, RoundTripsJapaneseTextAndMicroSign) {
  const std::string utf8 = "時刻,カウント値,リトライ,電源ステータス μSv";
  bool ok = false;
  const std::string cp = Utf8ToCp932(utf8, &ok);
  EXPECT_TRUE(ok);
  // "時" is 0x8E 0x9E in code page 932.
  EXPECT_EQ(static_cast<unsigned char>(cp[0]), 0x8E);
  EXPECT_EQ(static_cast<unsigned char>(cp[1]), 0x9E);
  EXPECT_EQ(Cp932ToUtf8(cp), utf8);
}

TEST(Cp932, CharactersOutsideTheCodePageAreReportedAndLeftOut) {
  bool ok = true;
  const std::string cp = Utf8ToCp932("a\xF0\x9F\x98\x80" "b", &ok);  // an emoji between
  EXPECT_FALSE(ok);
  EXPECT_EQ(cp, "ab");
}

TEST(Cp932, DamagedBytesDecodeToReplacementCharacters) {
  const std::string decoded = Cp932ToUtf8(std::string("A\x81", 2));  // lone lead byte
  EXPECT_EQ(decoded.substr(0, 1), "A");
  EXPECT_NE(decoded.find("\xEF\xBF\xBD"), std::string::npos);
}

TEST(Cp932, CutsNeverSplitADoubleByteCharacter) {
  const std::string cp = Utf8ToCp932("aあい");  // 1 + 2 + 2 bytes
  EXPECT_EQ(CutCp932(cp, 5).size(), 5u);
  EXPECT_EQ(CutCp932(cp, 4).size(), 3u);
  EXPECT_EQ(CutCp932(cp, 2).size(), 1u);
  EXPECT_EQ(CutUtf8ToCp932Bytes("aあい", 4), "aあ");
  std::string long127(126, 'x');
  long127 += "あ";  // would end at byte 128
  EXPECT_EQ(CutUtf8ToCp932Bytes(long127, 127), std::string(126, 'x'));
}

TEST(Clock, ManualClockShowsTheLocalCalendarOfItsOffset) {
  ManualClock clock(0, 9 * 3600);
  const ClockSeconds t = clock.FromLocal(2013, 3, 2, 13, 5, 7);
  clock.Set(t);
  const CalendarTime c = clock.LocalNow();
  EXPECT_EQ(c.year, 2013);
  EXPECT_EQ(c.month, 3);
  EXPECT_EQ(c.day, 2);
  EXPECT_EQ(c.hour, 13);
  EXPECT_EQ(c.minute, 5);
  EXPECT_EQ(c.second, 7);
  EXPECT_EQ(CalendarFromUtc(t).hour, 4);
  clock.Advance(11 * 3600 - 5 * 60 - 7);  // to midnight
  EXPECT_EQ(clock.LocalNow().day, 3);
  EXPECT_EQ(clock.LocalNow().hour, 0);
}

}  // namespace
}  // namespace velrix
