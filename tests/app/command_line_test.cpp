// velrix's command line is answered before Qt starts: --help and --version
// on a machine without a display (and while another copy runs), a bad
// argument with the usage on standard error and exit code 2.

#include <gtest/gtest.h>

#include <filesystem>

#include "app/tenvo_app.h"
#include "platform/command_line.h"
#include "platform/single_copy_lock.h"
#include "tests/support/program_run.h"
#include "tests/support/temp_folder.h"

namespace velrix::testing {
namespace {

constexpr double kAnswerSeconds = 30.0;

class VelrixCommandLine : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(std::filesystem::exists(velrix_)) << velrix_; }
  // No DISPLAY, no WAYLAND_DISPLAY, no QT_QPA_PLATFORM: Qt could not start.
  ProgramRun Run(const std::vector<std::string>& args) {
    return RunProgram(velrix_, args,
                      {"PATH=/usr/bin:/bin", "HOME=" + temp_.path(), "XDG_RUNTIME_DIR=" + temp_.path()},
                      kAnswerSeconds);
  }
  const std::string velrix_ = BuiltProgram("velrix");
  TempFolder temp_;
};

TEST_F(VelrixCommandLine, HelpPrintsTheUsageOnStandardOutputWithoutADisplay) {
  const ProgramRun run = Run({"--help"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out.rfind("usage: velrix [--simulate | --port DEVICE] [--program-folder DIR]\n", 0), 0u)
      << run.out;
  EXPECT_NE(run.out.find("--version"), std::string::npos);
  EXPECT_EQ(run.err, "");
}

TEST_F(VelrixCommandLine, VersionPrintsTheProgramAndItsVersion) {
  const ProgramRun run = Run({"--simulate", "--version"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, std::string("velrix ") + ProgramVersion() + "\n");
  EXPECT_EQ(run.err, "");
}

TEST_F(VelrixCommandLine, HelpIsAnsweredWhileAnotherCopyRuns) {
  SingleCopyLock running(kSingleCopyName, temp_.path());
  ASSERT_TRUE(running.Acquire());
  const ProgramRun run = Run({"--help"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out.rfind("usage: velrix", 0), 0u) << run.out;
}

TEST_F(VelrixCommandLine, ABadArgumentPrintsItAndTheUsageOnStandardErrorAndExits2) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--frobnicate"}, {"--port"}, {"--simulate", "--port", "/dev/ttyUSB0"},
        {"-platform", "offscreen"}}) {
    const ProgramRun run = Run(args);
    EXPECT_EQ(run.exitCode, 2) << args.front();
    EXPECT_EQ(run.out, "") << args.front();
    EXPECT_EQ(run.err.rfind("velrix: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find("\nusage: velrix"), std::string::npos) << run.err;
  }
}

}  // namespace
}  // namespace velrix::testing
