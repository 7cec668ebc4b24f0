// The programs killed or starved mid-measurement: kill -9 of the recorder
// and of the application followed by a restart that recovers the working
// copy, a data folder that cannot take the next day's folder, a disk that
// fills (RLIMIT_FSIZE), a working copy deleted or emptied under the running
// recorder. Each case checks the message and that every row that was
// written before the fault is committed, whole and once.

#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "datafile/working_copy.h"
#include "platform/cp932.h"
#include "tests/e2e/e2e_fixture.h"

namespace velrix::testing::e2e {
namespace {

constexpr int kScale = 5;
constexpr char kRecording[] = "velrix-recorder: recording into ";
constexpr char kRecovered[] = "velrix-recorder: recovered uncommitted rows into ";

int Size(const std::vector<int>& v) { return static_cast<int>(v.size()); }

void Terminate(Child& child) {
  child.Signal(SIGTERM);
  const std::optional<int> status = child.WaitExit(kExitSeconds);
  EXPECT_TRUE(ExitedWith(status, 0)) << Describe(status) << "\n" << child.Output();
}

void Kill(Child& child) {
  child.Signal(SIGKILL);
  const std::optional<int> status = child.WaitExit(kExitSeconds);
  ASSERT_TRUE(status.has_value() && WIFSIGNALED(*status)) << Describe(status);
}

// A program killed with SIGKILL while it records, then started again: the
// rows it wrote reach their dated file byte for byte, the new run records
// on in a file of its own, and no second is recorded twice.
void KillAndRestart(bool application) {
  Station station;
  SharedClock clock("2026-06-01 10:00:00", kScale);
  sim::SimUnit unit(MarkedUnit(clock, station.UnitLink()));
  ASSERT_TRUE(unit.Start());
  auto start = [&](const std::string& name) {
    return application ? StartVelrix(station, clock, name) : StartRecorder(station, clock, name);
  };
  auto first = start("first.out");
  ASSERT_TRUE(WaitUntil([&] { return WorkingRows(station) >= 15; }, kStartSeconds))
      << first->Output();
  const int sentAtKill = Size(unit.CountsSent());
  Kill(*first);
  const std::string working = ReadBytes(station.WorkingCopy());
  const std::string dated = ReadWorkingTarget(station.WorkingCopy());
  ASSERT_FALSE(dated.empty());
  EXPECT_FALSE(fs::exists(dated)) << "nothing was committed before the kill";

  auto second = start("second.out");
  ASSERT_TRUE(WaitUntil([&] { return fs::exists(dated); }, kStartSeconds)) << second->Output();
  // The recovery clears the note but leaves the old rows in the working
  // copy: the new run has begun once the note names a file of its own.
  ASSERT_TRUE(WaitUntil(
      [&] {
        const std::string target = ReadWorkingTarget(station.WorkingCopy());
        return !target.empty() && target != dated && WorkingRows(station) >= 1;
      },
      kStartSeconds))
      << second->Output();
  const int sentAtRestart = Size(unit.CountsSent());
  // The recovered file is the working copy as the kill left it.
  EXPECT_EQ(ReadBytes(dated), working);
  if (!application) {
    EXPECT_EQ(LinesWith(second->Output(), kRecovered + dated), 1) << second->Output();
  }
  ASSERT_TRUE(WaitForFrames(station, unit, sentAtRestart + 10, kStartSeconds))
      << second->Output();
  const int sentAtStop = Size(unit.CountsSent());
  Terminate(*second);

  const std::vector<int> sent = unit.CountsSent();
  RowExpectations expect;
  // Killed: the frames that had not yet become rows, and those the unit
  // sent while no program listened.
  expect.allowedDrops = {{0, 1}, {sentAtKill - 3, sentAtRestart + 2}, {sentAtStop - 3, Size(sent)}};
  std::vector<DataFile> files;
  Matching m;
  EXPECT_EQ(CheckCommitted(station.dataFolder(), sent, expect, &files, &m), "")
      << first->Output() << second->Output();
  EXPECT_EQ(files.size(), 2u);
  EXPECT_EQ(ReadWorkingTarget(station.WorkingCopy()), "");
}

TEST(KillMinus9, TheRecorderRestartedRecoversTheWorkingCopy) { KillAndRestart(false); }

TEST(KillMinus9, TheApplicationRestartedRecoversTheWorkingCopy) { KillAndRestart(true); }

TEST(DataFolderFaults, AFileWhereTheNextDaysFolderMustGoStopsAtMidnightWithTheDayCommitted) {
  Station station;
  SharedClock clock("2026-12-30 23:59:45", kScale);
  fs::create_directories(station.dataFolder() + "/2026/12");
  const std::string blocker = station.dataFolder() + "/2026/12/31";
  WriteBytes(blocker, "not a folder");
  sim::SimUnit unit(MarkedUnit(clock, station.UnitLink()));
  ASSERT_TRUE(unit.Start());
  auto recorder = StartRecorder(station, clock, "recorder.out");
  const ClockSeconds midnight = At(2026, 12, 31, 0, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return WorkingRows(station) >= 2; }, kStartSeconds))
      << recorder->Output();
  ASSERT_LT(clock.clock().Now(), midnight - 2) << "the recorder started too late for the case";
  clock.SleepUntilMs(midnight * 1000 - 1500);
  const int sentBeforeMidnight = Size(unit.CountsSent());

