#include "datafile/working_copy.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace velrix {
namespace {

// Longer than any version word, so "2.000" is not taken for "2.00".
constexpr int kVersionWordMax = 15;

bool IsWordSpace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
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
  // Compared with its length: a NUL is a byte of the word like any other, and
  // "2.00" followed by zeros (a crash can leave those) is no data file.
  const bool isVersion = length == static_cast<int>(sizeof kDataFileVersion - 1) &&
                         std::memcmp(word, kDataFileVersion, sizeof kDataFileVersion - 1) == 0;
  return isVersion ? WorkingCopyCheck::Ok : WorkingCopyCheck::Corrupted;
}

bool WriteWorkingTarget(const std::string& workingPath, const std::string& datedPath) {
  std::FILE* f = std::fopen(WorkingTargetPath(workingPath).c_str(), "wb");
  if (f == nullptr) return false;
  const bool written = std::fwrite(datedPath.data(), 1, datedPath.size(), f) == datedPath.size();
  return (std::fclose(f) == 0) && written;
}

void ClearWorkingTarget(const std::string& workingPath) {
  std::error_code ec;
  std::filesystem::remove(WorkingTargetPath(workingPath), ec);
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

int CopyWorkingCopyOver(const std::string& workingPath, const std::string& datedPath) {
  if (datedPath.empty()) return 1;
  // Copying anything but a data file would destroy the dated file's last
  // good state.
  if (CheckWorkingCopy(workingPath) != WorkingCopyCheck::Ok) return 1;
  std::error_code ec;
  std::filesystem::copy_file(workingPath, datedPath,
                             std::filesystem::copy_options::overwrite_existing, ec);
  if (ec) return 1;
  ClearWorkingTarget(workingPath);
  return 0;
}

RecoveryResult RecoverWorkingCopy(const std::string& workingPath) {
  const std::string datedPath = ReadWorkingTarget(workingPath);
  if (datedPath.empty()) {
    ClearWorkingTarget(workingPath);
    return RecoveryResult::NothingPending;
  }
  if (CheckWorkingCopy(workingPath) != WorkingCopyCheck::Ok) {
    ClearWorkingTarget(workingPath);
    return RecoveryResult::Rejected;
  }
  std::error_code ec;
  const std::filesystem::path parent = std::filesystem::path(datedPath).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent, ec);
  return CopyWorkingCopyOver(workingPath, datedPath) == 0 ? RecoveryResult::Copied
                                                          : RecoveryResult::CopyFailed;
}

}  // namespace velrix
