#pragma once
// Recorded data for the pictures of the file view: data files made in the
// writer's own format from a fixed pseudo-random sequence, so every run of
// the screenshot tool draws the same pictures.

#include <string>

namespace velrix {

struct GeneratedSpan {
  int year, month, day;  // the first day
  int days;
  int firstSecond;       // second of the day each file starts at (0: a midnight file)
  int rowsPerDay;
  const char* comment;   // UTF-8
};

// Writes one file a day into the dated folders below dataFolder. False when
// a folder or file cannot be written.
bool WriteGeneratedFiles(const std::string& dataFolder, const GeneratedSpan& span);

}  // namespace velrix
