#pragma once
// What the display-unit dialog and the trend dialog do, without a dialog:
// fill the controls from the settings, and on OK validate and store. The Qt
// dialogs only move these values in and out of their controls.

#include <string>

#include "platform/user_messages.h"
#include "settings/settings.h"

namespace velrix {

inline constexpr char kAverageSecondsMessage[] = "平均回数（秒数）は、1～3600を設定してください。";
// The edit box is read this many characters deep.
inline constexpr int kAverageSecondsReadLength = 7;

// The display-unit dialog's controls: the checked radio of each group as an
// index from its first id (1000 and 1003), -1 when none is checked, and the
// text of edit box 1019.
struct DisplayUnitForm {
  int integratedChoice = 0;
  int rateChoice = 0;
  std::string averageText;
};

DisplayUnitForm FillDisplayUnitForm(const DisplayUnitSettings& settings);

// The edit box's number: at most the first 7 characters, read as C's atoi
// reads them (blanks, a sign, then digits); no number gives 0.
int ReadAverageSeconds(const std::string& text);

// OK: shows the setting-error message and returns false (nothing changed)
// when the seconds are outside 1-3600; otherwise stores all three values and
// returns true. The caller then writes dsp_unit.def.
bool AcceptDisplayUnitForm(const DisplayUnitForm& form, DisplayUnitSettings& settings,
                           UserMessages& messages);

// The trend dialog's controls: the checked span radio (from 1000) and scale
// radio (from 1007), -1 when none is checked.
struct TrendForm {
  int spanChoice = 0;
  int scaleChoice = 0;
};

TrendForm FillTrendForm(const TrendSettings& settings);

// OK: stores the choices. A group with nothing checked (possible only when
// trend.def held a value outside the tables) stores its first choice, so the
// graph never receives an index past its tables.
void AcceptTrendForm(const TrendForm& form, TrendSettings& settings);

}  // namespace velrix
