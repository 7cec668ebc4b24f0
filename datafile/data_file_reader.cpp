#include "datafile/data_file_reader.h"

#include <algorithm>
#include <cstring>

#include "settings/settings.h"

namespace velrix {
namespace {

// N of the moving average, within the settings' range whatever the history
// was given: a wider window than the ring would read slots twice.
int AverageWindow(const FileHistory& h) {
  return std::clamp(h.averageSeconds, kMinAverageSeconds, kMaxAverageSeconds);
}

bool ReachesSpanLimit(const FileHistory& h, long long seconds) {
  return h.spanLimit > 0 && seconds >= h.spanLimit;
}

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
  // The longest average, and one 10-second entry.
  constexpr long long kWrittenAtOnce = kMaxAverageSeconds + kTrendLevelShapes[0].period;
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

// A level boundary right after a row. The mean takes the sources
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

// The rows from `from` on, each into its slot and the moving average, with
// the level entries each boundary completes. The slot and the distance to the next
// 10-second boundary are stepped, not divided out, and the running values
// are kept in locals (the slots they are stored beside could alias them),
// for each of a year's 31 million rows. A row without data takes its slot
// and stays out of the sums.
void PlaceRows(FileHistory& h, const DataFileText& text, std::size_t from, FileTotals& totals) {
  const int n = AverageWindow(h);
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
  const int n = AverageWindow(h);
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
  const int n = AverageWindow(h);
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
  // The first row of a file that begins with it (no lead slots) and does
  // not follow on from the previous file's rows completes no level entry:
  // the levels pass its second as part of the gap, so that a file starting
  // where a period ends leaves no period of a single row behind it.
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

// The lead-in day is read; the window starts a day later.
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
  const long long keepFrom = kSecondSlots - 1 - AverageWindow(h);
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

// A file that cannot be read at all is reported, standing alone; true then.
bool ReportUnusable(const DataFileText& text, const ReaderEnv& env) {
  switch (text.outcome) {
    case DataFileText::Outcome::BadName:
      env.messages.ShowOver(nullptr, NameErrorTitle(text.badField), kNotDataFileText);
      return true;
    case DataFileText::Outcome::CannotOpen:
      env.messages.ShowOver(nullptr, kSystemErrorTitle, kCannotOpenText);
      return true;
    case DataFileText::Outcome::BadVersion:
      env.messages.ShowOver(nullptr, kBadVersionTitle, kNotDataFileText);
      return true;
    case DataFileText::Outcome::Read:
      break;
  }
  return false;
}

bool PassesFilters(const HeaderFilters& f, const DataFileText& text) {
  return Passes(f.computerName, text.computerName, text.wholeLine[0]) &&
         Passes(f.unitNumber, text.unitNumber, text.wholeLine[1]) &&
         Passes(f.comment, text.comment, text.wholeLine[2]);
}

// The file as the load lists it, its comment's colour found or given.
FileEntry NewFileEntry(FileHistory& h, const DataFileText& text) {
  FileEntry entry;
  std::memcpy(entry.name, text.name, sizeof entry.name);
  entry.computerName = text.computerName;
  entry.unitNumber = text.unitNumber;
  entry.comment = text.comment;
  entry.commentIndex = h.distinctComments.IndexOf(text.comment);
  entry.colourIndex = CommentTable::ColourOf(entry.commentIndex);
  return entry;
}

// Where the levels stand when the file's rows begin: past a first row that
// is placed alone (see FileFit).
long long LevelsAtFirstRow(const FileHistory& h, const FilePlacement& place, const FileFit& fit) {
  const long long firstRowSlot = place.firstSlot - h.origin;
  return fit.firstRowAlone ? std::max(firstRowSlot + 1, h.loadedSeconds) : h.loadedSeconds;
}

// The gap before the file: its slots hold no data, the moving average goes
// on across a gap of at most a second under the same comment and starts
// afresh otherwise, and the levels pass the gap's boundaries. False when the
// span limit is reached first.
bool PassGapBeforeFile(FileHistory& h, const FilePlacement& place, const FileFit& fit,
                       bool firstFile, int previousComment) {
  if (ReachesSpanLimit(h, h.loadedSeconds + fit.gap)) return false;
  FillSlotsWithoutData(h, h.loadedSeconds, h.loadedSeconds + fit.gap);
  if (firstFile || fit.gap > 1 || previousComment != h.currentCommentIndex) {
    h.windowSum = 0.0;
    h.windowCount = 0;
  } else {
    MoveWindowAcrossGap(h, h.loadedSeconds, fit.gap);
  }
  const long long oldLoaded = h.loadedSeconds;
  h.loadedSeconds = fit.rowsFrom - h.origin;
  const long long levelsTo = LevelsAtFirstRow(h, place, fit);
  if (ReachesSpanLimit(h, levelsTo)) return false;
  PassSecondsWithoutData(h, oldLoaded, levelsTo, firstFile);
  return true;
}

// The file's rows: the seconds before a late first row without data, the
// first row alone where it begins the file on its own, then the rest.
void PlaceFileRows(FileHistory& h, const DataFileText& text, const FilePlacement& place,
                   const FileFit& fit, bool firstFile, FileTotals& totals) {
  if (!text.firstRowValid) return;
  const long long levelsTo = LevelsAtFirstRow(h, place, fit);
  if (place.leadSlots > 0) {
    FillSlotsWithoutData(h, h.loadedSeconds, h.loadedSeconds + place.leadSlots);
    PassSecondsWithoutData(h, h.loadedSeconds, h.loadedSeconds + place.leadSlots, firstFile);
    h.loadedSeconds += place.leadSlots;
  }
  for (FileLevelState& state : h.levelState) state.completedSinceFirstRow = false;
  std::size_t from = fit.dropFirstRow ? 1 : 0;
  if (fit.firstRowAlone) {
    PlaceFirstRowAlone(h, text, place.firstSlot - h.origin, totals);
    h.loadedSeconds = levelsTo;
    from = 1;
  }
  PlaceRows(h, text, from, totals);
}

// The file's mean stands in the current entry of every level until a
// boundary closes it.
void KeepFileMean(FileHistory& h, const FileTotals& totals) {
  if (totals.rows == 0) return;
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

// The file limit ends the load; a span limit that the file ran past cuts
// the timeline back to it.
void ApplyLimits(FileHistory& h) {
  const int maxFiles = h.fileLimit > 0 ? std::min(h.fileLimit, kMaxLoadedFiles) : kMaxLoadedFiles;
  if (static_cast<int>(h.files.size()) >= maxFiles) h.loadFull = true;
  if (h.spanLimit > 0 && !h.warmUpDay && h.loadedSeconds > h.spanLimit + 1) {
    h.loadedSeconds = h.spanLimit + 1;
    for (TrendLevel& l : h.timeline.levels) {
      l.written = static_cast<int>(h.spanLimit / l.period);
      l.writeIndex = l.written % l.capacity;
    }
  }
}

// While a level's ring is full, a file's mean in its open entry at ring
// entry 0 would show as the ring's oldest point; that entry shows no data
// until the level closes it, which writes the mean back. Entries the files
// completed are left as they are.
void HideOpenEntryAtRingStart(FileHistory& h) {
  for (int level = 0; level < kTrendLevels; ++level) {
    TrendLevel& l = h.timeline.levels[level];
    FileLevelState& state = h.levelState[level];
    if (l.written >= l.capacity && l.writeIndex == 0 && state.fileMeanPending) {
      l.meanCount[0] = kNoDataCount;
      state.comment[0] = kNoComment;
    }
  }
}

}  // namespace

bool FirstShowingHolds(ClockSeconds start, int nameSecondOfDay, int lastRowSecondOfDay,
                       const Clock& clock) {
  // A file's labels run on second by second; placed at the first showing,
  // its last row must still carry the local time of its second.
  const CalendarTime c = clock.Local(start + (lastRowSecondOfDay - nameSecondOfDay));
  return SecondOfDay(c) == lastRowSecondOfDay;
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

void ApplyDataFile(FileHistory& h, const DataFileText& text, const ReaderEnv& env) {
  if (ReportUnusable(text, env)) return;
  h.shownVersion = text.version;
  if (!PassesFilters(h.filters, text)) return;
  FileEntry entry = NewFileEntry(h, text);

  // Where the file lies: from where the previous file ended, or the origin.
  // A load that starts with its first file (a direct choice) starts where
  // that file's first slot does, so that its first row shows too.
  const bool firstFile = h.files.empty();
  const FilePlacement place = PlaceFile(
      text, FileStartTime(text, env.clock, firstFile ? INT64_MIN : h.files.back().endTime));
  entry.startTime = place.start;
  if (firstFile && h.origin == 0) h.origin = place.firstSlot;
  const FileFit fit =
      FitFile(place, text, firstFile ? h.origin : h.files.back().endTime, firstFile);
  if (fit.skipped) return;

  const int previousComment = firstFile ? kNoComment : h.files.back().commentIndex;
  h.currentCommentIndex = entry.commentIndex;
  for (FileLevelState& state : h.levelState) state.completedThisFile = false;
  FileTotals totals;
  const bool placed = PassGapBeforeFile(h, place, fit, firstFile, previousComment);
  if (placed) {
    PlaceFileRows(h, text, place, fit, firstFile, totals);
  } else {
    h.loadFull = true;
  }
  // Where the file's last slot ends (origin and loadedSeconds move together
  // when the lead-in day goes).
  entry.endTime = placed ? h.origin + h.loadedSeconds : place.start;
  if (h.warmUpDay && h.loadedSeconds >= kSecondSlots) DiscardLeadInDay(h);
  KeepFileMean(h, totals);
  h.files.push_back(std::move(entry));
  ApplyLimits(h);
  HideOpenEntryAtRingStart(h);
}

void LoadDataFile(FileHistory& h, const std::string& path, const ReaderEnv& env) {
  DataFileText& text = h.readBuffers[0];
  ReadDataFile(path, text);
  ApplyDataFile(h, text, env);
}

}  // namespace velrix
