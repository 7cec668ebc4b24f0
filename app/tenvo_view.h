#pragma once
// CTenvoView: the one view of the program. It owns every piece of
// measurement, display, file and settings state for the life of the program
// (the measurement's through its station), runs the start-up, the 500 ms
// cycle timer and the refresh, draws the panel and the trend graph under the
// draw lock, and routes the commands.
//
// All drawing goes to an off-screen canvas of the view's size and reaches the
// screen through paintEvent, so code outside a paint (the refresh, the start
// command, a dialog's OK) draws the same way a paint does.

#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <memory>
#include <mutex>

#include "app/app_options.h"
#include "app/qt_messages.h"
#include "app/qt_warning_sound.h"
#include "datafile/file_history.h"
#include "datafile/file_selection.h"
#include "display/cursor_readout.h"
#include "display/trend_navigation.h"
#include "display/trend_window.h"
#include "display/ui/display_tools.h"
#include "display/ui/panel_painter.h"
#include "display/ui/trend_info.h"
#include "link/power_events.h"
#include "measure/keep_awake.h"
#include "measure/measurement.h"
#include "measure/station.h"
#include "measure/warnings.h"
#include "platform/trace.h"
#include "publish/station_publishers.h"

class QPushButton;

namespace velrix {

class CDlg_pow_help;

class CTenvoView : public QWidget, public MeasurementView, public PowerView {
  Q_OBJECT
 public:
  // messages and clock may be replaced by tests; nullptr = message boxes and
  // the system clock.
  explicit CTenvoView(const AppOptions& options, UserMessages* messages = nullptr,
                      const Clock* clock = nullptr);
  ~CTenvoView() override;

  void OnCommand(int id);
  // The key-down handler: key 0 is the refresh request the cycle posts; the
  // trend keys navigate (F1-F4 only on a first press, not while held).
  void RefreshView(int key, bool firstPress = true);
  // The program is closing: finish a running measurement, stop the link.
  void ShutDown();

  // MeasurementView
  void SetRunButtons(bool startEnabled, bool stopEnabled) override;
  bool ConfirmComment() override;
  void RedrawPanel() override;
  bool ShowsLiveMeasurement() const override { return fileMode_ == 0; }
  void UpdateCursorReadout() override;
  void PostRefresh() override;
  void SecondProcessed(const ProcessedSecond& second) override { publishers_.Take(second); }

  // PowerView
  void EnableButton(int command, bool enabled) override;
  void ShowPowerPopup(const std::string& text) override;

  // The recorded data the reader loads for review, and the view's switch
  // between it and the live measurement: the trend graph shows the file
  // history from EnterFileView until LeaveFileView. EnterFileView is what
  // the open command does after a load: the limits of the navigation, the
  // span that fits, the cursor time forgotten.
  FileHistory& FileRecord() { return *fileHistory_; }
  FileSelection& Selection() { return selection_; }
  int FileMode() const { return fileMode_; }
  void EnterFileView(int span, const std::string& directPath = "");
  void LeaveFileView();

  // The trend cursor's windows (the read-out pop-up and the line), and the
  // cursor time the zoom keys centre on.
  CDlg_trend_info* InfoPopup() const { return info_; }
  CDlg_trend_info* CursorLine() const { return cursorLine_; }
  bool CursorTimeValid() const { return lastCursorTimeValid_; }
  const CalendarTime& LastCursorTime() const { return lastCursorTime_; }
  int CursorShown() const { return cursorShown_; }
  QWidget* PowerHelp() const;

  // For the screenshot tool and the tests.
  const QImage& Canvas() const { return canvas_; }
  Station& StationRecord() { return *station_; }
  // The same station, kept for as long as the caller holds it: a test looks
  // at what the window left in it after the window is gone.
  std::shared_ptr<Station> SharedStation() const { return station_; }
  Settings& SettingsRecord() { return station_->settings; }
  bool PopupAllowed() const { return popupAllowed_ == 1; }
  QPushButton* Button(int id) const;
  bool CycleTimerRunning() const { return cycleTimer_ != nullptr && cycleTimer_->isActive(); }
  // Draws panel, graph and logo into the canvas now, as a paint would.
  void RenderCanvas();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void StartUp();
  void FirstPaint();
  void CreateButtons();
  void DrawEverythingLocked();
  void DrawPanelLocked(QPainter& p);
  void DrawTrendLocked(QPainter& p);
  void RedrawTrend();
  void ShowCanvas();
  void OnButton(int id);
  bool ProbesStillShowing() const;
  void OcclusionCheck();
  void RefreshRequest();
  void Navigate(TrendAction action);
  void OpenFiles();
  void HideCursorWindows();
  CursorDetails DetailsOfSecond(long long second) const;
  ReaderEnv Reader();

  // Message boxes over the window, unless the caller gives a sink; made
  // before the station, which reports through them.
  std::unique_ptr<QtUserMessages> ownMessages_;
  std::shared_ptr<Station> station_;
  QtWarningSound sound_;

  DisplayTools tools_;
  std::unique_ptr<FileHistory> fileHistory_;
  WarningState warningState_;
  PowerPanelState powerPanel_;
  MeasurementContext ctx_;
  int fileMode_ = 0;
  int cursorShown_ = 1;
  TrendWindow lastWindow_{};
  FileSelection selection_;
  ClockSeconds selectionStart_ = 0;  // the opened files' first start and last end
  ClockSeconds selectionEnd_ = 0;
  bool keyForwarded_ = false;
  CalendarTime lastCursorTime_{};
  bool lastCursorTimeValid_ = false;
  QPointer<CDlg_trend_info> info_;
  QPointer<CDlg_trend_info> cursorLine_;
  QPointer<CDlg_trend_info> spareInfo_;  // made with the other two, never shown

  // Held while a measurement runs; without logind the reason goes to
  // standard error once, never to a message box.
  KeepAwake keepAwake_{[](const std::string& text) {
    std::fprintf(stderr, "velrix: %s\n", text.c_str());
  }};
  // What publish.conf sets up; the connection's changes go to the trace.
  StationPublishers publishers_{[](const std::string& text) { Trace(text); }};

  QImage canvas_;
  std::mutex drawLock_;
  bool busy_ = false;
  bool firstPaintDone_ = false;
  // Set when code outside a paint has just drawn into the canvas and asked
  // for it to be shown: that paint only copies the canvas, instead of
  // drawing the panel and the graph a second time.
  bool canvasFresh_ = false;
  bool shutDown_ = false;
  QTimer* cycleTimer_ = nullptr;
  int lastSampleCount_ = -1;
  ClockSeconds lastClockSecond_ = -1;
  bool wantStartEnabled_ = true;
  bool wantStopEnabled_ = false;
  MarkedRunButton* startButton_ = nullptr;
  MarkedRunButton* stopButton_ = nullptr;
  QPushButton* powerButtons_[4] = {};
  QPointer<CDlg_pow_help> powerHelp_;
  QPoint lastMouse_{-1, -1};
  PanelResult lastPanel_;
  QPoint lastTopLeft_{-1, -1};
  int popupAllowed_ = 1;
};

}  // namespace velrix
