// Every settings reader fed files of any bytes, through the start-up that
// reads them (or, without trend.def, writes the first-run defaults), plus the
// COM number, which the start-up leaves alone.
//
// Checked besides crashes and undefined behaviour: W lies in 1 ... 3600; the
// texts hold no line break or NUL and stay within their byte limits; the data
// folder is the base folder + "/Velrix"; what was read, written back by the
// writers and read again gives the same integers, and a second round gives
// the same texts and decimals (the first may round a decimal to six places or
// drop a byte CP932 cannot show).
//
// Input: byte 0 names a file (by its place in the list below) that is a
// folder instead; the rest is the files' bytes in the order of the list,
// separated by "\n\0\n"; files the input does not reach are absent.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/cp932.h"
#include "settings/settings_files.h"
#include "tests/support/temp_folder.h"

namespace {

using namespace velrix;
namespace fs = std::filesystem;

constexpr const char* kFiles[] = {"df_name.def", "dsp_unit.def", "trend.def",   "comment.def",
                                  "warning.def", "buzzer.def",   "aut_start.def", "USBCOM.def",
                                  "COMRTY.def",  "POWevent.def"};
constexpr std::size_t kFileCount = sizeof kFiles / sizeof kFiles[0];
constexpr char kSeparator[] = "\n\0\n";
constexpr char kDocuments[] = "/home/user/Documents";
constexpr char kMachine[] = "fuzz-host";

class Silent final : public UserMessages {
 public:
  void Show(const std::string&, const std::string&) override {}
};

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz_settings_files: %s\n", what);
  std::abort();
}

void Empty(const std::string& folder) {
  std::error_code ec;
  fs::remove_all(folder, ec);
  fs::create_directories(folder, ec);
}

void Put(const std::string& path, const char* p, std::size_t n) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return;
  std::fwrite(p, 1, n, f);
  std::fclose(f);
}

struct Loaded {
  Settings settings;
  std::unique_ptr<LinkSettings> link = std::make_unique<LinkSettings>();
};

// The start-up's reading from folder, and the COM number.
void Load(Loaded& l, const std::string& folder) {
  static Silent messages;
  SetDefaultFolders(l.settings, folder, kDocuments);
  LoadSettingsAtStartup(l.settings, *l.link, kMachine, messages);
  LoadComPort(l.settings, *l.link);
}

// Every writer, into folder; false when the base folder could not be written.
bool SaveAll(Loaded& l, const std::string& folder) {
  static Silent messages;
  Empty(folder);
  l.settings.programFolder = folder;
  const bool baseSaved = SaveDataFolder(l.settings, messages) == 0;
  SaveDisplayUnits(l.settings, messages);
  SaveTrendSettings(l.settings, messages);
  SaveComment(l.settings, messages);
  SaveWarningSettings(l.settings, messages);
  SaveBuzzer(l.settings, *l.link, messages);
  SaveAutoStart(l.settings, messages);
  SaveComPort(l.settings, *l.link, messages);
  SaveRetrySettings(l.settings, *l.link, messages);
  SavePowerSettings(l.settings, *l.link, messages);
  return baseSaved;
}

void CheckText(const std::string& utf8, std::size_t maxBytes) {
  Require(utf8.find_first_of(std::string("\r\n\0", 3)) == std::string::npos,
          "a text with a line break or NUL");
  Require(Utf8ToCp932(utf8).size() <= maxBytes, "a text beyond its byte limit");
}

void CheckRead(const Loaded& l) {
  const Settings& s = l.settings;
  Require(s.displayUnits.averageSeconds >= kMinAverageSeconds &&
              s.displayUnits.averageSeconds <= kMaxAverageSeconds,
          "W outside 1 ... 3600");
  CheckText(s.baseFolder, kBaseFolderMaxBytes);
  CheckText(s.comment.computerName, kCommentTextMaxBytes);
  CheckText(s.comment.unitNumber, kCommentTextMaxBytes);
  CheckText(s.comment.comment, kCommentTextMaxBytes);
  Require(s.dataFolder == s.baseFolder + "/" + kDataFolderName, "data folder not base + Velrix");
  Require(l.link->statusReadInterval == StatusReadIntervalSeconds(s.power),
          "status read interval not the interval in seconds");
}

