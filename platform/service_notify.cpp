#include "platform/service_notify.h"

#include <systemd/sd-daemon.h>

namespace velrix {

std::uint64_t ServiceWatchdogMicroseconds() {
  std::uint64_t usec = 0;
  // 0: keep the variables, for a program that asks again.
  return sd_watchdog_enabled(0, &usec) > 0 ? usec : 0;
}

bool NotifyServiceManager(const std::string& state) {
  return sd_notify(0, state.c_str()) > 0;
}

}  // namespace velrix
