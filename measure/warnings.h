#pragma once
// The panel's warnings: six values against the user's limits, two fixed
// dose-rate limits on the newest count and the unit's own limit flag, and the
// looping warning sound. Nothing is latched: every evaluation starts afresh,
// except that the state remembers whether the sound is playing.

#include <string>

#include "link/unit_link_state.h"
#include "measure/derived_values.h"
#include "measure/dose_table.h"
#include "settings/settings.h"

namespace velrix {

inline constexpr const char* kWarningSoundFileName = "VelrixWarning.wav";
inline constexpr const char* kReasonLimitExceeded = "設定値超過";
inline constexpr const char* kReasonLargeError = "測定誤差大";
inline constexpr const char* kReasonLimitReached = "測定限界到達";
// μSv/h of the newest count above which the reading is unreliable, and above
// which the detector is saturated.
inline constexpr double kLargeErrorRate = 999.99;
inline constexpr double kMeasurementLimitRate = 3799.99;

// Plays the warning sound in a loop without blocking. The shell implements it
// with Qt Multimedia; a missing or unplayable file stays silent there.
class WarningSound {
 public:
  virtual ~WarningSound() = default;
  virtual void StartLoop(const std::string& path) = 0;
  virtual void Stop() = 0;
};

struct WarningState {
  bool current = false;
  bool average = false;
  bool hour = false;
  bool integrated = false;
  bool day = false;
  bool year = false;
  bool anyWarning = false;
  std::string reason;         // empty, "設定値超過", "測定誤差大" or "測定限界到達"
  bool soundPlaying = false;  // kept between evaluations
};

// programFolder (ending with '/') + "VelrixWarning.wav".
std::string WarningSoundPath(const std::string& programFolder);

// Recomputes the flags and the reason from the live values and starts or
// stops the sound. `state` carries soundPlaying from the last evaluation.
const WarningState& EvaluateWarnings(WarningState& state, const DerivedValues& values,
                                     const WarningSettings& limits, const DoseTable& table,
                                     const UnitLinkState& link, WarningSound& sound,
                                     const std::string& soundPath);

}  // namespace velrix
