// The blur of the blur2 pen: AreaBlurThroughChannel over a 4096 x 4096 layer store with a full
// coverage channel (every pixel blurred, the plain 3 x 3 mean) against OpenCV's 3 x 3 box blur
// (cv::blur, single-threaded) of the same picture. Prints the time ratio ours / OpenCV's.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "paint/OldDabs.h"
#include "raster/BlockVMTC.h"
#include "raster/FlatImage.h"

#if defined(TF_BENCH_HAVE_OPENCV)
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

constexpr int32_t kSide = 4096;

void FillNoise(tf::TMTC& image) {
  uint32_t state = 12345;
  for (int32_t y = 0; y < image.Height(); ++y)
    for (int32_t x = 0; x < image.Width(); ++x) {
      state = state * 134775813u + 1u;
      *image.Pixel(x, y) = state | 0xFF000000u;
    }
}

void BM_AreaBlurThroughChannel(benchmark::State& state) {
  tf::TMTC picture(kSide, kSide), image(kSide, kSide);
  FillNoise(picture);
  tf::CBlockVMTC store(kSide, kSide);
  store.CopyAllFromImage(picture, 0, 0, 255);
  tf::TChannel channel(kSide, kSide);
  channel.Fill(255);
  const tf::SRectWH all{0, 0, kSide, kSide};
  for (auto _ : state) {
    bool ok = tf::AreaBlurThroughChannel(image, store, channel, nullptr, all);
    benchmark::DoNotOptimize(ok);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kSide} * kSide);
}

#if defined(TF_BENCH_HAVE_OPENCV)
void BM_OpenCvBoxBlur3x3(benchmark::State& state) {
  cv::setNumThreads(1);
  tf::TMTC picture(kSide, kSide);
  FillNoise(picture);
  cv::Mat src(kSide, kSide, CV_8UC4, picture.Bits());
  cv::Mat dst(kSide, kSide, CV_8UC4);
  for (auto _ : state) {
    cv::blur(src, dst, cv::Size(3, 3), cv::Point(-1, -1), cv::BORDER_REPLICATE);
    benchmark::DoNotOptimize(dst.data);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kSide} * kSide);
}
#endif

// Keeps the time per iteration of every run, to print the ratio after the table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  explicit RatioReporter(OutputOptions options) : ConsoleReporter(options) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Iteration) times_[r.benchmark_name()] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatio() const {
    const auto ours = times_.find("AreaBlurThroughChannel/4096");
    const auto peer = times_.find("OpenCvBoxBlur3x3/4096");
    if (ours == times_.end() || peer == times_.end() || peer->second <= 0) {
      std::printf("\nno OpenCV peer in this run (scripts/deps.sh --bench)\n");
      return;
    }
    std::printf("\nratio ours / OpenCV 3x3 box blur (time; aim at most 2): %.3f ms vs %.3f ms  ratio %.2f\n",
                ours->second, peer->second, ours->second / peer->second);
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::RegisterBenchmark("AreaBlurThroughChannel/4096", BM_AreaBlurThroughChannel)
      ->Unit(benchmark::kMillisecond);
#if defined(TF_BENCH_HAVE_OPENCV)
  benchmark::RegisterBenchmark("OpenCvBoxBlur3x3/4096", BM_OpenCvBoxBlur3x3)->Unit(benchmark::kMillisecond);
#endif
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter(benchmark::ConsoleReporter::OO_Tabular);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatio();
  benchmark::Shutdown();
  return 0;
}
