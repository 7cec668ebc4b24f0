// Power cuts. The recorder and the window record through midnight on
// forgetful_fs, the window saving its settings meanwhile, while the file
// system cuts the power at instants drawn by a seeded generator (after one of
// the file operations: a write, a sync, a rename, a truncation). For each
// cut the disk it left is mounted again and the program started on it, as
// after the power came back: every day committed before the cut must be
// there byte for byte, the running day must have lost at most the row being
// written, a torn end of the working copy must be reported, no settings file
// may be empty or half written, and the program must start normally (no
// first run). The rows the programs committed are checked once against the
// frames the unit sent.

#include <gtest/gtest.h>
#include <signal.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QPushButton>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/command_ids.h"
#include "app/main_frame.h"
#include "app/tenvo_view.h"
#include "settings/settings_files.h"
#include "tests/e2e/power_cut_fixture.h"
#include "tests/support/recording_messages.h"

namespace velrix::testing::e2e {
namespace {

constexpr int kScale = 5;
constexpr char kCannotRead[] = "の読み込みを失敗しました。";
constexpr char kNotWritten[] = "に書き込みませんでした。";
// Below these the draw did not reach what the case is about.
constexpr int kMinCuts = 60;
constexpr int kSettingsSaveSeconds = 5;
constexpr int kShownFailures = 5;

int Size(const std::vector<int>& v) { return static_cast<int>(v.size()); }

int CutsAt(const CutStation& station, const std::string& text) {
  int n = 0;
  for (const std::string& cut : station.CutFolders()) {
    n += ReadBytes(cut + "/cut.txt").find(text) != std::string::npos ? 1 : 0;
  }
  return n;
}

bool PumpUntil(const std::function<bool()>& condition, double seconds) {
  return WaitUntil(
      [&] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return condition();
      },
      seconds);
}

// Mounts each cut's disk in turn, has restart start the program on it and
// end it (its own problems returned, given the report the start must give),
// and checks what the disk then holds. "" when every cut passed.
// *reports counts the cuts after which a start owed a report.
std::string CheckEveryCut(const CutStation& station, const SettingsVersions& versions,
                          const std::function<std::string(const std::string&)>& restart,
                          int* reports) {
  std::vector<std::string> failed;
  const std::vector<std::string> cuts = station.CutFolders();
  *reports = 0;
  for (const std::string& cut : cuts) {
    const Files live = ReadTree(cut + "/live");
    const Files durable = ReadTree(cut + "/durable");
    ForgetfulMount mount(cut + "/durable", station.MountPoint(), cut + "/fs.log");
    if (!mount.Mounted()) return "FUSE could not mount " + cut + ": " + mount.Log();
    const std::string report = ExpectedReport(durable, station.WorkingCopy());
    *reports += report.empty() ? 0 : 1;
    std::string problems = restart(report);
    const Files after = ReadTree(station.MountPoint());
    if (!mount.Unmount()) problems += "the file system did not unmount: " + mount.Log();
    problems += CutProblems(live, after, versions, station.MountPoint());
    if (!problems.empty()) failed.push_back(ReadBytes(cut + "/cut.txt") + problems);
  }
  std::printf("%zu cuts checked, %d owed a report, %zu failed\n", cuts.size(), *reports,
              failed.size());
  if (failed.empty()) return "";
  std::string text = std::to_string(failed.size()) + " of " + std::to_string(cuts.size()) +
                     " cuts failed; the first ones:\n";
  for (std::size_t i = 0; i < failed.size() && i < kShownFailures; ++i) text += failed[i] + "\n";
  return text;
}

// What a start said about the working copy, against the report it owed.
std::string ReportProblems(const std::string& report, int reports, int exact) {
  if (report.empty() ? reports == 0 : (reports == 1 && exact == 1)) return "";
  return "the start owed the report \"" + report + "\" and gave " + std::to_string(reports) +
         " reports\n";
}

TEST(PowerCut, TheRecorderLosesNoCommittedDayAndAtMostTheRowBeingWritten) {
  CutStation station;
  const SettingsVersions versions = InitialSettings(ReadTree(station.Tree()));
  // Through midnight and the year's turn: the new day's folders are made.
  SharedClock clock("2026-12-31 23:59:30", kScale);
  sim::SimUnit unit(MarkedUnit(clock, station.station().UnitLink()));
  ASSERT_TRUE(unit.Start());
  {
    ForgetfulMount mount(station.Tree(), station.MountPoint(),
                         station.station().temp().File("fs.log"), station.Cuts(),
                         CutDraw{21, 1.0, 1.0, 0.4, 150});
    ASSERT_TRUE(mount.Mounted()) << "FUSE cannot be mounted here (/dev/fuse, fuse3):\n"
                                 << mount.Log();
    auto recorder = StartRecorderOn(station, &clock, "recorder.out");
    clock.SleepUntilMs(At(2027, 1, 1, 0, 0, 40) * 1000);
    const int sentAtStop = Size(unit.CountsSent());
    recorder->Signal(SIGTERM);
    const std::optional<int> status = recorder->WaitExit(kExitSeconds);
    EXPECT_TRUE(ExitedWith(status, 0)) << Describe(status) << "\n" << recorder->Output();
    EXPECT_EQ(LinesWith(recorder->Output(), "システム異常"), 0) << recorder->Output();

    const std::vector<int> sent = unit.CountsSent();
    RowExpectations expect;
    expect.allowedDrops = {{0, 1}, {sentAtStop - 3, Size(sent)}};
    expect.maxOtherDrops = 2;
    std::vector<DataFile> files;
    Matching m;
    EXPECT_EQ(CheckCommitted(station.DataFolder(), sent, expect, &files, &m), "")
        << recorder->Output();
    EXPECT_EQ(files.size(), 2u);
    ASSERT_TRUE(mount.Unmount()) << mount.Log();
  }
  ASSERT_GE(static_cast<int>(station.CutFolders().size()), kMinCuts);
  EXPECT_GE(CutsAt(station, "rename /base/Velrix/2026/12/31/"), 1) << "no cut at the commit";
  EXPECT_GE(CutsAt(station, "/base/Velrix/2027"), 1) << "no cut in the new day's folders";

  int owed = 0;
  const std::string failures = CheckEveryCut(station, versions, [&](const std::string& report) {
    auto recorder = StartRecorderOn(station, nullptr, "restart.out");
    const std::optional<int> status = StopOnceListening(*recorder);
    const std::string output = recorder->Output();
    std::string problems;
    if (!ExitedWith(status, 0)) problems += "the recorder ended with " + Describe(status) + "\n";
    if (LinesWith(output, kCannotRead) != 0) problems += "a settings file could not be read\n";
    problems += ReportProblems(report, LinesWith(output, kNotWritten),
                               report.empty() ? 0 : LinesWith(output, report));
    return problems.empty() ? problems : problems + output;
  }, &owed);
  EXPECT_EQ(failures, "");
  EXPECT_GE(owed, 1) << "no cut tore the working copy's end";
}

// What the settings dialogs save, different each time.
void SaveChangedSettings(Settings& settings, int n, UserMessages& messages) {
  settings.comment.comment = "屋上 " + std::to_string(n);
  settings.warning.currentLimit = 0.5 * n;
  settings.trend = {n % 7, n % 20};
  SaveComment(settings, messages);
  SaveWarningSettings(settings, messages);
  SaveTrendSettings(settings, messages);
}

TEST(PowerCut, TheWindowLosesNoCommittedDayNoSettingAndAtMostTheRowBeingWritten) {
  CutStation station;
  SettingsVersions versions = InitialSettings(ReadTree(station.Tree()));
  SharedClock clock("2026-06-30 23:59:30", kScale);
  sim::SimUnit unit(MarkedUnit(clock, station.station().UnitLink()));
  ASSERT_TRUE(unit.Start());
  {
    ForgetfulMount mount(station.Tree(), station.MountPoint(),
                         station.station().temp().File("fs.log"), station.Cuts(),
                         CutDraw{22, 1.0, 0.15, 0.25, 150});
    ASSERT_TRUE(mount.Mounted()) << "FUSE cannot be mounted here (/dev/fuse, fuse3):\n"
                                 << mount.Log();
    RecordingMessages messages;
    UnitLinkState link;
    AppOptions options;
    options.programFolder = station.Program();
    options.port = station.station().UnitLink();
    auto* view = new CTenvoView(link, options, &messages, &clock.clock());
    auto frame = std::make_unique<CMainFrame>(view);
    frame->show();
    int saves = 0;
    ClockSeconds nextSave = clock.clock().Now() + kSettingsSaveSeconds;
    const ClockSeconds end = At(2026, 7, 1, 0, 0, 40);
    PumpUntil(
        [&] {
          if (clock.clock().Now() >= nextSave) {
            SaveChangedSettings(view->SettingsRecord(), ++saves, messages);
            NoteSettings(station.Program(), &versions);
            nextSave += kSettingsSaveSeconds;
          }
          return clock.clock().Now() >= end;
        },
        kStartSeconds + (end - clock.clock().Now()) / kScale);
    const int sentAtStop = Size(unit.CountsSent());
    // The window's close commits the running day.
    frame->close();
    frame.reset();
    EXPECT_TRUE(messages.Shown().empty()) << Join(messages.Texts());
    EXPECT_GE(saves, 10);

    const std::vector<int> sent = unit.CountsSent();
    RowExpectations expect;
    expect.allowedDrops = {{0, 1}, {sentAtStop - 3, Size(sent)}};
    expect.maxOtherDrops = 2;
    std::vector<DataFile> files;
    Matching m;
    EXPECT_EQ(CheckCommitted(station.DataFolder(), sent, expect, &files, &m), "");
    EXPECT_EQ(files.size(), 2u);
    ASSERT_TRUE(mount.Unmount()) << mount.Log();
  }
  ASSERT_GE(static_cast<int>(station.CutFolders().size()), kMinCuts);
  EXPECT_GE(CutsAt(station, "trend.def"), 5) << "too few cuts in the settings saves";
  EXPECT_GE(CutsAt(station, "rename /base/Velrix/2026/06/30/"), 1) << "no cut at the commit";

  int owed = 0;
  const std::string failures = CheckEveryCut(station, versions, [&](const std::string& report) {
    RecordingMessages messages;
    UnitLinkState link;
    AppOptions options;
    options.programFolder = station.Program();
    options.port = station.station().temp().File("no-unit");
    auto* view = new CTenvoView(link, options, &messages);
    auto frame = std::make_unique<CMainFrame>(view);
    frame->show();
    const bool up = PumpUntil([&] { return view->Button(kButtonStart) != nullptr; }, kStartSeconds);
    frame.reset();
    const std::vector<std::string> texts = messages.Texts();
    int reports = 0, exact = 0, others = 0;
    for (const std::string& text : texts) {
      reports += text.find(kNotWritten) != std::string::npos ? 1 : 0;
      exact += text == report ? 1 : 0;
      others += text.find(kNotWritten) == std::string::npos ? 1 : 0;
    }
    std::string problems = up ? "" : "the window did not come up\n";
    if (others != 0) problems += "the start said more:\n" + Join(texts);
    return problems + ReportProblems(report, reports, exact);
  }, &owed);
  EXPECT_EQ(failures, "");
  EXPECT_GE(owed, 1) << "no cut tore the working copy's end";
}

}  // namespace
}  // namespace velrix::testing::e2e
