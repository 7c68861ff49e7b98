// The filter runner and its shared loops on 4096 x 4096 pictures, each beside a peer in the same
// run: MapByChannelTables (alpha kept) against OpenCV's cv::LUT, ConvolveCoveredAlpha with a 3 x 3
// kernel against cv::filter2D (one thread each), and a whole recorded run around an algorithm
// that does nothing (backup, refresh, record, undo) against one memcpy of the layer's bytes. Last,
// an on-canvas preview of a 1920 x 1080 view of an 8192 x 8192 layer, in milliseconds.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "BenchSupport.h"
#include "document/Mask.h"
#include "filters/Convolve.h"
#include "filters/FilterContext.h"
#include "filters/FilterCore.h"
#include "paper/FlowImage.h"
#include "paper/HeadlessWindow.h"
#include "paper/Paper.h"
#include "raster/BlockVMTC.h"

#if defined(TF_BENCH_HAVE_OPENCV)
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

constexpr int32_t kSide = 4096;
constexpr double kPixels = double{kSide} * kSide;

void FillNoise(tf::TMTC& image) {
  uint64_t s = 0x9e3779b97f4a7c15ull;
  for (int32_t y = 0; y < image.Height(); ++y)
    for (int32_t x = 0; x < image.Width(); ++x) *image.Pixel(x, y) = static_cast<uint32_t>(tf::XorShift64(s));
}

// A context over a whole store with no selection: what the runner builds for such a layer.
struct WholeStore {
  tf::TMTC source{kSide, kSide};
  tf::CBlockVMTC store{kSide, kSide};
  tf::TChannel channel{1, 1};
  tf::CMaskData mask;
  tf::FilterContext context;
  WholeStore() {
    FillNoise(source);
    store.CopyAllFromImage(source, 0, 0, 255);
    context.Store = &store;
    context.Mask = &mask;
    context.Backup = &store;
    context.Source = &source;
    context.SourceMask = &channel;
    context.Bounds = context.Work = tf::TRect{0, 0, kSide, kSide};
    context.Coverage = &tf::FullCoverage;
    context.KeepAlpha = 1;
  }
};

uint8_t* Table() {
  static uint8_t table[1024];
  for (int32_t i = 0; i < 256; ++i)
    for (int32_t c = 0; c < 4; ++c) table[4 * i + c] = static_cast<uint8_t>(c == 3 ? i : (i * 7 + c * 31) & 0xFF);
  return table;
}

const int32_t kKernel[9] = {1, 2, 1, 2, 4, 2, 1, 2, 1};

void BM_MapByChannelTables(benchmark::State& state) {
  WholeStore w;
  const uint8_t* table = Table();
  for (auto _ : state) {
    // The pixels change each pass; the work does not.
    benchmark::DoNotOptimize(tf::MapByChannelTables(w.context, table, true));
    benchmark::ClobberMemory();
  }
  tf::SetPixelRate(state, kPixels);
}

void BM_ConvolveCoveredAlpha3x3(benchmark::State& state) {
  WholeStore w;
  w.context.KeepAlpha = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(tf::ConvolveCoveredAlpha(w.context, kKernel, tf::SKernelRect{-1, -1, 3, 3}, 0));
    benchmark::ClobberMemory();
  }
  tf::SetPixelRate(state, kPixels);
}

#if defined(TF_BENCH_HAVE_OPENCV)
void BM_CvLUT(benchmark::State& state) {
  cv::setNumThreads(1);
  tf::TMTC picture(kSide, kSide);
  FillNoise(picture);
  cv::Mat src(kSide, kSide, CV_8UC4, picture.Bits());
  cv::Mat dst(kSide, kSide, CV_8UC4);
  cv::Mat lut(1, 256, CV_8UC4, Table());
  for (auto _ : state) {
    cv::LUT(src, lut, dst);
    benchmark::DoNotOptimize(dst.data);
    benchmark::ClobberMemory();
  }
  tf::SetPixelRate(state, kPixels);
}

