#include "link/ui/link_forms.h"

#include "link/link_settings.h"
#include "settings/settings_files.h"
#include "settings/ui/field_text.h"
#include "settings/ui/general_forms.h"

namespace velrix {
namespace {

constexpr int kPowerChoices = 2;  // both combo lists have two entries

// A number edit read so many characters deep, as atoi reads it.
long long ReadNumberEdit(const std::string& text) {
  return ReadLeadingInteger(FirstCharacters(text, kNumberEditReadLength));
}

int ChoiceOf(int value, int choices) { return value >= 0 && value < choices ? value : -1; }
int StoredChoice(int choice) { return choice < 0 ? 0 : choice; }

struct DelayRule {
  int maximum;
  const char* message;
};

// In the order the delays are checked, which is the stored order.
constexpr DelayRule kDelayRules[kPowerEvents] = {
    {kSolarDelayMax, "ソーラーパネル供給電圧低下時の処理遅延時間が異常です。"},
    {kSolarDelayMax, "ソーラーパネル供給電圧回復時の処理遅延時間が異常です。"},
    {kBatteryDelayMax, "バッテリー電圧低下時の処理遅延時間が異常です。"},
    {kBatteryDelayMax, "バッテリー電圧回復時の処理遅延時間が異常です。"},
};
constexpr char kIntervalMessage[] = "電源状態読み取り間隔が異常です。";

}  // namespace

// COM number

ComNumberForm FillComNumberForm(const UnitLinkState& link) {
  return {std::to_string(link.comNumber.load())};
}

int ReadComNumber(const std::string& text) {
  // Three characters hold at most three digits: always within int.
  return static_cast<int>(ReadLeadingInteger(FirstCharacters(text, kComNumberReadLength)));
}

std::string ValidateComNumberForm(const ComNumberForm& form) {
  // As unsigned, a negative number is far above the maximum.
  if (static_cast<unsigned>(ReadComNumber(form.numberText)) > kComNumberMax)
    return kComNumberMessage;
  return {};
}

bool AcceptComNumberForm(const ComNumberForm& form, const Settings& settings,
                         UnitLinkState& link, UserMessages& messages) {
  const std::string failure = ValidateComNumberForm(form);
  if (!failure.empty()) {
    messages.Show(kDialogInputErrorTitle, failure);
    return false;
  }
  link.comNumber.store(ReadComNumber(form.numberText));
  SaveComPort(settings, LinkSettingsOf(link), messages);
  return true;
}

// Retries

RetryForm FillRetryForm(const UnitLinkState& link) {
  return {ChoiceOf(link.retryMode.load(), kRetryModeChoices),
          std::to_string(link.maxRetries.load())};
}

bool RetryEditEnabled(int modeChoice) { return modeChoice == kRetryModeCounted; }

std::string ValidateRetryForm(const RetryForm& form) {
  const long long count = ReadNumberEdit(form.maxRetriesText);
  if (count < kMaxRetriesMin || count > kMaxRetriesMax) return kMaxRetriesMessage;
  return {};
}

bool AcceptRetryForm(const RetryForm& form, const Settings& settings, UnitLinkState& link,
                     UserMessages& messages) {
  const std::string failure = ValidateRetryForm(form);
  if (!failure.empty()) {
    messages.Show(kSettingErrorTitle, failure);
    return false;
  }
  link.maxRetries.store(static_cast<int>(ReadNumberEdit(form.maxRetriesText)));
  if (form.modeChoice >= 0 && form.modeChoice < kRetryModeChoices)
    link.retryMode.store(form.modeChoice);
  SaveRetrySettings(settings, LinkSettingsOf(link), messages);
  return true;
}

// Power settings

PowerForm FillPowerForm(const PowerSettings& power) {
  PowerForm form;
  form.intervalText = std::to_string(power.statusIntervalValue);
  form.unitChoice = ChoiceOf(power.statusIntervalUnit, kPowerChoices);
  for (int e = 0; e < kPowerEvents; ++e) {
    const PowerEventSetting& event = power.events[e];
    PowerRowForm& row = form.rows[e];
    row.enabledChoice = ChoiceOf(event.enabled, kPowerChoices);
    row.delayText = std::to_string(event.delay);
    row.popupAtEvent = event.popupAtEvent == 1;
    row.popupAtExecution = event.popupAtExecution == 1;
  }
  return form;
}

bool PowerRowEnabled(int enabledChoice) { return enabledChoice == kEventAllowed; }

std::string ValidatePowerForm(const PowerForm& form) {
  const long long interval = ReadNumberEdit(form.intervalText);
  if (interval < kIntervalMin || interval > kIntervalMax) return kIntervalMessage;
  for (int e = 0; e < kPowerEvents; ++e) {
    const long long delay = ReadNumberEdit(form.rows[e].delayText);
    if (delay < 1 || delay > kDelayRules[e].maximum) return kDelayRules[e].message;
  }
  return {};
}

void ApplyPowerForm(const PowerForm& form, PowerSettings& power) {
  power.statusIntervalValue = static_cast<int>(ReadNumberEdit(form.intervalText));
  power.statusIntervalUnit = StoredChoice(form.unitChoice);
  for (int e = 0; e < kPowerEvents; ++e) {
    const PowerRowForm& row = form.rows[e];
    PowerEventSetting& event = power.events[e];
    event.enabled = StoredChoice(row.enabledChoice);
    event.delay = static_cast<int>(ReadNumberEdit(row.delayText));
    event.popupAtEvent = row.popupAtEvent ? 1 : 0;
    event.popupAtExecution = row.popupAtExecution ? 1 : 0;
  }
}

bool AcceptPowerForm(const PowerForm& form, Settings& settings, UnitLinkState& link,
                     UserMessages& messages) {
  const std::string failure = ValidatePowerForm(form);
  if (!failure.empty()) {
    messages.Show(kSettingErrorTitle, failure);
    return false;
  }
  ApplyPowerForm(form, settings.power);
  // The new interval is in force whether or not the file took it.
  LinkSettings linkSettings = LinkSettingsOf(link);
  SavePowerSettings(settings, linkSettings, messages);
  link.statusReadInterval.store(linkSettings.statusReadInterval);
  return true;
}

}  // namespace velrix
