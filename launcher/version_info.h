#pragma once
// The launcher's version strings and the window title taken from them.

#include <map>
#include <string>

namespace velrix::launcher {

inline constexpr char kFileDescriptionKey[] = "FileDescription";
// The title when the program carries no description of itself.
inline constexpr char kFallbackTitle[] = "Radiation Monitor Setup Launcher";

// Key/value pairs, each text ending with a NUL; the list ends at an empty
// key or at the end of the data. A key without its value is dropped.
std::map<std::string, std::string> ParseVersionStrings(const std::string& data);

// The FileDescription; the fallback title when there is none or it is empty
// (a window without title could not be told apart from any other).
std::string LauncherTitle(const std::map<std::string, std::string>& strings);

}  // namespace velrix::launcher
