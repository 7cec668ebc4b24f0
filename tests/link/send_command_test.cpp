// One command exchange with the retry settings, against a unit played by the
// test on a pseudo-terminal. A silent unit makes every attempt run into the
// real read time-out.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/link/exchange_fixture.h"

namespace velrix {
namespace {

using testing::WaitUntil;

class SendCommandTest : public testing::ExchangeTest {
 protected:
  // Number of "10 00" frames among the bytes the PC wrote.
  int GetBuzzerFramesWritten() {
    written_ = unit.Received(0);
    int frames = 0;
    for (std::size_t i = 0; i + 1 < written_.size(); i += 2) {
      if (written_[i] == kCodeGetBuzzer && written_[i + 1] == 0x00) ++frames;
    }
    return frames;
  }
  std::vector<std::uint8_t> written_;
};

TEST_F(SendCommandTest, AnAnsweredCommandSucceedsAndConfirmsTheLink) {
  s.linkStatus = kLinkRetriesExhausted;
  s.echoConfirmed = 1;
  unit.Send({0x00, 0x00});
  SendCommand(ctx, kCodeSetBuzzer, {0x00});
  EXPECT_EQ(s.responseError.load(), 0);
  EXPECT_EQ(s.linkStatus.load(), kLinkOk);
  EXPECT_EQ(s.commandRetries.load(), 0);
  EXPECT_EQ(unit.Received(1000), std::vector<std::uint8_t>({0x00, 0x01, 0x00}));
}

TEST_F(SendCommandTest, WithoutRetriesTheFirstFailureExhaustsTheLink) {
  s.linkStatus = kLinkOk;
  s.retryMode = 0;
  SendCommand(ctx, kCodeGetBuzzer, {});
  EXPECT_EQ(s.responseError.load(), 1);
  EXPECT_EQ(s.linkStatus.load(), kLinkRetriesExhausted);
  EXPECT_EQ(GetBuzzerFramesWritten(), 1);
  EXPECT_EQ(s.lastRetryTime.load(), 0);
}

TEST_F(SendCommandTest, ThreeRetriesWriteTheCommandFourTimes) {
  s.linkStatus = kLinkOk;
  s.retryMode = 1;
  s.maxRetries = 3;
  SendCommand(ctx, kCodeGetBuzzer, {});
  EXPECT_EQ(s.responseError.load(), 1);
  EXPECT_EQ(s.linkStatus.load(), kLinkRetriesExhausted);
  EXPECT_EQ(GetBuzzerFramesWritten(), 4);
  EXPECT_EQ(s.commandRetries.load(), 3);
  EXPECT_EQ(s.maxRetryCount.load(), 3);
  EXPECT_EQ(s.lastRetryTime.load(), kStart);
}

TEST_F(SendCommandTest, EndlessRetriesKeepTryingUntilTheThreadIsStopped) {
  s.linkStatus = kLinkOk;
  s.retryMode = 2;
  std::atomic<bool> returned{false};
  std::thread sender([&] {
    SendCommand(ctx, kCodeGetBuzzer, {});
    returned = true;
  });
  int frames = 0;
  EXPECT_TRUE(WaitUntil(
      [&] {
        frames += GetBuzzerFramesWritten();
        return frames >= 3;
      },
      30000));
  EXPECT_FALSE(returned.load());
  EXPECT_EQ(s.linkStatus.load(), kLinkNg);  // demoted, never given up
  EXPECT_GE(s.commandRetries.load(), 2);
  canceller.Cancel();
  sender.join();
  EXPECT_TRUE(returned.load());
}

TEST_F(SendCommandTest, ARetryAfterABadReplyCanSucceed) {
  s.linkStatus = kLinkOk;
  s.retryMode = 1;
  s.maxRetries = 1;
  s.echoConfirmed = 1;
  unit.Send({0x80, 0x01, 0x00});  // a power-path acknowledgement must carry no data
  std::thread sender([&] { SendCommand(ctx, kCodeSetPowerPaths, {0x02}); });
  // The first attempt fails on the length byte; answer the second properly.
  ASSERT_TRUE(WaitUntil([&] { return s.commandRetries.load() == 1; }, 10000));
  unit.Send({0x80, 0x00});
  sender.join();
  EXPECT_EQ(s.responseError.load(), 0);
  EXPECT_EQ(s.linkStatus.load(), kLinkOk);
  EXPECT_EQ(s.maxRetryCount.load(), 1);
}

// A failed write is tried again only after half a second: within any 300 ms
// at most one more failure follows the one last seen. A loaded machine can
// only stretch the pause, so this holds however slow the run.
TEST_F(SendCommandTest, AFailedWriteIsRetriedOnlyAfterAHalfSecondPause) {
  s.linkStatus = kLinkOk;
  s.retryMode = 2;
  unit.HangUp();
  std::thread sender([&] { SendCommand(ctx, kCodeGetPowerStatus, {}); });
  const bool failed = WaitUntil([&] { return s.dead_err_cnt.load() >= 1; }, 10000);
  const int seen = s.dead_err_cnt.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const int later = s.dead_err_cnt.load();
  canceller.Cancel();
  sender.join();
  ASSERT_TRUE(failed);
  EXPECT_LE(later - seen, 1);
  EXPECT_EQ(s.linkStatus.load(), kLinkNg);
}

TEST_F(SendCommandTest, AFailedWriteCountsForTheSupervisor) {
  s.linkStatus = kLinkOk;
  s.retryMode = 1;
  s.maxRetries = 2;
  unit.HangUp();
  SendCommand(ctx, kCodeGetPowerStatus, {});
  EXPECT_EQ(s.responseError.load(), 1);
  EXPECT_EQ(s.linkStatus.load(), kLinkRetriesExhausted);
  EXPECT_EQ(s.dead_err_cnt.load(), 3);
}

}  // namespace
}  // namespace velrix
