// Start, stops and the measurement checks: what they change, what they show,
// and what reaches the dated data file.

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/measure/measure_fixture.h"

namespace velrix::testing {
namespace {

constexpr char kTitle[] = "システム異常";

TEST_F(MeasureTest, StartWhileTheLinkIsNotOkShowsWhyAndChangesNothing) {
  link.linkStatus.store(kLinkNg);
  Start();
  ASSERT_EQ(messages.Shown().size(), 1u);
  EXPECT_EQ(messages.Shown()[0].title, kTitle);
  EXPECT_EQ(messages.Shown()[0].text, "USBユニットと通信できないため、測定開始できません。");
  EXPECT_EQ(link.measuring.load(), 0);
  EXPECT_EQ(view.buttonChanges, 0);
  EXPECT_EQ(view.commentChecks, 0);
  EXPECT_EQ(view.redraws, 1);
  EXPECT_FALSE(std::filesystem::exists(WorkingPath()));
}

TEST_F(MeasureTest, CancelledCommentCheckStartsNothingAndSaysNothing) {
  view.commentAnswer = false;
  Start();
  EXPECT_EQ(view.commentChecks, 1);
  EXPECT_EQ(link.measuring.load(), 0);
  EXPECT_TRUE(messages.Shown().empty());
  EXPECT_FALSE(std::filesystem::exists(WorkingPath()));
}

TEST_F(MeasureTest, StartCreatesTheFileResetsTheCountersAndSwapsTheButtons) {
  SetLocal(2013, 3, 2, 13, 5, 7);
  history.sampleCount = 500;
  history.elapsedSeconds = 500;
  history.levels[0].written = 50;
  history.levels[0].writeIndex = 50;
  values.integratedDose = 3.0;
  run.stoppedMark = 1;
  link.storedSamples.store(9);
  link.maxRetryCount.store(4);
  Start();
  EXPECT_EQ(link.measuring.load(), 1);
  EXPECT_FALSE(view.startEnabled);
  EXPECT_TRUE(view.stopEnabled);
  EXPECT_EQ(view.redraws, 1);
  EXPECT_EQ(history.sampleCount, 0);
  EXPECT_EQ(history.elapsedSeconds, 0);
  EXPECT_EQ(history.levels[0].written, 0);
  EXPECT_EQ(history.levels[0].writeIndex, 0);
  EXPECT_EQ(values.integratedDose, 0.0);
  EXPECT_EQ(run.stoppedMark, 0);
  EXPECT_EQ(link.storedSamples.load(), 0);
  EXPECT_EQ(link.maxRetryCount.load(), 0);
  EXPECT_EQ(run.shownVersion, "2.00");
  EXPECT_EQ(ReadBytes(WorkingPath()), Header());
  EXPECT_EQ(writer.datedPath, DataPath("2013/03/02/130302-130507.csv"));
}

TEST_F(MeasureTest, SecondStartWhileRunningOnlyRedraws) {
  Start();
  const std::string dated = writer.datedPath;
  clock.Advance(5);
  Start();
  EXPECT_EQ(view.commentChecks, 1);
  EXPECT_EQ(view.redraws, 2);
  EXPECT_EQ(writer.datedPath, dated);
}

TEST_F(MeasureTest, FailedFileCreationKeepsTheMeasurementFromStarting) {
  SetLocal(2013, 3, 2, 13, 5, 7);
  std::filesystem::create_directories(settings.dataFolder);
  WriteBytes(DataPath("2013"), "in the way");
  Start();
  EXPECT_EQ(link.measuring.load(), 0);
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{
                                  "データフォルダ（年）作成を失敗しましたので測定を停止します。"});
  EXPECT_TRUE(view.startEnabled);
  EXPECT_FALSE(view.stopEnabled);
}

TEST_F(MeasureTest, UserStopCommitsTheRowsAndMarksTheStop) {
  SetLocal(2013, 3, 2, 13, 5, 7);
  Start();
  Second(12.0);
  Second(13.0);
  StopMeasurement(ctx);
  EXPECT_EQ(link.measuring.load(), 0);
  EXPECT_EQ(run.stoppedMark, 1);
  EXPECT_EQ(run.stopTime, clock.Now());
  EXPECT_TRUE(view.startEnabled);
  EXPECT_FALSE(view.stopEnabled);
  EXPECT_EQ(ReadBytes(DataPath("2013/03/02/130302-130507.csv")),
            Header() + "13:05:07,0012.000,0,0\r\n13:05:08,0013.000,0,0\r\n");
}

TEST_F(MeasureTest, LinkFailureStopsWithTheMessageAndKeepsEveryRow) {
  SetLocal(2013, 3, 2, 13, 5, 7);
  Start();
  Second(4.0);
  Second(5.0);
  Second(6.0);
  link.linkStatus.store(kLinkRetriesExhausted);
  MeasurementChecks(ctx);
  EXPECT_EQ(link.measuring.load(), 0);
  EXPECT_EQ(values.latestCount, 0.0);
  EXPECT_EQ(run.stoppedMark, 1);
  EXPECT_TRUE(view.startEnabled);
  EXPECT_FALSE(view.stopEnabled);
  ASSERT_EQ(messages.Shown().size(), 1u);
  EXPECT_EQ(messages.Shown()[0].title, kTitle);
  EXPECT_EQ(messages.Shown()[0].text,
            "USBユニットとの通信異常が発生したため、測定を中止しました。");
  EXPECT_EQ(Rows(ReadBytes(DataPath("2013/03/02/130302-130507.csv"))),
            (std::vector<std::string>{"13:05:07,0004.000,0,0", "13:05:08,0005.000,0,0",
                                      "13:05:09,0006.000,0,0"}));
  // Shown once: the next check finds nothing running.
  MeasurementChecks(ctx);
  EXPECT_EQ(messages.Shown().size(), 1u);
}

TEST_F(MeasureTest, AutomaticStartSkipsTheCommentCheckAndWritesAuto) {
  settings.autoStart = 1;
  link.linkStatus.store(kLinkNone);
  MeasurementChecks(ctx);
  EXPECT_EQ(link.measuring.load(), 0);
  EXPECT_EQ(run.autoStartState, AutoStartState::Armed);

  link.linkStatus.store(kLinkOk);
  MeasurementChecks(ctx);
  EXPECT_EQ(link.measuring.load(), 1);
  EXPECT_EQ(view.commentChecks, 0);
  EXPECT_EQ(run.autoStartState, AutoStartState::Started);
  EXPECT_EQ(ReadBytes(WorkingPath()), Header("auto"));

  // A later manual start asks for the comment and is never automatic again.
  StopMeasurement(ctx);
  clock.Advance(10);
  Start();
  EXPECT_EQ(view.commentChecks, 1);
  EXPECT_EQ(run.autoStartState, AutoStartState::ManualAfterAuto);
  EXPECT_EQ(ReadBytes(WorkingPath()), Header());
  StopMeasurement(ctx);
  MeasurementChecks(ctx);
  EXPECT_EQ(link.measuring.load(), 0);
}

TEST_F(MeasureTest, AutomaticStartSwitchedOnDuringAManualRunLabelsNoFileAuto) {
  Start();
  settings.autoStart = 1;
  MeasurementChecks(ctx);
  StopMeasurement(ctx);
  MeasurementChecks(ctx);  // the user stopped: nothing starts by itself
  EXPECT_EQ(link.measuring.load(), 0);
  clock.Advance(10);
  Start();
  EXPECT_EQ(view.commentChecks, 2);
  EXPECT_EQ(ReadBytes(WorkingPath()), Header());
}

TEST_F(MeasureTest, AutomaticStartIsOffUnlessTheSettingIsOne) {
  settings.autoStart = 0;
  MeasurementChecks(ctx);
  EXPECT_EQ(link.measuring.load(), 0);
  EXPECT_EQ(run.autoStartState, AutoStartState::Armed);
}

TEST_F(MeasureTest, FailedAutomaticStartLetsTheNextStartSkipTheCheck) {
  settings.autoStart = 1;
  std::filesystem::create_directories(settings.dataFolder);
  const CalendarTime now = clock.LocalNow();
  WriteBytes(DataPath(std::to_string(now.year)), "in the way");
  MeasurementChecks(ctx);
  EXPECT_EQ(link.measuring.load(), 0);
  EXPECT_EQ(run.autoStartState, AutoStartState::Starting);
  std::filesystem::remove(DataPath(std::to_string(now.year)));
  Start();
  EXPECT_EQ(view.commentChecks, 0);
  EXPECT_EQ(link.measuring.load(), 1);
  EXPECT_EQ(ReadBytes(WorkingPath()), Header("auto"));
}

TEST_F(MeasureTest, WriterFailureStopsWithoutCommitAndReportsOnce) {
  SetLocal(2013, 3, 2, 13, 5, 7);
  Start();
  Second(1.0);
  std::filesystem::remove(WorkingPath());
  Second(2.0);
  Second(3.0);
  EXPECT_EQ(link.measuring.load(), 0);
  EXPECT_EQ(run.stoppedMark, 1);
  EXPECT_TRUE(view.startEnabled);
  EXPECT_FALSE(view.stopEnabled);
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{"測定データファイル[" + WorkingPath() +
                                                       "]は、消去されたので測定を停止します。"});
  EXPECT_FALSE(std::filesystem::exists(writer.datedPath));
}

