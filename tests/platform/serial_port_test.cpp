#include "platform/serial_port.h"

#include <gtest/gtest.h>
#include <termios.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "platform/canceller.h"
#include "tests/support/unit_end.h"
#include "tests/support/temp_folder.h"

namespace velrix {
namespace {

using testing::MillisecondsSince;
using testing::UnitEnd;
using testing::WaitUntil;

// Trace texts go to a file for the whole test program, so that a test can
// see what the link would have written to its debug trace.
std::string TracePath() { return "/tmp/velrix-link-trace-" + std::to_string(getpid()) + ".log"; }

class TraceFileEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { setenv("VELRIX_TRACE", TracePath().c_str(), 1); }
  void TearDown() override { std::remove(TracePath().c_str()); }
};
const auto* const kTraceEnvironment =
    ::testing::AddGlobalTestEnvironment(new TraceFileEnvironment);

TEST(SerialPort, SetsRaw115200EightNoneOne) {
  UnitEnd unit;
  ASSERT_TRUE(unit.Ok());
  SerialPort port;
  ASSERT_TRUE(port.Open(unit.SlavePath()));
  port.Configure();

  const int probe = open(unit.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(probe, 0);
  termios tio{};
  ASSERT_EQ(tcgetattr(probe, &tio), 0);
  close(probe);
  EXPECT_EQ(cfgetospeed(&tio), B115200);
  EXPECT_EQ(cfgetispeed(&tio), B115200);
  EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB), 0u);
  EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
  // XON/XOFF would swallow count bytes 0x11 and 0x13.
  EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), 0u);
  EXPECT_EQ(tio.c_oflag & OPOST, 0u);
}

TEST(SerialPort, RefusedModemLinesAreTracedAndThePortStillWorks) {
  UnitEnd unit;
  ASSERT_TRUE(unit.Ok());
  SerialPort port;
  ASSERT_TRUE(port.Open(unit.SlavePath()));
  port.Configure();  // a pseudo-terminal has no DTR or RTS
  EXPECT_NE(testing::ReadBytes(TracePath()).find("GetCommTimeouts Error ["), std::string::npos);

  unit.Send({0x11, 0x13, 0x0D});
  std::uint8_t b = 0;
  ASSERT_EQ(port.ReadByte(&b), PortRead::Byte);
  EXPECT_EQ(b, 0x11);
  ASSERT_EQ(port.ReadByte(&b), PortRead::Byte);
  EXPECT_EQ(b, 0x13);
  ASSERT_EQ(port.ReadByte(&b), PortRead::Byte);
  EXPECT_EQ(b, 0x0D);  // no CR translation
  const std::uint8_t out[] = {0x0A, 0x90, 0x00};
  ASSERT_TRUE(port.Write(out, sizeof out));
  EXPECT_EQ(unit.Received(2000), std::vector<std::uint8_t>({0x0A, 0x90, 0x00}));
}

TEST(SerialPort, SilenceIsATimeoutAfterTheReadTimeOut) {
  UnitEnd unit;
  ASSERT_TRUE(unit.Ok());
  SerialPort port;
  ASSERT_TRUE(port.Open(unit.SlavePath()));
  port.Configure();
  const auto start = std::chrono::steady_clock::now();
  std::uint8_t b = 0;
  EXPECT_EQ(port.ReadByte(&b), PortRead::Timeout);
  // The unit's time-out is kept in full, never shortened.
  EXPECT_GE(MillisecondsSince(start), kReadTotalPerByteMs + kReadTotalConstantMs - 20);
}

TEST(SerialPort, HangUpIsAFailureOfReadsAndWrites) {
  UnitEnd unit;
  ASSERT_TRUE(unit.Ok());
  SerialPort port;
  ASSERT_TRUE(port.Open(unit.SlavePath()));
  port.Configure();
  unit.HangUp();
  std::uint8_t b = 0;
  for (int i = 0; i < 5; ++i) EXPECT_EQ(port.ReadByte(&b), PortRead::Failed);
  const std::uint8_t out[] = {0x10, 0x00};
  int error = 0;
  EXPECT_FALSE(port.Write(out, sizeof out, &error));
  EXPECT_NE(error, 0);
}

TEST(SerialPort, CloseFromAnotherThreadReleasesABlockedRead) {
  UnitEnd unit;
  ASSERT_TRUE(unit.Ok());
  SerialPort port;
  ASSERT_TRUE(port.Open(unit.SlavePath()));
  std::atomic<int> outcome{-1};
  std::thread reader([&] {
    std::uint8_t b = 0;
    outcome = static_cast<int>(port.ReadByte(&b));
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  port.Close();
  reader.join();
  // A read that merely ran out its time would say Timeout.
  EXPECT_EQ(outcome.load(), static_cast<int>(PortRead::Failed));
  EXPECT_FALSE(port.IsOpen());
  std::uint8_t b = 0;
  EXPECT_EQ(port.ReadByte(&b), PortRead::Failed);
  // The device itself is free again.
  EXPECT_TRUE(port.Open(unit.SlavePath()));
}

TEST(SerialPort, CancelReleasesABlockedReadAndFailsLaterCalls) {
  UnitEnd unit;
  ASSERT_TRUE(unit.Ok());
  Canceller canceller;
  SerialPort port(&canceller);
  ASSERT_TRUE(port.Open(unit.SlavePath()));
  std::atomic<int> outcome{-1};
  std::thread reader([&] {
    std::uint8_t b = 0;
    outcome = static_cast<int>(port.ReadByte(&b));
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  canceller.Cancel();
  reader.join();
  EXPECT_EQ(outcome.load(), static_cast<int>(PortRead::Failed));
  const std::uint8_t out[] = {0x10, 0x00};
  EXPECT_FALSE(port.Write(out, sizeof out));
}

TEST(SerialPort, OpenFailsForAMissingDeviceAndForAPortAlreadyInUse) {
  testing::TempFolder folder;
  SerialPort missing;
  int error = 0;
  EXPECT_FALSE(missing.Open(folder.File("ttyUSB0"), &error));
  EXPECT_EQ(error, ENOENT);

  UnitEnd unit;
  ASSERT_TRUE(unit.Ok());
  SerialPort first;
  SerialPort second;
  ASSERT_TRUE(first.Open(unit.SlavePath()));
  EXPECT_FALSE(second.Open(unit.SlavePath()));
  first.Close();
  EXPECT_TRUE(second.Open(unit.SlavePath()));
}

}  // namespace
}  // namespace velrix
