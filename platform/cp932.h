#pragma once
// Code page 932 (Shift_JIS as Windows writes it) at the edges of the program:
// settings files, data files and every byte limit are in CP932, while texts in
// memory are UTF-8. Conversion uses glibc's "CP932" converter, whose mapping of
// "~", "\" and the wave dash matches the files Windows produced.

#include <cstddef>
#include <string>

namespace velrix {

// UTF-8 to CP932. Characters CP932 cannot hold make *ok false and are left
// out; the rest is converted.
std::string Utf8ToCp932(const std::string& utf8, bool* ok = nullptr);

// CP932 to UTF-8. Bytes that do not form a CP932 character become U+FFFD, so
// a damaged file never stops a reader.
std::string Cp932ToUtf8(const std::string& cp932);

// Length in bytes of the CP932 character that starts with this byte (1 or 2).
std::size_t Cp932CharLength(unsigned char lead);

// The longest prefix of CP932 bytes, at most maxBytes long, that ends after a
// whole character.
std::string CutCp932(const std::string& cp932, std::size_t maxBytes);

// A UTF-8 text cut so that its CP932 form is at most maxBytes long, never
// inside a character.
std::string CutUtf8ToCp932Bytes(const std::string& utf8, std::size_t maxBytes);

}  // namespace velrix
