#include "measure/recorder/service_watch.h"

#include "platform/service_notify.h"

namespace velrix {
namespace {

// Keep-alives per watchdog time-out: a tick or two may be slow on a loaded
// computer without the watchdog firing.
constexpr int kKeepAlivesPerTimeout = 4;

}  // namespace

ServiceWatch::ServiceWatch() {
  const std::uint64_t usec = ServiceWatchdogMicroseconds();
  watched_ = usec > 0;
  keepAliveEvery_ = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::microseconds(usec / kKeepAlivesPerTimeout));
}

void ServiceWatch::Ready(const std::string& status) {
  status_ = status;
  NotifyServiceManager("READY=1\nSTATUS=" + status + (watched_ ? "\nWATCHDOG=1" : ""));
  lastKeepAlive_ = std::chrono::steady_clock::now();
}

void ServiceWatch::CycleRan(const std::string& status) {
  std::string state;
  if (status != status_) {
    status_ = status;
    state = "STATUS=" + status;
  }
  const auto now = std::chrono::steady_clock::now();
  if (watched_ && now - lastKeepAlive_ >= keepAliveEvery_) {
    lastKeepAlive_ = now;
    state += state.empty() ? "WATCHDOG=1" : "\nWATCHDOG=1";
  }
  if (!state.empty()) NotifyServiceManager(state);
}

void ServiceWatch::Stopping() { NotifyServiceManager("STOPPING=1\nSTATUS=stopping"); }

}  // namespace velrix
