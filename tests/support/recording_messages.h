#pragma once
// A message sink that remembers what the user would have been shown.

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/user_messages.h"

namespace velrix::testing {

struct ShownMessage {
  std::string title;
  std::string text;
  WindowHandle owner = nullptr;  // RecordingMessages::MainWindow() for the main window
};

class RecordingMessages final : public UserMessages {
 public:
  // Stands for the program's main window in the recorded owners.
  static WindowHandle MainWindow() {
    static const char tag = 0;
    return &tag;
  }
  void Show(const std::string& title, const std::string& text) override {
    ShowOver(MainWindow(), title, text);
  }
  void ShowOver(WindowHandle owner, const std::string& title, const std::string& text) override {
    if (onShow) onShow();
    std::lock_guard<std::mutex> lock(mutex_);
    shown_.push_back({title, text, owner});
  }
  // Called as each box is shown, to note what stood then.
  std::function<void()> onShow;
  std::vector<ShownMessage> Shown() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return shown_;
  }
  std::vector<std::string> Texts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> texts;
    for (const auto& m : shown_) texts.push_back(m.text);
    return texts;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    shown_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<ShownMessage> shown_;
};

}  // namespace velrix::testing
