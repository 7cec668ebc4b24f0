#include "tests/e2e/e2e_fixture.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>

#include <QCoreApplication>

#include "datafile/data_file_reader.h"
#include "platform/cp932.h"
#include "settings/later_run_folder.h"
#include "settings/settings_files.h"
#include "tests/e2e/timeline_check.h"
#include "tests/support/data_file_fixture.h"
#include "tests/support/program_run.h"

namespace velrix::testing::e2e {
namespace {

int Digits(const std::string& s, std::size_t from, std::size_t n) {
  return std::atoi(s.substr(from, n).c_str());
}

}  // namespace

std::string BuildFolder() {
  std::error_code ec;
  // <build>/tests/e2e/test_e2e
  return fs::read_symlink("/proc/self/exe", ec).parent_path().parent_path().parent_path().string();
}

std::string RecorderProgram() { return BuildFolder() + "/measure/recorder/velrix-recorder"; }
std::string VelrixProgram() { return BuildFolder() + "/velrix"; }

SharedClock::SharedClock(const std::string& start, int scale, std::int64_t anchorDelayMs)
    : start_(start), scale_(scale), anchor_(ScaledClock::RealNowMs() + anchorDelayMs) {
  ClockSeconds startSeconds = 0;
  EXPECT_TRUE(ParseLocalTime(start, SystemClock(), &startSeconds)) << start;
  clock_ = std::make_unique<ScaledClock>(startSeconds * 1000, scale, anchor_);
}

struct MachineStalls::Impl {
  // A hold-up shorter than this is a scheduler's ordinary delay, well inside
  // a clock second at the scales the cases use.
  static constexpr std::chrono::milliseconds kThreshold{10};
  static constexpr std::chrono::milliseconds kNap{2};
  std::atomic<bool> stop{false};
  std::atomic<std::int64_t> lateMs{0};
  std::atomic<int> stalls{0};
  std::thread watcher;

