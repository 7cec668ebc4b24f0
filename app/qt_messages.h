#pragma once
// Message boxes for the core's failures. Qt shows widgets only on the GUI
// thread, so a call from another thread is posted there and shown without
// the caller waiting; on the GUI thread the box is modal, as the user must
// acknowledge a stopped measurement before going on.

#include <QPointer>
#include <QWidget>

#include "platform/user_messages.h"

namespace velrix {

class QtUserMessages final : public UserMessages {
 public:
  explicit QtUserMessages(QWidget* owner = nullptr) : owner_(owner) {}
  void SetOwner(QWidget* owner) { owner_ = owner; }
  void Show(const std::string& title, const std::string& text) override;

 private:
  QPointer<QWidget> owner_;
};

// A non-modal box that nobody waits for (the power event pop-ups).
void ShowDetachedMessage(QWidget* owner, const std::string& title, const std::string& text);

}  // namespace velrix
