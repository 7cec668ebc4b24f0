// The launcher's small pieces: language choice, version strings and title,
// the search for the driver package's monitor process, machine facts.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "launcher/launcher_texts.h"
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

TEST(LauncherParts, TemporaryFolderMachineAndMonitorName) {
  EXPECT_EQ(TemporaryFolderFrom(nullptr), "/tmp/");
  EXPECT_EQ(TemporaryFolderFrom(""), "/tmp/");
  EXPECT_EQ(TemporaryFolderFrom("/var/tmp//"), "/var/tmp/");
  EXPECT_EQ(TemporaryFolderFrom("/"), "/");
  for (const char* machine : {"i386", "i686"}) EXPECT_TRUE(Is32BitX86Machine(machine));
  for (const char* machine : {"x86_64", "i786", "ia64", "armv7l", "aarch64", "i86"}) {
    EXPECT_FALSE(Is32BitX86Machine(machine)) << machine;
  }
  LauncherOptions options;
  options.tempFolder = "/t/";
  options.is32BitX86 = true;
  EXPECT_EQ(BuildLauncherState(options).driverMonitorPath, "/t/DPInst_Monx86.exe");
}

}  // namespace
}  // namespace velrix::launcher::testing
