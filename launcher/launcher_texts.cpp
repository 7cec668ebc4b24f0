#include "launcher/launcher_texts.h"

#include <cstdlib>
#include <cstring>

#include "launcher/launcher_actions.h"

namespace velrix::launcher {

namespace {

constexpr char kJapanesePrefix[] = "ja";

constexpr LauncherTexts kJapanese = {
    "はじめにお読みください (&R)",
    "マニュアル (&M)",
    "ドライバセットアップ (&D)",
    "アプリケーションセットアップ (&A)",
    "ドライバアンインストール (&U)",
    "終了 (&Q)",
    {"Error", "アプリケーション／ドライバをセットアップ\nするためには管理者権限が必要です。"},
    {"Error", "ファイルが見つかりませんでした。"},
    {"ドライバセットアップ", "ドライバのセットアップが完了しました。"},
    {"ドライバセットアップ", "ドライバのセットアップの完了を確認できませんでした。"},
    "&OK",
};

constexpr LauncherTexts kEnglish = {
    "&Readme",
    "&Manual",
    "Install &Driver",
    "Setup &Application",
    "&Uninstall Driver",
    "&Quit",
    {"Error", "Administrator privileges are required\nto setup application/driver."},
    {"Error", "File not found."},
    {"Driver setup", "Driver setup finished."},
    {"Driver setup", "Could not confirm that driver setup finished."},
    "&OK",
};

}  // namespace

const LauncherTexts& TextsFor(Language language) {
  return language == Language::Japanese ? kJapanese : kEnglish;
}

const char* Caption(const LauncherTexts& texts, int buttonId) {
  switch (buttonId) {
    case kReadmeButton: return texts.readme;
    case kManualButton: return texts.manual;
    case kDriverSetupButton: return texts.driverSetup;
    case kApplicationSetupButton: return texts.applicationSetup;
    case kDriverUninstallButton: return texts.driverUninstall;
    case kQuitButton: return texts.quit;
    default: return "";
  }
}

Language ChooseLanguage(const char* lcAll, const char* lcMessages, const char* lang) {
  for (const char* value : {lcAll, lcMessages, lang}) {
    if (value == nullptr || *value == '\0') continue;
    const bool japanese = std::strncmp(value, kJapanesePrefix, sizeof kJapanesePrefix - 1) == 0;
    return japanese ? Language::Japanese : Language::English;
  }
  return Language::English;
}

Language LanguageFromEnvironment() {
  return ChooseLanguage(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
}

}  // namespace velrix::launcher
