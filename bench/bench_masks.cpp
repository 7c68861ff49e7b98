// Masks: combining two 4096x4096 masks in each mode (CMaskMngr::CombineChannel) beside OpenCV's
// per-pixel operations on the same 8-bit planes, and tracing the selection outline of a soft
// selection (CAntPoints::Trace) beside cv::findContours on the thresholded plane. Prints pixels
// per second and, at the end, the time ratio ours / OpenCV per case.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "document/Mask.h"
#include "document/MaskCanvas.h"
#include "raster/FlatImage.h"

#if defined(TF_BENCH_HAVE_OPENCV)
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace tf {
namespace {

constexpr int32_t kSide = 4096;

class BenchCanvas final : public MaskCanvas {
 public:
  SSize CanvasSize() const override { return SSize{kSide, kSide}; }
  void CanvasToClientPoint(TPoint&) const override {}
  float ViewZoom() const override { return 1.0f; }
  float ViewSine() const override { return 0.0f; }
  float ViewCosine() const override { return 1.0f; }
};

// A soft selection: a disc with a feathered rim, and a few holes, centred at (cx, cy).
std::vector<uint8_t> SoftDisc(int32_t cx, int32_t cy, float radius) {
  std::vector<uint8_t> plane(static_cast<size_t>(kSide) * kSide);
  for (int32_t y = 0; y < kSide; ++y)
    for (int32_t x = 0; x < kSide; ++x) {
      const float d = std::hypot(static_cast<float>(x - cx), static_cast<float>(y - cy));
      float v = (radius - d) / 64.0f;
      v = v < 0 ? 0 : (v > 1 ? 1 : v);
      if (((x / 97) + (y / 89)) % 7 == 0) v *= 0.25f;  // lighter patches inside
      plane[static_cast<size_t>(y) * kSide + x] = static_cast<uint8_t>(v * 255.0f);
    }
  return plane;
}

const std::vector<uint8_t>& PlaneA() {
  static const std::vector<uint8_t> plane = SoftDisc(1800, 2000, 1500.0f);
  return plane;
}
const std::vector<uint8_t>& PlaneB() {
  static const std::vector<uint8_t> plane = SoftDisc(2400, 2100, 1400.0f);
  return plane;
}

std::unique_ptr<TChannel> ToChannel(const std::vector<uint8_t>& plane) {
  auto channel = std::make_unique<TChannel>(kSide, kSide);
  for (int32_t y = 0; y < kSide; ++y)
    std::copy_n(plane.data() + static_cast<size_t>(y) * kSide, kSide, channel->GetPixelPtr(0, y));
  return channel;
}

const char* const kModeNames[4] = {"replace", "add", "subtract", "intersect"};

void BM_TfCombine(benchmark::State& state, int32_t mode) {
  BenchCanvas canvas;
  CMaskMngr masks(&canvas);
  const std::unique_ptr<TChannel> a = ToChannel(PlaneA());
  const std::unique_ptr<TChannel> b = ToChannel(PlaneB());
  std::unique_ptr<CMaskData> old;
  if (!masks.CombineChannel(0, *a, kMaskReplace, old, TPoint{0, 0}, SSize{kSide, kSide})) {
    state.SkipWithError("set-up failed");
    return;
  }
  for (auto _ : state) {
    std::unique_ptr<CMaskData> previous;
    if (!masks.CombineChannel(0, *b, mode, previous, TPoint{0, 0}, SSize{kSide, kSide})) {
      state.SkipWithError("combine failed");
      return;
    }
    state.PauseTiming();
    masks.PutMask(0, previous);  // the first mask again for the next round
    state.ResumeTiming();
  }
  SetPixelRate(state, double{kSide} * kSide, 1);
}

void BM_TfTrace(benchmark::State& state) {
  const std::unique_ptr<TChannel> a = ToChannel(PlaneA());
  CAntPoints ants(nullptr, 0xCC);
  for (auto _ : state) {
    if (!ants.Trace(*a, false)) {
      state.SkipWithError("trace failed");
      return;
    }
    benchmark::DoNotOptimize(ants.LeftEdges().PointCount());
  }
  SetPixelRate(state, double{kSide} * kSide, 1);
}

#if defined(TF_BENCH_HAVE_OPENCV)
void BM_OpenCvCombine(benchmark::State& state, int32_t mode) {
  const cv::Mat a(kSide, kSide, CV_8UC1, const_cast<uint8_t*>(PlaneA().data()));
  const cv::Mat b(kSide, kSide, CV_8UC1, const_cast<uint8_t*>(PlaneB().data()));
  cv::Mat dst(kSide, kSide, CV_8UC1);
  cv::Mat inverted(kSide, kSide, CV_8UC1);
  for (auto _ : state) {
    switch (mode) {
      case kMaskReplace: b.copyTo(dst); break;
      case kMaskAdd: cv::max(a, b, dst); break;
      case kMaskSubtract:
        cv::bitwise_not(b, inverted);
        cv::min(a, inverted, dst);
        break;
      default: cv::multiply(a, b, dst, 1.0 / 255.0); break;
    }
    benchmark::DoNotOptimize(dst.data);
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, double{kSide} * kSide, 1);
}

void BM_OpenCvContours(benchmark::State& state) {
  const cv::Mat a(kSide, kSide, CV_8UC1, const_cast<uint8_t*>(PlaneA().data()));
  cv::Mat binary;
  cv::threshold(a, binary, 0, 255, cv::THRESH_BINARY);
  for (auto _ : state) {
    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(binary, contours, cv::RETR_LIST, cv::CHAIN_APPROX_NONE);
    benchmark::DoNotOptimize(contours.data());
  }
  SetPixelRate(state, double{kSide} * kSide, 1);
}
#endif

class MaskRatioReporter : public RateReporter {
 public:
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nratio ours / OpenCV (time; below 1 is faster):\n");
    auto show = [&](const std::string& ours, const std::string& peer) {
      const auto o = rates_.find(ours);
      const auto p = rates_.find(peer);
      if (o == rates_.end() || p == rates_.end() || o->second <= 0) return;
      std::printf("  %-28s %8.0f Mpix/s vs %8.0f Mpix/s  ratio %.2f\n", ours.c_str(), o->second, p->second,
                  p->second / o->second);
    };
    for (const char* mode : kModeNames)
      show(std::string("TfCombine/") + mode, std::string("OpenCvCombine/") + mode);
    show("TfTrace", "OpenCvFindContours");
  }

 protected:
  std::string RateName(const Run& run) const override { return run.run_name.function_name; }
};

}  // namespace
}  // namespace tf

int main(int argc, char** argv) {
  using namespace tf;
  for (int32_t mode = 0; mode < 4; ++mode) {
    benchmark::RegisterBenchmark((std::string("TfCombine/") + kModeNames[mode]).c_str(), BM_TfCombine, mode)
        ->Unit(benchmark::kMillisecond);
#if defined(TF_BENCH_HAVE_OPENCV)
    benchmark::RegisterBenchmark((std::string("OpenCvCombine/") + kModeNames[mode]).c_str(), BM_OpenCvCombine,
                                 mode)
        ->Unit(benchmark::kMillisecond);
#endif
  }
  benchmark::RegisterBenchmark("TfTrace", BM_TfTrace)->Unit(benchmark::kMillisecond);
#if defined(TF_BENCH_HAVE_OPENCV)
  benchmark::RegisterBenchmark("OpenCvFindContours", BM_OpenCvContours)->Unit(benchmark::kMillisecond);
#endif
  MaskRatioReporter reporter;
  return RunBenchmarks(argc, argv, reporter);
}
