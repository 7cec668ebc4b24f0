#pragma once
// Reads a file that holds a secret (a broker's password). A secret that
// other users of the computer can read is no secret: such a file is refused,
// judged on the file actually opened, so a file swapped in between a check
// and the read cannot slip through.

#include <cstddef>
#include <string>

namespace velrix {

// The file's first line (without its line end) into *text. False with a
// reason in *error (never the contents) when it is not a regular file,
// cannot be read, holds more than maxBytes, or its group or others may read
// or write it.
bool ReadPrivateFirstLine(const std::string& path, std::size_t maxBytes, std::string* text,
                          std::string* error);

}  // namespace velrix
