// The reply parser, fed exact bytes on a pseudo-terminal.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/link/exchange_fixture.h"

namespace velrix {
namespace {

using testing::MillisecondsSince;

class ReceiveReplyTest : public testing::ExchangeTest {};

TEST_F(ReceiveReplyTest, StartCountIsAcceptedInItsLongAndShortForms) {
  unit.Send({0x50, 0xFF});
  ReceiveReply(ctx, kCodeStartCount);
  EXPECT_EQ(s.responseError.load(), 0);
  unit.Send({0x50, 0x00});
  ReceiveReply(ctx, kCodeStartCount);
  EXPECT_EQ(s.responseError.load(), 0);
  EXPECT_EQ(s.storedSamples.load(), 0);
}

TEST_F(ReceiveReplyTest, AStrayCodeByteIsSkippedWithoutAPause) {
  unit.Send({0x90, 0x01, 0x20});
  const Reply clean = ReceiveReply(ctx, kCodeGetPowerStatus);
  const int cleanPauses = ctx.interBytePauses;
  ASSERT_TRUE(clean.hasByte);
  EXPECT_EQ(clean.byte, 0x20);

  ctx.interBytePauses = 0;
  unit.Send({0x33, 0x07, 0x90, 0x01, 0x21});
  const Reply afterStray = ReceiveReply(ctx, kCodeGetPowerStatus);
  ASSERT_TRUE(afterStray.hasByte);
  EXPECT_EQ(afterStray.byte, 0x21);
  EXPECT_EQ(s.responseError.load(), 0);
  EXPECT_EQ(ctx.interBytePauses, cleanPauses);
  EXPECT_EQ(s.echoConfirmed.load(), 1);
}

TEST_F(ReceiveReplyTest, ACountFrameInsideAStatusReadIsStoredAndTheStatusStillTaken) {
  s.measuring = 1;
  s.collecting = 1;
  unit.Send({0x50, 0x02, 0x2A, 0x00, 0x90, 0x01, 0x30});
  const Reply reply = ReceiveReply(ctx, kCodeGetPowerStatus);
  EXPECT_EQ(s.responseError.load(), 0);
  ASSERT_TRUE(reply.hasByte);
  EXPECT_EQ(reply.byte, 0x30);
  EXPECT_EQ(s.storedSamples.load(), 1);
  EXPECT_EQ(s.sampleRing[0].count.load(), 42.0);
  EXPECT_EQ(s.collectStart.load(), kStart);
}

TEST_F(ReceiveReplyTest, ABareShortStartCountReplyEndsAStatusWaitWithoutAStatusByte) {
  unit.Send({0x50, 0x00});
  const Reply reply = ReceiveReply(ctx, kCodeGetPowerStatus);
  EXPECT_EQ(s.responseError.load(), 0);
  // Nothing to decode: the power fields must not be fed a made-up byte.
  EXPECT_FALSE(reply.hasByte);
}

TEST_F(ReceiveReplyTest, ACountFrameEndsTheWaitForOne) {
  s.measuring = 1;
  unit.Send({0x50, 0x02, 0x05, 0x00, 0x50, 0x02, 0x06, 0x00});
  ReceiveReply(ctx, kCodeCountFrame);  // opens collection only
  EXPECT_EQ(s.collecting.load(), 1);
  EXPECT_EQ(s.storedSamples.load(), 0);
  clock.Advance(1);
  ReceiveReply(ctx, kCodeCountFrame);
  EXPECT_EQ(s.responseError.load(), 0);
  EXPECT_EQ(s.storedSamples.load(), 1);
  EXPECT_EQ(s.sampleRing[0].count.load(), 6.0);
}

// Its count is stored and the acknowledgement after it still taken; one
// that carries data is still a wrong reply.
TEST_F(ReceiveReplyTest, ACountFrameWhileAnAcknowledgementIsAwaitedIsStored) {
  s.measuring = 1;
  s.collecting = 1;
  for (const std::uint8_t ack : {kCodeSetBuzzer, kCodeSetPowerPaths}) {
    SCOPED_TRACE(static_cast<int>(ack));
    const int before = s.storedSamples.load();
    unit.Send({0x50, 0x02, 0x67, 0x1E, ack, 0x00});
    ReceiveReply(ctx, ack);
    EXPECT_EQ(s.responseError.load(), 0);
    ASSERT_EQ(s.storedSamples.load(), before + 1);
    EXPECT_EQ(s.sampleRing[before].count.load(), 7783.0);
    clock.Advance(1);
    unit.Send({ack, 0x01, 0x00});
    ReceiveReply(ctx, ack);
    EXPECT_EQ(s.responseError.load(), 1);
    s.responseError = 0;
  }
}

TEST_F(ReceiveReplyTest, ABuzzerEchoThatDiffersFailsAfterTheReadTimeOut) {
  s.buzzerEcho = 0;
  unit.Send({0x10, 0x01, 0x01});
  const auto start = std::chrono::steady_clock::now();
  const Reply reply = ReceiveReply(ctx, kCodeGetBuzzer);
  EXPECT_EQ(s.responseError.load(), 1);
  EXPECT_FALSE(reply.hasByte);
  EXPECT_EQ(s.echoConfirmed.load(), 0);
  EXPECT_GE(MillisecondsSince(start), kReadTotalPerByteMs + kReadTotalConstantMs);
}

TEST_F(ReceiveReplyTest, TheMatchingBuzzerEchoIsConfirmed) {
  s.buzzerEcho = 1;
  unit.Send({0x10, 0x01, 0x01});
  const Reply reply = ReceiveReply(ctx, kCodeGetBuzzer);
  EXPECT_EQ(s.responseError.load(), 0);
  EXPECT_TRUE(reply.hasByte);
  EXPECT_EQ(s.echoConfirmed.load(), 1);
}

// A unit that dropped the status command (it was silent when the command came)
// counts on: its frames keep the line busy, so the read never times out. The
// wait must still end as a missing reply after a read time-out's span, with
// the frames that follow left for the next reception; waiting on would starve
// the supervisor's heartbeat until it restarts the link and loses seconds.
TEST_F(ReceiveReplyTest, AReplyThatNeverComesIsGivenUpWhileCountFramesKeepComing) {
  s.measuring = 1;
  s.collecting = 1;
  // Far longer than a read time-out, so that the frames outlast any wait
  // that ends on time even on a loaded machine.
  constexpr int kFrames = 100;
  constexpr auto kFrameGap = std::chrono::milliseconds(80);
  std::thread unitCounting([this, kFrameGap] {
    for (int i = 0; i < kFrames; ++i) {
      unit.Send({0x50, 0x02, 0x07, 0x00});
      std::this_thread::sleep_for(kFrameGap);
    }
  });
  const Reply reply = ReceiveReply(ctx, kCodeGetPowerStatus);
  const int errorOfStatusRead = s.responseError.load();
  unitCounting.join();

  EXPECT_EQ(errorOfStatusRead, 1);
  EXPECT_FALSE(reply.hasByte);
  EXPECT_EQ(s.echoConfirmed.load(), 0);
  // The frames are there, so nothing was counted as missing.
  EXPECT_EQ(s.resyncWanted.load(), 0);
  // The wait ended on a frame's end: what the unit sent after it is read as
  // whole count frames.
  s.responseError = 0;
  ReceiveReply(ctx, kCodeCountFrame);
  EXPECT_EQ(s.responseError.load(), 0);
}

TEST_F(ReceiveReplyTest, SilenceAfterTheMeasurementEndedClosesCollectionAsASuccess) {
  s.collecting = 1;
  s.storedSamples = 4;
  s.collectStart = kStart - 4;
  s.lastFrameTime = kStart - 1;
  ReceiveReply(ctx, kCodeCountFrame);
  EXPECT_EQ(s.responseError.load(), 0);
  EXPECT_EQ(s.collecting.load(), 0);
}

TEST_F(ReceiveReplyTest, SilenceDuringAMeasurementIsAFailureAndRunsTheGapCheck) {
  s.measuring = 1;
  s.collecting = 1;
  s.storedSamples = 2;
  s.collectStart = kStart - 4;
  s.lastFrameTime = kStart - 3;
  ReceiveReply(ctx, kCodeCountFrame);
  EXPECT_EQ(s.responseError.load(), 1);
  EXPECT_EQ(s.storedSamples.load(), 4);  // deficit 2
  EXPECT_EQ(s.resyncWanted.load(), 1);
  EXPECT_EQ(s.lastRetryTime.load(), kStart);
}

TEST_F(ReceiveReplyTest, ALengthByteThatCannotFitTheBufferEndsTheReceptionAsAFailure) {
  std::vector<std::uint8_t> bytes = {0x90, 0xFF};
  bytes.insert(bytes.end(), 255, 0x90);
  unit.Send(bytes);
  const Reply reply = ReceiveReply(ctx, kCodeGetPowerStatus);
  EXPECT_EQ(s.responseError.load(), 1);
  EXPECT_FALSE(reply.hasByte);
  // Nothing of the announced data was taken into the frame.
  int left = 0;
  std::uint8_t b = 0;
  while (port.ReadByte(&b) == PortRead::Byte) ++left;
  EXPECT_EQ(left, 255);
}

TEST_F(ReceiveReplyTest, AnUntakenFrameFollowedByAnEndlessRunFailsAtTheBufferEnd) {
  s.buzzerEcho = 0;
  // A frame that is not the reply is held, and what follows is appended to
  // it; 256 bytes fill the buffer and the next one ends the reception.
  std::vector<std::uint8_t> bytes = {0x10, 0x01, 0x01};
  bytes.insert(bytes.end(), 253, 0x00);
  bytes.insert(bytes.end(), 4, 0xEE);
  unit.Send(bytes);
  ReceiveReply(ctx, kCodeGetBuzzer);
  EXPECT_EQ(s.responseError.load(), 1);
  int left = 0;
  std::uint8_t b = 0;
  while (port.ReadByte(&b) == PortRead::Byte) ++left;
  EXPECT_EQ(left, 3);
}

TEST_F(ReceiveReplyTest, AHangUpDuringAMeasurementIsAReadFailureWithAGapCheck) {
  s.measuring = 1;
  s.collecting = 1;
  s.storedSamples = 1;
  s.collectStart = kStart - 3;
  s.lastFrameTime = kStart - 1;
  unit.HangUp();
  ReceiveReply(ctx, kCodeCountFrame);
  EXPECT_EQ(s.responseError.load(), 1);
  EXPECT_EQ(s.storedSamples.load(), 3);
  EXPECT_EQ(s.resyncWanted.load(), 1);
}

}  // namespace
}  // namespace velrix
