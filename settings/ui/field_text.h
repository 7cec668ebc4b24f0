#pragma once
// How the dialogs read their edit boxes, without any widget: texts bound for
// a settings file are cut to the file's byte limit in CP932, and numbers are
// read from the start of the text the way C's atoi and atof read them, but
// independent of the process locale (the GUI takes LC_NUMERIC from the
// environment; the dialogs always use a decimal point).

#include <cstddef>
#include <string>

#include "settings/scan_numbers.h"  // ReadLeadingInteger

namespace velrix {

// A text that a settings file cannot hold (CP932 has no such character) is
// refused with this message, and nothing is changed.
inline constexpr char kDialogInputErrorTitle[] = "入力異常";
inline constexpr char kUnsavableCharacterMessage[] = "保存できない文字が含まれています。";

// The edit text as the file will keep it: cut to maxBytes of CP932 after a
// whole character. False (and *fitted untouched) when the text holds a
// character CP932 cannot hold, since saving would silently drop it.
bool FitFieldText(const std::string& utf8, std::size_t maxBytes, std::string* fitted);

// The first `count` characters (not bytes) of a UTF-8 text: the edit boxes
// are read so many characters deep.
std::string FirstCharacters(const std::string& utf8, std::size_t count);


// atof restricted to decimal numbers: blanks, an optional sign, digits with
// an optional point and exponent; no number gives 0. "inf" and "nan" are no
// numbers here, so a limit can never become one that no comparison catches.
double ReadLeadingNumber(const std::string& text);

// printf's "%.<decimals>f" without the locale.
std::string FormatFixed(double value, int decimals);

}  // namespace velrix
