#pragma once
// The link supervisor usb_comm_kanshi: searches the unit's ports, starts the
// communication thread and watches it once a second. When the thread's port
// writes keep failing, or its heartbeat stops, the supervisor closes the
// port, stops the thread, pauses and starts over with a new search. It runs
// for the whole life of the program; Stop() is for shut-down and tests.

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "link/unit_link_state.h"
#include "link/usb_comm.h"

namespace velrix {

// Supervision timing, in milliseconds and checks.
inline constexpr int kSearchRetryMs = 500;          // no unit found: search again after this
inline constexpr int kSettleMs = 4000;              // a new thread's time to open and handshake
inline constexpr int kCheckIntervalMs = 1000;
inline constexpr int kWriteFailureChecks = 3;       // restart when exceeded (the fourth check)
inline constexpr int kWriteFailurePauseMs = 1000;
inline constexpr int kSilentChecks = 20;            // restart when exceeded (the 21st silent second)
inline constexpr int kSilencePauseMs = 3000;

// The start of a supervision round: clears the exchange's health fields,
// searches the ports, sets linkStatus to 2 when none is found, and returns the
// COM number setting to automatic when it names no port found. Returns how
// many ports were found.
int SearchForLinkStart(UnitLinkState& state, const LinkConfig& config);

class LinkSupervisor {
 public:
  LinkSupervisor(UnitLinkState& state, const LinkConfig& config);
  ~LinkSupervisor();  // stops
  LinkSupervisor(const LinkSupervisor&) = delete;
  LinkSupervisor& operator=(const LinkSupervisor&) = delete;

  bool Start();        // false when the thread cannot be created
  void Stop();         // ends every wait at once, stops the communication thread, joins
  bool Running() const;

  // How often a communication thread was started, and how many restarts each
  // watch rule caused; for diagnosis and tests.
  int CommThreadStarts() const { return commStarts_.load(); }
  int WriteFailureRestarts() const { return writeFailureRestarts_.load(); }
  int SilenceRestarts() const { return silenceRestarts_.load(); }

 private:
  void Run();
  bool Watch();                 // the checks once a second; false when stopping
  bool Pause(int milliseconds); // false when stopping
  void StopCommThread(bool afterWriteFailures);

  UnitLinkState& state_;
  LinkConfig config_;
  std::unique_ptr<CommThread> comm_;  // touched by the supervision thread only
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;             // guarded by mutex_
  std::atomic<bool> running_{false};
  std::atomic<int> commStarts_{0};
  std::atomic<int> writeFailureRestarts_{0};
  std::atomic<int> silenceRestarts_{0};
};

// Starts the supervisor's thread. Returns 0 when it runs, 1 when it cannot be
// created (traced; the program then runs without a link).
int StartLinkThreads(LinkSupervisor& supervisor);

}  // namespace velrix
