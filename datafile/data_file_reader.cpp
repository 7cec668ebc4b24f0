#include "datafile/data_file_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>

#include "datafile/row_scan.h"
#include "platform/cp932.h"
#include "platform/file_bytes.h"

namespace velrix {
namespace {

constexpr char kNameSeparator = '-';
constexpr char kNameExtension[] = ".csv";
constexpr std::size_t kNameSeparatorAt = 6;
constexpr int kYearOffset = 2000;
constexpr int kFirstYear = 11, kLastYear = 31;  // 2011-2031
constexpr char kVersion1[] = "1.00";
constexpr char kVersion2[] = "2.00";
constexpr char kMidnightStamp[] = "00:00:00";
constexpr int kSecondsPerHour = 3600;


struct FieldRule {
  NameField field;
  std::size_t at;  // first of its two digits in the name
  int low, high;
  const char* title;
};
constexpr FieldRule kNameRules[] = {
    {NameField::Year, 0, kFirstYear, kLastYear, "ファイル名(年)異常"},
    {NameField::Month, 2, 1, 12, "ファイル名(月)異常"},
    {NameField::Day, 4, 1, 31, "ファイル名(日)異常"},
    {NameField::Hour, 7, 0, 23, "ファイル名(時)異常"},
    {NameField::Minute, 9, 0, 59, "ファイル名(分)異常"},
    {NameField::Second, 11, 0, 59, "ファイル名(秒)異常"},
};
constexpr char kNameFormTitle[] = "ファイル名異常";

int NameDigits(const char* name, std::size_t at) {
  const char a = name[at], b = name[at + 1];
  if (a < '0' || a > '9' || b < '0' || b > '9') return -1;
  return (a - '0') * 10 + (b - '0');
}

}  // namespace

// Step 1: the last 17 characters of the path are the name.
bool CheckDataFileName(const std::string& path, DataFileText& text) {
  text.name[0] = '\0';
  if (path.size() < static_cast<std::size_t>(kDataFileNameLength)) {
    text.badField = NameField::Form;
    return false;
  }
  std::memcpy(text.name, path.data() + path.size() - kDataFileNameLength, kDataFileNameLength);
  text.name[kDataFileNameLength] = '\0';
  if (text.name[kNameSeparatorAt] != kNameSeparator ||
      std::memcmp(text.name + kDataFileNameLength - 4, kNameExtension, 4) != 0) {
    text.badField = NameField::Form;
    return false;
  }
  int* values[] = {&text.year, &text.month, &text.day, &text.hour, &text.minute, &text.second};
  for (std::size_t i = 0; i < std::size(kNameRules); ++i) {
    const FieldRule& rule = kNameRules[i];
    const int v = NameDigits(text.name, rule.at);
    if (v < rule.low || v > rule.high) {
      text.badField = rule.field;
      return false;
    }
    *values[i] = v;
  }
  text.year += kYearOffset;
  text.badField = NameField::None;
  return true;
}

namespace {

int NameSecondOfDay(const DataFileText& text) {
  return text.hour * kSecondsPerHour + text.minute * 60 + text.second;
}

// Lines of the file's bytes: each without its LF and a CR before it.
class Lines {
 public:
  Lines(const char* data, std::size_t size) : p_(data), end_(data + size) {}
  bool Next(const char** line, std::size_t* length) {
    if (p_ >= end_) return false;
    const char* lf = static_cast<const char*>(std::memchr(p_, '\n', static_cast<std::size_t>(end_ - p_)));
    const char* stop = lf != nullptr ? lf : end_;
    *line = p_;
    *length = static_cast<std::size_t>(stop - p_);
    if (*length > 0 && (*line)[*length - 1] == '\r') --*length;
    p_ = lf != nullptr ? lf + 1 : end_;
    return true;
  }
  const char* Position() const { return p_; }
  std::size_t Remaining() const { return static_cast<std::size_t>(end_ - p_); }
  void Skip(std::size_t bytes) { p_ += bytes; }

