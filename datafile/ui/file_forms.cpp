#include "datafile/ui/file_forms.h"

#include <algorithm>
#include <iterator>

#include "datafile/condition_range.h"
#include "datafile/data_file_writer.h"
#include "datafile/date_search.h"
#include "platform/c_format.h"
#include "platform/cp932.h"
#include "platform/file_bytes.h"

namespace velrix {
namespace {

constexpr char kYearFormat[] = "%4d";
constexpr char kYearFolderFormat[] = "/%4d";  // below the data folder
constexpr char kNumberFormat[] = "%d";
constexpr char kEmptyEntry[] = "";

struct NumberRange {
  int first, last;
};
// Month, day, hour and minute, as each side lists them.
constexpr NumberRange kPartRanges[4] = {{1, 12}, {1, 31}, {0, 23}, {0, 59}};

std::vector<std::string> NumberEntries(NumberRange range) {
  std::vector<std::string> entries;
  for (int v = range.first; v <= range.last; ++v) entries.push_back(CFormatString(kNumberFormat, v));
  entries.push_back(kEmptyEntry);
  return entries;
}

// The start year when nothing is remembered: the entry at the current
// year's place in a full list.
int DefaultStartYearChoice(int currentYear) {
  return std::max(0, currentYear - kFirstSearchYear);
}

// Runs a load under the busy indicator; returns the number of files it loaded.
template <typename LoadFn>
int LoadWhileBusy(BusyIndicator& busy, LoadFn loadFiles) {
  BusyWhile shown(busy);
  return loadFiles();
}

}  // namespace

std::vector<int> YearFolders(const std::string& dataFolder) {
  std::vector<int> years;
  for (int y = kFirstSearchYear; y <= kLastSearchYear; ++y) {
    if (IsFolder(dataFolder + CFormatString(kYearFolderFormat, y))) years.push_back(y);
  }
  return years;
}

ConditionLists ConditionListsFor(const std::vector<int>& years) {
  ConditionLists lists;
  for (const int y : years) lists.entries[kStartYearList].push_back(CFormatString(kYearFormat, y));
  lists.entries[kEndYearList] = lists.entries[kStartYearList];
  lists.entries[kEndYearList].push_back(kEmptyEntry);
  for (int part = 0; part < static_cast<int>(std::size(kPartRanges)); ++part) {
    lists.entries[kStartMonthList + part] = NumberEntries(kPartRanges[part]);
    lists.entries[kEndMonthList + part] = NumberEntries(kPartRanges[part]);
  }
  return lists;
}

ConditionForm FillConditionForm(const FileSelection& s, const ConditionLists& lists,
                                int currentYear) {
  ConditionForm form;
  for (int i = 0; i < kConditionLists; ++i) {
    const int count = static_cast<int>(lists.entries[i].size());
    int choice = s.listChoice[i];
    if (i == kStartYearList) {
      if (choice < 0) choice = DefaultStartYearChoice(currentYear);
      if (choice >= count) choice = count - 1;  // the newest year; -1 for none at all
    } else if (choice >= count) {
      choice = -1;
    }
    form.choice[i] = choice;
    if (choice >= 0) form.text[i] = lists.entries[i][static_cast<std::size_t>(choice)];
  }
  form.computerName = s.computerFilter;
  form.unitNumber = s.unitFilter;
  form.comment = s.commentFilter;
  return form;
}

int ChoiceOfText(const std::vector<std::string>& entries, const std::string& text) {
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i] == text) return static_cast<int>(i);
  }
  return -1;
}

ConditionOutcome AcceptConditionForm(const ConditionForm& form, const ConditionLists& lists,
                                     const OpenLoad& load, UserMessages& dialogMessages,
                                     int* span) {
  const ConditionFields fields{form.text[kStartYearList], form.text[kStartMonthList],
                               form.text[kStartDayList],  form.text[kStartHourList],
                               form.text[kStartMinuteList], form.text[kEndYearList],
                               form.text[kEndMonthList],  form.text[kEndDayList],
                               form.text[kEndHourList],   form.text[kEndMinuteList]};
  ConditionRange range;
  ConditionFailure failure;
  if (!CompleteConditions(fields, &range, &failure)) {
    dialogMessages.Show(failure.title, failure.text);
    return ConditionOutcome::Refused;
  }

  FileSelection& s = load.selection;
  for (int i = 0; i < kConditionLists; ++i) s.listChoice[i] = ChoiceOfText(lists.entries[i], form.text[i]);
  // The filters are kept as the files could hold them; FiltersOf turns one
  // CP932 cannot hold into a text no file has, rather than dropping the
  // character and matching files the user did not ask for.
  s.computerFilter = CutUtf8ToCp932Bytes(form.computerName, kHeaderTextMaxBytes);
  s.unitFilter = CutUtf8ToCp932Bytes(form.unitNumber, kHeaderTextMaxBytes);
  s.commentFilter = CutUtf8ToCp932Bytes(form.comment, kHeaderTextMaxBytes);

  // The search keeps the range in the selection for the navigation's reloads.
  const int loaded = LoadWhileBusy(load.busy, [&] {
    return LoadByConditions(load.history, s, range, load.dataFolder, load.reader);
  });
  if (loaded == 0) {
    dialogMessages.Show(kNoMatchingFileTitle, kNoMatchingFileText);
    return ConditionOutcome::NothingFound;
  }
  *span = SpanForLoadedSeconds(load.history.loadedSeconds);
  return ConditionOutcome::Loaded;
}

bool AcceptChosenFile(const std::string& path, const OpenLoad& load, int* span) {
  if (path.empty()) return false;
  const int loaded = LoadWhileBusy(load.busy, [&] {
    return LoadChosenFile(load.history, load.selection, path, load.reader);
  });
  if (loaded == 0) return false;
  *span = SpanForLoadedSeconds(load.history.loadedSeconds);
  return true;
}

}  // namespace velrix
