#include "measure/station.h"

#include <ctime>

#include "link/link_settings.h"
#include "link/usb_comm_kanshi.h"
#include "platform/scaled_clock.h"
#include "platform/system_info.h"
#include "settings/settings_files.h"
#include "sim/sim_unit.h"

namespace velrix {
namespace {

// The simulated unit of --simulate: a quiet background with Poisson counts,
// about 0.1 μSv/h on the shipped table.
constexpr double kSimulatedMeanCount = 0.1;

sim::SimConfig SimulatedUnitConfig(const ScaledClock* clock) {
  sim::SimConfig config;
  config.clock = clock;
  config.counts.kind = sim::CountSource::Kind::Random;
  config.counts.mean = kSimulatedMeanCount;
  config.counts.seed = static_cast<std::uint32_t>(std::time(nullptr));
  return config;
}

}  // namespace

bool TakeStationOption(const std::vector<std::string>& args, std::size_t* i,
                       StationOptions* options) {
  const std::string& arg = args[*i];
  const bool hasValue = *i + 1 < args.size();
  if (arg == "--simulate") {
    options->simulate = true;
  } else if (arg == "--port" && hasValue) {
    options->port = args[++*i];
  } else if (arg == "--program-folder" && hasValue) {
    options->programFolder = args[++*i];
  } else {
    return false;
  }
  return true;
}

bool CheckStationOptions(const StationOptions& options, std::string* error) {
  if (options.simulate && !options.port.empty()) {
    *error = "--simulate and --port name two different units; give one of them";
    return false;
  }
  return true;
}

Station::Station(const StationOptions& options, UserMessages& messages, const Clock& clock)
    : options(options), messages(messages), clock(clock) {}

// The supervisor goes first (it is declared last): its threads use the
// link record and the simulated unit's terminal.
Station::~Station() = default;

std::unique_ptr<Station> BuildStation(const StationOptions& options, UserMessages& messages,
                                      const Clock& clock) {
  auto station = std::make_unique<Station>(options, messages, clock);
  station->settings.programFolder = options.programFolder;
  const auto* scaled = dynamic_cast<const ScaledClock*>(&clock);
  station->linkConfig.overridePort = options.port;
  station->linkConfig.clock = &clock;
  station->linkConfig.timeScale = scaled != nullptr ? scaled->Scale() : 1;
  if (options.simulate) {
    station->simUnit = std::make_unique<sim::SimUnit>(SimulatedUnitConfig(scaled));
  }
  return station;
}

void LoadStationSettings(Station& s) {
  MessagesOver standalone(s.messages, nullptr);
  SetDefaultFolders(s.settings, s.options.programFolder, DocumentsFolder());
  LinkSettings linkSettings = LinkSettingsOf(s.link);
  LoadSettingsAtStartup(s.settings, linkSettings, MachineName(), standalone);
  AdoptLinkSettings(s.link, linkSettings);
  LoadDoseTable(s.doseTable, s.settings.programFolder, standalone);
}

RecoveryResult RecoverUncommittedRows(Station& s) {
  MessagesOver standalone(s.messages, nullptr);
  return RecoverWorkingCopyAtStart(WorkingCopyPath(s.options.programFolder), standalone);
}

LinkStart StartStationLink(Station& s) {
  LinkStart result;
  if (s.simUnit) {
    result.unitStarted = s.simUnit->Start(&result.unitError);
    if (result.unitStarted) s.linkConfig.overridePort = s.simUnit->DevicePath();
  }
  s.supervisor = std::make_unique<LinkSupervisor>(s.link, s.linkConfig);
  result.threadsStarted = StartLinkThreads(*s.supervisor) == 0;
  return result;
}

void StopStationLink(Station& s) {
  if (s.supervisor) s.supervisor->Stop();
  if (s.simUnit) s.simUnit->Stop();
}

}  // namespace velrix
