#pragma once
// The one way the core tells the user about a failure: a modal message with
// an OK button, a short title and a one-line text (both UTF-8). The shell
// implements it with message boxes on the GUI thread; tests record the calls.
//
// A box stands over a window: by default the program's main window (the
// data-file failures, the measurement's own messages); a dialog's checks put
// theirs over the dialog; what is reported while no window is up yet (the
// settings read at start-up) or belongs to no window (a data file refused
// while loading) stands alone.

#include <string>

namespace velrix {

// The usual titles: a failure of the program or the system, and a value the
// user gave that cannot be taken.
inline constexpr char kSystemErrorTitle[] = "システム異常";
inline constexpr char kSettingErrorTitle[] = "設定異常";

// A window as the platform knows it; null for none.
using WindowHandle = const void*;

class UserMessages {
 public:
  virtual ~UserMessages() = default;
  // Over the program's main window.
  virtual void Show(const std::string& title, const std::string& text) = 0;
  // Over the given window, or standing alone when it is null.
  virtual void ShowOver(WindowHandle owner, const std::string& title, const std::string& text) {
    (void)owner;
    Show(title, text);
  }
};

// The messages of one window: every box goes to the program's sink with that
// owner, so the dialogs and the plain forms behind them need not know how
// boxes are made or who records them.
class MessagesOver final : public UserMessages {
 public:
  MessagesOver(UserMessages& sink, WindowHandle owner) : sink_(sink), owner_(owner) {}
  void Show(const std::string& title, const std::string& text) override {
    sink_.ShowOver(owner_, title, text);
  }
  void ShowOver(WindowHandle owner, const std::string& title, const std::string& text) override {
    sink_.ShowOver(owner, title, text);
  }

 private:
  UserMessages& sink_;
  WindowHandle owner_;
};

}  // namespace velrix
