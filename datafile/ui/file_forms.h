#pragma once
// What the two file selection dialogs do, without a dialog: the condition
// dialog's lists and the entries it opens with, its OK (check, remember,
// search), and the direct choice of one file. The Qt dialogs (file_dialogs.h)
// only move texts between their controls and these functions.

#include <string>
#include <vector>

#include "datafile/data_file_reader.h"
#include "datafile/file_history.h"
#include "datafile/file_selection.h"
#include "platform/user_messages.h"

namespace velrix {

inline constexpr char kNoMatchingFileTitle[] = "条件確認";
inline constexpr char kNoMatchingFileText[] = "この条件を満たすファイルは存在しません。";

// The lists in the order of FileSelection::listChoice: start year, month,
// day, hour, minute, then the end's.
enum ConditionList {
  kStartYearList, kStartMonthList, kStartDayList, kStartHourList, kStartMinuteList,
  kEndYearList, kEndMonthList, kEndDayList, kEndHourList, kEndMinuteList,
};

// The entries of the ten lists; an empty text is the empty entry.
struct ConditionLists {
  std::vector<std::string> entries[kConditionLists];
};

// The years 2011-2030 that have a year folder under the data folder, ascending.
std::vector<int> YearFolders(const std::string& dataFolder);

// The lists for these years: the start year list has no empty entry, every
// other list ends with one.
ConditionLists ConditionListsFor(const std::vector<int>& years);

// What the condition dialog shows and what OK reads back.
struct ConditionForm {
  // The entry selected in each list, -1 for none (an empty field). Only
  // read when the dialog opens; OK goes by the texts.
  int choice[kConditionLists] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  // The fields' texts, as chosen or typed.
  std::string text[kConditionLists];
  std::string computerName, unitNumber, comment;  // edits 1019, 1020, 1021
};

// The remembered entries and filters. The start year is required, so it
// never opens empty while there are years: when nothing was chosen from its
// list it opens at position (current year - 2011), the first entry for a
// year before 2011, and the last (newest) year when the position lies past
// the end of a short list. A remembered entry the lists no longer have (the
// data folder changed) is the newest year for the start year and nothing
// for the other lists.
ConditionForm FillConditionForm(const FileSelection& s, const ConditionLists& lists,
                                int currentYear);

// The entry of a list that a text names exactly, or -1: a value typed that
// is no entry of the list is remembered as nothing chosen.
int ChoiceOfText(const std::vector<std::string>& entries, const std::string& text);

// Shows that a load is running (the wait cursor) from Begin to End.
class BusyIndicator {
 public:
  virtual ~BusyIndicator() = default;
  virtual void Begin() = 0;
  virtual void End() = 0;
};

// Holds the busy indicator for as long as it lives, so every way out of a
// load takes it down again.
class BusyWhile {
 public:
  explicit BusyWhile(BusyIndicator& busy) : busy_(busy) { busy_.Begin(); }
  ~BusyWhile() { busy_.End(); }
  BusyWhile(const BusyWhile&) = delete;
  BusyWhile& operator=(const BusyWhile&) = delete;

 private:
  BusyIndicator& busy_;
};

// What a load of the open command works on. The reader's messages stand
// alone (they belong to no window).
struct OpenLoad {
  FileHistory& history;
  FileSelection& selection;
  const std::string& dataFolder;
  const ReaderEnv& reader;
  BusyIndicator& busy;
};

enum class ConditionOutcome {
  Refused,       // a field failed its check; nothing was remembered or loaded
  NothingFound,  // remembered and searched; no file met the conditions
  Loaded,        // *span holds the trend span for what was loaded
};

// The condition dialog's OK. The fields are checked and completed in order
// (a typed value counts by its leading digits), the first failure shown over
// the dialog (dialogMessages). Then the list choices, the filters (cut to
// 127 CP932 bytes; one CP932 cannot hold matches no file) and the range are
// remembered, and the files of the range are searched and loaded while the
// busy indicator shows. A search that loads nothing says so over the dialog.
ConditionOutcome AcceptConditionForm(const ConditionForm& form, const ConditionLists& lists,
                                     const OpenLoad& load, UserMessages& dialogMessages,
                                     int* span);

// The direct choice of the file at path (empty: the user chose none, nothing
// happens). True when the file was loaded, with the trend span in *span;
// otherwise the reader has said why.
bool AcceptChosenFile(const std::string& path, const OpenLoad& load, int* span);

}  // namespace velrix
