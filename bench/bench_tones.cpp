// Screen tones: a 4096 x 4096 rectangle painted through the tone writer (a screen of cell 8 at
// 45 degrees, whose tile is 362 x 181) against the same through the plain writer; the set-up time
// of that screen; and loading a tone set of 64 tones against zlib inflating the same packed
// bytes alone.
#include <zlib.h>

#include <cstdio>
#include <vector>

#include "BenchSupport.h"
#include "paint/PaintDocument.h"
#include "paint/PixelWriters.h"
#include "paint/Stroke.h"
#include "paint/ToneRecord.h"
#include "paint/ToneSet.h"
#include "platform/ByteOrder.h"
#include "platform/Stream.h"
#include "raster/ChunkStream.h"
#include "raster/FlatImage.h"
#include "raster/ImageChunk.h"

namespace tf {
namespace {

constexpr int32_t kSide = 4096;

SToneAttr Screen45() {
  SToneAttr a;
  InitToneAttr(a);
  a.shape = 0;
  a.resolution = 600;
  a.ruling = 75;  // cell 8
  a.angle = 45;
  a.density = 35;
  return a;
}

class ToneDocument final : public PaintDocument {
 public:
  explicit ToneDocument(ToneSampler* tones) : tones_(tones) {}
  bool HasModernEngine() const override { return true; }
  bool IsLockedForPlayback() const override { return false; }
  bool HasLayers() const override { return true; }
  bool ActiveLayerKeepsAlpha() const override { return false; }
  bool GetLayerBlendMode(int32_t, uint32_t& mode) const override {
    mode = 3;
    return true;
  }
  bool IsSelectionEnabled() const override { return false; }
  MaskSampler* GetActiveMask() override { return nullptr; }
  TPoint GetActiveMaskOrigin() const override { return {0, 0}; }
  TPoint GetActiveLayerOffset() const override { return {0, 0}; }
  ToneSampler* GetToneSampler() override { return tones_; }
  uint32_t GradationColorAt(int32_t, int32_t) override { return 0; }

 private:
  ToneSampler* tones_;
};

void PaintRectangle(benchmark::State& state, bool tone) {
  CToneMngr tones;
  tones.AddTone(Screen45(), true, nullptr);
  tones.SetCurrent(0);
  ToneDocument doc(&tones);
  ResetPixelWriters();
  SetCurrentDrawWindow(&doc);
  TStroke stroke(2);
  stroke.SetUseTone(tone, false);
  BindStrokeToPaper(stroke, &doc);
  TMTC image(kSide, kSide);
  image.FillAll(0x00FFFFFFu);
  for (auto _ : state) {
    WithImageWriter([&](auto write) {
      for (int32_t y = 0; y < kSide; ++y) {
        uint32_t* row = image.Pixel(0, y);
        for (int32_t x = 0; x < kSide; ++x) write(row + x, x, y, 200, 0xFF204080u);
      }
    });
    benchmark::DoNotOptimize(image.Bits());
  }
  SetPixelRate(state, double{kSide} * kSide);
  SetCurrentDrawWindow(nullptr);
  ResetPixelWriters();
}

void BM_PlainWriter(benchmark::State& state) { PaintRectangle(state, false); }
void BM_ToneWriter(benchmark::State& state) { PaintRectangle(state, true); }

void BM_ToneSetup45(benchmark::State& state) {
  for (auto _ : state) {
    CToneMaker maker;
    benchmark::DoNotOptimize(maker.Setup(0, 0, 8.0f, 45.0f, 35.0f));
  }
  state.counters["tile"] = 362 * 181;
}

// A tone set file of 64 tones with their 64 x 64 previews, in memory.
std::vector<uint8_t> ToneSetBytes() {
  CToneMngr set;
  for (int32_t i = 0; i < 64; ++i) {
    SToneAttr a = Screen45();
    a.shape = static_cast<uint8_t>(i % 10);
    a.density = static_cast<float>(i + 10);
    a.angle = static_cast<float>(i % 4) * 15.0f;
    set.AddTone(a, true, nullptr);
  }
  MemoryStream stream;
  uint8_t header[kToneSetHeaderBytes] = {};
  StoreU32(header, kToneSetId);
  StoreU32(header + 4, 24);
  StoreU16(header + 10, 1);
  StoreU16(header + 12, 64);
  stream.WriteExact(header, sizeof header);
  for (int32_t i = 0; i < set.Count(); ++i) {
    const CPat8& p = *static_cast<const CPat8*>(set.GetItem(i));
    WritePatternRecord(stream, p);
  }
  return stream.TakeBytes();
}

// The packed pieces of that file with the byte pass already undone: what zlib alone inflates.
std::vector<std::vector<uint8_t>> PackedPieces(const std::vector<uint8_t>& file) {
  std::vector<std::vector<uint8_t>> pieces;
  size_t at = kToneSetHeaderBytes;
  while (at + 8 <= file.size()) {
    const uint32_t id = LoadU32(file.data() + at), size = LoadU32(file.data() + at + 4);
    if (id == kChunkImage) {
      const SImageChunkInfo info = DecodeImageChunkInfo(file.data() + at + 8);
      std::vector<uint8_t> p(file.begin() + static_cast<long>(at + 48),
                             file.begin() + static_cast<long>(at + 48 + static_cast<size_t>(info.packedLength)));
      UndoBytePass(p.data(), p.size(), info.groupSize, info.xorByte, info.stride);
      pieces.push_back(std::move(p));
    }
    at += 8 + size;
  }
  return pieces;
}

void BM_LoadToneSet64(benchmark::State& state) {
  const std::vector<uint8_t> file = ToneSetBytes();
  for (auto _ : state) {
    CToneMngr set;
    MemoryStream stream(file);
    benchmark::DoNotOptimize(LoadToneSetFromStream(stream, "bench.tts", set, false));
  }
  SetPixelRate(state, 64.0 * 4096, 1);
}

void BM_InflateOnly64(benchmark::State& state) {
  const std::vector<std::vector<uint8_t>> pieces = PackedPieces(ToneSetBytes());
  std::vector<uint8_t> out(4096);
  for (auto _ : state) {
    for (const auto& p : pieces) {
      uLongf n = out.size();
      benchmark::DoNotOptimize(uncompress(out.data(), &n, p.data(), p.size()));
    }
  }
  SetPixelRate(state, static_cast<double>(pieces.size()) * 4096, 1);
}

BENCHMARK(BM_PlainWriter)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ToneWriter)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ToneSetup45)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadToneSet64)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_InflateOnly64)->Unit(benchmark::kMicrosecond)->UseRealTime();

class ToneReporter : public RateReporter {
 public:
  void Finalize() override {
    ConsoleReporter::Finalize();
    auto ratio = [&](const char* ours, const char* peer, const char* what, double aim) {
      auto a = rates_.find(std::string(ours) + "/real_time");
      auto b = rates_.find(std::string(peer) + "/real_time");
      if (a == rates_.end() || b == rates_.end() || b->second <= 0) return;
      std::printf("%-52s %.3fx (aim >= %.1fx)\n", what, a->second / b->second, aim);
    };
    std::printf("\n");
    ratio("BM_ToneWriter", "BM_PlainWriter", "tone writer against the plain writer, 4096^2:", 0.5);
    ratio("BM_LoadToneSet64", "BM_InflateOnly64", "64-tone .tts load against zlib inflate alone:", 0.8);
  }
};

}  // namespace
}  // namespace tf

int main(int argc, char** argv) {
  tf::ToneReporter reporter;
  return tf::RunBenchmarks(argc, argv, reporter);
}
