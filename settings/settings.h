#pragma once
// The user's settings as the view holds them, read from and written to the
// small files in the program folder. Texts are UTF-8 in memory and CP932 in
// the files. The settings the link threads read (detection buzzer, retry mode
// and count, COM number, status read interval) are in force only in the
// link's UnitLinkState, so there is one copy of each; the files hand them
// over as a LinkSettings, which the link adopts (link/link_settings.h).

#include <string>

#include "platform/clock.h"

namespace velrix {

// Unit codes of the panel rows.
struct DisplayUnitSettings {
  int integratedUnit = 0;   // 0 μSv, 1 mSv, 2 Counts
  int rateUnit = 0;         // 0 μSv/h, 1 mSv/h, 2 CPS, 3 CPM
  int averageSeconds = 0;   // W, kMinAverageSeconds-kMaxAverageSeconds
};

// The range of W, the moving average's seconds, wherever it is read or used.
inline constexpr int kMinAverageSeconds = 1;
inline constexpr int kMaxAverageSeconds = kSecondsPerHour;

struct TrendSettings {
  int trendSpan = 0;        // 0 "1分" ... 6 "10年"
  int trendScale = 0;       // 0-19
};

// The trend spans a setting names, by their length.
inline constexpr int kTrendSpans = 7;
inline constexpr int kTrendSpanSeconds[kTrendSpans] = {
    60, 600, kSecondsPerHour, kSecondsPerDay, 30 * kSecondsPerDay, 365 * kSecondsPerDay,
    3650 * kSecondsPerDay};

struct CommentSettings {
  std::string computerName;  // at most 127 bytes in CP932
  std::string unitNumber;
  std::string comment;
};

struct WarningSettings {
  double currentLimit = 0.0;     // μSv/h
  double averageLimit = 0.0;     // μSv/h
  double hourLimit = 0.0;        // μSv/h
  double integratedLimit = 0.0;  // μSv
  double dayLimit = 0.0;         // μSv
  double yearLimit = 0.0;        // μSv
  int soundOn = 0;
};

// The four power events, in the order they are evaluated and stored.
enum PowerEventIndex { kSolarLow = 0, kSolarRecovery = 1, kBatteryLow = 2, kBatteryRecovery = 3 };
inline constexpr int kPowerEvents = 4;

struct PowerEventSetting {
  int enabled = 0;           // 0 "禁止", 1 "許可"
  int delay = 0;             // seconds (solar events) or minutes (battery events)
  int popupAtEvent = 0;
  int popupAtExecution = 0;
};

struct PowerSettings {
  int statusIntervalValue = 0;  // 1-60
  int statusIntervalUnit = 0;   // 0 seconds, 1 minutes
  PowerEventSetting events[kPowerEvents];
};

// The settings the link threads read, as the files give and take them: read
// into this record at start-up and adopted by the link, or taken from the
// link to be written after a dialog changed one.
struct LinkSettings {
  int detectionBuzzer = 1;     // buzzer.def: 1 on, 0 off
  int comNumber = 0;           // USBCOM.def: 0 automatic
  int retryMode = 0;           // COMRTY.def: 0 no retry, 1 up to maxRetries, 2 without end
  int maxRetries = 1;
  int statusReadInterval = 0;  // seconds, from POWevent.def's interval and unit
};

struct Settings {
  std::string programFolder;   // ends with '/'
  std::string baseFolder;      // the user's documents folder unless chosen otherwise
  std::string dataFolder;      // baseFolder + "/Velrix"
  DisplayUnitSettings displayUnits;
  TrendSettings trend;
  CommentSettings comment;
  WarningSettings warning;
  int autoStart = 0;
  PowerSettings power;
};

}  // namespace velrix
