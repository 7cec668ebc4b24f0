#include "platform/stop_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>

namespace velrix {
namespace {

int g_pipe[2] = {-1, -1};

extern "C" void OnStopSignal(int) {
  const char byte = 1;
  // Only async-signal-safe calls here; a full pipe already wakes the reader.
  [[maybe_unused]] const ssize_t n = write(g_pipe[1], &byte, 1);
}

}  // namespace

int StopSignalDescriptor() {
  if (g_pipe[0] >= 0) return g_pipe[0];
  if (pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  return g_pipe[0];
}

void DrainStopSignal(int fd) {
  char buffer[64];
  while (read(fd, buffer, sizeof buffer) > 0) {
  }
}

}  // namespace velrix
