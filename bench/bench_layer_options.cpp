// The layer properties dialog of a full 10000 x 10000 layer: from the call to a form ready to show
// (made, seeded, preview drawn), beside the store's scaled drawing into the preview box alone (the
// floor of the same run).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdio>

#include "app/qt/DocumentDialogs.h"
#include "raster/BlockVMTC.h"
#include "raster/FlatImage.h"

namespace {

tf::CBlockVMTC& FullLayer() {
  static tf::CBlockVMTC* store = [] {
    auto* s = new tf::CBlockVMTC();
    s->Create(10000, 10000);
    tf::SRectWH all{0, 0, 10000, 10000};
    s->FillRect(all, 0xFF3060C0u);
    return s;
  }();
  return *store;
}

double g_floor = 0, g_form = 0;

void BM_ScaledIntoBox(benchmark::State& state) {
  tf::CBlockVMTC& store = FullLayer();
  tf::TMTC box(100, 100);
  for (auto _ : state) {
    store.DrawScaledTo(box, 0, 0, 100, 100, 0, 0, 10000, 10000);
    benchmark::DoNotOptimize(box.Bits());
  }
}

void BM_LayerOptionsReady(benchmark::State& state) {
  tf::CBlockVMTC& store = FullLayer();
  tf::TLayerOptionValue value;
  value.name = "layer";
  for (auto _ : state) {
    auto form = tf::MakeLayerOptionForm(value, store, 10000, 10000);
    benchmark::DoNotOptimize(form.get());
  }
}

BENCHMARK(BM_ScaledIntoBox)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LayerOptionsReady)->Unit(benchmark::kMillisecond);

class Reporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const double ms = run.GetAdjustedRealTime();
      if (run.benchmark_name().find("ScaledIntoBox") != std::string::npos) g_floor = ms;
      if (run.benchmark_name().find("LayerOptionsReady") != std::string::npos) g_form = ms;
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  Reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  if (g_floor > 0) std::printf("layer properties ready: %.2f ms, the scaled drawing alone %.2f ms, ratio %.3f\n", g_form, g_floor, g_form / g_floor);
  return 0;
}
