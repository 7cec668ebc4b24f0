// velrix-screenshots: pictures of the main window for the documentation.
//
// The real frame and view run offscreen in this process against the
// simulated unit on a pseudo-terminal, in a scratch copy of a program folder,
// so the pictures show what a user would see and the user's own settings and
// data files are never touched. Pictures taken:
//   running.png          a live measurement, 1分 span, μSv/h
//   span-10min-cpm.png   the same measurement, 10分 span, CPM and Counts
//   span-1h-cps.png      1時間 span, CPS and mSv
//   warning.png          low warning limits: red rows and the warning box
//   stopped.png          after the stop command
//   link-ng.png          a unit path that does not exist
//   file-view-day.png    a recorded day opened for review, 1日 span
//   file-view-30days.png thirty days with two comments, 30日 span
//   file-view-year.png   a year of one-hour files, 1年 span
//   running-popup.png    the live measurement with the cursor's read-out
//   file-view-popup.png  the recorded day with the cursor's read-out
//
// With --check DIR the pictures are also compared with the ones in DIR (the
// committed pictures of the README), outside the regions that show the clock
// and the live data, so pictures that no longer match what the program draws
// are noticed.
//
// usage: velrix-screenshots [--program-folder DIR] [--out DIR] [--seconds N] [--check DIR]

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/command_ids.h"
#include "app/screenshots/generated_files.h"
#include "app/main_frame.h"
#include "app/tenvo_view.h"
#include "datafile/date_search.h"
#include "display/trend_window.h"
#include "link/unit_link_state.h"
#include "platform/c_format.h"
#include "platform/command_line.h"
#include "platform/stderr_messages.h"
#include "platform/system_info.h"
#include "settings/later_run_folder.h"
#include "sim/sim_unit.h"

