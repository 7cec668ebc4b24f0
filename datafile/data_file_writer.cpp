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

constexpr char kColumnTitles[] = "時刻,カウント値,リトライ,電源ステータス";
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
  env.messages.Show(kSystemErrorTitle, text);
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

// Before every write: is the working copy still ours? On failure the
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
      env.messages.Show(kSystemErrorTitle, FormatWithPath(kCorruptedFormat, writer.workingPath));
      std::error_code ec;
      std::filesystem::remove(writer.datedPath, ec);
      // The damaged copy must never be recovered over the dated file.
      ClearWorkingTarget(writer.workingPath);
      return 1;
    }
  }
  return 1;
}

// Open for appending, 31 attempts 100 ms apart (another program may hold
// the file for a moment). *lengthBefore gets
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

}  // namespace

MeasurementFileList::MeasurementFileList() { entries.reserve(kMeasurementFileListReserve); }

int FormatDataRow(char* buffer, int secondOfDay, double count, int missing, int power) {
  const int n = CFormat(buffer, kDataRowMaxBytes, kRowFormat, secondOfDay / kSecondsPerHour,
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

namespace {

bool SameDate(const CalendarTime& a, const CalendarTime& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day;
}

bool IsNextDate(const CalendarTime& before, const CalendarTime& after) {
  return UtcFromCalendar(after.year, after.month, after.day, 0, 0, 0) -
             UtcFromCalendar(before.year, before.month, before.day, 0, 0, 0) ==
         kSecondsPerDay;
}

// Creating a file for the local time `now`: the file's name, folders and
// date come from it.
int CreateFileAt(DataFileWriter& writer, const DataFileEnv& env, const CalendarTime& now) {
  if (writer.failed) return 1;
  // The three dated folders, each reported on its own.
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
  // The file's name. One named after a new local time may find it taken (the
  // clock was set back to the very second an earlier file began): one
  // second earlier still places every row at its own time, and nothing is
  // overwritten.
  std::string name = DataFileName(now, writer.midnightName);
  if (!writer.midnightName) {
    std::error_code taken;
    if (std::filesystem::exists(dayFolder + "/" + name, taken)) {
      const CalendarTime earlier = CalendarFromUtc(
          UtcFromCalendar(now.year, now.month, now.day, now.hour, now.minute, now.second) - 1);
      if (earlier.day == now.day) name = DataFileName(earlier, false);
    }
  }
  MeasurementFileEntry entry;
  std::snprintf(entry.name, sizeof entry.name, "%s", name.c_str());
  entry.startSecond = writer.files.entries.empty() ? 0 : env.elapsedSeconds;
  writer.files.entries.push_back(entry);
  writer.datedPath = dayFolder + "/" + name;
  // A fresh working copy. Rows a crash kept from their dated file are saved
  // before the truncation destroys them.
  writer.workingPath = WorkingCopyPath(env.settings.programFolder);
  // Power cut: the copy is truncated only once the rows it holds are
  // committed and its note is gone from the disk, or the note that a cut
  // brought back would put the new file's rows over the old day.
  const bool pendingKept = RecoverWorkingCopy(writer.workingPath) == RecoveryResult::CopyFailed;
  std::FILE* f = pendingKept ? nullptr : std::fopen(writer.workingPath.c_str(), "wb");
  if (f == nullptr) {
    writer.failed = true;
    env.failureStop.StopMeasurementAfterFailure();
    env.messages.Show(kSystemErrorTitle, kCreateFailed);
    return 1;
  }
  // The header; line 4 is "auto" in the automatic measurement's first file.
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
    env.messages.Show(kSystemErrorTitle, kCreateFailed);
    return 1;
  }
  // The file's rows belong to its date; its first row anchors the labels.
  writer.fileDate = now;
  writer.slot = -1;
  return 0;
}

// The rows go on in a new file: the current one is checked and committed,
// then a file for the row's local time is begun ("-000000" at midnight).
int BeginNextFile(DataFileWriter& writer, const DataFileEnv& env, const CalendarTime& at,
                  bool midnight) {
  // A deleted or damaged working copy is reported here, before the commit
  // or a new file could hide what happened to the old one.
  if (CheckBeforeWrite(writer, env) != 0) return 1;
  CommitDataFile(writer);
  writer.midnightName = midnight;
  const int created = CreateFileAt(writer, env, at);
  writer.midnightName = false;
  return created;
}

// The measurement's second of the row being written and its time become
// the start of the newest file in the list.
void NoteFirstRow(DataFileWriter& writer, const DataFileEnv& env, ClockSeconds rowTime) {
  if (writer.files.entries.empty()) return;
  MeasurementFileEntry& entry = writer.files.entries.back();
  entry.firstRowSecond = env.elapsedSeconds > 0 ? env.elapsedSeconds - 1 : 0;
  entry.firstRowTime = rowTime;
}

}  // namespace

int CreateDataFile(DataFileWriter& writer, const DataFileEnv& env) {
  return CreateFileAt(writer, env, env.clock.LocalNow());
}

int AppendDataRow(DataFileWriter& writer, const DataFileEnv& env, double count,
                  std::uint8_t missing, std::uint8_t power, ClockSeconds rowTime) {
  // Nothing is written after a failure until a new measurement starts.
  if (writer.failed) return 1;
  // The row's label is the local time of its own second. The first
  // row anchors the file; a first row after midnight (the measurement began
  // a moment before it) leaves the first file with its header only.
  const CalendarTime local = env.clock.Local(rowTime);
  const int second = SecondOfDay(local);
  if (writer.slot < 0) {
    writer.firstRowTime = rowTime;
    if (!SameDate(local, writer.fileDate) && BeginNextFile(writer, env, local, true) != 0) {
      return 1;
    }
    writer.slot = second;
    NoteFirstRow(writer, env, rowTime);
  } else if (!SameDate(local, writer.fileDate) || second != writer.slot) {
    // Midnight when the day ran to its end and the label goes on at
    // 00:00:00; any other break in the labels is a change of local time.
    const bool midnight =
        writer.slot == kSecondsPerDay && second == 0 && IsNextDate(writer.fileDate, local);
    if (BeginNextFile(writer, env, local, midnight) != 0) return 1;
    writer.slot = second;
    NoteFirstRow(writer, env, rowTime);
  }
  // The working copy is still ours; the row goes on its end.
  if (CheckBeforeWrite(writer, env) != 0) return 1;
  long lengthBefore = -1;
  std::FILE* f = OpenForAppend(writer, env, &lengthBefore);
  if (f == nullptr) return 1;
  const bool written = WriteRow(f, writer.slot, count, missing, power);
  ++writer.slot;
  // On the disk before the next row is taken, or cut back to the last whole row.
  return FinishAppend(writer, env, f, written, lengthBefore);
}

int CommitDataFile(DataFileWriter& writer) {
  return CopyWorkingCopyOver(writer.workingPath, writer.datedPath);
}

}  // namespace velrix
