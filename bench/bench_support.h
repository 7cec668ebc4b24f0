#pragma once
// What every benchmark needs around the code it measures: a scratch folder
// that is removed afterwards, the program resources of the source tree,
// reproducible count sequences, a history filled as a long measurement
// leaves it, and a window and a message sink that do nothing, so the figures
// are those of the measured code alone.

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "shared/history.h"
#include "measure/measurement.h"
#include "platform/user_messages.h"

namespace velrix::bench {

// The folder holding sv_table.def and the other shipped program files.
inline std::string ProgramResources() { return VELRIX_PROGRAM_RESOURCES; }

// A fresh folder below the system's temporary folder, removed with its
// contents at the end of the benchmark that made it.
class ScratchFolder {
 public:
  ScratchFolder() {
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    std::random_device seed;
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::filesystem::path p = base / ("velrix-bench-" + std::to_string(seed()));
      std::error_code ec;
      if (std::filesystem::create_directory(p, ec)) {
        path_ = p.string();
        return;
      }
    }
  }
  ~ScratchFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // Empty when no folder could be made; the benchmark then reports an error.
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Counts per second as the unit delivers them at a site of about 1 μSv/h:
// Poisson-distributed around two counts a second, the same on every run.
inline constexpr double kSiteMeanCount = 2.0;

inline std::vector<double> SiteCounts(std::size_t n, double mean = kSiteMeanCount,
                                      unsigned seed = 20240514u) {
  std::mt19937 engine(seed);
  std::poisson_distribution<int> pulses(mean);
  std::vector<double> counts(n);
  for (double& c : counts) c = pulses(engine);
  return counts;
}

// A history as it stands after heldSeconds of measurement: every per-second
// slot and every level entry holds a value, and each level has written as
// many entries as that many seconds produce.
inline void FillHistory(History& history, int heldSeconds) {
  const std::vector<double> counts = SiteCounts(kSecondSlots);
  for (int s = 0; s < kSecondSlots; ++s) {
    history.slots[s].count = counts[s];
    history.slots[s].average = kSiteMeanCount;
    // A retry second now and then, as a real link leaves them.
    history.slots[s].missing = (s % 3607 == 0) ? 1 : 0;
    history.slots[s].power = 0;
  }
  const std::vector<double> means = SiteCounts(kTrendLevelMaxEntries, 200.0, 7u);
  for (TrendLevel& level : history.levels) {
    for (int i = 0; i < level.capacity; ++i) level.meanCount[i] = means[i] / 100.0;
    level.written = heldSeconds / level.period;
    level.writeIndex = level.written % level.capacity;
  }
  history.sampleCount = heldSeconds;
  history.elapsedSeconds = heldSeconds;
}

// Ten years of seconds: exactly the 730 five-day entries of the top level.
inline constexpr int kTenYearsSeconds = 315360000;

// A window that is not there. It shows the live measurement, so the tick
// goes the same way it does under the real view.
class SilentView final : public MeasurementView {
 public:
  void SetRunButtons(bool, bool) override {}
  bool ConfirmComment() override { return true; }
  void RedrawPanel() override {}
  bool ShowsLiveMeasurement() const override { return true; }
  void UpdateCursorReadout() override {}
  void PostRefresh() override {}
};

// Keeps the last message instead of showing it, so a benchmark that ran into
// a failure can say so rather than print figures of the failure path.
class HeldMessages final : public UserMessages {
 public:
  void Show(const std::string& title, const std::string& text) override {
    ++shown;
    last = title + ": " + text;
  }
  int shown = 0;
  std::string last;
};

}  // namespace velrix::bench
