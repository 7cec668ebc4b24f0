#pragma once
// What the link's settings dialogs do, without a dialog: the COM number
// (CDlg_usb_com), the communication retries (CDlg_com_rty) and the power
// settings (CDlg_power). Each has a form holding its controls' values, a
// Fill... from the settings, a Validate... giving the first failing message
// (empty when valid) and an Accept... that reports, stores and writes.

#include <string>

#include "link/unit_link_state.h"
#include "platform/user_messages.h"
#include "settings/settings.h"

namespace velrix {

// COM number, dialog 143: edit 1019. 0 means automatic; 256 names the
// device given with --port.
inline constexpr char kComNumberMessage[] = "COM番号が異常です。";
inline constexpr int kComNumberReadLength = 3;
inline constexpr unsigned kComNumberMax = 256;

struct ComNumberForm {
  std::string numberText;
};

ComNumberForm FillComNumberForm(const UnitLinkState& link);
// The first three characters read as atoi reads them.
int ReadComNumber(const std::string& text);
std::string ValidateComNumberForm(const ComNumberForm& form);
// OK: refuses (title "入力異常") a number that, taken as unsigned, is above
// 256; otherwise sets comNumber and writes USBCOM.def. The running link
// keeps its port until the supervisor next starts the communication thread.
bool AcceptComNumberForm(const ComNumberForm& form, const Settings& settings,
                         UnitLinkState& link, UserMessages& messages);

// Retries, dialog 146: radios 1000-1002 and edit 1019.
inline constexpr char kMaxRetriesMessage[] = "最大リトライ回数が異常です。";
inline constexpr int kRetryModeChoices = 3;
inline constexpr int kRetryModeCounted = 1;
inline constexpr int kMaxRetriesMin = 1;
inline constexpr int kMaxRetriesMax = 9999;
inline constexpr int kNumberEditReadLength = 15;

struct RetryForm {
  int modeChoice = 0;  // the checked radio from 1000; -1 when none is checked
  std::string maxRetriesText;
};

RetryForm FillRetryForm(const UnitLinkState& link);
// The edit is usable only for "指定回数リトライ"; a disabled edit is still
// checked and stored.
bool RetryEditEnabled(int modeChoice);
std::string ValidateRetryForm(const RetryForm& form);
// OK: a count outside 1-9999 is refused (title "設定異常"); otherwise sets
// maxRetries, retryMode (kept when no radio is checked) and writes
// COMRTY.def.
bool AcceptRetryForm(const RetryForm& form, const Settings& settings, UnitLinkState& link,
                     UserMessages& messages);

// Power settings, dialog 147. Rows are held in the order the events are
// stored (solar low, solar recovery, battery low, battery recovery).
inline constexpr int kIntervalMin = 1;
inline constexpr int kIntervalMax = 60;
inline constexpr int kSolarDelayMax = 1000;   // seconds
inline constexpr int kBatteryDelayMax = 60;   // minutes
inline constexpr int kEventAllowed = 1;       // "許可"

struct PowerRowForm {
  int enabledChoice = 0;  // 0 "禁止", 1 "許可", -1 nothing shown
  std::string delayText;
  bool popupAtEvent = false;
  bool popupAtExecution = false;
};

struct PowerForm {
  std::string intervalText;  // edit 1019
  int unitChoice = 0;        // combo 1009: 0 "秒", 1 "分", -1 nothing shown
  PowerRowForm rows[kPowerEvents];
};

PowerForm FillPowerForm(const PowerSettings& power);
// A row's delay edit and check boxes are usable only when it shows "許可".
bool PowerRowEnabled(int enabledChoice);
std::string ValidatePowerForm(const PowerForm& form);
// Stores every value. A combo box showing nothing (a damaged file held a
// value outside its list) stores its first choice.
void ApplyPowerForm(const PowerForm& form, PowerSettings& power);
// OK: the first invalid edit (interval, then the delays of solar low, solar
// recovery, battery low, battery recovery; disabled rows too) is refused
// with its message titled "設定異常"; otherwise stores, writes POWevent.def
// and recomputes statusReadInterval (also when the write failed).
bool AcceptPowerForm(const PowerForm& form, Settings& settings, UnitLinkState& link,
                     UserMessages& messages);

}  // namespace velrix
