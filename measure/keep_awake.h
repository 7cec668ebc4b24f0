#pragma once
// Holds the computer awake exactly while a measurement runs: the program's
// loop tells it each time whether one runs, and it takes or releases the
// sleep inhibitor on a change. A computer without logind cannot be held; the
// reason is reported once, and the next measurement tries again quietly.

#include <functional>
#include <string>

#include "platform/sleep_inhibitor.h"

namespace velrix {

inline constexpr char kKeepAwakeWho[] = "Velrix";
inline constexpr char kKeepAwakeWhy[] = "放射線を測定中";

class KeepAwake {
 public:
  explicit KeepAwake(std::function<void(const std::string&)> report)
      : report_(std::move(report)) {}

  void Follow(bool measuring) {
    if (measuring == wanted_) return;
    wanted_ = measuring;
    if (!measuring) {
      lock_.Release();
      return;
    }
    std::string why;
    if (!lock_.Take(kKeepAwakeWho, kKeepAwakeWhy, &why) && !reported_) {
      reported_ = true;
      if (report_) report_("the computer is not kept awake while measuring: " + why);
    }
  }
  bool Held() const { return lock_.Held(); }

 private:
  std::function<void(const std::string&)> report_;
  SleepInhibitor lock_;
  bool wanted_ = false;
  bool reported_ = false;
};

}  // namespace velrix
