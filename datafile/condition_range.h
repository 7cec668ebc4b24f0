#pragma once
// The date and time range of a condition search, as the user types it in the
// file selection conditions: the fields are checked and completed in a fixed
// order, an empty field ending its side (start or end) and standing for the
// widest value from there on. The dialog and the headless review share it.

#include <string>

namespace velrix {

inline constexpr int kFirstSearchYear = 2011;
inline constexpr int kLastSearchYear = 2030;
// The end of a day: an end hour of 24 and an end minute of 60.
inline constexpr int kEndOfDayHour = 24;
inline constexpr int kEndOfHourMinute = 60;

// The ten fields as typed; an empty text is a field left empty. A text that
// is not a number counts as the number its leading digits give (0 for none).
struct ConditionFields {
  std::string startYear = {}, startMonth = {}, startDay = {}, startHour = {}, startMinute = {};
  std::string endYear = {}, endMonth = {}, endDay = {}, endHour = {}, endMinute = {};
};

struct ConditionRange {
  int startYear = kFirstSearchYear, startMonth = 1, startDay = 1, startHour = 0, startMinute = 0;
  int endYear = kFirstSearchYear + 20, endMonth = 12, endDay = 31, endHour = kEndOfDayHour,
      endMinute = kEndOfHourMinute;
};

// The message of the first field that fails (UTF-8).
struct ConditionFailure {
  std::string title;
  std::string text;
};

// Checks and completes the start, then the end, field by field; false with
// the first failing field's message.
bool CompleteConditions(const ConditionFields& fields, ConditionRange* range,
                        ConditionFailure* failure);

}  // namespace velrix
