// What measuring costs the machine: the share of one core and the resident
// memory of velrix (on the in-process simulated unit, with the window shown
// on whatever display the environment names) or of velrix-recorder (against
// a velrix-unitsim on a pseudo-terminal) over a stretch of a running
// measurement, and the time from starting velrix to its window's first paint.
//
//   velrix_bench_process app        VELRIX RESOURCES SECONDS LABEL
//   velrix_bench_process recorder   RECORDER UNITSIM RESOURCES SECONDS
//   velrix_bench_process recorder-publishing RECORDER UNITSIM RESOURCES SECONDS
//   velrix_bench_process first-paint VELRIX RESOURCES RUNS LABEL
//
// Every program runs in a scratch folder of its own: a copy of RESOURCES as
// the program folder, with settings that start the measurement by itself
// and a data folder inside the scratch folder; HOME and the XDG folders point
// there too, so nothing is written to the user's home. The measured process
// gets QT_QPA_PLATFORM, DISPLAY and XAUTHORITY from this one's environment.
//
// Figures come from /proc/<pid>/stat (user + system time of all threads) and
// /proc/<pid>/status (VmRSS sampled once a second, VmHWM at the end). The
// figures are printed; a run that could not measure says why and ends with
// status 1, which scripts/bench.sh reports without failing.
//
// recorder-publishing runs the recorder with what publish.conf can set up:
// each second over MQTT (QoS 1) to a mosquitto of its own on a free
// loopback port, and /metrics, which this program fetches once a second as
// a Prometheus would.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "datafile/working_copy.h"
#include "platform/c_format.h"
#include "settings/later_run_folder.h"
#include "settings/settings_files.h"

namespace velrix::bench {
namespace {

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

// Targets with the window shown.
constexpr double kTargetCorePercent = 0.5;
constexpr double kTargetResidentMiB = 60.0;
constexpr double kTargetFirstPaintSeconds = 0.5;
// The recorder publishing everything: still under half a percent.
constexpr double kTargetPublishingCorePercent = 0.5;
constexpr char kMosquitto[] = "/usr/sbin/mosquitto";

// The measurement must be running before the stretch begins: two rows
// written after the program started.
constexpr int kRowsBeforeMeasuring = 2;
constexpr double kStartSeconds = 30.0;
constexpr double kExitSeconds = 30.0;
constexpr auto kPoll = std::chrono::milliseconds(5);
constexpr auto kSampleEvery = std::chrono::seconds(1);

double SecondsSince(SteadyClock::time_point from) {
  return std::chrono::duration<double>(SteadyClock::now() - from).count();
}

// A scratch folder laid out as the measured program expects to find it.
class Sandbox {
 public:
  bool Prepare(const std::string& resources, std::string* error) {
    if (scratch_.path().empty()) {
      *error = "no scratch folder could be made";
      return false;
    }
    root_ = scratch_.path() + "/";
    std::error_code ec;
    for (const char* sub : {"program", "home", "home/.config", "home/.local/share", "home/.cache",
                            "runtime"}) {
      fs::create_directories(root_ + sub, ec);
      if (ec) {
        *error = "cannot make " + root_ + sub + ": " + ec.message();
        return false;
      }
    }
    // The single-copy lock's folder must be private, as the session's is.
    chmod((root_ + "runtime").c_str(), 0700);
    // A later run's settings: the measurement starts by itself as soon as the
    // unit answers, so no button has to be pressed and no comment confirmed.
    const Settings settings = LaterRunSettings(program(), root_ + "documents",
                                               {"BENCH", kDefaultUnitNumber, "bench"}, 1);
    if (!WriteLaterRunFolder(settings, resources, error)) {
      *error = "preparing the program folder failed: " + *error;
      return false;
    }
    return true;
  }

  std::string program() const { return root_ + "program/"; }
  std::string File(const char* name) const { return root_ + name; }

  // The environment of a measured program: its own home and folders, and the
  // display this program was given.
  std::vector<std::string> Environment(const std::vector<std::string>& more = {}) const {
    std::vector<std::string> env = {
        "HOME=" + root_ + "home", "XDG_CONFIG_HOME=" + root_ + "home/.config",
        "XDG_DATA_HOME=" + root_ + "home/.local/share", "XDG_CACHE_HOME=" + root_ + "home/.cache",
        "XDG_RUNTIME_DIR=" + root_ + "runtime", "PATH=/usr/bin:/bin"};
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "XAUTHORITY"}) {
      if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
    }
    env.insert(env.end(), more.begin(), more.end());
    return env;
  }

