#pragma once
// The communication thread usb_comm: opens the unit's port, performs the
// handshake and then runs the polling loop for the rest of its life, leaving
// everything it learns in UnitLinkState. It never touches the user interface.

#include <memory>
#include <string>

#include "link/unit_link_state.h"
#include "platform/clock.h"

namespace velrix {

// How the link finds its devices; fixed for the life of the program.
struct LinkConfig {
  std::string sysfsRoot = "/sys";   // where the USB device search looks
  std::string devRoot = "/dev";     // where port device nodes live
  std::string overridePort;         // a device named with --port: the one detected port while it exists
  const Clock* clock = nullptr;     // clock seconds for the gap check; nullptr = system clock
  int timeScale = 1;                // > 1 with an accelerated clock: pacing pauses shrink
};

// One running communication thread. Stop() closes the port and cancels every
// blocking wait, then joins, so no thread is ever left behind; a new
// CommThread takes UnitLinkState over unchanged.
class CommThread {
 public:
  CommThread(UnitLinkState& state, const LinkConfig& config);
  ~CommThread();  // stops
  CommThread(const CommThread&) = delete;
  CommThread& operator=(const CommThread&) = delete;

  // Starts the thread once; false when it cannot be created (or was already
  // started or stopped). A restart takes a new CommThread.
  bool Start();
  void ClosePort();        // ends the thread's exchange: cancels it, then closes the port
  void Stop();             // close the port, cancel every wait, join; safe to repeat
  bool Finished() const;   // the thread has returned (its port could not be opened)

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velrix
