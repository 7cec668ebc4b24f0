#include "settings/later_run_folder.h"

#include "platform/program_folder.h"
#include "platform/user_messages.h"
#include "settings/settings_files.h"

namespace velrix {
namespace {

// Keeps the first failure a save reports.
class FirstFailure final : public UserMessages {
 public:
  void Show(const std::string& title, const std::string& text) override {
    if (what.empty()) what = title + ": " + text;
  }
  std::string what;
};

}  // namespace

Settings LaterRunSettings(const std::string& programFolder, const std::string& baseFolder,
                          const CommentSettings& comment, int autoStart) {
  Settings settings;
  SetDefaultFolders(settings, programFolder, baseFolder);
  settings.displayUnits.averageSeconds = kDefaultAverageSeconds;
  settings.comment = comment;
  settings.autoStart = autoStart;
  return settings;
}

bool WriteLaterRunFolder(const Settings& settings, const std::string& shippedFolder,
                         std::string* error) {
  if (!FillProgramFolder(settings.programFolder, shippedFolder, error)) return false;
  FirstFailure failure;
  SaveDataFolder(settings, failure);
  SaveDisplayUnits(settings, failure);
  SaveTrendSettings(settings, failure);
  SaveComment(settings, failure);
  SaveWarningSettings(settings, failure);
  SaveBuzzer(settings, LinkSettings{}, failure);
  SaveAutoStart(settings, failure);
  *error = failure.what;
  return failure.what.empty();
}

}  // namespace velrix
