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
// Below this the draw did not reach what the case is about.
constexpr int kMinCuts = 50;
constexpr int kSettingsSaveSeconds = 5;
constexpr int kShownFailures = 5;

// Starts the program on a cut's disk and ends it; its own problems, given
// the report the start owes ("" for none).
using Restart = std::function<std::string(const std::string& report)>;

int CutsAt(const CutStation& station, const std::string& text) {
  int n = 0;
  for (const std::string& cut : station.CutFolders()) {
    n += ReadBytes(cut + "/cut.txt").find(text) != std::string::npos ? 1 : 0;
  }
  return n;
}

// The writer's run on the first mount, cutting as drawn: record() runs the
// program and returns the frames sent until it was stopped; then every row
// committed is checked against the unit's frames.
void RecordWithCuts(const CutStation& station, const CutDraw& draw, const sim::SimUnit& unit,
                    const std::function<int()>& record) {
  ForgetfulMount mount(station.Tree(), station.MountPoint(),
                       station.station().temp().File("fs.log"), station.Cuts(), draw);
  ASSERT_TRUE(mount.Mounted()) << "FUSE cannot be mounted here (/dev/fuse, fuse3):\n"
                               << mount.Log();
  const int sentAtStop = record();
  const std::vector<int> sent = unit.CountsSent();
  RowExpectations expect;
  expect.allowedDrops = {{0, 1}, {sentAtStop - 3, static_cast<int>(sent.size())}};
  expect.maxOtherDrops = 2;
  std::vector<DataFile> files;
  Matching m;
  EXPECT_EQ(CheckCommitted(station.DataFolder(), sent, expect, &files, &m), "");
  EXPECT_EQ(files.size(), 2u) << "not through midnight";
  ASSERT_TRUE(mount.Unmount()) << mount.Log();
  EXPECT_GE(static_cast<int>(station.CutFolders().size()), kMinCuts);
}

// Mounts each cut's disk in turn, restarts the program on it and checks what
// the disk then holds. "" when every cut passed.
std::string CheckEveryCut(const CutStation& station, const SettingsVersions& versions,
                          const Restart& restart) {
  std::vector<std::string> failed;
  const std::vector<std::string> cuts = station.CutFolders();
  int owed = 0;
  for (const std::string& cut : cuts) {
    const Files live = ReadTree(cut + "/live");
    ForgetfulMount mount(cut + "/durable", station.MountPoint(), cut + "/fs.log");
    if (!mount.Mounted()) return "FUSE could not mount " + cut + ": " + mount.Log();
    const std::string report = ExpectedReport(ReadTree(cut + "/durable"), station.WorkingCopy());
    owed += report.empty() ? 0 : 1;
    std::string problems = restart(report);
    const Files after = ReadTree(station.MountPoint());
    if (!mount.Unmount()) problems += "the file system did not unmount: " + mount.Log();
    problems += CutProblems(live, after, versions, station.MountPoint());
    if (!problems.empty()) failed.push_back(ReadBytes(cut + "/cut.txt") + problems);
  }
  std::printf("%zu cuts checked, %d owed a report, %zu failed\n", cuts.size(), owed,
              failed.size());
  if (owed == 0) failed.push_back("no cut tore the working copy's end");
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
  SettingsVersions versions;
  NoteSettings(station.Tree() + "/program/", &versions);
  // Through midnight and the year's turn: the new day's folders are made.
  SharedClock clock("2026-12-31 23:59:30", kScale);
  sim::SimUnit unit(MarkedUnit(clock, station.station().UnitLink()));
  ASSERT_TRUE(unit.Start());
  RecordWithCuts(station, CutDraw{21, 1.0, 1.0, 0.4, 150}, unit, [&] {
    auto recorder = StartRecorderOn(station, &clock, "recorder.out");
    clock.SleepUntilMs(At(2027, 1, 1, 0, 0, 40) * 1000);
    const int sentAtStop = static_cast<int>(unit.CountsSent().size());
    recorder->Signal(SIGTERM);
    const std::optional<int> status = recorder->WaitExit(kExitSeconds);
    EXPECT_TRUE(ExitedWith(status, 0)) << Describe(status) << "\n" << recorder->Output();
    EXPECT_EQ(LinesWith(recorder->Output(), "システム異常"), 0) << recorder->Output();
    return sentAtStop;
  });
  if (HasFatalFailure()) return;
  EXPECT_GE(CutsAt(station, "rename /base/Velrix/2026/12/31/"), 1) << "no cut at the commit";
  EXPECT_GE(CutsAt(station, "/base/Velrix/2027"), 1) << "no cut in the new day's folders";

  EXPECT_EQ(CheckEveryCut(station, versions, [&](const std::string& report) {
              auto recorder = StartRecorderOn(station, nullptr, "restart.out");
              const std::optional<int> status = StopOnceListening(*recorder);
              const std::string output = recorder->Output();
              std::string problems;
              if (!ExitedWith(status, 0)) problems += "ended with " + Describe(status) + "\n";
              if (LinesWith(output, kCannotRead) != 0) problems += "a settings file unread\n";
              problems += ReportProblems(report, LinesWith(output, kNotWritten),
                                         report.empty() ? 0 : LinesWith(output, report));
              return problems.empty() ? problems : problems + output;
            }),
            "");
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
  SettingsVersions versions;
  NoteSettings(station.Tree() + "/program/", &versions);
  SharedClock clock("2026-06-30 23:59:30", kScale);
  sim::SimUnit unit(MarkedUnit(clock, station.station().UnitLink()));
  ASSERT_TRUE(unit.Start());
  RecordWithCuts(station, CutDraw{22, 1.0, 0.15, 0.25, 150}, unit, [&] {
    RecordingMessages messages;
    AppOptions options;
    options.programFolder = station.Program();
    options.port = station.station().UnitLink();
    auto* view = new CTenvoView(options, &messages, &clock.clock());
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
    const int sentAtStop = static_cast<int>(unit.CountsSent().size());
    // The window's close commits the running day.
    frame->close();
    frame.reset();
    EXPECT_TRUE(messages.Shown().empty()) << Join(messages.Texts());
    EXPECT_GE(saves, 10);
    return sentAtStop;
  });
  if (HasFatalFailure()) return;
  EXPECT_GE(CutsAt(station, "trend.def"), 5) << "too few cuts in the settings saves";
  EXPECT_GE(CutsAt(station, "rename /base/Velrix/2026/06/30/"), 1) << "no cut at the commit";

  EXPECT_EQ(CheckEveryCut(station, versions, [&](const std::string& report) {
              RecordingMessages messages;
              AppOptions options;
              options.programFolder = station.Program();
              options.port = station.station().temp().File("no-unit");
              auto* view = new CTenvoView(options, &messages);
              auto frame = std::make_unique<CMainFrame>(view);
              frame->show();
              const bool up =
                  PumpUntil([&] { return view->Button(kButtonStart) != nullptr; }, kStartSeconds);
              frame.reset();
              int reports = 0, exact = 0;
              for (const std::string& text : messages.Texts()) {
                reports += text.find(kNotWritten) != std::string::npos ? 1 : 0;
                exact += text == report ? 1 : 0;
              }
              std::string problems = up ? "" : "the window did not come up\n";
              if (static_cast<int>(messages.Texts().size()) != reports) {
                problems += "the start said more:\n" + Join(messages.Texts());
              }
              return problems + ReportProblems(report, reports, exact);
            }),
            "");
}

}  // namespace
}  // namespace velrix::testing::e2e
