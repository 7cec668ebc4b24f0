// The view's side of reviewing recorded data and of the trend cursor: the
// open and close commands, the keys that zoom and move through what was
// opened, and the cursor's read-out pop-up and line with the mouse and
// occlusion rules that show and hide them.

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <optional>

#include "app/tenvo_view.h"
#include "datafile/date_search.h"
#include "datafile/ui/file_dialogs.h"
#include "datafile/data_file_format.h"
#include "display/trend_window.h"
#include "display/ui/power_help.h"
#include "display/ui/trend_info.h"
#include "platform/cp932.h"

namespace velrix {
namespace {

// The power squares and where their help pop-up goes from the mouse.
constexpr QRect kPowerSquares{180, 613, 21, 41};
constexpr QPoint kPowerHelpOffset{-130, -80};
TrendKey TrendKeyOf(int key) {
  switch (key) {
    case Qt::Key_F1: return TrendKey::F1;
    case Qt::Key_F2: return TrendKey::F2;
    case Qt::Key_F3: return TrendKey::F3;
    case Qt::Key_F4: return TrendKey::F4;
    default: break;
  }
  // The digits of the main keyboard; the keypad's reach here as
  // Qt::Key_unknown (keyPressEvent).
  switch (key) {
    case Qt::Key_1: return TrendKey::Digit1;
    case Qt::Key_2: return TrendKey::Digit2;
    case Qt::Key_3: return TrendKey::Digit3;
    case Qt::Key_4: return TrendKey::Digit4;
    default: return TrendKey::Other;
  }
}

}  // namespace

// Every load reads with the moving average the panel uses.
ReaderEnv CTenvoView::Reader() {
  fileHistory_->averageSeconds = station_->settings.displayUnits.averageSeconds;
  return ReaderEnv{station_->messages, station_->clock};
}

void CTenvoView::keyPressEvent(QKeyEvent* event) {
  // A held key repeats with isAutoRepeat set: only its first press counts.
  const bool keypad = (event->modifiers() & Qt::KeypadModifier) != 0;
  RefreshView(keypad && event->key() >= Qt::Key_1 && event->key() <= Qt::Key_4 ? Qt::Key_unknown
                                                                                 : event->key(),
              !event->isAutoRepeat());
}

void CTenvoView::RefreshView(int key, bool firstPress) {
  TrendKeyState state;
  state.firstPress = firstPress;
  state.fileMode = fileMode_;
  state.trendSpan = ValidTrendSpan(station_->settings.trend.trendSpan);
  state.origin = fileHistory_->origin;
  state.selectionEnd = selectionEnd_;
  const TrendAction action = DecideTrendKey(TrendKeyOf(key), state);
  if (action == TrendAction::Refresh) {
    RefreshRequest();
    return;
  }
  Navigate(action);
}

void CTenvoView::Navigate(TrendAction action) {
  int& span = station_->settings.trend.trendSpan;  // a span the keys choose is not saved
  span = ValidTrendSpan(span);
  const long long spanSeconds = TrendSpanOf(span).seconds;
  FileHistory& h = *fileHistory_;
  const ReaderEnv env = Reader();
  // The wait cursor shows while files are reloaded: by the moves, by F4,
  // and by a zoom around a cursor time in the file view.
  const bool zoom = action == TrendAction::ZoomIn || action == TrendAction::ZoomOut;
  const bool reloads = zoom ? fileMode_ == 1 && lastCursorTimeValid_
                            : action != TrendAction::ToggleCursor;
  WaitCursor waitCursor;
  std::optional<BusyWhile> loading;
  if (reloads) loading.emplace(waitCursor);
  switch (action) {
    case TrendAction::ZoomIn:
    case TrendAction::ZoomOut: {
      const int newSpan = span + (action == TrendAction::ZoomIn ? -1 : 1);
      if (fileMode_ == 1 && lastCursorTimeValid_) {
        const CalendarTime& t = lastCursorTime_;
        const ClockSeconds cursor =
            station_->clock.FromLocal(t.year, t.month, t.day, t.hour, t.minute, t.second);
        const long long newSeconds = TrendSpanOf(newSpan).seconds;
        const ClockSeconds w =
            NavigationWindowStart(action, cursor, h.origin, spanSeconds, newSeconds, selectionStart_);
        NavigationReload(h, selection_, w, newSeconds, selectionStart_, selectionEnd_,
                         station_->settings.dataFolder, env);
      }
      span = newSpan;
      break;
    }
    case TrendAction::ToggleCursor:
      cursorShown_ = cursorShown_ == 1 ? 0 : 1;
      UpdateCursorReadout();
      break;
    case TrendAction::BackToOpened:
      ReloadOpenedLoad(h, selection_, station_->settings.dataFolder, env);
      span = SpanForLoadedSeconds(h.loadedSeconds);
      break;
    default: {
      const ClockSeconds w =
          NavigationWindowStart(action, 0, h.origin, spanSeconds, spanSeconds, selectionStart_);
      NavigationReload(h, selection_, w, spanSeconds, selectionStart_, selectionEnd_,
                       station_->settings.dataFolder, env);
      break;
    }
  }
  loading.reset();
  if (fileMode_ == 1 && !h.files.empty()) station_->run.shownVersion = h.shownVersion;
  RedrawTrend();
}

void CTenvoView::OpenFiles() {
  Reader();
  FileOpenRoute route{this, *fileHistory_, selection_, station_->settings, station_->messages, station_->clock};
  int span = 0;
  std::string directPath;
  if (!RunFileOpenDialog(route, &span, &directPath)) return;
  EnterFileView(span, directPath);
}

void CTenvoView::EnterFileView(int span, const std::string& directPath) {
  FileHistory& h = *fileHistory_;
  fileMode_ = 1;
  selectionStart_ = h.origin;
  selectionEnd_ = h.files.empty() ? h.origin : h.files.back().endTime;
  lastCursorTimeValid_ = false;
  lastCursorTime_ = CalendarTime{};
  popupAllowed_ = 1;
  KeepOpenedLoad(h, selection_, directPath);
  station_->run.shownVersion = h.shownVersion;
  station_->settings.trend.trendSpan = span;
  RedrawTrend();
}

void CTenvoView::LeaveFileView() {
  fileMode_ = 0;
  fileHistory_->files.clear();
  fileHistory_->warmUpConsumed = false;
  station_->run.shownVersion = kDataFileVersion;
  RedrawTrend();
}

QWidget* CTenvoView::PowerHelp() const { return powerHelp_; }

void CTenvoView::HideCursorWindows() {
  if (info_ != nullptr) info_->hide();
  if (cursorLine_ != nullptr) cursorLine_->hide();
}

CursorDetails CTenvoView::DetailsOfSecond(long long second) const {
  CursorDetails d;
  if (fileMode_ == 1) {
    const FileHistory& h = *fileHistory_;
    const int i = FileAtSecond(h, second);
    if (i < 0) return d;
    const FileEntry& f = h.files[static_cast<std::size_t>(i)];
    d.fileName = f.name;
    d.computerName = Cp932ToUtf8(f.computerName);
    d.unitNumber = Cp932ToUtf8(f.unitNumber);
    d.comment = Cp932ToUtf8(f.comment);
    return d;
  }
  // The live measurement: the file of the run that holds the second, and the
  // settings its files are written with. A file's first row is the sample
  // at its start, which ends a second later.
  const auto& entries = station_->writer.files.entries;
  for (std::size_t i = entries.size(); i-- > 0;) {
    if (entries[i].startSecond < second || i == 0) {
      d.fileName = entries[i].name;
      break;
    }
  }
  d.computerName = station_->settings.comment.computerName;
  d.unitNumber = station_->settings.comment.unitNumber;
  d.comment = station_->run.autoStartState == AutoStartState::Started ? std::string(kAutoComment)
                                                             : station_->settings.comment.comment;
  return d;
}

void CTenvoView::UpdateCursorReadout() {
  if (info_ == nullptr || cursorLine_ == nullptr) return;
  const bool files = fileMode_ == 1;
  CursorInputs in;
  in.mouseX = lastMouse_.x();
  in.mouseY = lastMouse_.y();
  in.window = lastWindow_;
  in.span = station_->settings.trend.trendSpan;
  in.scale = station_->settings.trend.trendScale;
  in.history = files ? &fileHistory_->timeline : &station_->history;
  in.table = &station_->doseTable;
  in.startTime = files ? fileHistory_->origin : station_->writer.firstRowTime - 1;
  if (!files) in.changes = LiveDatingChanges(station_->writer.files);
  in.clock = &station_->clock;
  in.fileMode = fileMode_;
  in.measuring = station_->link.measuring.load();
  in.elapsedSeconds = station_->history.elapsedSeconds;
  in.warmUpConsumed = files && fileHistory_->warmUpConsumed;
  in.popupAllowed = popupAllowed_ == 1;
  in.cursorShown = cursorShown_ == 1;
  in.versionTwo = station_->run.shownVersion == kDataFileVersion;
  in.viewHeight = height();
  in.details = [this](long long second) { return DetailsOfSecond(second); };
  const CursorReadout r = ComputeCursorReadout(in);
  if (!r.shown) {
    HideCursorWindows();
    return;
  }
  lastCursorTime_ = r.time;
  lastCursorTimeValid_ = true;
  cursorLine_->setGeometry(QRect(mapToGlobal(QPoint(r.lineX, r.lineY)),
                                 QSize(kCursorLineWidth, r.lineHeight)));
  cursorLine_->show();
  info_->SetRows(r.rows);
  info_->setGeometry(QRect(mapToGlobal(QPoint(r.popupX, r.popupY)),
                           QSize(r.popupWidth, r.popupHeight)));
  info_->show();
  info_->raise();
}

void CTenvoView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  const bool moved = pos != lastMouse_;
  lastMouse_ = pos;
  if (powerHelp_ != nullptr) {
    if (kPowerSquares.contains(pos)) {
      if (moved) {
        powerHelp_->move(mapToGlobal(pos + kPowerHelpOffset));
        powerHelp_->show();
        powerHelp_->raise();
        powerHelp_->update();
      }
    } else if (powerHelp_->isVisible()) {
      powerHelp_->hide();
    }
  }
  if (keyForwarded_) {
    keyForwarded_ = false;
    return;
  }
  UpdateCursorReadout();
}

void CTenvoView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) {
    HideCursorWindows();
  }
}

}  // namespace velrix
