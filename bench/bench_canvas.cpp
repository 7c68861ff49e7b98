// The canvas turned by 90 degrees: a document of ten 4096x4096 layers full of distinct opaque
// pixels, turned clockwise (the whole command, without recording, and the store turn alone),
// beside memcpy of the same bytes (ten layers' pixels) in the same run.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "BenchSupport.h"
#include "document/LayerData.h"
#include "paper/CanvasLayers.h"
#include "paper/HeadlessWindow.h"
#include "paper/Paper.h"
#include "raster/BlockVMTC.h"
#include "raster/FlatImage.h"

namespace {

using namespace tf;

constexpr int kSide = 4096;
constexpr int kLayers = 10;
constexpr double kPixels = double{kSide} * kSide * kLayers;

struct Doc {
  std::unique_ptr<HeadlessDocumentWindow> window = std::make_unique<HeadlessDocumentWindow>();
  Doc() {
    TPaper& paper = window->Paper();
    paper.NewDocument("bench", &window->Flow(), false, false, 72, kSide, kSide);
    while (paper.GetLayerCount() < kLayers)
      paper.AddLayer(&window->Flow(), paper.GetLayerCount(), false, true, 255, 0, kSide, kSide);
    TMTC flat(kSide, kSide);
    uint64_t s = 0x9E3779B97F4A7C15ull;
    for (int i = 0; i < kLayers; ++i) {
      for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
          *flat.Pixel(x, y) = static_cast<uint32_t>(XorShift64(s) >> 16) | 0xFF000000u;
      TPoint at{0, 0};
      SRectWH all{0, 0, kSide, kSide};
      paper.GetLayer(i)->Store()->CopyFromImage(flat, at, all, 255);
    }
  }
};

Doc& Get() {
  static Doc doc;
  return doc;
}

// The command: every store turned, offsets, canvas, display buffer, thumbnails, redraw.
void BM_RotateCanvas90(benchmark::State& state) {
  Doc& d = Get();
  for (auto _ : state) benchmark::DoNotOptimize(d.window->Paper().RotateCanvas90(&d.window->Flow(), true, false));
  SetPixelRate(state, kPixels);
}
BENCHMARK(BM_RotateCanvas90)->Unit(benchmark::kMillisecond)->UseRealTime();

// The store turn alone, ten layers into ten new stores.
void BM_TurnStores(benchmark::State& state) {
  Doc& d = Get();
  TPaper& paper = d.window->Paper();
  for (auto _ : state) {
    for (int i = 0; i < kLayers; ++i) {
      const CBlockVMTC& source = *paper.GetLayer(i)->Store();
      CBlockVMTC turned(source.Height(), source.Width());
      benchmark::DoNotOptimize(TurnStoreInto(source, turned, true));
    }
  }
  SetPixelRate(state, kPixels);
}
BENCHMARK(BM_TurnStores)->Unit(benchmark::kMillisecond)->UseRealTime();

// The peer: the same bytes copied, a layer's worth at a time.
void BM_Memcpy(benchmark::State& state) {
  const size_t bytes = size_t{kSide} * kSide * 4;
  std::vector<uint8_t> source(bytes, 0x5A);
  std::vector<uint8_t> dest(bytes, 0);
  for (auto _ : state) {
    for (int i = 0; i < kLayers; ++i) {
      std::memcpy(dest.data(), source.data(), bytes);
      benchmark::DoNotOptimize(dest.data());
    }
  }
  SetPixelRate(state, kPixels);
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond)->UseRealTime();

// For context: the same copies into fresh buffers (the turn writes new stores, paying for their
// first touch too).
void BM_MemcpyFreshBuffers(benchmark::State& state) {
  const size_t bytes = size_t{kSide} * kSide * 4;
  std::vector<uint8_t> source(bytes, 0x5A);
  for (auto _ : state) {
    for (int i = 0; i < kLayers; ++i) {
      std::unique_ptr<uint8_t[]> dest(new uint8_t[bytes]);
      std::memcpy(dest.get(), source.data(), bytes);
      benchmark::DoNotOptimize(dest.get());
    }
  }
  SetPixelRate(state, kPixels);
}
BENCHMARK(BM_MemcpyFreshBuffers)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  tf::MemcpyRatioReporter reporter("Canvas turn of ten 4096x4096 layers against memcpy of the same bytes");
  return tf::RunBenchmarks(argc, argv, reporter);
}
