#include "app/tenvo_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "app/command_ids.h"
#include "app/dialog_routes.h"
#include "app/logo.h"
#include "app/main_frame.h"
#include "datafile/data_file_format.h"
#include "display/panel_text.h"
#include "display/trend_picture.h"
#include "display/ui/power_help.h"
#include "display/ui/trend_info.h"
#include "display/ui/trend_painter.h"
#include "link/port_names.h"
#include "platform/c_format.h"

namespace velrix {
namespace {

constexpr char kSimulatedUnitFailed[] = "模擬ユニットを開始できません: ";

// The whole-window fill of every paint: a rectangle well past the view.
constexpr int kClearRight = 2028;
constexpr int kClearBottom = 962;
constexpr int kLogoX = 918;
constexpr int kLogoY = 10;

// The column of the two power squares; hovering there shows the help pop-up.

struct ButtonPlace {
  int id;
  const char* caption;
  int left, top, right, bottom;
  bool enabled;
};
constexpr ButtonPlace kRunButtons[] = {
    {kButtonStart, "開始", 330, 609, 430, 645, true},
    {kButtonStop, "停止", 490, 609, 590, 645, false},
};
constexpr ButtonPlace kPowerButtonPlaces[] = {
    {kButtonBatteryOn, "ON", 206, 611, 238, 631, false},
    {kButtonBatteryOff, "OFF", 244, 611, 276, 631, true},
    {kButtonChargingOn, "ON", 206, 635, 238, 655, false},
    {kButtonChargingOff, "OFF", 244, 635, 276, 655, true},
};

// Start-up is timed to the window's first paint: with VELRIX_FIRST_PAINT_STAMP
// set, that paint prints the monotonic clock's seconds on standard error, for
// a caller that read the same clock before starting the program.
void StampFirstPaint() {
  if (std::getenv("VELRIX_FIRST_PAINT_STAMP") == nullptr) return;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
  std::fputs(CFormatString("first paint %.6f\n", seconds).c_str(), stderr);
  std::fflush(stderr);
}

}  // namespace

CTenvoView::CTenvoView(const AppOptions& options, UserMessages* messages, const Clock* clock)
    : ownMessages_(messages == nullptr ? std::make_unique<QtUserMessages>(this) : nullptr),
      station_(BuildStation(options, messages != nullptr ? *messages : *ownMessages_,
                            clock != nullptr ? *clock : DefaultClock())),
      fileHistory_(std::make_unique<FileHistory>()),
      ctx_{*station_, *this},
      canvas_(QSize(kViewWidth, kViewHeight), QImage::Format_RGB32) {
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  StartUp();
}

CTenvoView::~CTenvoView() { ShutDown(); }

void CTenvoView::StartUp() {
  // Fonts, palette and fixed tools for the life of the program.
  tools_ = CreateDisplayTools();

  // Program folder, base and data folder, then the settings and the table,
  // then the rows a crashed or killed copy left uncommitted. The window is
  // not up yet: what start-up reports stands alone.
  LoadStationSettings(*station_);
  station_->run.shownVersion = kDataFileVersion;
  RecoverUncommittedRows(*station_);

  // The hidden pop-ups: the trend cursor's read-out, its line and a third
  // of their kind, and the power squares' help.
  info_ = new CDlg_trend_info(tools_, this);
  cursorLine_ = new CDlg_trend_info(tools_, this);
  spareInfo_ = new CDlg_trend_info(tools_, this);
  info_->onMouseInside = [this] { HideCursorWindows(); };
  info_->onKey = [this](int key) {
    // The key acts on the view as if pressed there: as a first press, once
    // this event has returned; the next mouse move does not bring the
    // pop-up straight back.
    keyForwarded_ = true;
    HideCursorWindows();
    QMetaObject::invokeMethod(this, [this, key] { RefreshView(key, true); }, Qt::QueuedConnection);
  };
  powerHelp_ = new CDlg_pow_help(tools_, this);
  powerHelp_->hide();

  // Last, the link: the simulated unit first when asked for, then the
  // supervisor that finds the unit and starts the communication thread.
  const LinkStart started = StartStationLink(*station_);
  if (!started.unitStarted) {
    MessagesOver(station_->messages, nullptr)
        .Show(kSystemErrorTitle, kSimulatedUnitFailed + started.unitError);
  }
  // What keeps publishing from starting is shown on standard error as well:
  // it is a fault of the station's own file, not of the connection.
  const std::string problems =
      publishers_.Start(station_->settings.programFolder,
                        {&station_->link, station_->supervisor.get(),
                         station_->settings.comment.unitNumber});
  if (!problems.empty()) {
    Trace(problems);
    std::fprintf(stderr, "velrix: %s\n", problems.c_str());
  }
}

void CTenvoView::ShutDown() {
  if (shutDown_) return;
  shutDown_ = true;
  if (cycleTimer_ != nullptr) cycleTimer_->stop();
  // A running measurement is finished: stopped, a pause for the link and a
  // tick in progress, then the working copy goes over the dated file.
  StopMeasurementAtExit(ctx_);
  publishers_.Stop();
  keepAwake_.Follow(false);
  sound_.Stop();
  StopStationLink(*station_);
}

QPushButton* CTenvoView::Button(int id) const {
  if (id == kButtonStart) return startButton_;
  if (id == kButtonStop) return stopButton_;
  for (int i = 0; i < 4; ++i) {
    if (kPowerButtonPlaces[i].id == id) return powerButtons_[i];
  }
  return nullptr;
}

void CTenvoView::CreateButtons() {
  for (const ButtonPlace& b : kRunButtons) {
    auto* button = new MarkedRunButton(QString::fromUtf8(b.caption), tools_, this);
    button->setObjectName(QString::number(b.id));
    button->setGeometry(b.left, b.top, b.right - b.left, b.bottom - b.top);
    button->setDefault(true);
    connect(button, &QPushButton::clicked, this, [this, id = b.id] { OnButton(id); });
    button->show();
    (b.id == kButtonStart ? startButton_ : stopButton_) = button;
  }
  startButton_->setEnabled(wantStartEnabled_);
  stopButton_->setEnabled(wantStopEnabled_);
  for (int i = 0; i < 4; ++i) {
    const ButtonPlace& b = kPowerButtonPlaces[i];
    auto* button = new QPushButton(QString::fromUtf8(b.caption), this);
    button->setObjectName(QString::number(b.id));
    button->setGeometry(b.left, b.top, b.right - b.left, b.bottom - b.top);
    button->setEnabled(b.enabled);
    button->setDefault(true);
    for (const PowerButtonText& text : kPowerButtons) {
      if (text.command == b.id) button->setToolTip(QString::fromUtf8(text.tooltip));
    }
    connect(button, &QPushButton::clicked, this, [this, id = b.id] { OnButton(id); });
    button->show();
    powerButtons_[i] = button;
  }
}

void CTenvoView::FirstPaint() {
  firstPaintDone_ = true;
  cycleTimer_ = new QTimer(this);
  cycleTimer_->setTimerType(Qt::PreciseTimer);
  connect(cycleTimer_, &QTimer::timeout, this, [this] { CycleTick(ctx_); });
  // Two ticks to the clock's second, also when an accelerated clock runs.
  const int periodMs = static_cast<int>(kCyclePeriod.count());
  cycleTimer_->start(std::max(1, periodMs / station_->linkConfig.timeScale));
  CreateButtons();
}

void CTenvoView::paintEvent(QPaintEvent*) {
  // Every paint runs on the GUI thread, so a paint that finds the busy flag
  // set was entered from inside a drawing (a nested event loop): waiting for
  // the flag would wait for ever. It shows the canvas as it stands instead.
  bool first = false;
  if (!busy_ && !canvasFresh_) {
    busy_ = true;
    first = !firstPaintDone_;
    if (first) FirstPaint();
    RenderCanvas();
    busy_ = false;
  }
  canvasFresh_ = false;
  QPainter screen(this);
  screen.drawImage(0, 0, canvas_);
  if (first) StampFirstPaint();
}

void CTenvoView::RenderCanvas() {
  std::lock_guard<std::mutex> lock(drawLock_);
  DrawEverythingLocked();
}

void CTenvoView::DrawEverythingLocked() {
  QPainter p(&canvas_);
  PrepareGdiPainter(p);
  GdiClear(p, tools_, 0, 0, kClearRight, kClearBottom);
  DrawPanelLocked(p);
  DrawTrendLocked(p);
  p.drawImage(kLogoX, kLogoY, VelrixLogo());
}

void CTenvoView::DrawPanelLocked(QPainter& p) {
  Station& s = *station_;
  EvaluateWarnings(warningState_, s.values, s.settings.warning, s.doseTable, s.link, sound_,
                   WarningSoundPath(s.settings.programFolder));

  PanelInputs in;
  in.values = s.values;
  in.units = s.settings.displayUnits;
  in.table = &s.doseTable;
  in.warnings = PanelWarningsFrom(warningState_);
  in.stoppedMark = s.run.stoppedMark;
  in.stopTime = s.run.stopTime;
  in.now = s.clock.Now();
  in.elapsedSeconds = s.history.elapsedSeconds;
  in.clock = &s.clock;
  ReadLinkInputs(in, s.link);
  in.portName = PortName(s.linkConfig, s.link.openedPort.load());
  const PanelResult result = DrawPanel(p, tools_, in);
  lastPanel_ = result;

  // A power command cannot reach a unit that is not answering.
  if (result.linkFailedShown) s.link.powerCommandState.store(0);
  EvaluatePowerEvents(powerPanel_, s.settings.power, s.link, s.clock, *this);

  if (startButton_ != nullptr) {
    startButton_->SetMark(result.mark == RunMark::Run ? RunMark::Run : RunMark::None);
    stopButton_->SetMark(result.mark == RunMark::Stop ? RunMark::Stop : RunMark::None);
  }
}

void CTenvoView::DrawTrendLocked(QPainter& p) {
  const Station& s = *station_;
  TrendInputs in =
      fileMode_ == 1
          ? FileTrendInputs(*fileHistory_, s.settings.trend, s.doseTable, s.clock, cursorShown_)
          : LiveTrendInputs(s.history, s.settings.trend, s.doseTable, s.writer.firstRowTime,
                            s.clock, s.link.measuring.load(), cursorShown_);
  if (fileMode_ == 0) in.changes = LiveDatingChanges(s.writer.files);
  in.measuring = s.link.measuring.load();
  lastWindow_ = DrawTrend(p, tools_, in);
}

void CTenvoView::ShowCanvas() {
  if (!firstPaintDone_) return;  // the first paint draws everything anyway
  canvasFresh_ = true;
  update();
}

void CTenvoView::RedrawPanel() {
  {
    std::lock_guard<std::mutex> lock(drawLock_);
    QPainter p(&canvas_);
    PrepareGdiPainter(p);
    DrawPanelLocked(p);
  }
  ShowCanvas();
}

void CTenvoView::RedrawTrend() {
  {
    std::lock_guard<std::mutex> lock(drawLock_);
    QPainter p(&canvas_);
    PrepareGdiPainter(p);
    DrawTrendLocked(p);
  }
  ShowCanvas();
}

void CTenvoView::PostRefresh() {
  QMetaObject::invokeMethod(this, [this] { RefreshView(0); }, Qt::QueuedConnection);
}

void CTenvoView::RefreshRequest() {
  MeasurementChecks(ctx_);
  keepAwake_.Follow(station_->link.measuring.load() == 1);
  if (busy_) return;
  // Redraw only when a second was completed or the clock moved on; the graph
  // only for a new second of the live measurement.
  const int sampleCount = station_->history.sampleCount;
  const ClockSeconds now = station_->clock.Now();
  if (sampleCount != lastSampleCount_ || now != lastClockSecond_) {
    busy_ = true;
    {
      std::lock_guard<std::mutex> lock(drawLock_);
      QPainter p(&canvas_);
      PrepareGdiPainter(p);
      DrawPanelLocked(p);
      if (fileMode_ == 0 && sampleCount != lastSampleCount_) DrawTrendLocked(p);
    }
    lastSampleCount_ = sampleCount;
    lastClockSecond_ = now;
    busy_ = false;
    ShowCanvas();
  }
  OcclusionCheck();
}

bool CTenvoView::ProbesStillShowing() const {
  QScreen* shown = screen();
  if (shown == nullptr || !isVisible()) return false;
  const ProbePoint probes[] = {lastPanel_.leftProbe, lastPanel_.rightProbe};
  QPoint at[2];
  QRect around;
  for (int i = 0; i < 2; ++i) {
    at[i] = mapToGlobal(QPoint(probes[i].x, probes[i].y)) - shown->geometry().topLeft();
    around |= QRect(at[i], QSize(1, 1));
  }
  // Both probes lie on one row of the panel: while that strip is on the
  // screen, one read serves both. Every read is several round trips to the
  // window system, twice a second.
  QImage strip;
  if (QRect(QPoint(0, 0), shown->geometry().size()).contains(around)) {
    strip = shown->grabWindow(0, around.x(), around.y(), around.width(), around.height()).toImage();
    // A window system that cannot read the screen back (offscreen, some
    // compositors) gives nothing to compare; the view then counts as shown.
    if (strip.isNull()) return true;
  }
  for (int i = 0; i < 2; ++i) {
    const QImage pixel = strip.size() == around.size()
                             ? strip.copy(QRect(at[i] - around.topLeft(), QSize(1, 1)))
                             : shown->grabWindow(0, at[i].x(), at[i].y(), 1, 1).toImage();
    if (pixel.isNull()) continue;
    if ((pixel.pixel(0, 0) & 0xFFFFFF) != (probes[i].colour & 0xFFFFFF)) return false;
  }
  return true;
}

// The pop-ups are top-level windows of their own: when another window covers
// the view, or the view moves, they would float over the other window or stay
// behind, so they are hidden until the next mouse move shows them again.
void CTenvoView::OcclusionCheck() {
  const QPoint topLeft = window()->geometry().topLeft();
  if (ProbesStillShowing() && topLeft == lastTopLeft_) {
    popupAllowed_ = 1;
    return;
  }
  // The power help belongs to the mouse over the squares and stays.
  popupAllowed_ = 0;
  HideCursorWindows();
  lastTopLeft_ = topLeft;
}

void CTenvoView::SetRunButtons(bool startEnabled, bool stopEnabled) {
  wantStartEnabled_ = startEnabled;
  wantStopEnabled_ = stopEnabled;
  if (startButton_ != nullptr) startButton_->setEnabled(startEnabled);
  if (stopButton_ != nullptr) stopButton_->setEnabled(stopEnabled);
}

void CTenvoView::EnableButton(int command, bool enabled) {
  if (QPushButton* button = Button(command)) button->setEnabled(enabled);
}

void CTenvoView::ShowPowerPopup(const std::string& text) {
  // The panel never waits for the user: the box is shown after this drawing
  // returns, and nobody waits for it to close.
  QPointer<CTenvoView> self(this);
  QMetaObject::invokeMethod(this, [self, text] {
    if (self) ShowDetachedMessage(self->window(), kPowerPopupTitle, text);
  }, Qt::QueuedConnection);
}

bool CTenvoView::ConfirmComment() {
  return RunCommentCheckRoute(this, station_->settings, station_->messages);
}

void CTenvoView::OnButton(int id) {
  switch (id) {
    case kButtonStart:
      StartMeasurement(ctx_);
      break;
    case kButtonStop:
      StopMeasurement(ctx_);
      RedrawPanel();
      break;
    default:
      RunPowerCommand(id, powerPanel_, station_->link, *this);
      break;
  }
}

void CTenvoView::OnCommand(int id) {
  switch (id) {
    case kCmdStart:
      StartMeasurement(ctx_);
      return;
    case kCmdStop:
      StopMeasurement(ctx_);
      RedrawPanel();
      return;
    case kCmdAppAbout:
      ShowAboutBox(this);
      return;
    case kCmdOpen:
      OpenFiles();
      return;
    case kCmdClose:
      LeaveFileView();
      return;
    default:
      break;
  }
  DialogRoute route{this, station_->settings, station_->link, station_->messages,
                    [this] { RedrawPanel(); }, [this] { RedrawTrend(); }};
  RunDialogCommand(id, route);
}

}  // namespace velrix
