// The controls' drawing surface against QPainter on a QImage, 1024 x 1024: a half-transparent
// FillRect with (ChannelBlend, ChannelKeep) over an opaque picture, and FillGradient downwards
// and rightwards from an opaque to a half-transparent colour with the same operations. The peers
// are QPainter's SourceOver fill and linear gradient on Format_ARGB32 (the same straight-alpha
// layout; the goal is at least 1.0x) and on Format_ARGB32_Premultiplied (Qt's fast format;
// reported). The results differ by rounding: ours truncate as the controls' rule says. Rates
// are per wall-clock second: QPainter spreads large fills over a thread pool.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <cstdio>
#include <string>

#include "BenchSupport.h"
#include "raster/MemoryGraphic.h"

namespace {

using namespace tf;

constexpr int kSide = 1024;
constexpr double kPixels = double{kSide} * kSide;
constexpr uint32_t kHalfColour = 0x80FF4020;
constexpr uint32_t kGradientA = 0xFF2040C0;
constexpr uint32_t kGradientB = 0x80F08010;
constexpr SChannelOps kOps{ChannelBlend, ChannelKeep};

// An opaque picture with some variety.
void Paint(uint32_t* pixels, size_t count) {
  uint64_t s = 0x9E3779B97F4A7C15ull;
  for (size_t i = 0; i < count; ++i) pixels[i] = static_cast<uint32_t>(XorShift64(s) >> 16) | 0xFF000000u;
}

TMemoryGraphic& Surface() {
  static TMemoryGraphic g = [] {
    TMemoryGraphic s(kSide, kSide);
    Paint(s.Pixels(), size_t{kSide} * kSide);
    return s;
  }();
  return g;
}

QImage& Image(QImage::Format format) {
  static QImage straight, premultiplied;
  QImage& image = format == QImage::Format_ARGB32 ? straight : premultiplied;
  if (image.isNull()) {
    image = QImage(kSide, kSide, format);
    Paint(reinterpret_cast<uint32_t*>(image.bits()), size_t{kSide} * kSide);
  }
  return image;
}

// Ours: 0 fill, 1 gradient down, 2 gradient right.
void BM_Ours(benchmark::State& state) {
  TMemoryGraphic& g = Surface();
  const TRect all{0, 0, kSide, kSide};
  for (auto _ : state) {
    switch (state.range(0)) {
      case 0: g.FillRect(all, kHalfColour, kOps); break;
      case 1: g.FillGradient(all, kGradientA, kGradientB, kDirDown, kOps); break;
      default: g.FillGradient(all, kGradientA, kGradientB, kDirRight, kOps); break;
    }
    benchmark::DoNotOptimize(g.Pixels());
  }
  SetPixelRate(state, kPixels);
}

void PeerDraw(QImage& image, int64_t what) {
  QPainter p(&image);
  const QRect all(0, 0, kSide, kSide);
  if (what == 0) {
    p.fillRect(all, QColor::fromRgba(kHalfColour));
    return;
  }
  QLinearGradient gradient(0, 0, what == 1 ? 0 : kSide - 1, what == 1 ? kSide - 1 : 0);
  gradient.setColorAt(0, QColor::fromRgba(kGradientA));
  gradient.setColorAt(1, QColor::fromRgba(kGradientB));
  p.fillRect(all, gradient);
}

void BM_QPainterARGB32(benchmark::State& state) {
  QImage& image = Image(QImage::Format_ARGB32);
  for (auto _ : state) {
    PeerDraw(image, state.range(0));
    benchmark::DoNotOptimize(image.constBits());
  }
  SetPixelRate(state, kPixels);
}

void BM_QPainterPremultiplied(benchmark::State& state) {
  QImage& image = Image(QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    PeerDraw(image, state.range(0));
    benchmark::DoNotOptimize(image.constBits());
  }
  SetPixelRate(state, kPixels);
}

BENCHMARK(BM_Ours)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_QPainterARGB32)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_QPainterPremultiplied)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// After the table: each operation's rate against both peers.
class SurfaceReporter : public RateReporter {
 public:
  void Finalize() override {
    ConsoleReporter::Finalize();
    static const char* names[3] = {"FillRect half-transparent", "FillGradient down", "FillGradient right"};
    std::printf("\nOurs against QPainter on QImage (ratio = our rate / peer rate):\n");
    for (int i = 0; i < 3; ++i) {
      std::string arg = std::to_string(i);
      arg.insert(0, 1, '/');
      arg.append("/real_time");
      const double ours = rates_["BM_Ours" + arg];
      const double straight = rates_["BM_QPainterARGB32" + arg];
      const double premultiplied = rates_["BM_QPainterPremultiplied" + arg];
      if (ours <= 0 || straight <= 0 || premultiplied <= 0) continue;
      std::printf("  %-26s ours %7.0f Mpix/s   ARGB32 %7.0f (%.2fx)   ARGB32_Premultiplied %7.0f (%.2fx)\n",
                  names[i], ours, straight, ours / straight, premultiplied, ours / premultiplied);
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  SurfaceReporter reporter;
  return tf::RunBenchmarks(argc, argv, reporter);
}
