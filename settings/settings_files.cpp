#include "settings/settings_files.h"

#include <charconv>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/cp932.h"
#include "platform/durable_file.h"
#include "settings/scan_numbers.h"

namespace velrix {

namespace {

constexpr const char* kDataFolderFile = "df_name.def";
constexpr const char* kDisplayUnitsFile = "dsp_unit.def";
constexpr const char* kTrendFile = "trend.def";
constexpr const char* kCommentFile = "comment.def";
constexpr const char* kWarningFile = "warning.def";
constexpr const char* kBuzzerFile = "buzzer.def";
constexpr const char* kAutoStartFile = "aut_start.def";
constexpr const char* kComPortFile = "USBCOM.def";
constexpr const char* kRetryFile = "COMRTY.def";
constexpr const char* kPowerFile = "POWevent.def";

constexpr const char* kSaveDataFolderFailed = "データフォルダ名の保存を失敗しました。";
constexpr const char* kLoadDataFolderFailed = "データフォルダ名の読み込みを失敗しました。";
constexpr const char* kSaveDisplayUnitsFailed = "表示単位設定の保存を失敗しました。";
constexpr const char* kLoadDisplayUnitsFailed = "表示単位設定の読み込みを失敗しました。";
constexpr const char* kSaveTrendFailed = "トレンド表示設定設定の保存を失敗しました。";
constexpr const char* kLoadTrendFailed = "トレンド表示設定設定の読み込みを失敗しました。";
constexpr const char* kSaveCommentFailed = "コメントの保存を失敗しました。";
constexpr const char* kLoadCommentFailed = "コメントの読み込みを失敗しました。";
constexpr const char* kSaveWarningFailed = "警告設定値の保存を失敗しました。";
constexpr const char* kLoadWarningFailed = "警告設定値の読み込みを失敗しました。";
constexpr const char* kSaveBuzzerFailed = "検知ブザー設定の保存を失敗しました。";
constexpr const char* kLoadBuzzerFailed = "検知ブザー設定の読み込みを失敗しました。";
constexpr const char* kSaveAutoStartFailed = "自動開始設定の保存を失敗しました。";
constexpr const char* kLoadAutoStartFailed = "自動開始設定の読み込みを失敗しました。";
constexpr const char* kSaveComPortFailed = "USB COM番号の保存を失敗しました。";
constexpr const char* kSaveRetryFailed = "通信リトライ設定の保存を失敗しました。";
constexpr const char* kLoadRetryFailed = "通信リトライ設定の読み込みを失敗しました。";
constexpr const char* kSavePowerFailed = "電源設定の保存を失敗しました。";
constexpr const char* kLoadPowerFailed = "電源設定の読み込みを失敗しました。";

constexpr int kSecondsPerMinute = 60;
constexpr int kIntervalUnitMinutes = 1;
constexpr int kPowerFallbackValue = 1;

// Builds one settings file line by line in the files' formats. The process
// locale plays no part: decimals always get a point.
class LineWriter {
 public:
  void Int(int value) { text_ += std::to_string(value) + "\n"; }

  // "%lf": six digits after the point.
  void Decimal(double value) {
    char text[400];
    const auto printed = std::to_chars(text, text + sizeof text - 1, value,
                                       std::chars_format::fixed, 6);
    text_.append(text, printed.ptr);
    text_ += "\n";
  }

  // A text ends at its first line break so that it cannot spill into the
  // lines of the values after it; it is written in CP932, cut to its limit.
  void Text(const std::string& utf8, std::size_t maxBytes) {
    const std::string firstLine = utf8.substr(0, utf8.find_first_of(std::string("\r\n\0", 3)));
    text_ += CutCp932(Utf8ToCp932(firstLine), maxBytes) + "\n";
  }

  const std::string& Bytes() const { return text_; }

