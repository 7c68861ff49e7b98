// Seed fill of a large connected region: the bucket fill's fill over a flat picture and the
// magic wand's over a tiled layer store, against OpenCV's cv::floodFill (4-connectivity, fixed
// range, mask only, one thread) of the same region in the same run. The picture is 2048 x 2048
// noise with one blob of about 3.6 million pixels whose colour varies by a few levels; the
// queue of 8192 run starts holds the whole region (checked: the run fails on an overflow).
// Prints the time ratio ours / OpenCV's at the end.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "paint/SeedFill.h"
#include "raster/BlockVMTC.h"
#include "raster/FlatImage.h"

#if defined(TF_BENCH_HAVE_OPENCV)
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

constexpr int32_t kSide = 2048;
constexpr int32_t kTolerance = 6;  // threshold 72: the blob's spread (at most 3 x 2^2 = 12) matches
const tf::TPoint kSeed{1024, 1024};

// The blob: a square of 1900 with wavy edges, colour 0x5080A0 +- 2 per channel; outside it
// noise that never lies within the tolerance of the blob.
bool InBlob(int32_t x, int32_t y) {
  const double wave = 12.0 * std::sin(y * 0.05) + 8.0 * std::sin(x * 0.031);
  return x > 74 + wave && x < 1974 + wave && y > 74 - wave && y < 1974 - wave;
}

const tf::TMTC& Picture() {
  static tf::TMTC image(kSide, kSide);
  static bool made = false;
  if (!made) {
    uint32_t state = 2024;
    for (int32_t y = 0; y < kSide; ++y)
      for (int32_t x = 0; x < kSide; ++x) {
        state = state * 1664525u + 1013904223u;
        uint32_t value;
        if (InBlob(x, y)) {
          const uint32_t b = 0xA0 + (state >> 30), g = 0x80 + ((state >> 28) & 3), r = 0x50 + ((state >> 26) & 3);
          value = 0xFF000000u | (r << 16) | (g << 8) | b;
        } else {
          value = 0xFF000000u | ((state >> 8) & 0x3F3F3Fu) | 0x00C00000u;  // red above 0xC0: far away
        }
        *tf::PixelAddr32(image.View(), x, y) = value;
      }
    made = true;
  }
  return image;
}

int64_t g_area = 0;

void BM_TfBucketFill(benchmark::State& state) {
  const tf::TMTC& image = Picture();
  tf::TChannel channel(kSide, kSide);
  for (auto _ : state) {
    channel.Fill(0);
    tf::CSeedFillTCWithAlpha fill(tf::kSeedFillCapacity, tf::TRect{0, 0, kSide, kSide}, &channel, &image);
    if (!fill.Fill(kSeed, tf::ToleranceToThreshold(kTolerance)) || fill.Overflow()) {
      state.SkipWithError("the fill overflowed its queue");
      return;
    }
    benchmark::ClobberMemory();
  }
  int64_t area = 0;
  for (int32_t y = 0; y < kSide; ++y)
    for (int32_t x = 0; x < kSide; ++x) area += channel.GetPixel(x, y) != 0;
  g_area = area;
  state.counters["area"] = static_cast<double>(area);
}

void BM_TfMagicWand(benchmark::State& state) {
  tf::CBlockVMTC store(kSide, kSide);
  store.CopyAllFromImage(Picture(), 0, 0, 255);
  tf::TChannel channel(kSide, kSide);
  for (auto _ : state) {
    channel.Fill(0);
    tf::CSeedFillWithAlpha fill(tf::kSeedFillCapacity, tf::TRect{0, 0, kSide, kSide}, &channel, &store);
    if (!fill.Fill(kSeed, tf::ToleranceToThreshold(kTolerance)) || fill.Overflow()) {
      state.SkipWithError("the fill overflowed its queue");
      return;
    }
    benchmark::ClobberMemory();
  }
}

#if defined(TF_BENCH_HAVE_OPENCV)
void BM_OpenCvFloodFill(benchmark::State& state) {
  cv::setNumThreads(1);
  const tf::TMTC& image = Picture();
  cv::Mat bgra(kSide, kSide, CV_8UC4);
  for (int32_t y = 0; y < kSide; ++y)
    std::memcpy(bgra.ptr(y), tf::PixelAddr32(image.View(), 0, y), static_cast<size_t>(kSide) * 4);
  cv::Mat bgr;
  cv::cvtColor(bgra, bgr, cv::COLOR_BGRA2BGR);
  cv::Mat mask(kSide + 2, kSide + 2, CV_8UC1);
  int area = 0;
  for (auto _ : state) {
    mask.setTo(0);
    area = cv::floodFill(bgr, mask, cv::Point(kSeed.x, kSeed.y), cv::Scalar(), nullptr, cv::Scalar(4, 4, 4),
                         cv::Scalar(4, 4, 4), 4 | cv::FLOODFILL_FIXED_RANGE | cv::FLOODFILL_MASK_ONLY | (255 << 8));
    benchmark::ClobberMemory();
  }
  state.counters["area"] = area;
}
#endif

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  explicit RatioReporter(OutputOptions options) : ConsoleReporter(options) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Iteration) times_[r.benchmark_name()] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() const {
    const auto peer = times_.find("OpenCvFloodFill");
    std::printf("\nregion: %lld pixels\nratio ours / OpenCV floodFill (time; aim: at most 2):\n",
                static_cast<long long>(g_area));
    for (const char* ours : {"TfBucketFill", "TfMagicWand"}) {
      const auto it = times_.find(ours);
      if (it == times_.end() || peer == times_.end() || peer->second <= 0) continue;
      std::printf("  %-14s %8.2f ms vs %8.2f ms  ratio %.2f\n", ours, it->second, peer->second,
                  it->second / peer->second);
    }
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::RegisterBenchmark("TfBucketFill", BM_TfBucketFill)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("TfMagicWand", BM_TfMagicWand)->Unit(benchmark::kMillisecond);
#if defined(TF_BENCH_HAVE_OPENCV)
  benchmark::RegisterBenchmark("OpenCvFloodFill", BM_OpenCvFloodFill)->Unit(benchmark::kMillisecond);
#endif
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter(benchmark::ConsoleReporter::OO_Tabular);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
