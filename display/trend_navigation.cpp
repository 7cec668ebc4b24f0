#include "display/trend_navigation.h"

#include "datafile/date_search.h"
#include "display/trend_window.h"
#include "platform/clock.h"

namespace velrix {
namespace {

constexpr long long kLeadInSeconds = kSecondsPerDay;
constexpr int kShortestSpan = 0;
constexpr int kLongestSpan = kTrendSpans - 1;

ConditionRange RangeOf(const Clock& clock, ClockSeconds from, ClockSeconds to) {
  const CalendarTime a = clock.Local(from);
  const CalendarTime b = clock.Local(to);
  ConditionRange r;
  r.startYear = a.year;
  r.startMonth = a.month;
  r.startDay = a.day;
  r.startHour = a.hour;
  r.startMinute = a.minute;
  r.endYear = b.year;
  r.endMonth = b.month;
  r.endDay = b.day;
  r.endHour = b.hour;
  r.endMinute = b.minute;
  return r;
}

}  // namespace

TrendAction DecideTrendKey(TrendKey key, const TrendKeyState& st) {
  const bool files = st.fileMode == 1;
  const bool roomAhead =
      st.origin + TrendSpanOf(st.trendSpan).seconds < st.selectionEnd;
  switch (key) {
    case TrendKey::F1:
      return st.firstPress && st.trendSpan > kShortestSpan ? TrendAction::ZoomIn : TrendAction::Refresh;
    case TrendKey::F2:
      return st.firstPress && st.trendSpan < kLongestSpan ? TrendAction::ZoomOut : TrendAction::Refresh;
    case TrendKey::F3:
      return st.firstPress ? TrendAction::ToggleCursor : TrendAction::Refresh;
    case TrendKey::F4:
      return files && st.firstPress ? TrendAction::BackToOpened : TrendAction::Refresh;
    case TrendKey::Digit1:
      return files ? TrendAction::MoveBackHalf : TrendAction::Refresh;
    case TrendKey::Digit2:
      return files ? TrendAction::MoveBackTenth : TrendAction::Refresh;
    case TrendKey::Digit3:
      return files && roomAhead ? TrendAction::MoveForwardTenth : TrendAction::Refresh;
    case TrendKey::Digit4:
      return files && roomAhead ? TrendAction::MoveForwardHalf : TrendAction::Refresh;
    case TrendKey::Other:
      break;
  }
  return TrendAction::Refresh;
}

ClockSeconds NavigationWindowStart(TrendAction action, ClockSeconds lastCursorTime,
                                   ClockSeconds origin, long long spanSeconds,
                                   long long newSpanSeconds, ClockSeconds selectionStart) {
  ClockSeconds w = origin;
  switch (action) {
    case TrendAction::ZoomIn:
    case TrendAction::ZoomOut:
      return lastCursorTime - newSpanSeconds / 2;
    case TrendAction::MoveBackHalf:
      w = origin - spanSeconds / 2;
      break;
    case TrendAction::MoveBackTenth:
      w = origin - spanSeconds / 10;
      break;
    case TrendAction::MoveForwardTenth:
      return origin + spanSeconds / 10;
    case TrendAction::MoveForwardHalf:
      return origin + spanSeconds / 2;
    default:
      return origin;
  }
  return w < selectionStart ? selectionStart : w;
}

void NavigationReload(FileHistory& h, FileSelection& s, ClockSeconds w, long long spanSeconds,
                      ClockSeconds selectionStart, ClockSeconds selectionEnd,
                      const std::string& dataFolder, const ReaderEnv& env) {
  s.range = RangeOf(env.clock, selectionStart, selectionEnd);
  ResetFileHistory(h);
  h.origin = w - kLeadInSeconds;
  h.warmUpDay = true;
  h.spanLimit = spanSeconds + kLeadInSeconds;
  h.loadFull = false;
  // A file that starts before the lead-in day is passed over anyway, so the
  // search need not read the years before it: it starts at the lead-in's
  // minute (a file of that minute but an earlier second is still offered
  // and passed over as before).
  const ConditionRange from =
      RangeOf(env.clock, h.origin > selectionStart ? h.origin : selectionStart, selectionEnd);
  SearchDates(h, {dataFolder, s.searchFolder}, from, env);
  if (h.warmUpDay) {
    // Nothing at or after w: the window from w is shown empty.
    ResetFileHistory(h);
    h.origin += kLeadInSeconds;
  }
  FinishLoad(h);
}

}  // namespace velrix
