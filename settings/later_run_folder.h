#pragma once
// A program folder as the program's later runs find it, made in one go for
// the tests, benchmarks and tools that run a program in a folder of their
// own: the shipped files (conversion table, link and power settings, warning
// sound) copied in, and every settings file a first run writes, so that the
// program takes no first-run defaults and never looks into the user's
// documents folder.

#include <string>

#include "settings/settings.h"

namespace velrix {

// The settings such a folder holds: the program folder and a data folder
// below baseFolder, a first run's units, trend, warnings and buzzer, and the
// given comment and automatic start.
Settings LaterRunSettings(const std::string& programFolder, const std::string& baseFolder,
                          const CommentSettings& comment, int autoStart);

// Copies the files of shippedFolder into settings.programFolder (made when
// missing) and writes df_name, dsp_unit, trend, comment, warning, buzzer
// (on) and aut_start from the settings. False with what failed first.
bool WriteLaterRunFolder(const Settings& settings, const std::string& shippedFolder,
                         std::string* error);

}  // namespace velrix
