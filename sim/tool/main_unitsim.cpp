// velrix-unitsim: the simulated USB unit as a program, for trying the
// application by hand (`velrix --simulate`) and for scripted demos.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "sim/sim_unit.h"

namespace {

constexpr int kExitBadArguments = 2;
constexpr int kExitCannotStart = 1;
// How often the main thread looks for a signal or a scheduled hang-up.
constexpr auto kWatchInterval = std::chrono::milliseconds(100);

volatile std::sig_atomic_t g_stopSignal = 0;

extern "C" void OnStopSignal(int signal) { g_stopSignal = signal; }

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      std::fputs(velrix::sim::SimUsage().c_str(), stdout);
      return 0;
    }
  }
  velrix::sim::SimConfig config;
  std::string error;
  if (!velrix::sim::ParseSimArguments(args, &config, &error)) {
    std::fprintf(stderr, "velrix-unitsim: %s\n", error.c_str());
    return kExitBadArguments;
  }

  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);

  velrix::sim::SimUnit unit(config);
  if (!unit.Start(&error)) {
    std::fprintf(stderr, "velrix-unitsim: %s\n", error.c_str());
    return kExitCannotStart;
  }
  // Scripts read this line to learn which device to open.
  std::printf("%s\n", unit.DevicePath().c_str());
  std::fflush(stdout);

  while (g_stopSignal == 0 && unit.Running()) std::this_thread::sleep_for(kWatchInterval);
  unit.Stop();
  return 0;
}
