#pragma once
// Message boxes for the core's failures. Qt shows widgets only on the GUI
// thread, so a call from another thread is posted there and shown without
// the caller waiting; on the GUI thread the box is modal, as the user must
// acknowledge a stopped measurement before going on.

#include <QPointer>
#include <QWidget>

#include "platform/user_messages.h"

namespace velrix {

// main: a widget of the main window (the box goes over its window, read
// when the box is shown, so the widget may be placed in its frame later).
class QtUserMessages final : public UserMessages {
 public:
  explicit QtUserMessages(QWidget* main = nullptr) : main_(main) {}
  void Show(const std::string& title, const std::string& text) override;
  void ShowOver(WindowHandle owner, const std::string& title, const std::string& text) override;

 private:
  QPointer<QWidget> main_;
};

// The handle a Qt window passes as the owner of its boxes.
inline WindowHandle HandleOf(const QWidget* window) { return window; }

// A non-modal box that nobody waits for (the power event pop-ups).
void ShowDetachedMessage(QWidget* owner, const std::string& title, const std::string& text);

}  // namespace velrix
