#pragma once
// What the Prometheus endpoint reports of the processed seconds: running
// totals over the program's life and the values of the last second. The
// cycle writes it once a second, the HTTP server's thread reads it for each
// scrape, with no lock: a sequence number, odd while a write is under way,
// lets a reader retry until it has all fields of one second, so a scrape
// never mixes the totals of one second with the values of the next.

#include <atomic>
#include <cstdint>
#include <string>

#include "measure/processed_second.h"

namespace velrix {

class LinkSupervisor;
struct UnitLinkState;

struct MetricsBoard {
  std::atomic<std::uint32_t> sequence{0};
  std::atomic<std::uint64_t> seconds{0};         // processed seconds
  std::atomic<std::uint64_t> missingSeconds{0};
  std::atomic<double> counts{0.0};               // pulses of the processed seconds
  std::atomic<double> currentDose{0.0};          // μSv/h
  std::atomic<double> averageDose{0.0};          // μSv/h
  std::atomic<double> hourDose{0.0};             // μSv/h
  std::atomic<double> integratedDose{0.0};       // μSv
  std::atomic<ClockSeconds> lastTime{0};
  std::atomic<int> power{0};
};

// One consistent reading of the board.
struct MetricsSnapshot {
  std::uint64_t seconds = 0;
  std::uint64_t missingSeconds = 0;
  double counts = 0.0;
  double currentDose = 0.0;
  double averageDose = 0.0;
  double hourDose = 0.0;
  double integratedDose = 0.0;
  ClockSeconds lastTime = 0;
  int power = 0;
};

// The writer: the cycle, once per processed second.
void PostSecond(MetricsBoard& board, const ProcessedSecond& s);
// Any other thread.
MetricsSnapshot ReadBoard(const MetricsBoard& board);

// What the scrape reads live from elsewhere in the program.
struct MetricsLive {
  int linkStatus = 0;
  std::uint64_t linkRestarts = 0;
  std::uint64_t linkRetries = 0;
  bool mqttEnabled = false;
  bool mqttConnected = false;
  std::uint64_t mqttDropped = 0;
};

// The Prometheus text exposition (version 0.0.4) of a snapshot, numbers in
// the "C" locale: names in base units (sieverts, seconds), counters ending
// in _total, the link state as one series per state.
std::string MetricsText(const MetricsSnapshot& s, const MetricsLive& live);

}  // namespace velrix
