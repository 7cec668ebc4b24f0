#pragma once
// Numbers that Velrix writes or shows always have a point as the decimal
// separator and no grouping from the user's locale: a data row printed as
// "0012,000" under a comma locale would split into five fields and corrupt
// the file for every later reader.
//
// Two layers keep it that way. Every printf-style formatting of a number goes
// through CFormat, which formats in the "C" locale whatever the process or
// thread locale is. And each program calls UseCNumbers once at start-up, after
// any framework that adopts the environment's locale (Qt does so while its
// application object is built), so that code which formats numbers some other
// way still gets the point.

#include <cstdarg>
#include <cstddef>
#include <string>

namespace velrix {

// snprintf in the "C" locale: same arguments, same result.
int CFormat(char* out, std::size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
int CFormatV(char* out, std::size_t size, const char* format, va_list args);

// The whole formatted text, however long.
std::string CFormatString(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Sets the process's numeric locale to "C" (messages, collation and character
// type stay as the user has them).
void UseCNumbers();

}  // namespace velrix
