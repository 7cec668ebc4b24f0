#include "platform/command_line.h"

#include <cstdio>

namespace velrix {

HelpOrVersion FindHelpOrVersion(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") return HelpOrVersion::Help;
    if (arg == "--version") return HelpOrVersion::Version;
  }
  return HelpOrVersion::None;
}

// VELRIX_VERSION is defined by the build from the project's version (see
// packaging/CMakeLists.txt), so the programs and the package agree.
const char* ProgramVersion() { return VELRIX_VERSION; }

int AnswerHelpOrVersion(HelpOrVersion asked, const char* program, const std::string& usage) {
  if (asked == HelpOrVersion::Version) {
    std::printf("%s %s\n", program, ProgramVersion());
  } else {
    std::fputs(usage.c_str(), stdout);
  }
  return kExitAnswered;
}

int RejectArguments(const char* program, const std::string& error, const std::string& usage) {
  if (!error.empty()) std::fprintf(stderr, "%s: %s\n", program, error.c_str());
  std::fputs(usage.c_str(), stderr);
  return kExitBadArguments;
}

}  // namespace velrix
