#include "datafile/review/review_export.h"

#include <charconv>
#include <cstring>

#include "platform/c_format.h"
#include "platform/cp932.h"

namespace velrix {
namespace {

constexpr char kStampFormat[] = "%04d-%02d-%02d %02d:%02d:%02d";
constexpr int kSecondsPerMinute = 60;
constexpr std::size_t kSecondsAt = MinuteStamps::kLength - 2;
constexpr std::size_t kFlushBytes = 1 << 20;
constexpr std::size_t kMeansKept = 1024;
// Room for a mean with six decimals: a double may have 309 digits before them.
constexpr std::size_t kMeanBytes = 400;
// A field with nothing in it, as a view that is never null (memcpy must not
// be handed a null pointer, even for no bytes).
constexpr char kEmptyField[] = "";

void TwoDigits(char* p, int v) {
  p[0] = static_cast<char>('0' + v / 10);
  p[1] = static_cast<char>('0' + v % 10);
}

}  // namespace

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
  return CFormatString(kStampFormat, c.year, c.month, c.day, c.hour, c.minute, c.second);
}

const char* MinuteStamps::At(ClockSeconds t) {
  ClockSeconds minute = t - t % kSecondsPerMinute;
  if (t % kSecondsPerMinute < 0) minute -= kSecondsPerMinute;
  if (!known_ || minute != minute_) {
    const CalendarTime c = clock_.Local(minute);
    offset_ = UtcFromCalendar(c.year, c.month, c.day, c.hour, c.minute, c.second) - minute;
    minute_ = minute;
    known_ = offset_ % kSecondsPerMinute == 0 && c.year >= 0 && c.year <= 9999;
    if (!known_) {
      // An offset with seconds of its own, or a year of another width: the
      // C library's way, second by second.
      const std::string stamp = LocalStamp(clock_, t);
      stamp.copy(text_, kLength);
      return text_;
    }
    // kStampFormat's digits, without the C library: half a million minutes
    // make a year of 10-second entries.
    TwoDigits(text_, c.year / 100);
    TwoDigits(text_ + 2, c.year % 100);
    text_[4] = '-';
    TwoDigits(text_ + 5, c.month);
    text_[7] = '-';
    TwoDigits(text_ + 8, c.day);
    text_[10] = ' ';
    TwoDigits(text_ + 11, c.hour);
    text_[13] = ':';
    TwoDigits(text_ + 14, c.minute);
    text_[16] = ':';
  }
  TwoDigits(text_ + kSecondsAt, static_cast<int>(t - minute_));
  return text_;
}

LevelCsvWriter::LevelCsvWriter(std::FILE* out, int level, const FileHistory& history,
                               const Clock& clock)
    : out_(out), level_(level), history_(history), stamps_(clock), means_(kMeansKept) {
  buffer_.resize(kFlushBytes);
}

const std::string& LevelCsvWriter::CommentField(int commentIndex) {
  const std::size_t i = static_cast<std::size_t>(commentIndex);
  if (i >= commentFields_.size()) {
    commentFields_.resize(i + 1);
    commentMade_.resize(i + 1, false);
  }
  if (!commentMade_[i]) {
    commentFields_[i] = CsvField(Cp932ToUtf8(history_.distinctComments.Comment(commentIndex)));
    commentMade_[i] = true;
  }
  return commentFields_[i];
}

std::string_view LevelCsvWriter::MeanOf(double mean) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &mean, sizeof bits);
  MeanText& kept = means_[(bits ^ (bits >> 29)) % kMeansKept];
  if (kept.length == 0 || kept.bits != bits) {
    // As "%.6f" writes it: to_chars gives printf's digits in the C locale.
    static char wide[kMeanBytes];
    const auto result = std::to_chars(wide, wide + sizeof wide, mean, std::chars_format::fixed, 6);
    const std::size_t length = result.ec == std::errc() ? static_cast<std::size_t>(result.ptr - wide) : 0;
    if (length == 0 || length > sizeof kept.text) return std::string_view(wide, length);
    std::memcpy(kept.text, wide, length);
    kept.bits = bits;
    kept.length = static_cast<unsigned char>(length);
  }
  return std::string_view(kept.text, kept.length);
}

void LevelCsvWriter::Entries(int level, long long first, long long count, double mean,
                             int commentIndex) {
  if (level != level_) return;
  const long long period = history_.timeline.levels[level].period;
  const bool data = mean >= 0.0;
  const std::string_view value = data ? MeanOf(mean) : std::string_view(kEmptyField);
  const std::string_view comment =
      data && commentIndex >= 0 && commentIndex < history_.distinctComments.size()
          ? std::string_view(CommentField(commentIndex))
          : std::string_view(kEmptyField);
  const std::size_t line = MinuteStamps::kLength + value.size() + comment.size() + 3;
  for (long long e = first; e < first + count; ++e) {
    if (used_ + line > buffer_.size()) {
      Flush();
      if (line > buffer_.size()) buffer_.resize(line);
    }
    char* p = buffer_.data() + used_;
    std::memcpy(p, stamps_.At(history_.origin + e * period), MinuteStamps::kLength);
    p += MinuteStamps::kLength;
    *p++ = ',';
    std::memcpy(p, value.data(), value.size());
    p += value.size();
    *p++ = ',';
    std::memcpy(p, comment.data(), comment.size());
    p += comment.size();
    *p++ = '\n';
    used_ += line;
    ++rows_;
  }
}

bool LevelCsvWriter::Flush() {
  if (used_ > 0 && std::fwrite(buffer_.data(), 1, used_, out_) != used_) failed_ = true;
  used_ = 0;
  return !failed_;
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