 private:
  ScratchFolder scratch_;
  std::string root_;
};

// A started program, killed at the end if it has not ended by then.
class Process {
 public:
  // Standard output and error go to outputPath.
  Process(const std::vector<std::string>& args, const std::vector<std::string>& env,
          const std::string& outputPath) {
    std::vector<std::string> a = args, e = env;
    std::vector<char*> argv, envp;
    for (auto& s : a) argv.push_back(s.data());
    argv.push_back(nullptr);
    for (auto& s : e) envp.push_back(s.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    started_ = SteadyClock::now();
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Process() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  pid_t pid() const { return pid_; }
  SteadyClock::time_point started() const { return started_; }
  bool Running() {
    if (pid_ <= 0) return false;
    if (waitpid(pid_, nullptr, WNOHANG) == 0) return true;
    pid_ = -1;
    return false;
  }
  // SIGTERM, as a session's end sends it; true when the program ended in time.
  bool Stop() {
    if (pid_ > 0) kill(pid_, SIGTERM);
    const auto from = SteadyClock::now();
    while (Running() && SecondsSince(from) < kExitSeconds) std::this_thread::sleep_for(kPoll);
    return pid_ <= 0;
  }

 private:
  pid_t pid_ = -1;
  SteadyClock::time_point started_;
};

template <typename Done>
bool WaitFor(Done done, double seconds) {
  const auto from = SteadyClock::now();
  while (!done()) {
    if (SecondsSince(from) >= seconds) return false;
    std::this_thread::sleep_for(kPoll);
  }
  return true;
}

// The whole text of a file (also of a /proc file, whose size reads as 0);
// false when it cannot be opened.
bool ReadText(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream all;
  all << in.rdbuf();
  *text = all.str();
  return true;
}

int LineCount(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return static_cast<int>(std::count(std::istreambuf_iterator<char>(in),
                                      std::istreambuf_iterator<char>(), '\n'));
}

// User plus system clock ticks of all the process's threads (or of one
// thread, given its task folder), or nothing when it is gone. The command
// name in parentheses may hold spaces, so the fields are counted from its
// closing parenthesis.
std::optional<long long> CpuTicks(const std::string& procFolder, std::string* name = nullptr) {
  std::string stat;
  if (!ReadText(procFolder + "/stat", &stat)) return std::nullopt;
  const std::size_t open = stat.find('(');
  const std::size_t close = stat.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return std::nullopt;
  if (name != nullptr) *name = stat.substr(open + 1, close - open - 1);
  std::istringstream fields(stat.substr(close + 2));
  std::string field;
  long long utime = 0, stime = 0;
  // After the name: state is field 3, utime field 14, stime field 15.
  for (int n = 3; n <= 15 && fields >> field; ++n) {
    if (n == 14) utime = std::atoll(field.c_str());
    if (n == 15) stime = std::atoll(field.c_str());
  }
  if (!fields) return std::nullopt;
  return utime + stime;
}

std::optional<long long> CpuTicks(pid_t pid) { return CpuTicks("/proc/" + std::to_string(pid)); }

// Clock ticks of each live thread, by thread id, with its name.
struct ThreadTicks {
  std::string name;
  long long ticks = 0;
};
std::map<std::string, ThreadTicks> TicksByThread(pid_t pid) {
  std::map<std::string, ThreadTicks> threads;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
    ThreadTicks t;
    if (const auto ticks = CpuTicks(entry.path().string(), &t.name)) {
      t.ticks = *ticks;
      threads[entry.path().filename().string()] = t;
    }
  }
  return threads;
}

// A "Name:   1234 kB" line of /proc/<pid>/status, in kB; -1 when absent.
long long StatusField(const std::string& status, const char* name) {
  const std::string key = std::string("\n") + name + ":";
  const std::size_t at = status.find(key);
  if (at == std::string::npos) return -1;
  return std::atoll(status.c_str() + at + key.size());
}

std::string ProcStatus(pid_t pid, const std::string& task = "") {
  std::string status;
  const std::string dir = "/proc/" + std::to_string(pid) + (task.empty() ? "" : "/task/" + task);
  if (!ReadText(dir + "/status", &status)) return "";
  return "\n" + status;
}

// Context switches of all live threads: each voluntary one is a wake-up
// after a sleep, which is what an idle program should have few of.
long long ThreadSwitches(pid_t pid) {
  long long sum = 0;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
    const std::string status = ProcStatus(pid, entry.path().filename().string());
    const long long v = StatusField(status, "voluntary_ctxt_switches");
    const long long n = StatusField(status, "nonvoluntary_ctxt_switches");
    if (v > 0) sum += v;
    if (n > 0) sum += n;
  }
  return sum;
}

