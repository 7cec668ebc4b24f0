#pragma once
// The one way the core tells the user about a failure: a modal message with
// an OK button, a short title and a one-line text (both UTF-8). The shell
// implements it with message boxes on the GUI thread; tests record the calls.

#include <string>

namespace velrix {

class UserMessages {
 public:
  virtual ~UserMessages() = default;
  virtual void Show(const std::string& title, const std::string& text) = 0;
};

}  // namespace velrix
