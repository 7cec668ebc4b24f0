// The launcher's dialog offscreen: its fixed layout in both copies, its
// messages, the 120 ms refresh and an action's run as the user sees them.
#include <QMessageBox>

#include <memory>

#include "launcher/launcher_dialog.h"
#include "tests/launcher/launcher_fixture.h"

namespace velrix::launcher::testing {
namespace {

class LauncherDialogs : public LauncherFolder {
 protected:
  std::unique_ptr<LauncherDialog> Open(const LauncherOptions& options,
                                       Language language = Language::Japanese) {
    auto dialog = std::make_unique<LauncherDialog>(BuildLauncherState(options),
                                                   RealLauncherSystem(), language,
                                                   QStringLiteral("Title"));
    dialog->show();
    QApplication::processEvents();
    return dialog;
  }
  // The dialog's open message box with this text, or nullptr.
  static QMessageBox* Message(const LauncherDialog& dialog, const char* text) {
    for (QMessageBox* box : dialog.findChildren<QMessageBox*>()) {
      if (box->isVisible() && box->text() == QString::fromUtf8(text)) return box;
    }
    return nullptr;
  }
  static std::string Enabled(const LauncherDialog& dialog) {
    std::string s;
    for (const int id : kActionButtons) s += dialog.button(id)->isEnabled() ? '1' : '0';
    return s + (dialog.button(kQuitButton)->isEnabled() ? "Q" : "-");
  }
};

TEST_F(LauncherDialogs, FixedLayoutWithoutAndWithAnArgument) {
  WriteBytes(medium.File(kReadmeFile), "read me\n");
  const auto plain = Open(Options(true, false), Language::Japanese);
  EXPECT_EQ(plain->windowTitle(), QStringLiteral("Title"));
  EXPECT_EQ(plain->objectName(), QStringLiteral("102"));
  EXPECT_EQ(plain->size(), QSize(344, 343));
  EXPECT_FALSE(plain->windowIcon().isNull());
  const int ids[] = {kReadmeButton, kManualButton, kDriverSetupButton, kApplicationSetupButton,
                     kDriverUninstallButton, kQuitButton};
  const int tops[] = {17, 81, 145, 209, 273, 273};
  for (int i = 0; i < 6; ++i) {
    QPushButton* b = plain->button(ids[i]);
    EXPECT_EQ(b->geometry(), QRect(22, tops[i], 300, 48)) << ids[i];
    EXPECT_EQ(b->text(), QString::fromUtf8(Caption(TextsFor(Language::Japanese), ids[i])));
    EXPECT_EQ(b->font().weight(), 1000);
    EXPECT_EQ(b->isVisible(), ids[i] != kDriverUninstallButton) << ids[i];
  }

  const auto grown = Open(Options(true, true), Language::English);
  EXPECT_EQ(grown->size(), QSize(344, 407));
  EXPECT_TRUE(grown->button(kDriverUninstallButton)->isVisible());
  EXPECT_EQ(grown->button(kQuitButton)->pos(), QPoint(22, 337));
  EXPECT_EQ(grown->button(kDriverUninstallButton)->text(), QStringLiteral("&Uninstall Driver"));
  EXPECT_EQ(grown->focusWidget(), grown->button(kReadmeButton));
}

TEST_F(LauncherDialogs, WithoutAdministratorRightsMessage129StandsBesideAUsableDialog) {
  WriteBytes(medium.File(kReadmeFile), "read me\n");
  Script(kApplicationSetupFile);
  const auto dialog = Open(Options(false), Language::English);
  const char* text = TextsFor(Language::English).adminRequired.text;
  QMessageBox* box = nullptr;
  ASSERT_TRUE(Eventually([&] { return (box = Message(*dialog, text)) != nullptr; }));
  EXPECT_EQ(box->windowTitle(), QStringLiteral("Error"));
  EXPECT_FALSE(box->isModal());
  EXPECT_EQ(box->buttons().at(0)->text(), QStringLiteral("&OK"));
  EXPECT_EQ(Enabled(*dialog), "10000Q");
}

TEST_F(LauncherDialogs, AVanishedFileShowsMessage130AndStartsNothing) {
  Script(kApplicationSetupFile);
  const auto dialog = Open(Options());
  ASSERT_TRUE(dialog->button(kApplicationSetupButton)->isEnabled());
  std::filesystem::remove(medium.File(kApplicationSetupFile));
  dialog->button(kApplicationSetupButton)->click();
  QMessageBox* box = Message(*dialog, "ファイルが見つかりませんでした。");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->windowTitle(), QStringLiteral("Error"));
  EXPECT_TRUE(dialog->controller().state().launcherIdle);
}

TEST_F(LauncherDialogs, AReadmeAddedWhileTheLauncherRunsIsEnabledByTheRefresh) {
  const auto dialog = Open(Options());
  ASSERT_FALSE(dialog->button(kReadmeButton)->isEnabled());
  WriteBytes(medium.File(kReadmeFile), "read me\n");
  EXPECT_TRUE(Eventually([&] { return dialog->button(kReadmeButton)->isEnabled(); }));
}

TEST_F(LauncherDialogs, ARunningActionDisablesEverythingAndTheCloseThenFocusesItsButton) {
  const std::string release = medium.File("release");
  Script(kApplicationSetupFile, "while [ ! -e '" + release + "' ]; do sleep 0.05; done\n");
  Script(kDriverPackageFile);
  const auto dialog = Open(Options());
  dialog->button(kApplicationSetupButton)->click();
  EXPECT_EQ(Enabled(*dialog), "00000-");
  dialog->close();
  dialog->reject();
  EXPECT_TRUE(dialog->isVisible());

  WriteBytes(release, "");
  ASSERT_TRUE(Eventually([&] { return dialog->controller().state().launcherIdle; }));
  EXPECT_EQ(Enabled(*dialog), "00110Q");
  EXPECT_EQ(dialog->focusWidget(), dialog->button(kApplicationSetupButton));
  dialog->button(kQuitButton)->click();
  EXPECT_FALSE(dialog->isVisible());
}

TEST_F(LauncherDialogs, DriverSetupEndsWithMessage131BeforeTheButtonsReturn) {
  DriverPackage();
  const auto dialog = Open(Options());
  dialog->button(kDriverSetupButton)->click();
  QMessageBox* box = nullptr;
  const char* text = "ドライバのセットアップが完了しました。";
  ASSERT_TRUE(Eventually([&] { return (box = Message(*dialog, text)) != nullptr; }));
  EXPECT_EQ(box->windowTitle(), QStringLiteral("ドライバセットアップ"));
  EXPECT_EQ(Enabled(*dialog), "00000-");
  box->buttons().at(0)->click();
  ASSERT_TRUE(Eventually([&] { return dialog->controller().state().launcherIdle; }));
  EXPECT_EQ(Enabled(*dialog), "00100Q");
  EXPECT_EQ(dialog->focusWidget(), dialog->button(kDriverSetupButton));
}

}  // namespace
}  // namespace velrix::launcher::testing
