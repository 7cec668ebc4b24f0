#include "display/settings_forms.h"

#include "display/trend_window.h"

namespace velrix {
namespace {

constexpr int kIntegratedChoices = 3;
constexpr int kRateChoices = 4;

int ChoiceOrNone(int value, int choices) { return value >= 0 && value < choices ? value : -1; }
int ChoiceOrFirst(int choice, int choices) { return choice >= 0 && choice < choices ? choice : 0; }

}  // namespace

DisplayUnitForm FillDisplayUnitForm(const DisplayUnitSettings& settings) {
  DisplayUnitForm form;
  form.integratedChoice = ChoiceOrNone(settings.integratedUnit, kIntegratedChoices);
  form.rateChoice = ChoiceOrNone(settings.rateUnit, kRateChoices);
  form.averageText = std::to_string(settings.averageSeconds);
  return form;
}

int ReadAverageSeconds(const std::string& text) {
  const std::string head = text.substr(0, kAverageSecondsReadLength);
  std::size_t i = 0;
  while (i < head.size() && (head[i] == ' ' || head[i] == '\t' || head[i] == '\n' ||
                             head[i] == '\r' || head[i] == '\f' || head[i] == '\v'))
    ++i;
  bool negative = false;
  if (i < head.size() && (head[i] == '+' || head[i] == '-')) negative = head[i++] == '-';
  long value = 0;  // seven characters cannot overflow it
  while (i < head.size() && head[i] >= '0' && head[i] <= '9') value = value * 10 + (head[i++] - '0');
  return static_cast<int>(negative ? -value : value);
}

bool AcceptDisplayUnitForm(const DisplayUnitForm& form, DisplayUnitSettings& settings,
                           UserMessages& messages) {
  const int seconds = ReadAverageSeconds(form.averageText);
  if (seconds < kMinAverageSeconds || seconds > kMaxAverageSeconds) {
    messages.Show(kSettingErrorTitle, kAverageSecondsMessage);
    return false;
  }
  settings.averageSeconds = seconds;
  settings.integratedUnit = ChoiceOrFirst(form.integratedChoice, kIntegratedChoices);
  settings.rateUnit = ChoiceOrFirst(form.rateChoice, kRateChoices);
  return true;
}

TrendForm FillTrendForm(const TrendSettings& settings) {
  TrendForm form;
  form.spanChoice = ChoiceOrNone(settings.trendSpan, kTrendSpans);
  form.scaleChoice = ChoiceOrNone(settings.trendScale, kTrendScales);
  return form;
}

void AcceptTrendForm(const TrendForm& form, TrendSettings& settings) {
  settings.trendSpan = ChoiceOrFirst(form.spanChoice, kTrendSpans);
  settings.trendScale = ChoiceOrFirst(form.scaleChoice, kTrendScales);
}

}  // namespace velrix
