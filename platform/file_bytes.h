#pragma once
// Whole files and folder listings for the readers of recorded data. Only
// regular files are read: a folder, a pipe or a device that happens to carry
// a data file's name is refused at once, never waited on.

#include <string>
#include <vector>

namespace velrix {

// Reads the file's bytes into the start of buffer and sets *length. False
// when it is not a regular file or cannot be opened or read (*length is then
// 0). The buffer only ever grows, so a caller reading many files allocates
// only for the largest and never clears what it will overwrite.
bool ReadWholeFile(const std::string& path, std::vector<char>& buffer, std::size_t* length);

// The names in a folder (not "." and ".."), in no particular order. Empty
// when the folder does not exist or cannot be listed.
std::vector<std::string> ListFolder(const std::string& folder);

// True when the path names an existing folder.
bool IsFolder(const std::string& path);

}  // namespace velrix
