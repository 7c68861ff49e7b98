// PSD export and import of a seeded 4096 x 4096 document of 20 layers and 4 masks, against
// ImageMagick's (MagickCore, one thread) read of the same file in the same process, and against our own
// .tfi save and load of the same document; PackBits alone on the document's channel planes.
// Files go to /dev/shm (or /tmp) so that the disk does not decide the times.
//
// Run: build/bench/bench/bench_psd (MagickCore from scripts/deps.sh --bench).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "document/LayerData.h"
#include "document/LayerMngr.h"
#include "document/Mask.h"
#include "files/DocFile.h"
#include "files/PsdFile.h"
#include "files/psd/PsdCodec.h"
#include "paper/HeadlessWindow.h"
#include "raster/BlockVCH.h"
#include "raster/BlockVMTC.h"

#if TF_BENCH_HAVE_MAGICK
// ImageMagick 6 (Debian's libmagickcore-6.q16-dev) keeps its headers under magick/.
#include <magick/MagickCore.h>
#ifndef MagickPathExtent
#define MagickPathExtent MaxTextExtent
#endif
#endif

namespace tf {
namespace {

constexpr int32_t kSide = 4096;
constexpr int32_t kLayers = 20;
constexpr int32_t kMasks = 4;
constexpr uint32_t kTfiFlags = kDocLayers | kDocMasks | kDocThumbnail | kDocEvents;

uint32_t Pack(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }

std::string Folder() {
  static const std::string folder = [] {
    const std::string base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    const std::string path = base + "/tf-bench-psd-" + std::to_string(::getpid());
    std::filesystem::create_directories(path);
    std::atexit([] { std::filesystem::remove_all(Folder()); });
    return path;
  }();
  return folder;
}

struct Document {
  HeadlessDocumentWindow window;
  std::string psd = Folder() + "/bench.psd";
  std::string tfi = Folder() + "/bench.tfi";
  std::vector<uint8_t> plane;  // one channel plane of every kind of layer, for PackBits alone
};

Document& TheDocument() {
  static Document* document = [] {
    auto* d = new Document;
    TPaper& paper = d->window.Paper();
    if (!paper.NewDocument("bench.psd", &d->window.Flow(), false, false, 350, kSide, kSide)) std::abort();
    CLayerMngr& layers = paper.Layers();
    uint64_t seed = 61;
    CBlockVMTC& photo = *layers.Get(0)->Store();
    for (int32_t y = 0; y < kSide; ++y)
      for (int32_t x = 0; x < kSide; ++x) {
        const uint32_t n = uint32_t(XorShift64(seed) & 15);
        photo.SetPixel(x, y, Pack(255, (x / 20 + n) & 0xFF, (y / 18 + 40 + n) & 0xFF, ((x + y) / 40 + n) & 0xFF));
      }
    photo.Compact();
    for (int32_t i = 1; i < kLayers; ++i) {
      const int32_t at = layers.InsertLayer(i, kSide, kSide, true, 255, false, uint8_t(i % 4 == 0 ? 3 : i % 22));
      if (at < 0) std::abort();
      layers.AssignDefaultName(at, 1);
      CBlockVMTC& store = *layers.Get(at)->Store();
      if (i % 4 == 1) {  // flat fills
        for (int32_t r = 0; r < 4; ++r) {
          const int32_t x0 = int32_t(XorShift64(seed) % 3000), y0 = int32_t(XorShift64(seed) % 3000);
          SRectWH rect{x0, y0, 1000, 900};
          store.FillRect(rect, Pack(255, uint32_t(XorShift64(seed) & 0xFF), 90, 200));
        }
      } else if (i % 4 == 3) {  // a fading veil
        for (int32_t y = kSide / 2; y < kSide; ++y) {
          SRectWH row{0, y, kSide, 1};
          store.FillRect(row, Pack(uint32_t((y - kSide / 2) * 255 / (kSide / 2)), 30, 60, 120));
        }
      } else {  // strokes
        for (int32_t s = 0; s < 6; ++s)
          PaintWalkStroke(store, kSide, seed, uint32_t(XorShift64(seed)), 6 + s % 10, 2000);
      }
      store.Compact();
    }
    CMaskMngr& masks = *paper.MaskMngr();
    masks.Clear();
    for (int32_t m = 0; m < kMasks; ++m) {
      auto mask = CMaskData::Create(masks.GetCount(), kSide, kSide);
      CBlockVCH& values = *mask->Store();
      for (int32_t y = 0; y < kSide; ++y)
        for (int32_t x = 0; x < kSide; ++x) {
          const double dx = (x - 2048.0) / (900.0 + 300 * m), dy = (y - 2048.0) / 1500.0;
          const double dd = dx * dx + dy * dy;
          if (dd < 1.0) *values.PixelPtr(x, y, true) = m % 2 == 0 ? 255 : uint8_t(255 * (1.0 - dd));
        }
      values.Compact();
      masks.InsertMask(masks.GetCount(), mask);
    }
    masks.Renumber();
    masks.SetActive(0);
    paper.RedrawAll(false);
    // Planes for PackBits alone: the photo's red, a fill layer's alpha, a stroke layer's green.
    for (const auto& [layer, lane] : {std::pair{0, 2}, std::pair{1, 3}, std::pair{2, 1}}) {
      const CBlockVMTC& store = *layers.Get(layer)->Store();
      for (int32_t y = 0; y < kSide; ++y)
        for (int32_t x = 0; x < kSide; ++x) d->plane.push_back(uint8_t(store.GetPixel(x, y) >> (8 * lane)));
    }
    if (ExportPsdFile(d->psd, paper, 6, true) != 0) std::abort();
    if (!SaveDocFile(d->tfi, paper, kTfiFlags)) std::abort();
    return d;
  }();
  return *document;
}

void BM_PsdExport(benchmark::State& state) {
  Document& d = TheDocument();
  for (auto _ : state)
    if (ExportPsdFile(d.psd, d.window.Paper(), 6, true) != 0) state.SkipWithError("export failed");
  state.counters["size_MB"] = double(std::filesystem::file_size(d.psd)) / 1e6;
}

void BM_PsdImport(benchmark::State& state) {
  Document& d = TheDocument();
  for (auto _ : state) {
    HeadlessDocumentWindow window;
    if (ImportPsdFile(d.psd, window.Paper()) != 0) state.SkipWithError("import failed");
  }
}

void BM_TfiSave(benchmark::State& state) {
  Document& d = TheDocument();
  for (auto _ : state)
    if (!SaveDocFile(d.tfi, d.window.Paper(), kTfiFlags)) state.SkipWithError("save failed");
  state.counters["size_MB"] = double(std::filesystem::file_size(d.tfi)) / 1e6;
}

void BM_TfiLoad(benchmark::State& state) {
  Document& d = TheDocument();
  for (auto _ : state) {
    HeadlessDocumentWindow window;
    if (LoadDocFile(d.tfi, window.Paper()) != 0) state.SkipWithError("load failed");
  }
}

#if TF_BENCH_HAVE_MAGICK
void BM_MagickRead(benchmark::State& state) {
  Document& d = TheDocument();
  // Debian's policy caps ImageMagick's pixel cache far below 20 layers of 4096 x 4096; a policy
  // of our own raises the caps, and holds it to one thread as our importer runs on one.
  static const bool configured = [] {
    const std::string policy = Folder() + "/policy.xml";
    if (FILE* f = std::fopen(policy.c_str(), "w")) {
      std::fputs("<policymap>\n"
                 "  <policy domain=\"resource\" name=\"memory\" value=\"16GiB\"/>\n"
                 "  <policy domain=\"resource\" name=\"map\" value=\"16GiB\"/>\n"
                 "  <policy domain=\"resource\" name=\"area\" value=\"8GP\"/>\n"
                 "  <policy domain=\"resource\" name=\"disk\" value=\"32GiB\"/>\n"
                 "  <policy domain=\"resource\" name=\"thread\" value=\"1\"/>\n"
                 "</policymap>\n",
                 f);
      std::fclose(f);
    }
    ::setenv("MAGICK_CONFIGURE_PATH", Folder().c_str(), 1);
    MagickCoreGenesis(nullptr, MagickFalse);
    return true;
  }();
  (void)configured;
  for (auto _ : state) {
    ExceptionInfo* exception = AcquireExceptionInfo();
    ImageInfo* info = AcquireImageInfo();
    CopyMagickString(info->filename, d.psd.c_str(), MagickPathExtent);
    Image* images = ReadImage(info, exception);
    if (images == nullptr) {
      std::fprintf(stderr, "ImageMagick: %s %s\n", exception->reason ? exception->reason : "",
                   exception->description ? exception->description : "");
      state.SkipWithError("ImageMagick could not read the file");
    } else if (GetImageListLength(images) != kLayers + 1) {
      std::fprintf(stderr, "ImageMagick read %zu images\n", size_t(GetImageListLength(images)));
      state.SkipWithError("ImageMagick read another layer count");
    }
    if (images != nullptr) DestroyImageList(images);
    DestroyImageInfo(info);
    DestroyExceptionInfo(exception);
  }
}
#endif

void BM_PackBitsEncode(benchmark::State& state) {
  Document& d = TheDocument();
  std::vector<uint8_t> out(static_cast<size_t>(PackBitsBound(kSide)));
  int64_t packed = 0;
  for (auto _ : state) {
    packed = 0;
    for (size_t at = 0; at < d.plane.size(); at += kSide) packed += PackBitsEncodeRow(d.plane.data() + at, kSide, out.data());
    benchmark::DoNotOptimize(packed);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(d.plane.size()));
  state.counters["ratio"] = double(packed) / double(d.plane.size());
}

void BM_PackBitsDecode(benchmark::State& state) {
  Document& d = TheDocument();
  std::vector<uint8_t> packed;
  std::vector<int64_t> counts;
  std::vector<uint8_t> row(static_cast<size_t>(PackBitsBound(kSide)));
  for (size_t at = 0; at < d.plane.size(); at += kSide) {
    const int64_t n = PackBitsEncodeRow(d.plane.data() + at, kSide, row.data());
    packed.insert(packed.end(), row.begin(), row.begin() + n);
    counts.push_back(n);
  }
  std::vector<uint8_t> out(kSide);
  for (auto _ : state) {
    size_t at = 0;
    for (int64_t n : counts) {
      if (!PackBitsDecodeRow(packed.data() + at, n, out.data(), kSide)) state.SkipWithError("decode failed");
      at += static_cast<size_t>(n);
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(d.plane.size()));
}

class PsdReporter : public benchmark::ConsoleReporter {
 public:
  PsdReporter() : ConsoleReporter(OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      const std::string name = run.run_name.function_name;
      // With repetitions a name's time is the median of its runs.
      std::vector<double>& seen = samples_[name];
      seen.push_back(run.GetAdjustedRealTime());
      std::vector<double> sorted = seen;
      std::sort(sorted.begin(), sorted.end());
      const size_t n = sorted.size();
      ms_[name] = n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
      auto size = run.counters.find("size_MB");
      if (size != run.counters.end()) mb_[name] = size->second.value;
      auto bytes = run.counters.find("bytes_per_second");
      if (bytes != run.counters.end()) mbs_[name] = bytes->second.value / 1e6;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nDocument of %d layers and %d masks, %d x %d:\n", kLayers, kMasks, kSide, kSide);
    std::printf("  PSD export %.0f ms (%.1f MB), import %.0f ms\n", ms_["BM_PsdExport"], mb_["BM_PsdExport"],
                ms_["BM_PsdImport"]);
    std::printf("  .tfi save %.0f ms (%.1f MB), load %.0f ms\n", ms_["BM_TfiSave"], mb_["BM_TfiSave"],
                ms_["BM_TfiLoad"]);
    if (ms_["BM_TfiSave"] > 0 && ms_["BM_TfiLoad"] > 0)
      std::printf("  export / .tfi save %.2f, import / .tfi load %.2f (goal: at most 1.5)\n",
                  ms_["BM_PsdExport"] / ms_["BM_TfiSave"], ms_["BM_PsdImport"] / ms_["BM_TfiLoad"]);
    if (ms_["BM_MagickRead"] > 0)
      std::printf("  ImageMagick read %.0f ms: import is %.2fx as fast (goal: at least 2)\n", ms_["BM_MagickRead"],
                  ms_["BM_MagickRead"] / ms_["BM_PsdImport"]);
    std::printf("  PackBits encode %.0f MB/s, decode %.0f MB/s\n", mbs_["BM_PackBitsEncode"], mbs_["BM_PackBitsDecode"]);
  }

 private:
  std::map<std::string, double> ms_, mb_, mbs_;
  std::map<std::string, std::vector<double>> samples_;
};

BENCHMARK(BM_PsdExport)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_PsdImport)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_TfiSave)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_TfiLoad)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
#if TF_BENCH_HAVE_MAGICK
BENCHMARK(BM_MagickRead)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
#endif
BENCHMARK(BM_PackBitsEncode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PackBitsDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tf

int main(int argc, char** argv) {
  tf::PsdReporter reporter;
  return tf::RunBenchmarks(argc, argv, reporter);
}
