// The accelerated clock's options as the programs take them: a clock shared
// through start, scale and anchor shows the same second in two processes'
// worth of objects, and a bad value is a bad argument (exit code 2), for
// velrix-recorder and velrix alike.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/scaled_clock.h"
#include "tests/e2e/e2e_fixture.h"

namespace velrix::testing::e2e {
namespace {

TEST(ClockOptions, StartScaleAndAnchorFixEverySecond) {
  std::vector<std::string> args = {"--clock-start", "2026-12-31 23:59:30", "--time-scale", "20",
                                   "--clock-anchor-ms", "1000000"};
  ClockOptions options;
  std::string error;
  for (std::size_t i = 0; i < args.size(); ++i) {
    ASSERT_TRUE(TakeClockOption(args, &i, &options, &error)) << args[i];
    ASSERT_EQ(error, "");
  }
  const auto a = MakeScaledClock(options, &error);
  const auto b = MakeScaledClock(options, &error);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->Scale(), 20);
  // Both show the start at the anchor and run twenty times the real pace.
  const std::int64_t elapsedReal = ScaledClock::RealNowMs() - 1000000;
  const std::int64_t shown = a->NowMs() - At(2026, 12, 31, 23, 59, 30) * 1000;
  EXPECT_GE(shown, elapsedReal * 20);
  EXPECT_LE(shown, (elapsedReal + 1000) * 20);
  EXPECT_LE(b->Now() - a->Now(), 1);
  EXPECT_EQ(a->RealSpanMs(1000), 50);
  EXPECT_EQ(a->RealSpanMs(1), 1);
  EXPECT_EQ(a->RealSpanMs(0), 0);
  const CalendarTime local = a->Local(At(2027, 1, 1, 0, 0, 0));
  EXPECT_EQ(local.year, 2027);
  EXPECT_EQ(local.hour, 0);
}

TEST(ClockOptions, NoOptionsLeaveTheSystemClock) {
  std::string error;
  EXPECT_EQ(MakeScaledClock(ClockOptions{}, &error), nullptr);
  EXPECT_EQ(error, "");
  std::vector<std::string> args = {"--port", "x"};
  std::size_t i = 0;
  ClockOptions options;
  EXPECT_FALSE(TakeClockOption(args, &i, &options, &error));
  EXPECT_EQ(i, 0u);
}

TEST(ClockOptions, BadValuesAreBadArgumentsOfBothPrograms) {
  const std::vector<std::vector<std::string>> bad = {
      {"--time-scale", "0"},          {"--time-scale", "1001"},
      {"--time-scale", "2x"},         {"--clock-start", "2026-13-01 00:00:00"},
      {"--clock-start", "yesterday"}, {"--clock-start", "2026-01-01 00:00:00junk"},
      {"--clock-anchor-ms", "-5"},    {"--time-scale"},
  };
  Station station;
  for (const std::string& program : {RecorderProgram(), VelrixProgram()}) {
    for (const auto& args : bad) {
      SCOPED_TRACE(program + " " + Join(args));
      Child child(program, args, station.Env(), station.temp().File("bad.out"));
      const std::optional<int> status = child.WaitExit(kExitSeconds);
      EXPECT_TRUE(ExitedWith(status, 2)) << Describe(status) << "\n" << child.Output();
      EXPECT_NE(child.Output().find("usage: "), std::string::npos) << child.Output();
    }
  }
}

TEST(ClockOptions, TheUsageDoesNotOfferThem) {
  Station station;
  for (const std::string& program : {RecorderProgram(), VelrixProgram()}) {
    Child child(program, {"--help"}, station.Env(), station.temp().File("help.out"));
    EXPECT_TRUE(ExitedWith(child.WaitExit(kExitSeconds), 0));
    EXPECT_EQ(child.Output().find("--time-scale"), std::string::npos) << child.Output();
    EXPECT_EQ(child.Output().find("--clock-start"), std::string::npos) << child.Output();
  }
}

}  // namespace
}  // namespace velrix::testing::e2e
