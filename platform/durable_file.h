#pragma once
// Files that survive a power cut. What a program has written sits in the
// operating system's cache until the kernel writes it back, tens of seconds
// later; a cut before then loses it, and a file rewritten in place can come
// back empty (its truncation reached the disk, its new contents did not).
// These three calls are the whole of what the programs need against that:
//
// - WriteFileAtomically replaces a file so that after a cut it holds either
//   its old or its new contents: the bytes go to a temporary file in the same
//   folder, are forced to the disk, the temporary file is renamed over the
//   old one and the folder's new entry is forced to the disk too.
// - SyncFile forces what was written to an open file to the disk.
// - SyncFolder forces a folder's entries (names created, renamed or removed
//   in it) to the disk.
//
// On Linux they are fsync, fdatasync and rename. A Windows port maps them to
// FlushFileBuffers on the file's handle and MoveFileEx with
// MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH; NTFS journals the
// rename itself, so SyncFolder has nothing left to do there.

#include <cstdio>
#include <string>
#include <string_view>

namespace velrix {

// The temporary file WriteFileAtomically writes beside path. A cut can leave
// one behind; the next write of the same file overwrites it.
inline constexpr char kAtomicWriteSuffix[] = ".part";

// Replaces (or creates) path with bytes, durably. False when any step failed
// (*error then says which, when given); the file at path is then as it was.
bool WriteFileAtomically(const std::string& path, std::string_view bytes,
                         std::string* error = nullptr);

// Flushes the stream and forces its file's data and length to the disk.
bool SyncFile(std::FILE* file);

// Forces the entries of the folder to the disk.
bool SyncFolder(const std::string& folder);

// The folder a path lies in ("." for a bare name).
std::string FolderOf(const std::string& path);

}  // namespace velrix
