#pragma once
// The command-line manners every Velrix program shares. --help and --version
// are answered before anything else starts (before Qt, which needs a display,
// and before the single-copy lock), and a bad argument ends the program with
// the usage on standard error and exit code 2, so scripts can tell a typing
// slip from a failed run.

#include <string>
#include <vector>

namespace velrix {

inline constexpr int kExitAnswered = 0;
inline constexpr int kExitBadArguments = 2;

enum class HelpOrVersion { None, Help, Version };

// The first of --help (or -h) and --version among the arguments after the
// program's name, wherever it stands.
HelpOrVersion FindHelpOrVersion(const std::vector<std::string>& args);

// The version the programs are built as, from the project's version: "1.0.0".
const char* ProgramVersion();

// Prints the usage (for Help) or "<program> <version>" (for Version) on
// standard output; returns kExitAnswered.
int AnswerHelpOrVersion(HelpOrVersion asked, const char* program, const std::string& usage);

// Prints "<program>: <error>" (when there is one) and the usage on standard
// error; returns kExitBadArguments.
int RejectArguments(const char* program, const std::string& error, const std::string& usage);

}  // namespace velrix
