#include "app/app_options.h"

#include <cstdlib>

namespace velrix {

const char kAppUsage[] =
    "usage: velrix [--simulate | --port DEVICE] [--program-folder DIR]\n"
    "  --simulate             run on the simulated unit; no hardware needed\n"
    "  --port DEVICE          the unit's serial device (default: search the USB bus)\n"
    "  --program-folder DIR   settings, conversion table, warning sound and working copy\n"
    "                         (default: the folder of this program; when installed,\n"
    "                         $XDG_DATA_HOME/Velrix, usually ~/.local/share/Velrix)\n"
    "  --screenshot FILE      save the window as a PNG file after a while, then end\n"
    "  --screenshot-after-ms MS  how long that while is (default 0)\n"
    "  --help                 this text\n"
    "  --version              the program's version\n"
    "Qt's own command-line options are not taken; its environment variables\n"
    "(QT_QPA_PLATFORM, DISPLAY, ...) are.\n";

bool ParseAppOptions(const std::vector<std::string>& args, AppOptions* options,
                     std::string* error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (TakeClockOption(args, &i, &options->clock, error)) {
      if (!error->empty()) return false;
    } else if (TakeStationOption(args, &i, options)) {
    } else if (arg == "--screenshot" && hasValue) {
      options->screenshot = args[++i];
    } else if (arg == "--screenshot-after-ms" && hasValue) {
      options->screenshotAfterMs = std::atoi(args[++i].c_str());
    } else {
      *error = "unknown or incomplete argument: " + arg;
      return false;
    }
  }
  return CheckStationOptions(*options, error);
}

}  // namespace velrix