namespace velrix {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

constexpr char kProgramName[] = "velrix-screenshots";
constexpr char kUsage[] =
    "usage: velrix-screenshots [--program-folder DIR] [--out DIR] [--seconds N] [--check DIR]\n"
    "  --program-folder DIR  program folder to copy (default: resources/program/ of the tree)\n"
    "  --out DIR             where the PNG files go (default: the current folder)\n"
    "  --seconds N           seconds of live measurement before the first picture (default 20)\n"
    "  --check DIR           also compare each picture with the one of that name in DIR,\n"
    "                        outside the clock and live-data regions; exit 1 if any differs\n"
    "  --help, --version     this text, or the version\n";

// The default program folder when the tool runs from a build folder directly
// below the source tree.
constexpr char kTreeProgramFolder[] = "../resources/program/";

constexpr int kDefaultLiveSeconds = 20;
constexpr int kMaxLiveSeconds = 600;
// A unit found on a pseudo-terminal answers within a few seconds; these are
// generous for a loaded machine and only bound a run that went wrong.
constexpr milliseconds kLinkUpLimit{30000};
constexpr milliseconds kLinkNgLimit{15000};
constexpr milliseconds kCountedSecondLimit{10000};
constexpr milliseconds kPumpStep{20};

// A quiet site with some activity: about 0.6 μSv/h on the shipped table, so
// points and average line sit in the middle of the 1 μSv/h scale. A fixed
// seed gives the same counts on every run.
constexpr double kSimMeanCounts = 1.2;
constexpr std::uint32_t kSimSeed = 20240311;

constexpr char kNoSuchUnit[] = "/dev/velrix-screenshots-no-unit";
constexpr char kComputerName[] = "KAV-HX310-DEMO";
constexpr char kUnitNumber[] = "0001";
constexpr char kComment[] = "屋上";

struct ToolOptions {
  std::string programFolder;
  std::string outFolder = ".";
  std::string checkFolder;
  int liveSeconds = kDefaultLiveSeconds;
};

// A region of the view (client coordinates, right and bottom exclusive).
struct ViewRect {
  int left, top, right, bottom;
};

// What changes from run to run in a live picture: the clock, the elapsed
// time and the values of the panel, the points and lines inside the plot
// area, the dates under the time axis, the retry box's contents and the
// link line (it names the pseudo-terminal). Frames, labels, grids and
// everything else must match.
const std::vector<ViewRect> kLiveRegions = {
    {64, 7, 350, 118},    // clock, elapsed time and the integrated rows
    {459, 13, 712, 114},  // the three rate fields
    // The plot area and its frame: a dot on the frame (a second at full scale
    // or at zero) reaches two pixels past it, the line of the newest second
    // crosses it, and where they stand depends on how long the run took.
    {kPlotLeft - 2, kPlotTop - 2, kPlotRight + 3, kPlotBottom + 3},
    {0, 600, 100, 632},   // start date and time
    {920, 600, 1004, 632},  // end date and time
    {645, 624, 825, 650},   // retry count and time
    {830, 635, 1004, 672},  // link line
};
// The live read-out shows the live values and stands beside the newest
// seconds, inside the plot or reaching past its right edge.
const std::vector<ViewRect> kLiveRegionsWithPopup = [] {
  std::vector<ViewRect> regions = kLiveRegions;
  regions.push_back({960, 146, 1004, 585});
  return regions;
}();
constexpr int kPopupMouseY = 360;

// Without a measurement only the clock moves.
const std::vector<ViewRect> kClockRegion = {{64, 7, 350, 30}};

// Moves the mouse over the view as the user would (outside it: -1, -1).
void PointAt(CTenvoView& view, int x, int y) {
  QMouseEvent move(QEvent::MouseMove, QPointF(x, y), view.mapToGlobal(QPointF(x, y)), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&view, &move);
}

// Trend scales and units of the pictures (indices of the trend and unit tables).
constexpr int kSpan1Min = 0, kSpan10Min = 1, kSpan1Hour = 2, kSpan1Day = 3, kSpan30Days = 4,
              kSpan1Year = 5;
constexpr int kScale1uSvh = 1, kScale10Cps = 10, kScale100Cpm = 15;
constexpr int kUnitMicroSv = 0, kUnitMilliSv = 1, kUnitCounts = 2;
constexpr int kRateMicroSvh = 0, kRateCps = 2, kRateCpm = 3;

bool ParseToolOptions(int argc, char** argv, ToolOptions* options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--program-folder" && hasValue) {
      options->programFolder = argv[++i];
    } else if (arg == "--out" && hasValue) {
      options->outFolder = argv[++i];
    } else if (arg == "--check" && hasValue) {
      options->checkFolder = argv[++i];
    } else if (arg == "--seconds" && hasValue) {
      options->liveSeconds = std::atoi(argv[++i]);
      if (options->liveSeconds < 1 || options->liveSeconds > kMaxLiveSeconds) return false;
    } else {
      return false;
    }
  }
  if (options->programFolder.empty()) options->programFolder = ExecutableFolder() + kTreeProgramFolder;
  return true;
}

// Lets the view's timers, posted refreshes and paints run until done() holds.
bool PumpUntil(const std::function<bool()>& done, milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, static_cast<int>(kPumpStep.count()));
    std::this_thread::sleep_for(kPumpStep);
  }
  return true;
}

// The scratch program folder: the files of the given one, and settings that
// start a measurement by itself as soon as the unit answers (no comment
// check dialog) and keep the data folder inside the scratch folder. The
// pictures show the 1 μSv/h scale.
bool PrepareScratchFolder(const std::string& from, const std::string& scratch,
                          std::string* programFolder, std::string* error) {
  *programFolder = (fs::path(scratch) / "program").string() + "/";
  Settings settings = LaterRunSettings(*programFolder, (fs::path(scratch) / "documents").string(),
                                       {kComputerName, kUnitNumber, kComment}, 1);
  settings.trend.trendScale = kScale1uSvh;
  return WriteLaterRunFolder(settings, from, error);
}

