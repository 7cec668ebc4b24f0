#include "sim/sim_unit.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/c_format.h"
#include "platform/pty.h"
#include "platform/scaled_clock.h"
#include "sim/sim_protocol.h"

namespace velrix::sim {
namespace {

using SteadyClock = std::chrono::steady_clock;

// The unit sends its frame a little after the wall-clock second changes, so
// that the PC, which stamps a frame with the second it arrives in, sees it
// well inside the new second.
constexpr int kFrameOffsetMs = 20;
// A fast unit clock squeezes its extra frame into the same second.
constexpr int kExtraFrameAfterMs = 400;
// The thread never sleeps longer than this many milliseconds of the unit's
// clock. Every wait is cut to the next reply, frame or scheduled change, and
// Stop() and injected bytes wake it, so this is only a safety net; kept at a
// unit second, an idle simulated unit costs next to nothing, which matters
// when `velrix --simulate` is measured for its own cost.
constexpr int kLongestWaitMs = 1000;
// A write that the PC side does not drain in this time is dropped, as a unit
// whose host stopped reading loses bytes instead of stalling.
constexpr int kWriteTimeoutMs = 100;
// Observation records stay bounded in a unit that runs for days; the oldest
// entries go first.
constexpr std::size_t kMaxTranscriptChunks = 200000;
constexpr std::size_t kMaxPcBytes = 4u << 20;
constexpr std::size_t kMaxCountsKept = 1000000;

std::int64_t WallClockMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

template <typename Container>
void KeepNewest(Container* c, std::size_t limit) {
  if (c->size() > limit) c->erase(c->begin(), c->begin() + (c->size() - limit));
}

}  // namespace

struct SimUnit::Impl {
  explicit Impl(SimConfig c)
      : config(std::move(c)),
        limit(config.limitFlag),
        replyDelayMs(config.replyDelayMs),
        counts(config.counts) {
    unit.batteryLow = config.batteryLow;
    unit.solarReached = config.solarReached;
    unit.wrongBuzzerEcho = config.wrongBuzzerEcho;
    unit.startCountLongForm = config.startCountLongForm;
  }

  // Fixed for the unit's life.
  const SimConfig config;

  // Serialises Start, Stop and HangUp.
  std::mutex lifecycle;

  // Everything below that both the unit's thread and callers touch.
  mutable std::mutex mutex;
  UnitState unit;
  bool silent = false;
  bool limit;
  int replyDelayMs;
  CountGenerator counts;
  std::vector<std::uint8_t> injected;
  std::deque<int> countsSent;
  std::deque<WireChunk> transcript;
  std::deque<std::uint8_t> fromPc;
  std::array<int, 256> commandCounts{};
  std::string slavePath;
  bool linkMade = false;
  std::FILE* sentLog = nullptr;  // SimConfig::sentLogPath, open while running

  // Owned by the unit's thread while it runs; by the caller of Stop() after.
  PtyEnds pty;
  WakePipe wake;
  std::thread thread;
  std::atomic<bool> running{false};
  std::atomic<bool> stopWanted{false};

  // The thread's own pace-keeping.
  struct PendingReply {
    SteadyClock::time_point due;
    Frame frame;
  };
  FrameSplitter splitter;
  std::deque<PendingReply> pending;
  std::int64_t lastSecond = 0;
  long tick = 0;
  std::int64_t extraDueMs = -1;
  long framesSent = 0;

  // The unit's clock in milliseconds since 1970, and a span of it in real
  // milliseconds.
  std::int64_t ClockMs() const {
    return config.clock != nullptr ? config.clock->NowMs() : WallClockMs();
  }
  std::int64_t RealMs(std::int64_t clockMs) const {
    return config.clock != nullptr ? config.clock->RealSpanMs(clockMs) : clockMs;
  }
  int Scale() const { return config.clock != nullptr ? config.clock->Scale() : 1; }

