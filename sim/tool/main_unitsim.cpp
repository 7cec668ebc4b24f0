// velrix-unitsim: the simulated USB unit as a program, for trying the
// application by hand (`velrix --simulate`) and for scripted demos.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/command_line.h"
#include "sim/sim_unit.h"

namespace {

constexpr char kProgramName[] = "velrix-unitsim";
constexpr int kExitCannotStart = 1;
// How often the main thread looks for a signal or a scheduled hang-up.
constexpr auto kWatchInterval = std::chrono::milliseconds(100);

volatile std::sig_atomic_t g_stopSignal = 0;

extern "C" void OnStopSignal(int signal) { g_stopSignal = signal; }

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const velrix::HelpOrVersion asked = velrix::FindHelpOrVersion(args);
  if (asked != velrix::HelpOrVersion::None) {
    return velrix::AnswerHelpOrVersion(asked, kProgramName, velrix::sim::SimUsage());
  }
  velrix::sim::SimConfig config;
  std::string error;
  if (!velrix::sim::ParseSimArguments(args, &config, &error)) {
    return velrix::RejectArguments(kProgramName, error, velrix::sim::SimUsage());
  }

  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);

  velrix::sim::SimUnit unit(config);
  if (!unit.Start(&error)) {
    std::fprintf(stderr, "%s: %s\n", kProgramName, error.c_str());
    return kExitCannotStart;
  }
  // Scripts read this line to learn which device to open.
  std::printf("%s\n", unit.DevicePath().c_str());
  std::fflush(stdout);

  while (g_stopSignal == 0 && unit.Running()) std::this_thread::sleep_for(kWatchInterval);
  unit.Stop();
  return 0;
}
