// Selection grow and shrink: grey dilation and erosion of a 4096x4096 soft selection with the
// octagonal neighbourhood of radius 8 and 32 (OctagonExtreme), beside OpenCV's cv::dilate and
// cv::erode with the same footprint as the kernel and a zero border, on one thread. Also the
// whole channel step of the command (GrowMaskChannel, ShrinkMaskChannel: bounds, copy out of the
// tiled store, filter). Prints pixels per second and, at the end, the time ratio ours / OpenCV.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "document/Mask.h"
#include "document/SelectionExtent.h"
#include "raster/BlockVCH.h"
#include "raster/FlatImage.h"

#if defined(TF_BENCH_HAVE_OPENCV)
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace tf {
namespace {

constexpr int32_t kSide = 4096;

// A soft selection: a feathered disc with lighter patches and holes.
const TChannel& SoftSelection() {
  static const std::unique_ptr<TChannel> channel = [] {
    auto made = std::make_unique<TChannel>(kSide, kSide);
    for (int32_t y = 0; y < kSide; ++y) {
      uint8_t* row = made->GetPixelPtr(0, y);
      for (int32_t x = 0; x < kSide; ++x) {
        const float d = std::hypot(static_cast<float>(x - 2048), static_cast<float>(y - 2000));
        float v = (1900.0f - d) / 48.0f;
        v = v < 0 ? 0 : (v > 1 ? 1 : v);
        if (((x / 97) + (y / 89)) % 7 == 0) v *= 0.3f;
        if (((x / 41) * 7 + (y / 37) * 3) % 23 == 0) v = 0;
        row[x] = static_cast<uint8_t>(v * 255.0f);
      }
    }
    return made;
  }();
  return *channel;
}

void BM_Ours(benchmark::State& state) {
  const int32_t radius = static_cast<int32_t>(state.range(0));
  const bool grow = state.range(1) != 0;
  const TChannel& source = SoftSelection();
  TChannel dest(kSide, kSide);
  for (auto _ : state) {
    if (!OctagonExtreme(source, radius, grow, dest, 0, 0)) state.SkipWithError("filter failed");
    benchmark::DoNotOptimize(dest.GetPixelPtr(0, 0));
  }
  SetPixelRate(state, double{kSide} * kSide, 1);
}

// The command's channel step over a mask store holding the selection.
void BM_OursMaskStep(benchmark::State& state) {
  const int32_t radius = static_cast<int32_t>(state.range(0));
  const bool grow = state.range(1) != 0;
  auto mask = CMaskData::Create(0, kSide, kSide);
  TPoint at{0, 0};
  SRectWH all{0, 0, kSide, kSide};
  mask->Store()->CopyFromChannel(SoftSelection(), at, all);
  for (auto _ : state) {
    TChannel channel;
    TPoint offset;
    const bool ok = grow ? GrowMaskChannel(channel, *mask, radius, offset, 0)
                         : ShrinkMaskChannel(channel, *mask, radius, offset, 0);
    if (!ok) state.SkipWithError("channel step failed");
    benchmark::DoNotOptimize(channel.GetPixelPtr(0, 0));
  }
  SetPixelRate(state, double{kSide} * kSide, 1);
}

#if defined(TF_BENCH_HAVE_OPENCV)
cv::Mat OctagonKernel(int32_t radius) {
  cv::Mat kernel(2 * radius + 1, 2 * radius + 1, CV_8U, cv::Scalar(0));
  for (int32_t dx = -radius; dx <= radius; ++dx)
    for (int32_t dy = -OctagonHalfHeight(radius, dx); dy <= OctagonHalfHeight(radius, dx); ++dy)
      kernel.at<uint8_t>(dy + radius, dx + radius) = 1;
  return kernel;
}

void BM_OpenCV(benchmark::State& state) {
  cv::setNumThreads(1);
  const int32_t radius = static_cast<int32_t>(state.range(0));
  const bool grow = state.range(1) != 0;
  const TChannel& source = SoftSelection();
  // The channel's rows run bottom-up in memory: the same plane upside down, which the symmetric
  // footprint does not mind.
  cv::Mat plane(kSide, kSide, CV_8U);
  for (int32_t y = 0; y < kSide; ++y)
    std::memcpy(plane.ptr(y), source.GetPixelPtr(0, y), static_cast<size_t>(kSide));
  cv::Mat out;
  const cv::Mat kernel = OctagonKernel(radius);
  for (auto _ : state) {
    if (grow)
      cv::dilate(plane, out, kernel, cv::Point(-1, -1), 1, cv::BORDER_CONSTANT, cv::Scalar(0));
    else
      cv::erode(plane, out, kernel, cv::Point(-1, -1), 1, cv::BORDER_CONSTANT, cv::Scalar(0));
    benchmark::DoNotOptimize(out.data);
  }
  SetPixelRate(state, double{kSide} * kSide, 1);
}
#endif

void Cases(benchmark::internal::Benchmark* b) {
  b->ArgNames({"radius", "grow"})->Unit(benchmark::kMillisecond)->MinTime(0.5);
  for (int64_t radius : {8, 32})
    for (int64_t grow : {1, 0}) b->Args({radius, grow});
}

BENCHMARK(BM_Ours)->Apply(Cases);
BENCHMARK(BM_OursMaskStep)->Apply(Cases);
#if defined(TF_BENCH_HAVE_OPENCV)
BENCHMARK(BM_OpenCV)->Apply(Cases);
#endif

// After the table: the time ratio ours / OpenCV per case.
class RatioReporter : public RateReporter {
 public:
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nTime ratio ours / OpenCV (aim <= 1.5):\n");
    for (const char* args : {"radius:8/grow:1", "radius:8/grow:0", "radius:32/grow:1", "radius:32/grow:0"}) {
      const double ours = Find("BM_Ours/", args);
      const double step = Find("BM_OursMaskStep/", args);
      const double peer = Find("BM_OpenCV/", args);
      if (ours > 0 && peer > 0)
        std::printf("  %-18s filter %.2fx   channel step %.2fx\n", args, peer / ours,
                    step > 0 ? peer / step : 0.0);
    }
  }

 private:
  double Find(const std::string& prefix, const char* args) const {
    for (const auto& [name, rate] : rates_)
      if (name.rfind(prefix + args, 0) == 0) return rate;
    return 0;
  }
};

}  // namespace
}  // namespace tf

int main(int argc, char** argv) {
  tf::RatioReporter reporter;
  return tf::RunBenchmarks(argc, argv, reporter);
}
