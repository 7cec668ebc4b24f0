#pragma once
// Reading the small text files the way "%d", "%lf" and a line read take
// them, but independent of the process locale: the GUI takes LC_NUMERIC from
// the environment, while the files always use a decimal point. Each reader
// works on a stdio stream, keeps at most a fixed number of bytes of one item,
// and pushes back only the one character that ended the item, so a file full
// of junk costs no more memory than a good one.

#include <cstddef>
#include <cstdio>
#include <string>

namespace velrix {

// Skips white space, then reads a decimal number with optional sign, point
// and exponent, or "inf", "infinity", "nan". False at the end of the stream
// or when the next item is not a number (then reading should stop: what was
// consumed of the bad item is lost, as with scanf). Values beyond the range
// of a double read as infinity or zero.
bool ScanDouble(std::FILE* file, double& value);

// Skips white space, then reads an optionally signed decimal integer. Values
// beyond the range of int are held at its limits.
bool ScanInt(std::FILE* file, int& value);

// Reads one line up to LF (a CR before it, and anything from the first CR
// or NUL on, are not part of the text) and cuts it to maxBytes after a whole
// CP932 character. The rest of a longer line is read and dropped. False when
// the stream is already at its end.
bool ReadCp932Line(std::FILE* file, std::size_t maxBytes, std::string& line);

// atoi on a typed text: blanks, an optional sign, then decimal digits; no
// digits give 0. Values beyond the range of long long are held at its limits.
long long ReadLeadingInteger(const std::string& text);

}  // namespace velrix