TEST_F(MeasureTest, CorruptedWorkingCopyStopsTheMeasurement) {
  SetLocal(2013, 3, 2, 13, 5, 7);
  Start();
  Second(1.0);
  WriteBytes(WorkingPath(), "broken\r\n");
  Second(2.0);
  EXPECT_EQ(link.measuring.load(), 0);
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{"測定データファイル[" + WorkingPath() +
                                                       "]は、破損したので測定を停止します。"});
}

TEST_F(MeasureTest, ExitDuringAMeasurementCommitsAfterThePause) {
  SetLocal(2013, 3, 2, 13, 5, 7);
  Start();
  Second(9.0);
  StopMeasurementAtExit(ctx, std::chrono::milliseconds(10));
  EXPECT_EQ(link.measuring.load(), 0);
  EXPECT_EQ(ReadBytes(writer.datedPath), Header() + "13:05:07,0009.000,0,0\r\n");
}

// A long gap left half caught up when the measurement stopped, and the
// last measurement's time anchor: neither reaches the next one.
TEST_F(MeasureTest, AGapInHandOfAnEarlierMeasurementNeverReachesANewOne) {
  SetLocal(2013, 3, 2, 20, 0, 0);
  Start();
  Second(1.0);
  PushMissingRun(5000);
  Tick();
  ASSERT_GT(run.missingLeft, 0u);
  StopMeasurement(ctx);
  SetLocal(2013, 3, 3, 8, 0, 0);
  Start();
  Second(2.0);
  Tick();
  StopMeasurement(ctx);
  EXPECT_EQ(ReadBytes(DataPath("2013/03/03/130303-080000.csv")),
            Header() + "08:00:00,0002.000,0,0\r\n");
}

}  // namespace
}  // namespace velrix::testing
