#include "app/main_frame.h"

#include <QCloseEvent>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>

#include "app/command_ids.h"
#include "app/tenvo_view.h"

namespace velrix {

CMainFrame::CMainFrame(CTenvoView* view) : view_(view) {
  // Caption, system menu, minimise and close only: no maximise, no resize.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setWindowTitle(QString::fromUtf8(kWindowTitle));
  view_->setFixedSize(kViewWidth, kViewHeight);
  setCentralWidget(view_);
  BuildMenu();
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  move(0, 0);
}

void CMainFrame::AddCommand(QMenu* menu, const char* caption, int id) {
  QAction* action = menu->addAction(QString::fromUtf8(caption));
  action->setData(id);
  action->setObjectName(QStringLiteral("cmd%1").arg(id));
  connect(action, &QAction::triggered, this, [this, id] {
    if (id == kCmdAppExit) {
      close();
      return;
    }
    view_->OnCommand(id);
  });
}

void CMainFrame::BuildMenu() {
  QMenu* file = menuBar()->addMenu(QString::fromUtf8("ファイル(&F)"));
  AddCommand(file, "開く(&O)", kCmdOpen);
  AddCommand(file, "閉じる(&C)", kCmdClose);
  file->addSeparator();
  QMenu* run = file->addMenu(QString::fromUtf8("実行(&E)"));
  AddCommand(run, "開始(&S)", kCmdStart);
  AddCommand(run, "停止(&X)", kCmdStop);
  AddCommand(file, "データフォルダの場所(&D)", kCmdDataFolder);
  file->addSeparator();
  AddCommand(file, "アプリケーションの終了(&X)", kCmdAppExit);

  QMenu* settings = menuBar()->addMenu(QString::fromUtf8("設定(&S)"));
  AddCommand(settings, "表示単位設定(&D)", kCmdDisplayUnits);
  AddCommand(settings, "トレンド表示設定(&T)", kCmdTrendSettings);
  AddCommand(settings, "コメント設定(&C)", kCmdComment);
  AddCommand(settings, "警告設定(&K)", kCmdWarning);
  AddCommand(settings, "検知ブザー設定(&B)", kCmdBuzzer);
  AddCommand(settings, "自動開始設定(&A)", kCmdAutoStart);
  AddCommand(settings, "通信リトライ設定(&R)", kCmdRetry);
  AddCommand(settings, "電源設定(&P)", kCmdPower);

  QMenu* help = menuBar()->addMenu(QString::fromUtf8("ヘルプ(&H)"));
  AddCommand(help, "キー操作の説明(&K)", kCmdKeyHelp);
  AddCommand(help, "バージョン情報 (&A)...", kCmdAppAbout);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  // Finishing an open measurement belongs to the view's shut-down.
  view_->ShutDown();
  event->accept();
}

}  // namespace velrix
