// velrix-unitsim: the simulated USB unit as a program, for trying the
// application by hand (`velrix --simulate`) and for scripted demos.
//
// Soak runs may also give the accelerated clock's options
// (platform/scaled_clock.h) with the same values as the program under test,
// so that both agree on every second; --help omits them.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/command_line.h"
#include "platform/scaled_clock.h"
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
  std::string error;
  // The clock options first; what is left is the unit's own command line.
  velrix::ClockOptions clockOptions;
  std::vector<std::string> unitArgs;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (velrix::TakeClockOption(args, &i, &clockOptions, &error)) {
      if (!error.empty()) return velrix::RejectArguments(kProgramName, error, velrix::sim::SimUsage());
    } else {
      unitArgs.push_back(args[i]);
    }
  }
  velrix::sim::SimConfig config;
  if (!velrix::sim::ParseSimArguments(unitArgs, &config, &error)) {
    return velrix::RejectArguments(kProgramName, error, velrix::sim::SimUsage());
  }
  const std::unique_ptr<velrix::ScaledClock> clock =
      velrix::MakeScaledClock(clockOptions, &error);
  if (!error.empty()) return velrix::RejectArguments(kProgramName, error, velrix::sim::SimUsage());
  config.clock = clock.get();

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
