#pragma once
// The ten settings files in the program folder: one writer and one reader per
// file. Each reports its own failure to open (or, for a writer, to write) with
// a message titled "異常発生" and returns 0 on success, 1 on failure; values
// in memory stay as they were unless the file says otherwise or a default is
// given below. Files hold one value per line, LF-ended, texts in CP932;
// readers also accept CR LF, any white space between numbers, and stop at the
// first value they cannot read, leaving it and all after it unchanged.

#include <string>

#include "platform/user_messages.h"
#include "settings/settings.h"

namespace velrix {

inline constexpr const char* kSettingsErrorTitle = "異常発生";
inline constexpr const char* kDataFolderName = "Velrix";
inline constexpr const char* kDefaultUnitNumber = "0001";
inline constexpr int kDefaultAverageSeconds = 60;
// Byte limits of the texts in their CP932 form.
inline constexpr std::size_t kBaseFolderMaxBytes = 255;
inline constexpr std::size_t kCommentTextMaxBytes = 127;

// programFolder as given (ending with '/'), the base folder and the data
// folder (base + "/Velrix") as they are before any file is read.
void SetDefaultFolders(Settings& settings, const std::string& programFolder,
                       const std::string& documentsFolder);

// The machine name as the computer name of a comment: cut to 127 CP932 bytes.
std::string DefaultComputerName(const std::string& machineName);

// Seconds between power status reads: the interval × 1 (seconds) or × 60
// (minutes).
int StatusReadIntervalSeconds(const PowerSettings& power);

// df_name.def: the base folder. Reading also forms the data folder.
int SaveDataFolder(const Settings& settings, UserMessages& messages);
int LoadDataFolder(Settings& settings, UserMessages& messages);

// dsp_unit.def: the two unit codes and W. Reading leaves W at 60 when it is
// outside its range or the file cannot be opened.
int SaveDisplayUnits(const Settings& settings, UserMessages& messages);
int LoadDisplayUnits(Settings& settings, UserMessages& messages);

// trend.def: trend span and vertical scale.
int SaveTrendSettings(const Settings& settings, UserMessages& messages);
int LoadTrendSettings(Settings& settings, UserMessages& messages);

// comment.def: computer name, unit number, comment. A file without a first
// line, or one that cannot be opened, gives the machine's name and "0001".
int SaveComment(const Settings& settings, UserMessages& messages);
int LoadComment(Settings& settings, const std::string& machineName, UserMessages& messages);

// warning.def: six limits and the sound switch.
int SaveWarningSettings(const Settings& settings, UserMessages& messages);
int LoadWarningSettings(Settings& settings, UserMessages& messages);

// buzzer.def: the unit's detection buzzer. A file without an integer turns
// the buzzer on.
int SaveBuzzer(const Settings& settings, const LinkSettings& link, UserMessages& messages);
int LoadBuzzer(const Settings& settings, LinkSettings& link, UserMessages& messages);

// aut_start.def: automatic start.
int SaveAutoStart(const Settings& settings, UserMessages& messages);
int LoadAutoStart(Settings& settings, UserMessages& messages);

// USBCOM.def: the COM number. The start-up never reads it; LoadComPort is
// silent when the file is absent, since that is its normal state.
int SaveComPort(const Settings& settings, const LinkSettings& link, UserMessages& messages);
int LoadComPort(const Settings& settings, LinkSettings& link);

// COMRTY.def: retry mode and maximum retries.
int SaveRetrySettings(const Settings& settings, const LinkSettings& link,
                      UserMessages& messages);
int LoadRetrySettings(const Settings& settings, LinkSettings& link, UserMessages& messages);

// POWevent.def: status read interval and the four power events. Both set
// link.statusReadInterval afterwards, also when the file failed. A file that
// cannot be read sets the interval, statusReadInterval and the four delays
// to 1.
int SavePowerSettings(const Settings& settings, LinkSettings& link, UserMessages& messages);
int LoadPowerSettings(Settings& settings, LinkSettings& link, UserMessages& messages);

enum class SettingsStart { LaterRun, FirstRun };

// Start-up: with trend.def in the program folder, read the nine files in
// order, each reporting its own failure; otherwise apply the first-run
// defaults and write df_name, dsp_unit, trend, warning, comment, warning,
// buzzer and aut_start. Expects SetDefaultFolders to have run; link starts
// as the link's values stand before any file is read.
SettingsStart LoadSettingsAtStartup(Settings& settings, LinkSettings& link,
                                    const std::string& machineName, UserMessages& messages);

}  // namespace velrix
