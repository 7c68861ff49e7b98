// Layer drawing throughput: ten visible 4096x4096 layers (normal, multiply, screen and overlay
// mixed, opacity 60 to 255, every tile committed with random pixels) drawn into one flat image
// with DrawLayerTo, as the composition of the document does, also dissolving, and with the older
// engine's DrawLayerFastTo. The peer is a plain memcpy of the same bytes (each layer's pixel
// range into the image) in the same run.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "document/BlendMode.h"
#include "document/LayerData.h"
#include "raster/Composite.h"
#include "document/LayerDraw.h"

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
    auto next = [&s] {
      s ^= s << 13;
      s ^= s >> 7;
      s ^= s << 17;
      return static_cast<uint32_t>(s >> 8);
    };
    const uint8_t modes[kLayers] = {kModeNormal, kModeMultiply, kModeScreen, kModeOverlay, kModeNormal,
                                    kModeScreen, kModeMultiply, kModeOverlay, kModeNormal, kModeScreen};
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

void SetRate(benchmark::State& state) {
  const double pixels = static_cast<double>(state.iterations()) * kPixelsPerPass;
  state.SetItemsProcessed(static_cast<int64_t>(pixels));
  state.SetBytesProcessed(static_cast<int64_t>(pixels * 4));
  state.counters["Mpix/s"] = benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsRate);
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
  SetRate(state);
}

void BM_DrawLayerTo_Mixed(benchmark::State& state) {
  Scene& scene = Data();
  for (auto _ : state) {
    for (const auto& layer : scene.layers) {
      TPoint dest{0, 0};
      SRectWH source{0, 0, kSide, kSide};
      layer->Store()->DrawLayerTo(scene.image, *layer, dest, source);
    }
    benchmark::ClobberMemory();
  }
  SetRate(state);
}

// The same layers dissolving (threshold 200): one random draw per pixel.
void BM_DrawLayerTo_Dissolve(benchmark::State& state) {
  Scene& scene = Data();
  for (const auto& layer : scene.layers) {
    layer->dissolve = 1;
    layer->dissolveThreshold = 200;
  }
  for (auto _ : state) {
    for (const auto& layer : scene.layers) {
      TPoint dest{0, 0};
      SRectWH source{0, 0, kSide, kSide};
      layer->Store()->DrawLayerTo(scene.image, *layer, dest, source);
    }
    benchmark::ClobberMemory();
  }
  for (const auto& layer : scene.layers) layer->dissolve = 0;
  SetRate(state);
}

// The legacy pairs over the same layers (the older engine's drawing), for comparison.
void BM_DrawLayerFastTo_Mixed(benchmark::State& state) {
  Scene& scene = Data();
  for (auto _ : state) {
    for (const auto& layer : scene.layers) {
      TPoint dest{0, 0};
      SRectWH source{0, 0, kSide, kSide};
      layer->Store()->DrawLayerFastTo(scene.image, *layer, dest, source);
    }
    benchmark::ClobberMemory();
  }
  SetRate(state);
}

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DrawLayerTo_Mixed)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DrawLayerTo_Dissolve)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DrawLayerFastTo_Mixed)->Unit(benchmark::kMillisecond)->UseRealTime();

// Console output plus, at the end, each benchmark's throughput as a share of memcpy's.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_ColorTabular : OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      auto it = run.counters.find("Mpix/s");
      if (it != run.counters.end() && run.run_type == Run::RT_Iteration)
        rates_[run.benchmark_name()] = it->second.value;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    auto ceiling = rates_.find("BM_Memcpy/real_time");
    if (ceiling == rates_.end() || ceiling->second <= 0) return;
    std::printf("\nPer-layer drawing rate against memcpy of the same bytes (%.0f Mpix/s):\n", ceiling->second);
    for (const auto& [name, rate] : rates_)
      if (name != ceiling->first)
        std::printf("  %-40s %8.0f Mpix/s  %.3f of memcpy\n", name.c_str(), rate, rate / ceiling->second);
  }

 private:
  std::map<std::string, double> rates_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
