#include "launcher/platform/processes.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>

extern char** environ;

namespace velrix::launcher {

namespace {

constexpr int kFirstInheritableDescriptorNotPassed = 3;
constexpr char kProcFolder[] = "/proc";

// Readable /proc entries: the executable link and the command line.
std::string ReadLink(const std::string& path) {
  char buffer[4096];
  const ssize_t n = readlink(path.c_str(), buffer, sizeof buffer);
  if (n <= 0 || static_cast<size_t>(n) >= sizeof buffer) return {};
  return std::string(buffer, static_cast<size_t>(n));
}

// Plain reads: a process may end between the open and the read, which then
// fails (ESRCH), and the file streams answer such a failure with an
// exception that would end the launcher in the middle of a setup.
std::string ReadWhole(const std::string& path) {
  std::string text;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
      text.append(buffer, static_cast<size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  close(fd);
  return text;
}

bool AllDigits(const char* text) {
  if (*text == '\0') return false;
  for (; *text != '\0'; ++text) {
    if (!std::isdigit(static_cast<unsigned char>(*text))) return false;
  }
  return true;
}

}  // namespace

StartedProcess StartProgram(const std::string& path, const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(path.c_str()));
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  // Every descriptor above standard error is closed in the child: an
  // inherited single-copy lock would otherwise outlive the launcher in a
  // long-running program it started.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclosefrom_np(&actions, kFirstInheritableDescriptorNotPassed);
  // The GUI toolkit may block or ignore signals in this process; the child
  // starts as any program started from a shell would.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGTERM);
  sigaddset(&defaults, SIGCHLD);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  pid_t pid = -1;
  const int rc = posix_spawn(&pid, path.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return {};
  return {true, pid};
}

void WaitForProcessEnd(int pid) {
  if (pid <= 0) return;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

bool ProcessMatches(const std::string& executable, const std::string& commandLine,
                    const std::string& path) {
  if (path.empty()) return false;
  if (executable == path) return true;
  // The command line ends each argument with a NUL (a process that rewrote
  // it may leave the last one open); an ended process that was not collected
  // yet has an empty one.
  size_t begin = 0;
  for (int argument = 0; argument < 2 && begin < commandLine.size(); ++argument) {
    size_t end = commandLine.find('\0', begin);
    if (end == std::string::npos) end = commandLine.size();
    if (commandLine.compare(begin, end - begin, path) == 0) return true;
    begin = end + 1;
  }
  return false;
}

bool ProcessRunningAs(const std::string& path) {
  DIR* proc = opendir(kProcFolder);
  if (proc == nullptr) return false;
  bool found = false;
  while (!found) {
    const dirent* entry = readdir(proc);
    if (entry == nullptr) break;
    if (!AllDigits(entry->d_name)) continue;
    const std::string folder = std::string(kProcFolder) + "/" + entry->d_name;
    found = ProcessMatches(ReadLink(folder + "/exe"), ReadWhole(folder + "/cmdline"), path);
  }
  closedir(proc);
  return found;
}

}  // namespace velrix::launcher