bool InAny(const std::vector<ViewRect>& regions, int x, int y) {
  for (const ViewRect& r : regions) {
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
  }
  return false;
}

class Pictures {
 public:
  Pictures(std::string folder, std::string checkFolder)
      : folder_(std::move(folder)), checkFolder_(std::move(checkFolder)) {}
  // Draws the view as a paint would and saves the whole frame, menu included;
  // live lists the view's regions that differ from run to run.
  void Take(CMainFrame& frame, const char* name, const std::vector<ViewRect>& live = {}) {
    frame.view()->RenderCanvas();
    QImage picture = frame.grab().toImage();
    // The cursor's pop-up and line are windows of their own: they are drawn
    // over the frame where they stand on the screen.
    CTenvoView* view = frame.view();
    for (QWidget* window : {static_cast<QWidget*>(view->CursorLine()),
                            static_cast<QWidget*>(view->InfoPopup())}) {
      if (window == nullptr || !window->isVisible()) continue;
      QPainter p(&picture);
      p.drawPixmap(window->mapToGlobal(QPoint(0, 0)) - frame.mapToGlobal(QPoint(0, 0)),
                   window->grab());
    }
    const QString path = QDir(QString::fromStdString(folder_)).filePath(QString::fromUtf8(name));
    if (picture.save(path, "PNG")) {
      std::printf("%s\n", path.toLocal8Bit().constData());
    } else {
      Fail(("cannot write " + path.toStdString()).c_str());
    }
    if (!checkFolder_.empty()) Check(picture, name, live);
  }
  void Fail(const char* what) {
    std::fprintf(stderr, "%s: %s\n", kProgramName, what);
    ++failures_;
  }
  int failures() const { return failures_; }

 private:
  // The view lies at the bottom of the frame, below the menu bar.
  void Check(const QImage& drawn, const char* name, const std::vector<ViewRect>& live) {
    const QString path =
        QDir(QString::fromStdString(checkFolder_)).filePath(QString::fromUtf8(name));
    const QImage kept = QImage(path).convertToFormat(QImage::Format_RGB32);
    const QImage now = drawn.convertToFormat(QImage::Format_RGB32);
    if (kept.isNull() || kept.size() != now.size()) {
      Fail((path.toStdString() + " is missing or of another size than the picture drawn").c_str());
      return;
    }
    const int viewTop = now.height() - kViewHeight;
    int differing = 0;
    int firstX = -1, firstY = -1;
    for (int y = 0; y < now.height(); ++y) {
      for (int x = 0; x < now.width(); ++x) {
        if (InAny(live, x, y - viewTop) || kept.pixel(x, y) == now.pixel(x, y)) continue;
        if (differing++ == 0) firstX = x, firstY = y - viewTop;
      }
    }
    if (differing > 0) {
      Fail(CFormatString("%s differs from what is drawn now in %d pixels, the first at view "
                         "x %d, y %d",
                         path.toStdString().c_str(), differing, firstX, firstY)
               .c_str());
    }
  }

  std::string folder_;
  std::string checkFolder_;
  int failures_ = 0;
};

