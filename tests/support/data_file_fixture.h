#pragma once
// What the data-file and measurement tests share: a program folder and a data
// folder inside a temporary folder, the header those settings produce, and
// the rows of a file as text.

#include <filesystem>
#include <string>
#include <vector>

#include "platform/cp932.h"
#include "settings/settings.h"
#include "tests/support/temp_folder.h"

namespace velrix::testing {

// program/ and documents/Velrix below the temporary folder, computer name
// "PC-01" and unit number "0001".
inline void UseTestFolders(Settings& settings, const TempFolder& temp) {
  settings.programFolder = temp.slash() + "program/";
  settings.dataFolder = temp.path() + "/documents/Velrix";
  std::filesystem::create_directories(settings.programFolder);
  settings.comment.computerName = "PC-01";
  settings.comment.unitNumber = "0001";
}

// The five header lines for those settings, with the given line 4.
inline std::string ExpectedHeader(const std::string& line4Utf8) {
  return "2.00\r\nPC-01\r\n0001\r\n" + Utf8ToCp932(line4Utf8) + "\r\n" +
         Utf8ToCp932("時刻,カウント値,リトライ,電源ステータス") + "\r\n";
}

// The rows of a data file's bytes, without the header and the line ends.
inline std::vector<std::string> DataRows(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::size_t end = bytes.find("\r\n", pos);
    if (end == std::string::npos) end = bytes.size();
    lines.push_back(bytes.substr(pos, end - pos));
    pos = end + 2;
  }
  if (lines.size() <= 5) return {};
  return std::vector<std::string>(lines.begin() + 5, lines.end());
}

// True for a row the writer can produce: "hh:mm:ss,dddd.ddd,r,p", exactly four
// fields with a decimal point in the count.
inline bool IsDataRow(const std::string& row) {
  auto digits = [&](std::size_t from, std::size_t n) {
    if (from + n > row.size()) return false;
    for (std::size_t i = from; i < from + n; ++i) {
      if (row[i] < '0' || row[i] > '9') return false;
    }
    return true;
  };
  return row.size() == 21 && digits(0, 2) && row[2] == ':' && digits(3, 2) && row[5] == ':' &&
         digits(6, 2) && row[8] == ',' && digits(9, 4) && row[13] == '.' && digits(14, 3) &&
         row[17] == ',' && (row[18] == '0' || row[18] == '1') && row[19] == ',' &&
         row[20] >= '0' && row[20] <= '3';
}

}  // namespace velrix::testing
