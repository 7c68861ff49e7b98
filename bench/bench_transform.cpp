// Layer transforms and shape fills: a 4096x4096 layer turned freely by 30 degrees and scaled to
// 61%, beside OpenCV's warpAffine (INTER_LINEAR) and resize (INTER_AREA) of the same pixels on
// one thread in the same run; and a 4000-vertex polygon filled into a 4096x4096 channel
// (megapixels of the polygon's bounds per second). Our rotation writes a larger store (the whole
// turned layer) than warpAffine's same-size output, and builds a new tiled layer from it.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "BenchSupport.h"
#include "document/LayerData.h"
#include "paint/PixelWriters.h"
#include "paint/ShapeFill.h"
#include "paint/Stroke.h"
#include "paper/Paper.h"
#include "raster/FlatImage.h"

#if defined(TF_BENCH_HAVE_OPENCV)
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

using namespace tf;

constexpr int kSide = 4096;

struct Data {
  CLayerData layer{0, false};
  TMTC flat{kSide, kSide};
  Data() {
    layer.Init(kSide, kSide, 0);
    uint64_t s = 0x9E3779B97F4A7C15ull;
    for (int y = 0; y < kSide; ++y)
      for (int x = 0; x < kSide; ++x) {
        const uint32_t v = static_cast<uint32_t>(XorShift64(s) >> 16) | 0xFF000000u;
        *flat.Pixel(x, y) = v;
      }
    TPoint at{0, 0};
    SRectWH all{0, 0, kSide, kSide};
    layer.Store()->CopyFromImage(flat, at, all, 255);
  }
};

Data& Get() {
  static Data data;
  return data;
}

void BM_RotateLayer30(benchmark::State& state) {
  Data& d = Get();
  for (auto _ : state) {
    auto turned = MakeRotatedLayer(SSize{kSide, kSide}, d.layer, 30.0);
    benchmark::DoNotOptimize(turned.get());
  }
  state.counters["MP/s"] =
      benchmark::Counter(double{kSide} * kSide, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_RotateLayer30)->Unit(benchmark::kMillisecond)->MinTime(2);

void BM_ScaleLayer61(benchmark::State& state) {
  Data& d = Get();
  const int side = kSide * 61 / 100;
  for (auto _ : state) {
    auto scaled = MakeScaledLayer(SSize{side, side}, d.layer, side, side);
    benchmark::DoNotOptimize(scaled.get());
  }
  state.counters["MP/s"] =
      benchmark::Counter(double{kSide} * kSide, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ScaleLayer61)->Unit(benchmark::kMillisecond)->MinTime(2);

#if defined(TF_BENCH_HAVE_OPENCV)
void BM_OpenCvWarpAffine30(benchmark::State& state) {
  cv::setNumThreads(1);
  Data& d = Get();
  cv::Mat src(kSide, kSide, CV_8UC4, d.flat.Pixel(0, 0));
  cv::Mat dst;
  const cv::Mat m = cv::getRotationMatrix2D(cv::Point2f(kSide / 2.0f, kSide / 2.0f), 30.0, 1.0);
  for (auto _ : state) {
    cv::warpAffine(src, dst, m, src.size(), cv::INTER_LINEAR);
    benchmark::DoNotOptimize(dst.data);
  }
  state.counters["MP/s"] =
      benchmark::Counter(double{kSide} * kSide, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_OpenCvWarpAffine30)->Unit(benchmark::kMillisecond)->MinTime(2);

void BM_OpenCvResizeArea61(benchmark::State& state) {
  cv::setNumThreads(1);
  Data& d = Get();
  cv::Mat src(kSide, kSide, CV_8UC4, d.flat.Pixel(0, 0));
  cv::Mat dst;
  const int side = kSide * 61 / 100;
  for (auto _ : state) {
    cv::resize(src, dst, cv::Size(side, side), 0, 0, cv::INTER_AREA);
    benchmark::DoNotOptimize(dst.data);
  }
  state.counters["MP/s"] =
      benchmark::Counter(double{kSide} * kSide, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_OpenCvResizeArea61)->Unit(benchmark::kMillisecond)->MinTime(2);
#endif

void BM_FillPolygon4000(benchmark::State& state) {
  ResetPixelWriters();
  TStroke stroke(2);
  TChannel channel(kSide, kSide);
  std::vector<SPointF> points;
  uint64_t s = 12345;
  for (int i = 0; i < 4000; ++i) {
    const double t = i * 2 * M_PI / 4000;
    const double r = 1000 + static_cast<double>(XorShift64(s) % 1000);
    points.push_back({static_cast<float>(2048 + r * std::cos(t)), static_cast<float>(2048 + r * std::sin(t))});
  }
  CPolygonFiller fill(nullptr, stroke, kSide, kSide);
  fill.SetPoints(points.data(), static_cast<int32_t>(points.size()));
  SRectWH bounds{};
  fill.GetBounds(bounds);
  for (auto _ : state) benchmark::DoNotOptimize(fill.Fill(channel));
  state.counters["MP/s"] = benchmark::Counter(static_cast<double>(bounds.width) * bounds.height,
                                              benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_FillPolygon4000)->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace

BENCHMARK_MAIN();
