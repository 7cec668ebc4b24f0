#include "app/screenshots/generated_files.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "datafile/data_file_writer.h"
#include "platform/clock.h"
#include "platform/cp932.h"

namespace velrix {
namespace {

constexpr double kBaseCounts = 1.2;   // about 0.6 μSv/h on the shipped table
constexpr double kDailySwing = 0.25;   // a little more by day than by night
constexpr double kSeasonSwing = 0.15;  // and in summer than in winter
constexpr int kRetryEvery = 20011;    // now and then a second without a count

// A small fixed generator: the pictures must not change from run to run.
struct Sequence {
  std::uint32_t state = 20240311;
  double Uniform() {
    state = state * 1664525u + 1013904223u;
    return static_cast<double>(state >> 8) / 16777216.0;
  }
  // Poisson counts around the mean (Knuth's method; the mean is small).
  int Poisson(double mean) {
    const double limit = std::exp(-mean);
    double p = 1.0;
    int k = 0;
    do {
      ++k;
      p *= Uniform();
    } while (p > limit);
    return k - 1;
  }
};

}  // namespace

bool WriteGeneratedFiles(const std::string& dataFolder, const GeneratedSpan& span) {
  Sequence sequence;
  const std::string header = "2.00\r\nKAV-HX310-DEMO\r\n0001\r\n" + Utf8ToCp932(span.comment) +
                             "\r\n" + Utf8ToCp932("時刻,カウント値,リトライ,電源ステータス") +
                             "\r\n";
  const ClockSeconds first = UtcFromCalendar(span.year, span.month, span.day, 0, 0, 0);
  for (int d = 0; d < span.days; ++d) {
    CalendarTime at = CalendarFromUtc(first + d * 86400LL);
    at.hour = span.firstSecond / 3600;
    at.minute = span.firstSecond / 60 % 60;
    at.second = span.firstSecond % 60;
    const std::string folder = DayFolderPath(dataFolder, at);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    std::string bytes = header;
    char row[kDataRowMaxBytes];
    for (int i = 0; i < span.rowsPerDay; ++i) {
      const int second = span.firstSecond + i;
      const double daylight = std::sin((second / 86400.0 - 0.25) * 2.0 * M_PI);
      const double summer = std::sin(((first / 86400 + d) % 365 / 365.0 - 0.3) * 2.0 * M_PI);
      const bool retry = (d * 86400 + i) % kRetryEvery == kRetryEvery - 1;
      const double mean = kBaseCounts * (1.0 + kDailySwing * daylight) * (1.0 + kSeasonSwing * summer);
      const int count = retry ? 0 : sequence.Poisson(mean);
      bytes.append(row, static_cast<std::size_t>(FormatDataRow(row, second, count, retry ? 1 : 0, 0)));
      bytes += "\r\n";
    }
    const std::string path = folder + "/" + DataFileName(at, span.firstSecond == 0);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !written) return false;
  }
  return true;
}

}  // namespace velrix
