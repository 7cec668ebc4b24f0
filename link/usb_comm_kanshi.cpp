#include "link/usb_comm_kanshi.h"

#include <chrono>
#include <system_error>

#include "link/device_search.h"
#include "platform/trace.h"

namespace velrix {

int SearchForLinkStart(UnitLinkState& state, const LinkConfig& config) {
  state.responseError.store(0);
  state.echoConfirmed.store(0);
  state.activityCount.store(0);
  state.detectedCount.store(0);

  const int found = SearchUnitPorts(state, config);
  if (found == 0) {
    state.linkStatus.store(kLinkNg);
    return 0;
  }

  // A stored number the search no longer finds would leave the link opening
  // a port that is gone; automatic mode tries what is there.
  const int wanted = state.comNumber.load();
  bool present = false;
  for (int i = 0; i < found; ++i) present = present || state.detectedPorts[i].load() == wanted;
  if (!present) state.comNumber.store(0);
  return found;
}

LinkSupervisor::LinkSupervisor(UnitLinkState& state, const LinkConfig& config)
    : state_(state), config_(config) {}

LinkSupervisor::~LinkSupervisor() { Stop(); }

bool LinkSupervisor::Start() {
  if (thread_.joinable()) return running_.load();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = false;
  }
  running_.store(true);
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error& e) {
    running_.store(false);
    const int code = e.code().value();
    TraceF("CreateThread(usb_comm_kanshi) : error[%d(%x)]", code, static_cast<unsigned>(code));
    return false;
  }
  return true;
}

void LinkSupervisor::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool LinkSupervisor::Running() const { return running_.load(); }

bool LinkSupervisor::Pause(int milliseconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  return !wake_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                         [this] { return stopping_; });
}

void LinkSupervisor::StopCommThread(bool afterWriteFailures) {
  if (!comm_) return;
  // The port goes first so that a thread blocked in a read or write is let go.
  comm_->ClosePort();
  comm_->Stop();
  comm_.reset();
  TraceF(afterWriteFailures ? "(dead_err_cnt)TerminateThread : r=%d" : "TerminateThread : r=%d", 1);
}

void LinkSupervisor::Run() {
  for (;;) {
    if (SearchForLinkStart(state_, config_) == 0) {
      if (!Pause(kSearchRetryMs)) break;
      continue;
    }

    state_.powerCommandState.store(0);
    comm_ = std::make_unique<CommThread>(state_, config_);
    if (!comm_->Start()) {
      TraceF("CreateThread(usb_comm) : error[%d(%x)]", 0, 0u);
      comm_.reset();
      break;  // no link for the rest of the program run
    }
    commStarts_.fetch_add(1);

    if (!Watch()) break;
  }
  StopCommThread(false);
  running_.store(false);
}

bool LinkSupervisor::Watch() {
  if (!Pause(kSettleMs)) return false;
  int writeFailureChecks = 0;
  int idleSeconds = 0;
  // Checks keep a steady one-second cadence however long a check takes.
  auto next = std::chrono::steady_clock::now();
  for (;;) {
    next += std::chrono::milliseconds(kCheckIntervalMs);
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (wake_.wait_until(lock, next, [this] { return stopping_; })) return false;
    }

    if (state_.dead_err_cnt.load() > 0) {
      if (++writeFailureChecks > kWriteFailureChecks) {
        StopCommThread(true);
        state_.echoConfirmed.store(0);
        writeFailureRestarts_.fetch_add(1);
        if (!Pause(kWriteFailurePauseMs)) return false;
        state_.dead_err_cnt.store(0);
        return true;
      }
    } else {
      writeFailureChecks = 0;
    }

    if (state_.activityCount.exchange(0) != 0) {
      idleSeconds = 0;
      continue;
    }
    if (++idleSeconds > kSilentChecks) {
      StopCommThread(false);
      state_.echoConfirmed.store(0);
      silenceRestarts_.fetch_add(1);
      return Pause(kSilencePauseMs);
    }
  }
}

int StartLinkThreads(LinkSupervisor& supervisor) { return supervisor.Start() ? 0 : 1; }

}  // namespace velrix
