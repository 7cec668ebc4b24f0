#pragma once
// What the command line may say to the application.

#include <string>
#include <vector>

#include "measure/station.h"
#include "platform/scaled_clock.h"

namespace velrix {

inline constexpr char kAppProgramName[] = "velrix";

// What --help prints, and a bad argument on standard error.
extern const char kAppUsage[];

// The station's (--program-folder DIR, empty until the default is chosen;
// --port DEVICE; --simulate), and the application's own.
struct AppOptions : StationOptions {
  std::string screenshot;     // --screenshot FILE: write the window to a PNG after a while, then close
  int screenshotAfterMs = 0;
  // The accelerated clock of tests and soak runs (--clock-start, --time-scale,
  // --clock-anchor-ms); not in the usage, as no user needs it.
  ClockOptions clock;
};

// Parses the arguments after the program name (--help and --version are
// answered before). On a bad argument returns false with a message.
bool ParseAppOptions(const std::vector<std::string>& args, AppOptions* options,
                     std::string* error);

}  // namespace velrix
