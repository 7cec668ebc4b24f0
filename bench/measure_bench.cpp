// What the measurement core costs per call: one tick of the 500 ms cycle
// (with the data row it appends), one dose conversion, one update of the
// derived values and the window rebuild a new averaging time causes.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "bench/bench_support.h"
#include "link/protocol.h"
#include "measure/derived_values.h"
#include "measure/dose_table.h"
#include "measure/measurement.h"

namespace velrix::bench {
namespace {

// A running measurement with every record the cycle works on, writing real
// rows into a scratch folder. Started a few seconds after local midnight so
// that no run of the benchmark reaches the midnight rollover by accident.
class RunningMeasurement {
 public:
  RunningMeasurement() : clock_(0) {
    Settings& settings = station_->settings;
    settings.programFolder = scratch_.path() + "/program/";
    settings.dataFolder = scratch_.path() + "/documents/Velrix";
    settings.comment.computerName = "PC-01";
    settings.comment.unitNumber = "0001";
    settings.comment.comment = "屋上";
    settings.displayUnits.averageSeconds = 60;
    LoadDoseTable(station_->doseTable, ProgramResources(), messages_);
    station_->link.linkStatus.store(kLinkOk);
  }

  // False (with the reason in error) when the measurement could not start.
  bool Start(int day) {
    if (scratch_.path().empty()) {
      error = "no scratch folder";
      return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(station_->settings.programFolder, ec);
    clock_.Set(clock_.FromLocal(2024, 5, day, 0, 0, 5));
    StartMeasurement(ctx_);
    if (station_->link.measuring.load() != 1) {
      error = "measurement did not start: " + messages_.last;
      return false;
    }
    return true;
  }
  void Stop() { StopMeasurement(ctx_); }

  // The link's side: complete the entry, then publish it.
  void Push(double count) { PublishEntry(station_->link, count, 0, 0); }
  void Tick() { CycleTick(ctx_); }
  void AdvanceSecond() { clock_.Advance(1); }

  int Seconds() const { return station_->history.sampleCount; }
  bool Failed() {
    if (station_->writer.failed || messages_.shown != 0 || station_->link.measuring.load() != 1) {
      error = "the measurement failed: " + messages_.last;
      return true;
    }
    return false;
  }

  std::string error;

 private:
  ScratchFolder scratch_;
  ManualClock clock_;
  HeldMessages messages_;
  SilentView view_;
  std::unique_ptr<Station> station_ = BuildStation({}, messages_, clock_);
  MeasurementContext ctx_{*station_, view_};
};

// A day holds 86400 rows; a fresh measurement on the next day starts well
// before that, so every timed tick appends to an ordinary file.
constexpr int kSecondsBeforeRestart = 80000;

// The tick that finds a sample: takes it, completes a second, updates the
// derived values and trend levels and appends the row (open, append, close).
void BM_CycleTickWithSample(benchmark::State& state) {
  RunningMeasurement m;
  int day = 1;
  if (!m.Start(day)) {
    state.SkipWithError(m.error.c_str());
    return;
  }
  const std::vector<double> counts = SiteCounts(4096);
  std::size_t i = 0;
  std::int64_t rows = 0;
  for (auto _ : state) {
    m.Push(counts[i++ & 4095]);
    m.Tick();
    m.AdvanceSecond();
    ++rows;
    if (m.Seconds() >= kSecondsBeforeRestart) {
      state.PauseTiming();
      m.Stop();
      m.Start(++day);
      state.ResumeTiming();
    }
  }
  if (m.Failed()) {
    state.SkipWithError(m.error.c_str());
    return;
  }
  state.counters["rows"] = benchmark::Counter(static_cast<double>(rows),
                                              benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CycleTickWithSample);

// The other tick of each second: the ring is empty and nothing completes.
void BM_CycleTickEmptyRing(benchmark::State& state) {
  RunningMeasurement m;
  if (!m.Start(1)) {
    state.SkipWithError(m.error.c_str());
    return;
  }
  m.Push(2.0);
  m.Tick();
  for (auto _ : state) m.Tick();
  if (m.Failed()) state.SkipWithError(m.error.c_str());
}
BENCHMARK(BM_CycleTickEmptyRing);

// Inputs of the conversions: per-second counts and fractional averages, a
// few beyond the end of the table.
std::vector<double> ConversionInputs() {
  std::vector<double> x = SiteCounts(4096);
  for (std::size_t i = 0; i < x.size(); i += 3) x[i] = x[i] * 0.731 + 0.017;
  for (std::size_t i = 5; i < x.size(); i += 512) x[i] = 9000.0 + static_cast<double>(i);
  return x;
}

bool LoadTable(DoseTable& table, benchmark::State& state) {
  HeldMessages messages;
  LoadDoseTable(table, ProgramResources(), messages);
  if (messages.shown != 0) {
    state.SkipWithError(messages.last.c_str());
    return false;
  }
  return true;
}

void BM_DoseRate(benchmark::State& state) {
  auto table = std::make_unique<DoseTable>();
  if (!LoadTable(*table, state)) return;
  const std::vector<double> x = ConversionInputs();
  std::size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(DoseRate(*table, x[i++ & 4095]));
}
BENCHMARK(BM_DoseRate);

// One scale of each unit: μSv/h, mSv/h, CPS, CPM.
void BM_ToScaleUnit(benchmark::State& state) {
  auto table = std::make_unique<DoseTable>();
  if (!LoadTable(*table, state)) return;
  const int scale = static_cast<int>(state.range(0));
  const std::vector<double> x = ConversionInputs();
  std::size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(ToScaleUnit(*table, x[i++ & 4095], scale));
}
BENCHMARK(BM_ToScaleUnit)->ArgName("scale")->Arg(1)->Arg(6)->Arg(10)->Arg(15);

// A history of more than a day, its window in use and its sums running.
std::unique_ptr<History> LongHistory(DerivedValues& values, int averageSeconds) {
  auto history = std::make_unique<History>();
  FillHistory(*history, kSecondSlots);
  UpdateDerivedValues(values, *history, averageSeconds);
  return history;
}

// The per-second update with W = 60: running sums, no rebuild.
void BM_UpdateDerivedValues(benchmark::State& state) {
  DerivedValues values;
  std::unique_ptr<History> history = LongHistory(values, 60);
  for (auto _ : state) {
    history->sampleCount += 1;
    UpdateDerivedValues(values, *history, 60);
  }
  benchmark::DoNotOptimize(values.movingAverage);
}
BENCHMARK(BM_UpdateDerivedValues);

// The first second after W was changed from 60 to 3600: the window sum is
// rebuilt from 3600 slots of the ring.
void BM_UpdateDerivedValuesRebuild60To3600(benchmark::State& state) {
  DerivedValues values;
  std::unique_ptr<History> history = LongHistory(values, 60);
  for (auto _ : state) {
    values.windowInUse = 60;
    history->sampleCount += 1;
    UpdateDerivedValues(values, *history, 3600);
  }
  benchmark::DoNotOptimize(values.movingAverage);
}
BENCHMARK(BM_UpdateDerivedValuesRebuild60To3600);

}  // namespace
}  // namespace velrix::bench
