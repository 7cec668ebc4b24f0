#include "tests/e2e/timeline_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>

#include "tests/support/data_file_fixture.h"

namespace velrix::testing::e2e {
namespace {

int Digits(const std::string& s, std::size_t from, std::size_t n) {
  return std::atoi(s.substr(from, n).c_str());
}

// The frame index a file's first counted row carries, for ordering.
int FirstFrameOf(const DataFile& file, const std::map<int, int>& frameOfCount) {
  for (const Row& r : file.rows) {
    const auto it = frameOfCount.find(static_cast<int>(r.count));
    if (r.missing == 0 && it != frameOfCount.end()) return it->second;
  }
  return -1;
}

}  // namespace

std::vector<SentFrame> ReadSentLog(const std::string& path) {
  std::vector<SentFrame> log;
  const std::string text = ReadBytes(path);
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    long long second = 0;
    int count = 0;
    if (std::sscanf(text.substr(pos, end - pos).c_str(), "%lld %d", &second, &count) == 2) {
      log.push_back({static_cast<ClockSeconds>(second), count});
    }
    pos = end + 1;
  }
  return log;
}

std::vector<std::string> MisdatedRows(const std::vector<DataFile>& files,
                                      const std::vector<SentFrame>& log, int slack) {
  std::multimap<int, ClockSeconds> sentAt;
  for (const SentFrame& f : log) sentAt.emplace(f.count, f.second);
  std::vector<std::string> problems;
  for (const DataFile& file : files) {
    for (const Row& r : file.rows) {
      if (r.missing != 0 || std::floor(r.count) != r.count) continue;
      const auto [from, to] = sentAt.equal_range(static_cast<int>(r.count));
      ClockSeconds best = -1;
      for (auto it = from; it != to; ++it) {
        if (best < 0 || std::llabs(it->second - r.at) < std::llabs(best - r.at)) best = it->second;
      }
      if (best >= 0 && std::llabs(best - r.at) > slack) {
        problems.push_back(file.name + ": the row of count " + std::to_string(r.count) +
                           " stands " + std::to_string(r.at - best) +
                           " s from the second its frame was sent");
      }
    }
  }
  return problems;
}

void OrderByFrames(std::vector<DataFile>* files, const std::vector<int>& sent) {
  std::map<int, int> frameOfCount;
  for (std::size_t k = 0; k < sent.size(); ++k) frameOfCount.emplace(sent[k], static_cast<int>(k));
  std::stable_sort(files->begin(), files->end(), [&](const DataFile& a, const DataFile& b) {
    return FirstFrameOf(a, frameOfCount) < FirstFrameOf(b, frameOfCount);
  });
}

std::vector<std::string> PlaceInLocalTime(std::vector<DataFile>* files,
                                          const std::vector<int>& sent, const Clock& zone) {
  OrderByFrames(files, sent);
  std::vector<std::string> problems;
  ClockSeconds previousEnd = 0;
  for (DataFile& file : *files) {
    if (file.rows.empty()) continue;
    const std::string rel = file.path.substr(file.path.size() - 28);  // YYYY/MM/DD/yymmdd-hhmmss.csv
    const int year = Digits(rel, 0, 4), month = Digits(rel, 5, 2), day = Digits(rel, 8, 2);
    ClockSeconds t = 0;
    for (std::size_t i = 0; i < file.rows.size(); ++i) {
      Row& row = file.rows[i];
      const CalendarTime label = CalendarFromUtc(row.at);  // the label as written
      if (i == 0) {
        ClockSeconds instants[2] = {};
        const int n = LocalInstants(zone, year, month, day, label.hour, label.minute,
                                    label.second, instants);
        if (n == 0) {
          problems.push_back(file.name + ": its first label names no local time of that day");
          break;
        }
        t = (n == 2 && instants[0] < previousEnd) ? instants[1] : instants[0];
      } else {
        t += 1;
        const CalendarTime local = zone.Local(t);
        if (local.hour != label.hour || local.minute != label.minute ||
            local.second != label.second) {
          problems.push_back(file.name + ": row " + std::to_string(i) +
                             " is not labelled with the local time of its second");
          break;
        }
      }
      row.at = t;
    }
    previousEnd = t + 1;
  }
  return problems;
}

LocalZone::LocalZone(const std::string& tz) {
  const char* before = std::getenv("TZ");
  before_ = before != nullptr ? before : "";
  setenv("TZ", tz.c_str(), 1);
  tzset();
}

LocalZone::~LocalZone() {
  setenv("TZ", before_.c_str(), 1);
  tzset();
}

}  // namespace velrix::testing::e2e