  bool MakeLink(std::string* error);
  void RemoveLink();
  void Run();
  bool ApplyDueChanges(double elapsedSeconds, std::size_t* next,
                       const std::vector<TimedChange>& schedule);
  void WriteInjected();
  void SendDueReplies();
  void TickCounting();
  void SendCountFrame();
  void ReadFromPc();
  void SendFrame(const std::vector<std::uint8_t>& frame, int countSent);
  std::size_t Write(const std::vector<std::uint8_t>& bytes, int countSent = -1);
  int NextWaitMs(SteadyClock::time_point started, std::size_t nextChange,
                 const std::vector<TimedChange>& schedule) const;
};

bool SimUnit::Impl::MakeLink(std::string* error) {
  namespace fs = std::filesystem;
  const std::string& link = config.linkPath;
  std::error_code ec;
  const fs::file_status st = fs::symlink_status(link, ec);
  if (fs::exists(st)) {
    // Only an earlier link is ours to replace; a real file there is not.
    if (!fs::is_symlink(st)) {
      if (error) *error = link + " exists and is not a symbolic link";
      return false;
    }
    fs::remove(link, ec);
    if (ec) {
      if (error) *error = "cannot replace " + link + ": " + ec.message();
      return false;
    }
  }
  fs::create_symlink(slavePath, link, ec);
  if (ec) {
    if (error) *error = "cannot create " + link + ": " + ec.message();
    return false;
  }
  linkMade = true;
  return true;
}

void SimUnit::Impl::RemoveLink() {
  namespace fs = std::filesystem;
  std::lock_guard<std::mutex> lock(mutex);
  if (!linkMade) return;
  linkMade = false;
  std::error_code ec;
  // A later unit may have taken the name over; its link stays.
  if (fs::is_symlink(fs::symlink_status(config.linkPath, ec)) &&
      fs::read_symlink(config.linkPath, ec).string() == slavePath) {
    fs::remove(config.linkPath, ec);
  }
}

std::size_t SimUnit::Impl::Write(const std::vector<std::uint8_t>& bytes, int countSent) {
  if (bytes.empty() || pty.master < 0) return 0;
  // The record is made under the same lock as the write, so that whoever has
  // read the bytes on the PC side also finds them in the observations.
  std::lock_guard<std::mutex> lock(mutex);
  const std::size_t written = WriteWithin(pty.master, bytes.data(), bytes.size(), kWriteTimeoutMs);
  if (written > 0) {
    transcript.push_back({false, {bytes.begin(), bytes.begin() + written}});
    KeepNewest(&transcript, kMaxTranscriptChunks);
  }
  if (written == bytes.size() && countSent >= 0) {
    countsSent.push_back(countSent);
    KeepNewest(&countsSent, kMaxCountsKept);
    if (sentLog != nullptr) {
      char line[48];
      const int n = CFormat(line, sizeof line, "%lld %d\n",
                            static_cast<long long>(ClockMs() / 1000), countSent);
      // Flushed line by line: a unit killed mid-run still leaves what it sent.
      if (n > 0) {
        std::fwrite(line, 1, static_cast<std::size_t>(n), sentLog);
        std::fflush(sentLog);
      }
    }
  }
  return written;
}

void SimUnit::Impl::SendFrame(const std::vector<std::uint8_t>& frame, int countSent) {
  Write(frame, countSent);
  ++framesSent;
  if (config.strayEvery > 0 && !config.strayBytes.empty() &&
      framesSent % config.strayEvery == 0) {
    Write(config.strayBytes);
  }
}

bool SimUnit::Impl::ApplyDueChanges(double elapsedSeconds, std::size_t* next,
                                    const std::vector<TimedChange>& schedule) {
  std::lock_guard<std::mutex> lock(mutex);
  for (; *next < schedule.size() && schedule[*next].at <= elapsedSeconds; ++*next) {
    switch (schedule[*next].what) {
      case TimedChange::What::BatteryLow: unit.batteryLow = true; break;
      case TimedChange::What::BatteryNormal: unit.batteryLow = false; break;
      case TimedChange::What::SolarReached: unit.solarReached = true; break;
      case TimedChange::What::SolarInsufficient: unit.solarReached = false; break;
      case TimedChange::What::LimitOn: limit = true; break;
      case TimedChange::What::LimitOff: limit = false; break;
      case TimedChange::What::SilenceOn: silent = true; break;
      case TimedChange::What::SilenceOff: silent = false; break;
      case TimedChange::What::HangUp: ++*next; return true;
    }
  }
  return false;
}

void SimUnit::Impl::WriteInjected() {
  std::vector<std::uint8_t> bytes;
  {
    std::lock_guard<std::mutex> lock(mutex);
    bytes.swap(injected);
  }
  Write(bytes);
}

void SimUnit::Impl::SendDueReplies() {
  const auto now = SteadyClock::now();
  while (!pending.empty() && pending.front().due <= now) {
    const Frame frame = std::move(pending.front().frame);
    pending.pop_front();
    std::vector<std::uint8_t> reply;
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (silent) continue;
      const bool wasCounting = unit.counting;
      reply = AnswerCommand(frame, &unit);
      if (!wasCounting && unit.counting) {
        // The first frame follows the next change of the wall-clock second.
        lastSecond = ClockMs() / 1000;
        tick = 0;
      }
      if (!unit.counting) extraDueMs = -1;
    }
    if (!reply.empty()) SendFrame(reply, -1);
  }
}

void SimUnit::Impl::SendCountFrame() {
  int count = 0;
  bool limitNow = false;
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (silent || !unit.counting) return;
    count = counts.Next();
    limitNow = limit;
  }
  SendFrame(CountFrame(count, limitNow), ClampCount(count));
}

