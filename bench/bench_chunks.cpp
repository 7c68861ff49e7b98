// A 4096 x 4096 layer written and read as tiled-block chunks (TBIM) against libpng's default PNG
// encode and decode of the same RGBA pixels, both in memory. Two contents: noise (every tile
// committed, incompressible) and a painting-like layer (flat fills, a gradient sky, soft strokes
// and untouched transparent areas, compacted as a saved layer is).
//
// Run: build/bench/bench/bench_chunks (libpng from scripts/deps.sh --bench).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "platform/Stream.h"
#include "raster/BlockChunk.h"
#include "raster/BlockVMTC.h"
#include "raster/FlatImage.h"

#if TF_BENCH_HAVE_PNG
#include <png.h>
#endif

namespace tf {
namespace {

constexpr int32_t kSide = 4096;
constexpr double kLayerBytes = double(kSide) * kSide * 4;

// The two layers, made once: the store and the same pixels as one flat image.
struct Layer {
  std::unique_ptr<CBlockVMTC> store;
  std::unique_ptr<TMTC> flat;
  int64_t tiledBytes = 0;
  int64_t pngBytes = 0;
};

void Blend(uint32_t& pixel, uint32_t colour, uint32_t alpha) {
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const uint32_t d = (pixel >> shift) & 0xFF;
    const uint32_t s = shift == 24 ? 255 : (colour >> shift) & 0xFF;
    out |= ((d * (255 - alpha) + s * alpha + 127) / 255) << shift;
  }
  pixel = out;
}

std::unique_ptr<TMTC> PaintingPixels() {
  auto image = std::make_unique<TMTC>(kSide, kSide);
  image->FillValue(CBlockVMTC::kDefaultFill);  // nothing painted: transparent white
  uint64_t seed = 42;
  // A gradient sky over the top third.
  for (int32_t y = 0; y < kSide / 3; ++y)
    for (int32_t x = 0; x < kSide; ++x)
      *image->Pixel(x, y) =
          0xFF000000u | uint32_t(90 + y * 100 / (kSide / 3)) << 16 | uint32_t(140 + x * 60 / kSide) << 8 | 230u;
  // Flat fills.
  for (int i = 0; i < 12; ++i) {
    const int32_t x = int32_t(XorShift64(seed) % kSide), y = int32_t(kSide / 3 + XorShift64(seed) % (kSide / 2));
    const int32_t w = 200 + int32_t(XorShift64(seed) % 900), h = 150 + int32_t(XorShift64(seed) % 600);
    SRectWH rect{x, y, w, h};
    image->FillRect(rect, 0xFF000000u | uint32_t(XorShift64(seed) & 0xFFFFFF));
  }
  // Soft strokes: random walks of round dabs with a falloff.
  for (int stroke = 0; stroke < 150; ++stroke) {
    double x = double(XorShift64(seed) % kSide), y = double(XorShift64(seed) % kSide);
    const int32_t radius = 6 + int32_t(XorShift64(seed) % 28);
    const uint32_t colour = uint32_t(XorShift64(seed) & 0xFFFFFF);
    double angle = double(XorShift64(seed) % 628) / 100.0;
    for (int dab = 0; dab < 160; ++dab) {
      angle += (double(XorShift64(seed) % 200) - 100.0) / 400.0;
      x += std::cos(angle) * radius * 0.4;
      y += std::sin(angle) * radius * 0.4;
      for (int32_t dy = -radius; dy <= radius; ++dy)
        for (int32_t dx = -radius; dx <= radius; ++dx) {
          const int32_t px = int32_t(x) + dx, py = int32_t(y) + dy;
          if (px < 0 || py < 0 || px >= kSide || py >= kSide) continue;
          const double d = std::sqrt(double(dx * dx + dy * dy)) / radius;
          if (d >= 1.0) continue;
          Blend(*image->Pixel(px, py), colour, uint32_t((1.0 - d) * 90.0));
        }
    }
  }
  return image;
}

std::unique_ptr<TMTC> NoisePixels() {
  auto image = std::make_unique<TMTC>(kSide, kSide);
  uint64_t seed = 7;
  auto* pixels = reinterpret_cast<uint64_t*>(image->Bits());
  for (size_t i = 0; i < size_t(kSide) * kSide / 2; ++i) pixels[i] = XorShift64(seed);
  return image;
}

Layer& GetLayer(int content) {
  static std::map<int, Layer> layers;
  Layer& layer = layers[content];
  if (!layer.store) {
    layer.flat = content == 0 ? NoisePixels() : PaintingPixels();
    layer.store = std::make_unique<CBlockVMTC>(kSide, kSide);
    layer.store->CopyAllFromImage(*layer.flat, 0, 0, 255);
    layer.store->Compact();
  }
  return layer;
}

const char* ContentName(int content) { return content == 0 ? "noise" : "painting"; }

void SetRates(benchmark::State& state, int64_t size) {
  state.SetBytesProcessed(int64_t(double(state.iterations()) * kLayerBytes));
  state.counters["MB/s"] =
      benchmark::Counter(double(state.iterations()) * kLayerBytes / 1e6, benchmark::Counter::kIsRate);
  state.counters["size_MB"] = double(size) / 1e6;
  state.SetLabel(ContentName(int(state.range(0))));
}

void BM_TiledWrite(benchmark::State& state) {
  Layer& layer = GetLayer(int(state.range(0)));
  int64_t size = 0;
  for (auto _ : state) {
    std::vector<uint8_t> room;
    room.reserve(size_t(kLayerBytes * 1.1));  // as a file would take them: no growing
    MemoryStream stream(std::move(room));
    if (WriteLayerBlocks(stream, *layer.store) != 0) state.SkipWithError("write failed");
    size = stream.Size();
    benchmark::DoNotOptimize(stream.Data());
  }
  layer.tiledBytes = size;
  SetRates(state, size);
}

void BM_TiledRead(benchmark::State& state) {
  Layer& layer = GetLayer(int(state.range(0)));
  MemoryStream stream;
  WriteLayerBlocks(stream, *layer.store);
  for (auto _ : state) {
    CBlockVMTC store(kSide, kSide);
    stream.SetPosition(0);
    if (ReadLayerBlocks(stream, store, store.TilesAcross(), store.TilesDown()) != 0)
      state.SkipWithError("read failed");
    benchmark::DoNotOptimize(store.CommittedTileCount());
  }
  SetRates(state, stream.Size());
}

#if TF_BENCH_HAVE_PNG
// libpng with its defaults (zlib level 6, adaptive filters), pixels handed over as B, G, R, A.
std::vector<uint8_t> PngEncode(const TMTC& image) {
  std::vector<uint8_t> out;
  out.reserve(size_t(kLayerBytes * 1.1));
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, png_size_t length) {
        auto* v = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
        v->insert(v->end(), data, data + length);
      },
      nullptr);
  png_set_IHDR(png, info, uint32_t(image.Width()), uint32_t(image.Height()), 8, PNG_COLOR_TYPE_RGBA,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_bgr(png);
  for (int32_t y = 0; y < image.Height(); ++y) png_write_row(png, image.GetPixelPtr(0, y));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

bool PngDecode(const std::vector<uint8_t>& bytes, TMTC& image) {
  struct Source {
    const std::vector<uint8_t>* bytes;
    size_t at;
  } source{&bytes, 0};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &source, [](png_structp p, png_bytep data, png_size_t length) {
    auto* s = static_cast<Source*>(png_get_io_ptr(p));
    if (s->at + length > s->bytes->size()) png_error(p, "short");
    std::memcpy(data, s->bytes->data() + s->at, length);
    s->at += length;
  });
  png_read_info(png, info);
  png_set_bgr(png);
  const int32_t width = int32_t(png_get_image_width(png, info));
  const int32_t height = int32_t(png_get_image_height(png, info));
  if (!image.Resize(width, height)) png_error(png, "no memory");
  for (int32_t y = 0; y < height; ++y) png_read_row(png, image.GetPixelPtr(0, y), nullptr);
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

void BM_PngEncode(benchmark::State& state) {
  Layer& layer = GetLayer(int(state.range(0)));
  int64_t size = 0;
  for (auto _ : state) {
    std::vector<uint8_t> out = PngEncode(*layer.flat);
    if (out.empty()) state.SkipWithError("encode failed");
    size = int64_t(out.size());
  }
  layer.pngBytes = size;
  SetRates(state, size);
}

void BM_PngDecode(benchmark::State& state) {
  Layer& layer = GetLayer(int(state.range(0)));
  const std::vector<uint8_t> bytes = PngEncode(*layer.flat);
  for (auto _ : state) {
    TMTC image;
    if (!PngDecode(bytes, image)) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(image.Bits());
  }
  SetRates(state, int64_t(bytes.size()));
}
#endif

// Prints the ratios against the peer after the table.
class ChunkReporter : public benchmark::ConsoleReporter {
 public:
  ChunkReporter() : ConsoleReporter(OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      auto rate = run.counters.find("MB/s");
      auto size = run.counters.find("size_MB");
      if (rate == run.counters.end()) continue;
      const std::string name = run.run_name.function_name + "/" + run.report_label;
      rates_[name] = rate->second.value;
      if (size != run.counters.end()) sizes_[name] = size->second.value;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nTiled chunks against libpng's default (4096 x 4096, 64 MB of pixels):\n");
    for (const char* content : {"noise", "painting"}) {
      const std::string c = content;
      auto get = [&](const char* fn) {
        auto it = rates_.find(std::string(fn) + "/" + c);
        return it == rates_.end() ? 0.0 : it->second;
      };
      const double write = get("BM_TiledWrite"), read = get("BM_TiledRead");
      const double encode = get("BM_PngEncode"), decode = get("BM_PngDecode");
      std::printf("  %-9s write %7.1f MB/s, read %7.1f MB/s, %7.2f MB", content, write, read,
                  sizes_["BM_TiledWrite/" + c]);
      if (encode > 0 && decode > 0)
        std::printf(" | PNG encode %6.1f MB/s, decode %6.1f MB/s, %7.2f MB | save %.1fx, load %.2fx, size %.2fx",
                    encode, decode, sizes_["BM_PngEncode/" + c], write / encode, read / decode,
                    sizes_["BM_TiledWrite/" + c] / sizes_["BM_PngEncode/" + c]);
      std::printf("\n");
    }
  }

 private:
  std::map<std::string, double> rates_;
  std::map<std::string, double> sizes_;
};

BENCHMARK(BM_TiledWrite)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TiledRead)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
#if TF_BENCH_HAVE_PNG
BENCHMARK(BM_PngEncode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_PngDecode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

}  // namespace
}  // namespace tf

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  tf::ChunkReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
