#include "datafile/read_ahead.h"

#include <new>
#include <system_error>

namespace velrix {

ReadAhead::ReadAhead(DataFileText* buffers, int count, Candidates candidates)
    : buffers_(buffers), count_(count) {
  try {
    thread_ = std::thread([this, candidates = std::move(candidates)] { Run(candidates); });
  } catch (const std::system_error&) {
    // No thread: Running() tells the caller to read by itself.
  }
}

ReadAhead::~ReadAhead() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void ReadAhead::Run(const Candidates& candidates) {
  // Reading a file never throws; walking the folders might, when memory runs
  // out, and nothing may leave this thread: the search then ends there.
  try {
    Walk(candidates);
  } catch (const std::bad_alloc&) {
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
  }
  changed_.notify_all();
}

void ReadAhead::Walk(const Candidates& candidates) {
  candidates([this](const std::string& path) {
    DataFileText* buffer = nullptr;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [this] { return stop_ || produced_ - consumed_ < count_; });
      if (stop_) return false;
      // The caller holds at most the buffer of file consumed_, never this one.
      buffer = &buffers_[produced_ % count_];
    }
    ReadDataFile(path, *buffer);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++produced_;
      if (stop_) return false;
    }
    changed_.notify_all();
    return true;
  });
}

const DataFileText* ReadAhead::Next() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return produced_ > consumed_ || finished_; });
  if (produced_ > consumed_) return &buffers_[consumed_ % count_];
  return nullptr;
}

void ReadAhead::Release() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++consumed_;
  }
  changed_.notify_all();
}

}  // namespace velrix
