// velrix run from an installed layout (bin/ beside share/velrix/program/, as
// the package lays it out) keeps its settings in the user's data folder and
// fills it with the shipped files, even as root, who could write to bin/.

#include <gtest/gtest.h>
#include <signal.h>

#include "tests/app/app_fixture.h"
#include "tests/support/program_run.h"

namespace velrix::testing {
namespace {

constexpr double kStartSeconds = 60.0;
constexpr double kExitSeconds = 30.0;

TEST(InstalledVelrix, FirstStartFillsTheUsersDataFolderAndWritesNothingBesideTheProgram) {
  TempFolder temp;
  const std::string bin = temp.File("usr/bin");
  ASSERT_TRUE(PlaceProgram(BuiltProgram("velrix"), bin));
  const std::string shipped = temp.File("usr/share/velrix/program");
  fs::create_directories(shipped);
  for (const auto& entry : fs::directory_iterator(ShippedProgramFolder())) {
    fs::copy_file(entry.path(), shipped + "/" + entry.path().filename().string());
  }
  fs::create_directories(temp.File("runtime"));
  fs::permissions(temp.File("runtime"), fs::perms::owner_all);
  const std::string folder = temp.File("data/Velrix/");

  ProgramProcess velrix(bin + "/velrix", {"--port", kNoSuchUnit},
                        {"PATH=/usr/bin:/bin", "HOME=" + temp.File("home"),
                         "XDG_DATA_HOME=" + temp.File("data"), "XDG_RUNTIME_DIR=" + temp.File("runtime"),
                         "QT_QPA_PLATFORM=offscreen"},
                        {temp.File("out"), temp.File("err")});
  ASSERT_TRUE(velrix.Started());
  ASSERT_TRUE(WaitFor([&] { return fs::exists(folder + "trend.def") && velrix.Catches(SIGTERM); },
                      kStartSeconds))
      << ReadBytes(temp.File("err"));
  velrix.Signal(SIGTERM);
  EXPECT_EQ(velrix.WaitExitCode(kExitSeconds), 0) << ReadBytes(temp.File("err"));

  for (const auto& entry : fs::directory_iterator(shipped)) {
    EXPECT_EQ(ReadBytes(folder + entry.path().filename().string()), ReadBytes(entry.path()))
        << entry.path();
  }
  std::vector<std::string> inBin;
  for (const auto& entry : fs::directory_iterator(bin)) inBin.push_back(entry.path().filename());
  EXPECT_EQ(inBin, std::vector<std::string>{"velrix"});
}

}  // namespace
}  // namespace velrix::testing
