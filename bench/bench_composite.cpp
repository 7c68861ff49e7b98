// Compositing throughput: a 4096x4096 straight-alpha source painted over a
// destination pixel by pixel through the compositing primitives, with a plain
// memcpy of the same buffer as the memory-bandwidth ceiling.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "BenchSupport.h"
#include "raster/Composite.h"

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

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BlendColor_Functor)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BlendColor_Pointer)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BlendColorFast_Functor)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CompositePixel_Functor)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CompositePixel_Descriptor)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  tf::MemcpyRatioReporter reporter("Throughput against memcpy of the same buffer");
  return tf::RunBenchmarks(argc, argv, reporter);
}
