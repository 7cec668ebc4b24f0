// A measurement that is running when the window closes, the view is
// destroyed or the menu's stop is chosen: every row of the working copy
// reaches the dated data file, byte for byte.

#include <gtest/gtest.h>

#include <QAction>

#include "app/command_ids.h"
#include "datafile/working_copy.h"
#include "sim/sim_unit.h"
#include "tests/app/app_fixture.h"

namespace velrix::testing {
namespace {

constexpr int kRowsBeforeClose = 3;

sim::SimConfig CountingUnit() {
  sim::SimConfig config;
  config.counts.kind = sim::CountSource::Kind::Sequence;
  for (int i = 1; i <= 300; ++i) config.counts.sequence.push_back(i);
  return config;
}

// A window on the simulated unit whose measurement started by itself (the
// automatic start: no comment dialog) and has written a few rows.
class RunningShell : public ::testing::Test {
 protected:
  RunningShell() : folder_(1), unit_(CountingUnit()) {}

  void SetUp() override {
    std::string error;
    ASSERT_TRUE(unit_.Start(&error)) << error;
    shell_ = std::make_unique<Shell>(folder_, unit_.DevicePath());
    ASSERT_TRUE(shell_->ShowAndPaint());
    working_ = WorkingCopyPath(folder_.program());
    ASSERT_TRUE(PumpUntil([&] { return shell_->link().measuring.load() == 1; }, kLinkUpSeconds))
        << "the automatic start did not happen";
    ASSERT_TRUE(PumpUntil([&] { return DataRowCount(working_) >= kRowsBeforeClose; }, kRowsSeconds));
    dated_ = ReadWorkingTarget(working_);
    ASSERT_FALSE(dated_.empty());
    ASSERT_EQ(dated_.rfind(folder_.dataFolder() + "/", 0), 0u) << dated_;
    rowsBefore_ = DataRowCount(working_);
  }

  void ExpectCommitted() {
    ASSERT_TRUE(fs::exists(dated_)) << dated_;
    EXPECT_EQ(DataFiles(folder_.dataFolder()), std::vector<std::string>{dated_});
    const std::string workingBytes = ReadBytes(working_);
    EXPECT_EQ(ReadBytes(dated_), workingBytes);
    EXPECT_GE(DataRowCount(dated_), rowsBefore_);
    EXPECT_TRUE(ReadWorkingTarget(working_).empty()) << "the working copy is still noted as uncommitted";
    EXPECT_EQ(shell_->link().measuring.load(), 0);
    EXPECT_TRUE(shell_->messages().Shown().empty());
  }

  ProgramFolder folder_;
  sim::SimUnit unit_;
  std::unique_ptr<Shell> shell_;
  std::string working_;
  std::string dated_;
  int rowsBefore_ = 0;
};

TEST_F(RunningShell, ClosingTheWindowCommitsEveryRowToTheDatedFile) {
  EXPECT_FALSE(fs::exists(dated_)) << "rows reached the dated file before any commit";
  shell_->frame().close();
  EXPECT_FALSE(shell_->frame().isVisible());
  ExpectCommitted();
  // Nothing is written after the close.
  const std::string committed = ReadBytes(dated_);
  PumpUntil([] { return false; }, 1.5);
  EXPECT_EQ(ReadBytes(working_), committed);
}

TEST_F(RunningShell, DestroyingTheViewCommitsEveryRowToTheDatedFile) {
  shell_->Destroy();
  ExpectCommitted();
}

TEST_F(RunningShell, TheMenuStopCommandEndsTheRunAndCommits) {
  auto* stop = shell_->frame().findChild<QAction*>("cmd" + QString::number(kCmdStop));
  ASSERT_NE(stop, nullptr);
  stop->trigger();
  ExpectCommitted();
  EXPECT_TRUE(shell_->view().Button(kButtonStart)->isEnabled());
  EXPECT_FALSE(shell_->view().Button(kButtonStop)->isEnabled());
  // A later close has nothing left to commit and leaves the file as it is.
  const std::string committed = ReadBytes(dated_);
  shell_->frame().close();
  EXPECT_EQ(ReadBytes(dated_), committed);
}

}  // namespace
}  // namespace velrix::testing