// A live measurement on the simulated unit: running in several spans and
// units, in warning, then stopped.
void TakeMeasurementPictures(const std::string& programFolder, int liveSeconds,
                             Pictures& pictures) {
  sim::SimConfig config;
  config.counts.kind = sim::CountSource::Kind::Random;
  config.counts.mean = kSimMeanCounts;
  config.counts.seed = kSimSeed;
  sim::SimUnit unit(config);
  std::string error;
  if (!unit.Start(&error)) {
    pictures.Fail(("the simulated unit does not start: " + error).c_str());
    return;
  }

  AppOptions options;
  options.programFolder = programFolder;
  options.port = unit.DevicePath();
  StderrMessages messages(kProgramName);
  auto* view = new CTenvoView(options, &messages);
  UnitLinkState& link = view->StationRecord().link;
  CMainFrame frame(view);
  frame.show();

  if (!PumpUntil([&] { return link.measuring.load() == 1; }, kLinkUpLimit)) {
    pictures.Fail("the measurement did not start on the simulated unit");
    frame.close();
    return;
  }
  const milliseconds liveLimit = kLinkUpLimit + milliseconds(liveSeconds * 2000);
  PumpUntil([&] { return view->StationRecord().history.sampleCount >= liveSeconds; }, liveLimit);
  // A second without counts shows 0 as the current value; wait for one with
  // counts, so the picture shows a number there.
  PumpUntil([&] { return view->StationRecord().values.latestCount > 0.0; }, kCountedSecondLimit);

  Settings& settings = view->SettingsRecord();
  pictures.Take(frame, "running.png", kLiveRegions);

  // The cursor over the newest second but a few, with its read-out.
  const int newest = view->StationRecord().history.sampleCount;
  PointAt(*view, TrendPointX(kSpan1Min, std::max(1, newest - 3)) + 1, kPopupMouseY);
  pictures.Take(frame, "running-popup.png", kLiveRegionsWithPopup);
  PointAt(*view, -1, -1);

  settings.trend = {kSpan10Min, kScale100Cpm};
  settings.displayUnits.integratedUnit = kUnitCounts;
  settings.displayUnits.rateUnit = kRateCpm;
  pictures.Take(frame, "span-10min-cpm.png", kLiveRegions);

  settings.trend = {kSpan1Hour, kScale10Cps};
  settings.displayUnits.integratedUnit = kUnitMilliSv;
  settings.displayUnits.rateUnit = kRateCps;
  pictures.Take(frame, "span-1h-cps.png", kLiveRegions);

  // Limits well below what the unit shows put every row in warning; the
  // sound stays off.
  settings.trend = {kSpan1Min, kScale1uSvh};
  settings.displayUnits.integratedUnit = kUnitMicroSv;
  settings.displayUnits.rateUnit = kRateMicroSvh;
  const WarningSettings saved = settings.warning;
  settings.warning.currentLimit = 0.01;
  settings.warning.averageLimit = 0.01;
  settings.warning.hourLimit = 0.01;
  settings.warning.integratedLimit = 0.0001;
  settings.warning.dayLimit = 0.01;
  settings.warning.yearLimit = 0.01;
  settings.warning.soundOn = 0;
  pictures.Take(frame, "warning.png", kLiveRegions);
  settings.warning = saved;

  view->OnCommand(kCmdStop);
  QCoreApplication::processEvents();
  pictures.Take(frame, "stopped.png", kLiveRegions);

  frame.close();
  unit.Stop();
}

