#pragma once
// Menu commands that open a settings dialog, and the dialogs the measurement
// and the about command need. Each dialog writes its own settings file; the
// route redraws what the new settings change.

#include <QWidget>
#include <functional>

#include "link/unit_link_state.h"
#include "platform/user_messages.h"
#include "settings/settings.h"

namespace velrix {

struct DialogRoute {
  QWidget* parent;
  Settings& settings;
  UnitLinkState& link;
  UserMessages& messages;
  std::function<void()> redrawPanel;
  std::function<void()> redrawTrend;
};

// Runs the dialog of a menu command; false for an id that has none.
bool RunDialogCommand(int id, DialogRoute& route);

// The comment check before a manual start; true when it ended with OK.
bool RunCommentCheckRoute(QWidget* parent, Settings& settings, UserMessages& messages);

void ShowAboutBox(QWidget* parent);

}  // namespace velrix
