// Measurements on the real link with the simulated unit: the rows are the
// counts the unit sent, and every way a run can fail ends in a stop with its
// message and without losing rows already written.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "tests/measure/live_unit_fixture.h"

namespace velrix::testing {
namespace {

// Distinct counts, so that each row can be traced to the frame that carried it.
sim::SimConfig SequenceUnit() {
  sim::SimConfig config;
  config.counts.kind = sim::CountSource::Kind::Sequence;
  for (int i = 1; i <= 200; ++i) config.counts.sequence.push_back(100 + i);
  return config;
}

std::string CountText(int count) {
  char text[32];
  std::snprintf(text, sizeof text, "%08.3lf", static_cast<double>(count));
  return text;
}

TEST_F(LiveUnitTest, RealRunRowsAreTheCountsTheUnitSentWithMissingSecondsMarked) {
  link.retryMode.store(2);  // missing seconds never end the link
  StartLink(SequenceUnit());
  StartMeasurement(ctx);
  ASSERT_EQ(link.measuring.load(), 1);
  ASSERT_TRUE(RunCycleUntil([&] { return history.sampleCount >= 3; }, 10.0));
  unit->SetSilent(true);  // a few seconds without any frame
  RunCycleFor(4.0);
  unit->SetSilent(false);
  ASSERT_TRUE(RunCycleUntil([&] { return history.sampleCount >= 12; }, 20.0));
  StopMeasurement(ctx);
  const int recorded = history.sampleCount;
  ASSERT_TRUE(Drain());

  const auto rows = ParseRows(FileRows(writer.datedPath));
  ASSERT_EQ(static_cast<int>(rows.size()), recorded);
  ASSERT_GE(rows.size(), 5u);
  // One row per second, without gaps.
  for (std::size_t i = 1; i < rows.size(); ++i) {
    EXPECT_EQ(SecondOfDay(rows[i].time), SecondOfDay(rows[i - 1].time) + 1) << rows[i].time;
  }
  // The counted rows are the unit's frames in order; the others are marked.
  const std::vector<int> sent = unit->CountsSent();
  std::vector<std::string> counted;
  int missing = 0;
  for (const ParsedRow& row : rows) {
    if (row.missing == 1) {
      EXPECT_EQ(row.count, "0000.000");
      ++missing;
    } else {
      EXPECT_EQ(row.missing, 0);
      counted.push_back(row.count);
    }
  }
  EXPECT_GE(missing, 1);
  ASSERT_FALSE(counted.empty());
  const auto first = std::find_if(sent.begin(), sent.end(),
                                  [&](int c) { return CountText(c) == counted.front(); });
  ASSERT_NE(first, sent.end());
  for (std::size_t i = 0; i < counted.size(); ++i) {
    ASSERT_LT(first + static_cast<long>(i), sent.end());
    EXPECT_EQ(counted[i], CountText(*(first + static_cast<long>(i))));
  }
  EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(LiveUnitTest, LinkFailureStopKeepsEveryRowInTheDatedFile) {
  StartLink(SequenceUnit());  // retry mode 0: the first missing second ends the link
  StartMeasurement(ctx);
  ASSERT_TRUE(RunCycleUntil([&] { return history.sampleCount >= 3; }, 10.0));
  unit->SetSilent(true);
  int recordedAtStop = -1;
  ASSERT_TRUE(RunCycleUntil(
      [&] {
        if (link.measuring.load() == 0 && recordedAtStop < 0) recordedAtStop = history.sampleCount;
        return recordedAtStop >= 0;
      },
      15.0));
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{
                                  "USBユニットとの通信異常が発生したため、測定を中止しました。"});
  EXPECT_TRUE(view.startEnabled);
  EXPECT_FALSE(view.stopEnabled);
  const auto dated = FileRows(writer.datedPath);
  EXPECT_EQ(static_cast<int>(dated.size()), recordedAtStop);
  EXPECT_GE(dated.size(), 3u);
  const auto working = FileRows(WorkingPath());
  ASSERT_GE(working.size(), dated.size());
  EXPECT_TRUE(std::equal(dated.begin(), dated.end(), working.begin()));
}

TEST_F(LiveUnitTest, DeletedThenCorruptedWorkingCopyStopEachRunWithItsMessage) {
  StartLink(SequenceUnit());
  StartMeasurement(ctx);
  ASSERT_TRUE(RunCycleUntil([&] { return history.sampleCount >= 2; }, 10.0));
  std::filesystem::remove(WorkingPath());
  ASSERT_TRUE(RunCycleUntil([&] { return link.measuring.load() == 0; }, 10.0));
  ASSERT_TRUE(Drain());
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{"測定データファイル[" + WorkingPath() +
                                                       "]は、消去されたので測定を停止します。"});

  // The unit is stopped and started again like any other run.
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // a new file name
  StartMeasurement(ctx);
  ASSERT_EQ(link.measuring.load(), 1);
  ASSERT_TRUE(RunCycleUntil([&] { return history.sampleCount >= 2; }, 10.0));
  WriteBytes(WorkingPath(), "1.00\r\n");
  ASSERT_TRUE(RunCycleUntil([&] { return link.measuring.load() == 0; }, 10.0));
  ASSERT_TRUE(Drain());
  ASSERT_EQ(messages.Shown().size(), 2u);
  EXPECT_EQ(messages.Shown()[1].title, "システム異常");
  EXPECT_EQ(messages.Shown()[1].text,
            "測定データファイル[" + WorkingPath() + "]は、破損したので測定を停止します。");
  EXPECT_FALSE(std::filesystem::exists(writer.datedPath));
  EXPECT_EQ(ReadBytes(WorkingPath()), "1.00\r\n");
}

TEST_F(LiveUnitTest, DataFolderThatCannotBeCreatedKeepsTheUnitFromCounting) {
  StartLink(SequenceUnit());
  std::filesystem::create_directories(temp.path() + "/documents");
  WriteBytes(settings.dataFolder, "a file where the data folder must go");
  StartMeasurement(ctx);
  EXPECT_EQ(link.measuring.load(), 0);
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{
                                  "データフォルダ（年）作成を失敗しましたので測定を停止します。"});
  RunCycleFor(3.0);
  EXPECT_EQ(history.sampleCount, 0);
  EXPECT_FALSE(unit->Counting());
}

TEST_F(LiveUnitTest, WorkingCopyThatCannotBeOpenedStopsAfter31Attempts) {
  StartLink(SequenceUnit());
  StartMeasurement(ctx);
  ASSERT_TRUE(RunCycleUntil([&] { return history.sampleCount >= 2; }, 10.0));
  std::filesystem::remove(WorkingPath());
  std::filesystem::create_directory(WorkingPath());
  ASSERT_TRUE(RunCycleUntil([&] { return link.measuring.load() == 0; }, 20.0));
  ASSERT_TRUE(Drain());
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{
                                  "データファイル書き込みを失敗しましたので測定を停止します。"});
  EXPECT_TRUE(writer.failed);
  EXPECT_TRUE(std::filesystem::is_directory(WorkingPath()));
}

}  // namespace
}  // namespace velrix::testing
