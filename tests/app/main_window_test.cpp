// The main window as the user meets it: fixed size, title, menu, the six
// buttons with their tooltips, and the cycle timer that only the first paint
// starts.

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>

#include "app/command_ids.h"
#include "tests/app/app_fixture.h"

namespace velrix::testing {
namespace {

TEST(MainWindow, IsFixedAtTheViewSizeWithoutMaximiseStatusBarOrToolbar) {
  ProgramFolder folder;
  Shell shell(folder, kNoSuchUnit);
  ASSERT_TRUE(shell.ShowAndPaint());
  CMainFrame& frame = shell.frame();

  EXPECT_EQ(frame.windowTitle().toStdString(), " Radiation Monitor KAV-HX310 Velrix");
  EXPECT_EQ(shell.view().size(), QSize(998, 672));
  EXPECT_EQ(shell.view().minimumSize(), shell.view().maximumSize());
  EXPECT_EQ(frame.minimumSize(), frame.maximumSize());
  EXPECT_EQ(frame.size(), frame.minimumSize());

  const Qt::WindowFlags flags = frame.windowFlags();
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowTitleHint);
  EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);

  EXPECT_EQ(frame.findChild<QStatusBar*>(), nullptr);
  EXPECT_EQ(frame.findChild<QToolBar*>(), nullptr);

  // A resize is refused.
  const QSize fixed = frame.size();
  frame.resize(fixed.width() + 300, fixed.height() + 200);
  PumpUntil([] { return false; }, 0.3);
  EXPECT_EQ(frame.size(), fixed);
  // A window system that forces another frame size anyway (the offscreen one
  // maximises to its screen, ignoring the size hints) still leaves the view,
  // which every drawing assumes, at its fixed size.
  frame.showMaximized();
  PumpUntil([] { return false; }, 0.3);
  EXPECT_EQ(shell.view().size(), QSize(998, 672));
}

// One entry of a menu as the design lists it: a command, a separator or a
// submenu (with its own entries).
struct MenuEntry {
  const char* caption;  // nullptr for a separator
  int id;               // 0 for a separator or a submenu
  std::vector<MenuEntry> sub;
};

void ExpectMenu(QMenu* menu, const std::vector<MenuEntry>& expected) {
  const QList<QAction*> actions = menu->actions();
  ASSERT_EQ(actions.size(), static_cast<qsizetype>(expected.size())) << menu->title().toStdString();
  for (std::size_t i = 0; i < expected.size(); ++i) {
    QAction* action = actions[static_cast<qsizetype>(i)];
    const MenuEntry& want = expected[i];
    SCOPED_TRACE(menu->title().toStdString() + " entry " + std::to_string(i));
    if (want.caption == nullptr) {
      EXPECT_TRUE(action->isSeparator());
      continue;
    }
    EXPECT_FALSE(action->isSeparator());
    EXPECT_EQ(action->text().toStdString(), want.caption);
    if (!want.sub.empty()) {
      ASSERT_NE(action->menu(), nullptr);
      EXPECT_EQ(action->menu()->title().toStdString(), want.caption);
      ExpectMenu(action->menu(), want.sub);
      continue;
    }
    EXPECT_EQ(action->menu(), nullptr);
    EXPECT_EQ(action->data().toInt(), want.id);
    EXPECT_EQ(action->objectName().toStdString(), "cmd" + std::to_string(want.id));
  }
}

