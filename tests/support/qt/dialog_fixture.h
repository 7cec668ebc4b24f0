#pragma once
// What every dialog test starts from: a program folder of its own for the
// settings files, the settings pointing at it, a link record, the messages
// the user would see, and answers to the data-folder question.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "link/unit_link_state.h"
#include "settings/settings.h"
#include "settings/settings_files.h"
#include "settings/ui/user_questions.h"
#include "tests/support/recording_messages.h"
#include "tests/support/temp_folder.h"

namespace velrix::testing {

// Answers the OK / cancel questions from a fixed reply and remembers them.
class ScriptedQuestions final : public UserQuestions {
 public:
  bool reply = true;
  std::vector<std::string> asked;
  bool AskOkCancel(const std::string& title, const std::string& text) override {
    asked.push_back(title + "|" + text);
    return reply;
  }
};

class DialogTest : public ::testing::Test {
 protected:
  DialogTest() { SetDefaultFolders(settings, program.slash(), documents.path()); }

  bool FileExists(const std::string& name) const {
    return std::filesystem::exists(program.File(name));
  }
  std::string FileText(const std::string& name) const { return ReadBytes(program.File(name)); }
  // The program folder made unwritable for one file: a folder of its name.
  void BlockFile(const std::string& name) const {
    std::filesystem::create_directory(program.File(name));
  }

  TempFolder program;
  TempFolder documents;
  Settings settings;
  UnitLinkState link;
  RecordingMessages messages;
  ScriptedQuestions questions;
};

}  // namespace velrix::testing
