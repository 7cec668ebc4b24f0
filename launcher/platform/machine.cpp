#include "launcher/platform/machine.h"

#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdlib>

namespace velrix::launcher {

namespace {
constexpr char kDefaultTemporaryFolder[] = "/tmp";
}  // namespace

bool RunsAsAdministrator() { return geteuid() == 0; }

std::string TemporaryFolderFrom(const char* tmpdir) {
  std::string folder = (tmpdir != nullptr && *tmpdir != '\0') ? tmpdir : kDefaultTemporaryFolder;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (folder.back() != '/') folder += '/';
  return folder;
}

std::string TemporaryFolder() { return TemporaryFolderFrom(std::getenv("TMPDIR")); }

bool Is32BitX86Machine(const std::string& machine) {
  return machine.size() == 4 && machine[0] == 'i' && machine[1] >= '3' && machine[1] <= '6' &&
         machine.compare(2, 2, "86") == 0;
}

bool NativeIs32BitX86() {
  utsname names{};
  if (uname(&names) != 0) return false;
  return Is32BitX86Machine(names.machine);
}

bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsRunnableFile(const std::string& path) {
  return IsRegularFile(path) && access(path.c_str(), X_OK) == 0;
}

bool PathExists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

}  // namespace velrix::launcher
