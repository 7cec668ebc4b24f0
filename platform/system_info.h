#pragma once
// Facts about the machine and the running program that the shell needs at
// start-up.

#include <string>

namespace velrix {

// The machine's network name (gethostname).
std::string MachineName();

// The user's documents folder: XDG_DOCUMENTS_DIR from user-dirs.dirs, else
// $HOME/Documents if it exists, else $HOME. No trailing separator.
std::string DocumentsFolder();

// Folder of the running executable, ending with '/'.
std::string ExecutableFolder();

}  // namespace velrix
