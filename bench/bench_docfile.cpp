// Saving and opening a 4096 x 4096 document of 10 layers (one noisy photo-like layer; strokes,
// flat fills and transparency in the others; two masks) as a native document (.tfi), in memory,
// against libpng's default encode of its composed canvas as RGB in the same run.
//
// Run: build/bench/bench/bench_docfile (libpng from scripts/deps.sh --bench).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "document/LayerData.h"
#include "document/LayerMngr.h"
#include "document/Mask.h"
#include "files/DocFile.h"
#include "paper/HeadlessWindow.h"
#include "platform/Stream.h"
#include "raster/BlockVCH.h"
#include "raster/BlockVMTC.h"

#if TF_BENCH_HAVE_PNG
#include <png.h>
#endif

namespace tf {
namespace {

constexpr int32_t kSide = 4096;
constexpr uint32_t kFlags = kDocLayers | kDocMasks | kDocThumbnail | kDocEvents;

uint32_t Pack(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }

struct Document {
  HeadlessDocumentWindow window;
  std::vector<uint8_t> saved;
  std::vector<uint8_t> png;
};

Document& TheDocument() {
  static Document* document = [] {
    auto* d = new Document;
    TPaper& paper = d->window.Paper();
    if (!paper.NewDocument("bench.tfi", &d->window.Flow(), false, false, 350, kSide, kSide)) std::abort();
    CLayerMngr& layers = paper.Layers();
    uint64_t seed = 7;
    // Layer 0: a photo: smooth shading with sensor noise, every pixel opaque.
    CBlockVMTC& photo = *layers.Get(0)->Store();
    for (int32_t y = 0; y < kSide; ++y)
      for (int32_t x = 0; x < kSide; ++x) {
        const uint32_t n = uint32_t(XorShift64(seed) & 15);
        photo.SetPixel(x, y, Pack(255, (x / 20 + n) & 0xFF, (y / 18 + 40 + n) & 0xFF, ((x + y) / 40 + n) & 0xFF));
      }
    for (int32_t i = 1; i < 10; ++i) {
      const int32_t at = layers.InsertLayer(i, kSide, kSide, true, 255, false, uint8_t(i % 4 == 0 ? 3 : i % 22));
      if (at < 0) std::abort();
      layers.AssignDefaultName(at, 1);
      CBlockVMTC& store = *layers.Get(at)->Store();
      if (i <= 2) {  // flat fills
        for (int32_t r = 0; r < 6; ++r) {
          const int32_t x0 = int32_t(XorShift64(seed) % 3000), y0 = int32_t(XorShift64(seed) % 3000);
          const uint32_t colour = Pack(255, uint32_t(XorShift64(seed) & 0xFF), 90, 200);
          for (int32_t y = y0; y < y0 + 900; ++y)
            for (int32_t x = x0; x < x0 + 1000; ++x) store.SetPixel(x, y, colour);
        }
      } else if (i <= 7) {  // strokes
        for (int32_t s = 0; s < 12; ++s)
          PaintWalkStroke(store, kSide, seed, uint32_t(XorShift64(seed)), 6 + s % 10, 3000);
      } else {  // transparency: a fading veil over the lower half
        for (int32_t y = kSide / 2; y < kSide; ++y)
          for (int32_t x = 0; x < kSide; ++x)
            store.SetPixel(x, y, Pack(uint32_t((y - kSide / 2) * 255 / (kSide / 2)), 30, 60, 120));
      }
      store.Compact();
    }
    photo.Compact();
    CMaskMngr& masks = *paper.MaskMngr();
    for (int32_t m = 0; m < 2; ++m) {
      auto mask = CMaskData::Create(masks.GetCount(), kSide, kSide);
      CBlockVCH& values = *mask->Store();
      for (int32_t y = 0; y < kSide; ++y)
        for (int32_t x = 0; x < kSide; ++x) {
          const double dx = (x - 2048.0) / (1200.0 + 600 * m), dy = (y - 2048.0) / 1500.0;
          const double d = dx * dx + dy * dy;
          if (d < 1.0) *values.PixelPtr(x, y, true) = m == 0 ? 255 : uint8_t(255 * (1.0 - d));
        }
      values.Compact();
      masks.InsertMask(masks.GetCount(), mask);
    }
    masks.Renumber();
    paper.RedrawAll(true);
    return d;
  }();
  return *document;
}

void BM_DocSave(benchmark::State& state) {
  Document& d = TheDocument();
  for (auto _ : state) {
    MemoryStream stream;
    if (!WriteDocStream(stream, d.window.Paper(), kFlags, nullptr)) state.SkipWithError("save failed");
    d.saved = stream.TakeBytes();
  }
  state.counters["size_MB"] = double(d.saved.size()) / 1e6;
}

void BM_DocOpen(benchmark::State& state) {
  Document& d = TheDocument();
  if (d.saved.empty()) {
    MemoryStream stream;
    WriteDocStream(stream, d.window.Paper(), kFlags, nullptr);
    d.saved = stream.TakeBytes();
  }
  for (auto _ : state) {
    HeadlessDocumentWindow window;
    MemoryStream stream(d.saved);
    if (LoadDocStream(stream, window.Paper(), "bench.tfi", nullptr) != 0) state.SkipWithError("open failed");
  }
}

#if TF_BENCH_HAVE_PNG
void BM_PngEncodeCanvas(benchmark::State& state) {
  Document& d = TheDocument();
  TTC& canvas = d.window.Paper().DisplayBuffer();
  for (auto _ : state) {
    d.png.clear();
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
      png_destroy_write_struct(&png, &info);
      state.SkipWithError("png failed");
      return;
    }
    png_set_write_fn(
        png, &d.png,
        [](png_structp p, png_bytep data, png_size_t length) {
          auto* v = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
          v->insert(v->end(), data, data + length);
        },
        nullptr);
    png_set_IHDR(png, info, kSide, kSide, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);
    png_set_filler(png, 0, PNG_FILLER_AFTER);  // the rows hold B, G, R and a fourth byte
    for (int32_t y = 0; y < kSide; ++y) png_write_row(png, reinterpret_cast<png_bytep>(canvas.Pixel(0, y)));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
  }
  state.counters["size_MB"] = double(d.png.size()) / 1e6;
}
#endif

// Keeps each run's time per iteration and size, and prints the ratios after the table.
class DocReporter : public benchmark::ConsoleReporter {
 public:
  DocReporter() : ConsoleReporter(OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      const std::string name = run.run_name.function_name;
      ms_[name] = run.GetAdjustedRealTime();
      auto size = run.counters.find("size_MB");
      if (size != run.counters.end()) mb_[name] = size->second.value;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const double save = ms_["BM_DocSave"], open = ms_["BM_DocOpen"], png = ms_["BM_PngEncodeCanvas"];
    std::printf("\nDocument of 10 layers and 2 masks, 4096 x 4096:\n");
    std::printf("  .tfi save %.1f ms, open %.1f ms, %.2f MB\n", save, open, mb_["BM_DocSave"]);
    if (png > 0) {
      std::printf("  libpng default encode of the composed canvas (RGB) %.1f ms, %.2f MB\n", png,
                  mb_["BM_PngEncodeCanvas"]);
      std::printf("  save is %.1fx as fast as the PNG encode; open %.1fx; size .tfi / PNG %.2f\n", png / save,
                  png / open, mb_["BM_DocSave"] / mb_["BM_PngEncodeCanvas"]);
    }
  }

 private:
  std::map<std::string, double> ms_;
  std::map<std::string, double> mb_;
};

BENCHMARK(BM_DocSave)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_DocOpen)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
#if TF_BENCH_HAVE_PNG
BENCHMARK(BM_PngEncodeCanvas)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
#endif

}  // namespace
}  // namespace tf

int main(int argc, char** argv) {
  tf::DocReporter reporter;
  return tf::RunBenchmarks(argc, argv, reporter);
}
