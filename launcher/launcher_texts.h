#pragma once
// The launcher's words in its two copies, Japanese and English, and the
// choice between them by the user's language.

namespace velrix::launcher {

enum class Language { Japanese, English };

struct MessageText {
  const char* title;
  const char* text;
};

struct LauncherTexts {
  // Buttons 1000 to 1004, then the quit button 1.
  const char* readme;
  const char* manual;
  const char* driverSetup;
  const char* applicationSetup;
  const char* driverUninstall;
  const char* quit;
  MessageText adminRequired;           // 129
  MessageText fileNotFound;            // 130
  MessageText driverSetupFinished;     // 131
  MessageText driverSetupUnconfirmed;  // the package's window never showed
  const char* ok;
};

const LauncherTexts& TextsFor(Language language);

// The caption of a button by its id; "" for an unknown id.
const char* Caption(const LauncherTexts& texts, int buttonId);

// The messages locale as the C library finds it: the first of LC_ALL,
// LC_MESSAGES and LANG that is set and not empty. Japanese when it starts
// with "ja", English otherwise (and when none is set).
Language ChooseLanguage(const char* lcAll, const char* lcMessages, const char* lang);
Language LanguageFromEnvironment();

}  // namespace velrix::launcher
