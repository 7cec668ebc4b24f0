// velrix-review: the condition search of the file selection dialog without
// any window, for users who want their recorded data outside the program and
// for scripted checks. It loads the files exactly as the dialog would and
// writes one trend level's entries (or the last day's seconds) as CSV.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "datafile/date_search.h"
#include "datafile/review/review_export.h"
#include "datafile/review/review_options.h"
#include "platform/c_format.h"
#include "platform/clock.h"
#include "platform/command_line.h"
#include "platform/durable_file.h"
#include "platform/stderr_messages.h"

namespace velrix {
namespace {

constexpr char kProgramName[] = "velrix-review";
constexpr int kExitLoaded = 0;
constexpr int kExitReviewArguments = 1;
constexpr int kExitNothingFound = 2;
constexpr char kNothingFound[] = "この条件を満たすファイルは存在しません。";

int Run(const ReviewOptions& options) {
  ConditionRange range;
  ConditionFailure failure;
  if (!CompleteConditions(options.conditions, &range, &failure)) {
    std::fprintf(stderr, "%s: %s: %s\n%s", kProgramName, failure.title.c_str(),
                 failure.text.c_str(), kReviewUsage);
    return kExitReviewArguments;
  }
  std::FILE* out = stdout;
  // A file given with --out is written beside it and renamed over it once
  // whole and on the disk: a kill or a power cut leaves the old file or the
  // new one, never a part.
  const std::string partPath = options.outPath + kAtomicWriteSuffix;
  if (!options.outPath.empty()) {
    out = std::fopen(partPath.c_str(), "wb");
    if (out == nullptr) {
      std::fprintf(stderr, "%s: cannot write %s\n", kProgramName, options.outPath.c_str());
      return kExitReviewArguments;
    }
  }
  const Clock& clock = DefaultClock();
  StderrMessages messages(kProgramName);
  const ReaderEnv env{messages, clock};
  auto history = std::make_unique<FileHistory>();
  history->filters = options.filters;
  LevelCsvWriter levels(out, options.level, *history, clock);
  if (options.level != kReviewSeconds) {
    std::fputs(kLevelCsvHeader, out);
    history->sink = &levels;
  } else {
    std::fputs(kSecondsCsvHeader, out);
  }

  const auto start = std::chrono::steady_clock::now();
  const int files = RunConditionSearch(*history, {options.dataFolder, ""}, range, env);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  const long long rows = options.level == kReviewSeconds ? WriteSecondsCsv(out, *history, clock)
                                                        : levels.rows();
  bool written = levels.Flush();
  written = std::fflush(out) == 0 && written;
  if (out != stdout) {
    written = SyncFile(out) && written;
    written = (std::fclose(out) == 0) && written;
    std::error_code ec;
    if (written) std::filesystem::rename(partPath, options.outPath, ec);
    written = written && !ec && SyncFolder(FolderOf(options.outPath));
    if (!written) std::filesystem::remove(partPath, ec);
  }
  std::fprintf(stderr, "%s: %d files, %lld seconds loaded in %s s; %lld rows written\n",
               kProgramName, files, history->loadedSeconds,
               CFormatString("%.3f", took.count()).c_str(), rows);
  if (!written) {
    std::fprintf(stderr, "%s: writing the CSV failed\n", kProgramName);
    return kExitReviewArguments;
  }
  if (files == 0) {
    std::fprintf(stderr, "%s: %s\n", kProgramName, kNothingFound);
    return kExitNothingFound;
  }
  return kExitLoaded;
}

}  // namespace
}  // namespace velrix

int main(int argc, char** argv) {
  using namespace velrix;
  const std::vector<std::string> args(argv + 1, argv + argc);
  const HelpOrVersion asked = FindHelpOrVersion(args);
  if (asked != HelpOrVersion::None) return AnswerHelpOrVersion(asked, kProgramName, kReviewUsage);
  ReviewOptions options;
  std::string error;
  if (!ParseReviewOptions(args, &options, &error)) {
    // Scripts tell a slip of the command line (1) from a search that found
    // nothing (2).
    RejectArguments(kProgramName, error, kReviewUsage);
    return kExitReviewArguments;
  }
  return Run(options);
}
