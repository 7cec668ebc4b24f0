#pragma once
// Diagnostic trace texts of the link. They are never shown to the user; when
// the environment variable VELRIX_TRACE names a file (or is "-" for standard
// error) each text is appended there as one line with a time stamp.

#include <string>

namespace velrix {

bool TraceEnabled();
void Trace(const std::string& text);
// printf-style convenience; formats only when tracing is on.
void TraceF(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace velrix
