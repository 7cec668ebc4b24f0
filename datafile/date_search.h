#pragma once
// The search of the dated folder tree for the files of a condition range:
// every day of the range, in date order, each day's folder in name order,
// each file whose name lies in the range loaded until the history is full.

#include <functional>
#include <string>

#include "datafile/condition_range.h"
#include "datafile/data_file_reader.h"
#include "datafile/file_history.h"
#include "platform/clock.h"

namespace velrix {

// Where the files are: the dated tree below the data folder, or, when
// searchFolder is not empty, that one folder for every day (the folder of a
// file chosen directly, which may lie outside the tree).
struct SearchPlace {
  std::string dataFolder;
  std::string searchFolder;
};

// Calls take(path) for every file of the range in the order of the search,
// until take returns false. Within a day the files come in the order of
// their names, which is that of their seconds; in the hour an autumn change
// shows twice (in the local time of `clock`, when given) a file begun after
// the change comes after those of the hour's first showing.
void ForEachCandidate(const SearchPlace& place, const ConditionRange& range,
                      const std::function<bool(const std::string& path)>& take,
                      const Clock* clock = nullptr);

// True when a name in a day folder belongs to that date and lies in the time
// window h0:m0 - h1:m1 (its seconds are not compared).
bool CandidateName(const std::string& name, int year, int month, int day, int h0, int m0,
                   int h1, int m1);

// Loads the files of the range into the history in time order, stopping at
// loadFull; the caller has set origin, the limits and the filters and reset
// the history. Returns the number of files in h.files afterwards.
int SearchDates(FileHistory& h, const SearchPlace& place, const ConditionRange& range,
                const ReaderEnv& env);

// The whole condition search short of its dialogs: origin at the start of the
// range, no file limit, a reset history, the search, the partial level
// entries closed. Returns the number of files loaded.
int RunConditionSearch(FileHistory& h, const SearchPlace& place, const ConditionRange& range,
                       const ReaderEnv& env);

// The span that fits what a load holds: the first of 1 minute, 10 minutes,
// 1 hour, 1 day, 30 days and 1 year longer than loadedSeconds, else 10 years.
int SpanForLoadedSeconds(long long loadedSeconds);

}  // namespace velrix
