#pragma once
// CTenvoApp: the program's entry. It allows one running copy, builds the
// document, the view (which builds the station) and the frame, and turns SIGTERM and SIGINT into the
// same close the window's button gives, so a measurement is finished either
// way.

#include <memory>

#include "app/app_options.h"
#include "app/tenvo_doc.h"
#include "platform/scaled_clock.h"

namespace velrix {

inline constexpr char kSingleCopyName[] = "Velrix";
inline constexpr int kExitSecondCopy = 1;
inline constexpr int kExitUsage = 2;

class CTenvoApp {
 public:
  // Runs the program; returns the process exit code.
  int Run(int argc, char** argv);

 private:
  CTenvoDoc doc_;
  // The accelerated clock when the command line asks for one; it outlives
  // the view and the link threads that read it.
  std::unique_ptr<ScaledClock> clock_;
};

}  // namespace velrix
