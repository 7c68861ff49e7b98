// Pixel undo of a whole layer: CUndoMngr::SaveRect of a 4096x4096 32-bit store (every tile
// committed with noise), then UndoPixels, per iteration; beside memcpy of the same 64 MB between
// two resident buffers in the same run. Times per iteration; the ratio is ours / memcpy.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>

#include "BenchSupport.h"
#include "document/PixelUndo.h"
#include "raster/BlockVMTC.h"

namespace {

using namespace tf;

constexpr int32_t kSide = 4096;
constexpr size_t kPixels = size_t{kSide} * kSide;
constexpr size_t kBytes = kPixels * 4;

TMTC& SourceImage() {
  static TMTC* image = [] {
    TMTC* im = new TMTC(kSide, kSide);
    uint64_t s = 0x9E3779B97F4A7C15ull;
    uint32_t* p = reinterpret_cast<uint32_t*>(im->Bits());
    for (size_t i = 0; i < kPixels; ++i) p[i] = static_cast<uint32_t>(XorShift64(s) >> 16);
    return im;
  }();
  return *image;
}

void BM_SaveAndUndoWholeLayer(benchmark::State& state) {
  CBlockVMTC layer(kSide, kSide);
  layer.CopyAllFromImage(SourceImage(), 0, 0, 255);
  CUndoMngr undo(8, 8);
  for (auto _ : state) {
    bool ok = undo.SaveRect(0, 1, layer, SRectWH{0, 0, kSide, kSide});
    SRectWH rect{0, 0, 0, 0};
    ok = undo.UndoPixels(layer, rect) && ok;
    if (!ok) state.SkipWithError("save or undo failed");
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, kPixels);
}
BENCHMARK(BM_SaveAndUndoWholeLayer)->Unit(benchmark::kMillisecond);

void BM_Memcpy(benchmark::State& state) {
  const TMTC& source = SourceImage();
  TMTC dest(kSide, kSide);
  std::memset(dest.Bits(), 0, kBytes);
  for (auto _ : state) {
    std::memcpy(dest.Bits(), source.Bits(), kBytes);
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, kPixels);
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
