// The loupe and the tone previews against their peers in the same run:
//   - DrawLoupe, 320 x 320 at 800 % turned 30 degrees from a 4096^2 display image, beside
//     QPainter::drawImage of that region under the same transform, unsmoothed (aim: at least
//     1.0x, under 2 ms: a 500 Hz pointer);
//   - a 64 x 64 tone preview of each of the ten shapes, beside the tone set's own working tile of
//     that size (the floor: CPat8Tone::Build, set-up included) (aim: within 1.2x).
#include <QImage>
#include <QPainter>
#include <cmath>

#include "BenchSupport.h"
#include "app/PresetPreview.h"
#include "paint/ScreenTone.h"
#include "raster/Loupe.h"

namespace tf {
namespace {

constexpr float kAngle = 0.5235988f;  // 30 degrees

TMTC& Display() {
  static TMTC image(4096, 4096);
  static bool made = false;
  if (!made) {
    uint64_t seed = 58;
    for (int32_t y = 0; y < 4096; ++y)
      for (int32_t x = 0; x < 4096; ++x)
        *image.Pixel(x, y) = 0xFF000000u | static_cast<uint32_t>(XorShift64(seed) & 0xFFFFFF);
    made = true;
  }
  return image;
}

void BM_DrawLoupe(benchmark::State& state) {
  CLoupe loupe;
  loupe.SetGrid(true);
  loupe.SetSize(324, 324);  // inner area 320 x 320
  loupe.SetMagnification(0.125f);
  loupe.SetBackground(lbCanvas);
  const TMTC& source = Display();
  for (auto _ : state) {
    loupe.DrawLoupe(source, 2048.0f, 2048.0f, kAngle);
    benchmark::DoNotOptimize(loupe.Picture().Bits());
  }
  SetPixelRate(state, 320.0 * 320.0);
}

void BM_QtDrawImageLoupe(benchmark::State& state) {
  TMTC& source = Display();
  const QImage view(source.Bits(), 4096, 4096, 4 * 4096, QImage::Format_ARGB32);
  QImage target(320, 320, QImage::Format_ARGB32);
  for (auto _ : state) {
    QPainter painter(&target);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.translate(160, 160);
    painter.rotate(-30.0);
    painter.scale(8.0, 8.0);
    painter.translate(-2048.5, -2048.5);
    // The region of the source the 320 x 320 view shows (40 x 40 turned: 56 x 56 covers it).
    painter.drawImage(QRectF(2020, 2020, 57, 57), view, QRectF(2020, 2020, 57, 57));
    painter.end();
    benchmark::DoNotOptimize(target.bits());
  }
  SetPixelRate(state, 320.0 * 320.0);
}

SToneAttr ToneOfShape(int32_t shape) {
  SToneAttr attr;
  InitToneAttr(attr);
  attr.shape = static_cast<uint8_t>(shape);
  attr.resolution = 350;
  attr.ruling = 50;
  attr.density = 40;
  attr.angle = 45;
  attr.spread = shape % 3;
  return attr;
}

void BM_TonePreview(benchmark::State& state) {
  CPat8Tone tone;
  const SToneAttr attr = ToneOfShape(static_cast<int32_t>(state.range(0)));
  if (!tone.Build(&attr, nullptr, true, nullptr)) state.SkipWithError("tone refused");
  CPresetPreview preview(CPresetPreview::kTone);
  preview.SetSize(68, 68);  // preview image 64 x 64
  for (auto _ : state) {
    preview.SetPattern(&tone);
    benchmark::DoNotOptimize(preview.Picture().Pixels());
  }
  SetPixelRate(state, 64.0 * 64.0);
}

void BM_ToneWorkingTile(benchmark::State& state) {
  const SToneAttr attr = ToneOfShape(static_cast<int32_t>(state.range(0)));
  CToneMaker maker;
  CPat8Tone tone;
  tone.Tile().Resize(64, 64);
  for (auto _ : state) {
    tone.Build(&attr, &maker, true, nullptr);
    benchmark::DoNotOptimize(tone.Tile().Bits());
  }
  SetPixelRate(state, 64.0 * 64.0, 1);
}

BENCHMARK(BM_DrawLoupe)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_QtDrawImageLoupe)->Unit(benchmark::kMicrosecond)->UseRealTime();
// Each shape's preview beside its floor, one after the other, so both meet the same load.
const bool kTonePairs = [] {
  for (int32_t shape = 0; shape < 10; ++shape) {
    benchmark::RegisterBenchmark("BM_TonePreview", BM_TonePreview)
        ->Arg(shape)->Unit(benchmark::kMicrosecond)->UseRealTime()->Repetitions(3);
    benchmark::RegisterBenchmark("BM_ToneWorkingTile", BM_ToneWorkingTile)
        ->Arg(shape)->Unit(benchmark::kMicrosecond)->UseRealTime()->Repetitions(3);
  }
  return true;
}();

class PreviewReporter : public RateReporter {
 public:
  void Finalize() override {
    ConsoleReporter::Finalize();
    // The run named so, whatever its repetition suffix.
    auto rate = [&](const std::string& name) {
      for (const auto& [key, value] : rates_)
        if (key.rfind(name + "/", 0) == 0 && key.find("real_time") != std::string::npos) return value;
      return 0.0;
    };
    std::printf("\n");
    const double ours = rate("BM_DrawLoupe"), peer = rate("BM_QtDrawImageLoupe");
    if (ours > 0 && peer > 0)
      std::printf("DrawLoupe 320^2 at 800%%, 30 deg: %.3f ms, %.2fx QPainter::drawImage (aim >= 1.0x, < 2 ms)\n",
                  320.0 * 320.0 / ours / 1e3, ours / peer);
    for (int32_t shape = 0; shape < 10; ++shape) {
      const std::string arg = "/" + std::to_string(shape);
      const double p = rate("BM_TonePreview" + arg), f = rate("BM_ToneWorkingTile" + arg);
      if (p > 0 && f > 0)
        std::printf("tone preview 64^2, shape %d: %.2fx the working tile's time (aim within 1.2x)\n", shape, f / p);
    }
  }
};

}  // namespace
}  // namespace tf

int main(int argc, char** argv) {
  tf::PreviewReporter reporter;
  return tf::RunBenchmarks(argc, argv, reporter);
}
