#include "sim/sim_protocol.h"

#include <algorithm>
#include <cmath>

namespace velrix::sim {

void FrameSplitter::Feed(const std::uint8_t* bytes, std::size_t size,
                         std::vector<Frame>* complete) {
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint8_t b = bytes[i];
    switch (state_) {
      case State::Code:
        current_ = Frame{b, {}};
        state_ = State::Length;
        break;
      case State::Length:
        wanted_ = b;
        if (wanted_ == 0) {
          complete->push_back(std::move(current_));
          state_ = State::Code;
        } else {
          current_.data.reserve(wanted_);
          state_ = State::Data;
        }
        break;
      case State::Data:
        current_.data.push_back(b);
        if (current_.data.size() == wanted_) {
          complete->push_back(std::move(current_));
          state_ = State::Code;
        }
        break;
    }
  }
}

std::uint8_t PowerStatusByte(const UnitState& unit) {
  std::uint8_t s = static_cast<std::uint8_t>(unit.powerPaths & (kChargingOffBit | kBatteryOffBit));
  if (unit.batteryLow) s |= kBatteryLowBit;
  if (unit.solarReached) s |= kSolarReachedBit;
  return s;
}

std::vector<std::uint8_t> AnswerCommand(const Frame& frame, UnitState* unit) {
  const bool hasData = !frame.data.empty();
  switch (frame.code) {
    case kCodeSetBuzzer:
      if (hasData) unit->buzzerOff = frame.data[0] & 0x01;
      return {kCodeSetBuzzer, 0x00};
    case kCodeGetBuzzer: {
      const int echoed = unit->wrongBuzzerEcho ? 1 - unit->buzzerOff : unit->buzzerOff;
      return {kCodeGetBuzzer, 0x01, static_cast<std::uint8_t>(echoed)};
    }
    case kCodeStopCount:
      unit->counting = false;
      return {kCodeStopCount, 0x00};
    case kCodeStartCount:
      unit->counting = true;
      return {kCodeStartCount, static_cast<std::uint8_t>(unit->startCountLongForm ? 0xFF : 0x00)};
    case kCodeSetPowerPaths:
      if (hasData) unit->powerPaths = frame.data[0] & (kChargingOffBit | kBatteryOffBit);
      return {kCodeSetPowerPaths, 0x00};
    case kCodeGetPowerStatus:
      return {kCodeGetPowerStatus, 0x01, PowerStatusByte(*unit)};
    default:
      return {};
  }
}

int ClampCount(int count) { return std::clamp(count, 0, kMaxCount); }

std::vector<std::uint8_t> CountFrame(int count, bool limit) {
  const int c = ClampCount(count);
  std::uint8_t high = static_cast<std::uint8_t>((c >> 8) & 0x1F);
  if (limit) high |= kLimitBit;
  return {kCodeStartCount, 0x02, static_cast<std::uint8_t>(c & 0xFF), high};
}

int FramesInSecond(long tick, int fastEvery, int slowEvery) {
  if (slowEvery > 0 && tick % slowEvery == 0) return 0;
  if (fastEvery > 0 && tick % fastEvery == 0) return 2;
  return 1;
}

CountGenerator::CountGenerator(const CountSource& source)
    : source_(source), random_(source.seed) {}

int CountGenerator::Next() {
  switch (source_.kind) {
    case CountSource::Kind::Constant:
      return ClampCount(source_.constant);
    case CountSource::Kind::Random: {
      if (!(source_.mean > 0.0)) return 0;
      // A Poisson draw is what a pulse counter sees; beyond the 13 bits the
      // unit clamps, so larger means only cost time.
      std::poisson_distribution<int> draw(std::min(source_.mean, double(kMaxCount) * 2));
      return ClampCount(draw(random_));
    }
    case CountSource::Kind::Sequence: {
      if (source_.sequence.empty()) return 0;
      const int c = source_.sequence[position_];
      position_ = (position_ + 1) % source_.sequence.size();
      return ClampCount(c);
    }
  }
  return 0;
}

}  // namespace velrix::sim
