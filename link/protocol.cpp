#include "link/protocol.h"

#include <algorithm>
#include <array>
#include <chrono>

#include "platform/trace.h"

namespace velrix {
namespace {

constexpr char kResponseNgTrace[] = "[%02x-%02x]rc=%d レスポンスNG";
constexpr char kStatusReadTrace[] = "DO設定リード／DIリード OK( %02x )";
constexpr char kReceiveFailedTrace[] = "謎側受信タイムアウト cmd=%02x";
constexpr char kSendErrorTrace[] = "Send Error [%d(%x)]";
// Where seconds are marked missing or frames let fall: what a long run's
// record needs to tell a late frame from a lost one afterwards.
// Seconds are those of the calendar clock, as the unit's log has them.
constexpr char kGapTrace[] = "gap: %d missing second(s) before %lld (%s)";
constexpr char kStaleFrameTrace[] = "count frame read at %lld lay queued behind a gap: "
                                    "dropped with what is queued behind it";
constexpr char kEarlyFrameTrace[] = "count frame read at %lld is more than a second early: "
                                    "dropped";

// Result codes of the response trace: a code byte that was not expected, and
// a frame that cannot fit the frame buffer.
constexpr int kRcUnexpectedCode = 1;
constexpr int kRcFrameTooLong = 2;

// A whole count frame on the wire: code, length and two data bytes.
constexpr int kCountFrameBytes = 2 + kCountFrameLength;
// One entry's run of missing seconds is capped far above any real gap
// (68 years).
constexpr ClockSeconds kMaxMissingRun = 0x7FFFFFFF;

constexpr std::uint8_t kCountLowMask = 0xFF;
constexpr std::uint8_t kCountHighMask = 0x1F;
constexpr std::uint8_t kLimitBit = 0x20;

// How long a reply other than a count frame is waited for while bytes keep
// coming: the span of one read's time-out, in real milliseconds as the
// port's time-outs are.
constexpr int kReplyWaitMs = kReadTotalPerByteMs + kReadTotalConstantMs;

constexpr std::uint8_t kStatusChargingOff = 0x01;
constexpr std::uint8_t kStatusBatteryOff = 0x02;
constexpr std::uint8_t kStatusBatteryLow = 0x10;
constexpr std::uint8_t kStatusSolarReached = 0x20;

const char* FormName(GapCheckForm form) {
  switch (form) {
    case GapCheckForm::CountFrame: return "count frame";
    case GapCheckForm::Timeout: return "read time-out";
    case GapCheckForm::ReadFailure: return "read failure";
    case GapCheckForm::MainLoop: return "main loop";
  }
  return "?";
}

// The retry settings say the command (or run of missing seconds) has had
// enough tries.
bool RetriesExhausted(const UnitLinkState& s, int triesSoFar) {
  const int mode = s.retryMode.load();
  if (mode == 0) return true;
  if (mode == 1) return triesSoFar >= s.maxRetries.load();
  return false;
}

void RaiseToMax(std::atomic<int>& maximum, int value) {
  if (value > maximum.load()) maximum.store(value);
}

void DemoteLinkOk(UnitLinkState& s) {
  int ok = kLinkOk;
  s.linkStatus.compare_exchange_strong(ok, kLinkNg);
}

Reply Failure(UnitLinkState& s) {
  s.responseError.store(1);
  return {};
}

// A reception whose read time-out passed without a byte.
Reply ReceptionTimedOut(LinkContext& ctx) {
  UnitLinkState& s = ctx.state;
  if (s.measuring.load() != 0 || s.collecting.load() != 0) {
    GapCheck(s, ctx.Elapsed(), ctx.Now(), GapCheckForm::Timeout);
  }
  // The unit stops sending frames once counting stops; the silence after the
  // last one is the normal end of a measurement's collection.
  if (s.measuring.load() == 0 && s.collecting.load() == 1) {
    s.collecting.store(0);
    return {};
  }
  return Failure(s);
}

// A reception in which the port itself failed.
Reply ReceptionFailed(LinkContext& ctx, std::uint8_t awaitedCode) {
  UnitLinkState& s = ctx.state;
  if (s.measuring.load() != 0 || s.collecting.load() != 0) {
    GapCheck(s, ctx.Elapsed(), ctx.Now(), GapCheckForm::ReadFailure);
  }
  TraceF(kReceiveFailedTrace, awaitedCode);
  return Failure(s);
}

}  // namespace

int CountOfFrame(std::uint8_t low, std::uint8_t high) {
  return ((high & kCountHighMask) << 8) | (low & kCountLowMask);
}

int LimitFlagOfFrame(std::uint8_t high) { return (high & kLimitBit) != 0 ? 1 : 0; }

void PublishEntry(UnitLinkState& s, double count, std::uint8_t missing, std::uint8_t power,
                  std::uint32_t seconds) {
  const std::uint32_t written = s.ringWrite.load(std::memory_order_relaxed);
  const std::uint32_t before = s.ringSeconds.load(std::memory_order_relaxed);
  LinkSample& entry = s.sampleRing[RingIndex(written)];
  entry.count.store(count, std::memory_order_relaxed);
  entry.missing.store(missing, std::memory_order_relaxed);
  entry.power.store(power, std::memory_order_relaxed);
  entry.seconds.store(seconds, std::memory_order_relaxed);
  entry.firstSecond.store(before, std::memory_order_relaxed);
  s.ringSeconds.store(before + seconds, std::memory_order_relaxed);
  s.ringWrite.store(written + 1, std::memory_order_release);
}

void StoreSample(UnitLinkState& s, double count, std::uint8_t missing, std::uint32_t seconds) {
  PublishEntry(s, count, missing, CurrentPowerStatus(s), seconds);
  s.storedSamples.fetch_add(static_cast<int>(seconds));
}

int GapCheck(UnitLinkState& s, ClockSeconds now, ClockSeconds wallNow, GapCheckForm form) {
  // After a stop the silence is the unit obeying StopCount: nothing is
  // missing, and a resync would start its counting again while idle.
  if (s.measuring.load() == 0) return 0;
  if (s.storedSamples.load() == 0) {
    s.collectStart.store(now);
    if (form == GapCheckForm::CountFrame) s.lastFrameTime.store(now);
  }
  const ClockSeconds collectStart = s.collectStart.load();
  const ClockSeconds deficit = (now - collectStart) - s.storedSamples.load();
  const bool silent = now - s.lastFrameTime.load() >= kSilenceSeconds;
  const bool behind = deficit >= 2;
  if (!silent && !behind) return 0;

  // Every second before the current one that has no sample becomes one run
  // of missing seconds, so the sample of the current second lands on its
  // own second and a gap of any length costs the ring one entry. (Filling
  // only part of the gap per pass would store the frames that arrive
  // meanwhile seconds or minutes before their own.)
  int inserted = 0;
  if (deficit > 0) {
    inserted = static_cast<int>(std::min<ClockSeconds>(deficit, kMaxMissingRun));
    StoreSample(s, 0.0, 1, static_cast<std::uint32_t>(inserted));
    TraceF(kGapTrace, inserted, static_cast<long long>(wallNow), FormName(form));
    const int missing = s.consecutiveMissing.fetch_add(inserted) + inserted;
    RaiseToMax(s.maxRetryCount, missing);
    if ((form == GapCheckForm::CountFrame || form == GapCheckForm::Timeout) &&
        RetriesExhausted(s, missing)) {
      s.linkStatus.store(kLinkRetriesExhausted);
    }
  }
  s.lastRetryTime.store(wallNow);
  if (form != GapCheckForm::CountFrame) {
    s.resyncWanted.store(1);
    s.lastFrameTime.store(now);
  }
  return inserted;
}

FrameOutcome HandleCountFrame(UnitLinkState& s, const Clock& clock, std::uint8_t low,
                              std::uint8_t high, bool backlogQueued) {
  const ClockSeconds now = clock.ElapsedSeconds();
  FrameOutcome outcome = FrameOutcome::Ignored;
  if (s.collecting.load() == 1) {
    if (s.storedSamples.load() == 0) {
      s.collectStart.store(now);
      s.lastFrameTime.store(now);
    }
    // Seconds already given up as missing since the last frame: a read
    // time-out ran out while the frames were held up on the computer's side
    // (a stalled program or driver) and now come all at once.
    const bool afterGap = s.consecutiveMissing.load() > 0;
    const int inserted = GapCheck(s, now, clock.Now(), GapCheckForm::CountFrame);
    if ((inserted > 0 || afterGap) && backlogQueued) {
      // Queued behind a gap: sent while this program could not read. Its
      // second is unknown; counting starts again from the next frame.
      s.resyncWanted.store(1);
      outcome = FrameOutcome::Stale;
      TraceF(kStaleFrameTrace, static_cast<long long>(clock.Now()));
    } else if (now - s.collectStart.load() >= s.storedSamples.load() - 1) {
      // A unit whose clock runs ahead would push the samples past the wall
      // clock; a frame more than one second early is dropped.
      if (s.storedSamples.load() == 0) s.collectStart.store(now);
      s.limitReached.store(LimitFlagOfFrame(high));
      StoreSample(s, static_cast<double>(CountOfFrame(low, high)), 0);
      outcome = FrameOutcome::Stored;
    } else {
      outcome = FrameOutcome::Early;
      TraceF(kEarlyFrameTrace, static_cast<long long>(clock.Now()));
    }
    if (s.measuring.load() == 0) s.collecting.store(0);
  } else if (s.measuring.load() == 1) {
    // The first frame after a start may carry a partial second: it only
    // opens the collection.
    s.collecting.store(1);
    outcome = FrameOutcome::Opened;
  }
  s.consecutiveMissing.store(0);
  s.lastFrameTime.store(now);
  return outcome;
}

void ApplyPowerStatus(UnitLinkState& s, std::uint8_t status) {
  s.chargingOn.store((status & kStatusChargingOff) != 0 ? 0 : 1);
  s.batterySupplyOn.store((status & kStatusBatteryOff) != 0 ? 0 : 1);
  s.batteryLow.store((status & kStatusBatteryLow) != 0 ? 1 : 0);
  s.solarReached.store((status & kStatusSolarReached) != 0 ? 1 : 0);
}

Reply ReceiveReply(LinkContext& ctx, std::uint8_t awaitedCode) {
  enum class Parse { Code, Length, Data, Held };
  UnitLinkState& s = ctx.state;
  std::array<std::uint8_t, kFrameBufferSize> frame{};
  std::size_t used = 0;
  Parse parse = Parse::Code;
  std::uint8_t code = 0;
  int length = 0;

  // While counting, a frame arrives every second, well inside the read
  // time-out, so a reply the unit never sends (a command it dropped while it
  // was silent, a reply a stray byte swallowed) would be waited for without
  // end: the command is never retried, the heartbeat stops, and the
  // supervisor restarts the link after twenty seconds, losing the seconds of
  // the restart. The wait therefore ends as a missing reply once a read
  // time-out's span has passed; the frames met meanwhile are stored, so no
  // gap check runs. It ends only where a frame or a dropped byte has just
  // ended, so the next reception starts on a frame's first byte.
  const auto replyDue = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReplyWaitMs);
  const auto replyOverdue = [&] {
    return awaitedCode != kCodeCountFrame && std::chrono::steady_clock::now() >= replyDue;
  };
  for (;;) {
    std::uint8_t byte = 0;
    const PortRead read = ctx.port.ReadByte(&byte);
    // A thread being stopped leaves the shared record as it was.
    if (ctx.Stopping()) return {};
    if (read == PortRead::Timeout) return ReceptionTimedOut(ctx);
    if (read == PortRead::Failed) return ReceptionFailed(ctx, awaitedCode);

    switch (parse) {
      case Parse::Code:
        if (byte != awaitedCode && byte != kCodeCountFrame) {
          // Resynchronise on the next byte at once: a stray byte costs no time.
          TraceF(kResponseNgTrace, awaitedCode, byte, kRcUnexpectedCode);
          if (replyOverdue()) return Failure(s);
          continue;
        }
        code = byte;
        frame[0] = byte;
        used = 1;
        parse = Parse::Length;
        break;

      case Parse::Length:
        length = byte;
        frame[1] = byte;
        used = 2;
        // Judged by the awaited code: the acknowledgements carry no data.
        // Neither of them begins with the count frame's code, so a count
        // frame the unit sent just before one is read whole and stored and
        // the wait goes on: taken for a wrong reply, its count would be lost
        // and its data bytes read as stray codes.
        if (awaitedCode == kCodeSetBuzzer || awaitedCode == kCodeSetPowerPaths) {
          if (code != awaitedCode && length == kCountFrameLength) {
            parse = Parse::Data;
            break;
          }
          return length != 0 ? Failure(s) : Reply{};
        }
        if (awaitedCode == kCodeStartCount && length == kStartCountLongLength) return {};
        if (length == 0) return {};
        if (2 + length > kFrameBufferSize) {
          TraceF(kResponseNgTrace, awaitedCode, code, kRcFrameTooLong);
          return Failure(s);
        }
        parse = Parse::Data;
        break;

      case Parse::Data: {
        frame[used++] = byte;
        if (static_cast<int>(used) - 2 < length) break;
        const std::uint8_t value = frame[2];
        if (code == awaitedCode && awaitedCode == kCodeGetBuzzer && length == 1 &&
            (value & 1) == s.buzzerEcho.load()) {
          s.echoConfirmed.store(1);
          return {true, value};
        }
        if (code == awaitedCode && awaitedCode == kCodeGetPowerStatus && length == 1) {
          s.echoConfirmed.store(1);
          if (value != ctx.lastTracedStatus) {
            TraceF(kStatusReadTrace, value);
            ctx.lastTracedStatus = value;
          }
          return {true, value};
        }
        if (code == kCodeCountFrame && length == kCountFrameLength) {
          const bool backlog = ctx.port.QueuedBytes() >= kCountFrameBytes;
          if (HandleCountFrame(s, ctx.clock, frame[2], frame[3], backlog) == FrameOutcome::Stale) {
            ctx.port.DiscardInput();
          }
          if (awaitedCode == kCodeCountFrame) return {};
          if (replyOverdue()) return Failure(s);
          used = 0;
          parse = Parse::Code;
          break;
        }
        // Not the reply: hold it and keep reading until the time-out ends
        // the reception.
        parse = Parse::Held;
        break;
      }

      case Parse::Held:
        if (used >= frame.size()) {
          TraceF(kResponseNgTrace, awaitedCode, code, kRcFrameTooLong);
          return Failure(s);
        }
        frame[used++] = byte;
        break;
    }
    ++ctx.interBytePauses;
    if (!ctx.Pause(kInterBytePauseMs)) return {};
  }
}

