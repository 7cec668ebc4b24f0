// The check and recovery of the working copy data.tmp with any bytes in it,
// in the states a start may meet: the copy or its note missing, a folder
// standing where the copy belongs, the dated file there already or its
// folders gone, a folder standing where the dated file belongs. Every path
// lies in a scratch folder made once per process.
//
// Checked besides crashes and undefined behaviour: the check is Ok exactly
// when the first whitespace-delimited word is "2.00", byte for byte; the
// recovery copies exactly such a copy, byte for byte, over the file its note
// names and then forgets the note, up to the end of its last CR LF before
// any NUL byte (what follows is what a power cut tore off); it leaves the
// dated file as it was and forgets the note for a copy that fails the check;
// it keeps the note when the copy cannot be made; and it never changes the
// working copy.
//
// Input: byte 0 the state (bit 0 no working copy, bit 1 a folder in its
// place, bit 2 no note, bit 3 a dated file already there, bit 4 the dated
// folders gone, bit 5 a folder in the dated file's place), byte 1 the note's
// dated path (one of a few, one of them empty); the rest is the working copy.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "datafile/working_copy.h"
#include "tests/support/temp_folder.h"

namespace {

using namespace velrix;
namespace fs = std::filesystem;

constexpr const char* kDatedNames[] = {"Velrix/2013/03/02/130302-120000.csv",
                                       "Velrix/2013/03/03/130303-000000.csv",
                                       "130302-235959.csv", ""};
constexpr std::size_t kDatedNameCount = sizeof kDatedNames / sizeof kDatedNames[0];
constexpr char kOldDatedBytes[] = "2.00\r\nold\r\n";

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz_working_copy: %s\n", what);
  std::abort();
}

bool IsWordSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The first whitespace-delimited word of the bytes, whole.
std::string FirstWord(const std::string& bytes) {
  std::size_t start = 0;
  while (start < bytes.size() && IsWordSpace(bytes[start])) ++start;
  std::size_t end = start;
  while (end < bytes.size() && !IsWordSpace(bytes[end])) ++end;
  return bytes.substr(start, end - start);
}

// What a recovery may commit: the bytes before the first NUL, up to the end
// of their last CR LF.
std::string WholeLines(const std::string& bytes) {
  const std::string beforeNul = bytes.substr(0, bytes.find('\0'));
  const std::size_t end = beforeNul.rfind("\r\n");
  return end == std::string::npos ? "" : beforeNul.substr(0, end + 2);
}

bool IsFile(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void Put(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const velrix::testing::TempFolder scratch;
  if (size < 2) return 0;
  const std::uint8_t state = data[0];
  const std::string program = scratch.File("program");
  const std::string working = program + "/" + kWorkingCopyName;
  const std::string note = WorkingTargetPath(working);
  const std::string name = kDatedNames[data[1] % kDatedNameCount];
  const std::string dated = name.empty() ? "" : scratch.File(name);
  const std::string content(reinterpret_cast<const char*>(data) + 2, size - 2);

  std::error_code ec;
  fs::remove_all(program, ec);
  fs::remove_all(scratch.File("Velrix"), ec);
  fs::remove_all(scratch.File("130302-235959.csv"), ec);
  fs::create_directories(program, ec);
  const bool copyAbsent = (state & 1) != 0;
  const bool copyFolder = !copyAbsent && (state & 2) != 0;
  if (copyFolder) {
    fs::create_directory(working, ec);
  } else if (!copyAbsent) {
    Put(working, content);
  }
  const bool noteThere = (state & 4) == 0;
  if (noteThere) Put(note, dated);
  const bool datedFolder = !dated.empty() && (state & 32) != 0;
  const std::string datedFolderPath = dated.empty() ? "" : fs::path(dated).parent_path().string();
  if (!dated.empty() && (state & 16) == 0) fs::create_directories(datedFolderPath, ec);
  if (datedFolder) {
    fs::create_directories(dated, ec);
  } else if (!dated.empty() && (state & 8) != 0) {
    fs::create_directories(datedFolderPath, ec);
    Put(dated, kOldDatedBytes);
  }
  const bool datedBefore = !dated.empty() && IsFile(dated);
  const std::string datedBytesBefore = datedBefore ? Bytes(dated) : "";

  WorkingCopyCheck expected = WorkingCopyCheck::Missing;
  if (copyFolder) {
    expected = WorkingCopyCheck::Unreadable;
  } else if (!copyAbsent) {
    expected = FirstWord(content) == kDataFileVersion ? WorkingCopyCheck::Ok
                                                      : WorkingCopyCheck::Corrupted;
  }
  Require(CheckWorkingCopy(working) == expected, "the check misjudged the working copy");
  const bool recoverable = expected == WorkingCopyCheck::Ok &&
                           FirstWord(WholeLines(content)) == kDataFileVersion;

  const RecoveryResult result = RecoverWorkingCopy(working);
  Require(copyAbsent || copyFolder || Bytes(working) == content,
          "the recovery changed the working copy");
  const bool noteAfter = fs::exists(note, ec);
  if (!noteThere || dated.empty()) {
    Require(result == RecoveryResult::NothingPending, "a recovery with nothing noted");
    Require(!noteAfter, "an empty note kept");
  } else if (!recoverable) {
    Require(result == RecoveryResult::Rejected, "a copy failing the check not rejected");
    Require(!noteAfter, "the note of a rejected copy kept");
  } else if (datedFolder) {
    Require(result == RecoveryResult::CopyFailed, "a copy over a folder reported made");
    Require(noteAfter, "the note dropped though the copy failed");
  } else {
    Require(result == RecoveryResult::Copied, "a good copy with a note not copied");
    Require(Bytes(dated) == WholeLines(content),
            "the dated file is not the working copy's whole lines");
    Require(!noteAfter, "the note kept after the copy");
  }
  if (result != RecoveryResult::Copied && !datedFolder) {
    Require(IsFile(dated) == datedBefore && (!datedBefore || Bytes(dated) == datedBytesBefore),
            "a dated file changed by a recovery that copied nothing");
  }
  return 0;
}
