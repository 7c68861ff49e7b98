// The stroke road against the bare dab renderer, single-threaded, in the same run:
//   - BM_StrokeRoad: one 1000-point pressure stroke of nib radius 16 through the document's
//     stroke road (engine 2) on a 4096 x 4096 document of three layers: begin, 999 points and
//     the end, recorded into the event stream, with the layer's pixel undo saved and the stroke
//     merged into the layer; every repainted rectangle is painted into a memory surface;
//   - BM_BareDab: the same number of radius-16 dabs at the stroke's spacing through
//     CPenRender.DabToImage into a 4096 x 4096 picture, nothing else.
// The road runs twice: recorded (argument 1) and replayed with the record flag clear (0).
// After the table: ms per stroke, dabs per second of both, and the road over the bare rate.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "document/LayerData.h"
#include "events/EventStream.h"
#include "paint/PenRender.h"
#include "paint/PixelWriters.h"
#include "paint/Stroke.h"
#include "paint/StrokeMngr.h"
#include "paper/FlowImage.h"
#include "paper/HeadlessWindow.h"
#include "paper/Paper.h"
#include "platform/Surface.h"
#include "raster/FlatImage.h"

namespace tf {
namespace {

constexpr int32_t kSide = 4096;
constexpr int32_t kPoints = 1000;
constexpr float kRadius = 16.0f;

// The stroke: a wave across the picture, about 3 pixels between points, pressure rising and
// falling.
std::vector<SStrokePoint> StrokePoints() {
  std::vector<SStrokePoint> points;
  for (int32_t i = 0; i < kPoints; ++i) {
    const float t = static_cast<float>(i);
    points.push_back(
        {200.0f + 3.0f * t, 2000.0f + 300.0f * std::sin(t * 0.01f), 0.5f + 0.45f * std::sin(t * 0.037f)});
  }
  return points;
}

void SetPen(CPenRender& renderer) {
  SNibShape nib{};
  nib.Init(kRadius);
  renderer.SetNibShape(nib);
  SGradeMap linear{};
  linear.Init();
  linear.kind = kGradeLinear;
  renderer.SetGradeMap(linear);
}

struct Figures {
  double strokeSeconds = 0;
  int64_t strokes = 0;
  int64_t roadDabs = 0;
  double roadRate = 0;
  double bareRate = 0;
};
Figures& Results() {
  static Figures f;
  return f;
}

void BM_StrokeRoad(benchmark::State& state) {
  ResetPixelWriters();
  HeadlessDocumentWindow window;
  TStroke stroke(2);
  CPenRender renderer(&stroke);
  window.stroke = &stroke;
  window.penRender = &renderer;
  TPaper& paper = window.Paper();
  if (!paper.NewDocument("bench", &window.Flow(), true, false, 72, kSide, kSide)) {
    state.SkipWithError("no document");
    return;
  }
  for (int i = 0; i < 2; ++i) paper.Layers().AddLayer(kSide, kSide, true, 255, true, 0);
  paper.SelectLayer(&window.Flow(), 1);
  if (!paper.CreateStrokeMngr()) {
    state.SkipWithError("no stroke manager");
    return;
  }
  StrokeRecordSource source(&stroke);
  paper.EventMngr()->stroke = &source;
  stroke.SetColor(0x00204080u);
  SetPen(renderer);
  SStrokeParam params{0, 1, {0, 0}, 1000, 100, 100, 0, 0};  // pressure drives the opacity
  paper.StrokeMngr()->SetStrokeParams(params);
  MemorySurface surface(kSide, kSide);
  const std::vector<SStrokePoint> points = StrokePoints();
  TFlowImage* flow = &window.Flow();
  CEventMngr& events = *paper.EventMngr();
  int64_t dabs = 0;
  const bool record = state.range(0) != 0;
  for (auto _ : state) {
    paper.BeginStrokeMngr(flow, stroke, record, points[0].x, points[0].y, points[0].pressure);
    for (int32_t i = 1; i < kPoints; ++i) {
      if (paper.StrokeToMngr(flow, stroke, record, 0, points[i].x, points[i].y, points[i].pressure)) {
        SRectWH rect{};
        paper.StrokeMngr()->GetSegmentRect(rect);
        paper.PaintDirect(surface, rect);
      }
    }
    SRectWH rect{};
    if (!paper.EndStrokeMngr(flow, stroke, record, rect, 0)) {
      state.SkipWithError("the stroke's end failed");
      break;
    }
    dabs += paper.StrokeMngr()->GetDabCounter();
    // The stream would fill over thousands of strokes: the step goes again, out of the timing.
    if (record) {
      state.PauseTiming();
      events.dropLastStep();
      state.ResumeTiming();
    }
  }
  state.counters["dabs/s"] = benchmark::Counter(static_cast<double>(dabs), benchmark::Counter::kIsRate);
  state.counters["ms/stroke"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  if (state.iterations() > 0) Results().roadDabs = dabs / static_cast<int64_t>(state.iterations());
  ResetPixelWriters();
}

void BM_BareDab(benchmark::State& state) {
  ResetPixelWriters();
  SetColourWriter(&PixelPaintOver);
  TStroke stroke(0);
  CPenRender renderer(&stroke);
  SetPen(renderer);
  static TMTC image(kSide, kSide);
  image.FillValue(0x00FFFFFFu);
  // The dabs of the stroke: 2 pixels apart along the same wave, the stroke's opacities.
  std::vector<SDabPoint> dabs;
  const std::vector<SStrokePoint> points = StrokePoints();
  for (int32_t i = 0; i + 1 < kPoints; ++i)
    for (float f : {0.0f, 0.5f})
      dabs.push_back({points[i].x + f * (points[i + 1].x - points[i].x),
                      points[i].y + f * (points[i + 1].y - points[i].y), points[i].pressure});
  int64_t drawn = 0;
  for (auto _ : state) {
    for (const SDabPoint& d : dabs) benchmark::DoNotOptimize(renderer.DabToImage(image, d, 0x00204080u, kRadius));
    drawn += static_cast<int64_t>(dabs.size());
  }
  state.counters["dabs/s"] = benchmark::Counter(static_cast<double>(drawn), benchmark::Counter::kIsRate);
  ResetPixelWriters();
}

BENCHMARK(BM_StrokeRoad)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_BareDab)->Unit(benchmark::kMillisecond)->MinTime(2.0);

class StrokeReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      auto it = run.counters.find("dabs/s");
      const std::string name = run.benchmark_name().substr(0, run.benchmark_name().find("/min_time"));
      if (it != run.counters.end()) rates_[name] = it->second.value;
      if (name.rfind("BM_StrokeRoad/", 0) == 0) ms_[name] = run.GetAdjustedCPUTime();  // ms
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const double bare = rates_["BM_BareDab"];
    std::printf(
        "\nStroke road, 1000 points, nib radius 16, 4096 x 4096, three layers, %lld dabs per stroke;"
        " bare CPenRender %.0f dabs/s:\n",
        static_cast<long long>(Results().roadDabs), bare);
    for (const char* arg : {"1", "0"}) {
      const std::string name = std::string("BM_StrokeRoad/") + arg;
      const double road = rates_[name];
      std::printf(
          "  %-46s %8.2f ms per stroke %10.0f dabs/s",
          arg[0] == '1' ? "recorded, pixel undo saved, merged:" : "replayed (no recording, no undo), merged:",
          ms_[name], road);
      if (bare > 0) std::printf("   ratio %.2fx (aim >= 0.80x)", road / bare);
      std::printf("\n");
    }
  }

 private:
  std::map<std::string, double> rates_;
  std::map<std::string, double> ms_;
};

}  // namespace
}  // namespace tf

int main(int argc, char** argv) {
  tf::StrokeReporter reporter;
  return tf::RunBenchmarks(argc, argv, reporter);
}
