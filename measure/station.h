#pragma once
// The station: every record a measuring program keeps for its whole life
// (the settings, the link's shared record, the dose table, the run, the live
// history, the derived values and the data-file writer), with the simulated
// unit of --simulate and the link supervisor. The window owns one, the
// recorder owns one, and the tests and benchmarks make one; BuildStation is
// the one place they are put together. The large records are members, so
// a station is built once, on the heap, and never moved.
//
// Building reads nothing and starts nothing. The start-up runs in the steps
// below, in the order each program needs (the window makes its pop-ups
// between the settings and the link); what a step reports stands alone, since
// no window is up yet. Anything that follows the measurement second by second
// belongs beside these records: the cycle reaches the station in every tick.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "datafile/data_file_writer.h"
#include "datafile/working_copy.h"
#include "link/unit_link_state.h"
#include "link/usb_comm.h"
#include "measure/derived_values.h"
#include "measure/dose_table.h"
#include "measure/measurement_run.h"
#include "platform/clock.h"
#include "platform/user_messages.h"
#include "settings/settings.h"
#include "shared/history.h"

namespace velrix {

namespace sim {
class SimUnit;
}
class LinkSupervisor;

// What a program's command line says about its station.
struct StationOptions {
  std::string programFolder;  // ends with '/'
  std::string port;           // --port DEVICE: the unit's serial device; empty: search the USB bus
  bool simulate = false;      // --simulate: the simulated unit inside the process
};

// The station's words on a command line: --simulate, --port DEVICE and
// --program-folder DIR. True when args[*i] is one of them (*i then stands on
// its last word).
bool TakeStationOption(const std::vector<std::string>& args, std::size_t* i,
                       StationOptions* options);
// --simulate and --port name two different units: false with the reason.
bool CheckStationOptions(const StationOptions& options, std::string* error);

struct Station {
  Station(const StationOptions& options, UserMessages& messages, const Clock& clock);
  ~Station();
  Station(const Station&) = delete;
  Station& operator=(const Station&) = delete;

  const StationOptions options;
  UserMessages& messages;  // over the program's main window, where it has one
  const Clock& clock;
  Settings settings;
  UnitLinkState link;
  DoseTable doseTable;
  MeasurementRun run;
  LiveHistory history;
  DerivedValues values;
  DataFileWriter writer;
  LinkConfig linkConfig;
  std::unique_ptr<sim::SimUnit> simUnit;       // with --simulate
  std::unique_ptr<LinkSupervisor> supervisor;  // from StartStationLink on
};

// The station of a program: its records, the link's way to the unit (the
// port given, or the simulated unit's) and its pace (an accelerated clock
// paces the link's pauses and the simulated unit too).
std::unique_ptr<Station> BuildStation(const StationOptions& options, UserMessages& messages,
                                      const Clock& clock);

// Start-up: the program folder and the data folder, the settings files
// (first-run defaults when trend.def is absent), which the link adopts, and
// the dose conversion table.
void LoadStationSettings(Station& station);

// Start-up: rows a crashed or killed copy wrote but never committed reach
// their dated file before anything can truncate the working copy; what a
// power cut tore off its end is told.
RecoveryResult RecoverUncommittedRows(Station& station);

// Start-up, last: the simulated unit when asked for, then the supervisor
// that finds the unit and starts the communication thread.
struct LinkStart {
  bool unitStarted = true;   // false: the simulated unit failed, for unitError
  std::string unitError;
  bool threadsStarted = true;
};
LinkStart StartStationLink(Station& station);

// Shut-down, after the measurement's exit stop: the link threads end, then
// the simulated unit.
void StopStationLink(Station& station);

}  // namespace velrix
