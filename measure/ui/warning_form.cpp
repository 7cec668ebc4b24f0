#include "measure/ui/warning_form.h"

#include "settings/settings_files.h"
#include "settings/ui/field_text.h"
#include "settings/ui/general_forms.h"

namespace velrix {
namespace {

constexpr int kCurrentDecimals = 2;
constexpr int kOtherDecimals = 3;

struct LimitRule {
  double WarningSettings::*field;
  double maximum;
  const char* message;
};

// In the order the edits are checked.
constexpr LimitRule kLimitRules[kWarningLimitCount] = {
    {&WarningSettings::currentLimit, kRateLimitMax, "現在値警報設定が異常です。"},
    {&WarningSettings::averageLimit, kRateLimitMax, "平均値警報設定が異常です。"},
    {&WarningSettings::hourLimit, kRateLimitMax, "実績１時間値警報設定が異常です。"},
    {&WarningSettings::integratedLimit, kDoseLimitMax, "積算警報設定が異常です。"},
    {&WarningSettings::dayLimit, kDoseLimitMax, "予測１日警報設定が異常です。"},
    {&WarningSettings::yearLimit, kDoseLimitMax, "予測１年警報設定が異常です。"},
};

double LimitOf(const WarningForm& form, int i) {
  return ReadLeadingNumber(FirstCharacters(form.limitTexts[i], kWarningEditReadLength));
}

}  // namespace

WarningForm FillWarningForm(const WarningSettings& settings) {
  WarningForm form;
  for (int i = 0; i < kWarningLimitCount; ++i)
    form.limitTexts[i] =
        FormatFixed(settings.*kLimitRules[i].field, i == 0 ? kCurrentDecimals : kOtherDecimals);
  form.soundTicked = settings.soundOn == 1;
  return form;
}

std::string ValidateWarningForm(const WarningForm& form) {
  for (int i = 0; i < kWarningLimitCount; ++i) {
    const double limit = LimitOf(form, i);
    if (limit < 0.0 || limit > kLimitRules[i].maximum) return kLimitRules[i].message;
  }
  return {};
}

void ApplyWarningForm(const WarningForm& form, WarningSettings& settings) {
  for (int i = 0; i < kWarningLimitCount; ++i) settings.*kLimitRules[i].field = LimitOf(form, i);
  settings.soundOn = form.soundTicked ? 1 : 0;
}

bool AcceptWarningForm(const WarningForm& form, Settings& settings, UserMessages& messages) {
  const std::string failure = ValidateWarningForm(form);
  if (!failure.empty()) {
    messages.Show(kSettingErrorTitle, failure);
    return false;
  }
  ApplyWarningForm(form, settings.warning);
  SaveWarningSettings(settings, messages);
  return true;
}

}  // namespace velrix