  void Watch() {
    auto before = std::chrono::steady_clock::now();
    while (!stop.load()) {
      std::this_thread::sleep_for(kNap);
      const auto now = std::chrono::steady_clock::now();
      const auto late = std::chrono::duration_cast<std::chrono::milliseconds>(now - before) - kNap;
      if (late > kThreshold) {
        lateMs.fetch_add(late.count());
        stalls.fetch_add(1);
      }
      before = now;
    }
  }
};

MachineStalls::MachineStalls() : impl_(std::make_unique<Impl>()) {
  impl_->watcher = std::thread([this] { impl_->Watch(); });
}

MachineStalls::~MachineStalls() {
  impl_->stop.store(true);
  impl_->watcher.join();
}

int MachineStalls::ClockSecondsLost(int scale) const {
  const std::int64_t lateClockMs = impl_->lateMs.load() * scale;
  return static_cast<int>((lateClockMs + 999) / 1000) + 2 * impl_->stalls.load();
}

std::vector<std::string> SharedClock::Args() const {
  return {"--clock-start", start_, "--time-scale", std::to_string(scale_), "--clock-anchor-ms",
          std::to_string(anchor_)};
}

void SharedClock::SleepUntilMs(std::int64_t ms) const {
  const std::int64_t left = ms - clock_->NowMs();
  if (left > 0) std::this_thread::sleep_for(std::chrono::milliseconds(clock_->RealSpanMs(left)));
}

void SharedClock::SleepClockSeconds(double seconds) const {
  SleepUntilMs(clock_->NowMs() + static_cast<std::int64_t>(seconds * 1000));
}

ClockSeconds At(int year, int month, int day, int hour, int minute, int second) {
  return UtcFromCalendar(year, month, day, hour, minute, second);
}

std::vector<int> MarkedCounts(int offset) {
  std::vector<int> values;
  for (int v = 1; v <= 8191; v += 3) values.push_back(v);
  std::mt19937 random(20261208);
  std::shuffle(values.begin(), values.end(), random);
  std::rotate(values.begin(), values.begin() + (offset % static_cast<int>(values.size())),
              values.end());
  return values;
}

sim::SimConfig MarkedUnit(const SharedClock& clock, const std::string& linkPath, int offset) {
  sim::SimConfig config;
  config.counts.kind = sim::CountSource::Kind::Sequence;
  config.counts.sequence = MarkedCounts(offset);
  config.linkPath = linkPath;
  config.clock = &clock.clock();
  return config;
}

Station::Station(int autoStart) {
  program_ = temp_.slash() + "program/";
  fs::create_directories(program_);
  fs::create_directories(temp_.File("home"));
  fs::create_directories(temp_.File("runtime"));
  ::chmod(temp_.File("runtime").c_str(), 0700);
  const Settings settings = LaterRunSettings(program_, temp_.File("base"),
                                             {"E2E-PC", kDefaultUnitNumber, "roof"}, autoStart);
  std::string error;
  EXPECT_TRUE(WriteLaterRunFolder(settings, ShippedProgramFolder(), &error)) << error;
  dataFolder_ = settings.dataFolder;
}

std::vector<std::string> Station::Env() const {
  std::vector<std::string> env = {"HOME=" + temp_.File("home"),
                                  "XDG_RUNTIME_DIR=" + temp_.File("runtime"),
                                  "XDG_CONFIG_HOME=" + temp_.File("home") + "/.config",
                                  "TZ=" + tz_, "QT_QPA_PLATFORM=offscreen",
                                  "DBUS_SYSTEM_BUS_ADDRESS=" + systemBus_, "PATH=/usr/bin:/bin"};
  // The link's trace, when the one running the tests asks for it.
  if (const char* trace = std::getenv("VELRIX_TRACE")) env.push_back(std::string("VELRIX_TRACE=") + trace);
  return env;
}

Child::Child(const std::string& program, const std::vector<std::string>& args,
             const std::vector<std::string>& env, const std::string& outputPath,
             const ChildSetup& setup)
    : outputPath_(outputPath) {
  std::vector<std::string> all = {program};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> envCopy = env;
  std::vector<char*> envp;
  for (auto& e : envCopy) envp.push_back(e.data());
  envp.push_back(nullptr);
  const int out = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) return;
  // Only async-signal-safe calls between fork and exec: the test runs threads.
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out, 1);
    ::dup2(out, 2);
    if (!setup.workingFolder.empty() && ::chdir(setup.workingFolder.c_str()) != 0) ::_exit(127);
    if (setup.fileSizeLimit >= 0) {
      // A full disk: writes past the limit fail (EFBIG) instead of raising
      // SIGXFSZ, which is ignored across the exec.
      struct sigaction ignore {};
      ignore.sa_handler = SIG_IGN;
      ::sigaction(SIGXFSZ, &ignore, nullptr);
      const rlimit limit{static_cast<rlim_t>(setup.fileSizeLimit),
                         static_cast<rlim_t>(setup.fileSizeLimit)};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ::execve(program.c_str(), argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(out);
  pid_ = pid;
}

Child::~Child() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
}

bool Child::Running() {
  if (pid_ <= 0) return false;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) == 0) return true;
  status_ = status;
  pid_ = -1;
  return false;
}

void Child::Signal(int signal) {
  if (pid_ > 0) ::kill(pid_, signal);
}

std::optional<int> Child::WaitExit(double seconds) {
  WaitUntil([this] { return !Running(); }, seconds);
  if (pid_ > 0) return std::nullopt;
  return status_;
}

std::string Child::Output() const { return ReadBytes(outputPath_); }

bool ExitedWith(const std::optional<int>& status, int code) {
  return status.has_value() && WIFEXITED(*status) && WEXITSTATUS(*status) == code;
}

std::string Describe(const std::optional<int>& status) {
  if (!status) return "still running";
  if (WIFEXITED(*status)) return "exit code " + std::to_string(WEXITSTATUS(*status));
  if (WIFSIGNALED(*status)) return "signal " + std::to_string(WTERMSIG(*status));
  return "status " + std::to_string(*status);
}

