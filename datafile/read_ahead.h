#pragma once
// Reading files ahead of the thread that places them: a second thread walks
// the candidates of a search and reads each file into one of a few buffers,
// while the caller takes them in the same order and places them in the file
// history. Only the caller touches the history and shows messages, so the
// result is the same as reading each file in turn.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "datafile/data_file_reader.h"

namespace velrix {

class ReadAhead {
 public:
  // Calls offer(path) for every candidate in order until offer returns false.
  using Candidates = std::function<void(const std::function<bool(const std::string&)>& offer)>;

  // buffers: `count` (at least 2) buffers that nothing else uses meanwhile.
  ReadAhead(DataFileText* buffers, int count, Candidates candidates);
  // Stops the reading thread and waits for it.
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // False when no thread could be started; the caller then reads by itself.
  bool Running() const { return thread_.joinable(); }
  // The next file read, in candidate order, once it is read; nullptr when
  // there is none left. Valid until Release.
  const DataFileText* Next();
  // The file Next returned last is placed; its buffer may be read into again.
  void Release();

 private:
  void Run(const Candidates& candidates);
  void Walk(const Candidates& candidates);

  DataFileText* buffers_;
  int count_;
  std::mutex mutex_;
  std::condition_variable changed_;
  long long produced_ = 0;  // files read
  long long consumed_ = 0;  // files released
  bool finished_ = false;   // no more candidates
  bool stop_ = false;       // the caller needs no more
  std::thread thread_;
};

}  // namespace velrix
