#pragma once
// A locale whose decimal separator is a comma (de_DE.UTF-8), compiled into a
// test's own folder so that the locale tests run on every machine, not only
// on one that happens to have it installed.

#include <string>

namespace velrix::testing {

inline constexpr char kCommaLocale[] = "de_DE.UTF-8";

// Compiles the locale into folder/de_DE.UTF-8 with localedef and returns the
// folder to use as LOCPATH, or "" when it cannot be made (the "locales"
// package provides the sources).
std::string MakeCommaLocale(const std::string& folder);

// Sets LOCPATH to that folder and LC_ALL to the comma locale for this
// process; false when setlocale refuses it.
bool UseCommaLocaleInProcess(const std::string& locpath);

}  // namespace velrix::testing
