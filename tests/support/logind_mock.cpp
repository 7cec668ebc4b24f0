#include "tests/support/logind_mock.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

extern char** environ;

namespace velrix::testing {
namespace {

// Wide: the daemon and a Python interpreter start on a loaded machine.
constexpr auto kStartLimit = std::chrono::seconds(30);

// Both programs talk on their standard streams (every call the mock takes);
// that goes to `log`, not into the test's output.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
            const std::string& log) {
  std::vector<std::string> env = extraEnv;
  for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
  std::vector<char*> args, envp;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  args.push_back(nullptr);
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = -1;
  const int r = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  return r == 0 ? pid : -1;
}

void Stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

// Calls ListInhibitors on the bus at `address`.
bool ListInhibitors(const std::string& address, std::vector<std::string>* out,
                    std::string* error) {
  sd_bus* bus = nullptr;
  int r = sd_bus_new(&bus);
  if (r >= 0) r = sd_bus_set_address(bus, address.c_str());
  if (r >= 0) r = sd_bus_set_bus_client(bus, 1);
  if (r >= 0) r = sd_bus_start(bus);
  sd_bus_error e = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  if (r >= 0) {
    r = sd_bus_call_method(bus, "org.freedesktop.login1", "/org/freedesktop/login1",
                           "org.freedesktop.login1.Manager", "ListInhibitors", &e, &reply, "");
  }
  if (r >= 0) r = sd_bus_message_enter_container(reply, 'a', "(ssssuu)");
  while (r > 0) {
    const char *what = nullptr, *who = nullptr, *why = nullptr, *mode = nullptr;
    std::uint32_t uid = 0, pid = 0;
    r = sd_bus_message_read(reply, "(ssssuu)", &what, &who, &why, &mode, &uid, &pid);
    if (r > 0) out->push_back(std::string(what) + "|" + who + "|" + why + "|" + mode);
  }
  const bool ok = r >= 0;
  if (!ok) *error = e.message != nullptr ? e.message : std::strerror(-r);
  sd_bus_error_free(&e);
  sd_bus_message_unref(reply);
  sd_bus_flush_close_unref(bus);
  return ok;
}

}  // namespace

LogindMock::LogindMock() {
  const std::string address = "unix:path=" + folder_.File("system_bus");
  daemon_ = Spawn({"/usr/bin/dbus-daemon", "--config-file=/usr/share/dbus-1/session.conf",
                   "--nofork", "--nopidfile", "--address=" + address},
                  {}, folder_.File("bus.log"));
  if (daemon_ < 0) {
    error_ = "dbus-daemon could not be started";
    return;
  }
  mock_ = Spawn({"/usr/bin/python3", "-m", "dbusmock", "--system", "--template", "logind"},
                {"DBUS_SYSTEM_BUS_ADDRESS=" + address}, folder_.File("bus.log"));
  if (mock_ < 0) {
    error_ = "python3 -m dbusmock could not be started";
    return;
  }
  const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
  std::vector<std::string> locks;
  while (!ListInhibitors(address, &locks, &error_)) {
    if (std::chrono::steady_clock::now() > deadline) {
      error_ = "the logind mock did not answer: " + error_;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  error_.clear();
  address_ = address;
}

LogindMock::~LogindMock() {
  Stop(mock_);
  Stop(daemon_);
}

std::vector<std::string> LogindMock::Inhibitors() const {
  std::vector<std::string> locks;
  std::string error;
  if (!ListInhibitors(address_, &locks, &error)) return {"error: " + error};
  return locks;
}

}  // namespace velrix::testing
