// The application itself: its view in this process through an unplug and
// replug (what the panel and the buttons show, what the message interface
// gets, every row committed at the end), and velrix as a process ended with
// SIGTERM just as midnight is committed.

#include <gtest/gtest.h>
#include <signal.h>

#include <QEventLoop>
#include <QPushButton>

#include <memory>
#include <string>
#include <vector>

#include "app/command_ids.h"
#include "app/main_frame.h"
#include "app/tenvo_view.h"
#include "datafile/working_copy.h"
#include "display/panel_text.h"
#include "tests/e2e/e2e_fixture.h"
#include "tests/support/recording_messages.h"

namespace velrix::testing::e2e {
namespace {

constexpr int kScale = 5;

int Size(const std::vector<int>& v) { return static_cast<int>(v.size()); }

bool PumpForFrames(const Station& station, const sim::SimUnit& unit, int frames) {
  bool done = false;
  PumpUntil(
      [&] {
        done = WaitForFrames(station, unit, frames, 0.0);
        return done;
      },
      kStartSeconds);
  return done;
}

TEST(ViewLinkFaults, UnplugAndReplugShowsTheLinkLostWhileTheMeasurementRecordsOn) {
  Station station;
  SharedClock clock("2026-06-01 10:00:00", kScale);
  auto first = std::make_unique<sim::SimUnit>(MarkedUnit(clock, station.UnitLink()));
  ASSERT_TRUE(first->Start());
  RecordingMessages messages;
  AppOptions options;
  options.programFolder = station.program();
  options.port = station.UnitLink();
  auto* view = new CTenvoView(options, &messages, &clock.clock());
  UnitLinkState& link = view->StationRecord().link;
  auto frame = std::make_unique<CMainFrame>(view);
  frame->show();
  // The automatic start of the station's settings.
  ASSERT_TRUE(PumpUntil([&] { return WorkingRows(station) >= 10; }, kStartSeconds));
  EXPECT_FALSE(view->Button(kButtonStart)->isEnabled());
  EXPECT_TRUE(view->Button(kButtonStop)->isEnabled());

  first->HangUp();
  const std::vector<int> sentBefore = first->CountsSent();
  // The panel's link line turns to "not connected"; the measurement goes on.
  ASSERT_TRUE(PumpUntil([&] { return LinkStatusIsNg(link.linkStatus.load()); }, kStartSeconds));
  EXPECT_EQ(LinkStatusText(link.linkStatus.load(), ""), "USBユニット通信NG");
  EXPECT_TRUE(view->Button(kButtonStop)->isEnabled());
  EXPECT_EQ(link.measuring.load(), 1);

  sim::SimUnit second(MarkedUnit(clock, station.UnitLink(), 1000));
  ASSERT_TRUE(second.Start());
  ASSERT_TRUE(PumpUntil([&] { return link.linkStatus.load() == kLinkOk; }, kStartSeconds));
  ASSERT_TRUE(PumpForFrames(station, second, 20));
  const int sentAtStop = Size(second.CountsSent());
  // The window's close: the running measurement is committed.
  frame->close();
  frame.reset();

  EXPECT_TRUE(messages.Shown().empty()) << Join(messages.Texts());
  std::vector<int> sent = sentBefore;
  const std::vector<int> after = second.CountsSent();
  sent.insert(sent.end(), after.begin(), after.end());
  const int cut = Size(sentBefore);
  RowExpectations expect;
  expect.allowedDrops = {{0, 1}, {cut - 3, cut + 1}, {cut + sentAtStop - 3, Size(sent)}};
  expect.minMissingRows = 1;
  expect.maxMissingRows = 400;
  std::vector<DataFile> files;
  Matching m;
  EXPECT_EQ(CheckCommitted(station.dataFolder(), sent, expect, &files, &m), "");
  EXPECT_EQ(files.size(), 1u);
  EXPECT_EQ(ReadWorkingTarget(station.WorkingCopy()), "");
}

TEST(VelrixMidnight, SigtermAsMidnightIsCommittedLeavesBothDaysWhole) {
  const ClockSeconds midnight = At(2027, 1, 1, 0, 0, 0);
  Station station;
  SharedClock clock("2026-12-31 23:59:42", kScale);
  sim::SimUnit unit(MarkedUnit(clock, station.UnitLink()));
  ASSERT_TRUE(unit.Start());
  auto velrix = StartVelrix(station, clock, "velrix.out");
  ASSERT_TRUE(WaitUntil([&] { return WorkingRows(station) >= 2; }, kStartSeconds))
      << velrix->Output();
  ASSERT_LT(clock.clock().Now(), midnight - 2) << "velrix started too late for the case";
  // Just after the new day's first row is due: the rollover's commit runs.
  clock.SleepUntilMs(midnight * 1000 + 600);
  const int sentAtStop = Size(unit.CountsSent());
  velrix->Signal(SIGTERM);
  const std::optional<int> status = velrix->WaitExit(kExitSeconds);
  EXPECT_TRUE(ExitedWith(status, 0)) << Describe(status) << "\n" << velrix->Output();

  const std::vector<int> sent = unit.CountsSent();
  RowExpectations expect;
  expect.allowedDrops = {{0, 1}, {sentAtStop - 4, Size(sent)}};
  std::vector<DataFile> files;
  Matching m;
  EXPECT_EQ(CheckCommitted(station.dataFolder(), sent, expect, &files, &m), "")
      << velrix->Output();
  ASSERT_GE(files.size(), 1u);
  EXPECT_EQ(files[0].rows.back().at, midnight - 1);
  if (files.size() == 2) {
    EXPECT_EQ(files[1].path, station.dataFolder() + "/2027/01/01/270101-000000.csv");
    EXPECT_EQ(files[1].rows.front().at, midnight);
  }
  EXPECT_EQ(ReadWorkingTarget(station.WorkingCopy()), "");
  EXPECT_EQ(ReadBytes(station.WorkingCopy()), ReadBytes(files.back().path));
}

}  // namespace
}  // namespace velrix::testing::e2e