void SimUnit::Impl::TickCounting() {
  bool counting;
  {
    std::lock_guard<std::mutex> lock(mutex);
    counting = unit.counting;
  }
  if (!counting) {
    extraDueMs = -1;
    return;
  }
  const std::int64_t nowMs = ClockMs();
  const std::int64_t second = nowMs / 1000;
  if (second != lastSecond && nowMs % 1000 >= kFrameOffsetMs) {
    lastSecond = second;
    ++tick;
    const int frames = FramesInSecond(tick, config.fastEvery, config.slowEvery);
    if (frames >= 1) SendCountFrame();
    if (frames >= 2) extraDueMs = nowMs + kExtraFrameAfterMs;
  }
  if (extraDueMs >= 0 && nowMs >= extraDueMs) {
    extraDueMs = -1;
    SendCountFrame();
  }
}

void SimUnit::Impl::ReadFromPc() {
  std::uint8_t buffer[512];
  const ReadOutcome got = ReadAvailable(pty.master, buffer, sizeof buffer);
  if (got.status != ReadStatus::Data) return;
  std::vector<Frame> frames;
  splitter.Feed(buffer, got.bytes, &frames);
  std::lock_guard<std::mutex> lock(mutex);
  transcript.push_back({true, {buffer, buffer + got.bytes}});
  KeepNewest(&transcript, kMaxTranscriptChunks);
  fromPc.insert(fromPc.end(), buffer, buffer + got.bytes);
  KeepNewest(&fromPc, kMaxPcBytes);
  for (Frame& frame : frames) {
    ++commandCounts[frame.code];
    if (silent) continue;  // a silent unit reads and drops
    auto due = SteadyClock::now() + std::chrono::milliseconds(std::max(0, replyDelayMs));
    // Replies leave in the order the commands came, whatever the delay did.
    if (!pending.empty()) due = std::max(due, pending.back().due);
    pending.push_back({due, std::move(frame)});
  }
}

int SimUnit::Impl::NextWaitMs(SteadyClock::time_point started, std::size_t nextChange,
                              const std::vector<TimedChange>& schedule) const {
  using std::chrono::milliseconds;
  std::int64_t wait = RealMs(kLongestWaitMs);
  const auto now = SteadyClock::now();
  if (!pending.empty()) {
    wait = std::min<std::int64_t>(
        wait, std::chrono::duration_cast<milliseconds>(pending.front().due - now).count());
  }
  if (nextChange < schedule.size()) {
    // The schedule counts the unit's seconds.
    const auto at = started + std::chrono::duration_cast<SteadyClock::duration>(
                                  std::chrono::duration<double>(schedule[nextChange].at / Scale()));
    wait = std::min<std::int64_t>(wait, std::chrono::duration_cast<milliseconds>(at - now).count());
  }
  bool counting;
  {
    std::lock_guard<std::mutex> lock(mutex);
    counting = unit.counting;
  }
  if (counting) {
    const std::int64_t nowMs = ClockMs();
    const std::int64_t second = nowMs / 1000;
    const std::int64_t target = (second == lastSecond ? second + 1 : second) * 1000 + kFrameOffsetMs;
    wait = std::min(wait, RealMs(target - nowMs));
    if (extraDueMs >= 0) wait = std::min(wait, RealMs(extraDueMs - nowMs));
  }
  // Never a zero wait: whatever is due was handled just before, and a
  // millisecond keeps a late clock from turning the loop into a spin.
  return static_cast<int>(std::max<std::int64_t>(wait, 1));
}

void SimUnit::Impl::Run() {
  const auto started = SteadyClock::now();
  std::vector<TimedChange> schedule = config.schedule;
  std::stable_sort(schedule.begin(), schedule.end(),
                   [](const TimedChange& a, const TimedChange& b) { return a.at < b.at; });
  std::size_t nextChange = 0;
  bool hungUp = false;

  while (!stopWanted.load()) {
    const double elapsed =
        std::chrono::duration<double>(SteadyClock::now() - started).count() * Scale();
    if (ApplyDueChanges(elapsed, &nextChange, schedule)) {
      hungUp = true;
      break;
    }
    WriteInjected();
    SendDueReplies();
    TickCounting();

    const int waitMs = NextWaitMs(started, nextChange, schedule);
    switch (WaitReadable(pty.master, wake.readEnd, waitMs)) {
      case WaitResult::Readable:
        ReadFromPc();
        break;
      case WaitResult::Woken:
        DrainWake(wake);
        break;
      case WaitResult::HangUp:
      case WaitResult::Failed:
        // Cannot happen while our own slave descriptor is open; should it
        // anyway, wait on the wake pipe alone instead of spinning.
        if (WaitReadable(wake.readEnd, -1, waitMs) == WaitResult::Readable) DrainWake(wake);
        break;
      case WaitResult::Timeout:
        break;
    }
  }

  // Stop and hang-up look the same to the PC: the master goes away, and with
  // our slave descriptor closed too the PC's reads see the hang-up.
  ClosePty(&pty);
  pending.clear();
  {
    std::lock_guard<std::mutex> lock(mutex);
    unit.counting = false;
  }
  if (hungUp) RemoveLink();
  running.store(false);
}

