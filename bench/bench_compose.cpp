// Composing and painting the document's picture, each beside a peer in the same run.
//
// Compose: ten visible 4096x4096 layers (normal, multiply, screen, overlay in turn, opacity 255,
// every tile committed, random straight-alpha pixels) composed into the display buffer over the
// paper colour; beside pixman compositing premultiplied copies of the same layers with OVER,
// MULTIPLY, SCREEN and OVERLAY onto a white buffer. Reported per layer (Mpix/s of one layer).
//
// View: a 1920x1080 view of a 4096x4096 display buffer at zoom 3/2, unrotated and at 30
// degrees, nearest and smooth (the transparent-canvas renderers, over the checker); beside
// OpenCV's warpAffine of the same region (INTER_NEAREST, INTER_LINEAR, one thread).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "document/BlendMode.h"
#include "document/LayerData.h"
#include "document/LayerMngr.h"
#include "paper/ViewRender.h"
#include "raster/Composite.h"
#include "raster/DibImage.h"

#ifdef TF_BENCH_HAVE_PIXMAN
#include <pixman.h>
#endif
#ifdef TF_BENCH_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace tf {
namespace {

constexpr int32_t kSide = 4096;
constexpr int32_t kLayers = 10;
constexpr uint8_t kModes[] = {kModeNormal, kModeMultiply, kModeScreen, kModeOverlay};

uint32_t RandomPixel(uint64_t& s) {
  uint32_t v = static_cast<uint32_t>(XorShift64(s) >> 16);
  const uint32_t kind = v & 7;
  if (kind < 4) v |= 0xFF000000u;     // half opaque
  if (kind == 4) v &= 0x00FFFFFFu;    // some transparent
  return v;
}

struct Stack {
  CLayerMngr layers{kLayers};
  TTC display{kSide, kSide};
  std::vector<std::vector<uint32_t>> premultiplied;  // pixman's copies, a8r8g8b8

