// The velrix program itself, started as a process: one copy at a time, a
// SIGTERM that finishes the running measurement like the close button, and a
// first start that writes the default settings and can picture its window.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>

#include <fstream>
#include <optional>
#include <sstream>

#include "datafile/working_copy.h"
#include "platform/system_info.h"
#include "tests/app/app_fixture.h"
#include "tests/support/comma_locale.h"
#include "tests/support/data_file_fixture.h"

namespace velrix::testing {
namespace {

constexpr double kExitSeconds = 30.0;

// The test program lives in <build>/tests/app; velrix in <build>.
std::string VelrixPath() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return (exe.parent_path().parent_path().parent_path() / "velrix").string();
}

// The private runtime folder (mode 0700, as the session's own) holds the
// single-copy lock; HOME keeps a first run's documents folder in the test.
struct ProcessHome {
  TempFolder runtime;
  TempFolder home;
  std::string LockPath() const { return runtime.File("Velrix.lock"); }
};

class VelrixProcess {
 public:
  VelrixProcess(const std::vector<std::string>& arguments, const ProcessHome& where,
                const std::string& outputPath, const std::vector<std::string>& moreEnv = {}) {
    const std::string program = VelrixPath();
    std::vector<std::string> args = {program};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<std::string> env = {"HOME=" + where.home.path(),
                                    "XDG_RUNTIME_DIR=" + where.runtime.path(),
                                    "XDG_CONFIG_HOME=" + where.home.path() + "/.config",
                                    "QT_QPA_PLATFORM=offscreen", "PATH=/usr/bin:/bin"};
    env.insert(env.end(), moreEnv.begin(), moreEnv.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~VelrixProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  VelrixProcess(const VelrixProcess&) = delete;
  VelrixProcess& operator=(const VelrixProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  bool Running() {
    if (pid_ <= 0) return false;
    int status = 0;
    const pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == 0) return true;
    finished_ = status;
    pid_ = -1;
    return false;
  }
  // The wait status once the process has ended, or nothing if it is still
  // running after the given time.
  std::optional<int> WaitExit(double seconds) {
    WaitFor([this] { return !Running(); }, seconds);
    if (pid_ > 0) return std::nullopt;
    return finished_;
  }
  void Signal(int signal) {
    if (pid_ > 0) kill(pid_, signal);
  }
  // True once the program has a handler for the signal (as /proc/<pid>/status
  // shows); it takes the single-copy lock before it sets its handlers, and a
  // signal sent in between ends it unhandled.
  bool Catches(int signal) const {
    if (pid_ <= 0) return false;
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    const std::string key = "SigCgt:";
    for (std::string line; std::getline(status, line);) {
      if (line.rfind(key, 0) != 0) continue;
      const unsigned long long caught = std::stoull(line.substr(key.size()), nullptr, 16);
      return (caught >> (signal - 1) & 1u) != 0;
    }
    return false;
  }

 private:
  pid_t pid_ = -1;
  int finished_ = 0;
};

// True when /proc/locks shows an flock of this process on the file.
bool LockHeldBy(pid_t pid, const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return false;
  std::ifstream locks("/proc/locks");
  std::string line;
  const std::string inode = ":" + std::to_string(st.st_ino);
  while (std::getline(locks, line)) {
    std::istringstream fields(line);
    std::vector<std::string> words;
    for (std::string w; fields >> w;) words.push_back(w);
    // "1: FLOCK  ADVISORY  WRITE 1234 00:2d:5678 0 EOF"; a waiter's line has
    // "->" in the second place and is not a holder.
    if (words.size() < 6 || words[1] != "FLOCK" || words[4] != std::to_string(pid)) continue;
    const std::string& where = words[5];
    if (where.size() >= inode.size() && where.compare(where.size() - inode.size(), inode.size(), inode) == 0) {
      return true;
    }
  }
  return false;
}

bool ExitedWith(const std::optional<int>& status, int code) {
  return status.has_value() && WIFEXITED(*status) && WEXITSTATUS(*status) == code;
}

std::string Describe(const std::optional<int>& status) {
  if (!status) return "still running";
  if (WIFEXITED(*status)) return "exit code " + std::to_string(WEXITSTATUS(*status));
  if (WIFSIGNALED(*status)) return "signal " + std::to_string(WTERMSIG(*status));
  return "status " + std::to_string(*status);
}

class VelrixProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(VelrixPath())) << "build velrix first: " << VelrixPath();
  }
};

TEST_F(VelrixProgram, ASecondCopyEndsAtOnceWithCode1AndNoMessageWhileTheFirstRuns) {
  ProgramFolder folder;
  ProcessHome where;
  const std::vector<std::string> args = {"--simulate", "--program-folder", folder.program()};
  VelrixProcess first(args, where, folder.temp().File("first.out"));
  ASSERT_TRUE(first.Started());
  ASSERT_TRUE(WaitFor([&] { return LockHeldBy(first.pid(), where.LockPath()); }, kExitSeconds))
      << ReadBytes(folder.temp().File("first.out"));

  VelrixProcess second(args, where, folder.temp().File("second.out"));
  ASSERT_TRUE(second.Started());
  const std::optional<int> status = second.WaitExit(kExitSeconds);
  EXPECT_TRUE(ExitedWith(status, 1)) << Describe(status);
  EXPECT_EQ(ReadBytes(folder.temp().File("second.out")), "");

  // The first is undisturbed: still running, still holding the lock, and it
  // ends normally.
  EXPECT_TRUE(first.Running());
  EXPECT_TRUE(LockHeldBy(first.pid(), where.LockPath()));
  ASSERT_TRUE(WaitFor([&] { return first.Catches(SIGTERM); }, kExitSeconds));
  first.Signal(SIGTERM);
  EXPECT_TRUE(ExitedWith(first.WaitExit(kExitSeconds), 0));
}

