// The real message boxes of the shell and the window each stands over: what
// start-up reports stands alone (no window is up yet), the measurement's own
// messages stand over the main window.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "tests/app/app_fixture.h"

namespace velrix::testing {
namespace {

struct SeenBox {
  QWidget* owner;
  std::string text;
};

// Notes each modal box that comes up, with its owner, and answers it.
class BoxWatcher {
 public:
  BoxWatcher() {
    timer_.setInterval(20);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      seen.push_back({box->parentWidget(), box->text().toStdString()});
      box->accept();
    });
    timer_.start();
  }
  std::vector<SeenBox> seen;

 private:
  QTimer timer_;
};

TEST(MessageOwners, StartUpBoxesStandAloneAndTheMeasurementsStandOverTheWindow) {
  BoxWatcher watcher;
  ProgramFolder folder(0, {"sv_table.def"});
  AppOptions options;
  options.programFolder = folder.program();
  options.port = kNoSuchUnit;
  auto* view = new CTenvoView(options, nullptr);
  CMainFrame frame(view);
  ASSERT_EQ(watcher.seen.size(), 1u);  // the missing conversion table
  EXPECT_EQ(watcher.seen[0].owner, nullptr);

  frame.show();
  ASSERT_TRUE(PumpUntil([&] { return view->Button(kButtonStart) != nullptr; }, 20.0));
  view->OnCommand(kCmdStart);  // the unit cannot be reached
  ASSERT_EQ(watcher.seen.size(), 2u);
  EXPECT_EQ(watcher.seen[1].text, "USBユニットと通信できないため、測定開始できません。");
  EXPECT_EQ(watcher.seen[1].owner, &frame);
}

}  // namespace
}  // namespace velrix::testing
