#pragma once
// Tells the service manager how a program started as a systemd service
// fares (sd_notify): ready once start-up is done, a status line, and the
// watchdog's keep-alive. Outside a service (no NOTIFY_SOCKET) every call
// does nothing.

#include <cstdint>
#include <string>

namespace velrix {

// The watchdog's time-out in microseconds when the service manager expects
// keep-alives from this process (WatchdogSec= of the unit), else 0.
std::uint64_t ServiceWatchdogMicroseconds();

// Sends "NAME=value" lines, one per line of state ("READY=1", "WATCHDOG=1",
// "STATUS=...", "STOPPING=1"). False when nothing was sent (no service
// manager is listening, or the send failed).
bool NotifyServiceManager(const std::string& state);

}  // namespace velrix
