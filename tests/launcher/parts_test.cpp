// The launcher's small pieces: language choice, version strings and title,
// the search for the driver package's monitor process, machine facts.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "launcher/launcher_texts.h"
#include "launcher/platform/front_requests.h"
#include "launcher/platform/machine.h"
#include "launcher/platform/own_version.h"
#include "launcher/platform/processes.h"
#include "launcher/version_info.h"
#include "tests/launcher/launcher_fixture.h"

namespace velrix::launcher::testing {
namespace {

TEST(LauncherParts, TheFirstSetOfLcAllLcMessagesAndLangChoosesTheCopy) {
  EXPECT_EQ(ChooseLanguage(nullptr, nullptr, "ja_JP.UTF-8"), Language::Japanese);
  EXPECT_EQ(ChooseLanguage("", "ja_JP.eucJP", "en_US.UTF-8"), Language::Japanese);
  EXPECT_EQ(ChooseLanguage("C", "ja_JP.UTF-8", "ja_JP.UTF-8"), Language::English);
  EXPECT_EQ(ChooseLanguage(nullptr, "", "j"), Language::English);
  EXPECT_EQ(ChooseLanguage(nullptr, nullptr, nullptr), Language::English);
}

TEST(LauncherParts, TheTitleIsTheFileDescriptionElseTheFallback) {
  // This test program carries a version note of its own, as launch does.
  EXPECT_EQ(LauncherTitle(ParseVersionStrings(ReadOwnVersionData())), "Launcher test description");
  const std::string data("InternalName\0launch\0FileDescription\0KAV\0\0Comments\0x\0", 50);
  const auto strings = ParseVersionStrings(data);
  EXPECT_EQ(strings.size(), 2u);  // the list ends at the empty key
  EXPECT_EQ(LauncherTitle(strings), "KAV");
  EXPECT_EQ(LauncherTitle(ParseVersionStrings("")), kFallbackTitle);
  EXPECT_EQ(LauncherTitle(ParseVersionStrings(std::string("InternalName\0launch\0", 20))),
            kFallbackTitle);
  const auto emptyDescription =
      ParseVersionStrings(std::string("FileDescription\0\0InternalName\0x\0", 32));
  EXPECT_EQ(emptyDescription.size(), 2u);
  EXPECT_EQ(LauncherTitle(emptyDescription), kFallbackTitle);
  EXPECT_EQ(ParseVersionStrings(std::string("FileDescription\0cut", 19)).size(), 0u);
}

TEST(LauncherParts, AMonitorProcessIsKnownByItsExecutableOrFirstTwoArguments) {
  const std::string monitor = "/tmp/DPInst_Monx64.exe";
  EXPECT_TRUE(ProcessMatches(monitor, "x", monitor));
  EXPECT_TRUE(ProcessMatches("", monitor + std::string("\0", 1), monitor));
  const std::string shell("/bin/sh\0", 8);
  EXPECT_TRUE(ProcessMatches("/bin/dash", shell + monitor + std::string("\0-q\0", 4), monitor));
  EXPECT_TRUE(ProcessMatches("/bin/dash", shell + monitor, monitor));
  EXPECT_FALSE(ProcessMatches("/bin/dash", std::string("sh\0-c\0", 6) + monitor, monitor));
  EXPECT_FALSE(ProcessMatches("", monitor + "x", monitor));
  EXPECT_FALSE(ProcessMatches("", "", monitor));  // ended, not collected yet
  EXPECT_FALSE(ProcessMatches("", "", ""));

  // A process started from the monitor's path (here a link to sleep). A
  // new process shows its command line a moment after it was started.
  TempFolder folder;
  const std::string path = folder.File("DPInst_Monx64.exe");
  ASSERT_EQ(symlink("/bin/sleep", path.c_str()), 0);
  const StartedProcess other = StartProgram("/bin/sh", {"-c", "while :; do sleep 0.1; done", path});
  ASSERT_TRUE(other.started);
  const std::string otherLine = "/proc/" + std::to_string(other.pid) + "/cmdline";
  ASSERT_TRUE(Eventually([&] { return ReadBytes(otherLine).find(path) != std::string::npos; }));
  EXPECT_FALSE(ProcessRunningAs(path));  // the path as a later argument does not count
  const StartedProcess running = StartProgram(path, {"30"});
  ASSERT_TRUE(running.started);
  EXPECT_TRUE(Eventually([&] { return ProcessRunningAs(path); }));
  for (const StartedProcess& p : {other, running}) kill(p.pid, SIGKILL);
  siginfo_t info{};
  ASSERT_EQ(waitid(P_PID, running.pid, &info, WEXITED | WNOWAIT), 0);  // ended, not collected
  EXPECT_FALSE(ProcessRunningAs(path));
  for (const StartedProcess& p : {other, running}) WaitForProcessEnd(p.pid);
  EXPECT_FALSE(StartProgram(folder.File("missing"), {}).started);
}

TEST(LauncherParts, AStartedProgramInheritsNoDescriptorBlockedSignalOrIgnoredPipe) {
  TempFolder folder;
  // A descriptor without close-on-exec, a blocked signal and an ignored one.
  const int stray = open(folder.File("stray").c_str(), O_CREAT | O_RDWR, 0644);
  ASSERT_GE(stray, 3);
  sigset_t usr1, before;
  sigemptyset(&usr1);
  sigaddset(&usr1, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &usr1, &before);
  const auto pipeBefore = signal(SIGPIPE, SIG_IGN);
  const StartedProcess child = StartProgram("/bin/sleep", {"30"});
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  signal(SIGPIPE, pipeBefore);
  close(stray);
  ASSERT_TRUE(child.started);

  const std::string proc = "/proc/" + std::to_string(child.pid);
  // (The program may hold files of its own open for a moment as it starts.)
  for (const auto& entry : std::filesystem::directory_iterator(proc + "/fd")) {
    std::error_code ec;
    EXPECT_NE(std::filesystem::read_symlink(entry.path(), ec), folder.File("stray"));
  }
  const std::string status = ReadBytes(proc + "/status");
  EXPECT_NE(status.find("SigBlk:\t0000000000000000\n"), std::string::npos) << status;
  const size_t ignored = status.find("SigIgn:\t");
  ASSERT_NE(ignored, std::string::npos);
  EXPECT_EQ(std::stoull(status.substr(ignored + 8, 16), nullptr, 16) & (1ull << (SIGPIPE - 1)), 0u);
  kill(child.pid, SIGKILL);
  WaitForProcessEnd(child.pid);
}

TEST(LauncherParts, ASocketPathTooLongForTheSystemIsNotCut) {
  const std::string path = "/tmp/" + std::string(200, 'x') + ".socket";
  EXPECT_EQ(ListenForFrontRequests(path), -1);
  EXPECT_FALSE(SendFrontRequest(path));
}

TEST(LauncherParts, TemporaryFolderMachineAndMonitorName) {
  EXPECT_EQ(TemporaryFolderFrom(nullptr), "/tmp/");
  EXPECT_EQ(TemporaryFolderFrom(""), "/tmp/");
  EXPECT_EQ(TemporaryFolderFrom("/var/tmp//"), "/var/tmp/");
  EXPECT_EQ(TemporaryFolderFrom("/"), "/");
  for (const char* machine : {"i386", "i686"}) EXPECT_TRUE(Is32BitX86Machine(machine));
  for (const char* machine : {"x86_64", "i786", "i286", "ia64", "armv7l", "i86"}) {
    EXPECT_FALSE(Is32BitX86Machine(machine)) << machine;
  }
  LauncherOptions options;
  options.tempFolder = "/t/";
  options.is32BitX86 = true;
  EXPECT_EQ(BuildLauncherState(options).driverMonitorPath, "/t/DPInst_Monx86.exe");
}

}  // namespace
}  // namespace velrix::launcher::testing
