#include "settings/ui/general_forms.h"

#include <filesystem>
#include <system_error>

#include "link/link_settings.h"
#include "settings/settings_files.h"
#include "settings/ui/field_text.h"

namespace velrix {
namespace {

constexpr char kRootFolder[] = "/";

// The edit text with the one trailing separator the browser adds taken off.
std::string WithoutTrailingSeparator(const std::string& text) {
  if (!text.empty() && text.back() == kFolderSeparator) return text.substr(0, text.size() - 1);
  return text;
}

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_directory(path, ec);
}

// Creates the folder with its parents; true only when a folder stands there
// afterwards (a file of that name makes the creation fail).
bool CreateFolderWithParents(const std::string& path) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  return !ec && IsFolder(path);
}

// Refuses a text the file cannot hold, otherwise gives it cut to its limit.
bool FitOrRefuse(const std::string& text, std::size_t maxBytes, std::string* fitted,
                 UserMessages& messages) {
  if (FitFieldText(text, maxBytes, fitted)) return true;
  messages.Show(kDialogInputErrorTitle, kUnsavableCharacterMessage);
  return false;
}

}  // namespace

// Data folder

DataFolderForm FillDataFolderForm(const Settings& settings) {
  // The root is stored as the empty text; shown as itself, it reads back
  // as the root again on OK.
  if (settings.baseFolder.empty()) return {kRootFolder};
  return {settings.baseFolder};
}

std::string CreateFolderQuestion(const std::string& candidate) {
  const std::string pattern = kCreateFolderQuestion;
  const std::size_t at = pattern.find("%s");
  return pattern.substr(0, at) + candidate + pattern.substr(at + 2);
}

bool AcceptDataFolderForm(const DataFolderForm& form, bool browseOpen, Settings& settings,
                          UserQuestions& questions, UserMessages& messages) {
  if (browseOpen) {
    messages.Show(kSettingErrorTitle, kCloseBrowserMessage);
    return false;
  }
  std::string text;
  if (!FitOrRefuse(form.folderText, kBaseFolderMaxBytes, &text, messages)) return false;
  const bool namesRoot = text == kRootFolder;
  text = WithoutTrailingSeparator(text);
  const std::string candidate = text + kFolderSeparator + kDataFolderName;

  if (!namesRoot && !IsFolder(candidate)) {
    if (!questions.AskOkCancel(kFolderCheckTitle, CreateFolderQuestion(candidate))) return false;
    if (!CreateFolderWithParents(candidate)) {
      messages.Show(kFolderCheckTitle, kCreateFolderFailedMessage);
      return false;
    }
  }

  settings.baseFolder = text;
  settings.dataFolder = candidate;
  SaveDataFolder(settings, messages);
  return true;
}

bool CancelDataFolderDialog(bool browseOpen, UserMessages& messages) {
  if (!browseOpen) return true;
  messages.Show(kSettingErrorTitle, kCloseBrowserMessage);
  return false;
}

std::string BrowseStartFolder(const Settings& settings) {
  const std::string start = WithoutTrailingSeparator(settings.baseFolder);
  return start.empty() ? kRootFolder : start;
}

std::string BrowsedFolderText(const std::string& chosen) {
  if (!chosen.empty() && chosen.back() == kFolderSeparator) return chosen;
  return chosen + kFolderSeparator;
}

// Comment settings and comment check

CommentForm FillCommentForm(const Settings& settings) {
  return {settings.comment.computerName, settings.comment.unitNumber, settings.comment.comment};
}

bool AcceptCommentForm(const CommentForm& form, Settings& settings, UserMessages& messages) {
  CommentSettings fitted;
  if (!FitOrRefuse(form.computerName, kCommentTextMaxBytes, &fitted.computerName, messages) ||
      !FitOrRefuse(form.unitNumber, kCommentTextMaxBytes, &fitted.unitNumber, messages) ||
      !FitOrRefuse(form.comment, kCommentTextMaxBytes, &fitted.comment, messages))
    return false;
  settings.comment = fitted;
  SaveComment(settings, messages);
  return true;
}

CommentCheckForm FillCommentCheckForm(const Settings& settings) {
  return {settings.comment.comment};
}

bool AcceptCommentCheckForm(const CommentCheckForm& form, Settings& settings,
                            UserMessages& messages) {
  std::string comment;
  if (!FitOrRefuse(form.comment, kCommentTextMaxBytes, &comment, messages)) return false;
  settings.comment.comment = comment;
  SaveComment(settings, messages);
  return true;
}

// Automatic start

AutoStartForm FillAutoStartForm(const Settings& settings) { return {settings.autoStart == 1}; }

void AcceptAutoStartForm(const AutoStartForm& form, Settings& settings, UserMessages& messages) {
  settings.autoStart = form.ticked ? 1 : 0;
  SaveAutoStart(settings, messages);
}

// Detection buzzer

BuzzerForm FillBuzzerForm(const UnitLinkState& link) { return {link.detectionBuzzer.load() == 1}; }

BuzzerOutcome AcceptBuzzerForm(const BuzzerForm& form, const Settings& settings,
                               UnitLinkState& link, UserMessages& messages, const PauseFn& pause) {
  if (link.linkStatus.load() != kLinkOk) {
    messages.Show(kSystemErrorTitle, kBuzzerLinkDownMessage);
    return BuzzerOutcome::LinkDown;
  }
  link.detectionBuzzer.store(form.on ? 1 : 0);
  link.buzzerRequest.store(1);
  for (int look = 0; look < kBuzzerLooks; ++look) {
    pause(kBuzzerLookIntervalMs);
    if (link.buzzerRequest.load() == 0) {
      SaveBuzzer(settings, LinkSettingsOf(link), messages);
      return BuzzerOutcome::Taken;
    }
  }
  messages.Show(kSystemErrorTitle, kBuzzerNotTakenMessage);
  return BuzzerOutcome::NotTaken;
}

}  // namespace velrix
