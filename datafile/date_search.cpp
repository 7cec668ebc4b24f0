#include "datafile/date_search.h"

#include <algorithm>
#include <vector>

#include "datafile/read_ahead.h"
#include "platform/c_format.h"
#include "platform/file_bytes.h"
#include "settings/settings.h"

namespace velrix {
namespace {

constexpr std::size_t kSeparatorAt = 6;
constexpr std::size_t kExtensionAt = 13;
constexpr char kExtension[] = ".csv";
constexpr int kLastDayOfMonth = 31;
constexpr int kLongestSpan = kTrendSpans - 1;

int TwoDigits(const std::string& s, std::size_t at) {
  const char a = s[at], b = s[at + 1];
  if (a < '0' || a > '9' || b < '0' || b > '9') return -1;
  return (a - '0') * 10 + (b - '0');
}

std::vector<std::string> SortedNames(const std::string& folder) {
  std::vector<std::string> names = ListFolder(folder);
  std::sort(names.begin(), names.end());
  return names;
}

std::string Join(const std::string& folder, const std::string& name) {
  return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

// A day's candidate names in the order of their seconds. Only names in the
// hour an autumn change repeats can stand out of name order. Such a file
// began after the change when its rows could not have been written before
// it (their labels run past the repeated hour), or when it begins, at its
// second showing, the second after another file of the day ended: the
// writer begins the new file at the change itself.
void InTimeOrder(std::vector<std::string>* names, const std::string& folder, int year,
                 int month, int day, const Clock& clock) {
  struct Candidate {
    std::string name;
    int nameSecond = 0;
    int showingCount = 0;
    ClockSeconds showings[2] = {};
    bool hasLast = false;
    int last = 0;
    ClockSeconds at = 0;
    bool second = false;  // at its second showing
  };
  std::vector<Candidate> files;
  bool anyRepeated = false;
  for (const std::string& name : *names) {
    Candidate c;
    c.name = name;
    const int hh = TwoDigits(name, 7), mi = TwoDigits(name, 9), ss = TwoDigits(name, 11);
    c.nameSecond = SecondOfDay(hh, mi, ss);
    c.showingCount = LocalInstants(clock, year, month, day, hh, mi, ss, c.showings);
    c.at = c.showingCount > 0 ? c.showings[0] : clock.FromLocal(year, month, day, hh, mi, ss);
    anyRepeated = anyRepeated || c.showingCount == 2;
    files.push_back(c);
  }
  if (!anyRepeated) return;
  for (Candidate& c : files) {
    c.hasLast = LastRowLabel(Join(folder, c.name), &c.last);
    c.second = c.showingCount == 2 && c.hasLast &&
               !FirstShowingHolds(c.showings[0], c.nameSecond, c.last, clock);
  }
  std::vector<bool> continues(files.size(), false);
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (files[i].showingCount != 2 || files[i].second) continue;
    for (const Candidate& g : files) {
      if (&g == &files[i] || !g.hasLast) continue;
      const ClockSeconds gStart = g.second ? g.showings[1] : g.at;
      if (gStart + (g.last - g.nameSecond) + 1 == files[i].showings[1]) continues[i] = true;
    }
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (files[i].second || continues[i]) files[i].at = files[i].showings[1];
  }
  std::stable_sort(files.begin(), files.end(),
                   [](const Candidate& a, const Candidate& b) { return a.at < b.at; });
  for (std::size_t i = 0; i < files.size(); ++i) (*names)[i] = files[i].name;
}

}  // namespace

bool CandidateName(const std::string& name, int year, int month, int day, int h0, int m0,
                   int h1, int m1) {
  if (name.empty() || name[0] == '.') return false;
  if (name.size() != kExtensionAt + 4 || name[kSeparatorAt] != '-' ||
      name.compare(kExtensionAt, 4, kExtension) != 0) {
    return false;
  }
  const int yy = TwoDigits(name, 0), mm = TwoDigits(name, 2), dd = TwoDigits(name, 4);
  if (yy < 0 || yy + 2000 != year || mm != month || dd != day) return false;
  const int hh = TwoDigits(name, 7), mi = TwoDigits(name, 9);
  if (hh < 0 || mi < 0 || hh < h0 || hh > h1) return false;
  if (hh == h0 && mi < m0) return false;
  if (hh == h1 && mi > m1) return false;
  return true;
}

void ForEachCandidate(const SearchPlace& place, const ConditionRange& r,
                      const std::function<bool(const std::string& path)>& take,
                      const Clock* clock) {
  const bool oneFolder = !place.searchFolder.empty();
  const std::vector<std::string> folderNames =
      oneFolder ? SortedNames(place.searchFolder) : std::vector<std::string>{};
  for (int y = r.startYear; y <= r.endYear; ++y) {
    const std::string yearFolder = place.dataFolder + CFormatString("/%4d", y);
    // A missing year or month has no day to look at: skip it whole.
    if (!oneFolder && !IsFolder(yearFolder)) continue;
    const int firstMonth = y == r.startYear ? r.startMonth : 1;
    const int lastMonth = y == r.endYear ? r.endMonth : 12;
    for (int m = firstMonth; m <= lastMonth; ++m) {
      const std::string monthFolder = yearFolder + CFormatString("/%02d", m);
      if (!oneFolder && !IsFolder(monthFolder)) continue;
      const bool startMonth = y == r.startYear && m == r.startMonth;
      const bool endMonth = y == r.endYear && m == r.endMonth;
      const int firstDay = startMonth ? r.startDay : 1;
      const int lastDay = endMonth ? r.endDay : kLastDayOfMonth;
      for (int d = firstDay; d <= lastDay; ++d) {
        const bool startDate = startMonth && d == r.startDay;
        const bool endDate = endMonth && d == r.endDay;
        const int h0 = startDate ? r.startHour : 0, m0 = startDate ? r.startMinute : 0;
        const int h1 = endDate ? r.endHour : kEndOfDayHour;
        const int m1 = endDate ? r.endMinute : kEndOfHourMinute;
        const std::string dayFolder =
            oneFolder ? place.searchFolder : monthFolder + CFormatString("/%02d", d);
        std::vector<std::string> names;
        for (const std::string& name : oneFolder ? folderNames : SortedNames(dayFolder)) {
          if (CandidateName(name, y, m, d, h0, m0, h1, m1)) names.push_back(name);
        }
        if (clock != nullptr) InTimeOrder(&names, dayFolder, y, m, d, *clock);
        for (const std::string& name : names) {
          if (!take(Join(dayFolder, name))) return;
        }
      }
    }
  }
}

int SearchDates(FileHistory& h, const SearchPlace& place, const ConditionRange& range,
                const ReaderEnv& env) {
  // The next files are read and parsed on a second core while this thread
  // places the one before in time order.
  ReadAhead ahead(h.readBuffers.get(), kReadBuffers,
                  [&place, &range, &env](const std::function<bool(const std::string&)>& offer) {
                    ForEachCandidate(place, range, offer, &env.clock);
                  });
  if (ahead.Running()) {
    while (const DataFileText* text = ahead.Next()) {
      ApplyDataFile(h, *text, env);
      ahead.Release();
      if (h.loadFull) break;
    }
  } else {
    ForEachCandidate(
        place, range,
        [&](const std::string& path) {
          LoadDataFile(h, path, env);
          return !h.loadFull;
        },
        &env.clock);
  }
  return static_cast<int>(h.files.size());
}

int RunConditionSearch(FileHistory& h, const SearchPlace& place, const ConditionRange& range,
                       const ReaderEnv& env) {
  h.origin = env.clock.FromLocal(range.startYear, range.startMonth, range.startDay,
                                 range.startHour, range.startMinute, 0);
  h.fileLimit = 0;
  ResetFileHistory(h);
  h.loadFull = false;
  const int loaded = SearchDates(h, place, range, env);
  FinishLoad(h);
  return loaded;
}

int SpanForLoadedSeconds(long long loadedSeconds) {
  for (int span = 0; span < kLongestSpan; ++span) {
    if (kTrendSpanSeconds[span] > loadedSeconds) return span;
  }
  return kLongestSpan;
}

}  // namespace velrix