 private:
  const char* p_;
  const char* end_;
};

// A header line as the writer keeps it: cut to 127 bytes, never inside a
// character. *whole tells whether that is the whole line.
std::string HeaderText(const char* line, std::size_t length, bool* whole) {
  std::string text = CutCp932(std::string(line, std::min(length, kHeaderTextMaxBytes + 1)),
                              kHeaderTextMaxBytes);
  *whole = text.size() == length;
  return text;
}

// A row's count, or no data for one that cannot be a count.
double RowCount(double count) {
  return count >= 0.0 && count <= kRowCountMax ? count : kNoDataCount;
}

void ReadRows(Lines& lines, DataFileText& text) {
  const char* line = nullptr;
  std::size_t length = 0;
  RowFields fields;
  if (!lines.Next(&line, &length) || EndsTheRows(line, length)) return;
  ScanRow(line, length, &fields);
  if (fields.hour < 0 || fields.hour > 23 || fields.minute < 0 || fields.minute > 59 ||
      fields.second < 0 || fields.second > 59) {
    return;  // a malformed first row: the file has no rows
  }
  text.firstRowValid = true;
  text.firstRowSecondOfDay = fields.hour * kSecondsPerHour + fields.minute * 60 + fields.second;
  // The no-data seconds before a late first row count towards the day.
  std::size_t limit = kSecondSlots;
  const int gap = text.firstRowSecondOfDay - NameSecondOfDay(text) - 1;
  if (gap > 0) limit -= static_cast<std::size_t>(gap);

  std::size_t n = 0;
  auto keep = [&text, &n](const RowFields& f) {
    text.counts[n] = RowCount(f.count);
    text.missing[n] = f.missing;
    text.power[n] = f.power;
    ++n;
  };
  keep(fields);
  bool midnight = false;
  while (n < limit) {
    // Nearly every row is the writer's own: read it in one step.
    if (lines.Remaining() >= kWriterRowBytes && ScanWriterRow(lines.Position(), &fields, &midnight)) {
      if (midnight) break;
      keep(fields);
      lines.Skip(kWriterRowBytes);
      continue;
    }
    if (!lines.Next(&line, &length) || EndsTheRows(line, length)) break;
    // A second midnight in one file: the rows after it belong to no second
    // of this file's day, so the file ends there.
    if (std::memcmp(line, kMidnightStamp, 8) == 0) break;
    ScanRow(line, length, &fields);
    keep(fields);
  }
  text.rowCount = n;
}

void ClearText(DataFileText& text) {
  text.outcome = DataFileText::Outcome::Read;
  text.version.clear();
  text.computerName.clear();
  text.unitNumber.clear();
  text.comment.clear();
  for (bool& whole : text.wholeLine) whole = true;
  text.firstRowValid = false;
  text.rowCount = 0;
}

// --- Placing a file on the timeline -------------------------------------


void ReportEntries(FileHistory& h, int level, long long first, long long count, double mean,
                   int comment) {
  if (h.sink != nullptr && count > 0) h.sink->Entries(level, first, count, mean, comment);
}

// The level moves past its current entry.
void Advance(FileHistory& h, int level) {
  TrendLevel& l = h.timeline.levels[level];
  l.written += 1;
  l.writeIndex = l.written % l.capacity;
}

void WriteNoDataEntry(FileHistory& h, int level) {
  TrendLevel& l = h.timeline.levels[level];
  l.meanCount[l.writeIndex] = kNoDataCount;
  h.levelState[level].comment[l.writeIndex] = kNoComment;
}

// Seconds (from, to] pass with no data: each level boundary among them ends
// an entry. The first boundary after a file keeps that file's mean in its
// entry, unless the lead-in day is being read, the level completed entries of
// its own during that file, or nothing was loaded before.
void PassSecondsWithoutData(FileHistory& h, long long from, long long to, bool firstFile) {
  if (to <= from) return;
  for (int level = 0; level < kTrendLevels; ++level) {
    TrendLevel& l = h.timeline.levels[level];
    FileLevelState& state = h.levelState[level];
    long long boundaries = to / l.period - from / l.period;
    if (boundaries <= 0) continue;
    const bool keep = state.fileMeanPending && !h.warmUpDay && !state.completedSinceFirstRow &&
                      !firstFile;
    if (keep) {
      CloseFileMeanEntry(h, level);
      boundaries -= 1;
    }
    state.fileMeanPending = false;
    ReportEntries(h, level, l.written, boundaries, kNoDataCount, kNoComment);
    if (boundaries >= l.capacity) {
      // Every entry of the ring is passed: all of them hold no data.
      std::fill(l.meanCount, l.meanCount + l.capacity, kNoDataCount);
      std::fill(state.comment, state.comment + l.capacity, kNoComment);
      l.written += static_cast<int>(boundaries);
      l.writeIndex = l.written % l.capacity;
    } else {
      for (long long b = 0; b < boundaries; ++b) {
        WriteNoDataEntry(h, level);
        Advance(h, level);
      }
    }
  }
}

// Fills the slots of seconds [from, to) with no data. Only the newest
// seconds of a long gap are written at once: the moving average and the
// 10-second entries read no further back while rows are placed. The rest is
// noted and written when the load ends (MaterialiseGaps), and only where it
// still lies in the last day then: a ten-year load of short files would
// otherwise write the whole ring for every file.
void FillSlotsWithoutData(FileHistory& h, long long from, long long to) {
  constexpr long long kWrittenAtOnce = 3600 + 10;  // the longest average, and one 10-s entry
  if (to <= from) return;
  const long long eagerFrom = std::max(from, to - kWrittenAtOnce);
  for (long long s = eagerFrom; s < to; ++s) {
    const std::size_t k = static_cast<std::size_t>(s % kSecondSlots);
    h.timeline.slots[k].count = kNoDataCount;
    h.timeline.slots[k].average = kNoDataCount;
    h.slotComment[k] = kNoComment;
  }
  if (eagerFrom > from) {
    // Gaps that have left the last day can no longer show.
    auto& gaps = h.pendingGaps;
    gaps.erase(std::remove_if(gaps.begin(), gaps.end(),
                              [to](const SecondRange& g) { return g.to <= to - kSecondSlots; }),
               gaps.end());
    gaps.push_back({std::max(from, to - kSecondSlots), eagerFrom});
  }
}

// Step 10.3: a level boundary right after a row. The mean takes the sources
// of the current file's comment that hold data.
void CompleteEntry(FileHistory& h, int level) {
  TrendLevel& l = h.timeline.levels[level];
  FileLevelState& state = h.levelState[level];
  const int comment = h.currentCommentIndex;
  double sum = 0.0;
  int n = 0;
  if (level == 0) {
    std::size_t k = static_cast<std::size_t>((h.loadedSeconds - l.factor) % kSecondSlots);
    for (int i = 0; i < l.factor; ++i) {
      const double c = h.timeline.slots[k].count;
      if (c >= 0.0 && h.slotComment[k] == comment) {
        sum += c;
        ++n;
      }
      if (++k == kSecondSlots) k = 0;
    }
  } else {
    const TrendLevel& below = h.timeline.levels[level - 1];
    const FileLevelState& belowState = h.levelState[level - 1];
    for (int i = 1; i <= l.factor; ++i) {
      const int k = ((below.writeIndex - i) % below.capacity + below.capacity) % below.capacity;
      const double m = below.meanCount[k];
      if (m >= 0.0 && belowState.comment[k] == comment) {
        sum += m;
        ++n;
      }
    }
  }
  const double mean = n > 0 ? sum / n : kNoDataCount;
  l.meanCount[l.writeIndex] = mean;
  state.comment[l.writeIndex] = comment;
  ReportEntries(h, level, l.written, 1, mean, comment);
  Advance(h, level);
  state.completedThisFile = true;
  state.completedSinceFirstRow = true;
  state.fileMeanPending = false;
}

struct FileTotals {
  double sum = 0.0;
  long long rows = 0;  // rows with data
};

// Step 10 for the rows from `from` on. The slot and the distance to the next
// 10-second boundary are stepped, not divided out, and the running values
// are kept in locals (the slots they are stored beside could alias them),
// for each of a year's 31 million rows. A row without data takes its slot
// and stays out of the sums.
void PlaceRows(FileHistory& h, const DataFileText& text, std::size_t from, FileTotals& totals) {
  const int n = std::clamp(h.averageSeconds, 1, 3600);
  const int comment = h.currentCommentIndex;
  const int firstPeriod = h.timeline.levels[0].period;
  std::size_t k = static_cast<std::size_t>(h.loadedSeconds % kSecondSlots);
  std::size_t leaving = (k + kSecondSlots - static_cast<std::size_t>(n)) % kSecondSlots;
  int toBoundary = firstPeriod - static_cast<int>(h.loadedSeconds % firstPeriod);
  SecondSlot* slots = h.timeline.slots.data();
  std::int32_t* slotComment = h.slotComment.data();
  double windowSum = h.windowSum;
  int windowCount = h.windowCount;
  long long loaded = h.loadedSeconds;
  double fileSum = 0.0;
  long long fileRows = 0;
  for (std::size_t i = from; i < text.rowCount; ++i) {
    SecondSlot& slot = slots[k];
    const double count = text.counts[i];
    slot.count = count;
    slot.missing = text.missing[i];
    slot.power = text.power[i];
    slotComment[k] = comment;
    ++loaded;
    if (count >= 0.0) {
      fileSum += count;
      ++fileRows;
      windowSum += count;
    }
    if (++windowCount > n) {
      windowCount = n;
      const double old = slots[leaving].count;
      if (old >= 0.0) windowSum -= old;
    }
    slot.average = windowSum / windowCount;
    if (++k == kSecondSlots) k = 0;
    if (++leaving == kSecondSlots) leaving = 0;

    if (--toBoundary == 0) {
      toBoundary = firstPeriod;
      h.loadedSeconds = loaded;
      for (int level = 0; level < kTrendLevels; ++level) {
        if (loaded % h.timeline.levels[level].period != 0) break;
        CompleteEntry(h, level);
      }
    }
    if (h.spanLimit > 0 && loaded >= h.spanLimit) {
      h.loadFull = true;
      break;
    }
  }
  h.loadedSeconds = loaded;
  h.windowSum = windowSum;
  h.windowCount = windowCount;
  totals.sum += fileSum;
  totals.rows += fileRows;
}

// A file's first row on its own (see ApplyDataFile), in slot `slot` (-1,
// the ring's last, for a row that ends at the origin: the graph's starting
// point and the cursor's point 0 read it once the window has moved on). It
// enters the moving average and the file's mean.
void PlaceFirstRowAlone(FileHistory& h, const DataFileText& text, long long slot,
                        FileTotals& totals) {
  const int n = std::clamp(h.averageSeconds, 1, 3600);
  const std::size_t k =
      static_cast<std::size_t>((slot % kSecondSlots + kSecondSlots) % kSecondSlots);
  SecondSlot& s = h.timeline.slots[k];
  const double count = text.counts[0];
  s.count = count;
  s.missing = text.missing[0];
  s.power = text.power[0];
  h.slotComment[k] = h.currentCommentIndex;
  if (count >= 0.0) {
    h.windowSum += count;
    totals.sum += count;
    ++totals.rows;
  }
  if (++h.windowCount > n) {
    h.windowCount = n;
    const std::size_t leaving = (k + kSecondSlots - static_cast<std::size_t>(n)) % kSecondSlots;
    const double old = h.timeline.slots[leaving].count;
    if (old >= 0.0) h.windowSum -= old;
  }
  s.average = h.windowSum / h.windowCount;
}

// The moving average goes on across a gap of a second: that slot, without
// data, enters the window, and the oldest slot leaves it (otherwise its
// count would stay in the running sum for the rest of the load).
void MoveWindowAcrossGap(FileHistory& h, long long from, long long gap) {
  const int n = std::clamp(h.averageSeconds, 1, 3600);
  for (long long s = from; s < from + gap; ++s) {
    if (++h.windowCount <= n) continue;
    h.windowCount = n;
    const long long leaving = ((s - n) % kSecondSlots + kSecondSlots) % kSecondSlots;
    const double old = h.timeline.slots[static_cast<std::size_t>(leaving)].count;
    if (old >= 0.0) h.windowSum -= old;
  }
}

// Where a file lies on the timeline. A row stamped T stands for the second
// that ends at T, so it fills the slot that begins at T - 1: slot s of a load
// holds the row stamped origin + s + 1, which is where the trend graph and
// the cursor show it. The writer stamps a file's first row with the second
// in which it made the file or with the next one; a first row stamped later
// than that leaves the seconds before it without data.
struct FilePlacement {
  ClockSeconds start = 0;      // the name's time
  ClockSeconds firstSlot = 0;  // where the file's first slot begins
  long long leadSlots = 0;     // slots without data before the first row
};

FilePlacement PlaceFile(const DataFileText& text, ClockSeconds start) {
  FilePlacement p;
  p.start = p.firstSlot = start;
  if (!text.firstRowValid) return p;
  const long long late = text.firstRowSecondOfDay - NameSecondOfDay(text);
  if (late == 0) p.firstSlot = start - 1;  // the row ends the second before the name's time
  if (late > 1) p.leadSlots = late - 1;
  return p;
}

// How a file meets what the load holds so far, which ends at `free` (the
// previous file's end, or the origin).
struct FileFit {
  bool skipped = false;       // it starts before the previous file ended: not loaded
  ClockSeconds rowsFrom = 0;  // where its slots begin
  long long gap = 0;          // slots without data between free and rowsFrom
  // A first row stamped with the name's own time whose second is already
  // held: the second before the origin for the first file (the row goes
  // there, alone), the previous file's last second otherwise (that file
  // keeps its row).
  bool dropFirstRow = false;
  // The first row of a file that begins with it (step 9) and does not follow
  // on from the previous file's rows completes no level entry: the levels
  // pass its second as part of the gap, so that a file starting where a
  // period ends leaves no period of a single row behind it.
  bool firstRowAlone = false;
};

FileFit FitFile(const FilePlacement& place, const DataFileText& text, ClockSeconds free,
                bool firstFile) {
  FileFit fit;
  fit.skipped = place.start < free;
  const bool held = place.firstSlot < free;
  fit.dropFirstRow = held && !firstFile;
  fit.rowsFrom = std::max(place.firstSlot, free);
  fit.gap = fit.rowsFrom - free;
  fit.firstRowAlone = text.firstRowValid && text.rowCount > 0 && place.leadSlots == 0 &&
                      !fit.dropFirstRow && (firstFile || fit.gap > 0);
  return fit;
}

// Step 11: the lead-in day is read; the window starts a day later.
void DiscardLeadInDay(FileHistory& h) {
  MaterialiseGaps(h);
  h.origin += kSecondSlots;
  h.loadedSeconds -= kSecondSlots;
  h.warmUpConsumed = true;
  h.warmUpDay = false;
  if (h.spanLimit > 0) h.spanLimit -= kSecondSlots;
  h.files.clear();
  // The slots ahead of the window hold the lead-in day; its last N + 1
  // seconds stay, for the graph's starting point and the moving average.
  const long long keepFrom = kSecondSlots - 1 - std::clamp(h.averageSeconds, 1, 3600);
  for (long long s = h.loadedSeconds; s < keepFrom; ++s) {
    h.timeline.slots[static_cast<std::size_t>(s)].count = kNoDataCount;
    h.timeline.slots[static_cast<std::size_t>(s)].average = kNoDataCount;
    h.slotComment[static_cast<std::size_t>(s)] = kNoComment;
  }
  for (int level = 0; level < kTrendLevels; ++level) {
    TrendLevel& l = h.timeline.levels[level];
    FileLevelState& state = h.levelState[level];
    const int day = kSecondSlots / l.period;
    const int shift = day % l.capacity;
    std::rotate(l.meanCount, l.meanCount + shift, l.meanCount + l.capacity);
    std::rotate(state.comment, state.comment + shift, state.comment + l.capacity);
    l.written = std::max(0, l.written - day);
    l.writeIndex = l.written % l.capacity;
    if (l.written < l.capacity) {
      std::fill(l.meanCount + l.written, l.meanCount + l.capacity, kNoDataCount);
      std::fill(state.comment + l.written, state.comment + l.capacity, kNoComment);
    }
  }
}

// A filter matches the whole header line.
bool Passes(const std::string& filter, const std::string& value, bool whole) {
  return filter.empty() || (whole && filter == value);
}

}  // namespace

const char* NameErrorTitle(NameField field) {
  for (const FieldRule& rule : kNameRules) {
    if (rule.field == field) return rule.title;
  }
  return kNameFormTitle;
}

DataFileText::DataFileText() : counts(kSecondSlots), missing(kSecondSlots), power(kSecondSlots) {}

void ReadDataFile(const std::string& path, DataFileText& text) {
  if (!CheckDataFileName(path, text)) {
    ClearText(text);
    text.outcome = DataFileText::Outcome::BadName;
    return;
  }
  std::size_t size = 0;
  // The header's texts are the only other memory a file takes; a file the
  // memory cannot hold is one that cannot be opened, on whichever thread.
  try {
    if (ReadWholeFile(path, text.bytes, &size, kDataFileMaxBytes)) {
      ParseDataFileBytes(text.bytes.data(), size, text);
      return;
    }
  } catch (const std::bad_alloc&) {
  }
  ClearText(text);
  text.outcome = DataFileText::Outcome::CannotOpen;
}

bool FirstShowingHolds(ClockSeconds start, int nameSecondOfDay, int lastRowSecondOfDay,
                       const Clock& clock) {
  // A file's labels run on second by second; placed at the first showing,
  // its last row must still carry the local time of its second.
  const CalendarTime c = clock.Local(start + (lastRowSecondOfDay - nameSecondOfDay));
  return c.hour * kSecondsPerHour + c.minute * 60 + c.second == lastRowSecondOfDay;
}

ClockSeconds FileStartTime(const DataFileText& text, const Clock& clock,
                           ClockSeconds notBefore) {
  ClockSeconds showings[2] = {};
  const int n = LocalInstants(clock, text.year, text.month, text.day, text.hour, text.minute,
                              text.second, showings);
  // A time the spring change skips names no instant; the C library's
  // reading of it is as good as any.
  if (n == 0) {
    return clock.FromLocal(text.year, text.month, text.day, text.hour, text.minute, text.second);
  }
  if (n == 1) return showings[0];
  const bool rows = text.firstRowValid && text.rowCount > 0;
  const int last = text.firstRowSecondOfDay + static_cast<int>(text.rowCount) - 1;
  const bool firstHolds =
      !rows || FirstShowingHolds(showings[0], NameSecondOfDay(text), last, clock);
  return firstHolds && showings[0] >= notBefore ? showings[0] : showings[1];
}

bool LastRowLabel(const std::string& path, int* secondOfDay) {
  // A row is at most a few dozen bytes; the file's last ones are enough.
  constexpr long kTailBytes = 256;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  const long size = std::fseek(f, 0, SEEK_END) == 0 ? std::ftell(f) : -1;
  std::string tail(kTailBytes, '\0');
  const long from = size > kTailBytes ? size - kTailBytes : 0;
  tail.resize(size >= 0 && std::fseek(f, from, SEEK_SET) == 0
                  ? std::fread(tail.data(), 1, tail.size(), f)
                  : 0);
  std::fclose(f);
  std::size_t end = tail.size();
  while (end > 0 && (tail[end - 1] == '\n' || tail[end - 1] == '\r')) --end;
  const std::size_t lineEnd = tail.rfind('\n', end == 0 ? 0 : end - 1);
  const std::size_t at = lineEnd == std::string::npos ? 0 : lineEnd + 1;
  // "hh:mm:ss," begins a row.
  if (at + 9 > end || tail[at + 2] != ':' || tail[at + 5] != ':' || tail[at + 8] != ',') {
    return false;
  }
  int digits[6];
  const std::size_t places[6] = {0, 1, 3, 4, 6, 7};
  for (int i = 0; i < 6; ++i) {
    const char c = tail[at + places[i]];
    if (c < '0' || c > '9') return false;
    digits[i] = c - '0';
  }
  *secondOfDay = (digits[0] * 10 + digits[1]) * kSecondsPerHour +
                 (digits[2] * 10 + digits[3]) * 60 + digits[4] * 10 + digits[5];
  return true;
}

void ParseDataFileBytes(const char* data, std::size_t size, DataFileText& text) {
  ClearText(text);
  Lines lines(data, size);
  const char* line = nullptr;
  std::size_t length = 0;
  if (lines.Next(&line, &length)) text.version.assign(line, length);
  if (text.version != kVersion1 && text.version != kVersion2) {
    text.outcome = DataFileText::Outcome::BadVersion;
    return;
  }
  std::string* header[] = {&text.computerName, &text.unitNumber, &text.comment};
  for (std::size_t i = 0; i < std::size(header); ++i) {
    if (lines.Next(&line, &length)) *header[i] = HeaderText(line, length, &text.wholeLine[i]);
  }
  lines.Next(&line, &length);  // the column titles
  ReadRows(lines, text);
}

void ApplyDataFile(FileHistory& h, const DataFileText& text, const ReaderEnv& env) {
  switch (text.outcome) {
    case DataFileText::Outcome::BadName:
      env.messages.ShowOver(nullptr, NameErrorTitle(text.badField), kNotDataFileText);
      return;
    case DataFileText::Outcome::CannotOpen:
      env.messages.ShowOver(nullptr, kCannotOpenTitle, kCannotOpenText);
      return;
    case DataFileText::Outcome::BadVersion:
      env.messages.ShowOver(nullptr, kBadVersionTitle, kNotDataFileText);
      return;
    case DataFileText::Outcome::Read:
      break;
  }
  // Steps 3-4.
  h.shownVersion = text.version;
  const HeaderFilters& f = h.filters;
  if (!Passes(f.computerName, text.computerName, text.wholeLine[0]) ||
      !Passes(f.unitNumber, text.unitNumber, text.wholeLine[1]) ||
      !Passes(f.comment, text.comment, text.wholeLine[2])) {
    return;
  }
  // Step 5.
  FileEntry entry;
  std::memcpy(entry.name, text.name, sizeof entry.name);
  entry.computerName = text.computerName;
  entry.unitNumber = text.unitNumber;
  entry.comment = text.comment;
  entry.commentIndex = h.distinctComments.IndexOf(text.comment);
  entry.colourIndex = CommentTable::ColourOf(entry.commentIndex);

  // Step 6: placement, from where the previous file ended (or the origin).
  const bool firstFile = h.files.empty();
  const FilePlacement place = PlaceFile(
      text, FileStartTime(text, env.clock, firstFile ? INT64_MIN : h.files.back().endTime));
  entry.startTime = place.start;
  // A load that starts with its first file (a direct choice) starts where
  // that file's first slot does, so that its first row shows too.
  if (firstFile && h.origin == 0) h.origin = place.firstSlot;
  const FileFit fit =
      FitFile(place, text, firstFile ? h.origin : h.files.back().endTime, firstFile);
  if (fit.skipped) return;

  const int previousComment = firstFile ? kNoComment : h.files.back().commentIndex;
  h.currentCommentIndex = entry.commentIndex;
  for (FileLevelState& state : h.levelState) state.completedThisFile = false;
  FileTotals totals;
  bool placed = false;
  bool reachedLimit = h.spanLimit > 0 && h.loadedSeconds + fit.gap >= h.spanLimit;
  if (!reachedLimit) {
    FillSlotsWithoutData(h, h.loadedSeconds, h.loadedSeconds + fit.gap);
    if (firstFile || fit.gap > 1 || previousComment != entry.commentIndex) {
      h.windowSum = 0.0;
      h.windowCount = 0;
    } else {
      MoveWindowAcrossGap(h, h.loadedSeconds, fit.gap);
    }
    const long long oldLoaded = h.loadedSeconds;
    h.loadedSeconds = fit.rowsFrom - h.origin;
    const long long firstRowSlot = place.firstSlot - h.origin;
    const long long levelsTo =
        fit.firstRowAlone ? std::max(firstRowSlot + 1, h.loadedSeconds) : h.loadedSeconds;
    reachedLimit = h.spanLimit > 0 && levelsTo >= h.spanLimit;
    if (!reachedLimit) {
      placed = true;
      PassSecondsWithoutData(h, oldLoaded, levelsTo, firstFile);
      // Steps 8-10.
      if (text.firstRowValid) {
        if (place.leadSlots > 0) {
          FillSlotsWithoutData(h, h.loadedSeconds, h.loadedSeconds + place.leadSlots);
          PassSecondsWithoutData(h, h.loadedSeconds, h.loadedSeconds + place.leadSlots,
                                 firstFile);
          h.loadedSeconds += place.leadSlots;
        }
        for (FileLevelState& state : h.levelState) state.completedSinceFirstRow = false;
        std::size_t from = fit.dropFirstRow ? 1 : 0;
        if (fit.firstRowAlone) {
          PlaceFirstRowAlone(h, text, firstRowSlot, totals);
          h.loadedSeconds = levelsTo;
          from = 1;
        }
        PlaceRows(h, text, from, totals);
      }
    }
  }
  if (reachedLimit) h.loadFull = true;
  // Step 13 (the time the file's last slot ends; origin and loadedSeconds
  // move together in step 11).
  entry.endTime = placed ? h.origin + h.loadedSeconds : place.start;

  // Step 11.
  if (h.warmUpDay && h.loadedSeconds >= kSecondSlots) DiscardLeadInDay(h);
  // Step 12: the file's mean in the current entry of every level.
  if (totals.rows > 0) {
    const double mean = totals.sum / static_cast<double>(totals.rows);
    for (int level = 0; level < kTrendLevels; ++level) {
      TrendLevel& l = h.timeline.levels[level];
      FileLevelState& state = h.levelState[level];
      l.meanCount[l.writeIndex] = mean;
      state.comment[l.writeIndex] = h.currentCommentIndex;
      state.fileMeanPending = true;
      state.fileMean = mean;
      state.fileMeanComment = h.currentCommentIndex;
    }
  }
  h.files.push_back(std::move(entry));
  // Step 14.
  const int maxFiles = h.fileLimit > 0 ? std::min(h.fileLimit, kMaxLoadedFiles) : kMaxLoadedFiles;
  if (static_cast<int>(h.files.size()) >= maxFiles) h.loadFull = true;
  if (h.spanLimit > 0 && !h.warmUpDay && h.loadedSeconds > h.spanLimit + 1) {
    h.loadedSeconds = h.spanLimit + 1;
    for (TrendLevel& l : h.timeline.levels) {
      l.written = static_cast<int>(h.spanLimit / l.period);
      l.writeIndex = l.written % l.capacity;
    }
  }
  // Step 15: while a level's ring is full, a file's mean in its open entry
  // at ring entry 0 would show as the ring's oldest point; that entry shows
  // no data until the level closes it, which writes the mean back. Entries
  // the files completed are left as they are.
  for (int level = 0; level < kTrendLevels; ++level) {
    TrendLevel& l = h.timeline.levels[level];
    FileLevelState& state = h.levelState[level];
    if (l.written >= l.capacity && l.writeIndex == 0 && state.fileMeanPending) {
      l.meanCount[0] = kNoDataCount;
      state.comment[0] = kNoComment;
    }
  }
}

void LoadDataFile(FileHistory& h, const std::string& path, const ReaderEnv& env) {
  DataFileText& text = h.readBuffers[0];
  ReadDataFile(path, text);
  ApplyDataFile(h, text, env);
}

}  // namespace velrix
