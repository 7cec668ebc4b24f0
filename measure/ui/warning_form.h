#pragma once
// What the warning settings dialog does, without a dialog: show the six
// limits, and on OK read each edit's leading number, check them in the order
// of the edits and store them with the sound switch.

#include <string>

#include "platform/user_messages.h"
#include "settings/settings.h"

namespace velrix {

inline constexpr int kWarningLimitCount = 6;
// The edits are read so many characters deep.
inline constexpr int kWarningEditReadLength = 127;
inline constexpr double kRateLimitMax = 5000.0;         // μSv/h, edits 1019-1021
inline constexpr double kDoseLimitMax = 999999.999;     // μSv, edits 1022-1024

// Edits 1019-1024 in order (current, average, one-hour, integrated, one day,
// one year) and check box 1025.
struct WarningForm {
  std::string limitTexts[kWarningLimitCount];
  bool soundTicked = false;
};

// Current limit with two decimals, the others with three.
WarningForm FillWarningForm(const WarningSettings& settings);

// The message of the first edit whose number is below 0 or above its
// maximum; empty when all are valid.
std::string ValidateWarningForm(const WarningForm& form);

// Stores the six limits and the sound switch (1 when ticked).
void ApplyWarningForm(const WarningForm& form, WarningSettings& settings);

// OK: an invalid edit shows its message titled "設定異常" and nothing is
// stored (false: the dialog stays open); otherwise stores, writes
// warning.def and returns true.
bool AcceptWarningForm(const WarningForm& form, Settings& settings, UserMessages& messages);

}  // namespace velrix
