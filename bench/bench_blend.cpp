// Layer merge throughput: a 4096x4096 straight-alpha layer merged onto another in normal,
// multiply and screen mode at opacity 255 and 128, through the merge routines' row forms on flat
// images (also with the baseline build of the row loops) and on tiled stores (CombineLayerStores),
// and the layer drawn into an opaque picture through its source-alpha routine. The peer is
// pixman's OVER, MULTIPLY and SCREEN on the same pixels premultiplied (a solid 50% mask for
// opacity 128), in the same run. The work differs a little: pixman's formulas are premultiplied,
// ours divide by the new alpha.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "document/BlendMode.h"
#include "document/BlendRows.h"
#include "raster/BlockVMTC.h"
#include "raster/Composite.h"
#include "raster/FlatImage.h"

#ifdef TF_BENCH_HAVE_PIXMAN
#include <pixman.h>
#endif

namespace {

using namespace tf;

constexpr int kSide = 4096;
constexpr double kPixels = double{kSide} * kSide;

struct Rng {
  uint64_t s = 0x9E3779B97F4A7C15ull;
  uint32_t Next() { return static_cast<uint32_t>(XorShift64(s) >> 16); }
  // A painted layer: a quarter opaque, an eighth empty, the rest partly covered.
  uint32_t Pixel() {
    const uint32_t v = Next();
    const uint32_t pick = Next() & 7u;
    const uint32_t a = pick < 2 ? 255u : (pick == 2 ? 0u : ((v >> 24) | 1u));
    return (v & 0x00FFFFFFu) | (a << 24);
  }
};

struct Pictures {
  TMTC lower, upper;
  Pictures() : lower(kSide, kSide), upper(kSide, kSide) {
    Rng rng;
    for (int y = 0; y < kSide; ++y) {
      for (int x = 0; x < kSide; ++x) {
        *lower.Pixel(x, y) = rng.Pixel();
        *upper.Pixel(x, y) = rng.Pixel();
      }
    }
  }
};

Pictures& Data() {
  static Pictures pictures;
  return pictures;
}

// Flat images: the merge routine's row form over every row (TMTC::CombineFrom semantics).
void MergeFlat(benchmark::State& state, uint8_t mode, int32_t opacity) {
  InitCompositeTables();
  Pictures& p = Data();
  TMTC dest(p.lower);
  const PixelRowOp rows = GetMergeRoutine(mode).rows.pixels;
  for (auto _ : state) {
    TPoint point{0, 0};
    SRectWH rect{0, 0, kSide, kSide};
    CombineRowsFrom(dest, p.upper, point, rect, 255, opacity, rows);
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, kPixels, /*bytesPerPixel=*/0);
}

// The same with the baseline build of the row loops (what a processor without AVX2 runs).
void MergeFlatBaseline(benchmark::State& state, uint8_t mode, int32_t opacity) {
  row_detail::ForceBaselineRows(true);
  MergeFlat(state, mode, opacity);
  row_detail::ForceBaselineRows(false);
}

// Tiled stores: the layer combine of the upper layer's store into the lower layer's.
void MergeStores(benchmark::State& state, uint8_t mode, int32_t opacity) {
  InitCompositeTables();
  Pictures& p = Data();
  CBlockVMTC lower(kSide, kSide), upper(kSide, kSide);
  lower.CopyAllFromImage(p.lower, 0, 0, 255);
  upper.CopyAllFromImage(p.upper, 0, 0, 255);
  SBlendLayer lo, up;
  up.mode = mode;
  up.opacity = static_cast<uint8_t>(opacity);
  for (auto _ : state) {
    TPoint point{0, 0};
    SRectWH rect{0, 0, kSide, kSide};
    CombineLayerStores(lower, lo, upper, up, point, rect);
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, kPixels, /*bytesPerPixel=*/0);
}

// The layer drawn into an opaque picture through its source-alpha routine (screen composition).
void DrawIntoOpaque(benchmark::State& state, uint8_t mode, int32_t opacity) {
  InitCompositeTables();
  Pictures& p = Data();
  TMTC dest(p.lower);
  dest.SetAlphaAll(255);
  const PixelRowOp rows = GetBlendModeEntry(mode)->sourceAlphaRows.pixels;
  for (auto _ : state) {
    TPoint point{0, 0};
    SRectWH rect{0, 0, kSide, kSide};
    CombineRowsTo(p.upper, dest, point, rect, opacity, rows);
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, kPixels, /*bytesPerPixel=*/0);
}

#ifdef TF_BENCH_HAVE_PIXMAN
uint32_t Premultiply(uint32_t v) {
  const uint32_t a = v >> 24;
  auto ch = [a](uint32_t c) { return (c * a + 127) / 255; };
  return (a << 24) | (ch((v >> 16) & 0xFF) << 16) | (ch((v >> 8) & 0xFF) << 8) | ch(v & 0xFF);
}

struct PixmanPictures {
  std::vector<uint32_t> lower, upper;
  PixmanPictures() : lower(size_t{kSide} * kSide), upper(size_t{kSide} * kSide) {
    Pictures& p = Data();
    for (int y = 0; y < kSide; ++y) {
      for (int x = 0; x < kSide; ++x) {
        lower[size_t{kSide} * y + x] = Premultiply(p.lower.GetPixel(x, y));
        upper[size_t{kSide} * y + x] = Premultiply(p.upper.GetPixel(x, y));
      }
    }
  }
};

void Pixman(benchmark::State& state, pixman_op_t op, int32_t opacity) {
  static PixmanPictures pictures;
  std::vector<uint32_t> dest = pictures.lower;
  pixman_image_t* d = pixman_image_create_bits(PIXMAN_a8r8g8b8, kSide, kSide, dest.data(), kSide * 4);
  pixman_image_t* s = pixman_image_create_bits(PIXMAN_a8r8g8b8, kSide, kSide, pictures.upper.data(), kSide * 4);
  pixman_image_t* mask = nullptr;
  if (opacity != 255) {
    const uint16_t a = static_cast<uint16_t>(opacity * 257);
    pixman_color_t colour{a, a, a, a};
    mask = pixman_image_create_solid_fill(&colour);
  }
  for (auto _ : state) {
    pixman_image_composite32(op, s, mask, d, 0, 0, 0, 0, 0, 0, kSide, kSide);
    benchmark::ClobberMemory();
  }
  if (mask) pixman_image_unref(mask);
  pixman_image_unref(s);
  pixman_image_unref(d);
  SetPixelRate(state, kPixels, /*bytesPerPixel=*/0);
}
#endif

struct ModeCase {
  const char* name;
  uint8_t mode;
#ifdef TF_BENCH_HAVE_PIXMAN
  pixman_op_t op;
#endif
};

const ModeCase kCases[] = {
#ifdef TF_BENCH_HAVE_PIXMAN
    {"normal", kModeNormal, PIXMAN_OP_OVER},
    {"multiply", kModeMultiply, PIXMAN_OP_MULTIPLY},
    {"screen", kModeScreen, PIXMAN_OP_SCREEN},
#else
    {"normal", kModeNormal},
    {"multiply", kModeMultiply},
    {"screen", kModeScreen},
#endif
};

// Our routines, registered in this order for every mode and opacity.
struct OurRoutine {
  std::string prefix;
  void (*run)(benchmark::State&, uint8_t, int32_t);
};
const OurRoutine kOurRoutines[] = {
    {"Merge/", MergeFlat},
    {"MergeBaseline/", MergeFlatBaseline},
    {"MergeStores/", MergeStores},
    {"DrawOpaque/", DrawIntoOpaque},
};

void RegisterAll() {
  for (const ModeCase& c : kCases) {
    for (int32_t opacity : {255, 128}) {
      const std::string tail = std::string(c.name) + "/" + std::to_string(opacity);
      for (const OurRoutine& r : kOurRoutines)
        benchmark::RegisterBenchmark((r.prefix + tail).c_str(), r.run, c.mode, opacity)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
#ifdef TF_BENCH_HAVE_PIXMAN
      benchmark::RegisterBenchmark(("Pixman/" + tail).c_str(), Pixman, c.op, opacity)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
#endif
    }
  }
}

// Console output plus, at the end, each of our figures against pixman's on the same mode and
// opacity.
class RatioReporter : public RateReporter {
 public:
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nAgainst pixman (OVER, MULTIPLY, SCREEN) on the same pixels:\n");
    for (const auto& [name, rate] : rates_) {
      if (name.rfind("Pixman/", 0) == 0) continue;
      const std::string tail = name.substr(name.find('/') + 1);
      auto peer = rates_.find("Pixman/" + tail);
      if (peer == rates_.end() || peer->second <= 0)
        std::printf("  %-28s %8.0f Mpix/s\n", name.c_str(), rate);
      else
        std::printf("  %-28s %8.0f Mpix/s  pixman %8.0f Mpix/s  ratio %.2f\n", name.c_str(), rate, peer->second,
                    rate / peer->second);
    }
  }

 protected:
  std::string RateName(const Run& run) const override {
    std::string name = run.benchmark_name();
    const size_t cut = name.find("/real_time");
    if (cut != std::string::npos) name.erase(cut);
    return name;
  }
};

}  // namespace

int main(int argc, char** argv) {
  RegisterAll();
  RatioReporter reporter;
  return tf::RunBenchmarks(argc, argv, reporter);
}
