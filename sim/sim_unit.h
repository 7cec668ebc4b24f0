#pragma once
// The simulated USB unit: the unit's side of the serial protocol on a
// pseudo-terminal. It answers the six commands, sends one count frame per
// clock second while counting, switches its power paths on SetPowerPaths and
// reports battery and solar states, and it has knobs for the faults a real
// unit and cable show: silence, hang-up, a fast or slow unit clock, stray
// bytes, reply delay, a wrong buzzer echo.
//
// Tests, demos and `velrix --simulate` all run against this class; the
// velrix-unitsim program wraps it for use by hand.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velrix {
class ScaledClock;
}

namespace velrix::sim {

// Where the counts of the once-a-second frames come from.
struct CountSource {
  enum class Kind { Constant, Random, Sequence };
  Kind kind = Kind::Constant;
  int constant = 5;               // Kind::Constant
  std::uint32_t seed = 1;         // Kind::Random: Poisson-like counts around mean
  double mean = 5.0;
  std::vector<int> sequence;      // Kind::Sequence: played in order, then repeated
};

// A scheduled change, at a time in seconds after Start().
struct TimedChange {
  double at = 0.0;
  enum class What { BatteryLow, BatteryNormal, SolarReached, SolarInsufficient,
                    LimitOn, LimitOff, SilenceOn, SilenceOff, HangUp };
  What what = What::BatteryNormal;
};

struct SimConfig {
  CountSource counts;
  bool limitFlag = false;       // bit 5 of the count frame's high byte
  bool batteryLow = false;      // status bit 4
  bool solarReached = true;     // status bit 5
  std::vector<TimedChange> schedule;

  // Unit clock: every fastEvery-th second an extra frame is sent in the same
  // second; every slowEvery-th second no frame is sent. 0 = off.
  int fastEvery = 0;
  int slowEvery = 0;

  // Stray bytes written between frames: strayBytes after every strayEvery-th
  // frame the unit sends (replies and count frames alike).
  std::vector<std::uint8_t> strayBytes;
  int strayEvery = 0;

  int replyDelayMs = 0;         // delay before every reply
  bool wrongBuzzerEcho = false; // GetBuzzer answers with bit 0 inverted
  bool startCountLongForm = true;  // StartCount answered 50 FF (else 50 00)

  // If not empty, a symbolic link at this path points at the slave side, so
  // that a later unit can be "plugged in" at the same name.
  std::string linkPath;

  // If not empty, every count frame that leaves whole is appended to this file
  // as a line "<unit second> <count>" (the unit clock's seconds since 1970),
  // so that a run of days can be checked against what the unit really sent,
  // across hang-ups and restarts that append to the same file.
  std::string sentLogPath;

  // The unit's clock, for runs faster than real time: its seconds pace the
  // count frames and the schedule. nullptr = the machine's clock. Reply
  // delays and the write time-out stay real milliseconds. Must outlive the
  // unit.
  const ScaledClock* clock = nullptr;
};

// One byte sequence on the wire, in the order it crossed.
struct WireChunk {
  bool fromPc = true;
  std::vector<std::uint8_t> bytes;
};

class SimUnit {
 public:
  explicit SimUnit(SimConfig config = {});
  ~SimUnit();
  SimUnit(const SimUnit&) = delete;
  SimUnit& operator=(const SimUnit&) = delete;

  // Opens the pseudo-terminal and starts the unit's thread. On failure returns
  // false with a reason in *error.
  bool Start(std::string* error = nullptr);
  // Ends the thread and closes the master side (the PC side sees a hang-up).
  void Stop();
  // Path of the slave side, e.g. /dev/pts/3 (or linkPath when set).
  std::string DevicePath() const;
  // True from Start() until Stop(), HangUp() or a scheduled hang-up.
  bool Running() const;

  // Live knobs, safe from any thread.
  void SetSilent(bool silent);        // neither replies nor frames
  void HangUp();                      // close the master now: reads on the PC side fail
  void SetLimitFlag(bool on);
  void SetBatteryLow(bool low);
  void SetSolarReached(bool reached);
  void SetWrongBuzzerEcho(bool wrong);
  void InjectBytes(const std::vector<std::uint8_t>& bytes);  // written at once

  // Observation.
  bool Counting() const;
  int BuzzerOff() const;              // bit 0 last set by SetBuzzer
  int PowerPaths() const;             // bit 0 charging off, bit 1 battery supply off
  std::vector<int> CountsSent() const;           // counts of the frames sent, in order
  // Each read from the PC and each write to it is one chunk.
  std::vector<WireChunk> Transcript() const;     // everything that crossed the wire
  std::vector<std::uint8_t> ReceivedFromPc() const;
  int CommandsReceived(std::uint8_t code) const; // how many frames of this code the PC sent

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Parses the velrix-unitsim command line (the arguments after the program
// name) into a configuration; false with a message on bad arguments.
bool ParseSimArguments(const std::vector<std::string>& args, SimConfig* config,
                       std::string* error);

// The velrix-unitsim option summary printed by --help.
std::string SimUsage();

}  // namespace velrix::sim
