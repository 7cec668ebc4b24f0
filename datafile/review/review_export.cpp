#include "datafile/review/review_export.h"

#include "platform/c_format.h"
#include "platform/cp932.h"

namespace velrix {

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string LocalStamp(const Clock& clock, ClockSeconds t) {
  const CalendarTime c = clock.Local(t);
  return CFormatString("%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day, c.hour, c.minute,
                       c.second);
}

LevelCsvWriter::LevelCsvWriter(std::FILE* out, int level, const FileHistory& history,
                               const Clock& clock)
    : out_(out), level_(level), history_(history), clock_(clock) {}

void LevelCsvWriter::Entries(int level, long long first, long long count, double mean,
                             int commentIndex) {
  if (level != level_) return;
  const long long period = history_.timeline.levels[level].period;
  const bool data = mean >= 0.0;
  const std::string value = data ? CFormatString("%.6f", mean) : std::string();
  const std::string comment =
      data && commentIndex >= 0 && commentIndex < history_.distinctComments.size()
          ? CsvField(Cp932ToUtf8(history_.distinctComments.Comment(commentIndex)))
          : std::string();
  for (long long e = first; e < first + count; ++e) {
    const std::string start = LocalStamp(clock_, history_.origin + e * period);
    std::fprintf(out_, "%s,%s,%s\n", start.c_str(), value.c_str(), comment.c_str());
    ++rows_;
  }
}

long long WriteSecondsCsv(std::FILE* out, const FileHistory& h, const Clock& clock) {
  long long rows = 0;
  const long long from = h.loadedSeconds > kSecondSlots ? h.loadedSeconds - kSecondSlots : 0;
  for (long long s = from; s < h.loadedSeconds; ++s) {
    const SecondSlot& slot = h.timeline.slots[static_cast<std::size_t>(s % kSecondSlots)];
    const std::string time = LocalStamp(clock, SlotStamp(h.origin, s));
    if (slot.count < 0.0) {
      std::fprintf(out, "%s,,,,\n", time.c_str());
    } else {
      const std::string values = CFormatString("%.3f,%.6f,%d,%d", slot.count, slot.average,
                                               slot.missing, slot.power);
      std::fprintf(out, "%s,%s\n", time.c_str(), values.c_str());
    }
    ++rows;
  }
  return rows;
}

}  // namespace velrix
