// The unit's half of the protocol as plain bytes, no terminal involved.

#include <gtest/gtest.h>

#include "sim/sim_protocol.h"

namespace velrix::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Answer(const Frame& f, UnitState* unit) { return AnswerCommand(f, unit); }

TEST(FrameSplitter, FramesArriveWholeWhateverThePiecesTheBytesComeIn) {
  FrameSplitter splitter;
  std::vector<Frame> frames;
  const Bytes stream = {0x00, 0x01, 0x01, 0x10, 0x00, 0x80, 0x01, 0x02, 0x33, 0x03, 1, 2, 3};
  for (std::uint8_t b : stream) splitter.Feed(&b, 1, &frames);
  ASSERT_EQ(frames.size(), 4u);
  EXPECT_EQ(frames[0].code, 0x00);
  EXPECT_EQ(frames[0].data, Bytes({0x01}));
  EXPECT_EQ(frames[1].code, 0x10);
  EXPECT_TRUE(frames[1].data.empty());
  EXPECT_EQ(frames[2].data, Bytes({0x02}));
  EXPECT_EQ(frames[3].data, Bytes({1, 2, 3}));
  EXPECT_FALSE(splitter.Partial());
}

TEST(FrameSplitter, AFrameAnnouncingTheLongestLengthIsHeldUntilComplete) {
  FrameSplitter splitter;
  std::vector<Frame> frames;
  Bytes stream = {0x77, 0xFF};
  stream.resize(2 + 254, 0xAA);
  splitter.Feed(stream.data(), stream.size(), &frames);
  EXPECT_TRUE(frames.empty());
  EXPECT_TRUE(splitter.Partial());
  const std::uint8_t last = 0xAA;
  splitter.Feed(&last, 1, &frames);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].data.size(), 255u);
}

TEST(AnswerCommand, EachCommandGetsItsExactReply) {
  UnitState unit;
  EXPECT_EQ(Answer({kCodeSetBuzzer, {0x01}}, &unit), Bytes({0x00, 0x00}));
  EXPECT_EQ(unit.buzzerOff, 1);
  EXPECT_EQ(Answer({kCodeGetBuzzer, {}}, &unit), Bytes({0x10, 0x01, 0x01}));
  EXPECT_EQ(Answer({kCodeStartCount, {}}, &unit), Bytes({0x50, 0xFF}));
  EXPECT_TRUE(unit.counting);
  EXPECT_EQ(Answer({kCodeStopCount, {}}, &unit), Bytes({0x40, 0x00}));
  EXPECT_FALSE(unit.counting);
  EXPECT_EQ(Answer({kCodeSetPowerPaths, {0x02}}, &unit), Bytes({0x80, 0x00}));
  EXPECT_EQ(Answer({kCodeGetPowerStatus, {}}, &unit), Bytes({0x90, 0x01, 0x22}));
  EXPECT_TRUE(Answer({0x33, {}}, &unit).empty());
}

TEST(AnswerCommand, OnlyTheLowBitsOfSetBuzzerAndSetPowerPathsCount) {
  UnitState unit;
  Answer({kCodeSetBuzzer, {0xFE}}, &unit);
  EXPECT_EQ(unit.buzzerOff, 0);
  Answer({kCodeSetPowerPaths, {0xFD}}, &unit);
  EXPECT_EQ(unit.powerPaths, 0x01);
}

TEST(AnswerCommand, ACommandWithoutItsDataByteIsAnsweredButChangesNothing) {
  UnitState unit;
  unit.buzzerOff = 1;
  unit.powerPaths = 3;
  EXPECT_EQ(Answer({kCodeSetBuzzer, {}}, &unit), Bytes({0x00, 0x00}));
  EXPECT_EQ(Answer({kCodeSetPowerPaths, {}}, &unit), Bytes({0x80, 0x00}));
  EXPECT_EQ(unit.buzzerOff, 1);
  EXPECT_EQ(unit.powerPaths, 3);
}

TEST(AnswerCommand, WrongEchoInvertsTheBuzzerBitAndShortStartAnswersLengthZero) {
  UnitState unit;
  unit.wrongBuzzerEcho = true;
  unit.startCountLongForm = false;
  Answer({kCodeSetBuzzer, {0x00}}, &unit);
  EXPECT_EQ(Answer({kCodeGetBuzzer, {}}, &unit), Bytes({0x10, 0x01, 0x01}));
  EXPECT_EQ(Answer({kCodeStartCount, {}}, &unit), Bytes({0x50, 0x00}));
}

TEST(PowerStatusByte, CarriesPathsBatteryLowAndSolarReached) {
  UnitState unit;
  unit.solarReached = false;
  EXPECT_EQ(PowerStatusByte(unit), 0x00);
  unit.batteryLow = true;
  unit.solarReached = true;
  unit.powerPaths = kChargingOffBit | kBatteryOffBit;
  EXPECT_EQ(PowerStatusByte(unit), 0x33);
}

TEST(CountFrame, PacksThirteenBitsAndTheLimitFlag) {
  EXPECT_EQ(CountFrame(42, false), Bytes({0x50, 0x02, 0x2A, 0x00}));
  EXPECT_EQ(CountFrame(5000, true), Bytes({0x50, 0x02, 0x88, 0x33}));
  EXPECT_EQ(CountFrame(9000, false), Bytes({0x50, 0x02, 0xFF, 0x1F}));
  EXPECT_EQ(CountFrame(-4, false), Bytes({0x50, 0x02, 0x00, 0x00}));
}

TEST(FramesInSecond, SlowSkipsAndFastDoublesOnTheirSeconds) {
  EXPECT_EQ(FramesInSecond(1, 0, 0), 1);
  EXPECT_EQ(FramesInSecond(3, 3, 0), 2);
  EXPECT_EQ(FramesInSecond(4, 3, 0), 1);
  EXPECT_EQ(FramesInSecond(4, 0, 2), 0);
  EXPECT_EQ(FramesInSecond(5, 0, 2), 1);
}

TEST(CountGenerator, ASequenceIsPlayedInOrderThenRepeatedAndClamped) {
  CountSource source;
  source.kind = CountSource::Kind::Sequence;
  source.sequence = {1, 9000, 3};
  CountGenerator counts(source);
  std::vector<int> got;
  for (int i = 0; i < 7; ++i) got.push_back(counts.Next());
  EXPECT_EQ(got, std::vector<int>({1, 8191, 3, 1, 8191, 3, 1}));
}

TEST(CountGenerator, RandomCountsRepeatForTheSameSeedAndCentreOnTheMean) {
  CountSource source;
  source.kind = CountSource::Kind::Random;
  source.mean = 100.0;
  source.seed = 7;
  CountGenerator a(source), b(source);
  double sum = 0;
  bool varied = false;
  int first = -1;
  for (int i = 0; i < 2000; ++i) {
    const int x = a.Next();
    EXPECT_EQ(x, b.Next());
    if (first < 0) first = x;
    varied = varied || x != first;
    sum += x;
  }
  EXPECT_TRUE(varied);
  EXPECT_NEAR(sum / 2000, 100.0, 3.0);
}

TEST(CountGenerator, AnEmptySequenceOrNonPositiveMeanGivesZero) {
  CountSource source;
  source.kind = CountSource::Kind::Sequence;
  EXPECT_EQ(CountGenerator(source).Next(), 0);
  source.kind = CountSource::Kind::Random;
  source.mean = 0.0;
  EXPECT_EQ(CountGenerator(source).Next(), 0);
}

}  // namespace
}  // namespace velrix::sim
