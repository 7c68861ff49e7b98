// Tiled 8-bit store: memory of a blank 20000x20000 mask (it must commit no tile) and the cost of
// whole-mask operations, each beside the same work on a flat 8-bit channel of the same size.
// Counters: committed bytes of the store, resident memory from /proc/self/statm.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "BenchSupport.h"
#include "raster/BlockVCH.h"
#include "raster/FlatImage.h"

namespace {

using namespace tf;

constexpr int32_t kSide = 20000;

void MemoryCounters(benchmark::State& state, double committed, double residentBefore) {
  state.counters["committed_MB"] = committed / 1048576.0;
  state.counters["resident_MB"] = ResidentBytes(0) / 1048576.0;
  state.counters["resident_growth_MB"] = (ResidentBytes(0) - residentBefore) / 1048576.0;
}

// A blank mask: one reservation, a tile table, no committed tile.
void BM_BlankMask_Create(benchmark::State& state) {
  const double before = ResidentBytes(0);
  int64_t committed = 0;
  for (auto _ : state) {
    CBlockVCH mask(kSide, kSide);
    if (!mask.IsValid()) {
      state.SkipWithError("store not created");
      return;
    }
    committed = mask.CommittedBytes();
    if (committed != 0) {
      state.SkipWithError("a blank store committed tiles");
      return;
    }
    benchmark::DoNotOptimize(mask.GetPixel(kSide - 1, kSide - 1));
  }
  // Measured with one store alive, as a document holds it.
  CBlockVCH mask(kSide, kSide);
  MemoryCounters(state, static_cast<double>(mask.CommittedBytes()), before);
  state.counters["reserved_MB"] = static_cast<double>(mask.ReservedBytes()) / 1048576.0;
  state.counters["tiles"] = mask.TileCount();
}

// Peer: a flat channel of the same size, cleared (what a flat mask costs).
void BM_FlatChannel_CreateCleared(benchmark::State& state) {
  const double before = ResidentBytes(0);
  for (auto _ : state) {
    TChannel channel(kSide, kSide);
    if (!channel.IsValid()) {
      state.SkipWithError("channel not created");
      return;
    }
    channel.Fill(0);
    benchmark::DoNotOptimize(channel.Bits());
    benchmark::ClobberMemory();
  }
  // Measured with one channel alive.
  TChannel channel(kSide, kSide);
  channel.Fill(0);
  MemoryCounters(state, static_cast<double>(channel.GetImageSize()), before);
}

// Selecting everything: fill values only.
void BM_BlankMask_SelectAll(benchmark::State& state) {
  CBlockVCH mask(kSide, kSide);
  const double before = ResidentBytes(0);
  uint8_t value = 0;
  for (auto _ : state) {
    SRectWH all{0, 0, kSide, kSide};
    mask.FillRect(all, ++value);
    benchmark::DoNotOptimize(mask.GetPixel(5, 5));
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kSide} * kSide);
  MemoryCounters(state, static_cast<double>(mask.CommittedBytes()), before);
}

void BM_FlatChannel_SelectAll(benchmark::State& state) {
  TChannel channel(kSide, kSide);
  channel.Fill(0);
  uint8_t value = 0;
  for (auto _ : state) {
    SRectWH all{0, 0, kSide, kSide};
    channel.FillRect(all, ++value);
    benchmark::DoNotOptimize(channel.Bits());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kSide} * kSide);
}

// Bounds of a selection of a few pixels.
void BM_SparseMask_NonZeroBounds(benchmark::State& state) {
  CBlockVCH mask(kSide, kSide);
  mask.SetPixel(1234, 5678, 255);
  mask.SetPixel(15000, 17000, 9);
  TRect bounds{};
  for (auto _ : state) benchmark::DoNotOptimize(mask.GetNonZeroBounds(bounds));
  state.SetItemsProcessed(state.iterations() * int64_t{kSide} * kSide);
  state.counters["committed_MB"] = static_cast<double>(mask.CommittedBytes()) / 1048576.0;
}

void BM_FlatChannel_NonZeroBounds(benchmark::State& state) {
  TChannel channel(kSide, kSide);
  channel.Fill(0);
  *channel.GetPixelPtr(1234, 5678) = 255;
  *channel.GetPixelPtr(15000, 17000) = 9;
  TRect bounds{};
  for (auto _ : state) benchmark::DoNotOptimize(channel.GetNonZeroBounds(bounds));
  state.SetItemsProcessed(state.iterations() * int64_t{kSide} * kSide);
}

// Dilation of a 2048x2048 area of random-ish content.
void BM_Mask_Grow2048(benchmark::State& state) {
  constexpr int32_t side = 2048;
  CBlockVCH source(side, side), dest(side, side);
  uint32_t s = 12345;
  for (int32_t i = 0; i < 20000; ++i) {
    s = s * 134775813u + 1;
    source.SetPixel(static_cast<int32_t>((s >> 8) % side), static_cast<int32_t>((s >> 20) % side), 255);
  }
  for (auto _ : state) benchmark::DoNotOptimize(dest.GrowFrom(source, TRect{0, 0, side, side}));
  state.SetItemsProcessed(state.iterations() * int64_t{side} * side);
}

BENCHMARK(BM_BlankMask_Create)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FlatChannel_CreateCleared)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_BlankMask_SelectAll)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FlatChannel_SelectAll)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SparseMask_NonZeroBounds)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FlatChannel_NonZeroBounds)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Mask_Grow2048)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
