#pragma once
// A launcher folder of stand-in companion files (small shell scripts with
// the real names) and a temporary folder for the driver package's monitor
// program. Every script notes its run in run.log beside it.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "launcher/launcher_actions.h"
#include "launcher/launcher_controller.h"
#include "tests/support/temp_folder.h"

namespace velrix::launcher::testing {

using velrix::testing::ReadBytes;
using velrix::testing::TempFolder;
using velrix::testing::WriteBytes;

// Where the test desktop's viewer writes the arguments it was given.
inline constexpr char kViewerLogVariable[] = "VELRIX_TEST_VIEWER_LOG";
// Generous for a loaded two-core machine; only a run that went wrong waits
// this long.
inline constexpr std::chrono::seconds kPatience{30};

class LauncherFolder : public ::testing::Test {
 protected:
  LauncherOptions Options(bool admin = true, bool argument = true) const {
    LauncherOptions options;
    options.folder = medium.slash();
    options.tempFolder = temp.slash();
    options.isAdmin = admin;
    options.showUninstall = argument;
    return options;
  }
  std::string Monitor() const { return temp.File(kDriverMonitor64); }
  // A script that notes its name and arguments, then runs `body`.
  void Script(const std::string& name, const std::string& body = "") const {
    WriteBytes(medium.File(name), "#!/bin/sh\necho \"${0##*/} $*\" >> '" + Log() + "'\n" + body);
    chmod(medium.File(name).c_str(), 0755);
  }
  // The driver package: it writes the monitor program and starts it a moment
  // after it has ended itself; the monitor notes its end after a while.
  void DriverPackage(bool startsMonitor = true) const {
    const std::string monitor = Monitor();
    // Replaced, not rewritten: a monitor of the first run may still read it.
    Script(kDriverPackageFile,
           "printf '#!/bin/sh\\nsleep 2\\necho monitor-ended >> \"%s\"\\n' '" + Log() + "' > '" +
               monitor + ".new'\nchmod 755 '" + monitor + ".new'\nmv '" + monitor + ".new' '" +
               monitor + "'\n" + (startsMonitor ? "(sleep 0.3; '" + monitor + "') &\n" : ""));
  }
  std::string Log() const { return medium.File("run.log"); }
  std::string Runs() const { return ReadBytes(Log()); }

  TempFolder medium;
  TempFolder temp;
};

// The worker's notifications, as the dialog's thread would receive them.
class Notifications {
 public:
  LauncherController::Notify Sink() {
    return [this](int button, ActionOutcome outcome) {
      std::lock_guard<std::mutex> lock(mutex_);
      received_.emplace_back(button, outcome);
      arrived_.notify_all();
    };
  }
  // The next notification; fails the test after kPatience.
  std::pair<int, ActionOutcome> Next() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!arrived_.wait_for(lock, kPatience, [this] { return taken_ < received_.size(); })) {
      ADD_FAILURE() << "no notification";
      return {0, ActionOutcome::NotStarted};
    }
    return received_[taken_++];
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<std::pair<int, ActionOutcome>> received_;
  size_t taken_ = 0;
};

// Looks until done() holds, letting timers and posted calls run between
// looks; false after kPatience.
inline bool Eventually(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

}  // namespace velrix::launcher::testing
