// Compositing throughput: a 4096x4096 straight-alpha source painted over a
// destination pixel by pixel through the compositing primitives, with a plain
// memcpy of the same buffer as the memory-bandwidth ceiling.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

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
      s ^= s << 13;
      s ^= s >> 7;
      s ^= s << 17;
      source[i] = static_cast<uint32_t>(s >> 8);
      dest[i] = static_cast<uint32_t>(s >> 32) | 0xFF000000u;
    }
  }
};

Buffers& Data() {
  static Buffers buffers;
  return buffers;
}

void SetRate(benchmark::State& state) {
  const double pixels = static_cast<double>(state.iterations()) * kPixels;
  state.SetItemsProcessed(static_cast<int64_t>(pixels));
  state.SetBytesProcessed(static_cast<int64_t>(pixels * 4));
  state.counters["Mpix/s"] = benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsRate);
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
  SetRate(state);
}

// Paint-over with alpha: BlendColor of each source pixel by its alpha.
void BM_BlendColor_Functor(benchmark::State& state) {
  InitCompositeTables();
  Buffers& b = Data();
  for (auto _ : state) {
    for (int y = 0; y < kSide; ++y)
      PaintRows(b.dest.data() + static_cast<size_t>(y) * kSide, b.source.data() + static_cast<size_t>(y) * kSide, kSide,
                PixelOpFn<BlendColor>{});
    benchmark::ClobberMemory();
  }
  SetRate(state);
}

void BM_BlendColor_Pointer(benchmark::State& state) {
  InitCompositeTables();
  Buffers& b = Data();
  PixelOp op = BlendColor;
  benchmark::DoNotOptimize(op);
  for (auto _ : state) {
    for (int y = 0; y < kSide; ++y)
      PaintRowsByPointer(b.dest.data() + static_cast<size_t>(y) * kSide, b.source.data() + static_cast<size_t>(y) * kSide, kSide, op);
    benchmark::ClobberMemory();
  }
  SetRate(state);
}

void BM_BlendColorFast_Functor(benchmark::State& state) {
  InitCompositeTables();
  Buffers& b = Data();
  for (auto _ : state) {
    for (int y = 0; y < kSide; ++y)
      PaintRows(b.dest.data() + static_cast<size_t>(y) * kSide, b.source.data() + static_cast<size_t>(y) * kSide, kSide,
                PixelOpFn<BlendColorFast>{});
    benchmark::ClobberMemory();
  }
  SetRate(state);
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
  SetRate(state);
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
      CompositeRowByDescriptor(b.dest.data() + static_cast<size_t>(y) * kSide, b.source.data() + static_cast<size_t>(y) * kSide, kSide,
                               ops);
    benchmark::ClobberMemory();
  }
  SetRate(state);
}

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BlendColor_Functor)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BlendColor_Pointer)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BlendColorFast_Functor)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CompositePixel_Functor)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CompositePixel_Descriptor)->Unit(benchmark::kMillisecond)->UseRealTime();

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
    std::printf("\nThroughput against memcpy of the same buffer (%.0f Mpix/s):\n", ceiling->second);
    for (const auto& [name, rate] : rates_)
      if (name != ceiling->first) std::printf("  %-40s %8.0f Mpix/s  %.3f of memcpy\n", name.c_str(), rate,
                                              rate / ceiling->second);
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