// Recorded data opened for review, made by the tool itself (see
// generated_files.h): one day, thirty days under two comments, and a year.
// The unit is absent, so only the clock moves between runs.
void TakeFileViewPictures(const std::string& programFolder, Pictures& pictures) {
  AppOptions options;
  options.programFolder = programFolder;
  options.port = kNoSuchUnit;
  StderrMessages messages(kProgramName);
  auto* view = new CTenvoView(options, &messages);
  CMainFrame frame(view);
  frame.show();
  PumpUntil([&] { return view->CycleTimerRunning(); }, kLinkNgLimit);
  view->RefreshView(0);  // a refresh has seen where the window stands

  struct FilePicture {
    const char* name;
    std::vector<GeneratedSpan> files;
    ConditionRange range;
    int span;
  };
  // Each picture's files lie in a year of their own, so no search finds another's.
  const std::vector<FilePicture> list = {
      {"file-view-day.png", {{2021, 3, 2, 1, 0, 86400, "屋上"}}, {2021, 3, 2, 0, 0, 2021, 3, 2, 24, 60},
       kSpan1Day},
      {"file-view-30days.png",
       {{2022, 4, 1, 15, 0, 86400, "屋上"}, {2022, 4, 16, 15, 0, 86400, "地下 倉庫"}},
       {2022, 4, 1, 0, 0, 2022, 4, 30, 24, 60},
       kSpan30Days},
      {"file-view-year.png", {{2023, 1, 1, 365, 12 * 3600, 3600, "屋上"}},
       {2023, 1, 1, 0, 0, 2023, 12, 31, 24, 60},
       kSpan1Year},
  };
  const Settings& settings = view->SettingsRecord();
  for (const FilePicture& picture : list) {
    for (const GeneratedSpan& files : picture.files) {
      if (!WriteGeneratedFiles(settings.dataFolder, files)) {
        pictures.Fail("the recorded data for the file view cannot be written");
        return;
      }
    }
    FileHistory& history = view->FileRecord();
    history.averageSeconds = settings.displayUnits.averageSeconds;
    const ReaderEnv env{messages, DefaultClock()};
    if (RunConditionSearch(history, {settings.dataFolder, ""}, picture.range, env) == 0) {
      pictures.Fail("the generated files were not found");
      continue;
    }
    view->SettingsRecord().trend = {picture.span, kScale1uSvh};
    view->EnterFileView(picture.span);
    pictures.Take(frame, picture.name, kClockRegion);
    if (picture.span == kSpan1Day) {
      // Early afternoon of the day, with the read-out beside the cursor.
      PointAt(*view, TrendPointX(kSpan1Day, 400) + 1, kPopupMouseY);
      pictures.Take(frame, "file-view-popup.png", kClockRegion);
      PointAt(*view, -1, -1);
    }
  }
  frame.close();
}

// No unit at the configured path: the link line turns red.
void TakeLinkNgPicture(const std::string& programFolder, Pictures& pictures) {
  AppOptions options;
  options.programFolder = programFolder;
  options.port = kNoSuchUnit;
  StderrMessages messages(kProgramName);
  auto* view = new CTenvoView(options, &messages);
  UnitLinkState& link = view->StationRecord().link;
  CMainFrame frame(view);
  frame.show();
  if (!PumpUntil([&] { return link.linkStatus.load() == kLinkNg && view->CycleTimerRunning(); },
                 kLinkNgLimit)) {
    pictures.Fail("the link did not report NG for a missing unit");
  }
  pictures.Take(frame, "link-ng.png", kClockRegion);
  frame.close();
}

}  // namespace
}  // namespace velrix

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const velrix::HelpOrVersion asked = velrix::FindHelpOrVersion(args);
  if (asked != velrix::HelpOrVersion::None) {
    return velrix::AnswerHelpOrVersion(asked, velrix::kProgramName, velrix::kUsage);
  }
  // Nothing needs a display: the window is drawn into pictures.
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  velrix::UseCNumbers();

  velrix::ToolOptions options;
  if (!velrix::ParseToolOptions(argc, argv, &options)) {
    return velrix::RejectArguments(velrix::kProgramName, "", velrix::kUsage);
  }
  std::error_code ec;
  std::string error;
  if (!std::filesystem::is_directory(options.programFolder, ec)) {
    std::fprintf(stderr, "velrix-screenshots: no program folder at %s\n%s",
                 options.programFolder.c_str(), velrix::kUsage);
    return 2;
  }
  std::filesystem::create_directories(options.outFolder, ec);

  QTemporaryDir scratch;
  std::string programFolder;
  if (!scratch.isValid() ||
      !velrix::PrepareScratchFolder(options.programFolder, scratch.path().toStdString(),
                                    &programFolder, &error)) {
    std::fprintf(stderr, "velrix-screenshots: cannot prepare a scratch program folder: %s\n",
                 error.c_str());
    return 1;
  }

  velrix::Pictures pictures(options.outFolder, options.checkFolder);
  velrix::TakeMeasurementPictures(programFolder, options.liveSeconds, pictures);
  velrix::TakeLinkNgPicture(programFolder, pictures);
  velrix::TakeFileViewPictures(programFolder, pictures);
  return pictures.failures() == 0 ? 0 : 1;
}
