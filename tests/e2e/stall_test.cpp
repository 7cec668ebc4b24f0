// A computer that stops: the recorder and the window side by side, each on
// its own unit, stopped with SIGSTOP (a suspended or paused machine) for
// longer than the link's two-minute sample ring, or with their units
// unplugged for as long. Afterwards every row stands at the second its frame
// was sent, the stopped span is rows marked missing, and what was counted
// after the resume is all there, also when SIGTERM comes 20 s after it.

#include <gtest/gtest.h>
#include <signal.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/e2e_fixture.h"
#include "tests/e2e/timeline_check.h"

namespace velrix::testing::e2e {
namespace {

int Size(const std::vector<int>& v) { return static_cast<int>(v.size()); }

struct StallCase {
  const char* name;
  bool unplug;        // the units go away instead of the programs stopping
  int scale;
  int stopSeconds;    // clock seconds
};

// One program with its own station and unit.
struct Side {
  Side(const SharedClock& clock, bool window, int unitOffset) {
    config = MarkedUnit(clock, station.UnitLink(), unitOffset);
    config.sentLogPath = station.temp().File("sent.log");
    unit = std::make_unique<sim::SimUnit>(config);
    EXPECT_TRUE(unit->Start());
    program = window ? StartVelrix(station, clock, "program.out")
                     : StartRecorder(station, clock, "program.out");
  }
  void Unplug() {
    sent = unit->CountsSent();
    unit->HangUp();
  }
  void PlugIn() {
    unit = std::make_unique<sim::SimUnit>(config);
    EXPECT_TRUE(unit->Start());
  }
  std::vector<int> AllSent() const {
    std::vector<int> all = sent;
    const std::vector<int> now = unit->CountsSent();
    if (replugged) all.insert(all.end(), now.begin(), now.end());
    return replugged ? all : now;
  }

  Station station;
  sim::SimConfig config;
  std::unique_ptr<sim::SimUnit> unit;
  std::unique_ptr<Child> program;
  std::vector<int> sent;  // before an unplug
  bool replugged = false;
};

class Stall : public ::testing::TestWithParam<StallCase> {};

TEST_P(Stall, EveryRowStandsAtItsOwnSecondAndTheStoppedSpanIsMissing) {
  const StallCase& c = GetParam();
  SharedClock clock("2026-06-01 10:00:00", c.scale);
  Side recorder(clock, false, 0);
  Side window(clock, true, 1000);
  Side* sides[] = {&recorder, &window};
  for (Side* s : sides) {
    ASSERT_TRUE(WaitUntil([&] { return WorkingRows(s->station) >= 5; }, kStartSeconds))
        << s->program->Output();
  }
  int stoppedAt[2] = {};
  for (int i = 0; i < 2; ++i) {
    stoppedAt[i] = Size(sides[i]->unit->CountsSent());
    if (c.unplug) {
      sides[i]->Unplug();
      sides[i]->replugged = true;
    } else {
      sides[i]->program->Signal(SIGSTOP);
    }
  }
  clock.SleepClockSeconds(c.stopSeconds);
  int resumedAt[2] = {};
  for (int i = 0; i < 2; ++i) {
    if (c.unplug) {
      sides[i]->PlugIn();
      resumedAt[i] = Size(sides[i]->sent);
    } else {
      resumedAt[i] = Size(sides[i]->unit->CountsSent());
      sides[i]->program->Signal(SIGCONT);
    }
  }
  clock.SleepClockSeconds(20);
  int endedAt[2] = {};
  for (int i = 0; i < 2; ++i) {
    endedAt[i] = Size(sides[i]->AllSent());
    sides[i]->program->Signal(SIGTERM);
  }
  for (int i = 0; i < 2; ++i) {
    Side& s = *sides[i];
    const std::optional<int> status = s.program->WaitExit(kExitSeconds);
    EXPECT_TRUE(ExitedWith(status, 0)) << Describe(status) << "\n" << s.program->Output();
    const std::vector<int> sent = s.AllSent();
    RowExpectations expect;
    // The frame that opens the collection; the frames that lay queued
    // while the program was stopped (or were lost with the cable) and the
    // new unit's first; those after SIGTERM.
    expect.allowedDrops = {{0, 1}, {stoppedAt[i] - 2, resumedAt[i] + 2}, {endedAt[i] - 1, Size(sent)}};
    expect.maxOtherDrops = Size(sent) / 100;
    // The stopped span, plus the link's time to notice a unit come back.
    expect.minMissingRows = c.stopSeconds - 5;
    expect.maxMissingRows = c.stopSeconds + (c.unplug ? 10 * c.scale : 10);
    std::vector<DataFile> files;
    Matching m;
    EXPECT_EQ(CheckCommitted(s.station.dataFolder(), sent, expect, &files, &m), "")
        << (i == 0 ? "recorder" : "window") << "\n" << s.program->Output();
    EXPECT_EQ(m.merges, 0);
    EXPECT_EQ(m.unmatched, 0);
    // Counted after the resume, up to SIGTERM: recorded.
    EXPECT_GE(m.lastMatched, endedAt[i] - 2) << (i == 0 ? "recorder" : "window");
    EXPECT_EQ(Join(MisdatedRows(files, ReadSentLog(s.config.sentLogPath), 2)), "")
        << (i == 0 ? "recorder" : "window");
  }
}

INSTANTIATE_TEST_SUITE_P(
    StoppedOrUnplugged, Stall,
    ::testing::Values(StallCase{"StoppedTenMinutesAt20x", false, 20, 600},
                      StallCase{"Stopped180SecondsInRealTime", false, 1, 180},
                      StallCase{"UnpluggedTenMinutesAt20x", true, 20, 600}),
    [](const ::testing::TestParamInfo<StallCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velrix::testing::e2e