 private:
  std::string text_;
};

std::string PathOf(const Settings& settings, const char* fileName) {
  return settings.programFolder + fileName;
}

// Replaces the file with its lines as a whole: after a power cut or a kill
// it holds either what it held before or all of the new lines, never nothing
// (an empty trend.def would make the next start a first run). A failure to
// write any of it (a full disk shows only there) is reported with the file's
// save message.
template <typename Lines>
int WriteSettingsFile(const Settings& settings, const char* fileName, const char* failureText,
                      UserMessages& messages, Lines writeLines) {
  LineWriter writer;
  writeLines(writer);
  if (!WriteFileAtomically(PathOf(settings, fileName), writer.Bytes())) {
    messages.Show(kSettingsErrorTitle, failureText);
    return 1;
  }
  return 0;
}

// Opens the file for reading; a folder standing where the file belongs opens
// on Linux but is no settings file, so it counts as missing.
std::FILE* OpenForReading(const Settings& settings, const char* fileName) {
  const std::string path = PathOf(settings, fileName);
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return nullptr;
  return std::fopen(path.c_str(), "r");
}

// Reads integers into the targets in order until one cannot be read.
template <typename... Targets>
void ScanInts(std::FILE* file, Targets&... targets) {
  bool reading = true;
  auto next = [&](int& target) {
    if (reading) reading = ScanInt(file, target);
  };
  (next(targets), ...);
}

std::string LineToUtf8(const std::string& cp932) { return Cp932ToUtf8(cp932); }

}  // namespace

void SetDefaultFolders(Settings& settings, const std::string& programFolder,
                       const std::string& documentsFolder) {
  settings.programFolder = programFolder;
  settings.baseFolder = documentsFolder;
  settings.dataFolder = documentsFolder + "/" + kDataFolderName;
}

std::string DefaultComputerName(const std::string& machineName) {
  return CutUtf8ToCp932Bytes(machineName, kCommentTextMaxBytes);
}

int StatusReadIntervalSeconds(const PowerSettings& power) {
  const long long factor = power.statusIntervalUnit == kIntervalUnitMinutes ? kSecondsPerMinute : 1;
  long long seconds = static_cast<long long>(power.statusIntervalValue) * factor;
  // A damaged file may hold any integer; keep the product an int.
  if (seconds > INT_MAX) seconds = INT_MAX;
  if (seconds < INT_MIN) seconds = INT_MIN;
  return static_cast<int>(seconds);
}

// df_name.def

int SaveDataFolder(const Settings& settings, UserMessages& messages) {
  // A path is only useful whole: one with a character the file's code page
  // cannot hold would come back naming another folder, so it is not written
  // and the save is reported as failed.
  bool representable = false;
  Utf8ToCp932(settings.baseFolder, &representable);
  if (!representable) {
    messages.Show(kSettingsErrorTitle, kSaveDataFolderFailed);
    return 1;
  }
  return WriteSettingsFile(settings, kDataFolderFile, kSaveDataFolderFailed, messages,
                           [&](LineWriter& w) { w.Text(settings.baseFolder, kBaseFolderMaxBytes); });
}

int LoadDataFolder(Settings& settings, UserMessages& messages) {
  std::FILE* file = OpenForReading(settings, kDataFolderFile);
  if (file == nullptr) {
    messages.Show(kSettingsErrorTitle, kLoadDataFolderFailed);
    return 1;
  }
  std::string line;
  if (ReadCp932Line(file, kBaseFolderMaxBytes, line)) {
    settings.baseFolder = LineToUtf8(line);
    settings.dataFolder = settings.baseFolder + "/" + kDataFolderName;
  }
  std::fclose(file);
  return 0;
}

// dsp_unit.def

int SaveDisplayUnits(const Settings& settings, UserMessages& messages) {
  const DisplayUnitSettings& units = settings.displayUnits;
  return WriteSettingsFile(settings, kDisplayUnitsFile, kSaveDisplayUnitsFailed, messages,
                           [&](LineWriter& w) {
                             w.Int(units.integratedUnit);
                             w.Int(units.rateUnit);
                             w.Int(units.averageSeconds);
                           });
}

int LoadDisplayUnits(Settings& settings, UserMessages& messages) {
  DisplayUnitSettings& units = settings.displayUnits;
  std::FILE* file = OpenForReading(settings, kDisplayUnitsFile);
  if (file == nullptr) {
    messages.Show(kSettingsErrorTitle, kLoadDisplayUnitsFailed);
    units.averageSeconds = kDefaultAverageSeconds;
    return 1;
  }
  ScanInts(file, units.integratedUnit, units.rateUnit, units.averageSeconds);
  std::fclose(file);
  if (units.averageSeconds < kMinAverageSeconds || units.averageSeconds > kMaxAverageSeconds) {
    units.averageSeconds = kDefaultAverageSeconds;
  }
  return 0;
}

// trend.def

int SaveTrendSettings(const Settings& settings, UserMessages& messages) {
  return WriteSettingsFile(settings, kTrendFile, kSaveTrendFailed, messages, [&](LineWriter& w) {
    w.Int(settings.trend.trendSpan);
    w.Int(settings.trend.trendScale);
  });
}

int LoadTrendSettings(Settings& settings, UserMessages& messages) {
  std::FILE* file = OpenForReading(settings, kTrendFile);
  if (file == nullptr) {
    messages.Show(kSettingsErrorTitle, kLoadTrendFailed);
    return 1;
  }
  ScanInts(file, settings.trend.trendSpan, settings.trend.trendScale);
  std::fclose(file);
  return 0;
}

// comment.def

int SaveComment(const Settings& settings, UserMessages& messages) {
  const CommentSettings& c = settings.comment;
  return WriteSettingsFile(settings, kCommentFile, kSaveCommentFailed, messages, [&](LineWriter& w) {
    w.Text(c.computerName, kCommentTextMaxBytes);
    w.Text(c.unitNumber, kCommentTextMaxBytes);
    w.Text(c.comment, kCommentTextMaxBytes);
  });
}

int LoadComment(Settings& settings, const std::string& machineName, UserMessages& messages) {
  CommentSettings& c = settings.comment;
  std::FILE* file = OpenForReading(settings, kCommentFile);
  if (file == nullptr) {
    messages.Show(kSettingsErrorTitle, kLoadCommentFailed);
    c.computerName = DefaultComputerName(machineName);
    c.unitNumber = kDefaultUnitNumber;
    return 1;
  }
  std::string line;
  if (!ReadCp932Line(file, kCommentTextMaxBytes, line)) {
    c.computerName = DefaultComputerName(machineName);
    c.unitNumber = kDefaultUnitNumber;
  } else {
    c.computerName = LineToUtf8(line);
    if (ReadCp932Line(file, kCommentTextMaxBytes, line)) {
      c.unitNumber = LineToUtf8(line);
      if (ReadCp932Line(file, kCommentTextMaxBytes, line)) c.comment = LineToUtf8(line);
    }
  }
  std::fclose(file);
  return 0;
}

// warning.def

int SaveWarningSettings(const Settings& settings, UserMessages& messages) {
  const WarningSettings& l = settings.warning;
  return WriteSettingsFile(settings, kWarningFile, kSaveWarningFailed, messages, [&](LineWriter& w) {
    w.Decimal(l.currentLimit);
    w.Decimal(l.averageLimit);
    w.Decimal(l.hourLimit);
    w.Decimal(l.integratedLimit);
    w.Decimal(l.dayLimit);
    w.Decimal(l.yearLimit);
    w.Int(l.soundOn);
  });
}

int LoadWarningSettings(Settings& settings, UserMessages& messages) {
  WarningSettings& l = settings.warning;
  std::FILE* file = OpenForReading(settings, kWarningFile);
  if (file == nullptr) {
    messages.Show(kSettingsErrorTitle, kLoadWarningFailed);
    return 1;
  }
  double* const limits[] = {&l.currentLimit,    &l.averageLimit, &l.hourLimit,
                            &l.integratedLimit, &l.dayLimit,     &l.yearLimit};
  bool reading = true;
  for (double* limit : limits) {
    double value = 0.0;
    reading = reading && ScanDouble(file, value);
    if (reading) *limit = value;
  }
  if (reading) ScanInts(file, l.soundOn);
  std::fclose(file);
  return 0;
}

// buzzer.def

int SaveBuzzer(const Settings& settings, const LinkSettings& link, UserMessages& messages) {
  return WriteSettingsFile(settings, kBuzzerFile, kSaveBuzzerFailed, messages,
                           [&](LineWriter& w) { w.Int(link.detectionBuzzer); });
}

int LoadBuzzer(const Settings& settings, LinkSettings& link, UserMessages& messages) {
  std::FILE* file = OpenForReading(settings, kBuzzerFile);
  if (file == nullptr) {
    messages.Show(kSettingsErrorTitle, kLoadBuzzerFailed);
    return 1;
  }
  if (!ScanInt(file, link.detectionBuzzer)) link.detectionBuzzer = 1;
  std::fclose(file);
  return 0;
}

// aut_start.def

int SaveAutoStart(const Settings& settings, UserMessages& messages) {
  return WriteSettingsFile(settings, kAutoStartFile, kSaveAutoStartFailed, messages,
                           [&](LineWriter& w) { w.Int(settings.autoStart); });
}

int LoadAutoStart(Settings& settings, UserMessages& messages) {
  std::FILE* file = OpenForReading(settings, kAutoStartFile);
  if (file == nullptr) {
    messages.Show(kSettingsErrorTitle, kLoadAutoStartFailed);
    return 1;
  }
  ScanInts(file, settings.autoStart);
  std::fclose(file);
  return 0;
}

// USBCOM.def

int SaveComPort(const Settings& settings, const LinkSettings& link, UserMessages& messages) {
  return WriteSettingsFile(settings, kComPortFile, kSaveComPortFailed, messages,
                           [&](LineWriter& w) { w.Int(link.comNumber); });
}

int LoadComPort(const Settings& settings, LinkSettings& link) {
  std::FILE* file = OpenForReading(settings, kComPortFile);
  if (file == nullptr) return 1;
  ScanInt(file, link.comNumber);
  std::fclose(file);
  return 0;
}

// COMRTY.def

int SaveRetrySettings(const Settings& settings, const LinkSettings& link,
                      UserMessages& messages) {
  return WriteSettingsFile(settings, kRetryFile, kSaveRetryFailed, messages, [&](LineWriter& w) {
    w.Int(link.retryMode);
    w.Int(link.maxRetries);
  });
}

int LoadRetrySettings(const Settings& settings, LinkSettings& link, UserMessages& messages) {
  std::FILE* file = OpenForReading(settings, kRetryFile);
  if (file == nullptr) {
    messages.Show(kSettingsErrorTitle, kLoadRetryFailed);
    return 1;
  }
  ScanInts(file, link.retryMode, link.maxRetries);
  std::fclose(file);
  return 0;
}

// POWevent.def

int SavePowerSettings(const Settings& settings, LinkSettings& link, UserMessages& messages) {
  const PowerSettings& p = settings.power;
  const int result =
      WriteSettingsFile(settings, kPowerFile, kSavePowerFailed, messages, [&](LineWriter& w) {
        w.Int(p.statusIntervalValue);
        w.Int(p.statusIntervalUnit);
        for (const PowerEventSetting& e : p.events) {
          w.Int(e.enabled);
          w.Int(e.delay);
          w.Int(e.popupAtEvent);
          w.Int(e.popupAtExecution);
        }
      });
  // The new values are in force whether or not they reached the file.
  link.statusReadInterval = StatusReadIntervalSeconds(p);
  return result;
}

int LoadPowerSettings(Settings& settings, LinkSettings& link, UserMessages& messages) {
  PowerSettings& p = settings.power;
  std::FILE* file = OpenForReading(settings, kPowerFile);
  if (file == nullptr) {
    messages.Show(kSettingsErrorTitle, kLoadPowerFailed);
    p.statusIntervalValue = kPowerFallbackValue;
    for (PowerEventSetting& e : p.events) e.delay = kPowerFallbackValue;
    // Set after the product, which would give 60 for a minutes unit.
    link.statusReadInterval = kPowerFallbackValue;
    return 1;
  }
  PowerEventSetting* e = p.events;
  ScanInts(file, p.statusIntervalValue, p.statusIntervalUnit,
           e[0].enabled, e[0].delay, e[0].popupAtEvent, e[0].popupAtExecution,
           e[1].enabled, e[1].delay, e[1].popupAtEvent, e[1].popupAtExecution,
           e[2].enabled, e[2].delay, e[2].popupAtEvent, e[2].popupAtExecution,
           e[3].enabled, e[3].delay, e[3].popupAtEvent, e[3].popupAtExecution);
  std::fclose(file);
  link.statusReadInterval = StatusReadIntervalSeconds(p);
  return 0;
}

// Start-up

SettingsStart LoadSettingsAtStartup(Settings& settings, LinkSettings& link,
                                    const std::string& machineName, UserMessages& messages) {
  std::error_code ec;
  if (std::filesystem::exists(PathOf(settings, kTrendFile), ec)) {
    // Before any file is read the buzzer is off, so a set-up program whose
    // buzzer.def is gone keeps the unit quiet rather than beeping.
    link.detectionBuzzer = 0;
    LoadDataFolder(settings, messages);
    LoadDisplayUnits(settings, messages);
    LoadTrendSettings(settings, messages);
    LoadComment(settings, machineName, messages);
    LoadWarningSettings(settings, messages);
    LoadBuzzer(settings, link, messages);
    LoadAutoStart(settings, messages);
    LoadRetrySettings(settings, link, messages);
    LoadPowerSettings(settings, link, messages);
    return SettingsStart::LaterRun;
  }

  link.detectionBuzzer = 1;
  settings.displayUnits.averageSeconds = kDefaultAverageSeconds;
  SaveDataFolder(settings, messages);
  SaveDisplayUnits(settings, messages);
  SaveTrendSettings(settings, messages);
  SaveWarningSettings(settings, messages);
  settings.comment.computerName = DefaultComputerName(machineName);
  settings.comment.unitNumber = kDefaultUnitNumber;
  settings.comment.comment.clear();
  SaveComment(settings, messages);
  SaveWarningSettings(settings, messages);
  SaveBuzzer(settings, link, messages);
  SaveAutoStart(settings, messages);
  return SettingsStart::FirstRun;
}

}  // namespace velrix
