#include "tests/support/program_run.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "tests/support/temp_folder.h"

namespace velrix::testing {
namespace {

namespace fs = std::filesystem;

constexpr auto kPollInterval = std::chrono::milliseconds(50);

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& t : texts) pointers.push_back(t.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

std::string ShippedProgramFolder() {
  return VELRIX_SHIPPED_PROGRAM_FOLDER;
}

std::string BuiltProgram(const std::string& pathInBuild) {
  std::error_code ec;
  fs::path folder = fs::read_symlink("/proc/self/exe", ec).parent_path();
  // Up from the test program's folder to the one that holds CMakeCache.txt.
  while (!folder.empty() && folder != folder.root_path() && !fs::exists(folder / "CMakeCache.txt")) {
    folder = folder.parent_path();
  }
  return (folder / pathInBuild).string();
}

ProgramProcess::ProgramProcess(const std::string& program, const std::vector<std::string>& args,
                               const std::vector<std::string>& env, const ProgramOutput& output) {
  std::vector<std::string> argvTexts = {program};
  argvTexts.insert(argvTexts.end(), args.begin(), args.end());
  std::vector<std::string> envTexts = env;
  std::vector<char*> argv = Pointers(argvTexts);
  std::vector<char*> envp = Pointers(envTexts);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, output.outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, output.errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
}

ProgramProcess::~ProgramProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

bool ProgramProcess::Catches(int signal) const {
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

void ProgramProcess::Signal(int signal) {
  if (pid_ > 0) kill(pid_, signal);
}

std::optional<int> ProgramProcess::WaitExitCode(double seconds) {
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(static_cast<int>(seconds * 1000));
  while (pid_ > 0) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      if (WIFEXITED(status)) return WEXITSTATUS(status);
      return std::nullopt;
    }
    if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
    std::this_thread::sleep_for(kPollInterval);
  }
  return std::nullopt;
}

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::vector<std::string>& env, double seconds) {
  TempFolder temp;
  const ProgramOutput output{temp.File("out"), temp.File("err")};
  ProgramRun run;
  {
    ProgramProcess process(program, args, env, output);
    if (process.Started()) run.exitCode = process.WaitExitCode(seconds);
  }
  run.out = ReadBytes(output.outPath);
  run.err = ReadBytes(output.errPath);
  return run;
}

bool WaitUntil(const std::function<bool()>& condition, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(static_cast<int>(seconds * 1000));
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(kPollInterval);
  }
  return true;
}

bool PlaceProgram(const std::string& program, const std::string& folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  const fs::path target = fs::path(folder) / fs::path(program).filename();
  fs::create_hard_link(program, target, ec);
  if (ec) fs::copy_file(program, target, ec);
  return !ec;
}

}  // namespace velrix::testing
