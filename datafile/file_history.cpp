#include "datafile/file_history.h"

#include <algorithm>

#include "datafile/data_file_reader.h"
#include "platform/file_bytes.h"

namespace velrix {

CommentTable::CommentTable() {
  comments_.reserve(kMaxLoadedFiles);
  indexOf_.reserve(kMaxLoadedFiles);
}

int CommentTable::IndexOf(const std::string& comment) {
  const auto found = indexOf_.find(comment);
  if (found != indexOf_.end()) return found->second;
  const int index = size();
  comments_.push_back(comment);
  indexOf_.emplace(comment, index);
  return index;
}

FileHistory::FileHistory()
    : slotComment(kSecondSlots, kNoComment), readBuffers(std::make_unique<DataFileText[]>(kReadBuffers)) {
  files.reserve(kMaxLoadedFiles);
  ResetFileHistory(*this);
}

FileHistory::~FileHistory() = default;

void ResetFileHistory(FileHistory& h) {
  for (SecondSlot& slot : h.timeline.slots) {
    slot.count = kNoDataCount;
    slot.average = kNoDataCount;
  }
  std::fill(h.slotComment.begin(), h.slotComment.end(), kNoComment);
  for (int level = 0; level < kTrendLevels; ++level) {
    TrendLevel& l = h.timeline.levels[level];
    std::fill(l.meanCount, l.meanCount + kTrendLevelMaxEntries, kNoDataCount);
    l.written = 0;
    l.writeIndex = 0;
    h.levelState[level] = FileLevelState{};
    std::fill(h.levelState[level].comment, h.levelState[level].comment + kTrendLevelMaxEntries,
              kNoComment);
  }
  h.files.clear();
  h.loadedSeconds = 0;
  h.currentCommentIndex = kNoComment;
  h.warmUpDay = false;
  h.warmUpConsumed = false;
  h.spanLimit = 0;
  h.windowSum = 0.0;
  h.windowCount = 0;
  h.pendingGaps.clear();
}

void MaterialiseGaps(FileHistory& h) {
  const long long oldest = h.loadedSeconds - kSecondSlots;
  for (const SecondRange& gap : h.pendingGaps) {
    for (long long s = std::max(gap.from, oldest); s < gap.to; ++s) {
      const std::size_t k = static_cast<std::size_t>(((s % kSecondSlots) + kSecondSlots) % kSecondSlots);
      h.timeline.slots[k].count = kNoDataCount;
      h.timeline.slots[k].average = kNoDataCount;
      h.slotComment[k] = kNoComment;
    }
  }
  h.pendingGaps.clear();
}

void CloseFileMeanEntry(FileHistory& h, int level) {
  TrendLevel& l = h.timeline.levels[level];
  FileLevelState& state = h.levelState[level];
  if (state.fileMeanPending) {
    // Written back: a full ring's entry 0 may have been cleared meanwhile.
    l.meanCount[l.writeIndex] = state.fileMean;
    state.comment[l.writeIndex] = state.fileMeanComment;
    state.fileMeanPending = false;
  }
  if (h.sink != nullptr) {
    h.sink->Entries(level, l.written, 1, l.meanCount[l.writeIndex], state.comment[l.writeIndex]);
  }
  l.written += 1;
  l.writeIndex = l.written % l.capacity;
}

void FinishLoad(FileHistory& h) {
  MaterialiseGaps(h);
  // The load's read buffers go back: they grew to its largest file.
  for (int i = 0; i < kReadBuffers; ++i) ReleaseBuffer(h.readBuffers[i].bytes);
  if (h.files.empty()) return;
  for (int level = 0; level < kTrendLevels; ++level) {
    if (!h.levelState[level].completedThisFile) CloseFileMeanEntry(h, level);
  }
}

int FileAtSecond(const FileHistory& h, long long t) {
  if (h.files.empty()) return -1;
  // The files are in time order: the last one starting at or before t.
  const auto after = std::upper_bound(
      h.files.begin(), h.files.end(), t,
      [&h](long long second, const FileEntry& f) { return second < f.startTime - h.origin; });
  if (after == h.files.begin()) return static_cast<int>(h.files.size()) - 1;
  return static_cast<int>(after - h.files.begin()) - 1;
}

}  // namespace velrix
