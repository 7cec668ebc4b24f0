#pragma once
// The unit's byte protocol: frames of code, length and data, the command
// exchange with its retries, the reply parser and the count-frame handling
// that keeps the sample ring aligned with clock seconds (the gap check). The
// thread that schedules these exchanges lives in usb_comm.cpp.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "link/unit_link_state.h"
#include "platform/canceller.h"
#include "platform/clock.h"
#include "platform/serial_port.h"

namespace velrix {

// Command codes. The unit's count frame shares its code with StartCount.
inline constexpr std::uint8_t kCodeSetBuzzer = 0x00;
inline constexpr std::uint8_t kCodeGetBuzzer = 0x10;
inline constexpr std::uint8_t kCodeStopCount = 0x40;
inline constexpr std::uint8_t kCodeStartCount = 0x50;
inline constexpr std::uint8_t kCodeCountFrame = 0x50;
inline constexpr std::uint8_t kCodeSetPowerPaths = 0x80;
inline constexpr std::uint8_t kCodeGetPowerStatus = 0x90;

// StartCount's long-form reply carries this length byte and no data.
inline constexpr std::uint8_t kStartCountLongLength = 0xFF;
inline constexpr int kCountFrameLength = 2;

// Frame buffer of one reception: code, length and up to 254 data bytes.
inline constexpr int kFrameBufferSize = 256;

// Pacing of an exchange.
inline constexpr int kInterBytePauseMs = 20;    // between bytes of one frame
inline constexpr int kReplyRetryPauseMs = 50;   // before resending after a bad reply
inline constexpr int kWriteRetryPauseMs = 500;  // before resending after a failed write

// A silence this long during a measurement counts as lost seconds.
inline constexpr ClockSeconds kSilenceSeconds = 3;

// What an exchange needs of the unit's port: one byte in at a time, a frame
// out, and the pauses that pace a reception and its retries. The link runs on
// the serial port; a test can stand a byte source of its own in its place and
// leave out the waiting.
class LinkPort {
 public:
  virtual ~LinkPort() = default;
  virtual PortRead ReadByte(std::uint8_t* byte) = 0;
  virtual bool Write(const std::uint8_t* data, std::size_t size, int* error) = 0;
  // Waits ms milliseconds; false when the thread is being stopped meanwhile.
  virtual bool Pause(int ms) = 0;
  // Bytes that have arrived and wait to be read, and dropping them: a
  // backlog that piled up while the program could not read belongs to
  // seconds already given up as missing.
  virtual int QueuedBytes() { return 0; }
  virtual void DiscardInput() {}
};

// The serial port as the link uses it: pauses are the thread's cancellable
// sleeps, so a stop ends them at once.
class SerialLinkPort final : public LinkPort {
 public:
  SerialLinkPort(SerialPort& port, const Canceller& canceller)
      : port_(port), canceller_(canceller) {}
  PortRead ReadByte(std::uint8_t* byte) override { return port_.ReadByte(byte); }
  bool Write(const std::uint8_t* data, std::size_t size, int* error) override {
    return port_.Write(data, size, error);
  }
  bool Pause(int ms) override { return canceller_.SleepFor(ms); }
  int QueuedBytes() override { return port_.QueuedInputBytes(); }
  void DiscardInput() override { port_.DiscardInput(); }

 private:
  SerialPort& port_;
  const Canceller& canceller_;
};

// Everything one exchange needs: the shared record, the port, the stop
// signal of the thread running it and the clock.
struct LinkContext {
  // The program's exchange, on the serial port.
  LinkContext(UnitLinkState& s, SerialPort& serial, const Canceller& c, const Clock& k)
      : serial_(std::in_place, serial, c), state(s), port(*serial_), canceller(c), clock(k) {}
  // An exchange on another port.
  LinkContext(UnitLinkState& s, LinkPort& p, const Canceller& c, const Clock& k)
      : serial_(std::nullopt), state(s), port(p), canceller(c), clock(k) {}
  // port may refer to serial_, which a copy would not carry along.
  LinkContext(const LinkContext&) = delete;
  LinkContext& operator=(const LinkContext&) = delete;

