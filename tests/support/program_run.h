#pragma once
// Runs one of the built programs as a separate process, as a user or a
// script would: its own environment, standard output and error caught in
// files, and an exit that is waited for with a deadline.

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velrix::testing {

// A program of the build tree by its path below the build folder
// ("velrix", "measure/recorder/velrix-recorder"); tests run from
// <build>/tests or <build>/tests/<folder>.
std::string BuiltProgram(const std::string& pathInBuild);

// The shipped program files of the source tree (resources/program/, ending
// with '/').
std::string ShippedProgramFolder();

// Where a started program's output goes.
struct ProgramOutput {
  std::string outPath;
  std::string errPath;
};

class ProgramProcess {
 public:
  // Starts program with the arguments and only the given environment
  // ("NAME=value" entries).
  ProgramProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::vector<std::string>& env, const ProgramOutput& output);
  ~ProgramProcess();  // kills a program still running
  ProgramProcess(const ProgramProcess&) = delete;
  ProgramProcess& operator=(const ProgramProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  // True once the program has installed a handler for the signal (as
  // /proc/<pid>/status shows): a signal sent earlier would end it unhandled.
  bool Catches(int signal) const;
  void Signal(int signal);
  // The exit code once the program has ended by itself within the time;
  // nothing if it is still running or was ended by a signal.
  std::optional<int> WaitExitCode(double seconds);

 private:
  pid_t pid_ = -1;
};

// Runs a program that ends by itself and returns what it printed.
struct ProgramRun {
  std::optional<int> exitCode;
  std::string out;
  std::string err;
};
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::vector<std::string>& env, double seconds);

// Polls the condition until it holds or the time is up.
bool WaitUntil(const std::function<bool()>& condition, double seconds);

// Links (or, across file systems, copies) a built program into folder, so
// that it runs from there: /proc/self/exe names the link.
bool PlaceProgram(const std::string& program, const std::string& folder);

}  // namespace velrix::testing
