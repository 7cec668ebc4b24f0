#pragma once
// Starting the launcher's outside programs, waiting for them, and looking for
// a running process by the file it was started from.

#include <string>
#include <vector>

namespace velrix::launcher {

struct StartedProcess {
  bool started = false;
  int pid = -1;  // -1: started, but nothing this process can wait for
};

// Starts the file itself with the given arguments (its own path is the
// program name). The child inherits no descriptor beyond standard input,
// output and error, and starts with the default signal handling; it runs in
// the launcher's current folder. Not started when the file cannot be
// executed (missing, not executable, no interpreter, not a program).
StartedProcess StartProgram(const std::string& path, const std::vector<std::string>& arguments);

// Waits until the started process has ended and collects it. Nothing to do
// for pid -1.
void WaitForProcessEnd(int pid);

// True while a process runs whose executable, program name or first argument
// is exactly `path` (a script started from `path` runs its interpreter with
// `path` as first argument). Processes that ended but were not collected yet
// do not count.
bool ProcessRunningAs(const std::string& path);

// The test behind ProcessRunningAs for one process: its executable link
// (empty when unreadable) and its NUL-separated command line.
bool ProcessMatches(const std::string& executable, const std::string& commandLine,
                    const std::string& path);

}  // namespace velrix::launcher
