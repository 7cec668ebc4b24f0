#pragma once
// Keeps the computer from sleeping while a measurement runs: a logind
// inhibitor lock ("sleep:idle", mode "block") taken over the system bus and
// held as the file descriptor logind hands back; closing it releases the
// lock. Without logind (no system bus, a container) taking it fails with a
// reason and the program goes on.

#include <string>

namespace velrix {

class SleepInhibitor {
 public:
  SleepInhibitor() = default;
  ~SleepInhibitor() { Release(); }
  SleepInhibitor(const SleepInhibitor&) = delete;
  SleepInhibitor& operator=(const SleepInhibitor&) = delete;

  // Takes the lock if not held; false with a reason in *why when logind
  // cannot be asked.
  bool Take(const std::string& who, const std::string& reason, std::string* why);
  void Release();
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace velrix
