#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include "settings/settings_files.h"
#include "tests/support/recording_messages.h"
#include "tests/support/temp_folder.h"

namespace velrix {
namespace {

using testing::ReadBytes;
using testing::RecordingMessages;
using testing::TempFolder;
using testing::WriteBytes;

constexpr const char* kDocuments = "/home/user/Documents";
constexpr const char* kMachine = "station-7";

// What the shell holds at start-up: fresh settings and the link's settings
// as a fresh link record holds them.
struct Program {
  explicit Program(const TempFolder& folder) { SetDefaultFolders(settings, folder.slash(), kDocuments); }
  SettingsStart Start(const std::string& machine = kMachine) {
    return LoadSettingsAtStartup(settings, *link, machine, messages);
  }
  Settings settings;
  std::unique_ptr<LinkSettings> link = std::make_unique<LinkSettings>();
  RecordingMessages messages;
};

std::set<std::string> FilesIn(const TempFolder& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
    names.insert(entry.path().filename().string());
  return names;
}

TEST(SettingsStartup, FirstRunWritesExactlySevenFilesWithDefaultBytes) {
  TempFolder folder;
  Program program(folder);
  EXPECT_EQ(program.Start(), SettingsStart::FirstRun);
  EXPECT_TRUE(program.messages.Shown().empty());
  EXPECT_EQ(FilesIn(folder),
            (std::set<std::string>{"df_name.def", "dsp_unit.def", "trend.def", "comment.def",
                                   "warning.def", "buzzer.def", "aut_start.def"}));
  EXPECT_EQ(ReadBytes(folder.File("df_name.def")), "/home/user/Documents\n");
  EXPECT_EQ(ReadBytes(folder.File("dsp_unit.def")), "0\n0\n60\n");
  EXPECT_EQ(ReadBytes(folder.File("trend.def")), "0\n0\n");
  EXPECT_EQ(ReadBytes(folder.File("comment.def")), "station-7\n0001\n\n");
  EXPECT_EQ(ReadBytes(folder.File("warning.def")),
            "0.000000\n0.000000\n0.000000\n0.000000\n0.000000\n0.000000\n0\n");
  EXPECT_EQ(ReadBytes(folder.File("buzzer.def")), "1\n");
  EXPECT_EQ(ReadBytes(folder.File("aut_start.def")), "0\n");
  EXPECT_EQ(program.link->detectionBuzzer, 1);
  EXPECT_EQ(program.settings.displayUnits.averageSeconds, 60);
  EXPECT_EQ(program.settings.dataFolder, "/home/user/Documents/Velrix");
}

TEST(SettingsStartup, NextStartReportsMissingRetryAndPowerFilesInOrderAndGoesOn) {
  TempFolder folder;
  Program(folder).Start();

  Program next(folder);
  EXPECT_EQ(next.Start(), SettingsStart::LaterRun);
  const auto shown = next.messages.Shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].title, "異常発生");
  EXPECT_EQ(shown[0].text, "通信リトライ設定の読み込みを失敗しました。");
  EXPECT_EQ(shown[1].title, "異常発生");
  EXPECT_EQ(shown[1].text, "電源設定の読み込みを失敗しました。");
  EXPECT_EQ(next.settings.comment.computerName, "station-7");
  EXPECT_EQ(next.settings.comment.unitNumber, "0001");
  EXPECT_EQ(next.settings.displayUnits.averageSeconds, 60);
  EXPECT_EQ(next.link->detectionBuzzer, 1);
  EXPECT_EQ(next.link->retryMode, 0);
  EXPECT_EQ(next.link->maxRetries, 1);
  EXPECT_EQ(next.link->statusReadInterval, 1);
  for (const PowerEventSetting& e : next.settings.power.events) EXPECT_EQ(e.delay, 1);
}

TEST(SettingsStartup, EveryMissingFileIsReportedAndTheRestStillRead) {
  TempFolder folder;
  WriteBytes(folder.File("trend.def"), "3\n12\n");
  WriteBytes(folder.File("POWevent.def"), "2\n1\n");
  Program program(folder);
  program.Start();
  EXPECT_EQ(program.messages.Texts(),
            (std::vector<std::string>{
                "データフォルダ名の読み込みを失敗しました。",
                "表示単位設定の読み込みを失敗しました。",
                "コメントの読み込みを失敗しました。",
                "警告設定値の読み込みを失敗しました。",
                "検知ブザー設定の読み込みを失敗しました。",
                "自動開始設定の読み込みを失敗しました。",
                "通信リトライ設定の読み込みを失敗しました。",
            }));
  EXPECT_EQ(program.settings.trend.trendSpan, 3);
  EXPECT_EQ(program.settings.trend.trendScale, 12);
  EXPECT_EQ(program.link->statusReadInterval, 120);
  // Before any file is read the buzzer is off.
  EXPECT_EQ(program.link->detectionBuzzer, 0);
  EXPECT_EQ(program.settings.displayUnits.averageSeconds, 60);
  EXPECT_EQ(program.settings.comment.computerName, "station-7");
  EXPECT_EQ(program.settings.comment.unitNumber, "0001");
}

TEST(SettingsStartup, DeletingTrendDefMakesTheNextStartAFirstRunAgain) {
  TempFolder folder;
  Program(folder).Start();
  WriteBytes(folder.File("warning.def"), "5\n5\n5\n5\n5\n5\n1\n");
  WriteBytes(folder.File("comment.def"), "other\n0042\nroof\n");
  WriteBytes(folder.File("dsp_unit.def"), "1\n2\n300\n");
  std::filesystem::remove(folder.File("trend.def"));

  Program again(folder);
  EXPECT_EQ(again.Start("second-name"), SettingsStart::FirstRun);
  EXPECT_EQ(ReadBytes(folder.File("warning.def")),
            "0.000000\n0.000000\n0.000000\n0.000000\n0.000000\n0.000000\n0\n");
  EXPECT_EQ(ReadBytes(folder.File("comment.def")), "second-name\n0001\n\n");
  EXPECT_EQ(ReadBytes(folder.File("dsp_unit.def")), "0\n0\n60\n");
  EXPECT_TRUE(std::filesystem::exists(folder.File("trend.def")));
}

TEST(SettingsStartup, FirstRunCutsALongMachineNameTo127Bytes) {
  TempFolder folder;
  Program program(folder);
  program.Start(std::string(300, 'm'));
  EXPECT_EQ(program.settings.comment.computerName, std::string(127, 'm'));
  EXPECT_EQ(ReadBytes(folder.File("comment.def")), std::string(127, 'm') + "\n0001\n\n");
}

TEST(SettingsStartup, FirstRunReportsEachFileItCannotWrite) {
  TempFolder folder;
  std::filesystem::create_directory(folder.File("dsp_unit.def"));
  std::filesystem::create_directory(folder.File("warning.def"));
  Program program(folder);
  program.Start();
  EXPECT_EQ(program.messages.Texts(), (std::vector<std::string>{
                                          "表示単位設定の保存を失敗しました。",
                                          "警告設定値の保存を失敗しました。",
                                          "警告設定値の保存を失敗しました。",
                                      }));
  EXPECT_EQ(ReadBytes(folder.File("aut_start.def")), "0\n");
}

}  // namespace
}  // namespace velrix
