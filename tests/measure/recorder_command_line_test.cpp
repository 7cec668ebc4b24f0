// velrix-recorder's command line (--help, --version, a bad argument) and its
// program folder when installed: the user's data folder, filled with the
// shipped files, with the working copy in it.

#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>

#include "datafile/working_copy.h"
#include "platform/command_line.h"
#include "sim/sim_unit.h"
#include "tests/measure/live_unit_fixture.h"
#include "tests/support/program_run.h"
#include "tests/support/temp_folder.h"

namespace velrix::testing {
namespace {

namespace fs = std::filesystem;

constexpr double kAnswerSeconds = 30.0;
constexpr double kRecordingSeconds = 60.0;
constexpr double kExitSeconds = 30.0;

std::string Recorder() { return BuiltProgram("measure/recorder/velrix-recorder"); }

ProgramRun RunRecorder(const std::vector<std::string>& args) {
  return RunProgram(Recorder(), args, {"PATH=/usr/bin:/bin"}, kAnswerSeconds);
}

TEST(RecorderCommandLine, HelpAndVersionAnswerOnStandardOutput) {
  ASSERT_TRUE(fs::exists(Recorder()));
  const ProgramRun help = RunRecorder({"--port", "/dev/null", "--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.out.rfind("usage: velrix-recorder [--port DEVICE] [--program-folder DIR]\n", 0), 0u)
      << help.out;
  const ProgramRun version = RunRecorder({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, std::string("velrix-recorder ") + ProgramVersion() + "\n");
}

TEST(RecorderCommandLine, AMissingValueIsABadArgument) {
  ASSERT_TRUE(fs::exists(Recorder()));
  const ProgramRun run = RunRecorder({"--program-folder"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.rfind("velrix-recorder: unknown or incomplete argument: --program-folder\nusage: ", 0),
            0u)
      << run.err;
}

TEST(InstalledRecorder, RecordsWithTheUsersDataFolderAsItsProgramFolder) {
  TempFolder temp;
  const std::string bin = temp.File("usr/bin");
  ASSERT_TRUE(PlaceProgram(Recorder(), bin));
  const std::string shipped = temp.File("usr/share/velrix/program/");
  fs::create_directories(shipped);
  WriteBytes(shipped + "COMRTY.def", "0\n1\n");
  const std::string folder = temp.File("data/Velrix/");
  sim::SimUnit unit(sim::SimConfig{});
  std::string error;
  ASSERT_TRUE(unit.Start(&error)) << error;

  ProgramProcess recorder(bin + "/velrix-recorder", {"--port", unit.DevicePath()},
                          {"PATH=/usr/bin:/bin", "HOME=" + temp.File("home"),
                           "XDG_DATA_HOME=" + temp.File("data")},
                          {temp.File("out"), temp.File("err")});
  ASSERT_TRUE(recorder.Started());
  ASSERT_TRUE(WaitUntil(
      [&] { return FileRows(WorkingCopyPath(folder)).size() >= 2 && recorder.Catches(SIGTERM); },
      kRecordingSeconds))
      << ReadBytes(temp.File("err"));
  recorder.Signal(SIGTERM);
  EXPECT_EQ(recorder.WaitExitCode(kExitSeconds), 0) << ReadBytes(temp.File("err"));
  EXPECT_EQ(ReadBytes(folder + "COMRTY.def"), "0\n1\n");
  EXPECT_TRUE(fs::exists(folder + "trend.def"));
  EXPECT_FALSE(fs::exists(temp.File("usr/bin/trend.def")));
}

}  // namespace
}  // namespace velrix::testing