  Stack() {
    InitCompositeTables();
    layers.SetCanvasSize(kSide, kSide);
    uint64_t s = 0x9E3779B97F4A7C15ull;
    std::vector<uint32_t> row(kSide);
    for (int32_t i = 0; i < kLayers; ++i) {
      const int32_t index = layers.AddLayer(kSide, kSide, true, 255, false, kModes[i % 4]);
      CBlockVMTC& store = *layers.Get(index)->Store();
      std::vector<uint32_t> pre(static_cast<size_t>(kSide) * kSide);
      for (int32_t y = 0; y < kSide; ++y) {
        for (int32_t x = 0; x < kSide; ++x) {
          const uint32_t p = RandomPixel(s);
          row[static_cast<size_t>(x)] = p;
          const uint32_t a = p >> 24;
          auto pm = [&](int shift) { return (((p >> shift) & 0xFF) * a + 127) / 255; };
          pre[static_cast<size_t>(y) * kSide + x] = (a << 24) | (pm(16) << 16) | (pm(8) << 8) | pm(0);
        }
        TMTC line(kSide, 1);
        std::memcpy(line.Pixel(0, 0), row.data(), row.size() * 4);
        store.CopyAllFromImage(line, 0, y, 255);
      }
      store.UpdateContentRects();
      premultiplied.push_back(std::move(pre));
    }
  }
};

Stack& TheStack() {
  static Stack stack;
  return stack;
}

void Compose(benchmark::State& state) {
  Stack& stack = TheStack();
  SComposeSettings settings;
  for (auto _ : state) {
    ComposeRect(stack.display, stack.layers, settings, SRectWH{0, 0, kSide, kSide}, false);
    benchmark::DoNotOptimize(stack.display.Pixel(0, 0));
  }
  SetPixelRate(state, static_cast<double>(kSide) * kSide * kLayers);
}

#ifdef TF_BENCH_HAVE_PIXMAN
void PixmanCompose(benchmark::State& state) {
  Stack& stack = TheStack();
  std::vector<uint32_t> dest(static_cast<size_t>(kSide) * kSide);
  pixman_image_t* d = pixman_image_create_bits(PIXMAN_a8r8g8b8, kSide, kSide, dest.data(), kSide * 4);
  std::vector<pixman_image_t*> sources;
  for (auto& pre : stack.premultiplied)
    sources.push_back(pixman_image_create_bits(PIXMAN_a8r8g8b8, kSide, kSide, pre.data(), kSide * 4));
  const pixman_op_t ops[] = {PIXMAN_OP_OVER, PIXMAN_OP_MULTIPLY, PIXMAN_OP_SCREEN, PIXMAN_OP_OVERLAY};
  const pixman_color_t white{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
  const pixman_rectangle16_t all{0, 0, static_cast<uint16_t>(kSide), static_cast<uint16_t>(kSide)};
  for (auto _ : state) {
    pixman_image_fill_rectangles(PIXMAN_OP_SRC, d, &white, 1, &all);
    for (int32_t i = 0; i < kLayers; ++i)
      pixman_image_composite32(ops[i % 4], sources[static_cast<size_t>(i)], nullptr, d, 0, 0, 0, 0, 0, 0, kSide,
                               kSide);
    benchmark::DoNotOptimize(dest.data());
  }
  for (auto* s : sources) pixman_image_unref(s);
  pixman_image_unref(d);
  SetPixelRate(state, static_cast<double>(kSide) * kSide * kLayers);
}
#endif

// ---- The view ----

constexpr int32_t kViewW = 1920, kViewH = 1080;

struct ViewSetup {
  TTC display{kSide, kSide};
  TTC view{kViewW, kViewH};
  ViewSetup() {
    uint64_t s = 12345;
    for (int32_t y = 0; y < kSide; ++y) {
      uint32_t* row = display.Pixel(0, y);
      for (int32_t x = 0; x < kSide; ++x) row[x] = RandomPixel(s) | 0xFF000000u;
    }
  }
};

ViewSetup& TheView() {
  static ViewSetup setup;
  return setup;
}

SViewGeometry Geometry(double degrees) {
  SViewGeometry g;
  g.zoomNumerator = 3;
  g.zoomDenominator = 2;
  g.clientWidth = kViewW;
  g.clientHeight = kViewH;
  if (degrees != 0) {
    const double r = degrees * M_PI / 180.0;
    g.angle = static_cast<float>(r);
    g.sine = static_cast<float>(std::sin(r));
    g.cosine = static_cast<float>(std::cos(r));
  }
  return g;
}

const TPoint kCentre{2048, 2048};

void ViewNearest(benchmark::State& state, double degrees) {
  ViewSetup& v = TheView();
  const SViewGeometry g = Geometry(degrees);
  for (auto _ : state) {
    RenderRotatedNearest(v.view, v.display, SRectWH{0, 0, kViewW, kViewH}, kCentre, g, false, true, 0);
    benchmark::DoNotOptimize(v.view.Pixel(0, 0));
  }
  SetPixelRate(state, static_cast<double>(kViewW) * kViewH);
}

void ViewSmooth(benchmark::State& state, double degrees) {
  ViewSetup& v = TheView();
  const SViewGeometry g = Geometry(degrees);
  CScaleImageTMTC scaler(&v.display, &v.view);
  for (auto _ : state) {
    RenderRotatedSmooth(v.view, v.display, scaler, SRectWH{0, 0, kViewW, kViewH}, kCentre, g, false, true, 0);
    benchmark::DoNotOptimize(v.view.Pixel(0, 0));
  }
  SetPixelRate(state, static_cast<double>(kViewW) * kViewH);
}

#ifdef TF_BENCH_HAVE_OPENCV
void OpenCvWarp(benchmark::State& state, double degrees, int interpolation) {
  ViewSetup& v = TheView();
  cv::setNumThreads(1);
  // The display buffer's rows as OpenCV sees them (top row first).
  cv::Mat src(kSide, kSide, CV_8UC4);
  for (int32_t y = 0; y < kSide; ++y) std::memcpy(src.ptr(y), v.display.Pixel(0, y), kSide * 4);
  cv::Mat dst(kViewH, kViewW, CV_8UC4);
  // Destination (x, y) samples centre + R * s * ((x, y) - view centre): the inverse map.
  const double s = 2.0 / 3.0, r = degrees * M_PI / 180.0;
  const double c = std::cos(r) * s, n = std::sin(r) * s;
  cv::Mat m = (cv::Mat_<double>(2, 3) << c, -n, kCentre.x - c * (kViewW / 2) + n * (kViewH / 2), n, c,
               kCentre.y - n * (kViewW / 2) - c * (kViewH / 2));
  for (auto _ : state) {
    cv::warpAffine(src, dst, m, dst.size(), interpolation | cv::WARP_INVERSE_MAP, cv::BORDER_CONSTANT);
    benchmark::DoNotOptimize(dst.data);
  }
  SetPixelRate(state, static_cast<double>(kViewW) * kViewH);
}
#endif

void RegisterAll() {
  benchmark::RegisterBenchmark("Compose/TenLayers", Compose)->Unit(benchmark::kMillisecond)->UseRealTime();
#ifdef TF_BENCH_HAVE_PIXMAN
  benchmark::RegisterBenchmark("Peer/Compose/TenLayers", PixmanCompose)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif
  for (double deg : {0.0, 30.0}) {
    const std::string tail = deg == 0 ? "3over2" : "3over2at30deg";
    benchmark::RegisterBenchmark(("View/Nearest/" + tail).c_str(), ViewNearest, deg)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark(("View/Smooth/" + tail).c_str(), ViewSmooth, deg)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
#ifdef TF_BENCH_HAVE_OPENCV
    benchmark::RegisterBenchmark(("Peer/View/Nearest/" + tail).c_str(), OpenCvWarp, deg, cv::INTER_NEAREST)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark(("Peer/View/Smooth/" + tail).c_str(), OpenCvWarp, deg, cv::INTER_LINEAR)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
#endif
  }
}

// Console output plus, at the end, each figure beside its peer's (pixman for composing, OpenCV
// for the view): the rate ratio (ours / peer) and the time ratio (ours / peer).
class RatioReporter : public RateReporter {
 public:
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nBeside the peers (pixman for composing, per layer; OpenCV warpAffine, one thread, for the view):\n");
    for (const auto& [name, rate] : rates_) {
      if (name.rfind("Peer/", 0) == 0) continue;
      auto peer = rates_.find("Peer/" + name);
      if (peer == rates_.end() || peer->second <= 0)
        std::printf("  %-28s %8.0f Mpix/s\n", name.c_str(), rate);
      else
        std::printf("  %-28s %8.0f Mpix/s  peer %8.0f Mpix/s  speed ratio %.2f  time ratio %.2f\n", name.c_str(),
                    rate, peer->second, rate / peer->second, peer->second / rate);
    }
  }

 protected:
  std::string RateName(const Run& run) const override {
    std::string name = run.benchmark_name();
    const size_t cut = name.find("/real_time");
    if (cut != std::string::npos) name.erase(cut);
    return name;
  }
};

}  // namespace
}  // namespace tf

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  tf::RegisterAll();
  tf::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
