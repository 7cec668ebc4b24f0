#pragma once
// Checks of the committed rows against time: each row at the second its
// frame was sent (from the simulated unit's sent log), and files of a zone
// with daylight saving placed by their labels alone, so that a label that is
// not the local time of its second shows.

#include <string>
#include <vector>

#include "platform/clock.h"
#include "tests/e2e/e2e_fixture.h"

namespace velrix::testing::e2e {

// One line of a unit's sent log: the unit's second and the frame's count.
struct SentFrame {
  ClockSeconds second = 0;
  int count = 0;
};
std::vector<SentFrame> ReadSentLog(const std::string& path);

// Rows carrying one frame's count that stand more than `slack` seconds from
// the second the unit sent that frame.
std::vector<std::string> MisdatedRows(const std::vector<DataFile>& files,
                                      const std::vector<SentFrame>& log, int slack);

// Orders the files by the frames their rows carry: the order of their
// seconds, whatever their labels say.
void OrderByFrames(std::vector<DataFile>* files, const std::vector<int>& sent);

// Orders the files by the frames their rows carry and places every row in
// the local time of `zone`: a file's first row at the earliest instant its
// label names that does not precede the file before it, each later row one
// second on. A label that is not the local time of that second is a problem.
std::vector<std::string> PlaceInLocalTime(std::vector<DataFile>* files,
                                          const std::vector<int>& sent, const Clock& zone);

// The time zone of this process for the life of the object (the children get
// theirs from the station).
class LocalZone {
 public:
  explicit LocalZone(const std::string& tz);
  ~LocalZone();
  LocalZone(const LocalZone&) = delete;
  LocalZone& operator=(const LocalZone&) = delete;

 private:
  std::string before_;
};

}  // namespace velrix::testing::e2e