TEST_F(VelrixProgram, SigtermDuringAMeasurementEndsWithCode0AndCommitsTheRows) {
  ProgramFolder folder(1);
  ProcessHome where;
  VelrixProcess velrix({"--simulate", "--program-folder", folder.program()}, where,
                       folder.temp().File("velrix.out"));
  ASSERT_TRUE(velrix.Started());
  const std::string working = WorkingCopyPath(folder.program());
  ASSERT_TRUE(WaitFor([&] { return DataRowCount(working) >= 3; }, kRowsSeconds))
      << ReadBytes(folder.temp().File("velrix.out"));
  const std::string dated = ReadWorkingTarget(working);
  ASSERT_FALSE(dated.empty());
  ASSERT_EQ(dated.rfind(folder.dataFolder() + "/", 0), 0u) << dated;
  const int rowsBefore = DataRowCount(working);

  velrix.Signal(SIGTERM);
  const std::optional<int> status = velrix.WaitExit(kExitSeconds);
  EXPECT_TRUE(ExitedWith(status, 0)) << Describe(status);

  ASSERT_TRUE(fs::exists(dated));
  EXPECT_EQ(ReadBytes(dated), ReadBytes(working));
  EXPECT_GE(DataRowCount(dated), rowsBefore);
  EXPECT_TRUE(ReadWorkingTarget(working).empty());
  EXPECT_EQ(DataFiles(folder.dataFolder()), std::vector<std::string>{dated});
}

// Qt adopts the environment's locale; the rows must still have a point.
TEST_F(VelrixProgram, UnderACommaLocaleEveryRowKeepsItsFourFields) {
  ProgramFolder folder(1);
  ProcessHome where;
  const std::string locpath = MakeCommaLocale(folder.temp().path());
  ASSERT_FALSE(locpath.empty());
  VelrixProcess velrix({"--simulate", "--program-folder", folder.program()}, where,
                       folder.temp().File("velrix.out"),
                       {"LOCPATH=" + locpath, std::string("LC_ALL=") + kCommaLocale});
  ASSERT_TRUE(velrix.Started());
  const std::string working = WorkingCopyPath(folder.program());
  ASSERT_TRUE(WaitFor([&] { return DataRowCount(working) >= 3; }, kRowsSeconds))
      << ReadBytes(folder.temp().File("velrix.out"));
  velrix.Signal(SIGTERM);
  ASSERT_TRUE(ExitedWith(velrix.WaitExit(kExitSeconds), 0));
  const std::vector<std::string> rows = DataRows(ReadBytes(working));
  ASSERT_GE(rows.size(), 3u);
  for (const std::string& row : rows) {
    EXPECT_TRUE(IsDataRow(row)) << row;
  }
}

TEST_F(VelrixProgram, FirstStartWritesTheDefaultSettingsAndPicturesTheWindow) {
  TempFolder temp;
  ProcessHome where;
  const std::string program = temp.slash() + "program/";
  fs::create_directories(program);
  fs::copy_file(ShippedProgramFolder() + "sv_table.def", program + "sv_table.def");
  const std::string documents = where.home.File("Documents");
  fs::create_directories(documents);
  const std::string picture = temp.File("window.png");

  VelrixProcess velrix({"--port", kNoSuchUnit, "--program-folder", program, "--screenshot", picture,
                        "--screenshot-after-ms", "1500"},
                       where, temp.File("velrix.out"));
  ASSERT_TRUE(velrix.Started());
  const std::optional<int> status = velrix.WaitExit(60.0);
  ASSERT_TRUE(ExitedWith(status, 0)) << Describe(status) << "\n" << ReadBytes(temp.File("velrix.out"));

  for (const char* name : {"df_name.def", "dsp_unit.def", "trend.def", "comment.def", "warning.def",
                           "buzzer.def", "aut_start.def"}) {
    EXPECT_TRUE(fs::exists(program + name)) << name;
  }
  for (const char* name : {"COMRTY.def", "POWevent.def", "USBCOM.def"}) {
    EXPECT_FALSE(fs::exists(program + name)) << name;
  }
  EXPECT_EQ(ReadBytes(program + "df_name.def"), documents + "\n");
  EXPECT_EQ(ReadBytes(program + "dsp_unit.def"), "0\n0\n60\n");
  EXPECT_EQ(ReadBytes(program + "buzzer.def"), "1\n");
  EXPECT_EQ(ReadBytes(program + "comment.def"), DefaultComputerName(MachineName()) + "\n0001\n\n");

  // The picture is the frame: the menu bar above the 998 x 672 view.
  QImage image(QString::fromStdString(picture));
  ASSERT_FALSE(image.isNull());
  ASSERT_GE(image.width(), 998);
  ASSERT_GT(image.height(), 672);
  const int viewTop = image.height() - 672;
  EXPECT_TRUE(IsRgb(image, 64, viewTop + 7, 190, 255, 190));
  EXPECT_TRUE(IsRgb(image, 373, viewTop + 7, 180, 210, 255));
  EXPECT_TRUE(IsRgb(image, 400, viewTop + 300, 0, 33, 0));
}

}  // namespace
}  // namespace velrix::testing