  // The recorder reports the folder, stops, and gives up: starting over
  // would only fail again.
  const std::optional<int> status = recorder->WaitExit(kExitSeconds);
  EXPECT_TRUE(ExitedWith(status, 1)) << Describe(status);
  EXPECT_EQ(LinesWith(recorder->Output(),
                      "データフォルダ（日）作成を失敗しましたので測定を停止します。"),
            1)
      << recorder->Output();

  const std::vector<int> sent = unit.CountsSent();
  RowExpectations expect;
  expect.allowedDrops = {{0, 1}, {sentBeforeMidnight - 2, Size(sent)}};
  std::vector<DataFile> files;
  Matching m;
  EXPECT_EQ(CheckCommitted(station.dataFolder(), sent, expect, &files, &m), "")
      << recorder->Output();
  ASSERT_EQ(files.size(), 1u);
  ASSERT_FALSE(files[0].rows.empty());
  // The old day is whole up to its last second, and committed.
  EXPECT_EQ(files[0].rows.back().at, midnight - 1);
  EXPECT_EQ(ReadWorkingTarget(station.WorkingCopy()), "");
  EXPECT_EQ(ReadBytes(blocker), "not a folder");
}

TEST(DataFolderFaults, AFullDiskStopsTheRecordingAndKeepsEveryWholeRow) {
  Station station;
  SharedClock clock("2026-06-01 10:00:00", kScale);
  sim::SimUnit unit(MarkedUnit(clock, station.UnitLink()));
  ASSERT_TRUE(unit.Start());
  // Room for the header and a few dozen rows, and not for a whole row at
  // the end: 5 header lines (75 bytes) and rows of 23.
  ChildSetup full;
  full.fileSizeLimit = 75 + 23 * 30 + 11;
  auto recorder = StartRecorder(station, clock, "recorder.out", full);
  ASSERT_TRUE(WaitUntil([&] { return WorkingRows(station) >= 1; }, kStartSeconds))
      << recorder->Output();
  const std::optional<int> status = recorder->WaitExit(kExitSeconds);
  EXPECT_TRUE(ExitedWith(status, 1)) << Describe(status) << "\n" << recorder->Output();
  EXPECT_EQ(LinesWith(recorder->Output(),
                      "データファイル書き込みを失敗しましたので測定を停止します。"),
            1)
      << recorder->Output();
  const int sentAtFailure = Size(unit.CountsSent());

  // Started again with room: the rows reach their dated file.
  auto again = StartRecorder(station, clock, "again.out");
  ASSERT_TRUE(WaitUntil([&] { return LinesWith(again->Output(), kRecording) >= 1; },
                        kStartSeconds))
      << again->Output();
  const int sentAtRestart = Size(unit.CountsSent());
  Terminate(*again);

  const std::vector<int> sent = unit.CountsSent();
  RowExpectations expect;
  // The row that did not fit, and what followed.
  expect.allowedDrops = {{0, 1}, {sentAtFailure - 40, sentAtRestart + 2}, {sentAtRestart, Size(sent)}};
  std::vector<DataFile> files;
  Matching m;
  EXPECT_EQ(CheckCommitted(station.dataFolder(), sent, expect, &files, &m), "")
      << recorder->Output() << again->Output();
  ASSERT_GE(files.size(), 1u);
  // Every row that fit is there.
  EXPECT_GE(files[0].rows.size(), 29u);
}

TEST(WorkingCopyFaults, DeletedOrEmptiedUnderTheRecorderStopsWithItsMessage) {
  struct Fault {
    const char* what;
    std::function<void(const std::string&)> apply;
    const char* message;  // printf form with the working copy's path
  };
  const Fault faults[] = {
      {"deleted", [](const std::string& p) { fs::remove(p); },
       "測定データファイル[%s]は、消去されたので測定を停止します。"},
      {"emptied", [](const std::string& p) { fs::resize_file(p, 0); },
       "測定データファイル[%s]は、破損したので測定を停止します。"},
  };
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.what);
    Station station;
    SharedClock clock("2026-06-01 10:00:00", kScale);
    sim::SimUnit unit(MarkedUnit(clock, station.UnitLink()));
    ASSERT_TRUE(unit.Start());
    auto recorder = StartRecorder(station, clock, "recorder.out");
    ASSERT_TRUE(WaitUntil([&] { return WorkingRows(station) >= 5; }, kStartSeconds))
        << recorder->Output();
    const std::string dated = ReadWorkingTarget(station.WorkingCopy());
    fault.apply(station.WorkingCopy());
    const std::optional<int> status = recorder->WaitExit(kExitSeconds);
    EXPECT_TRUE(ExitedWith(status, 1)) << Describe(status);
    char message[512];
    std::snprintf(message, sizeof message, fault.message, station.WorkingCopy().c_str());
    EXPECT_EQ(LinesWith(recorder->Output(), message), 1) << recorder->Output();
    // Nothing damaged is committed, and nothing is left for a later start
    // to copy over a dated file.
    EXPECT_FALSE(fs::exists(dated));
    auto again = StartRecorder(station, clock, "again.out");
    ASSERT_TRUE(WaitUntil([&] { return LinesWith(again->Output(), kRecording) >= 1; },
                          kStartSeconds))
        << again->Output();
    Terminate(*again);
    EXPECT_EQ(LinesWith(again->Output(), kRecovered), 0) << again->Output();
    EXPECT_FALSE(fs::exists(dated));
    std::vector<std::string> problems;
    ReadDataFolder(station.dataFolder(), &problems);
    EXPECT_EQ(Join(problems), "");
  }
}

}  // namespace
}  // namespace velrix::testing::e2e
