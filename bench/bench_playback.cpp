// Playback: a long seeded painting (thousands of strokes of every pen of the newest engine, the
// document commands built so far between them) is recorded once, then replayed into a fresh
// document by the player, whole strokes and point by point.
//
// The recording's duration at a person's pace is counted as 100 points a second while drawing
// and one second per command; the summary prints each run's wall time, its ratio to that
// duration (the goal is at least 100 times faster than real time), packets/s and points/s.
//
// The peer in the same run records the same painting: the document's commands called directly
// by the script, with the record flag set (the recorder's writes included).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "../tests/playback/PlaybackTestSupport.h"
#include "BenchSupport.h"
#include "platform/Debug.h"
#include "platform/Warning.h"

namespace tf {
namespace {

constexpr int32_t kWidth = 320;
constexpr int32_t kHeight = 240;
constexpr int32_t kCommands = 3000;

class QuietWarnings final : public WarningHost {
 public:
  void ShowWarning(std::string_view) override {}
};

// The recording, its counts and its strokes' points.
struct Recording {
  std::vector<uint8_t> bytes;
  int64_t packets = 0;
  int64_t points = 0;
  int64_t strokes = 0;
  int64_t commands = 0;
  double personSeconds = 0;
  struct Stroke {
    int32_t engine = 4;
    std::vector<SStrokePoint> points;
  };
};

const Recording& TheRecording() {
  static const Recording recording = [] {
    Recording r;
    test::RecordingDocument d(kWidth, kHeight);
    test::RecordPainting(d, 0x9e3779b9ull, kCommands, false);
    CEventMngr& m = d.Events();
    r.bytes.resize(static_cast<size_t>(m.committed()));
    m.readSpan(0, r.bytes.data(), static_cast<uint32_t>(r.bytes.size()));
    m.walkPackets(0, static_cast<uint32_t>(m.committed()), [&](const SPacketFrame& f) {
      ++r.packets;
      const uint8_t cls = f.header.cls;
      if (cls == kPcPointsMore || cls == kPcPointsLast) r.points += f.header.code;
      if (IsStrokeStartClass(cls)) ++r.strokes;
      if (cls != kPcState && cls != kPcInfo && cls != kPcPointsMore && cls != kPcPointsLast &&
          !IsStrokeStartClass(cls))
        ++r.commands;
      return true;
    });
    r.personSeconds = static_cast<double>(r.points) / 100.0 + static_cast<double>(r.commands);
    return r;
  }();
  return recording;
}

void Play(benchmark::State& state, bool pointByPoint) {
  static QuietWarnings quiet;
  SetWarningHost(&quiet);
  SetDebugSink([](std::string_view) {});
  const Recording& r = TheRecording();
  int64_t steps = 0;
  for (auto _ : state) {
    HeadlessPlaybackWindow window;
    test::LoadStreamBytes(window.Paper(), r.bytes);
    CPlayer player(window.Paper(), &window);
    if (player.startLoaded() != kStartPlayStarted) {
      state.SkipWithError("the recording does not start");
      return;
    }
    uint8_t result = kPlayStepPlayed;
    while (result == kPlayStepPlayed) {
      player.setPointByPoint(pointByPoint);
      result = player.playStep();
      ++steps;
    }
    if (result != kPlayStepError) {
      // The painting has no end marker: the read at its end fails; anything before it is an error.
      state.SkipWithError("the recording ended early");
      return;
    }
    if (static_cast<size_t>(window.Paper().EventMngr()->readPos) != r.bytes.size()) {
      state.SkipWithError("the recording did not play to its end");
      return;
    }
    benchmark::DoNotOptimize(window.Paper().GetLayerCount());
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["packets/s"] =
      benchmark::Counter(static_cast<double>(r.packets) * n, benchmark::Counter::kIsRate);
  state.counters["points/s"] = benchmark::Counter(static_cast<double>(r.points) * n, benchmark::Counter::kIsRate);
  state.counters["steps"] = static_cast<double>(steps) / n;
  SetDebugSink(nullptr);
}

void BM_Playback(benchmark::State& state) { Play(state, false); }
BENCHMARK(BM_Playback)->Unit(benchmark::kMillisecond)->Repetitions(3);

void BM_PlaybackPointByPoint(benchmark::State& state) { Play(state, true); }
BENCHMARK(BM_PlaybackPointByPoint)->Unit(benchmark::kMillisecond)->Repetitions(3);

void BM_RecordPainting_Peer(benchmark::State& state) {
  static QuietWarnings quiet;
  SetWarningHost(&quiet);
  SetDebugSink([](std::string_view) {});
  for (auto _ : state) {
    test::RecordingDocument d(kWidth, kHeight);
    test::RecordPainting(d, 0x9e3779b9ull, kCommands, false);
    benchmark::DoNotOptimize(d.Events().committed());
  }
  SetDebugSink(nullptr);
}
BENCHMARK(BM_RecordPainting_Peer)->Unit(benchmark::kMillisecond)->Repetitions(3);

class PlaybackReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      const double seconds = run.GetAdjustedRealTime() / 1000.0;  // milliseconds per iteration
      std::string name = run.benchmark_name();
      if (name.find("/repeats") != std::string::npos) name = name.substr(0, name.find("/repeats"));
      auto& best = best_[name];
      if (best == 0 || seconds < best) best = seconds;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const Recording& r = TheRecording();
    std::printf(
        "\nrecording: %zu bytes, %lld packets, %lld strokes, %lld points, %lld commands; "
        "at a person's pace %.0f s\n",
        r.bytes.size(), static_cast<long long>(r.packets), static_cast<long long>(r.strokes),
        static_cast<long long>(r.points), static_cast<long long>(r.commands), r.personSeconds);
    for (const auto& [name, seconds] : best_) {
      std::printf("%-28s wall %.3f s  %.0fx faster than real time  %.0f packets/s  %.0f points/s\n", name.c_str(),
                  seconds, r.personSeconds / seconds, static_cast<double>(r.packets) / seconds,
                  static_cast<double>(r.points) / seconds);
    }
  }

 private:
  std::map<std::string, double> best_;
};

}  // namespace
}  // namespace tf

int main(int argc, char** argv) {
  tf::PlaybackReporter reporter;
  return tf::RunBenchmarks(argc, argv, reporter);
}
