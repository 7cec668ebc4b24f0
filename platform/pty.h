#pragma once
// Pseudo-terminals for the simulated unit and its test peers: open a master
// with its slave in the unit's line mode, wait on descriptors without
// spinning, read and write without blocking. Every call into the operating
// system that the simulator makes lives here.

#include <cstddef>
#include <cstdint>
#include <string>

namespace velrix {

// Both ends of one pseudo-terminal. The slave descriptor is held by whoever
// opened the pair so that the master keeps working while the PC side has the
// port closed between reconnections.
struct PtyEnds {
  int master = -1;         // non-blocking
  int slave = -1;
  std::string slavePath;   // e.g. /dev/pts/3
};

// Opens a master, unlocks its slave, opens the slave and puts it in raw mode
// at 115200 baud. On failure nothing stays open and *error says why.
bool OpenPty(PtyEnds* ends, std::string* error);
// Closes both ends (those still open).
void ClosePty(PtyEnds* ends);

// Raw 8-bit line at 115200 baud: no echo, no line editing, no translation.
bool MakeRawLine(int fd, std::string* error);

// Opens a terminal the way a PC-side peer does: read/write, not as the
// controlling terminal, non-blocking. Returns -1 with *error on failure.
int OpenTerminal(const std::string& path, std::string* error);

// Closes *fd if open and marks it closed.
void CloseDescriptor(int* fd);

// A self-pipe that wakes a thread sleeping in WaitReadable.
struct WakePipe {
  int readEnd = -1;
  int writeEnd = -1;
};
bool OpenWakePipe(WakePipe* pipe, std::string* error);
void SignalWake(const WakePipe& pipe);
void DrainWake(const WakePipe& pipe);
void CloseWakePipe(WakePipe* pipe);

enum class WaitResult {
  Readable,  // fd has bytes
  Woken,     // wakeFd was signalled (and fd had nothing)
  HangUp,    // the other end is gone (POLLHUP/POLLERR without data)
  Timeout,
  Failed,
};
// Waits at most timeoutMs for fd to become readable; wakeFd (or -1) ends the
// wait early. An interrupted wait reports Timeout so callers simply loop.
WaitResult WaitReadable(int fd, int wakeFd, int timeoutMs);

enum class ReadStatus { Data, Nothing, Closed, Failed };
struct ReadOutcome {
  ReadStatus status = ReadStatus::Nothing;
  std::size_t bytes = 0;
};
// One read of what is available on a non-blocking descriptor. End of file
// reports Closed; EIO (a hung-up terminal) reports Failed.
ReadOutcome ReadAvailable(int fd, std::uint8_t* buffer, std::size_t size);

// Writes as much of data as the descriptor takes within timeoutMs and returns
// how many bytes went out; a full buffer that does not drain in time, or a
// closed peer, ends the write early rather than blocking the caller.
std::size_t WriteWithin(int fd, const std::uint8_t* data, std::size_t size, int timeoutMs);

}  // namespace velrix
