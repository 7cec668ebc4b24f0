// velrix-recorder against the clock: a unit clock that runs fast or slow for
// more than an hour (the cycle's one-hour catch-up rules), midnight in the
// middle of a measurement with the new day's folders made at that moment,
// and SIGTERM around the midnight commit. All on the accelerated clock.

#include <gtest/gtest.h>
#include <signal.h>

#include <memory>
#include <string>
#include <vector>

#include "datafile/working_copy.h"
#include "tests/e2e/e2e_fixture.h"

namespace velrix::testing::e2e {
namespace {

constexpr char kRecording[] = "velrix-recorder: recording into ";
constexpr char kStopped[] = "測定を";

int Size(const std::vector<int>& v) { return static_cast<int>(v.size()); }

// An hour and three minutes of unit time in about 95 real seconds.
constexpr int kUnitClockScale = 40;
constexpr int kUnitClockSeconds = 3780;
// The cases that check each second exactly run slower, so that a loaded
// machine's scheduling delays stay well inside a second of the clock.
constexpr int kExactScale = 5;

void Terminate(Child& recorder) {
  recorder.Signal(SIGTERM);
  const std::optional<int> status = recorder.WaitExit(kExitSeconds);
  EXPECT_TRUE(ExitedWith(status, 0)) << Describe(status) << "\n" << recorder.Output();
}

// A unit clock that is off for longer than the hour of ticks the cycle
// waits before it corrects: the recorded seconds stay in step with the
// clock, one row per second, and every frame that is not a fast unit's
// surplus reaches a row.
struct UnitClockCase {
  const char* name;
  int fastEvery;
  int slowEvery;
};

class RecorderUnitClock : public ::testing::TestWithParam<UnitClockCase> {};

TEST_P(RecorderUnitClock, MoreThanAnHourOffKeepsOneRowPerClockSecond) {
  const UnitClockCase& c = GetParam();
  const MachineStalls stalls;
  Station station;
  SharedClock clock("2026-06-01 10:00:00", kUnitClockScale);
  sim::SimConfig config = MarkedUnit(clock, station.UnitLink());
  config.fastEvery = c.fastEvery;
  config.slowEvery = c.slowEvery;
  sim::SimUnit unit(config);
  ASSERT_TRUE(unit.Start());
  auto recorder = StartRecorder(station, clock, "recorder.out");
  ASSERT_TRUE(WaitUntil([&] { return WorkingRows(station) >= 1; }, kStartSeconds))
      << recorder->Output();
  const ClockSeconds startedAt = clock.clock().Now();
  // More than an hour of the unit's time.
  clock.SleepClockSeconds(kUnitClockSeconds);
  ASSERT_TRUE(WaitForFrames(station, unit, 0, kStartSeconds)) << recorder->Output();
  const int sentAtStop = Size(unit.CountsSent());
  const ClockSeconds stopAt = clock.clock().Now();
  Terminate(*recorder);
  // A loaded machine may take clock seconds to deliver the signal.
  const ClockSeconds exitedAt = clock.clock().Now();

  const std::vector<int> sent = unit.CountsSent();
  RowExpectations expect;
  expect.allowedDrops = {{0, 1}, {sentAtStop - 3, Size(sent)}};
  // The link drops a frame that comes more than a second early: the
  // surplus of a fast clock, one every fastEvery seconds. A slow unit leaves
  // seconds without a frame, which the link marks missing. At this scale a
  // few frames more may be taken for late or early (see maxOtherDrops), and
  // as many as the machine held this process up for.
  const int jitter = Size(sent) / 100 + stalls.ClockSecondsLost(kUnitClockScale);
  expect.maxOtherDrops = (c.fastEvery > 0 ? kUnitClockSeconds / c.fastEvery : 0) + jitter;
  expect.maxMissingRows = (c.slowEvery > 0 ? kUnitClockSeconds / c.slowEvery : 0) + jitter;
  // Rows the cycle fills with the moving average once it has been behind for
  // an hour carry no frame.
  expect.maxUnmatched = c.slowEvery > 0 ? kUnitClockSeconds / c.slowEvery : 0;
  std::vector<DataFile> files;
  Matching m;
  EXPECT_EQ(CheckCommitted(station.dataFolder(), sent, expect, &files, &m), "")
      << "frames allowed late or early beyond the clock's own: " << jitter << "\n"
      << recorder->Output();
  ASSERT_EQ(files.size(), 1u);
  const std::vector<Row>& rows = files[0].rows;
  ASSERT_FALSE(rows.empty());
  // One row per clock second from the start to the stop: nothing lost,
  // nothing doubled, however the unit's clock ran.
  EXPECT_LE(rows.front().at, startedAt + 1);
  EXPECT_GE(rows.back().at, stopAt - 25);
  EXPECT_LE(rows.back().at, exitedAt + 2) << "stopped at " << stopAt;
  if (c.fastEvery > 0) {
    // The surplus frames never add seconds.
    EXPECT_GE(Size(sent), static_cast<int>(rows.size()) - m.missingRows);
  } else {
    // A slow unit's frames are never merged.
    EXPECT_EQ(m.merges, 0);
  }
  EXPECT_EQ(LinesWith(recorder->Output(), kStopped), 0) << recorder->Output();
}

INSTANTIATE_TEST_SUITE_P(
    FastAndSlow, RecorderUnitClock,
    ::testing::Values(UnitClockCase{"Fast", 20, 0}, UnitClockCase{"Slow", 0, 20}),
    [](const ::testing::TestParamInfo<UnitClockCase>& info) { return info.param.name; });

TEST(RecorderMidnight, TheRolloverCreatesTheNewDaysFoldersAndLosesNoSecond) {
  Station station;
  SharedClock clock("2026-12-31 23:59:40", kExactScale);
  sim::SimUnit unit(MarkedUnit(clock, station.UnitLink()));
  ASSERT_TRUE(unit.Start());
  auto recorder = StartRecorder(station, clock, "recorder.out");
  ASSERT_TRUE(WaitUntil([&] { return WorkingRows(station) >= 3; }, kStartSeconds))
      << recorder->Output();
  const ClockSeconds midnight = At(2027, 1, 1, 0, 0, 0);
  ASSERT_LT(clock.clock().Now(), midnight - 2) << "the recorder started too late for the case";
  // Year, month and day folders of the new day do not exist before it.
  EXPECT_FALSE(fs::exists(station.dataFolder() + "/2027"));
  clock.SleepUntilMs((midnight + 20) * 1000);
  ASSERT_TRUE(WaitForFrames(station, unit, 0, kStartSeconds)) << recorder->Output();
  const int sentAtStop = Size(unit.CountsSent());
  Terminate(*recorder);

  const std::vector<int> sent = unit.CountsSent();
  RowExpectations expect;
  expect.allowedDrops = {{0, 1}, {sentAtStop - 3, Size(sent)}};
  std::vector<DataFile> files;
  Matching m;
  EXPECT_EQ(CheckCommitted(station.dataFolder(), sent, expect, &files, &m), "")
      << recorder->Output();
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].path.rfind(station.dataFolder() + "/2026/12/31/261231-2359", 0), 0u)
      << files[0].path;
  EXPECT_EQ(files[1].path, station.dataFolder() + "/2027/01/01/270101-000000.csv");
  ASSERT_FALSE(files[0].rows.empty());
  ASSERT_FALSE(files[1].rows.empty());
  EXPECT_EQ(files[0].rows.back().at, midnight - 1);
  EXPECT_EQ(files[1].rows.front().at, midnight);
  // An automatic start writes "auto" into its first file only.
  EXPECT_EQ(files[0].comment, "auto");
  EXPECT_EQ(files[1].comment, "roof");
  EXPECT_EQ(LinesWith(recorder->Output(), kRecording), 2) << recorder->Output();
  EXPECT_EQ(LinesWith(recorder->Output(), kStopped), 0) << recorder->Output();
}

