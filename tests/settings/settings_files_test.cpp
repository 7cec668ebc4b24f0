#include "settings/settings_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "platform/cp932.h"
#include "tests/support/recording_messages.h"
#include "tests/support/temp_folder.h"

namespace velrix {
namespace {

using testing::ReadBytes;
using testing::RecordingMessages;
using testing::TempFolder;
using testing::WriteBytes;

class SettingsFiles : public ::testing::Test {
 protected:
  SettingsFiles() { SetDefaultFolders(settings, folder.slash(), "/docs"); }
  std::string Bytes(const char* name) { return ReadBytes(folder.File(name)); }
  void Put(const char* name, const std::string& bytes) { WriteBytes(folder.File(name), bytes); }

  TempFolder folder;
  Settings settings;
  std::unique_ptr<LinkSettings> link = std::make_unique<LinkSettings>();
  RecordingMessages messages;
};

TEST_F(SettingsFiles, AverageSecondsOutsideItsRangeReadsAsSixty) {
  for (const char* w : {"0", "5000", "-3"}) {
    Put("dsp_unit.def", std::string("1\n2\n") + w + "\n");
    settings.displayUnits.averageSeconds = 17;
    EXPECT_EQ(LoadDisplayUnits(settings, messages), 0);
    EXPECT_EQ(settings.displayUnits.averageSeconds, 60) << w;
    EXPECT_EQ(settings.displayUnits.rateUnit, 2);
  }
  Put("dsp_unit.def", "0\n0\n3600\n");
  LoadDisplayUnits(settings, messages);
  EXPECT_EQ(settings.displayUnits.averageSeconds, 3600);
  Put("dsp_unit.def", "0 0 1");
  LoadDisplayUnits(settings, messages);
  EXPECT_EQ(settings.displayUnits.averageSeconds, 1);
  EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(SettingsFiles, MissingDisplayUnitsFileIsReportedAndWIsSixty) {
  settings.displayUnits.averageSeconds = 0;
  EXPECT_EQ(LoadDisplayUnits(settings, messages), 1);
  EXPECT_EQ(settings.displayUnits.averageSeconds, 60);
  ASSERT_EQ(messages.Shown().size(), 1u);
  EXPECT_EQ(messages.Shown()[0].title, "異常発生");
  EXPECT_EQ(messages.Shown()[0].text, "表示単位設定の読み込みを失敗しました。");
}

TEST_F(SettingsFiles, CommentWithBlanksAndJapaneseRoundTripsAsCp932) {
  settings.comment = {"監視PC 1", "0007", "屋上 北側"};
  EXPECT_EQ(SaveComment(settings, messages), 0);
  EXPECT_EQ(Bytes("comment.def"), Utf8ToCp932("監視PC 1\n0007\n屋上 北側\n"));
  settings.comment = {};
  LoadComment(settings, "host", messages);
  EXPECT_EQ(settings.comment.computerName, "監視PC 1");
  EXPECT_EQ(settings.comment.unitNumber, "0007");
  EXPECT_EQ(settings.comment.comment, "屋上 北側");
  EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(SettingsFiles, BaseFolderKeepsATrailingBlank) {
  settings.baseFolder = "/srv/data ";
  SaveDataFolder(settings, messages);
  EXPECT_EQ(Bytes("df_name.def"), "/srv/data \n");
  settings.baseFolder.clear();
  LoadDataFolder(settings, messages);
  EXPECT_EQ(settings.baseFolder, "/srv/data ");
  EXPECT_EQ(settings.dataFolder, "/srv/data /Velrix");
}

TEST_F(SettingsFiles, ABaseFolderTheCodePageCannotHoldIsNotWrittenDamaged) {
  settings.baseFolder = "/home/josé/Documents";
  EXPECT_EQ(SaveDataFolder(settings, messages), 1);
  EXPECT_FALSE(std::filesystem::exists(folder.File("df_name.def")));
  ASSERT_EQ(messages.Texts(), std::vector<std::string>{"データフォルダ名の保存を失敗しました。"});
  EXPECT_EQ(messages.Shown()[0].title, "異常発生");
}

TEST_F(SettingsFiles, EmptyDataFolderFileLeavesBothFolders) {
  Put("df_name.def", "");
  LoadDataFolder(settings, messages);
  EXPECT_EQ(settings.baseFolder, "/docs");
  EXPECT_EQ(settings.dataFolder, "/docs/Velrix");
  EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(SettingsFiles, ReadersAcceptCrLfAndAMissingFinalNewline) {
  Put("dsp_unit.def", "1\r\n3\r\n120");
  Put("comment.def", "PC-1\r\nU-2\r\nnote");
  Put("df_name.def", "/mnt/x\r\n");
  LoadDisplayUnits(settings, messages);
  LoadComment(settings, "host", messages);
  LoadDataFolder(settings, messages);
  EXPECT_EQ(settings.displayUnits.integratedUnit, 1);
  EXPECT_EQ(settings.displayUnits.rateUnit, 3);
  EXPECT_EQ(settings.displayUnits.averageSeconds, 120);
  EXPECT_EQ(settings.comment.computerName, "PC-1");
  EXPECT_EQ(settings.comment.unitNumber, "U-2");
  EXPECT_EQ(settings.comment.comment, "note");
  EXPECT_EQ(settings.baseFolder, "/mnt/x");
}

TEST_F(SettingsFiles, AnUnreadableValueLeavesItAndAllAfterItUnchanged) {
  settings.warning = {9, 9, 9, 9, 9, 9, 1};
  Put("warning.def", "1.5\n\n  2.25e1\nabc\n4\n5\n0\n");
  LoadWarningSettings(settings, messages);
  EXPECT_DOUBLE_EQ(settings.warning.currentLimit, 1.5);
  EXPECT_DOUBLE_EQ(settings.warning.averageLimit, 22.5);
  EXPECT_DOUBLE_EQ(settings.warning.hourLimit, 9);
  EXPECT_DOUBLE_EQ(settings.warning.yearLimit, 9);
  EXPECT_EQ(settings.warning.soundOn, 1);

  settings.power.events[3].popupAtExecution = 7;
  Put("POWevent.def", "5 0 1 30 1 0 x 9 9 9");
  LoadPowerSettings(settings, *link, messages);
  EXPECT_EQ(settings.power.statusIntervalValue, 5);
  EXPECT_EQ(settings.power.events[0].delay, 30);
  EXPECT_EQ(settings.power.events[1].enabled, 0);
  EXPECT_EQ(settings.power.events[3].popupAtExecution, 7);
  EXPECT_EQ(link->statusReadInterval, 5);
  EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(SettingsFiles, WarningLimitsRoundTripWithSixDecimals) {
  settings.warning = {0.125, 2, 3.5, 1000.0005, 999999.999, 12, 1};
  SaveWarningSettings(settings, messages);
  EXPECT_EQ(Bytes("warning.def"),
            "0.125000\n2.000000\n3.500000\n1000.000500\n999999.999000\n12.000000\n1\n");
  settings.warning = {};
  LoadWarningSettings(settings, messages);
  EXPECT_DOUBLE_EQ(settings.warning.dayLimit, 999999.999);
  EXPECT_EQ(settings.warning.soundOn, 1);
}

TEST_F(SettingsFiles, BuzzerWithoutAnIntegerTurnsOn) {
  link->detectionBuzzer = 0;
  Put("buzzer.def", "\n  \n");
  EXPECT_EQ(LoadBuzzer(settings, *link, messages), 0);
  EXPECT_EQ(link->detectionBuzzer, 1);
  Put("buzzer.def", "0\r\n");
  LoadBuzzer(settings, *link, messages);
  EXPECT_EQ(link->detectionBuzzer, 0);
}

TEST_F(SettingsFiles, CommentWithoutAFirstLineTakesTheMachineName) {
  settings.comment.comment = "kept";
  Put("comment.def", "");
  LoadComment(settings, "box-3", messages);
  EXPECT_EQ(settings.comment.computerName, "box-3");
  EXPECT_EQ(settings.comment.unitNumber, "0001");
  EXPECT_EQ(settings.comment.comment, "kept");
  Put("comment.def", "\n\n\n");
  LoadComment(settings, "box-3", messages);
  EXPECT_EQ(settings.comment.computerName, "");
  EXPECT_EQ(settings.comment.unitNumber, "");
  EXPECT_EQ(settings.comment.comment, "");
}

TEST_F(SettingsFiles, UnreadableCommentFileIsReportedAndTakesTheMachineName) {
  std::filesystem::create_directory(folder.File("comment.def"));
  EXPECT_EQ(LoadComment(settings, "box-9", messages), 1);
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{"コメントの読み込みを失敗しました。"});
  EXPECT_EQ(settings.comment.computerName, "box-9");
  EXPECT_EQ(settings.comment.unitNumber, "0001");
}

TEST_F(SettingsFiles, LongCommentLinesAreCutAfterAWholeCharacterAndDoNotSpill) {
  // 126 ASCII bytes then a two-byte character: cutting at 127 would split it.
  const std::string name = std::string(126, 'a') + Utf8ToCp932("局") + "tail";
  Put("comment.def", name + "\n" + std::string(500, 'u') + "\nshort\n");
  LoadComment(settings, "host", messages);
  EXPECT_EQ(settings.comment.computerName, std::string(126, 'a'));
  EXPECT_EQ(settings.comment.unitNumber, std::string(127, 'u'));
  EXPECT_EQ(settings.comment.comment, "short");

  settings.comment.comment = std::string(125, 'c') + "局局";
  SaveComment(settings, messages);
  EXPECT_EQ(Bytes("comment.def").substr(Bytes("comment.def").rfind('\n', Bytes("comment.def").size() - 2) + 1),
            std::string(125, 'c') + Utf8ToCp932("局") + "\n");
}

TEST_F(SettingsFiles, TextsStopAtTheirFirstLineBreakSoLaterLinesStayInPlace) {
  settings.comment = {"pc\nevil", "0002", "a\r\nb"};
  SaveComment(settings, messages);
  EXPECT_EQ(Bytes("comment.def"), "pc\n0002\na\n");
}

TEST_F(SettingsFiles, NonCp932BytesAndGarbageNeverStopAReader) {
  Put("comment.def", std::string("\x81\n\xff\xfe\x80z\n\x82\xa0", 9));
  LoadComment(settings, "host", messages);
  EXPECT_EQ(settings.comment.computerName, "");  // a lead byte without its trail is cut
  EXPECT_NE(settings.comment.unitNumber.find("z"), std::string::npos);
  Put("trend.def", std::string("\x01\x02\xff 3", 6));
  settings.trend.trendSpan = 4;
  LoadTrendSettings(settings, messages);
  EXPECT_EQ(settings.trend.trendSpan, 4);
  EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(SettingsFiles, MegabytesOfJunkAreReadByTheRules) {
  const std::string digits(4 * 1024 * 1024, '7');
  Put("dsp_unit.def", "2\n" + digits + "\n30\n");
  LoadDisplayUnits(settings, messages);
  EXPECT_EQ(settings.displayUnits.integratedUnit, 2);
  EXPECT_EQ(settings.displayUnits.rateUnit, 2147483647);
  EXPECT_EQ(settings.displayUnits.averageSeconds, 30);

  std::string junk(4 * 1024 * 1024, '\0');
  for (std::size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>((i * 97 + 3) % 256);
  Put("comment.def", junk);
  Put("df_name.def", std::string(3 * 1024 * 1024, 'd') + "\n");
  Put("POWevent.def", junk);
  LoadComment(settings, "host", messages);
  LoadDataFolder(settings, messages);
  LoadPowerSettings(settings, *link, messages);
  EXPECT_LE(Utf8ToCp932(settings.comment.computerName).size(), 127u);
  EXPECT_EQ(settings.baseFolder, std::string(255, 'd'));
  EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(SettingsFiles, PowerSettingsRoundTripAndSetTheStatusInterval) {
  settings.power.statusIntervalValue = 3;
  settings.power.statusIntervalUnit = 1;
  for (int e = 0; e < kPowerEvents; ++e) settings.power.events[e] = {e % 2, 10 + e, 1, e % 2};
  EXPECT_EQ(SavePowerSettings(settings, *link, messages), 0);
  EXPECT_EQ(link->statusReadInterval, 180);
  EXPECT_EQ(Bytes("POWevent.def"), "3\n1\n0\n10\n1\n0\n1\n11\n1\n1\n0\n12\n1\n0\n1\n13\n1\n1\n");
  Settings loaded;
  loaded.programFolder = settings.programFolder;
  link->statusReadInterval = 0;
  LoadPowerSettings(loaded, *link, messages);
  EXPECT_EQ(loaded.power.events[3].delay, 13);
  EXPECT_EQ(loaded.power.events[1].popupAtExecution, 1);
  EXPECT_EQ(link->statusReadInterval, 180);
}

TEST_F(SettingsFiles, StatusIntervalIsSecondsOrMinutes) {
  PowerSettings p;
  p.statusIntervalValue = 7;
  EXPECT_EQ(StatusReadIntervalSeconds(p), 7);
  p.statusIntervalUnit = 1;
  EXPECT_EQ(StatusReadIntervalSeconds(p), 420);
  p.statusIntervalValue = 2147483647;
  EXPECT_EQ(StatusReadIntervalSeconds(p), 2147483647);
}

TEST_F(SettingsFiles, MissingPowerFileSetsIntervalAndDelaysToOne) {
  settings.power.statusIntervalUnit = 1;
  settings.power.events[2] = {1, 30, 1, 1};
  EXPECT_EQ(LoadPowerSettings(settings, *link, messages), 1);
  EXPECT_EQ(settings.power.statusIntervalValue, 1);
  EXPECT_EQ(link->statusReadInterval, 1);
  EXPECT_EQ(settings.power.events[2].delay, 1);
  EXPECT_EQ(settings.power.events[2].enabled, 1);
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{"電源設定の読み込みを失敗しました。"});
}

TEST_F(SettingsFiles, LinkSettingsRoundTrip) {
  link->retryMode = 1;
  link->maxRetries = 250;
  link->comNumber = 5;
  link->detectionBuzzer = 0;
  settings.autoStart = 1;
  settings.trend = {6, 19};
  SaveRetrySettings(settings, *link, messages);
  SaveComPort(settings, *link, messages);
  SaveBuzzer(settings, *link, messages);
  SaveAutoStart(settings, messages);
  SaveTrendSettings(settings, messages);
  EXPECT_EQ(Bytes("COMRTY.def"), "1\n250\n");
  EXPECT_EQ(Bytes("USBCOM.def"), "5\n");
  EXPECT_EQ(Bytes("buzzer.def"), "0\n");
  EXPECT_EQ(Bytes("aut_start.def"), "1\n");
  EXPECT_EQ(Bytes("trend.def"), "6\n19\n");

  auto fresh = std::make_unique<LinkSettings>();
  Settings again;
  again.programFolder = settings.programFolder;
  LoadRetrySettings(again, *fresh, messages);
  LoadComPort(again, *fresh);
  LoadBuzzer(again, *fresh, messages);
  LoadAutoStart(again, messages);
  LoadTrendSettings(again, messages);
  EXPECT_EQ(fresh->retryMode, 1);
  EXPECT_EQ(fresh->maxRetries, 250);
  EXPECT_EQ(fresh->comNumber, 5);
  EXPECT_EQ(fresh->detectionBuzzer, 0);
  EXPECT_EQ(again.autoStart, 1);
  EXPECT_EQ(again.trend.trendScale, 19);
  EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(SettingsFiles, MissingComPortFileIsSilent) {
  link->comNumber = 0;
  EXPECT_EQ(LoadComPort(settings, *link), 1);
  EXPECT_EQ(link->comNumber, 0);
  EXPECT_TRUE(messages.Shown().empty());
}

struct SaveCase {
  const char* file;
  const char* message;
  std::function<int(Settings&, LinkSettings&, UserMessages&)> save;
};

TEST_F(SettingsFiles, EachSaveIntoAFolderStandingWhereTheFileMustGoIsReported) {
  const SaveCase cases[] = {
      {"df_name.def", "データフォルダ名の保存を失敗しました。",
       [](Settings& s, LinkSettings&, UserMessages& m) { return SaveDataFolder(s, m); }},
      {"dsp_unit.def", "表示単位設定の保存を失敗しました。",
       [](Settings& s, LinkSettings&, UserMessages& m) { return SaveDisplayUnits(s, m); }},
      {"trend.def", "トレンド表示設定設定の保存を失敗しました。",
       [](Settings& s, LinkSettings&, UserMessages& m) { return SaveTrendSettings(s, m); }},
      {"comment.def", "コメントの保存を失敗しました。",
       [](Settings& s, LinkSettings&, UserMessages& m) { return SaveComment(s, m); }},
      {"warning.def", "警告設定値の保存を失敗しました。",
       [](Settings& s, LinkSettings&, UserMessages& m) { return SaveWarningSettings(s, m); }},
      {"buzzer.def", "検知ブザー設定の保存を失敗しました。",
       [](Settings& s, LinkSettings& l, UserMessages& m) { return SaveBuzzer(s, l, m); }},
      {"aut_start.def", "自動開始設定の保存を失敗しました。",
       [](Settings& s, LinkSettings&, UserMessages& m) { return SaveAutoStart(s, m); }},
      {"USBCOM.def", "USB COM番号の保存を失敗しました。",
       [](Settings& s, LinkSettings& l, UserMessages& m) { return SaveComPort(s, l, m); }},
      {"COMRTY.def", "通信リトライ設定の保存を失敗しました。",
       [](Settings& s, LinkSettings& l, UserMessages& m) { return SaveRetrySettings(s, l, m); }},
      {"POWevent.def", "電源設定の保存を失敗しました。",
       [](Settings& s, LinkSettings& l, UserMessages& m) { return SavePowerSettings(s, l, m); }},
  };
  for (const SaveCase& c : cases) {
    std::filesystem::create_directory(folder.File(c.file));
    messages.Clear();
    EXPECT_EQ(c.save(settings, *link, messages), 1) << c.file;
    ASSERT_EQ(messages.Shown().size(), 1u) << c.file;
    EXPECT_EQ(messages.Shown()[0].title, "異常発生");
    EXPECT_EQ(messages.Shown()[0].text, c.message);
  }
}

TEST_F(SettingsFiles, ASaveThatCannotBeWrittenOutIsReportedNotTakenAsDone) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  std::filesystem::create_symlink("/dev/full", folder.File("POWevent.def"));
  settings.power.statusIntervalValue = 2;
  EXPECT_EQ(SavePowerSettings(settings, *link, messages), 1);
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{"電源設定の保存を失敗しました。"});
  // The new interval is in force although the file did not take it.
  EXPECT_EQ(link->statusReadInterval, 2);
}

TEST_F(SettingsFiles, AFolderWhereASettingsFileBelongsReadsAsMissing) {
  std::filesystem::create_directory(folder.File("aut_start.def"));
  EXPECT_EQ(LoadAutoStart(settings, messages), 1);
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{"自動開始設定の読み込みを失敗しました。"});
}

}  // namespace
}  // namespace velrix
