#include "datafile/condition_range.h"

#include <climits>

#include "settings/scan_numbers.h"

namespace velrix {
namespace {

constexpr char kYearRange[] = "年は、2011～2030を設定してください。";
constexpr char kMonthRange[] = "月は、1～12を設定してください。";
constexpr char kDayRange[] = "日は、1～31を設定してください。";
constexpr char kHourRange[] = "時は、0～23を設定してください。";
constexpr char kMinuteRange[] = "分は、0～59を設定してください。";

struct FieldCheck {
  const char* title;
  const char* rangeText;
  const char* beforeStartText;  // end fields only
  int low, high;
};

constexpr FieldCheck kStartChecks[5] = {
    {"開始年異常", kYearRange, "", kFirstSearchYear, kLastSearchYear},
    {"開始月異常", kMonthRange, "", 1, 12},
    {"開始日異常", kDayRange, "", 1, 31},
    {"開始時異常", kHourRange, "", 0, 23},
    {"開始分異常", kMinuteRange, "", 0, 59},
};
constexpr FieldCheck kEndChecks[5] = {
    {"終了年異常", kYearRange, "終了年は、開始年以上を設定してください。", kFirstSearchYear,
     kLastSearchYear},
    {"終了月異常", kMonthRange, "終了月は、開始月以上を設定してください。", 1, 12},
    {"終了日異常", kDayRange, "終了日は、開始日以上を設定してください。", 1, 31},
    {"終了時異常", kHourRange, "終了時は、開始時以上を設定してください。", 0, 23},
    {"終了分異常", kMinuteRange, "終了分は、開始分以上を設定してください。", 0, 59},
};

int ValueOf(const std::string& text) {
  const long long v = ReadLeadingInteger(text);
  return v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : static_cast<int>(v);
}

bool Fail(const FieldCheck& check, const char* text, ConditionFailure* failure) {
  failure->title = check.title;
  failure->text = text;
  return false;
}

}  // namespace

bool CompleteConditions(const ConditionFields& f, ConditionRange* range,
                        ConditionFailure* failure) {
  ConditionRange r;
  // The start: an empty field keeps its default and every later one's.
  const std::string* startTexts[5] = {&f.startYear, &f.startMonth, &f.startDay, &f.startHour,
                                      &f.startMinute};
  int* start[5] = {&r.startYear, &r.startMonth, &r.startDay, &r.startHour, &r.startMinute};
  for (int i = 0; i < 5 && !startTexts[i]->empty(); ++i) {
    const int v = ValueOf(*startTexts[i]);
    if (v < kStartChecks[i].low || v > kStartChecks[i].high) {
      return Fail(kStartChecks[i], kStartChecks[i].rangeText, failure);
    }
    *start[i] = v;
  }
  // The end: an empty field gives the widest end from there on; a given one
  // may not lie before the start while all fields before it equal the start's.
  const std::string* endTexts[5] = {&f.endYear, &f.endMonth, &f.endDay, &f.endHour,
                                    &f.endMinute};
  int* end[5] = {&r.endYear, &r.endMonth, &r.endDay, &r.endHour, &r.endMinute};
  r.endYear = r.startYear + 20;
  bool sameSoFar = true;
  for (int i = 0; i < 5 && !endTexts[i]->empty(); ++i) {
    const int v = ValueOf(*endTexts[i]);
    if (v < kEndChecks[i].low || v > kEndChecks[i].high) {
      return Fail(kEndChecks[i], kEndChecks[i].rangeText, failure);
    }
    if (sameSoFar && v < *start[i]) return Fail(kEndChecks[i], kEndChecks[i].beforeStartText, failure);
    sameSoFar = sameSoFar && v == *start[i];
    *end[i] = v;
  }
  *range = r;
  return true;
}

}  // namespace velrix
