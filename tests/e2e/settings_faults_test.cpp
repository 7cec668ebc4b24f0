// Settings files replaced under a stopped program by garbage, by folders and
// by a megabyte of text: the recorder starts anyway, says for each file it
// cannot open what the application would show, records with what it could
// read, and its rows are whole. The application's view, in this process,
// reports the same messages through its message interface and starts with
// the defaults.

#include <gtest/gtest.h>
#include <signal.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QPushButton>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/command_ids.h"
#include "app/main_frame.h"
#include "app/tenvo_view.h"
#include "datafile/working_copy.h"
#include "platform/system_info.h"
#include "settings/settings.h"
#include "settings/settings_files.h"
#include "tests/e2e/e2e_fixture.h"
#include "tests/support/recording_messages.h"

namespace velrix::testing::e2e {
namespace {

constexpr char kRecording[] = "velrix-recorder: recording into ";
constexpr char kCannotRead[] = "の読み込みを失敗しました。";

// The nine files read at start-up (USBCOM.def only when present).
const char* const kSettingsFiles[] = {"df_name.def", "dsp_unit.def", "trend.def",
                                      "comment.def", "warning.def",  "buzzer.def",
                                      "aut_start.def", "COMRTY.def", "POWevent.def"};

enum class Damage { Garbage, Folder, Megabyte };

// Bytes of every value, without the path separators and dots a base folder
// read from them would turn into a path outside the test's folder.
std::string Garbage(unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes;
  while (bytes.size() < 4096) {
    const char c = static_cast<char>(random() & 0xFF);
    if (c != '/' && c != '.') bytes.push_back(c);
  }
  return bytes;
}

std::string Megabyte() {
  std::string text;
  while (text.size() < (1u << 20)) text += "station data 0123456789\n";
  return text;
}

void DamageSettings(const Station& station, Damage damage) {
  unsigned seed = 1;
  for (const char* name : kSettingsFiles) {
    const std::string path = station.program() + name;
    fs::remove(path);
    switch (damage) {
      case Damage::Garbage: WriteBytes(path, Garbage(seed++)); break;
      case Damage::Folder: fs::create_directories(path); break;
      case Damage::Megabyte: WriteBytes(path, Megabyte()); break;
    }
  }
}

// The data folder named by the recorder's "recording into" line.
std::string DataFolderOf(const std::string& output) {
  const std::size_t at = output.find(kRecording);
  if (at == std::string::npos) return "";
  const std::size_t end = output.find('\n', at);
  fs::path file = output.substr(at + sizeof kRecording - 1, end - at - (sizeof kRecording - 1));
  return file.parent_path().parent_path().parent_path().parent_path().string();
}

// A relative path as the child, which ran in the station's folder, meant it.
std::string AsChildMeantIt(const Station& station, const std::string& path) {
  return fs::path(path).is_absolute() ? path : station.temp().File(path);
}

class RecorderSettings : public ::testing::TestWithParam<Damage> {};

TEST_P(RecorderSettings, StartsRecordsAndSaysWhatItCouldNotRead) {
  Station station;
  DamageSettings(station, GetParam());
  SharedClock clock("2026-06-01 10:00:00", 5);
  sim::SimUnit unit(MarkedUnit(clock, station.UnitLink()));
  ASSERT_TRUE(unit.Start());
  ChildSetup setup;
  // A base folder read from the damaged file is relative: it lands here.
  setup.workingFolder = station.temp().path();
  auto recorder = StartRecorder(station, clock, "recorder.out", setup);
  ASSERT_TRUE(WaitUntil([&] { return WorkingRows(station) >= 10; }, kStartSeconds))
      << recorder->Output();
  const int sentAtStop = static_cast<int>(unit.CountsSent().size());
  recorder->Signal(SIGTERM);
  const std::optional<int> status = recorder->WaitExit(kExitSeconds);
  EXPECT_TRUE(ExitedWith(status, 0)) << Describe(status) << "\n" << recorder->Output();

  const std::string output = recorder->Output();
  // A file that cannot be opened (a folder) is reported, each on its own;
  // one that opens is read as far as it goes, silently.
  EXPECT_EQ(LinesWith(output, kCannotRead), GetParam() == Damage::Folder ? 9 : 0) << output;
  const std::string dataFolder = AsChildMeantIt(station, DataFolderOf(output));
  ASSERT_FALSE(dataFolder.empty()) << output;
  if (GetParam() == Damage::Megabyte) {
    EXPECT_EQ(dataFolder, station.temp().File("station data 0123456789/Velrix"));
  }
  EXPECT_EQ(dataFolder.rfind(station.temp().path() + "/", 0), 0u) << dataFolder;

  const std::vector<int> sent = unit.CountsSent();
  RowExpectations expect;
  expect.allowedDrops = {{0, 1}, {sentAtStop - 3, static_cast<int>(sent.size())}};
  std::vector<DataFile> files;
  Matching m;
  EXPECT_EQ(CheckCommitted(dataFolder, sent, expect, &files, &m), "") << output;
}

INSTANTIATE_TEST_SUITE_P(Damaged, RecorderSettings,
                         ::testing::Values(Damage::Garbage, Damage::Folder, Damage::Megabyte),
                         [](const ::testing::TestParamInfo<Damage>& info) {
                           switch (info.param) {
                             case Damage::Garbage: return std::string("Garbage");
                             case Damage::Folder: return std::string("Folder");
                             case Damage::Megabyte: return std::string("Megabyte");
                           }
                           return std::string();
                         });

// The view as the application builds it, on a program folder whose settings
// files are all folders: nine messages, each standing alone, the defaults in
// force, and a window that runs.
TEST(ViewSettings, FoldersForSettingsFilesGiveNineMessagesAndTheDefaults) {
  Station station;
  DamageSettings(station, Damage::Folder);
  RecordingMessages messages;
  AppOptions options;
  options.programFolder = station.program();
  options.port = station.UnitLink();  // no unit there
  auto* view = new CTenvoView(options, &messages);
  UnitLinkState& link = view->StationRecord().link;
  auto frame = std::make_unique<CMainFrame>(view);
  frame->show();
  ASSERT_TRUE(WaitUntil(
      [&] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return view->Button(kButtonStart) != nullptr;
      },
      20.0));

  int cannotRead = 0;
  for (const ShownMessage& shown : messages.Shown()) {
    if (shown.text.find(kCannotRead) != std::string::npos) {
      ++cannotRead;
      EXPECT_EQ(shown.title, "異常発生");
      EXPECT_EQ(shown.owner, nullptr) << shown.text;  // no window yet
    }
  }
  EXPECT_EQ(cannotRead, 9);
  const Settings& settings = view->SettingsRecord();
  EXPECT_EQ(settings.autoStart, 0);
  EXPECT_EQ(settings.displayUnits.averageSeconds, kDefaultAverageSeconds);
  EXPECT_EQ(settings.dataFolder, DocumentsFolder() + "/Velrix");
  EXPECT_EQ(link.retryMode.load(), 0);
  // Idle, the start button ready: nothing was started on a damaged folder.
  EXPECT_TRUE(view->Button(kButtonStart)->isEnabled());
  EXPECT_FALSE(view->Button(kButtonStop)->isEnabled());
  EXPECT_EQ(link.measuring.load(), 0);
  frame.reset();
}

}  // namespace
}  // namespace velrix::testing::e2e