// SIGTERM around midnight, from just before the last row of the old day to
// after the new day's first: whichever side of the rollover the stop falls,
// both days' files are whole and nothing stays uncommitted.
TEST(RecorderMidnight, SigtermAroundTheMidnightCommitLeavesBothDaysWhole) {
  const ClockSeconds midnight = At(2027, 1, 1, 0, 0, 0);
  for (const int offsetMs : {-500, 300, 900, 1500}) {
    SCOPED_TRACE("SIGTERM at midnight + " + std::to_string(offsetMs) + " ms");
    Station station;
    SharedClock clock("2026-12-31 23:59:45", kExactScale);
    sim::SimUnit unit(MarkedUnit(clock, station.UnitLink()));
    ASSERT_TRUE(unit.Start());
    auto recorder = StartRecorder(station, clock, "recorder.out");
    ASSERT_TRUE(WaitUntil([&] { return WorkingRows(station) >= 2; }, kStartSeconds))
        << recorder->Output();
    ASSERT_LT(clock.clock().Now(), midnight - 2) << "the recorder started too late for the case";
    clock.SleepUntilMs(midnight * 1000 + offsetMs);
    const int sentAtStop = Size(unit.CountsSent());
    Terminate(*recorder);

    const std::vector<int> sent = unit.CountsSent();
    RowExpectations expect;
    expect.allowedDrops = {{0, 1}, {sentAtStop - 4, Size(sent)}};
    std::vector<DataFile> files;
    Matching m;
    EXPECT_EQ(CheckCommitted(station.dataFolder(), sent, expect, &files, &m), "")
        << recorder->Output();
    ASSERT_GE(files.size(), 1u);
    ASSERT_LE(files.size(), 2u);
    if (files.size() == 2) {
      EXPECT_EQ(files[0].rows.back().at, midnight - 1);
      EXPECT_EQ(files[1].path, station.dataFolder() + "/2027/01/01/270101-000000.csv");
      EXPECT_EQ(files[1].rows.front().at, midnight);
    }
    // Committed: no note names a file still owed rows, and the working
    // copy is the last file byte for byte.
    EXPECT_EQ(ReadWorkingTarget(station.WorkingCopy()), "");
    EXPECT_EQ(ReadBytes(station.WorkingCopy()), ReadBytes(files.back().path));
  }
}

}  // namespace
}  // namespace velrix::testing::e2e
