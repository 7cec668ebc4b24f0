// The reply parser fed whatever the line may carry: a run of receptions, one
// after another on the same shared record as the communication thread makes
// them, each awaiting a code and reading from its own slice of the input until
// the slice runs out, where the port reports a time-out (or a failure). The
// port is a byte source in memory and its pauses return at once, so an input
// costs no real time.
//
// Besides crashes, reads past the frame buffer and undefined behaviour, each
// reception is checked for what the parser promises: an accepted status byte
// is the data byte of a whole reply frame just read, with its echo rule; the
// sample ring's write index stays in the ring and moves with every stored
// sample; counts stored are 13-bit values and missing seconds hold 0; a stray
// byte costs no pause; the record's flags keep their values.
//
// Input: byte 0 chooses the starting state (measuring, collecting, buzzer
// echo, time-out or failure at the end of a slice, retry mode), byte 1 the
// ring position and samples already stored; then receptions of the form
// [awaited code and clock step] [slice length n] [n bytes].

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "link/protocol.h"
#include "platform/canceller.h"
#include "platform/clock.h"

namespace {

using namespace velrix;

constexpr std::uint8_t kCodes[] = {kCodeSetBuzzer,     kCodeGetBuzzer,      kCodeStopCount,
                                   kCodeStartCount,    kCodeSetPowerPaths,  kCodeGetPowerStatus,
                                   kCodeCountFrame,    0x33};
constexpr std::size_t kCodeCount = sizeof kCodes / sizeof kCodes[0];
constexpr ClockSeconds kStart = 1'700'000'000;
constexpr int kMaxCount = 8191;

// One reception's bytes; the end of them reads as the unit falling silent
// (or the port failing).
class SliceOfBytes final : public LinkPort {
 public:
  void Load(const std::uint8_t* p, std::size_t n, PortRead atEnd) {
    p_ = p;
    end_ = p + n;
    start_ = p;
    atEnd_ = atEnd;
    pauses_ = 0;
  }
  PortRead ReadByte(std::uint8_t* byte) override {
    if (p_ == end_) return atEnd_;
    *byte = *p_++;
    return PortRead::Byte;
  }
  bool Write(const std::uint8_t*, std::size_t, int*) override { return true; }
  bool Pause(int) override {
    ++pauses_;
    return true;
  }
  // What is left of the slice waits on the port, and a discard drops it.
  int QueuedBytes() override { return static_cast<int>(end_ - p_); }
  void DiscardInput() override { p_ = end_; }
  std::size_t Consumed() const { return static_cast<std::size_t>(p_ - start_); }
  const std::uint8_t* Start() const { return start_; }
  int Pauses() const { return pauses_; }

 private:
  const std::uint8_t* p_ = nullptr;
  const std::uint8_t* end_ = nullptr;
  const std::uint8_t* start_ = nullptr;
  PortRead atEnd_ = PortRead::Timeout;
  int pauses_ = 0;
};

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz_receive_reply: %s\n", what);
  std::abort();
}

bool IsFlag(int value) { return value == 0 || value == 1; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Canceller canceller;
  if (size < 2) return 0;
  const std::uint8_t setup = data[0];
  const std::uint8_t ring = data[1];

  UnitLinkState s;
  ManualClock clock(kStart);
  s.measuring = setup & 1;
  s.collecting = (setup >> 1) & 1;
  s.buzzerEcho = (setup >> 2) & 1;
  const PortRead atEnd = (setup & 8) != 0 ? PortRead::Failed : PortRead::Timeout;
  s.retryMode = (setup >> 4) % 3;
  s.maxRetries = 1 + (setup >> 6);
  // A collection already under way, its samples consistent with the clock.
  const int stored = ring & 0x3F;
  s.ringWrite = ring;
  s.ringSeconds = ring;
  s.storedSamples = stored;
  s.collectStart = kStart - stored;
  s.lastFrameTime = kStart;

  SliceOfBytes port;
  LinkContext ctx(s, port, canceller, clock);
  std::size_t at = 2;
  for (int reception = 0; reception < 64 && at + 2 <= size; ++reception) {
    const std::uint8_t awaited = kCodes[data[at] % kCodeCount];
    clock.Advance(data[at] / kCodeCount % 8);
    std::size_t n = data[at + 1];
    at += 2;
    if (n > size - at) n = size - at;
    port.Load(data + at, n, atEnd);
    at += n;

    const std::uint32_t writeBefore = s.ringWrite.load();
    const std::uint32_t secondsBefore = s.ringSeconds.load();
    const int storedBefore = s.storedSamples.load();
    ctx.interBytePauses = 0;
    s.responseError = 0;  // as the command exchange does before each reception
    const Reply reply = ReceiveReply(ctx, awaited);

    Require(port.Consumed() <= n, "read past the slice");
    Require(ctx.interBytePauses == port.Pauses(), "a pause went uncounted");
    Require(static_cast<std::size_t>(port.Pauses()) <= port.Consumed(),
            "more pauses than bytes read");
    if (reply.hasByte) {
      Require(awaited == kCodeGetBuzzer || awaited == kCodeGetPowerStatus,
              "a status byte for a command that returns none");
      Require(s.responseError.load() == 0, "a status byte with a failed reception");
      Require(s.echoConfirmed.load() == 1, "a status byte without the echo confirmed");
      const std::size_t used = port.Consumed();
      Require(used >= 3, "a status byte from fewer than three bytes");
      const std::uint8_t* last = port.Start() + used - 3;
      Require(last[0] == awaited && last[1] == 1 && last[2] == reply.byte,
              "a status byte that is not the data of the reply frame just read");
      if (awaited == kCodeGetBuzzer) {
        Require((reply.byte & 1) == s.buzzerEcho.load(), "a buzzer reply against the echo");
      }
    }

    const std::uint32_t write = s.ringWrite.load();
    const int added = s.storedSamples.load() - storedBefore;
    Require(added >= 0, "stored samples went down");
    Require(s.ringSeconds.load() - secondsBefore == static_cast<std::uint32_t>(added),
            "the ring's seconds do not follow the stored samples");
    Require(write - writeBefore <= static_cast<std::uint32_t>(added),
            "more entries than seconds stored");
    std::uint32_t next = secondsBefore;
    for (std::uint32_t k = writeBefore; k != write && k - writeBefore < kSampleRingSize; ++k) {
      const LinkSample& e = s.sampleRing[RingIndex(k)];
      const double count = e.count.load();
      const int missing = e.missing.load();
      Require(e.firstSecond.load() == next, "an entry that does not follow the one before");
      next += e.seconds.load();
      Require(IsFlag(missing), "missing flag not 0 or 1");
      if (missing == 1) {
        Require(count == 0.0, "a missing second with a count");
      } else {
        Require(e.seconds.load() == 1, "a counted entry for more than one second");
        Require(count >= 0.0 && count <= kMaxCount && count == static_cast<int>(count),
                "a count that no frame can carry");
      }
    }
    Require(IsFlag(s.responseError.load()) && IsFlag(s.collecting.load()) &&
                IsFlag(s.limitReached.load()) && IsFlag(s.echoConfirmed.load()),
            "a flag outside 0 and 1");
    Require(s.linkStatus.load() >= kLinkNone && s.linkStatus.load() <= kLinkRetriesExhausted,
            "link status outside its values");
  }
  return 0;
}
