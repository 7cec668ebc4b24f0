#include "app/app_options.h"

#include <cstdlib>

#include "platform/system_info.h"

namespace velrix {

bool ParseAppOptions(const std::vector<std::string>& args, AppOptions* options,
                     std::string* error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--simulate") {
      options->simulate = true;
    } else if (arg == "--program-folder" && hasValue) {
      options->programFolder = args[++i];
    } else if (arg == "--port" && hasValue) {
      options->port = args[++i];
    } else if (arg == "--screenshot" && hasValue) {
      options->screenshot = args[++i];
    } else if (arg == "--screenshot-after-ms" && hasValue) {
      options->screenshotAfterMs = std::atoi(args[++i].c_str());
    } else {
      *error = "unknown or incomplete argument: " + arg +
               "\nusage: velrix [--simulate] [--port DEVICE] [--program-folder DIR]";
      return false;
    }
  }
  if (options->simulate && !options->port.empty()) {
    *error = "--simulate and --port name two different units; give one of them";
    return false;
  }
  if (options->programFolder.empty()) options->programFolder = ExecutableFolder();
  if (options->programFolder.back() != '/') options->programFolder += '/';
  return true;
}

}  // namespace velrix
