#pragma once
// The program the desktop associates with a document's type, found through
// the freedesktop MIME database and default-application lists (GIO reads
// them; nothing here parses them by hand).

#include <string>

#include "launcher/platform/processes.h"

namespace velrix::launcher {

// True when the desktop names a program for the document's type. The type
// comes from the file name, as the desktop's own file manager guesses it.
bool HasAssociatedProgram(const std::string& document);

// Starts the associated program with the document. Not started when there is
// none or it cannot be run. A program the desktop starts through its session
// bus instead of as a child gives a process without pid (nothing to wait for).
StartedProcess StartWithAssociatedProgram(const std::string& document);

}  // namespace velrix::launcher
