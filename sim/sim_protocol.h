#pragma once
// The unit's half of the byte protocol, without threads or descriptors:
// splitting the PC's byte stream into frames, answering one command, building
// count frames, choosing the counts and how many frames a unit clock sends in
// a second. SimUnit drives these; tests check them with plain bytes.

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include "sim/sim_unit.h"

namespace velrix::sim {

inline constexpr std::uint8_t kCodeSetBuzzer = 0x00;
inline constexpr std::uint8_t kCodeGetBuzzer = 0x10;
inline constexpr std::uint8_t kCodeStopCount = 0x40;
inline constexpr std::uint8_t kCodeStartCount = 0x50;  // also the count frame
inline constexpr std::uint8_t kCodeSetPowerPaths = 0x80;
inline constexpr std::uint8_t kCodeGetPowerStatus = 0x90;

inline constexpr int kMaxCount = 8191;              // 13 bits
inline constexpr std::uint8_t kLimitBit = 0x20;     // in the count frame's high byte
inline constexpr std::uint8_t kChargingOffBit = 0x01;
inline constexpr std::uint8_t kBatteryOffBit = 0x02;
inline constexpr std::uint8_t kBatteryLowBit = 0x10;
inline constexpr std::uint8_t kSolarReachedBit = 0x20;

// One frame as the PC sent it: code, then as many data bytes as its length
// byte announced.
struct Frame {
  std::uint8_t code = 0;
  std::vector<std::uint8_t> data;
};

// Cuts a byte stream into frames. Bytes may arrive in any pieces; a frame is
// complete when its length byte's worth of data is in.
class FrameSplitter {
 public:
  void Feed(const std::uint8_t* bytes, std::size_t size, std::vector<Frame>* complete);
  // True while a frame has begun but is not complete.
  bool Partial() const { return state_ != State::Code; }

 private:
  enum class State { Code, Length, Data };
  State state_ = State::Code;
  Frame current_;
  std::size_t wanted_ = 0;
};

// What the commands read and change inside the unit.
struct UnitState {
  int buzzerOff = 0;         // bit 0 of the last SetBuzzer
  int powerPaths = 0;        // kChargingOffBit | kBatteryOffBit
  bool counting = false;
  bool batteryLow = false;
  bool solarReached = true;
  bool wrongBuzzerEcho = false;
  bool startCountLongForm = true;
};

std::uint8_t PowerStatusByte(const UnitState& unit);

// Applies one command to the unit and returns the reply bytes; an unknown
// code gets no reply (empty). A command without its data byte is answered
// but changes nothing, as the unit cannot know what was meant.
std::vector<std::uint8_t> AnswerCommand(const Frame& frame, UnitState* unit);

int ClampCount(int count);
// 50 02 low high: the count's 13 bits, with the limit flag in bit 5 of high.
std::vector<std::uint8_t> CountFrame(int count, bool limit);

// How many count frames the unit sends in its tick-th counting second
// (1-based): none on every slowEvery-th, two on every fastEvery-th, else one.
int FramesInSecond(long tick, int fastEvery, int slowEvery);

// Produces the counts of successive seconds from a CountSource.
class CountGenerator {
 public:
  explicit CountGenerator(const CountSource& source);
  int Next();

 private:
  CountSource source_;
  std::mt19937 random_;
  std::size_t position_ = 0;
};

}  // namespace velrix::sim