double MiB(long long kB) { return static_cast<double>(kB) / 1024.0; }

struct Usage {
  double seconds = 0;
  double corePercent = 0;
  double cpuSeconds = 0;
  double meanRssMiB = 0, lastRssMiB = 0, peakRssMiB = 0;
  long long threads = 0;
  double wakeupsPerSecond = 0;
  int rows = 0;
  std::string busiestThreads;  // "name 0.12 %, ..." for threads that used the CPU
};

// Watches a running process for the given seconds; rows are counted in the
// working copy. False when the process ended meanwhile.
// eachSecond runs after every sample.
bool Watch(Process& process, double seconds, const std::string& workingCopy, Usage* usage,
           std::string* error, const std::function<void()>& eachSecond) {
  const long long ticksPerSecond = sysconf(_SC_CLK_TCK);
  const int rowsBefore = LineCount(workingCopy);
  const long long switchesBefore = ThreadSwitches(process.pid());
  const std::map<std::string, ThreadTicks> threadsBefore = TicksByThread(process.pid());
  const std::optional<long long> ticksBefore = CpuTicks(process.pid());
  const auto from = SteadyClock::now();
  double rssSum = 0;
  int rssSamples = 0;
  long long lastRss = 0;
  const auto end =
      from + std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double>(seconds));
  for (auto next = from + kSampleEvery; SteadyClock::now() < end; next += kSampleEvery) {
    std::this_thread::sleep_until(std::min(next, end));
    const long long rss = StatusField(ProcStatus(process.pid()), "VmRSS");
    if (rss < 0 || !process.Running()) {
      *error = "the program ended while it was measured";
      return false;
    }
    rssSum += static_cast<double>(rss);
    ++rssSamples;
    lastRss = rss;
    if (eachSecond) eachSecond();
  }
  const std::optional<long long> ticksAfter = CpuTicks(process.pid());
  const std::map<std::string, ThreadTicks> threadsAfter = TicksByThread(process.pid());
  const double elapsed = SecondsSince(from);
  const std::string status = ProcStatus(process.pid());
  if (!ticksBefore || !ticksAfter || status.empty()) {
    *error = "/proc could not be read for the program";
    return false;
  }
  usage->seconds = elapsed;
  usage->cpuSeconds = static_cast<double>(*ticksAfter - *ticksBefore) /
                      static_cast<double>(ticksPerSecond);
  usage->corePercent = 100.0 * usage->cpuSeconds / elapsed;
  usage->meanRssMiB = MiB(static_cast<long long>(rssSum / std::max(rssSamples, 1)));
  usage->lastRssMiB = MiB(lastRss);
  usage->peakRssMiB = MiB(StatusField(status, "VmHWM"));
  usage->threads = StatusField(status, "Threads");
  usage->wakeupsPerSecond =
      static_cast<double>(std::max(0LL, ThreadSwitches(process.pid()) - switchesBefore)) / elapsed;
  usage->rows = LineCount(workingCopy) - rowsBefore;
  // Threads that lived through the whole stretch; one started meanwhile
  // counts from zero.
  std::vector<std::pair<long long, std::string>> used;
  for (const auto& [tid, after] : threadsAfter) {
    const auto before = threadsBefore.find(tid);
    const long long ticks = after.ticks - (before != threadsBefore.end() ? before->second.ticks : 0);
    if (ticks > 0) {
      used.emplace_back(ticks, tid == std::to_string(process.pid()) ? after.name + " (main)"
                                                                      : after.name);
    }
  }
  std::sort(used.rbegin(), used.rend());
  for (const auto& [ticks, name] : used) {
    usage->busiestThreads += CFormatString(
        "%s%s %.3f %%", usage->busiestThreads.empty() ? "" : ", ", name.c_str(),
        100.0 * static_cast<double>(ticks) / static_cast<double>(ticksPerSecond) / elapsed);
  }
  return true;
}

