#pragma once
// What the shell tests start from: a program folder of a later run (the
// shipped files and every settings file, the data folder inside the test's
// own folder), event pumping for the offscreen frame, the frame and view
// built as the application builds them, and data-file helpers.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/app_options.h"
#include "app/command_ids.h"
#include "app/main_frame.h"
#include "app/tenvo_view.h"
#include "link/unit_link_state.h"
#include "settings/later_run_folder.h"
#include "settings/settings_files.h"
#include "tests/support/program_run.h"
#include "tests/support/recording_messages.h"
#include "tests/support/temp_folder.h"

namespace velrix::testing {

namespace fs = std::filesystem;

// A unit path that cannot exist: the link reports NG at once.
inline constexpr char kNoSuchUnit[] = "/dev/velrix-test-no-such-unit";

// Waits are generous: the machine may be loaded, and a wait that ends early
// costs nothing.
inline constexpr double kLinkUpSeconds = 30.0;
inline constexpr double kRowsSeconds = 60.0;

// Runs the event loop of this thread (timers, posted refreshes, paints)
// until condition() holds or the time is up.
inline bool PumpUntil(const std::function<bool()>& condition, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(static_cast<int>(seconds * 1000));
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// Waits without an event loop (for other processes).
inline bool WaitFor(const std::function<bool()>& condition, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(static_cast<int>(seconds * 1000));
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

// A later run's program folder: trend.def and the other settings present, so
// nothing is read from or written to the user's documents folder.
class ProgramFolder {
 public:
  explicit ProgramFolder(int autoStart = 0, const std::vector<std::string>& leaveOut = {}) {
    program_ = temp_.slash() + "program/";
    const Settings settings = LaterRunSettings(program_, temp_.File("base"),
                                               {"SHELL-TEST", kDefaultUnitNumber, "roof"}, autoStart);
    std::string error;
    EXPECT_TRUE(WriteLaterRunFolder(settings, ShippedProgramFolder(), &error)) << error;
    for (const std::string& name : leaveOut) fs::remove(program_ + name);
    dataFolder_ = settings.dataFolder;
  }

  const std::string& program() const { return program_; }
  const std::string& dataFolder() const { return dataFolder_; }
  const TempFolder& temp() const { return temp_; }

 private:
  TempFolder temp_;
  std::string program_;
  std::string dataFolder_;
};

// The frame and the view as the application builds them, with the messages
// recorded and the unit at a given path.
class Shell {
 public:
  Shell(const ProgramFolder& folder, const std::string& port) {
    options_.programFolder = folder.program();
    options_.port = port;
    view_ = new CTenvoView(options_, &messages_);
    station_ = view_->SharedStation();
    frame_ = std::make_unique<CMainFrame>(view_);
  }
  ~Shell() { frame_.reset(); }

  // Shows the window and waits for its first paint (the buttons exist then).
  bool ShowAndPaint() {
    frame_->show();
    return PumpUntil([this] { return view_->Button(kButtonStart) != nullptr; }, 20.0);
  }
  // Destroys the frame and with it the view, as the program's end does.
  void Destroy() { frame_.reset(); view_ = nullptr; }

  CMainFrame& frame() { return *frame_; }
  CTenvoView& view() { return *view_; }
  UnitLinkState& link() { return station_->link; }
  RecordingMessages& messages() { return messages_; }

 private:
  RecordingMessages messages_;
  std::shared_ptr<Station> station_;  // the view's, also after the view is gone
  AppOptions options_;
  CTenvoView* view_ = nullptr;  // owned by the frame
  std::unique_ptr<CMainFrame> frame_;
};

// Data rows of a data file or working copy: lines after the five header lines.
inline int DataRowCount(const std::string& path) {
  const std::string bytes = ReadBytes(path);
  int lines = 0;
  for (std::size_t at = bytes.find("\r\n"); at != std::string::npos; at = bytes.find("\r\n", at + 2)) {
    ++lines;
  }
  return lines > 5 ? lines - 5 : 0;
}

// Every data file below a data folder.
inline std::vector<std::string> DataFiles(const std::string& dataFolder) {
  std::vector<std::string> files;
  std::error_code ec;
  if (!fs::exists(dataFolder, ec)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(dataFolder, ec)) {
    if (entry.is_regular_file() && entry.path().extension() == ".csv") files.push_back(entry.path().string());
  }
  return files;
}

inline bool IsRgb(const QImage& image, int x, int y, int r, int g, int b) {
  const QColor c = image.pixelColor(x, y);
  return c.red() == r && c.green() == g && c.blue() == b;
}

// Pixels of one colour inside a rectangle (right and bottom exclusive).
inline int CountRgb(const QImage& image, int left, int top, int right, int bottom, int r, int g,
                    int b) {
  int n = 0;
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x)
      if (IsRgb(image, x, y, r, g, b)) ++n;
  return n;
}

}  // namespace velrix::testing