 private:
  // Made before port refers to it.
  std::optional<SerialLinkPort> serial_;

 public:
  UnitLinkState& state;
  LinkPort& port;
  const Canceller& canceller;
  const Clock& clock;
  int lastTracedStatus = -1;   // status byte of the last status trace
  int interBytePauses = 0;     // pauses taken between bytes, kept for diagnosis
  // How many times faster than real time the clock runs (an accelerated test
  // clock): the pauses that pace the exchange shrink with it, so the link
  // keeps up with a unit that sends as many frames a real second. Read and
  // write time-outs stay real.
  int timeScale = 1;

  // The calendar second, for what is shown as a date.
  ClockSeconds Now() const { return clock.Now(); }
  // The elapsed second, for every alignment and interval.
  ClockSeconds Elapsed() const { return clock.ElapsedSeconds(); }
  // Waits a pacing pause on the port; false when the thread is being stopped.
  bool Pause(int ms) const {
    return port.Pause(timeScale > 1 ? (ms + timeScale - 1) / timeScale : ms);
  }
  bool Stopping() const { return canceller.Cancelled(); }
};

// What a reception or command brought back besides success or failure
// (which goes to responseError): the data byte of a GetBuzzer or
// GetPowerStatus reply.
struct Reply {
  bool hasByte = false;
  std::uint8_t byte = 0;
};

// The four places the gap check runs from; they differ in what they do
// besides inserting missing seconds.
enum class GapCheckForm { CountFrame, Timeout, ReadFailure, MainLoop };

// Count frame data: a 13-bit count and the unit's measurement-limit flag.
int CountOfFrame(std::uint8_t low, std::uint8_t high);
int LimitFlagOfFrame(std::uint8_t high);

// Writes one entry for `seconds` seconds (more than one only for a run of
// missing seconds) at the ring's next place, then publishes it and counts
// its seconds in ringSeconds.
void PublishEntry(UnitLinkState& s, double count, std::uint8_t missing, std::uint8_t power,
                  std::uint32_t seconds = 1);

// One entry with the current power status byte, counted in storedSamples.
void StoreSample(UnitLinkState& s, double count, std::uint8_t missing,
                 std::uint32_t seconds = 1);

// Inserts the missing seconds, as one entry, when the elapsed clock has run
// ahead of the stored samples by two seconds or more, or after
// kSilenceSeconds without a frame: every second before the current one that
// has no sample. elapsedNow aligns; wallNow dates the retry for the panel.
// Returns the seconds inserted.
int GapCheck(UnitLinkState& s, ClockSeconds elapsedNow, ClockSeconds wallNow, GapCheckForm form);

// What became of a count frame.
enum class FrameOutcome {
  Stored,   // the sample of its second
  Opened,   // the first frame after a start: it only opens the collection
  Early,    // more than a second ahead of the clock: dropped
  Stale,    // it lay queued behind a gap the program could not read through: dropped
  Ignored,  // no measurement collects it
};

// A complete count frame 0x50, 2, low, high. backlogQueued: more bytes wait
// on the port behind it, so a gap found now, or given up as missing since the
// last frame, means the frames arrived while the program could not read (a
// suspended or paused computer, a stalled program or driver) and lay queued;
// they are not the seconds they would be stored as.
FrameOutcome HandleCountFrame(UnitLinkState& s, const Clock& clock, std::uint8_t low,
                              std::uint8_t high, bool backlogQueued = false);

// Takes a GetPowerStatus byte into the power fields.
void ApplyPowerStatus(UnitLinkState& s, std::uint8_t status);

// Reads until the reply to awaitedCode is accepted, a count frame ends a wait
// for 0x50, or the reception fails (responseError = 1). Count frames met on
// the way are handled.
Reply ReceiveReply(LinkContext& ctx, std::uint8_t awaitedCode);

// Sends one command frame and waits for its reply, retrying as retryMode and
// maxRetries allow; responseError tells the outcome.
Reply SendCommand(LinkContext& ctx, std::uint8_t code, const std::vector<std::uint8_t>& data);

}  // namespace velrix
