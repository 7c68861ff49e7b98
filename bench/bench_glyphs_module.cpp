// Loading the language module and building the 87 glyphs in three tints, beside the floor:
// reading the module file and decoding the glyph picture alone. Goal: within 2 times the floor.
#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "platform/ResourceText.h"
#include "raster/BmpData.h"
#include "raster/FlatImage.h"
#include "raster/ToolGlyphs.h"

namespace {

void BM_ModuleLoadAndGlyphBuild(benchmark::State& state) {
  for (auto _ : state) {
    if (!tf::LoadTextModule(TF_ENU_PATH)) {
      state.SkipWithError("no language module at " TF_ENU_PATH);
      return;
    }
    tf::TtFGlyphManager manager;
    benchmark::DoNotOptimize(manager.GetGlyph(0, 0).Pixels());
  }
}
BENCHMARK(BM_ModuleLoadAndGlyphBuild)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The two halves apart.
void BM_ModuleLoadAlone(benchmark::State& state) {
  for (auto _ : state) {
    if (!tf::LoadTextModule(TF_ENU_PATH)) {
      state.SkipWithError("no language module at " TF_ENU_PATH);
      return;
    }
  }
}
BENCHMARK(BM_ModuleLoadAlone)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_GlyphBuildAlone(benchmark::State& state) {
  for (auto _ : state) {
    tf::TtFGlyphManager manager;
    benchmark::DoNotOptimize(manager.GetGlyph(0, 0).Pixels());
  }
}
BENCHMARK(BM_GlyphBuildAlone)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_FloorReadFileAndDecodePicture(benchmark::State& state) {
  for (auto _ : state) {
    std::ifstream in(TF_ENU_PATH, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    benchmark::DoNotOptimize(bytes.data());
    tf::TMTC picture;
    if (!tf::LoadBMPFromMemory(picture, tf::ToolGlyphPicture(), static_cast<int64_t>(tf::kGlyphPictureBytes))) {
      state.SkipWithError("picture not read");
      return;
    }
    benchmark::DoNotOptimize(picture.Pixel(0, 0));
  }
}
BENCHMARK(BM_FloorReadFileAndDecodePicture)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  tf::TimeRatioReporter reporter("BM_ModuleLoadAndGlyphBuild", "BM_FloorReadFileAndDecodePicture", 2.0, "us");
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