const char* Verdict(bool met) { return met ? "met" : "MISSED"; }

void PrintUsage(const std::string& what, const Usage& u, bool windowShown) {
  std::fputs(CFormatString("%s: %.0f s of measuring, %d rows recorded\n", what.c_str(), u.seconds,
                           u.rows)
                 .c_str(),
             stdout);
  std::fputs(CFormatString("  CPU       %6.3f %% of one core (%.2f s of CPU time)\n",
                           u.corePercent, u.cpuSeconds)
                 .c_str(),
             stdout);
  std::fputs(CFormatString("  resident  %6.1f MiB mean, %.1f MiB at the end, %.1f MiB peak\n",
                           u.meanRssMiB, u.lastRssMiB, u.peakRssMiB)
                 .c_str(),
             stdout);
  std::fputs(CFormatString("  threads   %lld, %.1f thread wake-ups a second\n", u.threads,
                           u.wakeupsPerSecond)
                 .c_str(),
             stdout);
  if (!u.busiestThreads.empty()) {
    std::fputs(CFormatString("  by thread %s\n", u.busiestThreads.c_str()).c_str(), stdout);
  }
  if (windowShown) {
    std::fputs(CFormatString("  target    %.1f %% of one core: %s; %.0f MiB resident: %s\n",
                             kTargetCorePercent, Verdict(u.corePercent <= kTargetCorePercent),
                             kTargetResidentMiB, Verdict(u.peakRssMiB <= kTargetResidentMiB))
                   .c_str(),
               stdout);
  }
  std::fflush(stdout);
}

// Waits until the program has written rows, then watches it.
bool MeasureRunning(Process& process, const Sandbox& box, const std::string& output,
                    double seconds, Usage* usage, std::string* error,
                    const std::function<void()>& eachSecond = {}) {
  const std::string working = WorkingCopyPath(box.program());
  int firstRows = -1;
  const bool running = WaitFor(
      [&] {
        if (!process.Running()) return true;
        const int lines = LineCount(working);
        if (lines > 0 && firstRows < 0) firstRows = lines;
        return firstRows >= 0 && lines >= firstRows + kRowsBeforeMeasuring;
      },
      kStartSeconds);
  if (!running || !process.Running()) {
    std::string said;
    ReadText(output, &said);
    *error = "no measurement started within " + std::to_string(static_cast<int>(kStartSeconds)) +
             " s; the program said: " + said;
    return false;
  }
  if (!Watch(process, seconds, working, usage, error, eachSecond)) return false;
  if (!process.Stop()) {
    *error = "the program did not end on SIGTERM";
    return false;
  }
  return true;
}

int Fail(const std::string& what, const std::string& error) {
  std::fprintf(stderr, "velrix_bench_process: %s: %s\n", what.c_str(), error.c_str());
  return 1;
}

int BenchApp(const std::string& velrix, const std::string& resources, double seconds,
             const std::string& label) {
  const std::string what = "velrix --simulate, " + label;
  Sandbox box;
  std::string error;
  if (!box.Prepare(resources, &error)) return Fail(what, error);
  const std::string output = box.File("velrix.out");
  Process app({velrix, "--simulate", "--program-folder", box.program()}, box.Environment(), output);
  if (app.pid() <= 0) return Fail(what, "cannot start " + velrix);
  Usage usage;
  if (!MeasureRunning(app, box, output, seconds, &usage, &error)) return Fail(what, error);
  PrintUsage(what, usage, true);
  return 0;
}

sockaddr_in Loopback(int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  return a;
}

// A loopback port nothing listens on now; 0 when none could be had.
int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a = Loopback(0);
  socklen_t length = sizeof a;
  int port = 0;
  if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) == 0) {
    port = ntohs(a.sin_port);
  }
  if (fd >= 0) close(fd);
  return port;
}

