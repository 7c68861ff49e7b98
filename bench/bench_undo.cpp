// Pixel undo of a whole layer: CUndoMngr::SaveRect of a 4096x4096 32-bit store (every tile
// committed with noise), then UndoPixels, per iteration; beside memcpy of the same 64 MB between
// two resident buffers in the same run. Times per iteration; the ratios are ours / memcpy.
//
// BM_SaveAndUndoWholeLayer is the steady state: each save after the first writes into the store
// of the record the previous save dropped from the redo list (the undo's spare stores).
// BM_SaveAndUndoWholeLayerFresh gives every iteration a new undo manager, so each save takes a
// new store and fresh pages (the first whole-layer save of a session).
// BM_StrokeSaves is a painting session: saves of stroke-sized rectangles, the list full so that
// every save drops the oldest record; /0 with sixteen different sizes (a dropped store of
// another shape with enough tiles takes the tiles in row order), /1 with one size (a dropped
// store of the same shape). Its peer BM_MemcpyStrokes copies the same rectangles' rows between
// resident buffers.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>

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

CBlockVMTC& SourceLayer() {
  static CBlockVMTC* layer = [] {
    auto* store = new CBlockVMTC(kSide, kSide);
    store->CopyAllFromImage(SourceImage(), 0, 0, 255);
    return store;
  }();
  return *layer;
}

void BM_SaveAndUndoWholeLayer(benchmark::State& state) {
  CBlockVMTC layer(kSide, kSide);
  layer.CopyAllFromImage(SourceImage(), 0, 0, 255);
  CUndoMngr undo(8, 8);
  // The first save takes fresh memory (BM_SaveAndUndoWholeLayerFresh measures that); one round
  // ahead so that the timing starts from the steady state it reports.
  SRectWH first{0, 0, 0, 0};
  if (!undo.SaveRect(0, 1, layer, SRectWH{0, 0, kSide, kSide}) || !undo.UndoPixels(layer, first))
    state.SkipWithError("save or undo failed");
  for (auto _ : state) {
    bool ok = undo.SaveRect(0, 1, layer, SRectWH{0, 0, kSide, kSide});
    SRectWH rect{0, 0, 0, 0};
    ok = undo.UndoPixels(layer, rect) && ok;
    if (!ok) state.SkipWithError("save or undo failed");
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, kPixels);
}
BENCHMARK(BM_SaveAndUndoWholeLayer)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SaveAndUndoWholeLayerFresh(benchmark::State& state) {
  CBlockVMTC layer(kSide, kSide);
  layer.CopyAllFromImage(SourceImage(), 0, 0, 255);
  for (auto _ : state) {
    auto undo = std::make_unique<CUndoMngr>(8, 8);
    bool ok = undo->SaveRect(0, 1, layer, SRectWH{0, 0, kSide, kSide});
    SRectWH rect{0, 0, 0, 0};
    ok = undo->UndoPixels(layer, rect) && ok;
    if (!ok) state.SkipWithError("save or undo failed");
    benchmark::ClobberMemory();
    state.PauseTiming();
    undo.reset();  // freeing the record is not part of the save
    state.ResumeTiming();
  }
  SetPixelRate(state, kPixels);
}
BENCHMARK(BM_SaveAndUndoWholeLayerFresh)->Unit(benchmark::kMillisecond)->UseRealTime();

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
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond)->UseRealTime();

// Sixteen stroke rectangles, tile-aligned (so that both sides copy the same pixels), 224 to 704
// pixels a side, spread over the layer.
constexpr int32_t kStrokes = 16;
SRectWH StrokeRect(int32_t i, bool varied) {
  const int32_t k = varied ? i % kStrokes : 5;
  const int32_t width = 224 + 32 * k;
  const int32_t height = 704 - 32 * k;
  const int32_t left = (i * 736) % (kSide - width) & ~31;
  const int32_t top = (i * 1312) % (kSide - height) & ~31;
  return {left, top, width, height};
}

size_t StrokePixels(bool varied) {
  size_t pixels = 0;
  for (int32_t i = 0; i < kStrokes; ++i) {
    const SRectWH r = StrokeRect(i, varied);
    pixels += static_cast<size_t>(r.width) * static_cast<size_t>(r.height);
  }
  return pixels;
}

void BM_StrokeSaves(benchmark::State& state) {
  const bool varied = state.range(0) == 0;
  CBlockVMTC& layer = SourceLayer();
  CUndoMngr undo(8, 8);
  for (int32_t i = 0; i < 8; ++i) undo.SaveRect(0, 1, layer, StrokeRect(i, varied));  // the list is full
  for (auto _ : state) {
    bool ok = true;
    for (int32_t i = 0; i < kStrokes; ++i) ok = undo.SaveRect(0, 1, layer, StrokeRect(i, varied)) && ok;
    if (!ok) state.SkipWithError("save failed");
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, static_cast<double>(StrokePixels(varied)));
}
BENCHMARK(BM_StrokeSaves)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_MemcpyStrokes(benchmark::State& state) {
  const bool varied = state.range(0) == 0;
  const TMTC& source = SourceImage();
  TMTC dest(kSide, kSide);
  std::memset(dest.Bits(), 0, kBytes);
  const size_t stride = size_t{kSide} * 4;
  for (auto _ : state) {
    for (int32_t i = 0; i < kStrokes; ++i) {
      const SRectWH r = StrokeRect(i, varied);
      const size_t rowBytes = static_cast<size_t>(r.width) * 4;
      // Packed rows, as a saved rectangle holds them.
      uint8_t* to = dest.Bits();
      const uint8_t* from = source.Bits() + static_cast<size_t>(r.top) * stride + static_cast<size_t>(r.left) * 4;
      for (int32_t y = 0; y < r.height; ++y, to += rowBytes, from += stride) std::memcpy(to, from, rowBytes);
    }
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, static_cast<double>(StrokePixels(varied)));
}
BENCHMARK(BM_MemcpyStrokes)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// After the table: each run's time as a multiple of its memcpy peer's in this run.
class UndoRatioReporter : public RateReporter {
 public:
  void Finalize() override {
    ConsoleReporter::Finalize();
    const std::map<std::string, std::string> peers = {
        {"BM_SaveAndUndoWholeLayer/real_time", "BM_Memcpy/real_time"},
        {"BM_SaveAndUndoWholeLayerFresh/real_time", "BM_Memcpy/real_time"},
        {"BM_StrokeSaves/0/real_time", "BM_MemcpyStrokes/0/real_time"},
        {"BM_StrokeSaves/1/real_time", "BM_MemcpyStrokes/1/real_time"},
    };
    std::printf("\nTime per iteration as a multiple of memcpy of the same bytes:\n");
    for (const auto& [ours, peer] : peers) {
      const auto a = rates_.find(ours), b = rates_.find(peer);
      if (a == rates_.end() || b == rates_.end() || a->second <= 0) continue;
      std::printf("  %-42s %6.2fx %s\n", ours.c_str(), b->second / a->second, peer.c_str());
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  UndoRatioReporter reporter;
  return tf::RunBenchmarks(argc, argv, reporter);
}
