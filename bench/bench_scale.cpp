// Area-averaging scaling of 32-bit images: CScaleImageTMTC against OpenCV's cv::resize with
// INTER_AREA (single-threaded) on the same pictures. Reports pixels per second (destination
// pixels) and, at the end, the time ratio ours / OpenCV's per case.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "raster/FlatImage.h"
#include "raster/ScaleImage.h"

#if defined(TF_BENCH_HAVE_OPENCV)
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

struct Case {
  const char* name;
  int32_t sw, sh, dw, dh;
};
const Case kCases[] = {
    {"4096_to_1000", 4096, 4096, 1000, 1000}, {"4096_to_333", 4096, 4096, 333, 333},
    {"512_to_1500", 512, 512, 1500, 1500},    {"256_to_512", 256, 256, 512, 512},
    {"64_to_2000", 64, 64, 2000, 2000},       {"1000_to_1000", 1000, 1000, 1000, 1000},
    {"1000_to_700", 1000, 1000, 700, 700},    {"4096_to_2048", 4096, 4096, 2048, 2048},
    {"2048_to_1024", 2048, 2048, 1024, 1024}, {"3072_to_1024", 3072, 3072, 1024, 1024},
    {"4096_to_1024", 4096, 4096, 1024, 1024},
};

void FillNoise(tf::TMTC& image) {
  uint32_t state = 12345;
  for (int32_t y = 0; y < image.Height(); ++y)
    for (int32_t x = 0; x < image.Width(); ++x) {
      state = state * 134775813u + 1u;
      *image.Pixel(x, y) = state;
    }
}

void BM_TfScale(benchmark::State& state, Case c) {
  tf::TMTC source(c.sw, c.sh), dest(c.dw, c.dh);
  FillNoise(source);
  tf::CScaleImageTMTC scaler(&source, &dest);
  for (auto _ : state) {
    bool ok = scaler.Scale({0, 0, c.sw, c.sh}, {0, 0, c.dw, c.dh});
    benchmark::DoNotOptimize(ok);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t{c.dw} * c.dh);
}

#if defined(TF_BENCH_HAVE_OPENCV)
void BM_OpenCvArea(benchmark::State& state, Case c) {
  cv::setNumThreads(1);
  tf::TMTC source(c.sw, c.sh);
  FillNoise(source);
  cv::Mat src(c.sh, c.sw, CV_8UC4, source.Bits());
  cv::Mat dst(c.dh, c.dw, CV_8UC4);
  for (auto _ : state) {
    cv::resize(src, dst, cv::Size(c.dw, c.dh), 0, 0, cv::INTER_AREA);
    benchmark::DoNotOptimize(dst.data);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t{c.dw} * c.dh);
}
#endif

// Keeps the time per iteration of every run, to print the ratios after the table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  explicit RatioReporter(OutputOptions options) : ConsoleReporter(options) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Iteration) times_[r.benchmark_name()] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() const {
    std::printf("\nratio ours / OpenCV INTER_AREA (time; below 1 is faster):\n");
    for (const Case& c : kCases) {
      const auto ours = times_.find(std::string("TfScale/") + c.name);
      const auto peer = times_.find(std::string("OpenCvArea/") + c.name);
      if (ours == times_.end() || peer == times_.end() || peer->second <= 0) continue;
      std::printf("  %-14s %7.3f ms vs %7.3f ms  ratio %.2f\n", c.name, ours->second, peer->second,
                  ours->second / peer->second);
    }
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  for (const Case& c : kCases) {
    benchmark::RegisterBenchmark((std::string("TfScale/") + c.name).c_str(), BM_TfScale, c)
        ->Unit(benchmark::kMillisecond);
#if defined(TF_BENCH_HAVE_OPENCV)
    benchmark::RegisterBenchmark((std::string("OpenCvArea/") + c.name).c_str(), BM_OpenCvArea, c)
        ->Unit(benchmark::kMillisecond);
#endif
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter(benchmark::ConsoleReporter::OO_Tabular);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
