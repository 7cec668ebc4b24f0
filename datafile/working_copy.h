#pragma once
// The working copy of a measurement's data file and its way to the dated
// file. Every row goes to the working copy first; the dated file is only ever
// a copy of it. Beside the working copy a small note names the dated file the
// copy belongs to, from the moment a file is created until it is committed,
// so that rows written before a crash or a kill can still reach their dated
// file when the program next starts.

#include <string>

namespace velrix {

inline constexpr char kWorkingCopyName[] = "data.tmp";
inline constexpr char kWorkingTargetSuffix[] = ".target";
inline constexpr char kDataFileVersion[] = "2.00";

// programFolder (ending with '/') + "data.tmp".
std::string WorkingCopyPath(const std::string& programFolder);
// The note beside a working copy: its path + ".target".
std::string WorkingTargetPath(const std::string& workingPath);

enum class WorkingCopyCheck {
  Ok,          // the first word is the version this writer produces
  Missing,     // it cannot be opened for reading
  Corrupted,   // readable, but the first word is not the version
  Unreadable,  // opened, but reading failed (a folder standing there, an I/O error)
};

// Opens the working copy for reading and compares its first
// whitespace-delimited word with "2.00".
WorkingCopyCheck CheckWorkingCopy(const std::string& workingPath);

// Notes (or forgets) which dated file the working copy belongs to.
bool WriteWorkingTarget(const std::string& workingPath, const std::string& datedPath);
void ClearWorkingTarget(const std::string& workingPath);
// The noted dated path, "" when there is none.
std::string ReadWorkingTarget(const std::string& workingPath);

// Copies a working copy that passes the check over datedPath and forgets the
// note. Returns 0 on success, 1 when nothing was copied (the copy failed the
// check, or the copy itself failed; the note then stays so a later recovery
// can try again).
int CopyWorkingCopyOver(const std::string& workingPath, const std::string& datedPath);

enum class RecoveryResult {
  NothingPending,  // no note, or the working copy was committed
  Copied,          // an uncommitted working copy reached its dated file
  Rejected,        // the working copy failed the check; it was not copied
  CopyFailed,      // the copy could not be made; the note stays
};

// Called at program start and before a new measurement truncates the working
// copy: a working copy that was never committed and still begins with "2.00"
// is copied over the dated file its note names (creating the dated folders if
// they went away).
RecoveryResult RecoverWorkingCopy(const std::string& workingPath);

}  // namespace velrix
