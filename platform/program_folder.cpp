#include "platform/program_folder.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <vector>

#include "platform/durable_file.h"
#include "platform/file_bytes.h"

namespace velrix {
namespace {

namespace fs = std::filesystem;

constexpr char kDataHomeBelowHome[] = "/.local/share";
std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

// Each copy appears whole or not at all, also after a power cut: a start
// interrupted mid-copy must leave no half conversion table that a later start
// would keep as the user's own.
// Far above any shipped file (the conversion table and the warning sound are
// a few hundred kilobytes); only a damaged installation reaches it.
constexpr std::size_t kShippedFileMaxBytes = 64u << 20;

bool CopyOneFile(const fs::path& from, const fs::path& to, std::string* error) {
  std::error_code ec;
  if (fs::exists(to, ec)) return true;
  std::vector<char> bytes;
  std::size_t length = 0;
  if (!ReadWholeFile(from.string(), bytes, &length, kShippedFileMaxBytes)) {
    *error = "cannot read " + from.string();
    return false;
  }
  std::string why;
  if (!WriteFileAtomically(to.string(), std::string_view(bytes.data(), length), &why)) {
    *error = "cannot copy " + from.string() + ": " + why;
    return false;
  }
  return true;
}

}  // namespace

std::string UserProgramFolder(const char* xdgDataHome, const char* home) {
  std::string dataHome;
  if (xdgDataHome != nullptr && xdgDataHome[0] == '/') {
    dataHome = xdgDataHome;
  } else {
    dataHome = std::string(home != nullptr ? home : "") + kDataHomeBelowHome;
  }
  return WithSlash(WithSlash(dataHome) + kUserProgramFolderName);
}

ProgramFolderFacts ReadProgramFolderFacts(const std::string& executableFolder) {
  ProgramFolderFacts facts;
  facts.executableFolder = WithSlash(executableFolder);
  facts.executableFolderWritable = access(facts.executableFolder.c_str(), W_OK) == 0;
  const fs::path shipped =
      fs::path(facts.executableFolder + kShippedFolderFromExecutable).lexically_normal();
  std::error_code ec;
  if (fs::is_directory(shipped, ec)) facts.shippedFolder = WithSlash(shipped.string());
  facts.userFolder = UserProgramFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
  return facts;
}

std::string ChooseProgramFolder(const std::string& given, const ProgramFolderFacts& facts) {
  if (!given.empty()) return WithSlash(given);
  const bool installed = !facts.shippedFolder.empty();
  if (installed || !facts.executableFolderWritable) return facts.userFolder;
  return facts.executableFolder;
}

bool FillProgramFolder(const std::string& folder, const std::string& shippedFolder,
                       std::string* error) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (!fs::is_directory(folder, ec)) {
    *error = "cannot make the program folder " + folder;
    return false;
  }
  if (shippedFolder.empty()) return true;
  fs::directory_iterator shipped(shippedFolder, ec);
  if (ec) {
    *error = "cannot read the shipped folder " + shippedFolder + ": " + ec.message();
    return false;
  }
  bool whole = true;
  for (const fs::directory_entry& entry : shipped) {
    std::error_code typeError;
    if (!entry.is_regular_file(typeError)) continue;
    if (!CopyOneFile(entry.path(), fs::path(folder) / entry.path().filename(), error)) whole = false;
  }
  return whole;
}

std::string PrepareProgramFolder(const std::string& given, const ProgramFolderFacts& facts,
                                 std::string* error) {
  error->clear();
  const std::string folder = ChooseProgramFolder(given, facts);
  if (folder == facts.userFolder || !facts.shippedFolder.empty()) {
    FillProgramFolder(folder, facts.shippedFolder, error);
  }
  return folder;
}

std::string PrepareProgramFolder(const std::string& given, const std::string& executableFolder,
                                 std::string* error) {
  return PrepareProgramFolder(given, ReadProgramFolderFacts(executableFolder), error);
}

}  // namespace velrix
