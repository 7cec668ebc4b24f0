#pragma once
// The working copy of a measurement's data file and its way to the dated
// file. Every row goes to the working copy first; the dated file is only ever
// a copy of it. Beside the working copy a small note names the dated file the
// copy belongs to, from the moment a file is created until it is committed,
// so that rows written before a crash or a kill can still reach their dated
// file when the program next starts.
//
// Against a power cut, every row is forced to the disk as it is appended,
// a commit replaces the dated file atomically and durably, and the note is
// written the same way; the order is such that after a cut at any moment the
// dated file holds its old or its new contents and the working copy with its
// note holds every row that no committed file holds yet, but the last one.

#include <cstddef>
#include <cstdio>
#include <string>

#include "datafile/data_file_format.h"
#include "platform/user_messages.h"

namespace velrix {

inline constexpr char kWorkingCopyName[] = "data.tmp";
inline constexpr char kWorkingTargetSuffix[] = ".target";

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

// Forces the rows just appended to the working copy to the disk, before the
// append that wrote them returns: a power cut then costs at most the row
// being written. False when they may not have reached it.
bool SyncAppendedRows(std::FILE* workingCopy);

// Notes (or forgets) which dated file the working copy belongs to, durably:
// a note that a cut brought back after the working copy was truncated for a
// new file would copy the new file's rows over the old one. False when the
// note may not stand (or, for the clear, may still stand) after a cut.
bool WriteWorkingTarget(const std::string& workingPath, const std::string& datedPath);
bool ClearWorkingTarget(const std::string& workingPath);
// The noted dated path, "" when there is none.
std::string ReadWorkingTarget(const std::string& workingPath);

// Replaces datedPath with the working copy's whole lines when they pass the
// check, durably (the dated folders too, which the writer may just have
// created), and then forgets the note. Returns 0 on success, 1 when nothing
// was copied (the copy failed the check, or the copy itself failed; the note
// then stays so a later recovery can try again). *tornBytes, when given,
// gets the length of what followed the whole lines and was left out.
int CopyWorkingCopyOver(const std::string& workingPath, const std::string& datedPath,
                        std::size_t* tornBytes = nullptr);

enum class RecoveryResult {
  NothingPending,  // no note, or the working copy was committed
  Copied,          // an uncommitted working copy reached its dated file
  Rejected,        // the working copy failed the check; it was not copied
  CopyFailed,      // the copy could not be made, or the note not forgotten; it stays
};

// Called at program start and before a new measurement truncates the working
// copy: a working copy that was never committed and still begins with "2.00"
// is copied over the dated file its note names (creating the dated folders if
// they went away). Only its whole lines are copied; *tornBytes, when given,
// gets the length of the rest (of the whole copy when it was rejected).
RecoveryResult RecoverWorkingCopy(const std::string& workingPath,
                                  std::size_t* tornBytes = nullptr);

// The recovery at a program's start, and what the user must hear of it: a
// torn end left out of the dated file, or a noted copy too damaged to be
// committed at all, is told through messages.
RecoveryResult RecoverWorkingCopyAtStart(const std::string& workingPath, UserMessages& messages);

}  // namespace velrix
