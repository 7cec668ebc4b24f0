#pragma once
// The messages of a program without a window: each goes to standard error
// as one line, "<program>: <title>: <text>", where a window would show a box.

#include <cstdio>
#include <string>
#include <utility>

#include "platform/user_messages.h"

namespace velrix {

class StderrMessages final : public UserMessages {
 public:
  explicit StderrMessages(std::string programName) : programName_(std::move(programName)) {}
  void Show(const std::string& title, const std::string& text) override {
    std::fprintf(stderr, "%s: %s: %s\n", programName_.c_str(), title.c_str(), text.c_str());
  }

 private:
  std::string programName_;
};

}  // namespace velrix
