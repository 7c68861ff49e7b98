// The first version's recordings: a long seeded stream (strokes of the five pen types with
// commands between) played to the end through PlayOldEvents, beside the same strokes drawn
// directly through BeginStrokeDirect, StrokeTo and EndStroke; prints the ratio of the two and the
// ratio to the stream's duration at a person's pace (100 points a second, one second a command).
// And a 4000 x 3000 .wpb of 8 layers: LoadOldDocument beside reading the file alone.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "events/EventStream.h"
#include "events/OldEventPacket.h"
#include "files/OldDocument.h"
#include "paint/Stroke.h"
#include "paper/FlowImage.h"
#include "paper/HeadlessWindow.h"
#include "paper/Paper.h"
#include "platform/Debug.h"
#include "playback/OldPlayer.h"
#include "raster/MyStream.h"

namespace {

using namespace tf;

constexpr uint16_t kW = 800, kH = 600;
constexpr int32_t kStrokes = 2000;
constexpr int32_t kPointsPerStroke = 24;

struct SBenchStroke {
  uint8_t type, layer, switches;
  uint32_t colour;
  uint16_t width;
  std::vector<int16_t> xyp;  // x, y, pressure x 1024
};

struct SBenchStream {
  std::vector<uint8_t> bytes;
  std::vector<SBenchStroke> strokes;
  int64_t points = 0;
  int64_t commands = 0;
};

void U16(std::vector<uint8_t>& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}

const SBenchStream& Stream() {
  static const SBenchStream stream = [] {
    SBenchStream s;
    uint32_t r = 4242;
    auto next = [&r] { return r = r * 1664525u + 1013904223u, r >> 8; };
    auto& b = s.bytes;
    U16(b, 512), U16(b, kW), U16(b, kH);
    U16(b, 256), b.push_back(0), U16(b, 256), b.push_back(0);
    s.commands = 3;
    for (int32_t i = 0; i < kStrokes; ++i) {
      SBenchStroke k{static_cast<uint8_t>(i % 5),
                     static_cast<uint8_t>(next() % 3),
                     static_cast<uint8_t>(next() % 4),
                     next() & 0xFFFFFF,
                     static_cast<uint16_t>((2 + next() % 14) * 256),
                     {}};
      int32_t x = static_cast<int32_t>(next() % kW), y = static_cast<int32_t>(next() % kH);
      for (int32_t p = 0; p < kPointsPerStroke; ++p) {
        x = std::clamp<int32_t>(x + static_cast<int32_t>(next() % 21) - 10, 0, kW - 1);
        y = std::clamp<int32_t>(y + static_cast<int32_t>(next() % 21) - 10, 0, kH - 1);
        k.xyp.insert(k.xyp.end(), {static_cast<int16_t>(x), static_cast<int16_t>(y),
                                   static_cast<int16_t>(512 + next() % 512)});
      }
      U16(b, k.type);
      b.push_back(k.layer);
      b.push_back(static_cast<uint8_t>(k.colour >> 16)), b.push_back(static_cast<uint8_t>(k.colour >> 8)),
          b.push_back(static_cast<uint8_t>(k.colour));
      b.push_back(k.switches);
      for (uint16_t v : {uint16_t(20 * 256), k.width, uint16_t(256), uint16_t(128), uint16_t(128), uint16_t(256)})
        U16(b, v);
      for (int32_t c = 0; c < 3; ++c) U16(b, static_cast<uint16_t>(k.xyp[c]));
      U16(b, kPointsPerStroke - 1);
      for (size_t c = 3; c < k.xyp.size(); ++c) U16(b, static_cast<uint16_t>(k.xyp[c]));
      s.points += kPointsPerStroke;
      s.strokes.push_back(std::move(k));
      if (i % 10 == 9) {  // a command between
        U16(b, 273), b.push_back(static_cast<uint8_t>(next() % 3));
        ++s.commands;
      }
    }
    U16(b, 0xFFFF);
    return s;
  }();
  return stream;
}

struct SBenchDocument {
  SBenchDocument() {
    window.stroke = &stroke;
    if (CEventMngr* events = window.Paper().EventMngr(); events != nullptr) events->resetStream();
    UseStrokeEngine0(window.Paper());
  }
  HeadlessDocumentWindow window;
  TStroke stroke{0};
};


void BM_PlayOldStream(benchmark::State& state) {
  SetDebugSink([](std::string_view) {});
  const SBenchStream& s = Stream();
  for (auto _ : state) {
    SBenchDocument d;
    TEventPacket packets;
    TMyMemory m(1024);
    m.Write(s.bytes.data(), static_cast<int32_t>(s.bytes.size()));
    m.RewindRead();
    bool sealed = false;
    if (!packets.Validate(m, sealed)) state.SkipWithError("stream refused");
    uint16_t code = 0;
    int32_t changed = 0;
    while (PlayOldEvents(d.window.Paper(), &d.window.Flow(), packets, code, changed, 0, d.stroke,
                         [] { return std::string("untitled"); })) {
    }
  }
  state.counters["points"] = static_cast<double>(s.points);
}

void BM_DirectStrokes(benchmark::State& state) {
  SetDebugSink([](std::string_view) {});
  const SBenchStream& s = Stream();
  for (auto _ : state) {
    SBenchDocument d;
    TPaper& paper = d.window.Paper();
    TFlowImage* flow = &d.window.Flow();
    paper.NewDocumentWithSlots("untitled", flow, kH, kW);
    paper.AddTopLayer(flow, 0);
    paper.AddTopLayer(flow, 0);
    for (const SBenchStroke& k : s.strokes) {
      TStroke& st = d.stroke;
      st.SetPenType(k.type);
      st.SetLayerIndex(k.layer);
      st.SetColor(k.colour);
      st.SetIfSize((k.switches & 1) != 0);
      st.SetIfTransparency((k.switches & 2) != 0);
      st.SetIfEdge(false);
      st.SetMin(20);
      st.SetWidth(k.width / 256.0f);
      st.SetGamma(1);
      st.SetEffect(0.5f);
      st.SetEnv(0.5f);
      st.SetSpeed(1);
      paper.BeginStrokeDirect(flow, st, true, k.xyp[0], k.xyp[1], k.xyp[2] / 1024.0f);
      for (size_t c = 3; c < k.xyp.size(); c += 3)
        paper.StrokeTo(flow, st, true, 0, k.xyp[c], k.xyp[c + 1], k.xyp[c + 2] / 1024.0f);
      SRectWH rect{};
      paper.EndStroke(flow, st, true, rect, 0);
      paper.UpdateThumbnailsRect(false, k.layer, rect);
    }
  }
}

// ---- .wpb
constexpr int32_t kWpbW = 4000, kWpbH = 3000, kWpbLayers = 8;

const std::string& WpbPath() {
  static const std::string path = [] {
    const std::string p = "/tmp/bench_old_document_" + std::to_string(::getpid()) + ".wpb";
    std::vector<uint8_t> b;
    auto u32 = [&b](uint32_t v) { U16(b, static_cast<uint16_t>(v)), U16(b, static_cast<uint16_t>(v >> 16)); };
    b.insert(b.end(), {'W', 'P', 'B', '2'});
    u32(0), u32(kWpbW), u32(kWpbH), u32(0xFFFFFF);
    b.insert(b.end(), {kWpbLayers - 1, 0, 0, 0});
    u32(0), u32(0);
    uint32_t r = 99;
    for (int32_t l = 0; l < kWpbLayers; ++l) {
      b.insert(b.end(), {0, 255, 1, 0, 0, 0, 0, 0});
      const size_t lengthAt = b.size();
      u32(0);
      // Rows of a few repeated runs and some literals, as a painting compresses.
      for (int32_t y = 0; y < kWpbH; ++y) {
        int32_t x = 0;
        while (x < kWpbW) {
          r = r * 1664525u + 1013904223u;
          if ((r >> 28) < 12) {
            const int32_t n = std::min<int32_t>(1 + static_cast<int32_t>((r >> 8) % 124), kWpbW - x);
            b.push_back(static_cast<uint8_t>(n)), b.push_back(static_cast<uint8_t>(r)),
                b.push_back(static_cast<uint8_t>(l)), b.push_back(static_cast<uint8_t>(y));
            x += n;
          } else {
            const int32_t n = std::min<int32_t>(1 + static_cast<int32_t>((r >> 8) % 16), kWpbW - x);
            b.push_back(static_cast<uint8_t>(255 - n));
            for (int32_t i = 0; i < n; ++i)
              b.push_back(static_cast<uint8_t>(i)), b.push_back(static_cast<uint8_t>(r >> 3)),
                  b.push_back(static_cast<uint8_t>(x));
            x += n;
          }
        }
      }
      const uint32_t length = static_cast<uint32_t>(b.size() - lengthAt - 4);
      for (int i = 0; i < 4; ++i) b[lengthAt + i] = static_cast<uint8_t>(length >> (8 * i));
    }
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    return p;
  }();
  return path;
}

void BM_LoadOldDocument(benchmark::State& state) {
  SetDebugSink([](std::string_view) {});
  const std::string& path = WpbPath();
  for (auto _ : state) {
    HeadlessDocumentWindow window;
    TEventPacket packets;
    if (!LoadOldDocument(window.Paper(), &window.Flow(), path, packets)) state.SkipWithError("load failed");
  }
}

void BM_ReadWpbFileAlone(benchmark::State& state) {
  const std::string& path = WpbPath();
  for (auto _ : state) {
    TMyMemory m(0);
    if (!m.LoadFromFile(path)) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(m.GetBuffer());
  }
}

BENCHMARK(BM_PlayOldStream)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DirectStrokes)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LoadOldDocument)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReadWpbFileAlone)->Unit(benchmark::kMillisecond)->Iterations(3);

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) seconds_[run.benchmark_name()] = run.GetAdjustedRealTime() / 1e3;
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    auto get = [this](const char* name) {
      for (const auto& [key, value] : seconds_)
        if (key.rfind(name, 0) == 0) return value;
      return 0.0;
    };
    const SBenchStream& s = Stream();
    const double play = get("BM_PlayOldStream"), direct = get("BM_DirectStrokes");
    const double pace = static_cast<double>(s.points) / 100.0 + static_cast<double>(s.commands);
    const double load = get("BM_LoadOldDocument"), read = get("BM_ReadWpbFileAlone");
    std::printf(
        "older stream: %lld points, %lld commands; played in %.3f s; person's pace %.0f s: %.0fx faster\n",
        static_cast<long long>(s.points), static_cast<long long>(s.commands), play, pace, pace / play);
    std::printf("played / drawn directly: %.3f\n", play / direct);
    std::printf(".wpb 4000 x 3000 x 8: load / read the file alone: %.2f\n", load / read);
    ::unlink(WpbPath().c_str());
  }

 private:
  std::map<std::string, double> seconds_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