TEST(MainWindow, MenuHoldsEveryCaptionAccessKeySeparatorAndCommandId) {
  ProgramFolder folder;
  Shell shell(folder, kNoSuchUnit);
  QList<QAction*> top = shell.frame().menuBar()->actions();
  ASSERT_EQ(top.size(), 3);
  EXPECT_EQ(top[0]->text().toStdString(), "ファイル(&F)");
  EXPECT_EQ(top[1]->text().toStdString(), "設定(&S)");
  EXPECT_EQ(top[2]->text().toStdString(), "ヘルプ(&H)");
  for (QAction* a : top) ASSERT_NE(a->menu(), nullptr);

  ExpectMenu(top[0]->menu(), {
                                 {"開く(&O)", 32773, {}},
                                 {"閉じる(&C)", 32778, {}},
                                 {nullptr, 0, {}},
                                 {"実行(&E)", 0, {{"開始(&S)", 32782, {}}, {"停止(&X)", 32783, {}}}},
                                 {"データフォルダの場所(&D)", 32777, {}},
                                 {nullptr, 0, {}},
                                 {"アプリケーションの終了(&X)", kCmdAppExit, {}},
                             });
  ExpectMenu(top[1]->menu(), {
                                 {"表示単位設定(&D)", 32771, {}},
                                 {"トレンド表示設定(&T)", 32772, {}},
                                 {"コメント設定(&C)", 32774, {}},
                                 {"警告設定(&K)", 32776, {}},
                                 {"検知ブザー設定(&B)", 32779, {}},
                                 {"自動開始設定(&A)", 32784, {}},
                                 {"通信リトライ設定(&R)", 32786, {}},
                                 {"電源設定(&P)", 32787, {}},
                             });
  ExpectMenu(top[2]->menu(), {
                                 {"キー操作の説明(&K)", 32785, {}},
                                 {"バージョン情報 (&A)...", kCmdAppAbout, {}},
                             });
}

TEST(MainWindow, TheExitMenuItemClosesTheWindow) {
  ProgramFolder folder;
  Shell shell(folder, kNoSuchUnit);
  ASSERT_TRUE(shell.ShowAndPaint());
  auto* exit = shell.frame().findChild<QAction*>("cmd" + QString::number(kCmdAppExit));
  ASSERT_NE(exit, nullptr);
  exit->trigger();
  EXPECT_TRUE(PumpUntil([&] { return !shell.frame().isVisible(); }, 10.0));
  EXPECT_FALSE(shell.view().CycleTimerRunning());
}

struct ButtonWant {
  int id;
  const char* caption;
  int left, top, right, bottom;
  bool enabled;
  const char* tooltip;
};

TEST(MainWindow, SixButtonsAppearAtTheFirstPaintInPlaceWithStatesAndTooltips) {
  ProgramFolder folder;
  Shell shell(folder, kNoSuchUnit);
  const ButtonWant wants[] = {
      {kButtonStart, "開始", 330, 609, 430, 645, true, ""},
      {kButtonStop, "停止", 490, 609, 590, 645, false, ""},
      {kButtonBatteryOn, "ON", 206, 611, 238, 631, false,
       "バッテリーからの電源供給経路を ON します。"},
      {kButtonBatteryOff, "OFF", 244, 611, 276, 631, true,
       "バッテリーからの電源供給経路を OFF します。"},
      {kButtonChargingOn, "ON", 206, 635, 238, 655, false, "バッテリーへの充電経路を ON します。"},
      {kButtonChargingOff, "OFF", 244, 635, 276, 655, true, "バッテリーへの充電経路を OFF します。"},
  };
  for (const ButtonWant& w : wants) EXPECT_EQ(shell.view().Button(w.id), nullptr) << w.id;
  EXPECT_TRUE(shell.view().findChildren<QPushButton*>().isEmpty());

  ASSERT_TRUE(shell.ShowAndPaint());
  EXPECT_EQ(shell.view().findChildren<QPushButton*>().size(), 6);
  for (const ButtonWant& w : wants) {
    SCOPED_TRACE(w.id);
    QPushButton* button = shell.view().Button(w.id);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->parentWidget(), &shell.view());
    EXPECT_EQ(button->text().toStdString(), w.caption);
    EXPECT_EQ(button->geometry(), QRect(w.left, w.top, w.right - w.left, w.bottom - w.top));
    EXPECT_EQ(button->isEnabled(), w.enabled);
    EXPECT_TRUE(button->isVisible());
    EXPECT_EQ(button->toolTip().toStdString(), w.tooltip);
  }
  EXPECT_TRUE(shell.view().Button(kButtonStart)->isDefault());
  EXPECT_TRUE(shell.view().Button(kButtonStop)->isDefault());
}