// One GET of /metrics as a scraper sends it; true when the answer is 200.
bool FetchMetrics(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_in a = Loopback(port);
  bool ok = fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
  constexpr char kRequest[] = "GET /metrics HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
  ok = ok && write(fd, kRequest, sizeof kRequest - 1) == static_cast<ssize_t>(sizeof kRequest - 1);
  std::string answer;
  char buffer[4096];
  for (ssize_t n; ok && (n = read(fd, buffer, sizeof buffer)) > 0;) {
    answer.append(buffer, static_cast<std::size_t>(n));
  }
  if (fd >= 0) close(fd);
  return ok && answer.rfind("HTTP/1.", 0) == 0 && answer.compare(8, 5, " 200 ") == 0;
}

bool Listening(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_in a = Loopback(port);
  const bool open = fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
  if (fd >= 0) close(fd);
  return open;
}

// What the publishing run sets up beside the recorder: the broker and
// publish.conf.
struct Publishing {
  std::unique_ptr<Process> broker;
  int metricsPort = 0;
  int scrapes = 0;
  int failedScrapes = 0;
};

bool StartPublishing(const Sandbox& box, Publishing* p, std::string* error) {
  const int mqttPort = FreePort();
  p->metricsPort = FreePort();
  if (mqttPort == 0 || p->metricsPort == 0 || mqttPort == p->metricsPort) {
    *error = "no free loopback ports";
    return false;
  }
  if (access(kMosquitto, X_OK) != 0) {
    *error = std::string(kMosquitto) + " is not installed (Debian: mosquitto)";
    return false;
  }
  std::string broker = CFormatString("listener %d 127.0.0.1\npersistence false\n"
                                     "allow_anonymous true\n", mqttPort);
  // Started by root, mosquitto would turn into its own user.
  if (geteuid() == 0) broker += "user root\n";
  std::ofstream(box.File("mosquitto.conf")) << broker;
  std::ofstream(box.program() + "publish.conf")
      << CFormatString("mqtt_host = 127.0.0.1\nmqtt_port = %d\nmqtt_qos = 1\nmetrics_port = %d\n",
                       mqttPort, p->metricsPort);
  p->broker = std::make_unique<Process>(
      std::vector<std::string>{kMosquitto, "-c", box.File("mosquitto.conf")}, box.Environment(),
      box.File("mosquitto.out"));
  if (!WaitFor([&] { return !p->broker->Running() || Listening(mqttPort); }, kStartSeconds) ||
      !p->broker->Running()) {
    *error = "mosquitto did not start";
    return false;
  }
  return true;
}

int BenchRecorder(const std::string& recorder, const std::string& unitsim,
                  const std::string& resources, double seconds, bool publishing) {
  const std::string what = publishing
                               ? "velrix-recorder on velrix-unitsim, publishing MQTT and /metrics"
                               : "velrix-recorder on velrix-unitsim";
  Sandbox box;
  std::string error;
  if (!box.Prepare(resources, &error)) return Fail(what, error);
  Publishing pub;
  if (publishing && !StartPublishing(box, &pub, &error)) return Fail(what, error);
  // The same quiet background as velrix --simulate.
  const std::string simOutput = box.File("unitsim.out");
  Process unit({unitsim, "--random", "0.25"}, box.Environment(), simOutput);
  std::string device;
  WaitFor(
      [&] {
        ReadText(simOutput, &device);
        return !unit.Running() || device.find('\n') != std::string::npos;
      },
      kStartSeconds);
  if (device.find('\n') == std::string::npos) return Fail(what, "velrix-unitsim named no device");
  device.resize(device.find('\n'));

  const std::string output = box.File("recorder.out");
  Process rec({recorder, "--port", device, "--program-folder", box.program()}, box.Environment(),
              output);
  if (rec.pid() <= 0) return Fail(what, "cannot start " + recorder);
  Usage usage;
  std::function<void()> scrape;
  if (publishing) {
    scrape = [&] { ++(FetchMetrics(pub.metricsPort) ? pub.scrapes : pub.failedScrapes); };
  }
  if (!MeasureRunning(rec, box, output, seconds, &usage, &error, scrape)) {
    return Fail(what, error);
  }
  unit.Stop();
  PrintUsage(what, usage, false);
  if (publishing) {
    std::string said;
    ReadText(output, &said);
    const bool connected = said.find("MQTT: publishing to") != std::string::npos;
    std::fputs(CFormatString("  published MQTT %s, /metrics fetched %d times (%d failed)\n"
                             "  target    %.1f %% of one core: %s\n",
                             connected ? "to the broker" : "NOWHERE (never connected)",
                             pub.scrapes, pub.failedScrapes, kTargetPublishingCorePercent,
                             Verdict(usage.corePercent <= kTargetPublishingCorePercent))
                   .c_str(),
               stdout);
    std::fflush(stdout);
    pub.broker->Stop();
  }
  return 0;
}

