// velrix-recorder on a unit that misbehaves on the wire: unplugged and
// plugged in again at the same device, silent for half a minute, sending
// stray bytes between frames. Each case runs on an accelerated clock and
// checks what the recorder tells the user and that the committed rows hold
// every second the unit sent, once, in step with the clock.

#include <gtest/gtest.h>
#include <signal.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/e2e_fixture.h"

namespace velrix::testing::e2e {
namespace {

constexpr char kRecording[] = "velrix-recorder: recording into ";
constexpr char kStopped[] = "測定を";  // every stop message ends "...測定を中止/停止します"

int Size(const std::vector<int>& v) { return static_cast<int>(v.size()); }

// Ends the recorder with SIGTERM; it must commit and exit 0.
void Terminate(Child& recorder) {
  recorder.Signal(SIGTERM);
  const std::optional<int> status = recorder.WaitExit(kExitSeconds);
  EXPECT_TRUE(ExitedWith(status, 0)) << Describe(status) << "\n" << recorder.Output();
}

TEST(RecorderLinkFaults, UnplugAndReplugAtTheSamePathKeepsOneFileWithTheGapMarkedMissing) {
  Station station;
  SharedClock clock("2026-06-01 10:00:00", 5);
  auto first = std::make_unique<sim::SimUnit>(MarkedUnit(clock, station.UnitLink()));
  ASSERT_TRUE(first->Start());
  auto recorder = StartRecorder(station, clock, "recorder.out");
  ASSERT_TRUE(WaitUntil([&] { return WorkingRows(station) >= 20; }, kStartSeconds))
      << recorder->Output();

  // Pulled out: the device goes away with its link; a few seconds later a
  // unit answers at the same path again.
  first->HangUp();
  const std::vector<int> sentBefore = first->CountsSent();
  clock.SleepClockSeconds(15);
  sim::SimUnit second(MarkedUnit(clock, station.UnitLink(), 1000));
  ASSERT_TRUE(second.Start());
  // The missing seconds of the gap queue up before the new unit's frames;
  // the stop waits until the cycle has drained them.
  ASSERT_TRUE(WaitForFrames(station, second, 30, kStartSeconds)) << recorder->Output();
  const int sentAtStop = Size(second.CountsSent());
  Terminate(*recorder);

  std::vector<int> sent = sentBefore;
  const std::vector<int> sentAfter = second.CountsSent();
  sent.insert(sent.end(), sentAfter.begin(), sentAfter.end());
  const int cut = Size(sentBefore);
  RowExpectations expect;
  // The first frame after a start opens the collection; frames in flight at
  // the hang-up and the new unit's first are lost with the cable; frames
  // after the stop belong to no measurement.
  expect.allowedDrops = {{0, 1}, {cut - 3, cut + 1}, {cut + sentAtStop - 3, Size(sent)}};
  // The unplugged seconds: about 15 plus the link's time to notice both
  // changes, all of them marked as missing.
  expect.minMissingRows = 10;
  expect.maxMissingRows = 400;
  std::vector<DataFile> files;
  Matching m;
  EXPECT_EQ(CheckCommitted(station.dataFolder(), sent, expect, &files, &m), "")
      << recorder->Output();
  // The retry setting of the station retries without end: the measurement
  // goes on through the gap in the same file, and nothing is shown.
  EXPECT_EQ(files.size(), 1u);
  EXPECT_EQ(LinesWith(recorder->Output(), kRecording), 1) << recorder->Output();
  EXPECT_EQ(LinesWith(recorder->Output(), kStopped), 0) << recorder->Output();
  EXPECT_FALSE(fs::exists(station.WorkingCopy() + ".target"));
}

TEST(RecorderLinkFaults, HalfAMinuteOfSilenceIsRecordedAsMissingSecondsInStepWithTheClock) {
  Station station;
  // Slow enough that the silence outlasts the link's real read time-outs.
  SharedClock clock("2026-06-01 10:00:00", 4);
  sim::SimUnit unit(MarkedUnit(clock, station.UnitLink()));
  ASSERT_TRUE(unit.Start());
  auto recorder = StartRecorder(station, clock, "recorder.out");
  ASSERT_TRUE(WaitUntil([&] { return WorkingRows(station) >= 10; }, kStartSeconds))
      << recorder->Output();
  unit.SetSilent(true);
  const ClockSeconds silentFrom = clock.clock().Now();
  clock.SleepClockSeconds(30);
  unit.SetSilent(false);
  const int sentAfterSilence = Size(unit.CountsSent());
  ASSERT_TRUE(WaitForFrames(station, unit, sentAfterSilence + 15, kStartSeconds))
      << recorder->Output();
  const int sentAtStop = Size(unit.CountsSent());
  const ClockSeconds stopAt = clock.clock().Now();
  Terminate(*recorder);
  // A loaded machine may take clock seconds to deliver the signal.
  const ClockSeconds exitedAt = clock.clock().Now();

  const std::vector<int> sent = unit.CountsSent();
  RowExpectations expect;
  expect.allowedDrops = {{0, 1}, {sentAfterSilence, sentAfterSilence + 1},
                         {sentAtStop - 3, Size(sent)}};
  expect.minMissingRows = 25;
  expect.maxMissingRows = 40;
  std::vector<DataFile> files;
  Matching m;
  EXPECT_EQ(CheckCommitted(station.dataFolder(), sent, expect, &files, &m), "")
      << recorder->Output();
  ASSERT_FALSE(files.empty());
  // The missing rows stand where the silence was, and the record still ends
  // at the clock's second of the stop.
  const std::vector<Row> rows = AllRows(files);
  for (const Row& r : rows) {
    if (r.missing == 1) {
      EXPECT_GE(r.at, silentFrom - 2);
      EXPECT_LE(r.at, silentFrom + 36);
    }
  }
  EXPECT_GE(rows.back().at, stopAt - 5);
  EXPECT_LE(rows.back().at, exitedAt + 2) << "stopped at " << stopAt;
  EXPECT_EQ(files.size(), 1u);
  EXPECT_EQ(LinesWith(recorder->Output(), kStopped), 0) << recorder->Output();
}

TEST(RecorderLinkFaults, StrayBytesBetweenFramesCostNoSecond) {
  Station station;
  SharedClock clock("2026-06-01 10:00:00", 5);
  sim::SimConfig config = MarkedUnit(clock, station.UnitLink());
  // Noise that is no command code: skipped by the reader byte by byte.
  config.strayBytes = {0x13, 0xEE, 0x7F, 0x01};
  config.strayEvery = 2;
  sim::SimUnit unit(config);
  ASSERT_TRUE(unit.Start());
  auto recorder = StartRecorder(station, clock, "recorder.out");
  ASSERT_TRUE(WaitUntil([&] { return WorkingRows(station) >= 40; }, kStartSeconds))
      << recorder->Output();
  const int sentAtStop = Size(unit.CountsSent());
  Terminate(*recorder);

  const std::vector<int> sent = unit.CountsSent();
  RowExpectations expect;
  expect.allowedDrops = {{0, 1}, {sentAtStop - 3, Size(sent)}};
  std::vector<DataFile> files;
  Matching m;
  EXPECT_EQ(CheckCommitted(station.dataFolder(), sent, expect, &files, &m), "")
      << recorder->Output();
  EXPECT_GE(m.singles, 38);
  EXPECT_EQ(m.merges, 0);
}

}  // namespace
}  // namespace velrix::testing::e2e
