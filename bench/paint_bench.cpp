// What one refresh of the view costs in drawing: the main panel and the live
// trend graph painted into a picture the size of the view's client area,
// offscreen. The refresh runs every 500 ms, so a frame must stay far below
// that on the slowest machine the monitor is installed on.

#include <benchmark/benchmark.h>

#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <memory>

#include "bench/bench_support.h"
#include "display/panel_text.h"
#include "display/trend_picture.h"
#include "display/ui/display_tools.h"
#include "display/ui/panel_painter.h"
#include "display/ui/trend_painter.h"

namespace velrix::bench {
namespace {

inline constexpr int kViewWidth = 998;
inline constexpr int kViewHeight = 672;
// A pixel inside the plot area and the dark green a drawn graph leaves there.
inline constexpr int kPlotProbeX = 300;
inline constexpr int kPlotProbeY = 300;
const QColor kPlotColour(0, 33, 0);

// Everything a refresh draws from: a measurement running for ten years at
// the benchmark site, link and power normal, no warnings.
class ViewScene {
 public:
  ViewScene() : clock_(0), image_(kViewWidth, kViewHeight, QImage::Format_RGB32) {
    HeldMessages messages;
    LoadDoseTable(*table_, ProgramResources(), messages);
    if (messages.shown != 0) error = messages.last;
    FillHistory(*history_, kTenYearsSeconds);
    const ClockSeconds firstRow = clock_.FromLocal(2014, 5, 14, 9, 0, 0);
    clock_.Set(firstRow + kTenYearsSeconds);

    panel_.values.latestCount = 3.0;
    panel_.values.movingAverage = 2.0166;
    panel_.values.hourMean = 1.9872;
    panel_.values.hourCount = panel_.values.hourMean * 3600.0;
    panel_.values.integratedCount = kSiteMeanCount * kTenYearsSeconds;
    panel_.values.integratedDose = DoseRate(*table_, kSiteMeanCount) * kTenYearsSeconds / 3600.0;
    panel_.values.predictedDayCount = panel_.values.movingAverage * 86400.0;
    panel_.values.predictedYearCount = panel_.values.predictedDayCount * 365.0;
    panel_.values.predictedDayDose = DoseRate(*table_, panel_.values.movingAverage) * 24.0;
    panel_.values.predictedYearDose = panel_.values.predictedDayDose * 365.0;
    panel_.units = DisplayUnitSettings{0, 0, 60};
    panel_.table = table_.get();
    panel_.measuring = 1;
    panel_.now = clock_.Now();
    panel_.elapsedSeconds = kTenYearsSeconds;
    panel_.clock = &clock_;
    panel_.linkStatus = kLinkOk;
    panel_.portName = "ttyUSB0";
    panel_.batteryLow = 0;
    panel_.solarReached = 1;

    trend_.trendScale = 2;  // 10 μSv/h full scale
    firstRow_ = firstRow;
    image_.fill(QColor(220, 220, 220));
  }

  void SetSpan(int span) { trend_.trendSpan = span; }

  // The view draws a refresh through one painter: it clears its client
  // area, then draws the panel and the graph.
  void Clear(QPainter& p, const DisplayTools& tools) {
    GdiClear(p, tools, 0, 0, kViewWidth, kViewHeight);
  }
  void Panel(QPainter& p, const DisplayTools& tools) {
    benchmark::DoNotOptimize(DrawPanel(p, tools, panel_));
  }
  void Trend(QPainter& p, const DisplayTools& tools) {
    const TrendInputs in = LiveTrendInputs(*history_, trend_, *table_, firstRow_, clock_, 1, 1);
    benchmark::DoNotOptimize(DrawTrend(p, tools, in));
  }
  QImage& image() { return image_; }
  // True when the plot area carries the graph's colour, i.e. something was drawn.
  bool GraphDrawn() const {
    return image_.pixelColor(kPlotProbeX, kPlotProbeY).rgb() == kPlotColour.rgb();
  }

  std::string error;

 private:
  ManualClock clock_;
  std::unique_ptr<DoseTable> table_ = std::make_unique<DoseTable>();
  std::unique_ptr<History> history_ = std::make_unique<History>();
  ClockSeconds firstRow_ = 0;
  PanelInputs panel_;
  TrendSettings trend_;
  QImage image_;
};

const DisplayTools& Tools() {
  static const DisplayTools tools = CreateDisplayTools();
  return tools;
}

bool Ready(benchmark::State& state, const ViewScene& scene) {
  if (scene.error.empty()) return true;
  state.SkipWithError(scene.error.c_str());
  return false;
}

void BM_DrawPanel(benchmark::State& state) {
  ViewScene scene;
  if (!Ready(state, scene)) return;
  for (auto _ : state) {
    QPainter p(&scene.image());
    PrepareGdiPainter(p);
    scene.Panel(p, Tools());
  }
}
BENCHMARK(BM_DrawPanel)->Unit(benchmark::kMicrosecond);

// Span 3 is one day, span 6 ten years.
void BM_DrawTrend(benchmark::State& state) {
  ViewScene scene;
  if (!Ready(state, scene)) return;
  scene.SetSpan(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    QPainter p(&scene.image());
    PrepareGdiPainter(p);
    scene.Trend(p, Tools());
  }
  if (!scene.GraphDrawn()) state.SkipWithError("the plot area was not drawn");
}
BENCHMARK(BM_DrawTrend)->ArgName("span")->Arg(3)->Arg(6)->Unit(benchmark::kMicrosecond);

// One whole refresh: clear, panel, graph.
void BM_ViewFrame(benchmark::State& state) {
  ViewScene scene;
  if (!Ready(state, scene)) return;
  scene.SetSpan(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    QPainter p(&scene.image());
    PrepareGdiPainter(p);
    scene.Clear(p, Tools());
    scene.Panel(p, Tools());
    scene.Trend(p, Tools());
  }
  if (!scene.GraphDrawn()) state.SkipWithError("the plot area was not drawn");
  state.counters["frames"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ViewFrame)->ArgName("span")->Arg(3)->Arg(6)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace velrix::bench

// The offscreen platform is chosen before the application object exists, so
// the benchmark runs without a display; a platform set by the caller is kept.
int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
