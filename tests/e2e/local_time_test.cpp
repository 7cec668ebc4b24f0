// Local time that stops following the seconds: the daylight-saving changes
// of 2026 in two zones, and the computer's clock set back and forward. The
// recorder (and the window for one case) on the accelerated clock; every row
// is labelled with the local wall time of its own second, no label repeats
// in a file, every second is there once, no row sums two; the reader shows
// each second once at its true instant, to velrix-review as to the window's
// file view.

#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "datafile/date_search.h"
#include "tests/e2e/e2e_fixture.h"
#include "tests/e2e/timeline_check.h"
#include "tests/support/recording_messages.h"

namespace velrix::testing::e2e {
namespace {

constexpr int kScale = 20;

std::string ReviewProgram() { return BuildFolder() + "/velrix-review"; }

// A measurement of `seconds` clock seconds by the recorder or the window,
// ended with SIGTERM: the frames the unit sent, and what the rows may leave
// out of them (the first, which opens the collection, and those after the
// stop; a few taken for late on a loaded machine).
struct Recorded {
  std::vector<int> sent;
  RowExpectations expect;
  std::string output;
};

Recorded RecordFor(const Station& station, const SharedClock& clock, bool window, int seconds,
                   const ChildSetup& setup = {}) {
  Recorded r;
  const MachineStalls stalls;
  sim::SimUnit unit(MarkedUnit(clock, station.UnitLink()));
  EXPECT_TRUE(unit.Start());
  auto program = window ? StartVelrix(station, clock, "program.out", setup)
                        : StartRecorder(station, clock, "program.out", setup);
  EXPECT_TRUE(WaitUntil([&] { return WorkingRows(station) >= 3; }, kStartSeconds))
      << program->Output();
  clock.SleepClockSeconds(seconds);
  const int sentAtStop = static_cast<int>(unit.CountsSent().size());
  program->Signal(SIGTERM);
  const std::optional<int> status = program->WaitExit(kExitSeconds);
  EXPECT_TRUE(ExitedWith(status, 0)) << Describe(status) << "\n" << program->Output();
  r.sent = unit.CountsSent();
  const int n = static_cast<int>(r.sent.size());
  r.expect.allowedDrops = {{0, 1}, {sentAtStop - 2, n}};
  const int lateOnALoadedMachine = n / 100 + stalls.ClockSecondsLost(clock.scale());
  r.expect.maxOtherDrops = lateOnALoadedMachine;
  r.expect.maxMissingRows = lateOnALoadedMachine;
  r.output = program->Output();
  return r;
}

// velrix-review's seconds of the day against the placed rows: the same
// counts at the same local stamps, in the same order.
std::string ReviewDisagrees(const Station& station, const std::string& day,
                            const std::vector<Row>& rows, const Clock& zone) {
  const std::string out = station.temp().File("review.csv");
  Child review(ReviewProgram(),
               {"--data-folder", station.dataFolder(), "--from", day, "--to", day + " 23:59",
                "--level", "s", "--out", out},
               station.Env(), station.temp().File("review.out"));
  const std::optional<int> status = review.WaitExit(kExitSeconds);
  if (!ExitedWith(status, 0)) return "velrix-review: " + Describe(status) + review.Output();
  const std::string text = ReadBytes(out);
  std::vector<std::string> counted;
  for (std::size_t pos = text.find('\n') + 1; pos < text.size();) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(pos, end - pos);
    if (line.find(",,") == std::string::npos) counted.push_back(line.substr(0, line.find(',', 20)));
    pos = end + 1;
  }
  std::vector<std::string> expected;
  for (const Row& r : rows) {
    const CalendarTime c = zone.Local(r.at);
    char line[64];
    std::snprintf(line, sizeof line, "%04d-%02d-%02d %02d:%02d:%02d,%.3f", c.year, c.month, c.day,
                  c.hour, c.minute, c.second, r.count);
    expected.push_back(line);
  }
  if (counted == expected) return "";
  std::size_t k = 0;
  while (k < counted.size() && k < expected.size() && counted[k] == expected[k]) ++k;
  return "velrix-review shows " + std::to_string(counted.size()) + " seconds for " +
         std::to_string(expected.size()) + " rows; at " + std::to_string(k) + ": \"" +
         (k < counted.size() ? counted[k] : "") + "\" for \"" +
         (k < expected.size() ? expected[k] : "") + "\"";
}

// The window's file view of the day: the condition search it runs, each
// row's count in the slot of its true instant (the graph and the pop-up date
// a slot by its instant).
std::string FileViewDisagrees(const Station& station, const std::vector<Row>& rows,
                              const Clock& zone, int year, int month, int day) {
  RecordingMessages messages;
  auto history = std::make_unique<FileHistory>();
  ConditionRange range;
  range.startYear = range.endYear = year;
  range.startMonth = range.endMonth = month;
  range.startDay = range.endDay = day;
  RunConditionSearch(*history, {station.dataFolder(), ""}, range, {messages, zone});
  std::string problems;
  for (const Row& r : rows) {
    const long long s = r.at - history->origin - 1;  // slot s holds the row stamped origin + s + 1
    if (s < 0 || s >= history->loadedSeconds) {
      problems += "a row outside the loaded seconds\n";
      break;
    }
    const SecondSlot& slot = history->timeline.slots[static_cast<std::size_t>(s % kSecondSlots)];
    if (slot.count != r.count) {
      problems += "slot " + std::to_string(s) + " holds " + std::to_string(slot.count) +
                  ", the row " + std::to_string(r.count) + "\n";
      break;
    }
  }
  return problems;
}

struct ZoneChange {
  const char* name;
  const char* tz;
  const char* start;        // local time
  int seconds;              // clock seconds to run
  const char* splitFile;    // below the data folder: the file begun at the change
  bool window;              // the window records instead of the recorder
};

class DaylightSaving : public ::testing::TestWithParam<ZoneChange> {};

TEST_P(DaylightSaving, EveryRowIsLabelledWithItsLocalTimeOnceAndTheReaderAgrees) {
  const ZoneChange& c = GetParam();
  const LocalZone zone(c.tz);
  const SystemClock local;
  Station station;
  station.SetTimeZone(c.tz);
  SharedClock clock(c.start, kScale);
  Recorded r = RecordFor(station, clock, c.window, c.seconds);
  r.expect.localZone = &local;
  std::vector<DataFile> files;
  Matching m;
  ASSERT_EQ(CheckCommitted(station.dataFolder(), r.sent, r.expect, &files, &m), "") << r.output;
  EXPECT_EQ(m.merges, 0);
  EXPECT_EQ(m.unmatched, 0);
  // The change begins a file of its own, named after the new local time.
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[1].path, station.dataFolder() + "/" + c.splitFile);
  // The seconds from the first row to the last, each once.
  const std::vector<Row> rows = AllRows(files);
  EXPECT_EQ(rows.back().at - rows.front().at + 1, static_cast<ClockSeconds>(rows.size()));

