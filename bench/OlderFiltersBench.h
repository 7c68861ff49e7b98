// The older filter generations over a whole 4096 x 4096 layer (included once, by
// bench_filters.cpp), each beside the nearest OpenCV call (one thread): the older Gaussian sigma 3
// against cv::GaussianBlur, the older sharpen against the 3 x 3 cv::filter2D, the first motion blur
// of distance 10 against cv::filter2D with its line kernel, the first mosaic against cv::resize
// (area down, nearest up), the older twirl and wave against cv::remap, greyscale against
// cv::cvtColor to grey and back. The older lighting with 16 lights and the older floor in
// milliseconds, and the recording of every older filter event (tests/data) in packets per second.
#pragma once
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "document/LayerData.h"
#include "filters/FiltersLegacy.h"
#include "filters/FiltersV1.h"
#include "paper/HeadlessWindow.h"
#include "paper/Paper.h"
#include "playback/HeadlessPlaybackWindow.h"
#include "playback/Player.h"
#include "raster/BlockVMTC.h"

#if defined(TF_BENCH_HAVE_OPENCV)
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace older_bench {

constexpr int32_t kSide = 4096;
constexpr double kPixels = double{kSide} * kSide;

// A document of one opaque noise layer and a backup of its store.
struct Layer {
  tf::HeadlessDocumentWindow window;
  std::unique_ptr<tf::CBlockVMTC> backup;
  bool ok = false;
  Layer() {
    tf::TPaper& paper = window.Paper();
    ok = paper.InitDocument("", &window.Flow(), false, false, 72, kSide, kSide, kSide, kSide);
    tf::TMTC picture(kSide, kSide);
    uint64_t s = 0x9e3779b97f4a7c15ull;
    for (int32_t y = 0; y < kSide; ++y)
      for (int32_t x = 0; x < kSide; ++x)
        *picture.Pixel(x, y) = static_cast<uint32_t>(tf::XorShift64(s)) | 0xFF000000u;
    ok = ok && paper.GetLayer(0)->Store()->CopyAllFromImage(picture, 0, 0, 255);
    backup = std::make_unique<tf::CBlockVMTC>(*paper.GetLayer(0)->Store());
  }
  tf::CLayerData& Data() { return *window.Paper().GetLayer(0); }
};

using Algorithm = std::function<bool(const tf::CBlockVMTC&, tf::CLayerData&)>;

void BM_Older(benchmark::State& state, Algorithm run) {
  Layer l;
  if (!l.ok) state.SkipWithError("no document");
  for (auto _ : state) {
    if (!run(*l.backup, l.Data())) state.SkipWithError("the filter failed");
    benchmark::ClobberMemory();
  }
  tf::SetPixelRate(state, kPixels);
}

// Packets per second of the recording of every older filter event.
void BM_OlderRecording(benchmark::State& state) {
  int64_t packets = 0;
  for (auto _ : state) {
    tf::HeadlessPlaybackWindow b;
    tf::CPlayer player(b.Paper(), &b);
    if (player.startPlay(TF_BENCH_DATA_DIR "/py_filters_older.te4") != tf::kStartPlayStarted) {
      state.SkipWithError("the recording does not start");
      break;
    }
    uint8_t r = tf::kPlayStepPlayed;
    while (r == tf::kPlayStepPlayed) {
      r = player.playStep();
      ++packets;
    }
    player.stopPlay(true);
  }
  state.counters["packets/s"] = benchmark::Counter(static_cast<double>(packets), benchmark::Counter::kIsRate);
}

#if defined(TF_BENCH_HAVE_OPENCV)
struct CvPicture {
  std::vector<uint32_t> pixels = std::vector<uint32_t>(static_cast<size_t>(kPixels));
  cv::Mat src, dst{kSide, kSide, CV_8UC4};
  CvPicture() {
    cv::setNumThreads(1);
    uint64_t s = 0x9e3779b97f4a7c15ull;
    for (uint32_t& p : pixels) p = static_cast<uint32_t>(tf::XorShift64(s)) | 0xFF000000u;
    src = cv::Mat(kSide, kSide, CV_8UC4, pixels.data());
  }
};

// The motion blur's taps as a line kernel: distance 10 at 0.6 radians, 31 taps.
void BM_CvMotionLine(benchmark::State& state) {
  CvPicture p;
  cv::Mat k = cv::Mat::zeros(21, 21, CV_32F);
  for (int32_t t = 0; t < 31; ++t) {
    const double d = 10.0 - t * 2.0 / 3.0;
    k.at<float>(10 + static_cast<int>(std::trunc(std::sin(0.6) * d)),
                10 + static_cast<int>(std::trunc(std::cos(0.6) * d))) += 1.0f / 31;
  }
  for (auto _ : state) {
    cv::filter2D(p.src, p.dst, -1, k, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
    benchmark::ClobberMemory();
  }
  tf::SetPixelRate(state, kPixels);
}

void BM_CvMosaic(benchmark::State& state) {
  CvPicture p;
  cv::Mat small;
  for (auto _ : state) {
    cv::resize(p.src, small, cv::Size(kSide / 16, kSide / 16), 0, 0, cv::INTER_AREA);
    cv::resize(small, p.dst, cv::Size(kSide, kSide), 0, 0, cv::INTER_NEAREST);
    benchmark::ClobberMemory();
  }
  tf::SetPixelRate(state, kPixels);
}

void BM_CvRemap(benchmark::State& state) {
  CvPicture p;
  cv::Mat mx(kSide, kSide, CV_32F), my(kSide, kSide, CV_32F);
  for (int32_t y = 0; y < kSide; ++y)
    for (int32_t x = 0; x < kSide; ++x) {
      mx.at<float>(y, x) = static_cast<float>(x + 3 * std::sin(y * 0.01));
      my.at<float>(y, x) = static_cast<float>(y + 3 * std::cos(x * 0.01));
    }
  for (auto _ : state) {
    cv::remap(p.src, p.dst, mx, my, cv::INTER_LINEAR, cv::BORDER_WRAP);
    benchmark::ClobberMemory();
  }
  tf::SetPixelRate(state, kPixels);
}

void BM_CvGreyRoundTrip(benchmark::State& state) {
  CvPicture p;
  cv::Mat grey(kSide, kSide, CV_8UC1);
  for (auto _ : state) {
    cv::cvtColor(p.src, grey, cv::COLOR_BGRA2GRAY);
    cv::cvtColor(grey, p.dst, cv::COLOR_GRAY2BGRA);
    benchmark::ClobberMemory();
  }
  tf::SetPixelRate(state, kPixels);
}
#endif

std::vector<uint8_t> Lights(int32_t count) {
  std::vector<uint8_t> records(static_cast<size_t>(count) * 56, 0);
  for (int32_t i = 0; i < count; ++i) {
    uint8_t* r = records.data() + 56 * i;
    const int32_t kind = i % 3, intensity = 40, range = 60, height = 20, spread = 30;
    const uint32_t colour = 0x00804020u + static_cast<uint32_t>(i) * 0x00050709u;
    const float x = (i % 4) / 4.0f + 0.1f, y = (i / 4) / 4.0f + 0.1f, heading = 0.3f * i, tilt = 0.5f;
    std::memcpy(r + 0, &kind, 4);
    std::memcpy(r + 4, &intensity, 4);
    std::memcpy(r + 8, &colour, 4);
    std::memcpy(r + 12, &range, 4);
    std::memcpy(r + 16, &x, 4);
    std::memcpy(r + 20, &y, 4);
    std::memcpy(r + 24, &height, 4);
    std::memcpy(r + 28, &heading, 4);
    std::memcpy(r + 32, &tilt, 4);
    std::memcpy(r + 36, &spread, 4);
  }
  return records;
}

inline const tf::TMTC& Texture() {
  static const std::unique_ptr<tf::TMTC> texture = [] {
    auto t = std::make_unique<tf::TMTC>(256, 256);
    for (int32_t y = 0; y < 256; ++y)
      for (int32_t x = 0; x < 256; ++x) *t->Pixel(x, y) = ((x / 16 + y / 16) % 2 ? 0xFFC08040u : 0xFF204080u);
    return t;
  }();
  return *texture;
}

inline void FloorValues(uint8_t values[63]) {
  std::memset(values, 0, 63);
  const int32_t across = 50, depth = 40, distance = 150, height = 120, fog = 60;
  const float up = 55.0f, heading = 0.3f, tilt = 0.25f;
  std::memcpy(values + 0, &across, 4);
  std::memcpy(values + 4, &up, 4);
  std::memcpy(values + 8, &depth, 4);
  std::memcpy(values + 12, &heading, 4);
  std::memcpy(values + 16, &tilt, 4);
  std::memcpy(values + 24, &distance, 4);
  std::memcpy(values + 28, &height, 4);
  std::memcpy(values + 32, &fog, 4);
  values[40] = 1;
  values[46] = 60;
}

#define TF_OLDER_RUN(name, passes, body)                                                            \
  BENCHMARK_CAPTURE(BM_Older, name, Algorithm([](const tf::CBlockVMTC& b, tf::CLayerData& l) body)) \
      ->Iterations(passes)                                                                          \
      ->UseRealTime()                                                                               \
      ->Unit(benchmark::kMillisecond)

TF_OLDER_RUN(older_gauss_3, 1, { return tf::LegacyGaussianBlur(b, l, nullptr, 3.0f); });
TF_OLDER_RUN(older_sharpen, 2, { return tf::LegacySharpen(b, l, nullptr, 1.0f); });
TF_OLDER_RUN(motion_v1_10, 1, { return tf::MotionBlurV1(b, l, nullptr, 10.0f, 0.6f, false); });
TF_OLDER_RUN(mosaic_v1_16, 2, { return tf::MosaicV1(b, l, nullptr, 16, false, nullptr); });
TF_OLDER_RUN(older_twirl, 1, { return tf::LegacyTwirl(b, l, nullptr, 0.5f, 0.5f, 0, 0.7f); });
TF_OLDER_RUN(older_wave, 1, { return tf::LegacyWave(b, l, nullptr, 0.3f, 2.0f, 3.0f, 4.0f, 3.0f); });
TF_OLDER_RUN(greyscale, 2, { return tf::GrayscaleV1(l, nullptr); });
TF_OLDER_RUN(older_lighting_16, 1, {
  static const std::vector<uint8_t> lights = Lights(16);
  return tf::LegacyLighting(b, l, nullptr, 40, 0x00FFFFFFu, lights);
});
TF_OLDER_RUN(older_floor, 1, {
  uint8_t values[63];
  FloorValues(values);
  return tf::LegacyFloor(b, l, nullptr, values, &Texture(), &Texture());
});
BENCHMARK(BM_OlderRecording)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
#if defined(TF_BENCH_HAVE_OPENCV)
BENCHMARK(BM_CvMotionLine)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CvMosaic)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CvRemap)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CvGreyRoundTrip)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
#endif

