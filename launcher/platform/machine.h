#pragma once
// Facts about the machine and the user that the launcher decides on at
// start-up, and the file tests its buttons are enabled by. This folder holds
// every system call of the launcher, so a port to another system replaces
// only these files.

#include <string>

namespace velrix::launcher {

// Installing software and drivers needs administrator rights; on Linux the
// effective user id 0 stands for membership of the administrators group.
bool RunsAsAdministrator();

// The user's temporary folder: TMPDIR when it is set and not empty, else
// /tmp; always ending in exactly one '/'.
std::string TemporaryFolder();
std::string TemporaryFolderFrom(const char* tmpdir);

// True on a 32-bit x86 machine (the kernel's machine name i386 to i686).
// The machine's own architecture counts, not the program's.
bool NativeIs32BitX86();
bool Is32BitX86Machine(const std::string& machine);

// A regular file, following links (a folder of that name is not one).
bool IsRegularFile(const std::string& path);
// A regular file this process may execute.
bool IsRunnableFile(const std::string& path);
// Anything at all at the path.
bool PathExists(const std::string& path);

}  // namespace velrix::launcher
