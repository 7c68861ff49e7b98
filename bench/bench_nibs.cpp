// Footprint builds per second of the nib rasteriser at radii 2, 8, 32 and 128 pixels:
//   - SetCircle under a size ramp (the radius grows a little at every dab, as pressure does; the
//     quantisation lets most dabs reuse the footprint),
//   - SetExactCircle rebuilt at every dab (a pencil dab at a new sub-pixel centre),
//   - and, as the yardstick (no peer exists), the dab that a footprint serves: every covered pixel
//     sampled and painted through the writer chain into a 32-bit image.
// The counter allocs/dab counts heap allocations per build after the first (the planes keep their
// capacity, so it should be 0).
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "paint/FalloffMap.h"
#include "paint/NibShape.h"
#include "paint/PixelWriters.h"
#include "raster/FlatImage.h"

// The replaced operators below pair malloc with free; gcc cannot see that they are the pair.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {
std::atomic<int64_t> g_allocations{0};
}  // namespace

void* operator new(std::size_t size) {
  ++g_allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace tf {
namespace {

constexpr Fixed Px(double pixels) { return static_cast<Fixed>(pixels * 65536.0); }

void BM_SetCircleRamp(benchmark::State& state) {
  const double r = static_cast<double>(state.range(0));
  CGradeMapObj map(kFalloffEntries);
  CPenShape shape(&map);
  shape.SetAntialias(true);
  shape.SetCircle(Px(r * 1.2));  // capacity for the whole ramp
  int64_t k = 0, rebuilds = 0;
  const int64_t allocationsBefore = g_allocations;
  for (auto _ : state) {
    // 0.8 r .. 1.2 r over 400 dabs, then again.
    const double radius = r * (0.8 + 0.4 * static_cast<double>(k % 400) / 400.0);
    const Fixed before = shape.Size();
    benchmark::DoNotOptimize(shape.SetCircle(Px(radius)));
    rebuilds += shape.Size() != before;
    ++k;
  }
  state.counters["dabs/s"] = benchmark::Counter(static_cast<double>(k), benchmark::Counter::kIsRate);
  state.counters["rebuilt"] = static_cast<double>(rebuilds) / static_cast<double>(k);
  state.counters["allocs/dab"] = static_cast<double>(g_allocations - allocationsBefore) / static_cast<double>(k);
}

void BM_SetExactCircle(benchmark::State& state) {
  const double r = static_cast<double>(state.range(0));
  CGradeMapObj map(kFalloffEntries);
  CPenShape shape(&map);
  shape.SetAntialias(true);
  shape.SetExactCircle(Px(100.5), Px(100.5), true, Px(r + 1));
  int64_t k = 0;
  const int64_t allocationsBefore = g_allocations;
  for (auto _ : state) {
    const Fixed cx = Px(100.0 + 0.37 * static_cast<double>(k % 97));
    const Fixed cy = Px(100.0 + 0.23 * static_cast<double>(k % 89));
    benchmark::DoNotOptimize(shape.SetExactCircle(cx, cy, (k & 1) != 0, Px(r)));
    ++k;
  }
  state.counters["builds/s"] = benchmark::Counter(static_cast<double>(k), benchmark::Counter::kIsRate);
  state.counters["allocs/dab"] = static_cast<double>(g_allocations - allocationsBefore) / static_cast<double>(k);
}

// The dab walk of the paint render type: every pixel of the dab's bounds sampled from the
// footprint and, when inked, handed to the writer chain (plain stage 1, PixelPaintOver).
void BM_DabWalk(benchmark::State& state) {
  const double r = static_cast<double>(state.range(0));
  ResetPixelWriters();
  SetColourWriter(&PixelPaintOver);
  CGradeMapObj map(kFalloffEntries);
  CPenShape shape(&map);
  shape.SetAntialias(true);
  const int32_t side = static_cast<int32_t>(2 * r) + 260;
  TMTC image(side, side);
  image.FillValue(0x00FFFFFFu);
  int64_t k = 0;
  const Fixed cx = Px(side / 2 + 0.3), cy = Px(side / 2 + 0.6);
  shape.SetExactCircle(cx, cy, true, Px(r));
  const int32_t left = FixFloor(cx - Px(r)), right = FixCeil(cx + Px(r));
  const int32_t top = FixFloor(cy - Px(r)), bottom = FixCeil(cy + Px(r));
  const Fixed opacity = 0x8000;
  for (auto _ : state) {
    WithImageWriter([&](auto write) {
      for (int32_t y = top; y < bottom; ++y) {
        uint32_t* row = image.Pixel(0, y);
        for (int32_t x = left; x < right; ++x) {
          const int32_t c = shape.SampleAt((x << 16) - cx + 0x8000, (y << 16) - cy + 0x8000);
          const int64_t f = (int64_t{c} * opacity) >> 16;
          if (f > 0xFFFF) write(row + x, x, y, static_cast<int32_t>(f >> 16), 0xFF204080u);
        }
      }
    });
    ++k;
  }
  state.counters["dabs/s"] = benchmark::Counter(static_cast<double>(k), benchmark::Counter::kIsRate);
  ResetPixelWriters();
}

BENCHMARK(BM_SetCircleRamp)->Arg(2)->Arg(8)->Arg(32)->Arg(128);
BENCHMARK(BM_SetExactCircle)->Arg(2)->Arg(8)->Arg(32)->Arg(128);
BENCHMARK(BM_DabWalk)->Arg(2)->Arg(8)->Arg(32)->Arg(128);

}  // namespace
}  // namespace tf

BENCHMARK_MAIN();
