#include "link/usb_comm.h"

#include <atomic>
#include <system_error>
#include <thread>

#include "link/port_names.h"
#include "link/protocol.h"
#include "platform/canceller.h"
#include "platform/serial_port.h"

namespace velrix {
namespace {

constexpr int kHandshakeRetryPauseMs = 1000;
constexpr int kLoopPauseMs = 20;

// Opens the configured port, or the first detected one that opens when the
// setting is automatic. Records the port number in openedPort.
bool OpenUnitPort(UnitLinkState& s, const LinkConfig& config, SerialPort& port) {
  const int configured = s.comNumber.load();
  if (configured != 0) {
    s.openedPort.store(configured);
    return port.Open(PortDevicePath(config, configured));
  }
  const int detected = s.detectedCount.load();
  for (int i = 0; i < detected && i < kMaxDetectedPorts; ++i) {
    const int number = s.detectedPorts[i].load();
    s.openedPort.store(number);
    if (port.Open(PortDevicePath(config, number))) return true;
  }
  return false;
}

int BuzzerOffBit(const UnitLinkState& s) { return 1 - s.detectionBuzzer.load(); }

// Repeats until the unit takes the buzzer setting and echoes it back. Returns
// false only when the thread is being stopped. *countingStarted is set to
// whether the unit is to be counting from here on.
bool Handshake(LinkContext& ctx, bool* countingStarted) {
  UnitLinkState& s = ctx.state;
  for (;;) {
    s.buzzerEcho.store(BuzzerOffBit(s));
    SendCommand(ctx, kCodeSetBuzzer, {static_cast<std::uint8_t>(s.buzzerEcho.load())});
    if (ctx.Stopping()) return false;
    if (s.responseError.load() == 1) {
      s.activityCount.fetch_add(1);
      if (!ctx.Pause(kHandshakeRetryPauseMs)) return false;
      continue;
    }
    SendCommand(ctx, kCodeGetBuzzer, {});
    if (ctx.Stopping()) return false;
    if (s.echoConfirmed.load() != 1) {
      s.activityCount.fetch_add(1);
      if (!ctx.Pause(kHandshakeRetryPauseMs)) return false;
      continue;
    }
    break;
  }
  s.linkStatus.store(kLinkOk);
  s.comNumber.store(s.openedPort.load());
  const int measuring = s.measuring.load();
  if (measuring == 1) s.resyncWanted.store(1);
  *countingStarted = measuring != 0;
  s.collecting.store(measuring);
  return true;
}

// Start counting for a new measurement, or again after a gap.
// False when the pass ends here.
bool StartCountingIfDue(LinkContext& ctx, bool* countingStarted) {
  UnitLinkState& s = ctx.state;
  // A resync asked for just before a stop has nothing left to resume.
  if (s.measuring.load() == 0) s.resyncWanted.store(0);
  const bool resync = s.resyncWanted.load() == 1;
  if (!((s.measuring.load() == 1 && !*countingStarted) || resync)) return true;
  if (!resync) {
    s.consecutiveMissing.store(0);
    s.lastFrameTime.store(ctx.Elapsed());
  }
  SendCommand(ctx, kCodeStartCount, {});
  if (ctx.Stopping() || s.responseError.load() == 1) return false;
  if (resync) {
    s.resyncWanted.store(0);
  } else {
    *countingStarted = s.measuring.load() != 0;
  }
  return true;
}

// Stop counting when the measurement has ended. False when the pass ends here.
bool StopCountingIfDue(LinkContext& ctx, bool* countingStarted) {
  UnitLinkState& s = ctx.state;
  if (!(s.measuring.load() == 0 && *countingStarted)) return true;
  SendCommand(ctx, kCodeStopCount, {});
  if (ctx.Stopping() || s.responseError.load() == 1) return false;
  *countingStarted = s.measuring.load() != 0;
  return true;
}

// The unit gets the buzzer setting on every pass, which is
// also how a changed setting reaches it.
void SendBuzzerSetting(LinkContext& ctx) {
  UnitLinkState& s = ctx.state;
  s.buzzerEcho.store(BuzzerOffBit(s));
  s.buzzerRequest.store(0);
  SendCommand(ctx, kCodeSetBuzzer, {static_cast<std::uint8_t>(s.buzzerEcho.load())});
}

// Wait for the next count frame.
void CollectCountFrame(LinkContext& ctx, bool countingStarted) {
  UnitLinkState& s = ctx.state;
  if (!countingStarted && s.collecting.load() == 0) return;
  ReceiveReply(ctx, kCodeCountFrame);
  if (ctx.Stopping()) return;
  if (s.responseError.load() == 1) GapCheck(s, ctx.Elapsed(), ctx.Now(), GapCheckForm::MainLoop);
}

// Read the power status when its interval has passed (at once while idle).
// False when the pass ends here.
bool ReadPowerStatusIfDue(LinkContext& ctx) {
  UnitLinkState& s = ctx.state;
  const ClockSeconds now = ctx.Elapsed();
  if (s.measuring.load() != 0 && now - s.lastStatusRead.load() < s.statusReadInterval.load()) {
    return true;
  }
  s.lastStatusRead.store(now);
  const Reply reply = SendCommand(ctx, kCodeGetPowerStatus, {});
  if (ctx.Stopping() || s.responseError.load() == 1) return false;
  // A bare "50 00" can end the wait successfully without a status byte;
  // there is then nothing to decode.
  if (reply.hasByte) ApplyPowerStatus(s, reply.byte);
  int sent = 2;
  s.powerCommandState.compare_exchange_strong(sent, 0);
  return true;
}

// Main loop steps 7 and 8: the power buttons and power events. Each
// command carries both paths. When the battery command went out in this
// pass, the charging command takes the battery path from it, not from the
// last status read: the unit has not reported the first command yet, and its
// old state would have the second command undo the first.
void SendPowerRequests(LinkContext& ctx) {
  UnitLinkState& s = ctx.state;
  constexpr int kChargingOffBit = 0x01;
  constexpr int kBatteryOffBit = 0x02;
  bool batterySent = false;
  if (s.batteryRequest.load() == 1) {
    s.batteryRequest.store(0);
    const int paths = (s.batteryOffWanted.load() != 0 ? kBatteryOffBit : 0) |
                      (s.chargingOn.load() == 0 ? kChargingOffBit : 0);
    SendCommand(ctx, kCodeSetPowerPaths, {static_cast<std::uint8_t>(paths)});
    s.powerCommandState.store(2);
    if (ctx.Stopping() || s.responseError.load() == 1) return;
    batterySent = true;
  }
  if (s.chargingRequest.load() == 1) {
    s.chargingRequest.store(0);
    const bool batteryOff = batterySent ? s.batteryOffWanted.load() != 0
                                        : s.batterySupplyOn.load() == 0;
    const int paths = (batteryOff ? kBatteryOffBit : 0) |
                      (s.chargingOffWanted.load() != 0 ? kChargingOffBit : 0);
    SendCommand(ctx, kCodeSetPowerPaths, {static_cast<std::uint8_t>(paths)});
    s.powerCommandState.store(2);
  }
}

void RunMainLoop(LinkContext& ctx, bool countingStarted) {
  UnitLinkState& s = ctx.state;
  for (;;) {
    s.activityCount.fetch_add(1);
    if (!ctx.Pause(kLoopPauseMs)) return;
    if (!StartCountingIfDue(ctx, &countingStarted)) continue;
    if (!StopCountingIfDue(ctx, &countingStarted)) continue;
    SendBuzzerSetting(ctx);
    if (ctx.Stopping()) return;
    CollectCountFrame(ctx, countingStarted);
    if (ctx.Stopping()) return;
    if (!ReadPowerStatusIfDue(ctx)) continue;
    SendPowerRequests(ctx);
  }
}

}  // namespace

struct CommThread::Impl {
  Impl(UnitLinkState& s, const LinkConfig& c) : state(s), config(c), port(&canceller) {}

