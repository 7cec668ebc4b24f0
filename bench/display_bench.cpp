// What the display arithmetic costs: the text of one panel value, digit
// grouping, and the whole trend picture over a history of ten years.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "display/panel_text.h"
#include "display/trend_picture.h"
#include "display/value_format.h"

namespace velrix::bench {
namespace {

// Derived values after thirty days at the benchmark site.
DerivedValues MonthOfValues(const DoseTable& table) {
  constexpr double kSeconds = 30.0 * 86400.0;
  DerivedValues v;
  v.latestCount = 3.0;
  v.movingAverage = 2.0166;
  v.hourMean = 1.9872;
  v.hourCount = v.hourMean * 3600.0;
  v.integratedCount = kSiteMeanCount * kSeconds;
  v.integratedDose = DoseRate(table, kSiteMeanCount) * kSeconds / 3600.0;
  v.predictedDayCount = v.movingAverage * 86400.0;
  v.predictedYearCount = v.predictedDayCount * 365.0;
  v.predictedDayDose = DoseRate(table, v.movingAverage) * 24.0;
  v.predictedYearDose = v.predictedDayDose * 365.0;
  return v;
}

std::unique_ptr<DoseTable> LoadedTable(benchmark::State& state) {
  auto table = std::make_unique<DoseTable>();
  HeldMessages messages;
  LoadDoseTable(*table, ProgramResources(), messages);
  if (messages.shown != 0) {
    state.SkipWithError(messages.last.c_str());
    return nullptr;
  }
  return table;
}

// One panel row in the first units (μSv, μSv/h); the row is the argument.
void BM_FormatPanelValue(benchmark::State& state) {
  std::unique_ptr<DoseTable> table = LoadedTable(state);
  if (!table) return;
  const int row = static_cast<int>(state.range(0));
  const DerivedValues v = MonthOfValues(*table);
  const DisplayUnitSettings units{0, 0, 60};
  const std::string format = PanelRowFormat(row);
  const double countValue = PanelRowCountValue(v, row);
  const double secondValue = PanelRowSecondValue(v, row);
  const int unit = PanelRowUnitCode(units, row);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        FormatPanelValue(*table, format, countValue, secondValue, row, unit));
  }
}
BENCHMARK(BM_FormatPanelValue)->ArgName("row")->DenseRange(kRowIntegrated, kRowHour);

// The texts the formatter hands it: padded, with and without a fraction,
// signed, and one that is far wider than its field.
void BM_GroupDigits(benchmark::State& state) {
  const std::vector<std::string> texts = {
      "       15724.608", "      174355.200", "  63639648.000",    "    2.02",
      "     1.991",       "         3",       "-1234567890.125",   "1000000000000000000000.000"};
  std::size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(GroupDigits(texts[i++ % texts.size()]));
}
BENCHMARK(BM_GroupDigits);

// The live graph of a measurement running for ten years, whose history is
// full at every level. Span 3 is one day (720 points from the 2-minute
// level), span 6 ten years (730 points from the 5-day level).
void BM_BuildTrendPicture(benchmark::State& state) {
  std::unique_ptr<DoseTable> table = LoadedTable(state);
  if (!table) return;
  auto history = std::make_unique<History>();
  FillHistory(*history, kTenYearsSeconds);
  ManualClock clock(0);
  const ClockSeconds firstRow = clock.FromLocal(2014, 5, 14, 9, 0, 0);
  clock.Set(firstRow + kTenYearsSeconds);
  TrendSettings trend;
  trend.trendSpan = static_cast<int>(state.range(0));
  trend.trendScale = 2;  // 10 μSv/h full scale
  const TrendInputs in = LiveTrendInputs(*history, trend, *table, firstRow, clock, 1, 1);
  std::size_t marks = 0;
  for (auto _ : state) {
    TrendPicture picture = BuildTrendPicture(in);
    marks = picture.marks.size();
    benchmark::DoNotOptimize(picture);
  }
  state.counters["marks"] = static_cast<double>(marks);
}
BENCHMARK(BM_BuildTrendPicture)->ArgName("span")->Arg(3)->Arg(6);

}  // namespace
}  // namespace velrix::bench