bool SameDouble(double a, double b) {
  return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

void CheckSameIntegers(const Loaded& a, const Loaded& b) {
  const Settings& x = a.settings;
  const Settings& y = b.settings;
  bool same = x.displayUnits.integratedUnit == y.displayUnits.integratedUnit &&
              x.displayUnits.rateUnit == y.displayUnits.rateUnit &&
              x.displayUnits.averageSeconds == y.displayUnits.averageSeconds &&
              x.trend.trendSpan == y.trend.trendSpan && x.trend.trendScale == y.trend.trendScale &&
              x.warning.soundOn == y.warning.soundOn && x.autoStart == y.autoStart &&
              x.power.statusIntervalValue == y.power.statusIntervalValue &&
              x.power.statusIntervalUnit == y.power.statusIntervalUnit;
  for (int e = 0; e < kPowerEvents; ++e) {
    same = same && x.power.events[e].enabled == y.power.events[e].enabled &&
           x.power.events[e].delay == y.power.events[e].delay &&
           x.power.events[e].popupAtEvent == y.power.events[e].popupAtEvent &&
           x.power.events[e].popupAtExecution == y.power.events[e].popupAtExecution;
  }
  Require(same, "a setting read back with another integer");
  const LinkSettings& p = *a.link;
  const LinkSettings& q = *b.link;
  Require(p.detectionBuzzer == q.detectionBuzzer && p.comNumber == q.comNumber &&
              p.retryMode == q.retryMode && p.maxRetries == q.maxRetries &&
              p.statusReadInterval == q.statusReadInterval,
          "a link setting read back with another integer");
}

void CheckSameTextsAndDecimals(const Loaded& a, const Loaded& b, bool compareBase) {
  const Settings& x = a.settings;
  const Settings& y = b.settings;
  Require(!compareBase || x.baseFolder == y.baseFolder, "the base folder changed on a round");
  Require(x.comment.computerName == y.comment.computerName &&
              x.comment.unitNumber == y.comment.unitNumber &&
              x.comment.comment == y.comment.comment,
          "a comment text changed on a round");
  const WarningSettings& v = x.warning;
  const WarningSettings& w = y.warning;
  Require(SameDouble(v.currentLimit, w.currentLimit) &&
              SameDouble(v.averageLimit, w.averageLimit) && SameDouble(v.hourLimit, w.hourLimit) &&
              SameDouble(v.integratedLimit, w.integratedLimit) &&
              SameDouble(v.dayLimit, w.dayLimit) && SameDouble(v.yearLimit, w.yearLimit),
          "a warning limit changed on a round");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const velrix::testing::TempFolder scratch;
  static const std::string given = scratch.File("given") + "/";
  static const std::string first = scratch.File("first") + "/";
  static const std::string second = scratch.File("second") + "/";
  if (size < 1) return 0;

  Empty(given);
  const char* p = reinterpret_cast<const char*>(data) + 1;
  const char* end = reinterpret_cast<const char*>(data) + size;
  for (std::size_t file = 0; file < kFileCount && p <= end; ++file) {
    const char* stop = static_cast<const char*>(
        memmem(p, static_cast<std::size_t>(end - p), kSeparator, sizeof kSeparator - 1));
    if (stop == nullptr) stop = end;
    const std::string path = given + kFiles[file];
    if (data[0] == file) {
      std::error_code ec;
      fs::create_directory(path, ec);
    } else {
      Put(path, p, static_cast<std::size_t>(stop - p));
    }
    p = stop + sizeof kSeparator - 1;
  }

  Loaded read;
  Load(read, given);
  CheckRead(read);

  SaveAll(read, first);
  Loaded once;
  Load(once, first);
  CheckRead(once);
  CheckSameIntegers(read, once);

  const bool baseSaved = SaveAll(once, second);
  Loaded twice;
  Load(twice, second);
  CheckSameIntegers(once, twice);
  CheckSameTextsAndDecimals(once, twice, baseSaved);
  return 0;
}
