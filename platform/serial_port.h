#pragma once
// The unit's serial port: a USB-serial adapter (or a pseudo-terminal standing
// in for one) driven at 115200 baud 8N1, one byte at a time, with the unit's
// fixed read and write time-outs. Reads and writes also give up at once when
// the port is closed from another thread or the owner's Canceller fires, so a
// supervisor can always take a stuck link back.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

namespace velrix {

class Canceller;

// Time-outs of the unit's port. A read of n bytes may take
// n * kReadTotalPerByteMs + kReadTotalConstantMs; the link reads one byte at a
// time, so a read returns after at most 2100 ms and the interval time-out
// (the longest pause between two bytes of one read) never comes into play.
inline constexpr int kReadIntervalMs = 1000;
inline constexpr int kReadTotalPerByteMs = 100;
inline constexpr int kReadTotalConstantMs = 2000;
inline constexpr int kWriteTotalPerByteMs = 2500;
inline constexpr int kWriteTotalConstantMs = 3000;
// How long DTR stays dropped when the port is set up; the unit takes the
// rising edge as the PC arriving.
inline constexpr int kDtrLowMs = 100;
inline constexpr int kUnitBaudRate = 115200;

enum class PortRead {
  Byte,     // one byte arrived
  Timeout,  // nothing within the read time-out
  Failed,   // hang-up, device error, port closed or the wait cancelled
};

class SerialPort {
 public:
  // canceller (may be null) is watched by every wait of this port.
  explicit SerialPort(const Canceller* canceller = nullptr);
  ~SerialPort();
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Opens an existing device for reading and writing, for this program only.
  // On failure returns false with errno's value in *error.
  bool Open(const std::string& path, int* error = nullptr);

  // Line settings, buffers and modem lines for the unit. A setting that the
  // device refuses (a pseudo-terminal has no modem lines) is traced and
  // skipped; the port stays usable.
  void Configure();

  PortRead ReadByte(std::uint8_t* byte);

  // Writes all bytes within the write time-out; false with errno's value in
  // *error when the device fails, the time runs out or the port is closed.
  bool Write(const std::uint8_t* data, std::size_t size, int* error = nullptr);

  // Bytes received and not yet read (0 when the port is closed), and
  // dropping them.
  int QueuedInputBytes();
  void DiscardInput();

  // Safe from any thread, also while another thread is blocked in ReadByte or
  // Write: that call returns Failed/false at once. The descriptor itself is
  // released by whichever side leaves the port last, so it is never closed
  // under a running poll.
  void Close();
  bool IsOpen() const;

 private:
  struct Handles {
    int port = -1;
    int wake = -1;
  };
  bool Acquire(Handles* handles);
  void Release();
  void ReleaseDescriptorsLocked();
  bool Sleep(int ms) const;

  const Canceller* canceller_;
  mutable std::mutex mutex_;
  int fd_ = -1;
  int wakeFd_ = -1;   // readable once Close() was called
  int users_ = 0;     // calls in progress on fd_
  bool closing_ = false;
};

}  // namespace velrix
