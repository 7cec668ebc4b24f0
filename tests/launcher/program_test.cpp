// The launch program itself: one copy at a time, a second one asking the
// first to the front and ending with -1 (exit status 255).
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "launcher/platform/front_requests.h"
#include "platform/single_copy_lock.h"
#include "tests/launcher/launcher_fixture.h"

namespace velrix::launcher::testing {
namespace {

constexpr char kLockName[] = "KAV-Qz-Setup-Launcher";

// Starts launch with its lock and socket in `runtime`, offscreen.
pid_t StartLaunch(const std::string& runtime) {
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    execl(LAUNCH_PROGRAM, LAUNCH_PROGRAM, static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

// The exit status, or -1 when it did not end within kPatience.
int ExitStatus(pid_t pid) {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(LauncherProgram, ASecondCopyAsksTheFirstToTheFrontAndExitsWithMinusOne) {
  TempFolder runtime;
  SingleCopyLock first(kLockName, runtime.path());
  ASSERT_TRUE(first.Acquire());
  const std::string socket = FrontRequestPath(first.path());
  const int listener = ListenForFrontRequests(socket);
  ASSERT_GE(listener, 0);
  EXPECT_EQ(ExitStatus(StartLaunch(runtime.path())), 255);
  EXPECT_TRUE(TakeFrontRequests(listener));
  StopListening(listener, socket);
}

TEST(LauncherProgram, ARunningLauncherMakesTheNextOneExitWithMinusOne) {
  TempFolder runtime;
  const pid_t first = StartLaunch(runtime.path());
  const std::string socket = runtime.File(std::string(kLockName) + ".socket");
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (!std::filesystem::exists(socket) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_TRUE(std::filesystem::exists(socket));  // it holds the lock and listens
  EXPECT_EQ(ExitStatus(StartLaunch(runtime.path())), 255);
  kill(first, SIGTERM);
  EXPECT_EQ(ExitStatus(first), -1);  // still running until it was told to end
}

}  // namespace
}  // namespace velrix::launcher::testing
