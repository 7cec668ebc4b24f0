// velrix-unitsim's --version, and a bad argument answered with the reason
// and the usage on standard error.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/command_line.h"
#include "tests/support/program_run.h"

namespace velrix::testing {
namespace {

constexpr double kAnswerSeconds = 30.0;

std::string Unitsim() { return BuiltProgram("sim/tool/velrix-unitsim"); }

TEST(UnitsimCommandLine, VersionPrintsTheProgramAndItsVersion) {
  ASSERT_TRUE(std::filesystem::exists(Unitsim()));
  const ProgramRun run = RunProgram(Unitsim(), {"--version"}, {}, kAnswerSeconds);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, std::string("velrix-unitsim ") + ProgramVersion() + "\n");
}

TEST(UnitsimCommandLine, ABadArgumentPrintsTheReasonAndTheUsageOnStandardError) {
  ASSERT_TRUE(std::filesystem::exists(Unitsim()));
  const ProgramRun run = RunProgram(Unitsim(), {"--fast", "zero"}, {}, kAnswerSeconds);
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.rfind("velrix-unitsim: --fast: ", 0), 0u) << run.err;
  EXPECT_NE(run.err.find("\nusage: velrix-unitsim"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace velrix::testing
