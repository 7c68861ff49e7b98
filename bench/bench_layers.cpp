// Layer drawing throughput: ten visible 4096x4096 layers (normal, multiply, screen and overlay
// mixed, opacity 60 to 255, every tile committed with random pixels) drawn into one flat image
// with DrawLayerTo, as the composition of the document does, also dissolving, and with the older
// engine's DrawLayerFastTo. The peer is a plain memcpy of the same bytes (each layer's pixel
// range into the image) in the same run.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "BenchSupport.h"
#include "document/BlendMode.h"
#include "document/LayerData.h"
#include "document/LayerDraw.h"
#include "raster/Composite.h"

namespace {

using namespace tf;

constexpr int32_t kSide = 4096;
constexpr int kLayers = 10;
constexpr double kPixelsPerPass = double{kSide} * kSide * kLayers;

struct Scene {
  std::vector<std::unique_ptr<CLayerData>> layers;
  TMTC image;
  Scene() : image(kSide, kSide) {
    InitCompositeTables();
    TMTC pixels(kSide, kSide);
    uint64_t s = 0x2545F4914F6CDD1Dull;
    auto next = [&s] { return static_cast<uint32_t>(XorShift64(s) >> 8); };
    const uint8_t modes[kLayers] = {kModeNormal, kModeMultiply, kModeScreen,  kModeOverlay, kModeNormal,
                                    kModeScreen, kModeMultiply, kModeOverlay, kModeNormal,  kModeScreen};
    for (int i = 0; i < kLayers; ++i) {
      for (int32_t y = 0; y < kSide; ++y) {
        uint32_t* row = pixels.Pixel(0, y);
        for (int32_t x = 0; x < kSide; ++x) row[x] = next();
      }
      auto layer = std::make_unique<CLayerData>(i, false);
      if (!layer->Init(kSide, kSide, modes[i])) std::abort();
      layer->Store()->CopyAllFromImage(pixels, 0, 0, 255);
      layer->opacity = static_cast<uint8_t>(60 + (195 * i) / (kLayers - 1));  // 60 .. 255
      layers.push_back(std::move(layer));
    }
    image.FillAll(0xFFFFFFFFu);
  }
};

Scene& Data() {
  static Scene scene;
  return scene;
}

// The same bytes moved without arithmetic: each layer's committed pixel range into the image.
void BM_Memcpy(benchmark::State& state) {
  Scene& scene = Data();
  for (auto _ : state) {
    for (const auto& layer : scene.layers) {
      std::memcpy(scene.image.Bits(), layer->Store()->ReservedBase(), size_t{kSide} * kSide * 4);
    }
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, kPixelsPerPass);
}

// Every iteration draws every layer of the scene into its image with draw.
template <class Draw>
void DrawAllLayers(benchmark::State& state, Scene& scene, Draw draw) {
  for (auto _ : state) {
    for (const auto& layer : scene.layers) {
      TPoint dest{0, 0};
      SRectWH source{0, 0, kSide, kSide};
      draw(*layer, scene.image, dest, source);
    }
    benchmark::ClobberMemory();
  }
}

// What the composition of the document does with each layer.
constexpr auto kDrawLayerTo = [](CLayerData& layer, TMTC& image, TPoint& dest, SRectWH& source) {
  DrawLayerTo(*layer.Store(), image, layer, dest, source);
};

void BM_DrawLayerTo_Mixed(benchmark::State& state) {
  DrawAllLayers(state, Data(), kDrawLayerTo);
  SetPixelRate(state, kPixelsPerPass);
}

// The same layers dissolving (threshold 200): one random draw per pixel.
void BM_DrawLayerTo_Dissolve(benchmark::State& state) {
  Scene& scene = Data();
  for (const auto& layer : scene.layers) {
    layer->dissolve = 1;
    layer->dissolveThreshold = 200;
  }
  DrawAllLayers(state, scene, kDrawLayerTo);
  for (const auto& layer : scene.layers) layer->dissolve = 0;
  SetPixelRate(state, kPixelsPerPass);
}

// The legacy pairs over the same layers (the older engine's drawing), for comparison.
void BM_DrawLayerFastTo_Mixed(benchmark::State& state) {
  DrawAllLayers(state, Data(), [](CLayerData& layer, TMTC& image, TPoint& dest, SRectWH& source) {
    DrawLayerFastTo(*layer.Store(), image, layer, dest, source);
  });
  SetPixelRate(state, kPixelsPerPass);
}

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DrawLayerTo_Mixed)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DrawLayerTo_Dissolve)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DrawLayerFastTo_Mixed)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  tf::MemcpyRatioReporter reporter("Per-layer drawing rate against memcpy of the same bytes");
  return tf::RunBenchmarks(argc, argv, reporter);
}
