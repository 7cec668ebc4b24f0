#pragma once
// The version data the build compiled into the running program: an ELF note
// owned by "VersionInfo" (type 1), which `readelf -n` also shows. Its bytes
// are the key/value strings that launcher/version_info.h reads.

#include <string>

namespace velrix::launcher {

inline constexpr char kVersionNoteOwner[] = "VersionInfo";
inline constexpr unsigned kVersionNoteType = 1;

// The note's contents in the running program's own image; empty when the
// program carries none.
std::string ReadOwnVersionData();

}  // namespace velrix::launcher