namespace {

// A program of the build on the station's unit link, with the shared clock.
std::unique_ptr<Child> StartOnStation(const std::string& program, const Station& station,
                                      const SharedClock& clock, const std::string& outputName,
                                      const ChildSetup& setup) {
  std::vector<std::string> args = {"--port", station.UnitLink(), "--program-folder",
                                   station.program()};
  const std::vector<std::string> clockArgs = clock.Args();
  args.insert(args.end(), clockArgs.begin(), clockArgs.end());
  args.insert(args.end(), setup.extraArgs.begin(), setup.extraArgs.end());
  return std::make_unique<Child>(program, args, station.Env(), station.temp().File(outputName),
                                 setup);
}

}  // namespace

std::unique_ptr<Child> StartRecorder(const Station& station, const SharedClock& clock,
                                     const std::string& outputName, const ChildSetup& setup) {
  return StartOnStation(RecorderProgram(), station, clock, outputName, setup);
}

std::unique_ptr<Child> StartVelrix(const Station& station, const SharedClock& clock,
                                   const std::string& outputName, const ChildSetup& setup) {
  return StartOnStation(VelrixProgram(), station, clock, outputName, setup);
}

bool WaitUntil(const std::function<bool()>& condition, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(static_cast<int>(seconds * 1000));
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

bool PumpUntil(const std::function<bool()>& condition, double seconds) {
  return WaitUntil(
      [&] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return condition();
      },
      seconds);
}

int WorkingRows(const Station& station) {
  std::error_code ec;
  if (!fs::is_regular_file(station.WorkingCopy(), ec)) return 0;
  return static_cast<int>(DataRows(ReadBytes(station.WorkingCopy())).size());
}

bool WaitForFrames(const Station& station, const sim::SimUnit& unit, int frames, double seconds) {
  return WaitUntil(
      [&] {
        const std::vector<int> sent = unit.CountsSent();
        if (static_cast<int>(sent.size()) < frames) return false;
        std::error_code ec;
        if (!fs::is_regular_file(station.WorkingCopy(), ec)) return false;
        const std::vector<std::string> rows = DataRows(ReadBytes(station.WorkingCopy()));
        if (rows.empty() || !IsDataRow(rows.back())) return false;
        const int last = static_cast<int>(std::strtod(rows.back().substr(9, 8).c_str(), nullptr));
        for (std::size_t k = sent.size() >= 3 ? sent.size() - 3 : 0; k < sent.size(); ++k) {
          if (sent[k] == last) return true;
        }
        return false;
      },
      seconds);
}

int LinesWith(const std::string& output, const std::string& text) {
  int n = 0;
  std::size_t pos = 0;
  while (pos < output.size()) {
    std::size_t end = output.find('\n', pos);
    if (end == std::string::npos) end = output.size();
    if (output.substr(pos, end - pos).find(text) != std::string::npos) ++n;
    pos = end + 1;
  }
  return n;
}

