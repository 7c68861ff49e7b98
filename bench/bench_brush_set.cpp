// Brush set start-up: loading a 200-brush .pmt (128 x 128 icons, 64 x 64 image nibs) from memory
// against zlib inflating the same packed bytes alone (the icon and nib pictures' deflate streams,
// already out of their byte pass), in the same run. Also the first-start path: the built-in pen
// icons built and the nine default brushes made, as when no preset file exists.
//
// Run: build/bench/bench/bench_brush_set
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "paint/NibPreset.h"
#include "paint/PaintParam.h"
#include "paint/PenMethod.h"
#include "paint/PenMethodFile.h"
#include "platform/ByteOrder.h"
#include "platform/Stream.h"
#include "raster/FlatImage.h"
#include "raster/ImageChunk.h"

namespace tf {
namespace {

constexpr int32_t kBrushes = 200;

struct Packed {
  std::vector<uint8_t> stream;
  size_t unpackedLength;
};

struct Fixture {
  std::vector<uint8_t> file;
  std::vector<Packed> pieces;
};

const Fixture& TheFixture() {
  static const Fixture fixture = [] {
    Fixture f;
    CPenMethodMngr set;
    uint64_t seed = 7;
    for (int32_t i = 0; i < kBrushes; ++i) {
      TPaintParam p(static_cast<uint8_t>(9 + i % 9));
      TMTC icon(128, 128);
      for (int32_t y = 0; y < 128; ++y) {
        for (int32_t x = 0; x < 128; ++x) {
          // A soft picture with some grain, as drawn icons are.
          const uint32_t grain = static_cast<uint32_t>(XorShift64(seed) & 7);
          *icon.Pixel(x, y) = 0xFF000000u | ((x + i) & 0xFF) << 16 | ((y * 2) & 0xFF) << 8 | ((x ^ y) & 0xF8) | grain;
        }
      }
      p.SetIcon(&icon);
      TChannel nib(64, 64);
      for (int32_t y = 0; y < 64; ++y) {
        for (int32_t x = 0; x < 64; ++x) {
          const int32_t d = (x - 32) * (x - 32) + (y - 32) * (y - 32);
          *PixelAddr8(nib.View(), x, y) = static_cast<uint8_t>(d > 1000 ? 255 : d / 4 + (XorShift64(seed) & 3));
        }
      }
      p.SetNibImage(&nib);
      auto brush = std::make_unique<CPenMethodObj>();
      brush->SetNib(std::make_unique<CPenShapeObj>());
      p.SaveToPenMethod(brush.get());
      set.Add(std::move(brush));
    }
    MemoryStream stream;
    if (WriteBrushSet(stream, set) != 0) std::abort();
    stream.Seek(0, SeekOrigin::kBegin);
    f.file.resize(static_cast<size_t>(stream.Size()));
    stream.ReadExact(f.file.data(), f.file.size());
    // Every TTNL chunk's deflate stream.
    for (size_t at = kBrushSetHeaderBytes; at + 8 <= f.file.size();) {
      const uint32_t id = LoadU32(f.file.data() + at);
      const uint32_t size = LoadU32(f.file.data() + at + 4);
      if (id == kChunkImage) {
        const SImageChunkInfo info = DecodeImageChunkInfo(f.file.data() + at + 8);
        std::vector<uint8_t> bytes(f.file.data() + at + 48, f.file.data() + at + 48 + info.packedLength - info.tail);
        UndoBytePass(bytes.data(), bytes.size(), info.groupSize, info.xorByte, info.stride);
        f.pieces.push_back(Packed{std::move(bytes), static_cast<size_t>(info.unpackedLength)});
      }
      at += 8 + size;
    }
    return f;
  }();
  return fixture;
}

void BM_LoadBrushSet(benchmark::State& state) {
  const Fixture& f = TheFixture();
  for (auto _ : state) {
    MemoryStream stream(std::vector<uint8_t>(f.file));
    CPenMethodMngr set;
    if (ReadBrushSet(stream, set, false, "bench.pmt") != 0 || set.Count() != kBrushes) state.SkipWithError("load");
    benchmark::DoNotOptimize(set.Count());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(f.file.size()));
}

void BM_ZlibInflatePeer(benchmark::State& state) {
  const Fixture& f = TheFixture();
  std::vector<uint8_t> out;
  for (auto _ : state) {
    for (const Packed& piece : f.pieces) {
      out.resize(piece.unpackedLength);
      uLongf length = static_cast<uLongf>(out.size());
      if (uncompress(out.data(), &length, piece.stream.data(), static_cast<uLong>(piece.stream.size())) != Z_OK) {
        state.SkipWithError("inflate");
      }
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(f.file.size()));
}

void BM_FirstStart(benchmark::State& state) {
  for (auto _ : state) {
    ReleasePenIcons();
    BuildPenIcons();
    CPenMethodMngr set;
    set.AddMissingKinds();
    benchmark::DoNotOptimize(set.Count());
  }
}

BENCHMARK(BM_LoadBrushSet)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibInflatePeer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstStart)->Unit(benchmark::kMillisecond);

// Keeps each run's real time per iteration for the summary.
class TimeReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) times[run.benchmark_name()] = run.GetAdjustedRealTime();
  }
  std::map<std::string, double> times;
};

}  // namespace
}  // namespace tf

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  tf::TimeReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double load = reporter.times["BM_LoadBrushSet"];
  const double inflate = reporter.times["BM_ZlibInflatePeer"];
  if (load > 0 && inflate > 0) {
    std::printf("200-brush .pmt (%zu bytes): load %.3f ms, zlib inflate alone %.3f ms, ratio %.2fx (aim >= 0.8x)\n",
                tf::TheFixture().file.size(), load, inflate, inflate / load);
  }
  std::printf("first start (built-in icons and nine default brushes): %.3f ms\n", reporter.times["BM_FirstStart"]);
  benchmark::Shutdown();
  return 0;
}