// The summary lines, from the reporter's rates (name -> pixels per second).
inline void PrintRatios(const std::function<double(const std::string&)>& rate) {
  const auto ratio = [&](const char* what, const std::string& ours, const std::string& peer) {
    const double a = rate("BM_Older/" + ours + "/real_time"), p = rate(peer + "/real_time");
    if (a > 0 && p > 0)
      std::printf("  %-50s %.2fx of the peer's speed\n", what, a / p);
    else
      std::printf("  %-50s no peer in this run (scripts/deps.sh --bench)\n", what);
  };
  ratio("older Gaussian sigma 3 vs cv::GaussianBlur", "older_gauss_3", "BM_CvGaussianBlur/sigma_3");
  ratio("older sharpen vs cv::filter2D 3x3", "older_sharpen", "BM_CvFilter2D3x3");
  ratio("motion blur V1 10 vs cv::filter2D line kernel", "motion_v1_10", "BM_CvMotionLine");
  ratio("mosaic V1 16 vs cv::resize area and nearest", "mosaic_v1_16", "BM_CvMosaic");
  ratio("older twirl vs cv::remap", "older_twirl", "BM_CvRemap");
  ratio("older wave vs cv::remap", "older_wave", "BM_CvRemap");
  ratio("greyscale vs cv::cvtColor grey and back", "greyscale", "BM_CvGreyRoundTrip");
  for (const char* name : {"older_lighting_16", "older_floor"}) {
    const double r = rate(std::string("BM_Older/") + name + "/real_time");
    if (r > 0) std::printf("  %-50s %.0f ms\n", name, kPixels / r / 1e3);
  }
}

}  // namespace older_bench