std::vector<DataFile> ReadDataFolder(const std::string& dataFolder,
                                     std::vector<std::string>* problems) {
  std::vector<std::string> paths;
  std::error_code ec;
  if (fs::is_directory(dataFolder, ec)) {
    for (const auto& entry : fs::recursive_directory_iterator(dataFolder, ec)) {
      if (entry.is_regular_file() && entry.path().extension() == ".csv") {
        paths.push_back(entry.path().string());
      }
    }
  }
  // YYYY/MM/DD/yymmdd-hhmmss.csv sorts in time order.
  std::sort(paths.begin(), paths.end());
  std::vector<DataFile> files;
  DataFileText text;
  for (const std::string& path : paths) {
    DataFile file;
    file.path = path;
    file.name = fs::path(path).filename().string();
    const std::string day = fs::path(path).parent_path().string();
    const std::string rel = day.substr(dataFolder.size());  // /YYYY/MM/DD
    const int year = Digits(rel, 1, 4), month = Digits(rel, 6, 2), mday = Digits(rel, 9, 2);
    const std::string bytes = ReadBytes(path);
    // Every line ends in CR LF, the last one too.
    if (bytes.size() < 2 || bytes.compare(bytes.size() - 2, 2, "\r\n") != 0) {
      problems->push_back(file.name + ": does not end with CR LF");
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) {
        problems->push_back(file.name + ": a bare LF at byte " + std::to_string(i));
        break;
      }
    }
    std::vector<std::string> lines;
    for (std::size_t pos = 0; pos < bytes.size();) {
      std::size_t end = bytes.find("\r\n", pos);
      if (end == std::string::npos) end = bytes.size();
      lines.push_back(bytes.substr(pos, end - pos));
      pos = end + 2;
    }
    if (lines.size() < 5 || lines[0] != "2.00" ||
        lines[4] != Utf8ToCp932("時刻,カウント値,リトライ,電源ステータス")) {
      problems->push_back(file.name + ": not the five header lines");
      files.push_back(file);
      continue;
    }
    file.comment = lines[3];
    for (std::size_t i = 5; i < lines.size(); ++i) {
      const std::string& line = lines[i];
      if (!IsDataRow(line)) {
        problems->push_back(file.name + ": not a row: \"" + line + "\"");
        continue;
      }
      Row row;
      row.at = At(year, month, mday, Digits(line, 0, 2), Digits(line, 3, 2), Digits(line, 6, 2));
      row.count = std::strtod(line.substr(9, 8).c_str(), nullptr);
      row.missing = line[18] - '0';
      row.power = line[20] - '0';
      file.rows.push_back(row);
    }
    // The program's reader must see the same rows.
    ReadDataFile(path, text);
    if (text.outcome != DataFileText::Outcome::Read) {
      problems->push_back(file.name + ": the reader cannot read it");
    } else if (text.rowCount != file.rows.size()) {
      problems->push_back(file.name + ": the reader sees " + std::to_string(text.rowCount) +
                          " rows, the file has " + std::to_string(file.rows.size()));
    } else {
      for (std::size_t i = 0; i < file.rows.size(); ++i) {
        if (text.counts[i] != file.rows[i].count || text.missing[i] != file.rows[i].missing) {
          problems->push_back(file.name + ": the reader differs at row " + std::to_string(i));
          break;
        }
      }
    }
    files.push_back(file);
  }
  return files;
}

std::vector<Row> AllRows(const std::vector<DataFile>& files) {
  std::vector<Row> rows;
  for (const DataFile& f : files) rows.insert(rows.end(), f.rows.begin(), f.rows.end());
  return rows;
}

std::vector<std::string> TimelineProblems(const std::vector<DataFile>& files) {
  std::vector<std::string> problems;
  ClockSeconds last = -1;
  for (const DataFile& f : files) {
    for (std::size_t i = 0; i < f.rows.size(); ++i) {
      const Row& r = f.rows[i];
      if (i > 0 && r.at != f.rows[i - 1].at + 1) {
        problems.push_back(f.name + ": row " + std::to_string(i) + " is not the second after row " +
                           std::to_string(i - 1));
      }
      if (last >= 0 && r.at <= last) {
        problems.push_back(f.name + ": row " + std::to_string(i) + " repeats or precedes a second" +
                           " already recorded");
      }
      last = std::max(last, r.at);
    }
  }
  return problems;
}

Matching MatchRows(const std::vector<Row>& rows, const std::vector<int>& sent) {
  // A row may skip this many frames: more than a computer stopped for ten
  // minutes leaves queued (and the link drops), fewer than the period of the
  // marked counts.
  constexpr int kLookahead = 2000;
  Matching m;
  std::vector<bool> used(sent.size(), false);
  int next = 0;
  for (const Row& row : rows) {
    if (row.missing == 1 && row.count == 0.0) {
      ++m.missingRows;
      continue;
    }
    const double whole = std::floor(row.count);
    bool matched = false;
    if (whole == row.count) {
      const int value = static_cast<int>(whole);
      const int end = std::min<int>(static_cast<int>(sent.size()), next + kLookahead);
      for (int k = next; k < end && !matched; ++k) {
        if (sent[k] == value) {
          used[k] = true;
          ++m.singles;
          if (m.firstMatched < 0) m.firstMatched = k;
          m.lastMatched = k;
          next = k + 1;
          matched = true;
        } else if (k + 1 < end && sent[k] + sent[k + 1] == value && value % 3 == 2) {
          used[k] = used[k + 1] = true;
          ++m.merges;
          if (m.firstMatched < 0) m.firstMatched = k;
          m.lastMatched = k + 1;
          next = k + 2;
          matched = true;
        }
      }
    }
    if (!matched) ++m.unmatched;
  }
  for (std::size_t k = 0; k < sent.size(); ++k) {
    if (!used[k]) m.dropped.push_back(static_cast<int>(k));
  }
  return m;
}