SimUnit::SimUnit(SimConfig config) : impl_(std::make_unique<Impl>(std::move(config))) {}

SimUnit::~SimUnit() { Stop(); }

bool SimUnit::Start(std::string* error) {
  Impl& d = *impl_;
  std::lock_guard<std::mutex> life(d.lifecycle);
  if (d.running.load()) {
    if (error) *error = "the simulated unit is already running";
    return false;
  }
  // A unit that hung up on its own schedule left a finished thread behind.
  if (d.thread.joinable()) d.thread.join();
  CloseWakePipe(&d.wake);
  ClosePty(&d.pty);

  if (!d.config.sentLogPath.empty() && d.sentLog == nullptr) {
    d.sentLog = std::fopen(d.config.sentLogPath.c_str(), "ae");
    if (d.sentLog == nullptr) {
      if (error) *error = "cannot open " + d.config.sentLogPath + " for appending";
      return false;
    }
  }
  PtyEnds pty;
  if (!OpenPty(&pty, error)) return false;
  WakePipe wake;
  if (!OpenWakePipe(&wake, error)) {
    ClosePty(&pty);
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(d.mutex);
    d.slavePath = pty.slavePath;
    if (!d.config.linkPath.empty() && !d.MakeLink(error)) {
      ClosePty(&pty);
      CloseWakePipe(&wake);
      return false;
    }
    d.unit.counting = false;
  }
  d.pty = pty;
  d.wake = wake;
  d.splitter = FrameSplitter{};
  d.pending.clear();
  d.extraDueMs = -1;
  d.framesSent = 0;
  d.stopWanted.store(false);
  d.running.store(true);
  try {
    d.thread = std::thread([&d] { d.Run(); });
  } catch (const std::system_error& e) {
    d.running.store(false);
    ClosePty(&d.pty);
    CloseWakePipe(&d.wake);
    d.RemoveLink();
    if (error) *error = std::string("cannot start the unit's thread: ") + e.what();
    return false;
  }
  return true;
}

void SimUnit::Stop() {
  Impl& d = *impl_;
  std::lock_guard<std::mutex> life(d.lifecycle);
  d.stopWanted.store(true);
  SignalWake(d.wake);
  if (d.thread.joinable()) d.thread.join();
  ClosePty(&d.pty);
  CloseWakePipe(&d.wake);
  d.RemoveLink();
  if (d.sentLog != nullptr) {
    std::fclose(d.sentLog);
    d.sentLog = nullptr;
  }
}

void SimUnit::HangUp() { Stop(); }

std::string SimUnit::DevicePath() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->config.linkPath.empty() ? impl_->slavePath : impl_->config.linkPath;
}

bool SimUnit::Running() const { return impl_->running.load(); }

void SimUnit::SetSilent(bool silent) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->silent = silent;
}

void SimUnit::SetLimitFlag(bool on) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->limit = on;
}

void SimUnit::SetBatteryLow(bool low) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->unit.batteryLow = low;
}

void SimUnit::SetSolarReached(bool reached) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->unit.solarReached = reached;
}

void SimUnit::SetWrongBuzzerEcho(bool wrong) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->unit.wrongBuzzerEcho = wrong;
}

void SimUnit::InjectBytes(const std::vector<std::uint8_t>& bytes) {
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->injected.insert(impl_->injected.end(), bytes.begin(), bytes.end());
  }
  SignalWake(impl_->wake);
}

bool SimUnit::Counting() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->unit.counting;
}

int SimUnit::BuzzerOff() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->unit.buzzerOff;
}

int SimUnit::PowerPaths() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->unit.powerPaths;
}

std::vector<int> SimUnit::CountsSent() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return {impl_->countsSent.begin(), impl_->countsSent.end()};
}

std::vector<WireChunk> SimUnit::Transcript() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return {impl_->transcript.begin(), impl_->transcript.end()};
}

std::vector<std::uint8_t> SimUnit::ReceivedFromPc() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return {impl_->fromPc.begin(), impl_->fromPc.end()};
}

int SimUnit::CommandsReceived(std::uint8_t code) const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->commandCounts[code];
}

}  // namespace velrix::sim
