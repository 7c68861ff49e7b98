// Recording: a scripted painting of 100,000 commands and state changes recorded through the
// recorder's writers (state groups compared byte for byte, strokes buffered 16 points to a
// packet), beside its peer: the raw append rate of the event stream for exactly the packets
// and steps that recording produced, appended from ready-made bytes in the same run.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "events/EventStream.h"
#include "events/RecordSources.h"
#include "raster/FlatImage.h"

namespace tf {
namespace {

constexpr int kCommands = 100000;
constexpr uint32_t kBlockSize = 65536;

class Document : public IRecordedDocument {
 public:
  uint32_t paperColor() const override { return paper; }
  bool showCanvasColor() const override { return true; }
  bool backgroundPattern() const override { return false; }
  bool selectionEnabled() const override { return selection; }
  int32_t activeLayerIndex() const override { return layer; }
  int32_t activeMaskIndex() const override { return -1; }
  void gradationPoints(TPoint& s, TPoint& e) const override {
    s = TPoint{0, 0};
    e = TPoint{100, 50};
  }
  SGradOption gradationOptions() const override { return SGradOption{0, 0, 0, 0, 1}; }
  const CColorSlotGroup* gradationSlots() const override { return &slots; }
  int32_t strokeEngine() const override { return 2; }
  bool imageNib(SRecordedNib&) const override { return false; }
  bool layerAttributes(int32_t, uint8_t& mode, uint8_t& opacity, uint16_t& flags) const override {
    mode = 3;
    opacity = 255;
    flags = 1;
    return true;
  }
  bool layerOrigin(int32_t, TPoint& origin) const override {
    origin = TPoint{0, 0};
    return true;
  }
  uint32_t paper = 0xFFFFFF;
  bool selection = false;
  int32_t layer = 0;
  CColorSlotGroup slots{16};
};

class Stroke : public IRecordedStroke {
 public:
  void recordedStroke(SRecordedStroke& out) const override { out = s; }
  SRecordedStroke s;
};

class Pen : public IRecordedPen {
 public:
  void recordedPen(SRecordedPen& out) const override { out = p; }
  SRecordedPen p;
};

struct Sources {
  Document document;
  Stroke stroke;
  Pen pen;
};

// One command of the script: a setting changed first (or none), then the command.
struct Command {
  uint8_t setting;  // 0 pen colour, 1 width, 2 opacity, 3 active layer, 4 none
  uint8_t kind;     // 0 stroke, 1 layer opacity, 2 select a rectangle, 3 fill a rectangle, 4 filter
  uint32_t value;
  uint32_t firstPoint;  // strokes: the points [firstPoint, firstPoint + pointCount) of the script
  uint32_t pointCount;
};

struct Point {
  float x, y, pressure;
};

struct Script {
  std::vector<Command> commands;
  std::vector<Point> points;
};

// The painting, made once before anything is timed: strokes of 8 to 70 points (most commands),
// layer and selection commands, fills and filters, with a setting changed before about one
// command in four.
Script MakeScript() {
  Script script;
  uint64_t seed = 88172645463325252ull;
  auto next = [&seed] {
    seed ^= seed << 13;
    seed ^= seed >> 7;
    seed ^= seed << 17;
    return seed;
  };
  script.commands.reserve(kCommands);
  for (int i = 0; i < kCommands; ++i) {
    const uint64_t r = next();
    Command c{};
    c.setting = static_cast<uint8_t>(r % 16 < 4 ? r % 16 : 4);
    c.value = static_cast<uint32_t>(r >> 8);
    const int kind = static_cast<int>((r >> 40) % 20);
    c.kind = kind < 14 ? 0 : kind < 16 ? 1 : kind < 17 ? 2 : kind < 18 ? 3 : 4;
    if (c.kind == 0) {
      c.firstPoint = static_cast<uint32_t>(script.points.size());
      c.pointCount = 8 + static_cast<uint32_t>((r >> 50) % 63);
      float x = static_cast<float>((r >> 4) % 1600), y = static_cast<float>((r >> 14) % 1200);
      for (uint32_t p = 0; p < c.pointCount; ++p) {
        script.points.push_back(Point{x, y, 0.5f + static_cast<float>(p % 8) / 16.0f});
        x += 1.25f;
        y += 0.75f;
      }
    }
    script.commands.push_back(c);
  }
  return script;
}

const Script& TheScript() {
  static const Script script = MakeScript();
  return script;
}

// Records the script: the recorder's calls and nothing else.
void Paint(CEventMngr& m, Sources& s) {
  const Script& script = TheScript();
  m.writeNewDocument(1600, 1200, 1600, 1200, 350, true, false);
  m.startRecording();
  for (const Command& c : script.commands) {
    switch (c.setting) {
      case 0: s.stroke.s.color = c.value; break;
      case 1: s.stroke.s.width = static_cast<float>(1 + (c.value >> 12) % 64); break;
      case 2: s.stroke.s.opacity = static_cast<float>((c.value >> 4) % 100) / 100.0f; break;
      case 3: s.document.layer = static_cast<int32_t>((c.value >> 22) % 4); break;
      default: break;
    }
    const auto layer = static_cast<int16_t>(s.document.layer);
    switch (c.kind) {
      case 0: {
        const Point* p = script.points.data() + c.firstPoint;
        m.beginStroke(p[0].x, p[0].y, p[0].pressure);
        for (uint32_t i = 1; i < c.pointCount; ++i) m.addStrokePoint(p[i].x, p[i].y, p[i].pressure);
        m.endStroke();
        break;
      }
      case 1: m.writeLayerOpacity(layer, static_cast<uint8_t>(c.value >> 16)); break;
      case 2: {
        const TPoint a{10, 20}, b{300, 200};
        m.writeMaskRect(0, -1, 16, 0, &a, &b);
        break;
      }
      case 3: {
        const TPoint a{5, 5};
        const SPointF b{500.0f, 300.0f};
        m.writeFill(layer, 0, 1, &a, &b);
        break;
      }
      default: {
        const int32_t params[2] = {3, 4};
        m.writeFilter2(26, layer, 0, params);
        break;
      }
    }
  }
}

void Attach(CEventMngr& m, Sources& s) {
  m.attachDocument(&s.document);
  m.attachPen(&s.pen);
  m.setupRecording(&s.stroke, nullptr, 42, 42);
}

// The packets of one recording, in order, with the steps they close.
struct Packet {
  uint8_t cls, code;
  std::vector<uint8_t> payload;
  bool closesStep;
};

std::vector<Packet> MakeRecordedPackets() {
  Sources s;
  CEventMngr m(kBlockSize, 1048576);
  Attach(m, s);
  Paint(m, s);
  std::vector<Packet> packets;
  uint32_t pos = 0;
  const uint32_t end = static_cast<uint32_t>(m.committed());
  while (pos < end) {
    SPacketFrame f;
    if (!m.readPacketFrame(pos, end, f)) break;
    Packet p{f.header.cls, f.header.code, std::vector<uint8_t>(f.length), false};
    if (f.length) m.readAt(f.payloadPos, p.payload.data(), static_cast<uint32_t>(f.length));
    packets.push_back(std::move(p));
    pos = f.next();
  }
  // Every step of the painting ends with its command packet, the last points packet of a stroke
  // or a marker: the packets that are neither state, information, stroke start nor more points.
  for (Packet& p : packets)
    p.closesStep = p.cls != kPcState && p.cls != kPcInfo && p.cls != kPcPointsMore && !IsStrokeStartClass(p.cls);
  return packets;
}

// Made once, before anything is timed.
const std::vector<Packet>& RecordedPackets() {
  static const std::vector<Packet> packets = MakeRecordedPackets();
  return packets;
}

int64_t g_packets = 0;
int64_t g_bytes = 0;

void BM_RecordPainting(benchmark::State& state) {
  g_packets = static_cast<int64_t>(RecordedPackets().size());
  for (auto _ : state) {
    Sources s;
    CEventMngr m(kBlockSize, 1048576);
    Attach(m, s);
    Paint(m, s);
    benchmark::DoNotOptimize(m.committed());
    g_bytes = m.committed();
  }
  state.counters["packets/s"] =
      benchmark::Counter(static_cast<double>(g_packets) * state.iterations(), benchmark::Counter::kIsRate);
  state.counters["bytes/command"] = static_cast<double>(g_bytes) / kCommands;
  state.counters["packets/command"] = static_cast<double>(g_packets) / kCommands;
  state.SetBytesProcessed(g_bytes * state.iterations());
}
BENCHMARK(BM_RecordPainting)->Unit(benchmark::kMillisecond)->Repetitions(5);

// The script's own cost: the same calls while the recorder plays (every writer returns at once).
void BM_ScriptOnly(benchmark::State& state) {
  for (auto _ : state) {
    Sources s;
    CEventMngr m(kBlockSize, 1048576);
    Attach(m, s);
    m.state = kEventPlaying;
    Paint(m, s);
    benchmark::DoNotOptimize(m.committed());
  }
}
BENCHMARK(BM_ScriptOnly)->Unit(benchmark::kMillisecond)->Repetitions(5);

// Peer: the same packets and steps appended from ready-made bytes.
void BM_RawAppend_Peer(benchmark::State& state) {
  const auto& packets = RecordedPackets();
  int64_t bytes = 0;
  for (auto _ : state) {
    CEventMngr m(kBlockSize, 1048576);
    m.setupRecording(nullptr, nullptr, 42, 42);
    m.setWritePosition(0, 0, 0);
    for (const Packet& p : packets) {
      if (p.closesStep)
        m.appendStep(p.cls, p.code, p.payload.data(), static_cast<uint32_t>(p.payload.size()));
      else
        m.appendPacket(p.cls, p.code, p.payload.data(), static_cast<uint32_t>(p.payload.size()));
    }
    benchmark::DoNotOptimize(m.writePos());
    bytes = m.writePos();
  }
  state.counters["packets/s"] =
      benchmark::Counter(static_cast<double>(packets.size()) * state.iterations(), benchmark::Counter::kIsRate);
  state.SetBytesProcessed(bytes * state.iterations());
}
BENCHMARK(BM_RawAppend_Peer)->Unit(benchmark::kMillisecond)->Repetitions(5);

// Console output, then the recording's cost as a multiple of the raw append.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_ColorTabular : OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration) {
        // The fastest repetition: the machine's other load only ever adds time.
        auto [it, added] = times_.emplace(run.run_name.function_name, run.GetAdjustedRealTime());
        if (!added && run.GetAdjustedRealTime() < it->second) it->second = run.GetAdjustedRealTime();
      }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    auto rec = times_.find("BM_RecordPainting");
    auto raw = times_.find("BM_RawAppend_Peer");
    if (rec == times_.end() || raw == times_.end() || raw->second <= 0) return;
    std::printf("\n%d commands: %lld packets, %lld bytes (%.1f bytes and %.2f packets a command)\n", kCommands,
                static_cast<long long>(g_packets), static_cast<long long>(g_bytes),
                static_cast<double>(g_bytes) / kCommands, static_cast<double>(g_packets) / kCommands);
    std::printf(
        "fastest runs: recording %.2f ms, raw append %.2f ms: recording costs %.2fx the raw append of the "
        "same packets (aim: at most 2x)\n",
        rec->second, raw->second, rec->second / raw->second);
    auto script = times_.find("BM_ScriptOnly");
    if (script != times_.end())
      std::printf("the script's own calls take %.2f ms of it (%.2fx the raw append without them)\n",
                  script->second, (rec->second - script->second) / raw->second);
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace
}  // namespace tf

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  tf::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