std::vector<int> DropsOutside(const std::vector<int>& dropped,
                              const std::vector<std::pair<int, int>>& allowed) {
  std::vector<int> outside;
  for (int k : dropped) {
    bool ok = false;
    for (const auto& range : allowed) ok = ok || (k >= range.first && k <= range.second);
    if (!ok) outside.push_back(k);
  }
  return outside;
}

std::string CheckCommitted(const std::string& dataFolder, const std::vector<int>& sent,
                           const RowExpectations& expect, std::vector<DataFile>* files,
                           Matching* matching) {
  std::vector<std::string> problems;
  *files = ReadDataFolder(dataFolder, &problems);
  if (files->empty()) problems.push_back("no data file was committed");
  if (expect.localZone != nullptr) {
    const std::vector<std::string> placed = PlaceInLocalTime(files, sent, *expect.localZone);
    problems.insert(problems.end(), placed.begin(), placed.end());
  }
  const std::vector<std::string> timeline = TimelineProblems(*files);
  problems.insert(problems.end(), timeline.begin(), timeline.end());
  *matching = MatchRows(AllRows(*files), sent);
  const Matching& m = *matching;
  if (m.unmatched > expect.maxUnmatched) {
    problems.push_back(std::to_string(m.unmatched) + " rows carry no frame the unit sent");
  }
  if (m.missingRows < expect.minMissingRows || m.missingRows > expect.maxMissingRows) {
    problems.push_back(std::to_string(m.missingRows) + " missing rows, expected " +
                       std::to_string(expect.minMissingRows) + " to " +
                       std::to_string(expect.maxMissingRows));
  }
  const std::vector<int> lost = DropsOutside(m.dropped, expect.allowedDrops);
  if (static_cast<int>(lost.size()) > expect.maxOtherDrops) {
    problems.push_back("frames sent but in no row (of " + std::to_string(sent.size()) +
                       "): " + JoinInts(lost));
  }
  if (problems.empty()) return "";
  std::string files_;
  for (const DataFile& f : *files) {
    files_ += f.path + " (" + std::to_string(f.rows.size()) + " rows)\n";
  }
  // The rows and the frames side by side, for whoever reads the failure.
  std::string rows = "rows (second of day:count/missing):";
  const std::vector<Row> all = AllRows(*files);
  for (std::size_t i = 0; i < all.size() && i < 400; ++i) {
    rows += " " + std::to_string(all[i].at % 86400) + ":" +
            std::to_string(static_cast<long long>(all[i].count)) + "/" +
            std::to_string(all[i].missing);
  }
  std::string frames = "\nframes sent:";
  for (std::size_t k = 0; k < sent.size() && k < 400; ++k) frames += " " + std::to_string(sent[k]);
  return Join(problems) + files_ + "singles " + std::to_string(m.singles) + ", merges " +
         std::to_string(m.merges) + ", matched " + std::to_string(m.firstMatched) + ".." +
         std::to_string(m.lastMatched) + "\n" + rows + frames;
}

std::string Join(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& l : lines) all += l + "\n";
  return all;
}

std::string JoinInts(const std::vector<int>& values) {
  std::string all;
  for (int v : values) all += std::to_string(v) + " ";
  return all;
}

}  // namespace velrix::testing::e2e
