// velrix-recorder: records the unit's counts into the dated data files with
// no window at all. It runs the same link supervisor, 500 ms cycle and data
// file writer as the application, starts a measurement as soon as the link
// is up (and again after a link failure), prints the messages the
// application would show on standard error, and ends on SIGTERM or SIGINT
// with a commit, so the dated file holds every second recorded. What
// publish.conf in the program folder sets up (MQTT, Prometheus) is
// published from the processed seconds; as a systemd service it reports
// ready, its status and the watchdog's keep-alive.
//
//   velrix-recorder [--simulate | --port DEVICE] [--program-folder DIR] | --help | --version
//
// Tests and soak runs may also give the accelerated clock's options
// (platform/scaled_clock.h); they are not for users and --help omits them.

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "datafile/working_copy.h"
#include "link/port_names.h"
#include "measure/keep_awake.h"
#include "measure/measurement.h"
#include "measure/recorder/service_watch.h"
#include "measure/station.h"
#include "platform/clock.h"
#include "platform/command_line.h"
#include "platform/program_folder.h"
#include "platform/scaled_clock.h"
#include "platform/stderr_messages.h"
#include "platform/system_info.h"
#include "publish/station_publishers.h"

namespace velrix {
namespace {

constexpr char kProgramName[] = "velrix-recorder";
constexpr char kUsage[] =
    "usage: velrix-recorder [--port DEVICE] [--program-folder DIR]\n"
    "  --simulate            record from the simulated unit; no hardware needed\n"
    "  --port DEVICE         the unit's serial device (default: search the USB bus)\n"
    "  --program-folder DIR  settings, conversion table and working copy\n"
    "                        (default: the folder of this program; when installed,\n"
    "                        $XDG_DATA_HOME/Velrix, usually ~/.local/share/Velrix)\n"
    "  --help                this text\n"
    "  --version             the program's version\n"
    "Records until SIGTERM or SIGINT, then commits the data file and exits 0.\n";
constexpr auto kSignalPoll = std::chrono::milliseconds(50);
constexpr int kExitOk = 0;
constexpr int kExitWriteFailed = 1;

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void OnStopSignal(int) { stopRequested = 1; }

// No buttons, no dialogs, no drawing: the refresh request only asks the loop
// to run the measurement checks after the tick.
class HeadlessView final : public MeasurementView {
 public:
  void SetRunButtons(bool, bool) override {}
  bool ConfirmComment() override { return true; }
  void RedrawPanel() override {}
  bool ShowsLiveMeasurement() const override { return false; }
  void UpdateCursorReadout() override {}
  void PostRefresh() override { refreshPosted = true; }
  void SecondProcessed(const ProcessedSecond& second) override {
    if (publishers != nullptr) publishers->Take(second);
  }
  bool refreshPosted = false;
  StationPublishers* publishers = nullptr;
};

// Each line of text on standard error, after the program's name.
void Say(const std::string& text) {
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    std::fprintf(stderr, "%s: %s\n", kProgramName, text.substr(start, end - start).c_str());
    start = end + 1;
  }
}

// The service's status line: the link's state and where the rows go.
std::string ServiceStatus(const UnitLinkState& link, const LinkConfig& config,
                          const DataFileWriter& writer) {
  std::string status;
  switch (link.linkStatus.load()) {
    case kLinkOk: status = "link OK on " + PortName(config, link.openedPort.load()); break;
    case kLinkNg: status = "link NG, looking for the unit"; break;
    case kLinkRetriesExhausted: status = "link failed, retries exhausted"; break;
    default: status = "starting the link"; break;
  }
  if (link.measuring.load() == 1) return status + "; recording into " + writer.datedPath;
  return status + "; not recording";
}

struct Options : StationOptions {
  ClockOptions clock;
};

// The arguments after the program's name; --help and --version are answered
// before. On a bad argument returns false with a message.
bool ParseOptions(const std::vector<std::string>& args, Options* options, std::string* error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (TakeClockOption(args, &i, &options->clock, error)) {
      if (!error->empty()) return false;
    } else if (!TakeStationOption(args, &i, options)) {
      *error = "unknown or incomplete argument: " + args[i];
      return false;
    }
  }
  return CheckStationOptions(*options, error);
}

// Sleeps until the deadline, waking early for a stop signal.
void SleepUntil(std::chrono::steady_clock::time_point deadline) {
  while (stopRequested == 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(kSignalPoll);
  }
}

