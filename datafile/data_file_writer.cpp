#include "datafile/data_file_writer.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <thread>

#include "datafile/working_copy.h"
#include "platform/c_format.h"
#include "platform/cp932.h"

namespace velrix {
namespace {

constexpr char kErrorTitle[] = "システム異常";
constexpr char kYearFolderFailed[] =
    "データフォルダ（年）作成を失敗しましたので測定を停止します。";
constexpr char kMonthFolderFailed[] =
    "データフォルダ（月）作成を失敗しましたので測定を停止します。";
constexpr char kDayFolderFailed[] =
    "データフォルダ（日）作成を失敗しましたので測定を停止します。";
constexpr char kCreateFailed[] = "データファイル作成を失敗しましたので測定を停止します。";
constexpr char kDeletedFormat[] = "測定データファイル[%s]は、消去されたので測定を停止します。";
constexpr char kCorruptedFormat[] = "測定データファイル[%s]は、破損したので測定を停止します。";
constexpr char kWriteFailed[] = "データファイル書き込みを失敗しましたので測定を停止します。";

constexpr char kAutoComment[] = "auto";
constexpr char kColumnTitles[] = "時刻,カウント値,リトライ,電源ステータス";
// The retry column of a second without a count.
constexpr int kMissingSecond = 1;
constexpr char kLineEnd[] = "\r\n";
constexpr char kRowFormat[] = "%02d:%02d:%02d,%08.3lf,%d,%d";

constexpr int kAppendAttempts = 31;
constexpr auto kAppendRetryPause = std::chrono::milliseconds(100);
constexpr int kMeasurementFileListReserve = 4000;  // about eleven years of days

// Lines 2 to 4 of the header: CP932, one line, at most 127 bytes ending
// after a whole character. A line break inside would shift every row below.
std::string HeaderText(const std::string& utf8) {
  const std::string line = utf8.substr(0, utf8.find_first_of("\r\n"));
  return CutCp932(Utf8ToCp932(line), kHeaderTextMaxBytes);
}

// A folder that is missing is created with its parents. Anything but a
// folder standing at the path counts as a failure: the commit could never
// put a file below it.
bool EnsureFolder(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return true;
  std::filesystem::create_directories(path, ec);
  return std::filesystem::is_directory(path, ec);
}

std::string FormatWithPath(const char* format, const std::string& path) {
  const int n = std::snprintf(nullptr, 0, format, path.c_str());
  std::string text(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  std::snprintf(text.data(), text.size() + 1, format, path.c_str());
  return text;
}

// Reports a failure once: the flag, the stop, then the message. The stop
// comes before the message because the box is modal and the cycle keeps
// ticking behind it; a measurement still marked running would go on taking
// seconds that no row records.
void FailWithMessage(DataFileWriter& writer, const DataFileEnv& env, const std::string& text) {
  writer.failed = true;
  env.failureStop.StopMeasurementAfterFailure();
  env.messages.Show(kErrorTitle, text);
}

bool WriteLine(std::FILE* f, const std::string& text) {
  return std::fwrite(text.data(), 1, text.size(), f) == text.size() &&
         std::fputs(kLineEnd, f) >= 0;
}

bool WriteRow(std::FILE* f, int secondOfDay, double count, int missing, int power) {
  char row[kDataRowMaxBytes];
  const int n = FormatDataRow(row, secondOfDay, count, missing, power);
  return std::fwrite(row, 1, static_cast<std::size_t>(n), f) == static_cast<std::size_t>(n) &&
         std::fputs(kLineEnd, f) >= 0;
}

// Step 4 of the append: is the working copy still ours? On failure the
// measurement is stopped and 1 returned.
int CheckBeforeWrite(DataFileWriter& writer, const DataFileEnv& env) {
  switch (CheckWorkingCopy(writer.workingPath)) {
    case WorkingCopyCheck::Ok:
    case WorkingCopyCheck::Unreadable:
      return 0;
    case WorkingCopyCheck::Missing:
      FailWithMessage(writer, env, FormatWithPath(kDeletedFormat, writer.workingPath));
      return 1;
    case WorkingCopyCheck::Corrupted: {
      writer.failed = true;
      env.failureStop.StopMeasurementAfterFailure();
      env.messages.Show(kErrorTitle, FormatWithPath(kCorruptedFormat, writer.workingPath));
      std::error_code ec;
      std::filesystem::remove(writer.datedPath, ec);
      // The damaged copy must never be recovered over the dated file.
      ClearWorkingTarget(writer.workingPath);
      return 1;
    }
  }
  return 1;
}

// Step 5: open for appending, 31 attempts 100 ms apart. *lengthBefore gets
// the working copy's length before this append (-1 when it cannot be told).
std::FILE* OpenForAppend(DataFileWriter& writer, const DataFileEnv& env, long* lengthBefore) {
  for (int attempt = 0; attempt < kAppendAttempts; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(kAppendRetryPause);
    std::FILE* f = std::fopen(writer.workingPath.c_str(), "ab");
    if (f != nullptr) {
      *lengthBefore = std::fseek(f, 0, SEEK_END) == 0 ? std::ftell(f) : -1;
      return f;
    }
  }
  FailWithMessage(writer, env, kWriteFailed);
  return nullptr;
}

// Closes a file that rows were written to; a failed write or close is the
// same failure as a file that cannot be opened: the row did not reach it.
// Part of it may have (a full disk takes what fits): the working copy is cut
// back to its last whole row, or the next start would recover the torn row
// into the dated file.
int FinishAppend(DataFileWriter& writer, const DataFileEnv& env, std::FILE* f, bool written,
                 long lengthBefore) {
  // Power cut: the rows reach the disk before the append returns.
  written = written && SyncAppendedRows(f);
  const bool closed = std::fclose(f) == 0;
  if (written && closed) return 0;
  if (lengthBefore >= 0) {
    std::error_code ec;
    std::filesystem::resize_file(writer.workingPath, static_cast<std::uintmax_t>(lengthBefore), ec);
  }
  FailWithMessage(writer, env, kWriteFailed);
  return 1;
}

// Rollover step 1: the rest of the old day as rows of count 0.
// The seconds left of the old day never had a count: they are written as
// missing (retry 1) whatever the flag of the sample that crossed midnight,
// so that neither the reader nor a user takes them for counted zeros.
int FillRestOfDay(DataFileWriter& writer, const DataFileEnv& env, std::uint8_t power) {
  if (CheckBeforeWrite(writer, env) != 0) return 1;
  long lengthBefore = -1;
  std::FILE* f = OpenForAppend(writer, env, &lengthBefore);
  if (f == nullptr) return 1;
  bool written = true;
  for (int s = writer.slot; s < kSecondsPerDay && written; ++s) {
    written = WriteRow(f, s, 0.0, kMissingSecond, power);
  }
  return FinishAppend(writer, env, f, written, lengthBefore);
}

}  // namespace

MeasurementFileList::MeasurementFileList() { entries.reserve(kMeasurementFileListReserve); }

int FormatDataRow(char* buffer, int secondOfDay, double count, int missing, int power) {
  const int n = CFormat(buffer, kDataRowMaxBytes, kRowFormat, secondOfDay / 3600,
                  (secondOfDay / 60) % 60, secondOfDay % 60, count, missing, power);
  return n < static_cast<int>(kDataRowMaxBytes) ? n : static_cast<int>(kDataRowMaxBytes) - 1;
}

std::string DataFileName(const CalendarTime& at, bool midnight) {
  char name[64];
  if (midnight) {
    std::snprintf(name, sizeof name, "%02d%02d%02d-000000.csv", at.year % 100, at.month, at.day);
  } else {
    std::snprintf(name, sizeof name, "%02d%02d%02d-%02d%02d%02d.csv", at.year % 100, at.month,
                  at.day, at.hour, at.minute, at.second);
  }
  return name;
}

std::string DayFolderPath(const std::string& dataFolder, const CalendarTime& at) {
  char tail[64];
  std::snprintf(tail, sizeof tail, "/%4d/%02d/%02d", at.year, at.month, at.day);
  return dataFolder + tail;
}

int CreateDataFile(DataFileWriter& writer, const DataFileEnv& env) {
  // 1.
  if (writer.failed) return 1;
  // 2.
  const CalendarTime now = env.clock.LocalNow();
  // 3, 4. The three dated folders, each reported on its own.
  char part[64];
  std::snprintf(part, sizeof part, "/%4d", now.year);
  const std::string yearFolder = env.settings.dataFolder + part;
  if (!EnsureFolder(yearFolder)) {
    FailWithMessage(writer, env, kYearFolderFailed);
    return 1;
  }
  std::snprintf(part, sizeof part, "/%02d", now.month);
  const std::string monthFolder = yearFolder + part;
  if (!EnsureFolder(monthFolder)) {
    FailWithMessage(writer, env, kMonthFolderFailed);
    return 1;
  }
  std::snprintf(part, sizeof part, "/%02d", now.day);
  const std::string dayFolder = monthFolder + part;
  if (!EnsureFolder(dayFolder)) {
    FailWithMessage(writer, env, kDayFolderFailed);
    return 1;
  }
  // 5, 6.
  const std::string name = DataFileName(now, writer.midnightName);
  MeasurementFileEntry entry;
  std::snprintf(entry.name, sizeof entry.name, "%s", name.c_str());
  entry.startSecond = writer.files.entries.empty() ? 0 : env.elapsedSeconds;
  writer.files.entries.push_back(entry);
  // 7.
  writer.datedPath = dayFolder + "/" + name;
  // 8. Rows a crash kept from their dated file are saved before the
  // truncation destroys them.
  writer.workingPath = WorkingCopyPath(env.settings.programFolder);
  // Power cut: the copy is truncated only once the rows it holds are
  // committed and its note is gone from the disk, or the note that a cut
  // brought back would put the new file's rows over the old day.
  const bool pendingKept = RecoverWorkingCopy(writer.workingPath) == RecoveryResult::CopyFailed;
  std::FILE* f = pendingKept ? nullptr : std::fopen(writer.workingPath.c_str(), "wb");
  if (f == nullptr) {
    writer.failed = true;
    env.failureStop.StopMeasurementAfterFailure();
    env.messages.Show(kErrorTitle, kCreateFailed);
    return 1;
  }
  // 9.
  std::string line4;
  if (env.autoStartState == AutoStartState::Starting) {
    line4 = kAutoComment;
    env.autoStartState = AutoStartState::Started;
  } else {
    line4 = HeaderText(env.settings.comment.comment);
  }
  bool written = WriteLine(f, kDataFileVersion) &&
                 WriteLine(f, HeaderText(env.settings.comment.computerName)) &&
                 WriteLine(f, HeaderText(env.settings.comment.unitNumber)) &&
                 WriteLine(f, line4) && WriteLine(f, Utf8ToCp932(kColumnTitles));
  // Power cut: the header is on the disk before the note points at it, and
  // rows go only to a copy whose note stands.
  written = written && SyncAppendedRows(f);
  written = (std::fclose(f) == 0) && written;
  written = written && WriteWorkingTarget(writer.workingPath, writer.datedPath);
  if (!written) {
    writer.failed = true;
    env.failureStop.StopMeasurementAfterFailure();
    env.messages.Show(kErrorTitle, kCreateFailed);
    return 1;
  }
  // 10.
  writer.fileDay = now.day;
  writer.slot = -1;
  return 0;
}

int AppendDataRow(DataFileWriter& writer, const DataFileEnv& env, double count,
                  std::uint8_t missing, std::uint8_t power) {
  // 1.
  if (writer.failed) return 1;
  // 2.
  const ClockSeconds nowSeconds = env.clock.Now();
  const CalendarTime now = env.clock.Local(nowSeconds);
  const bool anchored = writer.slot >= 0;
  if (!anchored) {
    writer.slot = now.hour * 3600 + now.minute * 60 + now.second;
    writer.firstRowTime = nowSeconds;
  }
  // 3. Midnight rollover.
  if (now.day != writer.fileDay) {
    if (anchored && writer.slot < kSecondsPerDay) {
      if (FillRestOfDay(writer, env, power) != 0) return 1;
    }
    CommitDataFile(writer);
    writer.midnightName = true;
    const int created = CreateDataFile(writer, env);
    writer.midnightName = false;
    if (created != 0) return 1;
    writer.slot = 0;
  }
  // 4.
  if (CheckBeforeWrite(writer, env) != 0) return 1;
  // 5.
  long lengthBefore = -1;
  std::FILE* f = OpenForAppend(writer, env, &lengthBefore);
  if (f == nullptr) return 1;
  // 6.
  bool written = true;
  if (writer.slot >= kSecondsPerDay) {
    writer.carry += count;
  } else if (writer.carry > 0.0) {
    written = WriteRow(f, writer.slot, writer.carry + count, missing, power);
    writer.carry = 0.0;
    ++writer.slot;
  } else {
    written = WriteRow(f, writer.slot, count, missing, power);
    ++writer.slot;
  }
  // 7.
  return FinishAppend(writer, env, f, written, lengthBefore);
}

int CommitDataFile(DataFileWriter& writer) {
  return CopyWorkingCopyOver(writer.workingPath, writer.datedPath);
}

}  // namespace velrix
