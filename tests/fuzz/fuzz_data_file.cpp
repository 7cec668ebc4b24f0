// Recorded data as the reader may meet it: up to six files of any bytes,
// loaded one after another into one file history, with the averaging
// window, the lead-in day and the span limit chosen by the input. A crash,
// a read past a buffer, undefined behaviour or a hang is a finding.
//
// Input: byte 0 chooses the load (lead-in day, span limit, where the names
// start), byte 1 the averaging window; the rest is the files' bytes,
// separated by "\n\0\n".

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "datafile/data_file_reader.h"
#include "datafile/file_history.h"

namespace {

using namespace velrix;

class Silent final : public UserMessages {
 public:
  void Show(const std::string&, const std::string&) override {}
};

// Names in time order with gaps, overlaps, a midnight and a day's end.
constexpr const char* kNames[] = {"130302-000000.csv", "130302-120000.csv", "130302-235959.csv",
                                  "130303-000000.csv", "130303-000001.csv", "130304-100000.csv",
                                  "991399-256161.csv"};
constexpr std::size_t kNameCount = sizeof kNames / sizeof kNames[0];
constexpr char kSeparator[] = "\n\0\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static auto history = std::make_unique<FileHistory>();
  static auto text = std::make_unique<DataFileText>();
  static const ManualClock clock(0, 9 * 3600);
  static Silent messages;
  if (size < 2) return 0;
  FileHistory& h = *history;
  const std::uint8_t setup = data[0];
  ResetFileHistory(h);
  h.loadFull = false;
  h.fileLimit = 0;
  h.origin = (setup & 1) != 0 ? clock.FromLocal(2013, 3, 1, 6, 0, 0) : 0;
  h.warmUpDay = (setup & 1) != 0;
  h.spanLimit = (setup & 2) != 0 ? 86400 + (setup >> 2) * 1801 : 0;
  h.averageSeconds = 1 + data[1] * 15;
  const ReaderEnv env{messages, clock};

  const char* p = reinterpret_cast<const char*>(data) + 2;
  const char* end = reinterpret_cast<const char*>(data) + size;
  for (std::size_t file = 0; file < 6 && p <= end && !h.loadFull; ++file) {
    const char* stop = static_cast<const char*>(
        memmem(p, static_cast<std::size_t>(end - p), kSeparator, sizeof kSeparator - 1));
    if (stop == nullptr) stop = end;
    const std::string name = std::string("/data/") + kNames[(file + (setup >> 5)) % kNameCount];
    if (CheckDataFileName(name, *text)) {
      ParseDataFileBytes(p, static_cast<std::size_t>(stop - p), *text);
    } else {
      text->outcome = DataFileText::Outcome::BadName;
    }
    ApplyDataFile(h, *text, env);
    p = stop + sizeof kSeparator - 1;
  }
  FinishLoad(h);
  return 0;
}
