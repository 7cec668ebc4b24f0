#pragma once
// The recorder as a systemd service of Type=notify with WatchdogSec=: it
// says when its start-up is done, keeps a status line naming the link's
// state and the file being recorded, and sends the watchdog's keep-alive
// only from the loop, after a cycle tick has really run. A cycle that hangs
// (a data folder on a disk that stopped answering, a deadlock) therefore
// lets the watchdog expire, and systemd restarts the service. Outside a
// service every call does nothing.

#include <chrono>
#include <cstdint>
#include <string>

namespace velrix {

class ServiceWatch {
 public:
  ServiceWatch();
  void Ready(const std::string& status);
  // After each tick that ran: the status when it changed, and a keep-alive
  // when a quarter of the watchdog's time-out has passed since the last.
  void CycleRan(const std::string& status);
  void Stopping();

 private:
  std::chrono::steady_clock::duration keepAliveEvery_{};
  std::chrono::steady_clock::time_point lastKeepAlive_{};
  bool watched_ = false;
  std::string status_;
};

}  // namespace velrix