  const std::string day = std::string(c.start).substr(0, 10);
  EXPECT_EQ(ReviewDisagrees(station, day, rows, local), "");
  EXPECT_EQ(FileViewDisagrees(station, rows, local, std::stoi(day.substr(0, 4)),
                              std::stoi(day.substr(5, 2)), std::stoi(day.substr(8, 2))),
            "");
}

// Each case starts shortly before the change and runs a few minutes past it.
INSTANTIATE_TEST_SUITE_P(
    Changes2026, DaylightSaving,
    ::testing::Values(
        ZoneChange{"BerlinSpring", "Europe/Berlin", "2026-03-29 01:55:00", 600,
                   "2026/03/29/260329-030000.csv", false},
        // Started inside the hour that repeats: both files' names are
        // local times that occur twice.
        ZoneChange{"BerlinAutumn", "Europe/Berlin", "2026-10-25 02:50:00", 900,
                   "2026/10/25/261025-020000.csv", false},
        ZoneChange{"NewYorkSpring", "America/New_York", "2026-03-08 01:55:00", 600,
                   "2026/03/08/260308-030000.csv", false},
        ZoneChange{"NewYorkAutumnInTheWindow", "America/New_York", "2026-11-01 01:50:00", 900,
                   "2026/11/01/261101-010000.csv", true}),
    [](const ::testing::TestParamInfo<ZoneChange>& info) { return info.param.name; });

struct ClockStepCase {
  const char* name;
  int step;      // seconds the computer's clock is set by
  bool window;
};

class ClockStep : public ::testing::TestWithParam<ClockStepCase> {};

// The clock is set a minute into the measurement. The unit's seconds go on
// as before: nothing is merged or filled, and the rows after the step carry
// the new wall time in a file of their own.
TEST_P(ClockStep, NeitherMergesNorFillsAndTheLabelsFollowTheNewTime) {
  const ClockStepCase& c = GetParam();
  Station station;
  SharedClock clock("2026-06-01 10:00:00", kScale);
  ChildSetup setup;
  setup.extraArgs = {"--clock-step", std::to_string(c.step) + "@60"};
  const Recorded r = RecordFor(station, clock, c.window, 180, setup);
  std::vector<std::string> problems;
  std::vector<DataFile> files = ReadDataFolder(station.dataFolder(), &problems);
  EXPECT_EQ(Join(problems), "");
  ASSERT_EQ(files.size(), 2u) << r.output;
  // The data folder's order is the labels'; the seconds' is the frames'.
  OrderByFrames(&files, r.sent);
  const Matching m = MatchRows(AllRows(files), r.sent);
  EXPECT_EQ(m.merges, 0);
  EXPECT_EQ(m.unmatched, 0);
  EXPECT_LE(m.missingRows, r.expect.maxMissingRows);
  EXPECT_LE(static_cast<int>(DropsOutside(m.dropped, r.expect.allowedDrops).size()),
            r.expect.maxOtherDrops);
  // Each file's labels run on second by second; the second file's first
  // label is the first file's last, plus one second, plus the step.
  for (const DataFile& f : files) {
    for (std::size_t i = 1; i < f.rows.size(); ++i) ASSERT_EQ(f.rows[i].at, f.rows[i - 1].at + 1);
  }
  EXPECT_EQ(files[1].rows.front().at, files[0].rows.back().at + 1 + c.step);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, ClockStep,
    ::testing::Values(ClockStepCase{"BackAnHour", -3600, false},
                      ClockStepCase{"ForwardAnHour", 3600, false},
                      ClockStepCase{"BackFiveSeconds", -5, false},
                      ClockStepCase{"ForwardFiveSecondsInTheWindow", 5, true}),
    [](const ::testing::TestParamInfo<ClockStepCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velrix::testing::e2e
