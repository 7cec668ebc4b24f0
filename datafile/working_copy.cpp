#include "datafile/working_copy.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "datafile/data_file_reader.h"
#include "platform/durable_file.h"
#include "platform/file_bytes.h"

namespace velrix {
namespace {

constexpr char kLineEnd[] = "\r\n";
// A dated file lies in dataFolder/YYYY/MM/DD: the folders whose entries a
// commit forces to the disk above the day folder (month, year, data folder
// and the base folder holding it).
constexpr int kDatedFolderLevels = 4;

// %s the working copy, %s the number of bytes, %s the dated file.
constexpr char kTornFormat[] =
    "測定データファイル[%s]の末尾%sバイトは途切れた行のため、[%s]に書き込みませんでした。";
constexpr char kRejectedFormat[] =
    "測定データファイル[%s]は、破損していたので[%s]に書き込みませんでした。";

// Longer than any version word, so "2.000" is not taken for "2.00".
constexpr int kVersionWordMax = 15;

bool IsWordSpace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsVersionWord(const char* word, int length) {
  // Compared with its length: a NUL is a byte of the word like any other, and
  // "2.00" followed by zeros (a crash can leave those) is no data file.
  return length == static_cast<int>(sizeof kDataFileVersion - 1) &&
         std::memcmp(word, kDataFileVersion, sizeof kDataFileVersion - 1) == 0;
}

// The check of CheckWorkingCopy on bytes in memory.
bool StartsWithVersion(std::string_view bytes) {
  std::size_t start = 0;
  while (start < bytes.size() && IsWordSpace(static_cast<unsigned char>(bytes[start]))) ++start;
  std::size_t end = start;
  while (end < bytes.size() && !IsWordSpace(static_cast<unsigned char>(bytes[end])) &&
         end - start < static_cast<std::size_t>(kVersionWordMax)) {
    ++end;
  }
  return IsVersionWord(bytes.data() + start, static_cast<int>(end - start));
}

// The part of a working copy's bytes that can be committed: up to the end of
// its last whole line (CR LF) before any NUL byte. What lies after it is what
// a cut can leave at the end of a file being appended to: a row without its
// end, or a run of NUL bytes where the file's length reached the disk and
// its contents did not.
std::size_t WholeLinesLength(std::string_view bytes) {
  const std::string_view beforeNul = bytes.substr(0, bytes.find('\0'));
  const std::size_t lastEnd = beforeNul.rfind(kLineEnd);
  return lastEnd == std::string_view::npos ? 0 : lastEnd + sizeof kLineEnd - 1;
}

// A message filled with up to three texts in the order of its %s (extra
// arguments to a format are ignored).
std::string Printed(const char* format, const std::string& a, const std::string& b,
                    const std::string& c = {}) {
  const int n = std::snprintf(nullptr, 0, format, a.c_str(), b.c_str(), c.c_str());
  std::string text(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  std::snprintf(text.data(), text.size() + 1, format, a.c_str(), b.c_str(), c.c_str());
  return text;
}

}  // namespace

std::string WorkingCopyPath(const std::string& programFolder) {
  return programFolder + kWorkingCopyName;
}

std::string WorkingTargetPath(const std::string& workingPath) {
  return workingPath + kWorkingTargetSuffix;
}

WorkingCopyCheck CheckWorkingCopy(const std::string& workingPath) {
  std::FILE* f = std::fopen(workingPath.c_str(), "rb");
  if (f == nullptr) return WorkingCopyCheck::Missing;
  char word[kVersionWordMax + 1] = {};
  int length = 0;
  int c = std::fgetc(f);
  while (c != EOF && IsWordSpace(c)) c = std::fgetc(f);
  while (c != EOF && !IsWordSpace(c) && length < kVersionWordMax) {
    word[length++] = static_cast<char>(c);
    c = std::fgetc(f);
  }
  // A read error says nothing about the content; whether the file can take a
  // row is then decided by opening it for appending.
  const bool readFailed = std::ferror(f) != 0;
  std::fclose(f);
  if (readFailed) return WorkingCopyCheck::Unreadable;
  return IsVersionWord(word, length) ? WorkingCopyCheck::Ok : WorkingCopyCheck::Corrupted;
}

bool SyncAppendedRows(std::FILE* workingCopy) { return SyncFile(workingCopy); }

bool WriteWorkingTarget(const std::string& workingPath, const std::string& datedPath) {
  return WriteFileAtomically(WorkingTargetPath(workingPath), datedPath);
}

bool ClearWorkingTarget(const std::string& workingPath) {
  std::error_code ec;
  const bool removed = std::filesystem::remove(WorkingTargetPath(workingPath), ec);
  if (ec) return false;
  return !removed || SyncFolder(FolderOf(workingPath));
}

std::string ReadWorkingTarget(const std::string& workingPath) {
  std::FILE* f = std::fopen(WorkingTargetPath(workingPath).c_str(), "rb");
  if (f == nullptr) return {};
  std::string path;
  char buffer[512];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) path.append(buffer, n);
  std::fclose(f);
  return path;
}

int CopyWorkingCopyOver(const std::string& workingPath, const std::string& datedPath,
                        std::size_t* tornBytes) {
  if (datedPath.empty()) return 1;
  std::vector<char> buffer;
  std::size_t length = 0;
  if (!ReadWholeFile(workingPath, buffer, &length, kDataFileMaxBytes)) return 1;
  const std::string_view bytes(buffer.data(), length);
  const std::size_t whole = WholeLinesLength(bytes);
  if (tornBytes != nullptr) *tornBytes = length - whole;
  // Copying anything but a data file would destroy the dated file's last
  // good state.
  if (!StartsWithVersion(bytes.substr(0, whole))) return 1;
  if (!WriteFileAtomically(datedPath, bytes.substr(0, whole))) return 1;
  // The dated folders' own entries: the writer creates them on the day's
  // first file, and a name in a folder whose entry never reached the disk
  // is lost with it.
  std::string folder = FolderOf(datedPath);
  for (int level = 0; level < kDatedFolderLevels; ++level) {
    folder = FolderOf(folder);
    if (!SyncFolder(folder)) return 1;
  }
  return ClearWorkingTarget(workingPath) ? 0 : 1;
}

RecoveryResult RecoverWorkingCopy(const std::string& workingPath, std::size_t* tornBytes) {
  if (tornBytes != nullptr) *tornBytes = 0;
  const std::string datedPath = ReadWorkingTarget(workingPath);
  if (datedPath.empty()) {
    return ClearWorkingTarget(workingPath) ? RecoveryResult::NothingPending
                                           : RecoveryResult::CopyFailed;
  }
  std::vector<char> buffer;
  std::size_t length = 0;
  const bool read = ReadWholeFile(workingPath, buffer, &length, kDataFileMaxBytes);
  const std::string_view bytes(buffer.data(), length);
  if (!read || !StartsWithVersion(bytes.substr(0, WholeLinesLength(bytes)))) {
    if (tornBytes != nullptr) *tornBytes = length;
    return ClearWorkingTarget(workingPath) ? RecoveryResult::Rejected : RecoveryResult::CopyFailed;
  }
  std::error_code ec;
  const std::filesystem::path parent = std::filesystem::path(datedPath).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent, ec);
  return CopyWorkingCopyOver(workingPath, datedPath, tornBytes) == 0 ? RecoveryResult::Copied
                                                                      : RecoveryResult::CopyFailed;
}

RecoveryResult RecoverWorkingCopyAtStart(const std::string& workingPath, UserMessages& messages) {
  const std::string datedPath = ReadWorkingTarget(workingPath);
  std::size_t tornBytes = 0;
  const RecoveryResult result = RecoverWorkingCopy(workingPath, &tornBytes);
  if (result == RecoveryResult::Rejected && tornBytes > 0) {
    messages.Show(kSystemErrorTitle, Printed(kRejectedFormat, workingPath, datedPath));
  } else if (result == RecoveryResult::Copied && tornBytes > 0) {
    messages.Show(kSystemErrorTitle,
                  Printed(kTornFormat, workingPath, std::to_string(tornBytes), datedPath));
  }
  return result;
}

}  // namespace velrix
