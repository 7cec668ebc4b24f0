#pragma once
// The link takes over the settings its threads read. The settings files hand
// them over as plain values; once adopted, UnitLinkState holds the one copy
// in force, and a dialog that changes one stores it there and writes the
// file from what the link then holds.

#include "link/unit_link_state.h"
#include "settings/settings.h"

namespace velrix {

// At start-up, before the link threads run: every value in force.
inline void AdoptLinkSettings(UnitLinkState& link, const LinkSettings& settings) {
  link.detectionBuzzer.store(settings.detectionBuzzer);
  link.comNumber.store(settings.comNumber);
  link.retryMode.store(settings.retryMode);
  link.maxRetries.store(settings.maxRetries);
  link.statusReadInterval.store(settings.statusReadInterval);
}

// The values in force, to be written or shown.
inline LinkSettings LinkSettingsOf(const UnitLinkState& link) {
  LinkSettings settings;
  settings.detectionBuzzer = link.detectionBuzzer.load();
  settings.comNumber = link.comNumber.load();
  settings.retryMode = link.retryMode.load();
  settings.maxRetries = link.maxRetries.load();
  settings.statusReadInterval = link.statusReadInterval.load();
  return settings;
}

}  // namespace velrix
