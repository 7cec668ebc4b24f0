#pragma once
// The command line of velrix-review:
//   velrix-review --data-folder DIR --from "YYYY-MM-DD hh:mm" [--to "YYYY-MM-DD hh:mm"]
//                 [--computer T] [--unit T] [--comment T] [--level 0..4|s] [--out FILE]
// A date may stop early ("2013", "2013-03", "2013-03-02 10"); the fields left
// out are completed as the condition dialog completes empty fields.

#include <string>
#include <vector>

#include "datafile/condition_range.h"
#include "datafile/file_history.h"

namespace velrix {

inline constexpr int kReviewSeconds = -1;  // --level s: the per-second ring

struct ReviewOptions {
  std::string dataFolder;     // the folder holding the year folders
  ConditionFields conditions;
  HeaderFilters filters;      // CP932
  int level = 2;              // 0-4, or kReviewSeconds
  std::string outPath;        // empty: standard output
};

extern const char kReviewUsage[];

// False with a reason (UTF-8) for a bad command line; the conditions are
// checked later, by the search's own rules.
bool ParseReviewOptions(const std::vector<std::string>& args, ReviewOptions* options,
                        std::string* error);

// "YYYY-MM-DD hh:mm" or a leading part of it into the five fields of one side.
bool SplitReviewDate(const std::string& text, std::string* fields[5]);

}  // namespace velrix
