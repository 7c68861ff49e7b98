// Dabs per second of the dab renderer against libmypaint, single-threaded, in the same run:
//   - BM_PenDab/r: soft round dabs of radius r (parametric circle, linear falloff) painted through
//     CPenRender.DabToImage and the paint writer into a 4096 x 4096 picture, along a path with a
//     spacing of r/2;
//   - BM_MyPaintDab/r: libmypaint's draw_dab at hardness 0.5 on a 4096 x 4096 fixed tiled surface
//     along the same path, in batches of 64 dabs, each batch ending with end_atomic (where
//     libmypaint renders its queued dabs);
//   - BM_PencilDab/r: coverage dabs (the pencil) through CPenRender.DabToChannel into a
//     4096 x 4096 channel: the exact sub-pixel footprint, drawn twice below radius 3.
// Radii 2, 8, 32 and 128. After the table, our rate over libmypaint's per radius.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "BenchSupport.h"
#include "paint/PenRender.h"
#include "paint/PixelWriters.h"
#include "paint/Stroke.h"
#include "raster/FlatImage.h"

#ifdef TF_BENCH_HAVE_MYPAINT
extern "C" {
#include <mypaint-fixed-tiled-surface.h>
#include <mypaint-surface.h>
}
#endif

namespace tf {
namespace {

constexpr int32_t kSide = 4096;
constexpr int32_t kBatch = 64;

// The path: left to right along rows 3r apart, spacing r/2, inside the picture.
struct DabPath {
  explicit DabPath(float radius) : r(radius), x(radius + 1), y(radius + 1) {}
  void Next() {
    x += r * 0.5f;
    if (x > kSide - r - 1) {
      x = r + 1 + 0.37f * static_cast<float>(row % 7);
      y += 3 * r + 0.29f;
      ++row;
      if (y > kSide - r - 1) y = r + 1 + 0.11f * static_cast<float>(row % 5);
    }
  }
  float r, x, y;
  int32_t row = 0;
};

TMTC& Picture() {
  static TMTC image(kSide, kSide);
  return image;
}

void BM_PenDab(benchmark::State& state) {
  const auto r = static_cast<float>(state.range(0));
  ResetPixelWriters();
  SetColourWriter(&PixelPaintOver);
  TStroke stroke(0);
  CPenRender pen(&stroke);
  SNibShape shape{};
  shape.Init(r);
  pen.SetNibShape(shape);
  SGradeMap linear{};
  linear.Init();
  linear.kind = kGradeLinear;
  pen.SetGradeMap(linear);
  TMTC& image = Picture();
  image.FillValue(0xFFFFFFFFu);
  DabPath path(r);
  int64_t dabs = 0;
  for (auto _ : state) {
    for (int32_t i = 0; i < kBatch; ++i) {
      benchmark::DoNotOptimize(pen.DabToImage(image, SDabPoint{path.x, path.y, 1.0f}, 0x00204080u, r));
      path.Next();
    }
    dabs += kBatch;
  }
  state.counters["dabs/s"] = benchmark::Counter(static_cast<double>(dabs), benchmark::Counter::kIsRate);
  ResetPixelWriters();
}

void BM_PencilDab(benchmark::State& state) {
  const auto r = static_cast<float>(state.range(0));
  ResetPixelWriters();
  TStroke stroke(0);
  CPenRender pen(&stroke);
  SNibShape shape{};
  shape.Init(r);
  pen.SetNibShape(shape);
  pen.SetPenHeader(kRenderPaint, -1, 1, -1);
  static TChannel channel(kSide, kSide);
  DabPath path(r);
  int64_t dabs = 0;
  for (auto _ : state) {
    for (int32_t i = 0; i < kBatch; ++i) {
      benchmark::DoNotOptimize(pen.DabToChannel(channel, SDabPoint{path.x, path.y, 1.0f}, 255, r));
      path.Next();
    }
    dabs += kBatch;
  }
  state.counters["dabs/s"] = benchmark::Counter(static_cast<double>(dabs), benchmark::Counter::kIsRate);
}

#ifdef TF_BENCH_HAVE_MYPAINT
void BM_MyPaintDab(benchmark::State& state) {
  const auto r = static_cast<float>(state.range(0));
  static MyPaintFixedTiledSurface* fixed = mypaint_fixed_tiled_surface_new(kSide, kSide);
  MyPaintSurface* surface = mypaint_fixed_tiled_surface_interface(fixed);
  DabPath path(r);
  int64_t dabs = 0;
  for (auto _ : state) {
    mypaint_surface_begin_atomic(surface);
    for (int32_t i = 0; i < kBatch; ++i) {
      mypaint_surface_draw_dab(surface, path.x, path.y, r, 0.5f, 0.25f, 0.125f, 1.0f, 0.5f, 1.0f, 1.0f, 0.0f,
                               0.0f, 0.0f);
      path.Next();
    }
    MyPaintRectangle roi;
    mypaint_surface_end_atomic(surface, &roi);
    benchmark::DoNotOptimize(roi);
    dabs += kBatch;
  }
  state.counters["dabs/s"] = benchmark::Counter(static_cast<double>(dabs), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MyPaintDab)->Arg(2)->Arg(8)->Arg(32)->Arg(128);
#endif

BENCHMARK(BM_PenDab)->Arg(2)->Arg(8)->Arg(32)->Arg(128);
BENCHMARK(BM_PencilDab)->Arg(2)->Arg(8)->Arg(32)->Arg(128);

// The table, then each radius's dabs/s of ours over libmypaint's.
class DabRatioReporter : public benchmark::ConsoleReporter {
 public:
  DabRatioReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_ColorTabular : OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      auto it = run.counters.find("dabs/s");
      if (it != run.counters.end() && run.run_type == Run::RT_Iteration)
        rates_[run.benchmark_name()] = it->second.value;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nDabs per second (single-threaded), ours over libmypaint's draw_dab at hardness 0.5:\n");
    for (const char* r : {"2", "8", "32", "128"}) {
      const double ours = Rate(std::string("BM_PenDab/") + r);
      const double pencil = Rate(std::string("BM_PencilDab/") + r);
      const double peer = Rate(std::string("BM_MyPaintDab/") + r);
      std::printf("  r = %-4s paint %10.0f  pencil %10.0f  libmypaint %10.0f", r, ours, pencil, peer);
      if (peer > 0) std::printf("  ratio %.2fx", ours / peer);
      std::printf("\n");
    }
  }

 private:
  double Rate(const std::string& name) const {
    auto it = rates_.find(name);
    return it == rates_.end() ? 0.0 : it->second;
  }
  std::map<std::string, double> rates_;
};

}  // namespace
}  // namespace tf

int main(int argc, char** argv) {
  // libmypaint renders with OpenMP: one thread, as ours.
  setenv("OMP_NUM_THREADS", "1", 1);
  tf::DabRatioReporter reporter;
  return tf::RunBenchmarks(argc, argv, reporter);
}
