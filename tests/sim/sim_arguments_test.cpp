// The velrix-unitsim command line.

#include <gtest/gtest.h>

#include "sim/sim_unit.h"
#include "tests/support/temp_folder.h"

namespace velrix::sim {
namespace {

using Args = std::vector<std::string>;

bool Parse(const Args& args, SimConfig* config, std::string* error) {
  return ParseSimArguments(args, config, error);
}

TEST(ParseSimArguments, NoArgumentsGiveTheDefaultUnit) {
  SimConfig config;
  config.fastEvery = 9;
  std::string error;
  ASSERT_TRUE(Parse({}, &config, &error)) << error;
  EXPECT_EQ(config.counts.kind, CountSource::Kind::Constant);
  EXPECT_EQ(config.counts.constant, 5);
  EXPECT_EQ(config.fastEvery, 0);
  EXPECT_TRUE(config.solarReached);
  EXPECT_TRUE(config.startCountLongForm);
  EXPECT_TRUE(config.schedule.empty());
}

TEST(ParseSimArguments, EveryKnobReachesTheConfiguration) {
  SimConfig config;
  std::string error;
  ASSERT_TRUE(Parse({"--random", "12.5", "--seed", "99", "--limit", "--battery-low-at", "3",
                     "--battery-normal-at", "4.5", "--solar-low-at", "5", "--solar-ok-at", "6",
                     "--silence", "10-20", "--hangup-at", "30", "--fast", "7", "--slow", "11",
                     "--stray", "ff 00,A5", "--stray-every", "3", "--reply-delay", "250",
                     "--wrong-echo", "--short-start", "--link", "/tmp/ttyUNIT"},
                    &config, &error))
      << error;
  EXPECT_EQ(config.counts.kind, CountSource::Kind::Random);
  EXPECT_DOUBLE_EQ(config.counts.mean, 12.5);
  EXPECT_EQ(config.counts.seed, 99u);
  EXPECT_TRUE(config.limitFlag);
  using W = TimedChange::What;
  const std::vector<std::pair<double, W>> expected = {
      {3, W::BatteryLow},  {4.5, W::BatteryNormal}, {5, W::SolarInsufficient},
      {6, W::SolarReached}, {10, W::SilenceOn},     {20, W::SilenceOff},
      {30, W::HangUp}};
  ASSERT_EQ(config.schedule.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_DOUBLE_EQ(config.schedule[i].at, expected[i].first) << i;
    EXPECT_EQ(config.schedule[i].what, expected[i].second) << i;
  }
  EXPECT_EQ(config.fastEvery, 7);
  EXPECT_EQ(config.slowEvery, 11);
  EXPECT_EQ(config.strayBytes, std::vector<std::uint8_t>({0xFF, 0x00, 0xA5}));
  EXPECT_EQ(config.strayEvery, 3);
  EXPECT_EQ(config.replyDelayMs, 250);
  EXPECT_TRUE(config.wrongBuzzerEcho);
  EXPECT_FALSE(config.startCountLongForm);
  EXPECT_EQ(config.linkPath, "/tmp/ttyUNIT");
}

TEST(ParseSimArguments, ACountsFileBecomesTheRepeatedSequence) {
  testing::TempFolder folder;
  testing::WriteBytes(folder.File("counts.txt"), "1 2\n3\t8191\r\n");
  SimConfig config;
  std::string error;
  ASSERT_TRUE(Parse({"--counts-file", folder.File("counts.txt")}, &config, &error)) << error;
  EXPECT_EQ(config.counts.kind, CountSource::Kind::Sequence);
  EXPECT_EQ(config.counts.sequence, std::vector<int>({1, 2, 3, 8191}));
}

TEST(ParseSimArguments, StrayBytesAloneGoAfterEveryFrame) {
  SimConfig config;
  std::string error;
  ASSERT_TRUE(Parse({"--count", "0", "--stray", "50"}, &config, &error)) << error;
  EXPECT_EQ(config.counts.constant, 0);
  EXPECT_EQ(config.strayEvery, 1);
}

TEST(ParseSimArguments, BadArgumentsAreRefusedWithAMessageAndLeaveTheConfigurationAlone) {
  testing::TempFolder folder;
  testing::WriteBytes(folder.File("bad.txt"), "1 two 3");
  testing::WriteBytes(folder.File("empty.txt"), " \n");
  const std::vector<Args> bad = {
      {"--bogus"},
      {"--count"},
      {"--count", "abc"},
      {"--count", "8192"},
      {"--count", "-1"},
      {"--count", "3", "--random", "4"},
      {"--random", "-2"},
      {"--seed", "x"},
      {"--counts-file", folder.File("missing.txt")},
      {"--counts-file", folder.File("bad.txt")},
      {"--counts-file", folder.File("empty.txt")},
      {"--counts-file", folder.path()},
      {"--battery-low-at", "soon"},
      {"--hangup-at", "-1"},
      {"--silence", "20-10"},
      {"--silence", "5"},
      {"--silence", "a-b"},
      {"--fast", "0"},
      {"--slow", "1.5"},
      {"--stray", "ABC"},
      {"--stray", "zz"},
      {"--stray-every", "2"},
      {"--reply-delay", "70000"},
      {"--link", ""},
      {"--help"},
  };
  for (const Args& args : bad) {
    SimConfig config;
    config.replyDelayMs = 77;
    std::string error;
    EXPECT_FALSE(Parse(args, &config, &error)) << args[0];
    EXPECT_FALSE(error.empty()) << args[0];
    EXPECT_EQ(config.replyDelayMs, 77) << args[0];
  }
}

TEST(ParseSimArguments, TheMessageNamesTheOffendingOption) {
  SimConfig config;
  std::string error;
  EXPECT_FALSE(Parse({"--limit", "--fast", "zero"}, &config, &error));
  EXPECT_NE(error.find("--fast"), std::string::npos) << error;
  EXPECT_NE(error.find("zero"), std::string::npos) << error;
}

TEST(SimUsage, ListsEveryOption) {
  const std::string usage = SimUsage();
  for (const char* option :
       {"--count", "--random", "--seed", "--counts-file", "--limit", "--battery-low-at",
        "--battery-normal-at", "--solar-low-at", "--solar-ok-at", "--silence", "--hangup-at",
        "--fast", "--slow", "--stray", "--stray-every", "--reply-delay", "--wrong-echo",
        "--short-start", "--link", "--help"}) {
    EXPECT_NE(usage.find(option), std::string::npos) << option;
  }
}

}  // namespace
}  // namespace velrix::sim
