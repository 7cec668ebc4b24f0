#include "datafile/review/review_options.h"

#include "platform/cp932.h"

namespace velrix {

const char kReviewUsage[] =
    "usage: velrix-review --data-folder DIR --from \"YYYY-MM-DD hh:mm\" [--to \"YYYY-MM-DD hh:mm\"]\n"
    "                     [--computer T] [--unit T] [--comment T] [--level 0..4|s] [--out FILE]\n"
    "  --data-folder DIR  the data folder: the one holding the year folders (.../Velrix)\n"
    "  --from, --to       the range of the search; a date may stop early (\"2013\",\n"
    "                     \"2013-03-02 10\") and --to may be left out, as in the\n"
    "                     file selection conditions\n"
    "  --computer, --unit, --comment  only files whose header line is exactly this\n"
    "  --level L          0: 10 s, 1: 2 min, 2: 1 h (default), 3: 12 h, 4: 5 days;\n"
    "                     s: the seconds of the last day loaded\n"
    "  --out FILE         write the CSV (UTF-8) there instead of standard output\n"
    "Exit status: 0 something was loaded, 2 no file met the conditions, 1 bad arguments.\n";

namespace {

bool IsDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

bool SplitReviewDate(const std::string& text, std::string* fields[5]) {
  // Separators in order: year-month-day hour:minute.
  static const char kSeparators[4] = {'-', '-', ' ', ':'};
  std::size_t at = 0;
  for (int i = 0; i < 5; ++i) fields[i]->clear();
  for (int i = 0; i < 5; ++i) {
    std::size_t end = at;
    while (end < text.size() && (i == 4 || text[end] != kSeparators[i])) ++end;
    const std::string part = text.substr(at, end - at);
    if (!IsDigits(part)) return false;
    *fields[i] = part;
    if (end == text.size()) return true;
    at = end + 1;
    if (at == text.size()) return false;  // a separator with nothing after it
  }
  return true;
}

bool ParseReviewOptions(const std::vector<std::string>& args, ReviewOptions* o,
                        std::string* error) {
  bool from = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (i + 1 >= args.size()) {
      *error = "unknown or incomplete argument: " + arg;
      return false;
    }
    const std::string& value = args[++i];
    if (arg == "--data-folder") {
      o->dataFolder = value;
    } else if (arg == "--from" || arg == "--to") {
      ConditionFields& c = o->conditions;
      std::string* start[5] = {&c.startYear, &c.startMonth, &c.startDay, &c.startHour, &c.startMinute};
      std::string* end[5] = {&c.endYear, &c.endMonth, &c.endDay, &c.endHour, &c.endMinute};
      if (!SplitReviewDate(value, arg == "--from" ? start : end)) {
        *error = arg + " \"" + value + "\" is not YYYY-MM-DD hh:mm or a leading part of it";
        return false;
      }
      from = from || arg == "--from";
    } else if (arg == "--computer" || arg == "--unit" || arg == "--comment") {
      bool ok = true;
      const std::string cp932 = Utf8ToCp932(value, &ok);
      if (!ok || cp932.size() > kHeaderTextMaxBytes) {
        *error = arg + ": no data file can hold this text (code page 932, at most 127 bytes)";
        return false;
      }
      (arg == "--computer" ? o->filters.computerName
                           : arg == "--unit" ? o->filters.unitNumber : o->filters.comment) = cp932;
    } else if (arg == "--level") {
      if (value == "s") {
        o->level = kReviewSeconds;
      } else if (value.size() == 1 && value[0] >= '0' && value[0] <= '4') {
        o->level = value[0] - '0';
      } else {
        *error = "--level takes 0, 1, 2, 3, 4 or s";
        return false;
      }
    } else if (arg == "--out") {
      o->outPath = value;
    } else {
      *error = "unknown argument: " + arg;
      return false;
    }
  }
  if (o->dataFolder.empty() || !from) {
    *error = "--data-folder and --from are needed";
    return false;
  }
  return true;
}

}  // namespace velrix
