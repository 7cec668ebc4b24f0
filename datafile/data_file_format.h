#pragma once
// The measurement data file as it stands on the disk (CP932, every line
// ending in CR LF):
//   2.00
//   <computer name>
//   <unit number>
//   <comment, or "auto" in the first file of an automatically started run>
//   時刻,カウント値,リトライ,電源ステータス
//   hh:mm:ss,<count %08.3lf>,<missing flag>,<power status>   one per second
// named yymmdd-hhmmss.csv (yymmdd-000000.csv from midnight on) in the dated
// folders YYYY/MM/DD below the data folder. The writer writes version 2.00;
// the reader also reads 1.00, which has no retry column to show.

#include <cstddef>

namespace velrix {

inline constexpr char kDataFileVersion[] = "2.00";
inline constexpr char kOldDataFileVersion[] = "1.00";
inline constexpr int kDataFileNameLength = 17;  // yymmdd-hhmmss.csv
// Line 4 of the first file of an automatically started measurement.
inline constexpr char kAutoComment[] = "auto";
// Header lines 2 to 4 hold at most this many bytes, ending after a whole
// character.
inline constexpr std::size_t kHeaderTextMaxBytes = 127;

}  // namespace velrix