// The application prints "first paint <seconds>" on the monotonic clock when
// VELRIX_FIRST_PAINT_STAMP is set; the clock is read here just before the
// program is started.
int BenchFirstPaint(const std::string& velrix, const std::string& resources, int runs,
                    const std::string& label) {
  const std::string what = "velrix start-up to first paint, " + label;
  Sandbox box;
  std::string error;
  if (!box.Prepare(resources, &error)) return Fail(what, error);
  std::vector<double> took;
  for (int run = 0; run < runs; ++run) {
    const std::string output = box.File("velrix.out");
    const double before = std::chrono::duration<double>(SteadyClock::now().time_since_epoch()).count();
    Process app({velrix, "--simulate", "--program-folder", box.program()},
                box.Environment({"VELRIX_FIRST_PAINT_STAMP=1"}), output);
    if (app.pid() <= 0) return Fail(what, "cannot start " + velrix);
    std::string said;
    std::size_t at = std::string::npos;
    WaitFor(
        [&] {
          ReadText(output, &said);
          at = said.find("first paint ");
          return !app.Running() ||
                 (at != std::string::npos && said.find('\n', at) != std::string::npos);
        },
        kStartSeconds);
    if (at == std::string::npos) {
      return Fail(what, "no first paint stamp within " +
                            std::to_string(static_cast<int>(kStartSeconds)) + " s: " + said);
    }
    // The stamp is written with a point whatever the locale; strtod here runs
    // under the "C" numbers this program set.
    const double painted = std::strtod(said.c_str() + at + std::strlen("first paint "), nullptr);
    took.push_back(painted - before);
    if (!app.Stop()) return Fail(what, "the program did not end on SIGTERM");
  }
  std::vector<double> sorted = took;
  std::sort(sorted.begin(), sorted.end());
  std::string each;
  for (double t : took) each += CFormatString(" %.3f", t);
  std::fputs(CFormatString("%s: %d starts\n  first paint %.3f s median, %.3f s best, %.3f s worst "
                           "(each:%s)\n  target    %.1f s: %s\n",
                           what.c_str(), runs, sorted[sorted.size() / 2], sorted.front(),
                           sorted.back(), each.c_str(), kTargetFirstPaintSeconds,
                           Verdict(sorted[sorted.size() / 2] <= kTargetFirstPaintSeconds))
                 .c_str(),
             stdout);
  std::fflush(stdout);
  return 0;
}

constexpr char kUsage[] =
    "usage: velrix_bench_process app VELRIX RESOURCES SECONDS LABEL\n"
    "       velrix_bench_process recorder RECORDER UNITSIM RESOURCES SECONDS\n"
    "       velrix_bench_process recorder-publishing RECORDER UNITSIM RESOURCES SECONDS\n"
    "       velrix_bench_process first-paint VELRIX RESOURCES RUNS LABEL\n";

}  // namespace
}  // namespace velrix::bench

int main(int argc, char** argv) {
  using namespace velrix::bench;
  velrix::UseCNumbers();
  const std::vector<std::string> a(argv + 1, argv + argc);
  if (a.size() == 5 && a[0] == "app") {
    return BenchApp(a[1], a[2], std::atof(a[3].c_str()), a[4]);
  }
  if (a.size() == 5 && (a[0] == "recorder" || a[0] == "recorder-publishing")) {
    return BenchRecorder(a[1], a[2], a[3], std::atof(a[4].c_str()), a[0] != "recorder");
  }
  if (a.size() == 5 && a[0] == "first-paint" && std::atoi(a[3].c_str()) > 0) {
    return BenchFirstPaint(a[1], a[2], std::atoi(a[3].c_str()), a[4]);
  }
  std::fputs(kUsage, stderr);
  return 2;
}