int Run(const Options& options) {
  StderrMessages messages(kProgramName);
  HeadlessView view;
  std::string clockError;
  const std::unique_ptr<ScaledClock> scaledClock = MakeScaledClock(options.clock, &clockError);
  const Clock& clock = scaledClock ? static_cast<const Clock&>(*scaledClock) : DefaultClock();
  if (!clockError.empty()) std::fprintf(stderr, "%s: %s\n", kProgramName, clockError.c_str());
  const std::unique_ptr<Station> station = BuildStation(options, messages, clock);
  Station& s = *station;

  // Rows a killed predecessor left uncommitted go to their dated file first.
  // The note names the dated file only until the recovery commits it, so it
  // is read first.
  const std::string pendingTarget = ReadWorkingTarget(WorkingCopyPath(options.programFolder));
  if (RecoverUncommittedRows(s) == RecoveryResult::Copied) {
    std::fprintf(stderr, "%s: recovered uncommitted rows into %s\n", kProgramName,
                 pendingTarget.c_str());
  }
  LoadStationSettings(s);
  const LinkStart started = StartStationLink(s);
  if (!started.unitStarted) {
    std::fprintf(stderr, "%s: the simulated unit could not be started: %s\n", kProgramName,
                 started.unitError.c_str());
  }
  if (!started.threadsStarted) {
    std::fprintf(stderr, "%s: the link thread could not be started\n", kProgramName);
  }
  MeasurementContext ctx{s, view};

  // The publishers read the link and its supervisor, and need the unit
  // number of the settings: they start once both are there.
  StationPublishers publishers(Say);
  const std::string publishProblems = publishers.Start(
      options.programFolder, {&s.link, s.supervisor.get(), s.settings.comment.unitNumber});
  if (!publishProblems.empty()) Say(publishProblems);
  view.publishers = &publishers;
  ServiceWatch service;
  service.Ready(ServiceStatus(s.link, s.linkConfig, s.writer));

  int exitCode = kExitOk;
  std::string announced;
  KeepAwake keepAwake([](const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", kProgramName, text.c_str());
  });
  // The cycle keeps two ticks to the clock's second, however fast it runs.
  const auto period = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      kCyclePeriod) / s.linkConfig.timeScale;
  auto next = std::chrono::steady_clock::now();
  while (stopRequested == 0) {
    next += period;
    CycleTick(ctx);
    if (view.refreshPosted) {
      view.refreshPosted = false;
      MeasurementChecks(ctx);
    }
    if (s.link.measuring.load() != 1) {
      // A writer failure needs someone to look at the data folder; starting
      // over would only repeat it.
      if (s.writer.failed) {
        exitCode = kExitWriteFailed;
        break;
      }
      if (s.link.linkStatus.load() == kLinkOk) StartMeasurement(ctx);
    }
    keepAwake.Follow(s.link.measuring.load() == 1);
    if (s.link.measuring.load() == 1 && s.writer.datedPath != announced) {
      announced = s.writer.datedPath;
      std::fprintf(stderr, "%s: recording into %s\n", kProgramName, announced.c_str());
    }
    service.CycleRan(ServiceStatus(s.link, s.linkConfig, s.writer));
    SleepUntil(next);
  }

  service.Stopping();
  StopMeasurementAtExit(ctx);
  // After the last seconds the exit drained from the ring.
  publishers.Stop();
  keepAwake.Follow(false);
  StopStationLink(s);
  return exitCode;
}

}  // namespace
}  // namespace velrix

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const velrix::HelpOrVersion asked = velrix::FindHelpOrVersion(args);
  if (asked != velrix::HelpOrVersion::None) {
    return velrix::AnswerHelpOrVersion(asked, velrix::kProgramName, velrix::kUsage);
  }
  velrix::Options options;
  std::string error;
  if (!velrix::ParseOptions(args, &options, &error)) {
    return velrix::RejectArguments(velrix::kProgramName, error, velrix::kUsage);
  }
  options.programFolder =
      velrix::PrepareProgramFolder(options.programFolder, velrix::ExecutableFolder(), &error);
  if (!error.empty()) std::fprintf(stderr, "%s: %s\n", velrix::kProgramName, error.c_str());
  std::signal(SIGTERM, velrix::OnStopSignal);
  std::signal(SIGINT, velrix::OnStopSignal);
  return velrix::Run(options);
}
