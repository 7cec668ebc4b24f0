#pragma once
// Where a program's settings, conversion table, warning sound and working
// copy live when the command line does not say.
//
// Run from the build tree, the program folder is the executable's own folder,
// as it always was. An installed program cannot keep its settings beside its
// executable in /usr/bin, so it uses the user's data folder for Velrix
// ($XDG_DATA_HOME/Velrix/, usually ~/.local/share/Velrix/) and copies into it
// the shipped files from share/velrix/program/ beside bin/ that the folder
// lacks. Whether a program is installed is told by that shipped folder, not
// by permission bits alone: root may write to /usr/bin, and root's settings
// must not land there either.

#include <string>

namespace velrix {

// The user's program folder below the data folder, and the shipped folder
// relative to the executable's folder.
inline constexpr char kUserProgramFolderName[] = "Velrix";
inline constexpr char kShippedFolderFromExecutable[] = "../share/velrix/program/";

// What decides the program folder, read from the system by
// ReadProgramFolderFacts and passed in whole so that every case can be tried.
struct ProgramFolderFacts {
  std::string executableFolder;          // ends with '/'
  bool executableFolderWritable = true;  // as access(W_OK) says
  std::string shippedFolder;             // ends with '/'; empty when not installed
  std::string userFolder;                // $XDG_DATA_HOME/Velrix/, ends with '/'
};

// $XDG_DATA_HOME/Velrix/ when XDG_DATA_HOME holds an absolute path (a
// relative one is to be ignored), else $HOME/.local/share/Velrix/. Either
// argument may be null.
std::string UserProgramFolder(const char* xdgDataHome, const char* home);

// The facts for an executable in the given folder (ending with '/'), with
// XDG_DATA_HOME and HOME from the environment.
ProgramFolderFacts ReadProgramFolderFacts(const std::string& executableFolder);

// The program folder, ending with '/': the given one if any; else the user's
// folder for an installed program or one whose folder cannot be written;
// else the executable's folder.
std::string ChooseProgramFolder(const std::string& given, const ProgramFolderFacts& facts);

// Makes the folder and copies into it every file of shippedFolder (if not
// empty) that it lacks; never overwrites. Each copy appears whole or not at
// all. On a failure, goes on with the other files and returns false with a
// message naming what failed.
bool FillProgramFolder(const std::string& folder, const std::string& shippedFolder,
                       std::string* error);

// The program folder a program uses: chosen as above and, when it is the
// user's folder or the program is installed, filled. A failure to fill is
// reported in *error (empty otherwise); the folder is returned either way,
// so the program starts and reports the missing files as it always does.
std::string PrepareProgramFolder(const std::string& given, const ProgramFolderFacts& facts,
                                 std::string* error);
// The same for an executable in the given folder, with the facts read from
// the system.
std::string PrepareProgramFolder(const std::string& given, const std::string& executableFolder,
                                 std::string* error);

}  // namespace velrix