  void Run() {
    const Clock& clock = config.clock != nullptr ? *config.clock : DefaultClock();
    if (!OpenUnitPort(state, config, port)) {
      state.linkStatus.store(kLinkNg);
      finished.store(true);
      return;
    }
    port.Configure();
    LinkContext ctx{state, port, canceller, clock};
    ctx.timeScale = config.timeScale;
    bool countingStarted = false;
    if (Handshake(ctx, &countingStarted)) RunMainLoop(ctx, countingStarted);
    port.Close();
    finished.store(true);
  }

  UnitLinkState& state;
  const LinkConfig config;
  Canceller canceller;
  SerialPort port;
  std::thread thread;
  std::atomic<bool> finished{false};
};

CommThread::CommThread(UnitLinkState& state, const LinkConfig& config)
    : impl_(std::make_unique<Impl>(state, config)) {}

CommThread::~CommThread() { Stop(); }

bool CommThread::Start() {
  if (impl_->thread.joinable() || impl_->canceller.Cancelled()) return false;
  try {
    impl_->thread = std::thread([impl = impl_.get()] { impl->Run(); });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

// The thread is marked cancelled before its port goes: a read that fails
// because the port closed must be seen as the stop it is, never as a lost
// unit that inserts missing seconds or gives up the link.
void CommThread::ClosePort() {
  impl_->canceller.Cancel();
  impl_->port.Close();
}

void CommThread::Stop() {
  impl_->canceller.Cancel();
  impl_->port.Close();
  if (impl_->thread.joinable()) impl_->thread.join();
}

bool CommThread::Finished() const { return impl_->finished.load(); }

}  // namespace velrix
