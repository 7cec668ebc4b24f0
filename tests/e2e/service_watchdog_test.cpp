// velrix-recorder as systemd watches it: NOTIFY_SOCKET names a datagram
// socket of the test, WATCHDOG_USEC a time-out. The recorder says READY once
// with a status line naming the link and the file, sends keep-alives while
// its cycle runs, none while the cycle hangs on a disk that stopped
// answering (the process alive all the while), and keep-alives again once
// the disk answers.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "tests/e2e/power_cut_fixture.h"

namespace velrix::testing::e2e {
namespace {

// Keep-alives come every quarter of it: every half second.
constexpr char kWatchdogUsec[] = "WATCHDOG_USEC=2000000";
constexpr double kWatchdogSeconds = 2.0;
constexpr double kRunningSeconds = 3.0;
// After the disk stops: how long a tick already past its write may still
// send a keep-alive, then a span twice the time-out, long enough for
// systemd to have killed the service.
constexpr double kSettleSeconds = 1.5;
constexpr double kHungSeconds = 2 * kWatchdogSeconds;

// The service manager's end of NOTIFY_SOCKET.
class NotifySocket {
 public:
  explicit NotifySocket(const std::string& path) : path_(path) {
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    EXPECT_LT(path.size(), sizeof a.sun_path);
    std::strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
    bound_ = fd_ >= 0 && ::bind(fd_, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
  }
  ~NotifySocket() {
    if (fd_ >= 0) ::close(fd_);
    ::unlink(path_.c_str());
  }
  bool Bound() const { return bound_; }

  // The datagrams that arrive within seconds, or until one holds `until`.
  std::vector<std::string> Receive(double seconds, const std::string& until = "") {
    std::vector<std::string> got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
      char buffer[4096];
      const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
      if (n <= 0) continue;
      got.emplace_back(buffer, static_cast<std::size_t>(n));
      all_.push_back(got.back());
      if (!until.empty() && got.back().find(until) != std::string::npos) break;
    }
    return got;
  }
  const std::vector<std::string>& All() const { return all_; }

 private:
  std::string path_;
  int fd_ = -1;
  bool bound_ = false;
  std::vector<std::string> all_;
};

int With(const std::vector<std::string>& messages, const std::string& line) {
  int n = 0;
  for (const std::string& m : messages) n += LinesWith(m, line) > 0 ? 1 : 0;
  return n;
}

TEST(ServiceWatchdog, ReadyOnceKeepAlivesWhileTheCycleRunsNoneWhileItHangsInRealTime) {
  CutStation station;
  ForgetfulMount mount(station.Tree(), station.MountPoint(),
                       station.station().temp().File("fs.log"));
  ASSERT_TRUE(mount.Mounted()) << "FUSE cannot be mounted here (/dev/fuse, fuse3):\n"
                               << mount.Log();
  SharedClock clock("2026-06-01 10:00:00", 5);
  sim::SimUnit unit(MarkedUnit(clock, station.station().UnitLink()));
  ASSERT_TRUE(unit.Start());
  NotifySocket notify(station.station().temp().File("notify"));
  ASSERT_TRUE(notify.Bound()) << std::strerror(errno);
  auto recorder = StartRecorderOn(station, &clock, "recorder.out",
                                  {"NOTIFY_SOCKET=" + station.station().temp().File("notify"),
                                   kWatchdogUsec});

  const std::string recording = "recording into " + station.DataFolder();
  notify.Receive(kStartSeconds, recording);
  ASSERT_EQ(With(notify.All(), "READY=1"), 1) << recorder->Output();
  EXPECT_EQ(notify.All().front().rfind("READY=1\nSTATUS=", 0), 0u) << notify.All().front();
  ASSERT_EQ(With(notify.All(), recording), 1) << recorder->Output();
  EXPECT_EQ(With(notify.All(), "STATUS=link OK on " + station.station().UnitLink()), 1);
  // Every half second: six, and at least three on a loaded computer.
  EXPECT_GE(With(notify.Receive(kRunningSeconds), "WATCHDOG=1"), 3) << recorder->Output();

  // The disk stops answering: the cycle's next row waits on it.
  mount.Signal(SIGSTOP);
  notify.Receive(kSettleSeconds);
  const std::vector<std::string> hung = notify.Receive(kHungSeconds);
  EXPECT_TRUE(recorder->Running());
  mount.Signal(SIGCONT);
  EXPECT_EQ(With(hung, "WATCHDOG=1"), 0) << "keep-alives from a cycle that hung";
  EXPECT_EQ(With(notify.Receive(kStartSeconds, "WATCHDOG=1"), "WATCHDOG=1"), 1)
      << "no keep-alive after the disk answered again\n" << recorder->Output();

  recorder->Signal(SIGTERM);
  ASSERT_TRUE(ExitedWith(recorder->WaitExit(kExitSeconds), 0)) << recorder->Output();
  notify.Receive(0.2);
  EXPECT_EQ(With(notify.All(), "READY=1"), 1);
  EXPECT_EQ(With(notify.All(), "STOPPING=1"), 1);
  EXPECT_TRUE(notify.All().back().find("STOPPING=1") != std::string::npos) << notify.All().back();
}

}  // namespace
}  // namespace velrix::testing::e2e
