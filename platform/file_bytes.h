#pragma once
// Whole files and folder listings for the readers of recorded data. Only
// regular files are read: a folder, a pipe or a device that happens to carry
// a data file's name is refused at once, never waited on.

#include <cstddef>
#include <string>
#include <vector>

namespace velrix {

// Reads the file's bytes into the start of buffer and sets *length. False
// when it is not a regular file, cannot be opened or read, holds more than
// maxBytes, or the memory for it cannot be had (*length is then 0). A file
// larger than maxBytes is refused before anything is read, and one that
// grows past it while being read is refused too, so the buffer never holds
// more than maxBytes + 1. The buffer is reused: it grows to the largest
// file read and never shrinks (ReleaseBuffer gives it back).
bool ReadWholeFile(const std::string& path, std::vector<char>& buffer, std::size_t* length,
                   std::size_t maxBytes);

// Gives a buffer's memory back.
void ReleaseBuffer(std::vector<char>& buffer);

// The names in a folder (not "." and ".."), in no particular order. Empty
// when the folder does not exist or cannot be listed.
std::vector<std::string> ListFolder(const std::string& folder);

// True when the path names an existing folder.
bool IsFolder(const std::string& path);

}  // namespace velrix
