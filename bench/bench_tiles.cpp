// Tiled stores: copies between a 4096x4096 flat image and a store, fills, and compositing one
// store onto another, with memcpy / fills / the flat compositing loop over the same bytes as
// peers in the same run. Also the cost of blank stores: committed bytes and resident memory
// right after creating a 16384x16384 32-bit store and a 20000x20000 8-bit store.
#include <benchmark/benchmark.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "BenchSupport.h"
#include "platform/AddressSpace.h"
#include "raster/BlockVCH.h"
#include "raster/BlockVMTC.h"
#include "raster/Composite.h"
#include "raster/RegionOps.h"

namespace {

using namespace tf;

constexpr int32_t kSide = 4096;
constexpr size_t kPixels = size_t{kSide} * kSide;
constexpr size_t kBytes = kPixels * 4;

// A 4096x4096 image of noise with every kind of alpha.
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

// ---- Blank stores: memory and creation time (first, before the allocator holds freed memory)

// A blank store of side x side pixels (state.range(0)) made in every iteration.
template <class Store>
void BlankStore(benchmark::State& state) {
  const int32_t side = static_cast<int32_t>(state.range(0));
  int64_t committed = -1, resident = -1, tiles = 0;
  for (auto _ : state) {
    const int64_t before = ResidentBytes();
    auto store = std::make_unique<Store>(side, side);
    benchmark::DoNotOptimize(store.get());
    committed = store->CommittedBytes();
    // The first store shows what it costs; later ones reuse memory the allocator kept.
    if (resident < 0) resident = ResidentBytes() - before;
    tiles = store->TileCount();
  }
  state.counters["committedBytes"] = static_cast<double>(committed);
  state.counters["residentMB"] = static_cast<double>(resident) / (1 << 20);
  state.counters["tiles"] = static_cast<double>(tiles);
}

void BM_Blank32(benchmark::State& state) { BlankStore<CBlockVMTC>(state); }
BENCHMARK(BM_Blank32)->Arg(16384)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Blank8(benchmark::State& state) { BlankStore<CBlockVCH>(state); }
BENCHMARK(BM_Blank8)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(3);

// Ten blank layers of side x side pixels (state.range(0)) held at once, as a document holds its
// layers before a stroke, then one dab in each (a 64x64 square in the middle): resident bytes
// added per layer for each step. Resident memory counts whatever the stores wrote, table pages
// and tile views included, and every page the allocator handed them.
template <class Store, class Value>
void BlankLayers(benchmark::State& state, Value value) {
  constexpr int kLayers = 10;
  const int32_t side = static_cast<int32_t>(state.range(0));
  double blank = 0, dabbed = 0;
  for (auto _ : state) {
    std::unique_ptr<Store> layers[kLayers];
    const int64_t before = ResidentBytes();
    for (auto& layer : layers) layer = std::make_unique<Store>(side, side);
    const int64_t made = ResidentBytes();
    for (auto& layer : layers) {
      SRectWH dab{side / 2 - 32, side / 2 - 32, 64, 64};
      layer->FillRect(dab, value);
    }
    const int64_t painted = ResidentBytes();
    blank = static_cast<double>(made - before) / kLayers;
    dabbed = static_cast<double>(painted - made) / kLayers;
    benchmark::DoNotOptimize(layers[0].get());
  }
  state.counters["blankKBPerLayer"] = blank / 1024;
  state.counters["dabKBPerLayer"] = dabbed / 1024;
}

void BM_BlankLayers32(benchmark::State& state) { BlankLayers<CBlockVMTC>(state, 0xFF204080u); }
BENCHMARK(BM_BlankLayers32)->Arg(10000)->Arg(16384)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_BlankLayers8(benchmark::State& state) { BlankLayers<CBlockVCH>(state, uint8_t{0x80}); }
BENCHMARK(BM_BlankLayers8)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(1);

// ---- Copies --------------------------------------------------------------------------------

// Ceiling: memcpy of the same 64 MB between two resident buffers.
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

// Image into a store whose tiles are already committed.
void BM_CopyFromImage(benchmark::State& state) {
  const TMTC& source = SourceImage();
  CBlockVMTC store(kSide, kSide);
  store.CopyAllFromImage(source, 0, 0, 255);
  for (auto _ : state) {
    store.CopyAllFromImage(source, 0, 0, 255);
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, kPixels);
}
BENCHMARK(BM_CopyFromImage)->Unit(benchmark::kMillisecond);

// Store back out into a flat image.
void BM_CopyAllToImage(benchmark::State& state) {
  const TMTC& source = SourceImage();
  CBlockVMTC store(kSide, kSide);
  store.CopyAllFromImage(source, 0, 0, 255);
  TMTC dest(kSide, kSide);
  std::memset(dest.Bits(), 0, kBytes);
  for (auto _ : state) {
    store.CopyAllToImage(dest, 0, 0, 255, false);
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, kPixels);
}
BENCHMARK(BM_CopyAllToImage)->Unit(benchmark::kMillisecond);

// Peer of the fresh-store copy: memcpy into freshly mapped memory (page faults included).
void BM_MemcpyFresh(benchmark::State& state) {
  const TMTC& source = SourceImage();
  for (auto _ : state) {
    void* p = mmap(nullptr, kBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    std::memcpy(p, source.Bits(), kBytes);
    benchmark::ClobberMemory();
    munmap(p, kBytes);
  }
  SetPixelRate(state, kPixels);
}
BENCHMARK(BM_MemcpyFresh)->Unit(benchmark::kMillisecond);

// Image into a new store: reservation, table, commits and page faults included.
void BM_CopyFromImageFresh(benchmark::State& state) {
  const TMTC& source = SourceImage();
  for (auto _ : state) {
    CBlockVMTC store(kSide, kSide);
    store.CopyAllFromImage(source, 0, 0, 255);
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, kPixels);
}
BENCHMARK(BM_CopyFromImageFresh)->Unit(benchmark::kMillisecond);

// ---- Temporary flat images ------------------------------------------------------------------

// A temporary image of side x side pixels (state.range(0)) made, written whole from the source
// and freed in every iteration, as the paint and filter code make their scratch images. The
// peer is malloc, memcpy and free of the same bytes.
void BM_TempImage(benchmark::State& state) {
  const int32_t side = static_cast<int32_t>(state.range(0));
  const TMTC& source = SourceImage();
  for (auto _ : state) {
    TMTC image(side, side);
    for (int32_t y = 0; y < side; ++y)
      std::memcpy(image.Bits() + size_t{4} * side * y, source.Bits() + size_t{4} * kSide * y, size_t{4} * side);
    benchmark::DoNotOptimize(image.Bits());
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, size_t{static_cast<size_t>(side)} * side);
}
BENCHMARK(BM_TempImage)->Arg(32)->Arg(128)->Arg(512)->Arg(2048);

void BM_TempImageMalloc(benchmark::State& state) {
  const int32_t side = static_cast<int32_t>(state.range(0));
  const TMTC& source = SourceImage();
  for (auto _ : state) {
    uint8_t* bits = static_cast<uint8_t*>(std::malloc(size_t{4} * side * side));
    for (int32_t y = 0; y < side; ++y)
      std::memcpy(bits + size_t{4} * side * y, source.Bits() + size_t{4} * kSide * y, size_t{4} * side);
    benchmark::DoNotOptimize(bits);
    benchmark::ClobberMemory();
    std::free(bits);
  }
  SetPixelRate(state, size_t{static_cast<size_t>(side)} * side);
}
BENCHMARK(BM_TempImageMalloc)->Arg(32)->Arg(128)->Arg(512)->Arg(2048);

// A temporary copy of a side x side image (the copy constructor), as the undo and filter code
// copy a picture before changing it.
void BM_TempImageCopy(benchmark::State& state) {
  const int32_t side = static_cast<int32_t>(state.range(0));
  TMTC source(side, side);
  std::memcpy(source.Bits(), SourceImage().Bits(), size_t{4} * side * side);
  for (auto _ : state) {
    TMTC copy(source);
    benchmark::DoNotOptimize(copy.Bits());
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, size_t{static_cast<size_t>(side)} * side);
}
BENCHMARK(BM_TempImageCopy)->Arg(32)->Arg(128)->Arg(512)->Arg(2048);

// A temporary 8-bit channel made, filled and freed in every iteration.
void BM_TempChannel(benchmark::State& state) {
  const int32_t side = static_cast<int32_t>(state.range(0));
  uint8_t v = 0;
  for (auto _ : state) {
    TChannel channel(side, side);
    SRectWH all{0, 0, side, side};
    channel.FillRect(all, v++);
    benchmark::DoNotOptimize(channel.Bits());
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, size_t{static_cast<size_t>(side)} * side);
}
BENCHMARK(BM_TempChannel)->Arg(64)->Arg(512)->Arg(2048);

// ---- Fills ---------------------------------------------------------------------------------

// Peer: a plain 32-bit fill of the same bytes.
void BM_FillFlat(benchmark::State& state) {
  TMTC dest(kSide, kSide);
  uint32_t v = 0xFF102030u;
  for (auto _ : state) {
    dest.FillAll(v++);
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, kPixels);
}
BENCHMARK(BM_FillFlat)->Unit(benchmark::kMillisecond);

// Every tile committed: the fill runs over the pixels.
void BM_FillRectCommitted(benchmark::State& state) {
  CBlockVMTC store(kSide, kSide);
  store.CopyAllFromImage(SourceImage(), 0, 0, 255);
  uint32_t v = 0xFF102030u;
  for (auto _ : state) {
    SRectWH rect{0, 0, kSide, kSide};
    store.FillRect(rect, v++);
    benchmark::ClobberMemory();
  }
  state.counters["committedMB"] = static_cast<double>(store.CommittedBytes()) / (1 << 20);
  SetPixelRate(state, kPixels);
}
BENCHMARK(BM_FillRectCommitted)->Unit(benchmark::kMillisecond);

// Uncommitted tiles: the fill changes fill values only.
void BM_FillRectSparse(benchmark::State& state) {
  CBlockVMTC store(kSide, kSide);
  uint32_t v = 0xFF102030u;
  for (auto _ : state) {
    SRectWH rect{0, 0, kSide, kSide};
    store.FillRect(rect, v++);
    benchmark::ClobberMemory();
  }
  state.counters["committedMB"] = static_cast<double>(store.CommittedBytes()) / (1 << 20);
  SetPixelRate(state, kPixels);
}
BENCHMARK(BM_FillRectSparse)->Unit(benchmark::kMillisecond);

// ---- Compositing one store onto another ----------------------------------------------------

void AccumulateOver(uint32_t* acc, uint32_t colour, int32_t alpha) { BlendColor(acc, colour, alpha); }
const SCompositeOps kNormal{0, 0, {}, AccumulateOver, AccumulateOver};

struct NormalComposer {
  void operator()(uint32_t* pixel, uint32_t source, int32_t opacity) const {
    CompositePixelWith(pixel, source, opacity, 0, 0, PixelOpFn<BlendColor>{}, PixelOpFn<BlendColor>{});
  }
};

struct StorePair {
  CBlockVMTC source{kSide, kSide};
  CBlockVMTC dest{kSide, kSide};
  TMTC flatDest{kSide, kSide};
  StorePair() {
    source.CopyAllFromImage(SourceImage(), 0, 0, 255);
    SRectWH rect{0, 0, kSide, kSide};
    dest.FillRect(rect, 0xFF808080u);
    for (int32_t y = 0; y < kSide; y += 32)
      for (int32_t x = 0; x < kSide; x += 32) dest.SetPixel(x, y, 0xFF808080u);  // commit every tile
    flatDest.FillAll(0xFF808080u);
  }
};

// Peer: the flat compositing loop over two 4096x4096 images, functor form.
void BM_CompositeFlat(benchmark::State& state) {
  StorePair pair;
  for (auto _ : state) {
    TPoint p{0, 0};
    SRectWH r{0, 0, kSide, kSide};
    CompositeFromWith(pair.flatDest, SourceImage(), p, r, 255, 200, NormalComposer{});
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, kPixels);
}
BENCHMARK(BM_CompositeFlat)->Unit(benchmark::kMillisecond);

// The store merge with the functor form.
void BM_CompositeStores(benchmark::State& state) {
  StorePair pair;
  for (auto _ : state) {
    TPoint p{0, 0};
    SRectWH r{0, 0, kSide, kSide};
    pair.dest.CompositeFromWith(pair.source, p, r, 255, 200, NormalComposer{});
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, kPixels);
}
BENCHMARK(BM_CompositeStores)->Unit(benchmark::kMillisecond);

// The same through an SCompositeOps record (the routines called through their pointers).
void BM_CompositeStoresOps(benchmark::State& state) {
  StorePair pair;
  for (auto _ : state) {
    TPoint p{0, 0};
    SRectWH r{0, 0, kSide, kSide};
    pair.dest.CompositeFrom(pair.source, p, r, 255, 200, kNormal);
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, kPixels);
}
BENCHMARK(BM_CompositeStoresOps)->Unit(benchmark::kMillisecond);

// Peer of the above: the flat loop through the same record.
void BM_CompositeFlatOps(benchmark::State& state) {
  StorePair pair;
  for (auto _ : state) {
    TPoint p{0, 0};
    SRectWH r{0, 0, kSide, kSide};
    pair.flatDest.CompositeFrom(SourceImage(), p, r, 255, 200, kNormal);
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, kPixels);
}
BENCHMARK(BM_CompositeFlatOps)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
