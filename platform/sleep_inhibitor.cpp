#include "platform/sleep_inhibitor.h"

#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstring>

namespace velrix {
namespace {

constexpr char kLogindService[] = "org.freedesktop.login1";
constexpr char kLogindObject[] = "/org/freedesktop/login1";
constexpr char kLogindManager[] = "org.freedesktop.login1.Manager";
// Sleep and the idle action (which is how a desktop suspends an idle
// computer); "block" holds them off until the lock goes.
constexpr char kWhat[] = "sleep:idle";
constexpr char kMode[] = "block";

}  // namespace

bool SleepInhibitor::Take(const std::string& who, const std::string& reason, std::string* why) {
  if (fd_ >= 0) return true;
  sd_bus* bus = nullptr;
  // sd_bus_open_system honours DBUS_SYSTEM_BUS_ADDRESS.
  int r = sd_bus_open_system(&bus);
  if (r < 0) {
    if (why != nullptr) *why = std::string("no system bus: ") + std::strerror(-r);
    return false;
  }
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  r = sd_bus_call_method(bus, kLogindService, kLogindObject, kLogindManager, "Inhibit", &error,
                         &reply, "ssss", kWhat, who.c_str(), reason.c_str(), kMode);
  bool taken = false;
  if (r < 0) {
    if (why != nullptr) {
      *why = error.message != nullptr ? error.message : std::strerror(-r);
    }
  } else {
    int fd = -1;
    r = sd_bus_message_read(reply, "h", &fd);
    // The descriptor belongs to the message; the lock lives in a copy of it.
    if (r >= 0 && fd >= 0) fd_ = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    taken = fd_ >= 0;
    if (!taken && why != nullptr) *why = "logind returned no lock";
  }
  sd_bus_error_free(&error);
  sd_bus_message_unref(reply);
  sd_bus_flush_close_unref(bus);
  return taken;
}

void SleepInhibitor::Release() {
  if (fd_ < 0) return;
  close(fd_);
  fd_ = -1;
}

}  // namespace velrix
