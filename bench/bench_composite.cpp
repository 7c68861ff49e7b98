// Compositing throughput: a 4096x4096 straight-alpha source painted over a
// destination pixel by pixel through the compositing primitives, and one 4096x4096
// tiled store composited onto another through a composite descriptor, with a plain
// memcpy of the same buffer (the bytes of one store's pixels) as the memory-bandwidth
// ceiling.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "BenchSupport.h"
#include "document/BlendMode.h"
#include "raster/BlockVMTC.h"
#include "raster/Composite.h"
#include "raster/CompositeRows.h"

namespace {

using namespace tf;

constexpr int kSide = 4096;
constexpr size_t kPixels = size_t{kSide} * kSide;

struct Buffers {
  std::vector<uint32_t> source, dest;
  Buffers() : source(kPixels), dest(kPixels) {
    uint64_t s = 0x2545F4914F6CDD1Dull;
    for (size_t i = 0; i < kPixels; ++i) {
      const uint64_t v = XorShift64(s);
      source[i] = static_cast<uint32_t>(v >> 8);
      dest[i] = static_cast<uint32_t>(v >> 32) | 0xFF000000u;
    }
  }
};

Buffers& Data() {
  static Buffers buffers;
  return buffers;
}

// Row loop with the operation as a functor: inlined into the loop.
template <class Op>
void PaintRows(uint32_t* dest, const uint32_t* source, size_t count, Op op) {
  for (size_t i = 0; i < count; ++i) op(&dest[i], source[i], static_cast<int32_t>(source[i] >> 24));
}

// The same loop through a plain function pointer (one loop serving every mode).
__attribute__((noinline)) void PaintRowsByPointer(uint32_t* dest, const uint32_t* source, size_t count,
                                                  PixelOp op) {
  for (size_t i = 0; i < count; ++i) op(&dest[i], source[i], static_cast<int32_t>(source[i] >> 24));
}

void BM_Memcpy(benchmark::State& state) {
  Buffers& b = Data();
  for (auto _ : state) {
    std::memcpy(b.dest.data(), b.source.data(), kPixels * 4);
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, kPixels);
}

// Paint-over with alpha: BlendColor of each source pixel by its alpha.
void BM_BlendColor_Functor(benchmark::State& state) {
  InitCompositeTables();
  Buffers& b = Data();
  for (auto _ : state) {
    for (int y = 0; y < kSide; ++y)
      PaintRows(b.dest.data() + static_cast<size_t>(y) * kSide, b.source.data() + static_cast<size_t>(y) * kSide,
                kSide, PixelOpFn<BlendColor>{});
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, kPixels);
}

void BM_BlendColor_Pointer(benchmark::State& state) {
  InitCompositeTables();
  Buffers& b = Data();
  PixelOp op = BlendColor;
  benchmark::DoNotOptimize(op);
  for (auto _ : state) {
    for (int y = 0; y < kSide; ++y)
      PaintRowsByPointer(b.dest.data() + static_cast<size_t>(y) * kSide,
                         b.source.data() + static_cast<size_t>(y) * kSide, kSide, op);
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, kPixels);
}

void BM_BlendColorFast_Functor(benchmark::State& state) {
  InitCompositeTables();
  Buffers& b = Data();
  for (auto _ : state) {
    for (int y = 0; y < kSide; ++y)
      PaintRows(b.dest.data() + static_cast<size_t>(y) * kSide, b.source.data() + static_cast<size_t>(y) * kSide,
                kSide, PixelOpFn<BlendColorFast>{});
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, kPixels);
}

// Straight-alpha compositing step of a normal-mode layer merge: destination and
// source routines both BlendColor, start colour 0, opacity 255.
void BM_CompositePixel_Functor(benchmark::State& state) {
  InitCompositeTables();
  Buffers& b = Data();
  for (auto _ : state) {
    for (int y = 0; y < kSide; ++y) {
      uint32_t* d = b.dest.data() + static_cast<size_t>(y) * kSide;
      const uint32_t* s = b.source.data() + static_cast<size_t>(y) * kSide;
      for (int x = 0; x < kSide; ++x)
        CompositePixelWith(&d[x], s[x], 255, 0, 0, PixelOpFn<BlendColor>{}, PixelOpFn<BlendColor>{});
    }
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, kPixels);
}

__attribute__((noinline)) void CompositeRowByDescriptor(uint32_t* dest, const uint32_t* source, int count,
                                                        const SCompositeOps& ops) {
  for (int x = 0; x < count; ++x) CompositePixel(&dest[x], source[x], 255, ops);
}

void BM_CompositePixel_Descriptor(benchmark::State& state) {
  InitCompositeTables();
  Buffers& b = Data();
  SCompositeOps ops{0, 0, {}, BlendColor, BlendColor};
  benchmark::DoNotOptimize(ops);
  for (auto _ : state) {
    for (int y = 0; y < kSide; ++y)
      CompositeRowByDescriptor(b.dest.data() + static_cast<size_t>(y) * kSide,
                               b.source.data() + static_cast<size_t>(y) * kSide, kSide, ops);
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, kPixels);
}

// The same descriptor through its row form (CompositeRow, BlendColor worked inline).
void BM_CompositeRow_Descriptor(benchmark::State& state) {
  InitCompositeTables();
  Buffers& b = Data();
  SCompositeOps ops{0, 0, {}, BlendColor, BlendColor};
  SCompositeRowOps rows;
  CompositeRowOpsOf(ops, rows);
  benchmark::DoNotOptimize(rows);
  for (auto _ : state) {
    for (int y = 0; y < kSide; ++y)
      CompositeRow(b.dest.data() + static_cast<size_t>(y) * kSide,
                   b.source.data() + static_cast<size_t>(y) * kSide, kSide, 255, rows);
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, kPixels);
}

// ---- One tiled store onto another ---------------------------------------------------------

// Two layers as painted: the lower mostly opaque tiles (a background with work on it), some
// partly covered and some blank; the upper with blank tiles, opaque tiles and strokes whose
// alpha runs from clear through soft edges to opaque.
struct LayerStores {
  CBlockVMTC lower{kSide, kSide};
  CBlockVMTC upper{kSide, kSide};
  LayerStores() {
    // Tile kinds out of 20 by a hash of the tile: lower 12 opaque, 5 partly covered, 3 blank;
    // upper 6 opaque, 6 partly covered, 8 blank.
    auto kind = [](int32_t tx, int32_t ty, uint32_t salt) {
      uint32_t h = (static_cast<uint32_t>(tx) * 73856093u) ^ (static_cast<uint32_t>(ty) * 19349663u) ^ salt;
      h ^= h >> 13;
      h *= 0x5bd1e995u;
      h ^= h >> 15;
      return h % 20;
    };
    uint64_t s = 0x0DDBA11CAFEull;
    for (int32_t ty = 0; ty < kSide / 32; ++ty) {
      for (int32_t tx = 0; tx < kSide / 32; ++tx) {
        const uint32_t lowerKind = kind(tx, ty, 0x1234567u), upperKind = kind(tx, ty, 0x7654321u);
        const int32_t lowerShape = lowerKind < 12 ? 0 : (lowerKind < 17 ? 1 : 2);
        const int32_t upperShape = upperKind < 6 ? 0 : (upperKind < 12 ? 1 : 2);
        for (int32_t y = ty * 32; y < ty * 32 + 32; ++y) {
          for (int32_t x = tx * 32; x < tx * 32 + 32; ++x) {
            const uint32_t noise = static_cast<uint32_t>(XorShift64(s)) & 0x0F0F0Fu;
            const uint32_t colour = ((static_cast<uint32_t>(x) >> 4) << 16 |
                                     (static_cast<uint32_t>(y) >> 4) << 8 | static_cast<uint32_t>(x + y) >> 5) +
                                    noise;
            // Stroke alpha: clear, a ramp, then opaque, along a diagonal.
            const int32_t ramp = std::clamp(((x * 7 + y * 3) % 640) - 200, 0, 255);
            if (lowerShape != 2)
              lower.SetPixel(x, y, colour | (lowerShape == 0 ? 0xFF000000u : uint32_t(ramp) << 24));
            if (upperShape != 2)
              upper.SetPixel(x, y,
                             (colour ^ 0x00FFFFFFu) | (upperShape == 0 ? 0xFF000000u : uint32_t(ramp) << 24));
          }
        }
      }
    }
  }
};

LayerStores& Stores() {
  static LayerStores stores;
  return stores;
}

// CBlockVMTC::CompositeFrom with the descriptor of a normal layer onto a normal layer (opacity,
// then 1 for the baseline build of the rows where the processor would take AVX2).
void BM_StoreOntoStore_Ops(benchmark::State& state) {
  InitCompositeTables();
  LayerStores& layers = Stores();
  CBlockVMTC dest(layers.lower);
  const SCompositeOps ops = LayerCompositeOps(kModeNormal, kModeNormal, false);
  ForceBaselineCompositeRows(state.range(1) != 0);
  for (auto _ : state) {
    TPoint point{0, 0};
    SRectWH rect{0, 0, kSide, kSide};
    dest.CompositeFrom(layers.upper, point, rect, 255, static_cast<int32_t>(state.range(0)), ops);
    benchmark::ClobberMemory();
  }
  ForceBaselineCompositeRows(false);
  SetPixelRate(state, kPixels);
}

// The layer composite of the document through the descriptor of a mode pair that has no
// merge routine (upper mode state.range(0) onto a normal layer, pair selector 0).
void BM_StoreOntoStore_Layers(benchmark::State& state) {
  InitCompositeTables();
  LayerStores& layers = Stores();
  CBlockVMTC dest(layers.lower);
  SBlendLayer lower, upper;
  upper.mode = static_cast<uint8_t>(state.range(0));
  upper.opacity = static_cast<uint8_t>(state.range(1));
  for (auto _ : state) {
    TPoint point{0, 0};
    SRectWH rect{0, 0, kSide, kSide};
    lower.opacity = 255;
    CompositeLayerStores(dest, lower, layers.upper, upper, point, 0, rect);
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, kPixels);
}

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BlendColor_Functor)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BlendColor_Pointer)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BlendColorFast_Functor)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CompositePixel_Functor)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CompositePixel_Descriptor)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CompositeRow_Descriptor)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StoreOntoStore_Ops)
    ->Args({255, 0})
    ->Args({128, 0})
    ->Args({255, 1})
    ->Args({128, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_StoreOntoStore_Layers)
    ->Args({kModeNormal, 255})
    ->Args({kModeNormal, 128})
    ->Args({kModeScreen, 255})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  tf::MemcpyRatioReporter reporter("Throughput against memcpy of the same buffer");
  return tf::RunBenchmarks(argc, argv, reporter);
}
