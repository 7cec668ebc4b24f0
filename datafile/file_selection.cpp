#include "datafile/file_selection.h"

#include "datafile/date_search.h"
#include "platform/cp932.h"

namespace velrix {
namespace {

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
}

// A filter the files could hold; one CP932 cannot hold can never match, so
// it stays a text no file has (it is not cut into something that might).
std::string FilterBytes(const std::string& utf8) {
  bool ok = true;
  const std::string cp932 = Utf8ToCp932(utf8, &ok);
  if (!ok) return std::string(kHeaderTextMaxBytes + 1, '\xff');
  return CutCp932(cp932, kHeaderTextMaxBytes);
}

}  // namespace

FileSelection::FileSelection() {
  for (int& choice : listChoice) choice = -1;
}

HeaderFilters FiltersOf(const FileSelection& s) {
  return {FilterBytes(s.computerFilter), FilterBytes(s.unitFilter), FilterBytes(s.commentFilter)};
}

namespace {

// What the reloads of what was opened read from the history between loads:
// an attempt that loads nothing leaves them as they were.
struct ReloadConditions {
  HeaderFilters filters;
  int fileLimit = 0;
};

ReloadConditions ConditionsOf(const FileHistory& h) { return {h.filters, h.fileLimit}; }

void Restore(FileHistory& h, const ReloadConditions& c) {
  h.filters = c.filters;
  h.fileLimit = c.fileLimit;
}

}  // namespace

int LoadChosenFile(FileHistory& h, FileSelection& s, const std::string& path,
                   const ReaderEnv& env) {
  const ReloadConditions before = ConditionsOf(h);
  ResetFileHistory(h);
  h.origin = 0;
  h.fileLimit = 0;
  h.loadFull = false;
  h.filters = {};
  LoadDataFile(h, path, env);
  FinishLoad(h);
  const int loaded = static_cast<int>(h.files.size());
  if (loaded == 0) {
    Restore(h, before);
    return 0;
  }
  s.searchFolder = FolderOf(path);
  s.loadedByCondition = false;
  return loaded;
}

int LoadByConditions(FileHistory& h, FileSelection& s, const ConditionRange& range,
                     const std::string& dataFolder, const ReaderEnv& env) {
  const ReloadConditions before = ConditionsOf(h);
  h.filters = FiltersOf(s);
  const int loaded = RunConditionSearch(h, {dataFolder, ""}, range, env);
  if (loaded == 0) {
    Restore(h, before);
    return 0;
  }
  s.range = range;
  s.loadedByCondition = true;
  s.searchFolder.clear();
  return loaded;
}

void KeepOpenedLoad(FileHistory& h, FileSelection& s, const std::string& directPath) {
  s.opened.range = s.range;
  s.opened.origin = h.origin;
  s.opened.directPath = directPath;
  s.opened.byCondition = s.loadedByCondition;
  s.opened.filters = h.filters;
  h.fileLimit = static_cast<int>(h.files.size());
}

int ReloadOpenedLoad(FileHistory& h, FileSelection& s, const std::string& dataFolder,
                     const ReaderEnv& env) {
  s.range = s.opened.range;
  ResetFileHistory(h);
  h.origin = s.opened.origin;
  h.loadFull = false;
  h.filters = s.opened.filters;
  if (s.opened.byCondition) {
    SearchDates(h, {dataFolder, ""}, s.range, env);
  } else {
    LoadDataFile(h, s.opened.directPath, env);
  }
  FinishLoad(h);
  return static_cast<int>(h.files.size());
}

}  // namespace velrix
