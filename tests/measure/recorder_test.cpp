// velrix-recorder as a separate process on the simulated unit: killed with
// SIGKILL mid-measurement, the rows it had written still reach their dated
// file when it next starts; SIGTERM ends it with a commit and status 0.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "datafile/working_copy.h"
#include "sim/sim_unit.h"
#include "tests/measure/live_unit_fixture.h"
#include "tests/support/comma_locale.h"
#include "tests/support/temp_folder.h"

namespace velrix::testing {
namespace {

namespace fs = std::filesystem;

std::string RecorderPath() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return (exe.parent_path().parent_path() / "measure" / "recorder" / "velrix-recorder").string();
}

bool WaitFor(const std::function<bool()>& condition, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(static_cast<int>(seconds * 1000));
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

class RecorderProcess {
 public:
  // Runs the recorder with HOME in the test's folder, so its data folder
  // (documents, else HOME) lies there too; standard error goes to errPath.
  RecorderProcess(const std::string& device, const std::string& programFolder,
                  const std::string& home, const std::string& errPath,
                  const std::vector<std::string>& moreEnv = {}) {
    const std::string recorder = RecorderPath();
    std::vector<std::string> args = {recorder, "--port", device, "--program-folder",
                                     programFolder};
    std::vector<std::string> env = {"HOME=" + home, "XDG_CONFIG_HOME=" + home + "/.config",
                                    "PATH=/usr/bin:/bin"};
    env.insert(env.end(), moreEnv.begin(), moreEnv.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    if (posix_spawn(&pid_, recorder.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
  }
  ~RecorderProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool Started() const { return pid_ > 0; }
  // Sends the signal and returns the wait status.
  int SignalAndWait(int signal) {
    kill(pid_, signal);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
  }

 private:
  pid_t pid_ = -1;
};

TEST(Recorder, KilledMidMeasurementItsRowsReachTheDatedFileAtTheNextStart) {
  ASSERT_TRUE(fs::exists(RecorderPath())) << "build velrix-recorder first: " << RecorderPath();
  TempFolder temp;
  const std::string program = temp.slash() + "program/";
  const std::string home = temp.File("home");
  fs::create_directories(program);
  fs::create_directories(home);
  const std::string working = WorkingCopyPath(program);

  sim::SimConfig config;
  config.counts.kind = sim::CountSource::Kind::Sequence;
  for (int i = 1; i <= 500; ++i) config.counts.sequence.push_back(i);
  sim::SimUnit unit(config);
  std::string error;
  ASSERT_TRUE(unit.Start(&error)) << error;

  // First run: killed without a chance to commit.
  std::vector<std::string> written;
  std::string firstDated;
  {
    RecorderProcess first(unit.DevicePath(), program, home, temp.File("first.err"));
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(WaitFor([&] { return FileRows(working).size() >= 4; }, 40.0))
        << ReadBytes(temp.File("first.err"));
    first.SignalAndWait(SIGKILL);
    written = FileRows(working);
    firstDated = ReadWorkingTarget(working);
  }
  ASSERT_FALSE(firstDated.empty());
  ASSERT_EQ(firstDated.rfind(home + "/Velrix/", 0), 0u) << firstDated;
  EXPECT_FALSE(fs::exists(firstDated));  // nothing was committed

  // Second run: recovers at start-up, then records into a file of its own.
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  RecorderProcess second(unit.DevicePath(), program, home, temp.File("second.err"));
  ASSERT_TRUE(second.Started());
  ASSERT_TRUE(WaitFor([&] { return fs::exists(firstDated); }, 10.0));
  const auto recovered = FileRows(firstDated);
  ASSERT_GE(recovered.size(), written.size());
  EXPECT_TRUE(std::equal(written.begin(), written.end(), recovered.begin()));
  ASSERT_TRUE(WaitFor(
      [&] {
        return ReadBytes(temp.File("second.err")).find("recording into") != std::string::npos;
      },
      40.0));
  EXPECT_NE(ReadBytes(temp.File("second.err"))
                .find("recovered uncommitted rows into " + firstDated + "\n"),
            std::string::npos)
      << ReadBytes(temp.File("second.err"));

  ASSERT_TRUE(WaitFor(
      [&] {
        const std::string target = ReadWorkingTarget(working);
        return !target.empty() && target != firstDated && FileRows(working).size() >= 2;
      },
      40.0))
      << ReadBytes(temp.File("second.err"));
  const std::string secondDated = ReadWorkingTarget(working);
  const int status = second.SignalAndWait(SIGTERM);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  const auto committed = FileRows(secondDated);
  EXPECT_GE(committed.size(), 2u);
  const auto workingRows = FileRows(working);
  ASSERT_GE(workingRows.size(), committed.size());
  EXPECT_TRUE(std::equal(committed.begin(), committed.end(), workingRows.begin()));
  EXPECT_TRUE(ReadWorkingTarget(working).empty());
}

TEST(Recorder, UnderACommaLocaleEveryRowKeepsItsFourFields) {
  TempFolder temp;
  const std::string program = temp.slash() + "program/";
  const std::string home = temp.File("home");
  fs::create_directories(program);
  fs::create_directories(home);
  const std::string locpath = MakeCommaLocale(temp.path());
  ASSERT_FALSE(locpath.empty());
  sim::SimConfig config;
  config.counts.constant = 12;
  sim::SimUnit unit(config);
  std::string error;
  ASSERT_TRUE(unit.Start(&error)) << error;
  const std::string working = WorkingCopyPath(program);
  RecorderProcess recorder(unit.DevicePath(), program, home, temp.File("err"),
                           {"LOCPATH=" + locpath, std::string("LC_ALL=") + kCommaLocale});
  ASSERT_TRUE(recorder.Started());
  ASSERT_TRUE(WaitFor([&] { return FileRows(working).size() >= 3; }, 40.0))
      << ReadBytes(temp.File("err"));
  recorder.SignalAndWait(SIGTERM);
  for (const std::string& row : FileRows(working)) EXPECT_TRUE(IsDataRow(row)) << row;
}

TEST(Recorder, UnknownArgumentsPrintTheUsageAndExitWithStatus2) {
  ASSERT_TRUE(fs::exists(RecorderPath()));
  TempFolder temp;
  const std::string recorder = RecorderPath();
  std::vector<std::string> args = {recorder, "--frobnicate"};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string err = temp.File("err");
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, recorder.c_str(), &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
  EXPECT_NE(ReadBytes(err).find("usage: velrix-recorder"), std::string::npos);
}

}  // namespace
}  // namespace velrix::testing
