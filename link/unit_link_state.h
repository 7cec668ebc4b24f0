#pragma once
// The record the three threads share: the communication thread (usb_comm),
// the supervisor (usb_comm_kanshi) and the GUI thread. No lock guards it:
// every field is one machine word, request flags are set by one side and
// cleared by the other, and the sample ring has one producer (the link) and
// one consumer (the measurement cycle). The producer completes an entry, then
// publishes ringWrite with release; the consumer reads ringWrite with acquire
// and only the entries before it.
//
// ringWrite counts every entry ever written (the entry's index is the count
// modulo the ring's size), and each entry carries the running count of
// seconds the ring has stood for before it, so a consumer that has fallen a
// whole ring behind knows it, and knows how many seconds it lost, instead of
// reading the newest entries as the oldest. A run of missing seconds is one
// entry however long the gap, so a gap alone never laps the ring.
//
// Times the link compares (collectStart, lastFrameTime, lastStatusRead) are
// elapsed seconds (Clock::ElapsedSeconds), which a clock step cannot move;
// lastRetryTime is shown as a date and stays a calendar second.

#include <atomic>
#include <cstdint>

#include "platform/clock.h"

namespace velrix {

inline constexpr int kSampleRingSize = 120;
inline constexpr int kMaxDetectedPorts = 20;

// linkStatus values.
inline constexpr int kLinkNone = 0;
inline constexpr int kLinkOk = 1;
inline constexpr int kLinkNg = 2;
inline constexpr int kLinkRetriesExhausted = 3;

// One second of the unit, or a run of missing seconds. The fields are
// atomics (relaxed) only so that a consumer that falls a ring behind reads
// a stale value rather than a torn one (and then sees from ringWrite that
// it must not use it); ordering comes from ringWrite.
struct LinkSample {
  std::atomic<double> count{0.0};          // pulses in that second; 0.0 when missing
  std::atomic<std::uint8_t> missing{0};    // 1 = no count frame arrived (a retry second)
  std::atomic<std::uint8_t> power{0};      // power status byte: bit 0 solar low, bit 1 battery not normal
  std::atomic<std::uint32_t> seconds{1};   // seconds it stands for: 1, or a missing run's length
  std::atomic<std::uint32_t> firstSecond{0};  // ringSeconds before this entry
};

// The ring index of the entry that ringWrite counted as `written`.
inline int RingIndex(std::uint32_t written) {
  return static_cast<int>(written % static_cast<std::uint32_t>(kSampleRingSize));
}

struct UnitLinkState {
  // Link health and port.
  std::atomic<int> linkStatus{kLinkNone};
  std::atomic<int> openedPort{0};      // port number opened last; shown through PortName()
  std::atomic<int> comNumber{0};       // 0 = automatic
  std::atomic<int> detectedPorts[kMaxDetectedPorts]{};
  std::atomic<int> detectedCount{0};

  // Samples.
  LinkSample sampleRing[kSampleRingSize];
  // Entries written over the program's life (wrapping after 2^32, some 136
  // years of seconds); release on store, acquire on load.
  std::atomic<std::uint32_t> ringWrite{0};
  std::atomic<std::uint32_t> ringSeconds{0};  // seconds the entries written stand for
  std::atomic<int> collecting{0};
  std::atomic<int> storedSamples{0};
  std::atomic<ClockSeconds> collectStart{0};
  std::atomic<ClockSeconds> lastFrameTime{0};
  std::atomic<int> consecutiveMissing{0};
  std::atomic<int> maxRetryCount{0};
  std::atomic<ClockSeconds> lastRetryTime{0};
  std::atomic<int> limitReached{0};

  // Power status and requests.
  std::atomic<int> batteryLow{-1};
  std::atomic<int> solarReached{-1};
  std::atomic<int> batterySupplyOn{1};
  std::atomic<int> chargingOn{1};
  std::atomic<int> batteryRequest{0};
  std::atomic<int> batteryOffWanted{0};
  std::atomic<int> chargingRequest{0};
  std::atomic<int> chargingOffWanted{0};
  std::atomic<int> powerCommandState{0};  // 0 idle, 1 requested, 2 sent, awaiting a status read
  std::atomic<int> statusReadInterval{0}; // seconds between status reads while measuring
  std::atomic<ClockSeconds> lastStatusRead{0};

  // Buzzer.
  std::atomic<int> buzzerRequest{0};
  std::atomic<int> buzzerEcho{0};

  // Health of the exchange, watched by the supervisor.
  std::atomic<int> echoConfirmed{0};
  std::atomic<int> responseError{0};
  std::atomic<int> activityCount{0};
  std::atomic<int> dead_err_cnt{0};
  std::atomic<int> resyncWanted{0};

  // Retry settings and statistics.
  std::atomic<int> retryMode{0};   // 0 no retry, 1 up to maxRetries, 2 without end
  std::atomic<int> maxRetries{1};
  std::atomic<int> commandRetries{0};
  // Every command sent again, over the program's life (commandRetries
  // starts afresh with each command); for the station's metrics.
  std::atomic<std::uint64_t> commandRetriesTotal{0};

  // Inputs from the GUI thread, read afresh by the link at each use.
  std::atomic<int> measuring{0};        // the measurement run's flag: 1 while a measurement runs
  std::atomic<int> detectionBuzzer{1};  // the detection buzzer setting: 1 on, 0 off
};

// Power status byte of a sample from the last status read: bit 0 when the
// solar supply is insufficient (a state not yet read counts as reached), bit 1
// when the battery is not known to be normal.
inline std::uint8_t CurrentPowerStatus(const UnitLinkState& s) {
  std::uint8_t p = 0;
  if (s.solarReached.load() == 0) p |= 1;
  if (s.batteryLow.load() != 0) p |= 2;
  return p;
}

}  // namespace velrix
