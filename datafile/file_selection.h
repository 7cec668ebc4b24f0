#pragma once
// What the user chose to review, kept for the whole run of the program: the
// file selection dialogs show it again, the trend navigation reloads around
// it, and the F4 key loads it again. Nothing here is saved to a file.

#include <string>

#include "datafile/condition_range.h"
#include "datafile/data_file_reader.h"
#include "datafile/file_history.h"

namespace velrix {

inline constexpr int kConditionLists = 10;  // start and end year, month, day, hour, minute

struct FileSelection {
  FileSelection();
  // The condition dialog's lists: the index of the entry chosen last in each
  // (start year, month, day, hour, minute, then the same for the end), or -1
  // for nothing chosen (an empty field).
  int listChoice[kConditionLists];
  // The header conditions as typed (UTF-8); empty matches every file.
  std::string computerFilter, unitFilter, commentFilter;
  // The condition range the searches and the navigation's reloads use.
  ConditionRange range;
  // Empty, or the folder of the file chosen directly last: the searches of
  // the navigation then look there for every day.
  std::string searchFolder;
  bool loadedByCondition = false;

  // What the last open loaded, for F4.
  struct Opened {
    ConditionRange range;
    ClockSeconds origin = 0;
    std::string directPath;
    bool byCondition = false;
    HeaderFilters filters;
  } opened;
};

// The direct choice of one file: the history is loaded with that file alone
// (no header conditions: the user named the file), from its own start. Only
// once the file has loaded does its folder become the search folder and the
// load count as a direct one; a refused file leaves the selection, and the
// filters and file limit the reloads use, as they were. Returns the number
// of files loaded (0 or 1); the reader has shown why a file was refused.
int LoadChosenFile(FileHistory& h, FileSelection& s, const std::string& path,
                   const ReaderEnv& env);

// The condition search: origin at the start of the range, the header
// conditions of the selection, every file of the range in time order. As
// with the direct choice, a search that loads nothing changes nothing the
// reloads use. Returns the number of files loaded.
int LoadByConditions(FileHistory& h, FileSelection& s, const ConditionRange& range,
                     const std::string& dataFolder, const ReaderEnv& env);

// After a successful open: what F4 repeats, and the file limit of the
// navigation's reloads (as many files as the open loaded).
void KeepOpenedLoad(FileHistory& h, FileSelection& s, const std::string& directPath);

// F4: the load the last open made, again, with its filters. Returns the
// number of files loaded.
int ReloadOpenedLoad(FileHistory& h, FileSelection& s, const std::string& dataFolder,
                     const ReaderEnv& env);

// The header conditions as the reader compares them: CP932, at most 127
// bytes each (a text CP932 cannot hold matches no file).
HeaderFilters FiltersOf(const FileSelection& s);

}  // namespace velrix