TEST(MainWindow, TheCycleTimerRunsOnlyAfterTheFirstPaint) {
  ProgramFolder folder;
  Shell shell(folder, kNoSuchUnit);
  EXPECT_FALSE(shell.view().CycleTimerRunning());
  // Events alone, without the window shown, do not start it.
  PumpUntil([] { return false; }, 0.7);
  EXPECT_FALSE(shell.view().CycleTimerRunning());
  EXPECT_EQ(shell.view().Button(kButtonStart), nullptr);

  ASSERT_TRUE(shell.ShowAndPaint());
  EXPECT_TRUE(shell.view().CycleTimerRunning());
}

// The refresh the cycle posts redraws the graph for a completed second, and
// only then: a clock second alone redraws the panel but leaves the graph as
// it was, even when the history under it has changed.
TEST(MainWindow, TheRefreshRedrawsTheGraphForANewSecondButNotForEachClockSecond) {
  ProgramFolder folder;
  AppOptions options;
  options.programFolder = folder.program();
  options.port = kNoSuchUnit;
  RecordingMessages messages;
  ManualClock clock(1'700'000'000);
  auto* view = new CTenvoView(options, &messages, &clock);
  auto frame = std::make_unique<CMainFrame>(view);
  frame->show();
  ASSERT_TRUE(PumpUntil([&] { return view->Button(kButtonStart) != nullptr; }, 20.0));
  view->SettingsRecord().trend = {0, 10};  // one minute, 10 CPS full scale
  LiveHistory& history = view->StationRecord().history;
  auto setCounts = [&](int seconds, double count) {
    for (int s = 0; s < seconds; ++s) {
      history.slots[static_cast<std::size_t>(s)].count = count;
      history.slots[static_cast<std::size_t>(s)].average = count;
    }
    history.sampleCount = seconds;
  };
  const QRect plot(61, 146, 899, 439);
  auto plotNow = [&] { return view->Canvas().copy(plot); };
  view->RefreshView(0);
  const QImage empty = plotNow();

  setCounts(5, 5.0);
  view->RefreshView(0);  // a new second: the graph shows it
  const QImage five = plotNow();
  EXPECT_NE(five, empty);

  setCounts(5, 9.0);
  clock.Advance(1);
  view->RefreshView(0);  // the clock moved on, no new second
  EXPECT_EQ(plotNow(), five);
  view->RefreshView(0);
  EXPECT_EQ(plotNow(), five);

  setCounts(6, 9.0);
  view->RefreshView(0);
  EXPECT_NE(plotNow(), five);
  frame.reset();
}

TEST(MainWindow, StartUpWithoutTheRetrySettingsFileReportsItAndStillComesUp) {
  ProgramFolder folder(0, {"COMRTY.def"});
  Shell shell(folder, kNoSuchUnit);
  const auto shown = shell.messages().Shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].title, "異常発生");
  EXPECT_EQ(shown[0].text, "通信リトライ設定の読み込みを失敗しました。");
  ASSERT_TRUE(shell.ShowAndPaint());
  EXPECT_TRUE(shell.view().CycleTimerRunning());
}

TEST(MainWindow, StartUpWithEverySettingsFileShowsNoMessage) {
  ProgramFolder folder;
  Shell shell(folder, kNoSuchUnit);
  ASSERT_TRUE(shell.ShowAndPaint());
  PumpUntil([&] { return shell.link().linkStatus.load() == kLinkNg; }, 10.0);
  EXPECT_TRUE(shell.messages().Shown().empty());
}

}  // namespace
}  // namespace velrix::testing
