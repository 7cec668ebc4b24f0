#pragma once
// The PC side of the wire, as bare as it gets: open the slave, write command
// frames, read what comes back within a time limit.

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "platform/pty.h"

namespace velrix::testing {

using Bytes = std::vector<std::uint8_t>;

class RawPeer {
 public:
  explicit RawPeer(const std::string& path) { fd_ = OpenTerminal(path, &error_); }
  ~RawPeer() { CloseDescriptor(&fd_); }
  RawPeer(const RawPeer&) = delete;
  RawPeer& operator=(const RawPeer&) = delete;

  bool Open() const { return fd_ >= 0; }
  const std::string& Error() const { return error_; }
  void Close() { CloseDescriptor(&fd_); }

  bool Send(const Bytes& bytes) {
    return WriteWithin(fd_, bytes.data(), bytes.size(), 2000) == bytes.size();
  }

  // Reads until `count` bytes are in or `limitMs` passed.
  Bytes ReadExactly(std::size_t count, int limitMs = 3000) {
    Bytes got;
    const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    while (got.size() < count && Clock::now() < deadline) {
      if (!ReadSome(&got, count - got.size(), LeftMs(deadline))) break;
    }
    return got;
  }

  // Everything that arrives within `periodMs`.
  Bytes ReadFor(int periodMs) {
    Bytes got;
    const auto deadline = Clock::now() + std::chrono::milliseconds(periodMs);
    while (Clock::now() < deadline) {
      if (!ReadSome(&got, 4096, LeftMs(deadline))) break;
    }
    return got;
  }

  // Sends a command and reads a reply of replyLength bytes.
  Bytes Exchange(const Bytes& command, std::size_t replyLength, int limitMs = 3000) {
    if (!Send(command)) return {};
    return ReadExactly(replyLength, limitMs);
  }

  // What a read does after the far end went away: the wait result and the
  // read's status, with the time they took.
  struct HangUpSeen {
    WaitResult wait = WaitResult::Timeout;
    ReadStatus read = ReadStatus::Nothing;
  };
  HangUpSeen WaitForHangUp(int limitMs) {
    HangUpSeen seen;
    const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    std::uint8_t buffer[64];
    while (Clock::now() < deadline) {
      seen.wait = WaitReadable(fd_, -1, LeftMs(deadline));
      if (seen.wait == WaitResult::Timeout) continue;
      seen.read = ReadAvailable(fd_, buffer, sizeof buffer).status;
      if (seen.read != ReadStatus::Data) return seen;
    }
    return seen;
  }

 private:
  using Clock = std::chrono::steady_clock;

  static int LeftMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 1 ? 1 : static_cast<int>(left);
  }

  // false when the line is gone or broken.
  bool ReadSome(Bytes* got, std::size_t most, int waitMs) {
    const WaitResult w = WaitReadable(fd_, -1, waitMs);
    if (w == WaitResult::Timeout) return true;
    if (w != WaitResult::Readable) return false;
    std::uint8_t buffer[4096];
    const ReadOutcome r = ReadAvailable(fd_, buffer, most < sizeof buffer ? most : sizeof buffer);
    if (r.status == ReadStatus::Data) got->insert(got->end(), buffer, buffer + r.bytes);
    return r.status == ReadStatus::Data || r.status == ReadStatus::Nothing;
  }

  int fd_ = -1;
  std::string error_;
};

// Splits the unit's output into count frames (50 02 lo hi) and the rest.
inline std::vector<Bytes> CountFramesIn(const Bytes& stream) {
  std::vector<Bytes> frames;
  for (std::size_t i = 0; i + 4 <= stream.size();) {
    if (stream[i] == 0x50 && stream[i + 1] == 0x02) {
      frames.push_back({stream.begin() + i, stream.begin() + i + 4});
      i += 4;
    } else {
      ++i;
    }
  }
  return frames;
}

}  // namespace velrix::testing
