#pragma once
// A question the user answers with OK or cancel (the data-folder dialog asks
// whether to create a missing folder). The shell asks with a message box;
// tests answer from a script.

#include <string>

namespace velrix {

class UserQuestions {
 public:
  virtual ~UserQuestions() = default;
  // True when the user chose OK.
  virtual bool AskOkCancel(const std::string& title, const std::string& text) = 0;
};

}  // namespace velrix