Reply SendCommand(LinkContext& ctx, std::uint8_t code, const std::vector<std::uint8_t>& data) {
  UnitLinkState& s = ctx.state;
  std::vector<std::uint8_t> frame;
  frame.reserve(data.size() + 2);
  frame.push_back(code);
  frame.push_back(static_cast<std::uint8_t>(data.size()));
  frame.insert(frame.end(), data.begin(), data.end());
  s.commandRetries.store(0);

  for (;;) {
    s.activityCount.fetch_add(1);
    s.responseError.store(0);
    int error = 0;
    if (ctx.port.Write(frame.data(), frame.size(), &error)) {
      s.dead_err_cnt.store(0);
      const Reply reply = ReceiveReply(ctx, code);
      if (ctx.Stopping()) return {};
      if (s.responseError.load() == 0) {
        if (s.echoConfirmed.load() == 1) s.linkStatus.store(kLinkOk);
        return reply;
      }
      DemoteLinkOk(s);
      if (RetriesExhausted(s, s.commandRetries.load())) {
        s.linkStatus.store(kLinkRetriesExhausted);
        return {};
      }
      if (!ctx.Pause(kReplyRetryPauseMs)) return {};
    } else {
      if (ctx.Stopping()) return {};
      TraceF(kSendErrorTrace, error, error);
      DemoteLinkOk(s);
      s.responseError.store(1);
      s.dead_err_cnt.fetch_add(1);
      if (RetriesExhausted(s, s.commandRetries.load())) {
        s.linkStatus.store(kLinkRetriesExhausted);
        return {};
      }
      if (!ctx.Pause(kWriteRetryPauseMs)) return {};
    }
    s.lastRetryTime.store(ctx.Now());
    const int retries = s.commandRetries.fetch_add(1) + 1;
    s.commandRetriesTotal.fetch_add(1);
    RaiseToMax(s.maxRetryCount, retries);
  }
}

}  // namespace velrix
