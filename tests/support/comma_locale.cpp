#include "tests/support/comma_locale.h"

#include <sys/wait.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace velrix::testing {

std::string MakeCommaLocale(const std::string& folder) {
  const std::string target = folder + "/" + kCommaLocale;
  // -c: the de_DE sources raise warnings that are not errors.
  const std::string command =
      "localedef -c -i de_DE -f UTF-8 '" + target + "' >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  std::error_code ec;
  if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) > 1 ||
      !std::filesystem::exists(target + "/LC_NUMERIC", ec)) {
    return "";
  }
  return folder;
}

bool UseCommaLocaleInProcess(const std::string& locpath) {
  if (locpath.empty()) return false;
  setenv("LOCPATH", locpath.c_str(), 1);
  return std::setlocale(LC_ALL, kCommaLocale) != nullptr;
}

}  // namespace velrix::testing