void BM_CvFilter2D3x3(benchmark::State& state) {
  cv::setNumThreads(1);
  tf::TMTC picture(kSide, kSide);
  FillNoise(picture);
  cv::Mat src(kSide, kSide, CV_8UC4, picture.Bits());
  cv::Mat dst(kSide, kSide, CV_8UC4);
  cv::Mat kernel(3, 3, CV_32F);
  for (int32_t i = 0; i < 9; ++i) kernel.at<float>(i / 3, i % 3) = static_cast<float>(kKernel[i]) / 16.0f;
  for (auto _ : state) {
    cv::filter2D(src, dst, -1, kernel, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
    benchmark::DoNotOptimize(dst.data);
    benchmark::ClobberMemory();
  }
  tf::SetPixelRate(state, kPixels);
}
#endif

// A document of one 4096 x 4096 layer full of pixels, recording.
struct Document {
  tf::HeadlessDocumentWindow window;
  bool ok = false;
  explicit Document(int32_t side) {
    tf::TPaper& paper = window.Paper();
    ok = paper.InitDocument("", &window.Flow(), false, false, 72, side, side, side, side);
    tf::TMTC picture(side, side);
    FillNoise(picture);
    ok = ok && paper.GetLayer(0)->Store()->CopyAllFromImage(picture, 0, 0, 255);
    paper.CommitFlowImage(&window.Flow(), 0, false);
  }
};

bool NoOp(tf::FilterContext& c, const void*, int32_t) { return tf::CheckFilterContext(c); }

void BM_RunnerAroundNoOp(benchmark::State& state) {
  Document d(kSide);
  if (!d.ok) state.SkipWithError("no document");
  tf::TPaper& paper = d.window.Paper();
  for (auto _ : state) {
    tf::CFlt4Core core(paper, &d.window.Flow(), 0, &NoOp, true);
    benchmark::DoNotOptimize(core.IsValid() && core.Run0(81));
  }
  tf::SetPixelRate(state, kPixels);
}

void BM_MemcpyLayer(benchmark::State& state) {
  std::vector<uint32_t> from(static_cast<size_t>(kPixels), 1), to(static_cast<size_t>(kPixels));
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size() * 4);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  tf::SetPixelRate(state, kPixels);
}

bool InvertRgb(tf::FilterContext& c, const void*, int32_t) {
  static uint8_t table[1024];
  for (int32_t i = 0; i < 256; ++i)
    for (int32_t ch = 0; ch < 4; ++ch) table[4 * i + ch] = static_cast<uint8_t>(ch == 3 ? i : 255 - i);
  return tf::MapByChannelTables(c, table, true);
}

void BM_PreviewOfAView(benchmark::State& state) {
  Document d(8192);
  if (!d.ok) state.SkipWithError("no document");
  d.window.clientSize = tf::SSize{1920, 1080};
  tf::TPaper& paper = d.window.Paper();
  tf::CFlt4Core core(paper, &d.window.Flow(), 0, &InvertRgb, false);
  for (auto _ : state) benchmark::DoNotOptimize(core.ApplyPreview(nullptr, 0));
  core.RestorePreview(false);
  tf::SetPixelRate(state, 1920.0 * 1080.0);
}

class FilterRatioReporter : public tf::RateReporter {
 public:
  void Finalize() override {
    ConsoleReporter::Finalize();
    const auto rate = [&](const char* name) {
      auto it = rates_.find(name);
      return it == rates_.end() ? 0.0 : it->second;
    };
    const auto ratio = [&](const char* what, const char* ours, const char* peer) {
      const double a = rate(ours), b = rate(peer);
      if (a > 0 && b > 0)
        std::printf("  %-44s %.2fx of the peer's speed\n", what, a / b);
      else
        std::printf("  %-44s no peer in this run (scripts/deps.sh --bench)\n", what);
    };
    std::printf("\nSpeed against the peers (above 1.0 is faster):\n");
    ratio("MapByChannelTables vs cv::LUT", "BM_MapByChannelTables/real_time", "BM_CvLUT/real_time");
    ratio("ConvolveCoveredAlpha 3x3 vs cv::filter2D", "BM_ConvolveCoveredAlpha3x3/real_time",
          "BM_CvFilter2D3x3/real_time");
    const double runner = rate("BM_RunnerAroundNoOp/real_time"), copy = rate("BM_MemcpyLayer/real_time");
    if (runner > 0 && copy > 0)
      std::printf("  %-44s %.2fx the time of one memcpy of the layer\n", "runner around a no-op", copy / runner);
    const double preview = rate("BM_PreviewOfAView/real_time");
    if (preview > 0)
      std::printf("  %-44s %.1f ms\n", "preview of a 1920x1080 view, 8192^2 layer", 1920.0 * 1080.0 / preview / 1e3);
  }
};

}  // namespace

BENCHMARK(BM_MapByChannelTables)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvolveCoveredAlpha3x3)->UseRealTime()->Unit(benchmark::kMillisecond);
#if defined(TF_BENCH_HAVE_OPENCV)
BENCHMARK(BM_CvLUT)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CvFilter2D3x3)->UseRealTime()->Unit(benchmark::kMillisecond);
#endif
BENCHMARK(BM_RunnerAroundNoOp)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyLayer)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreviewOfAView)->UseRealTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  FilterRatioReporter reporter;
  return tf::RunBenchmarks(argc, argv, reporter);
}
