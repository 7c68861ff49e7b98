// A drag in a 300 x 282 colour picker, every kind and space: one pointer move from the pick to the
// re-rendered background and foreground. The peer is QPainter filling a QImage of that size with a
// QLinearGradient. Goal: under 2 ms an update, so a 500 Hz pointer stays live.
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <cmath>
#include <numbers>

#include "BenchSupport.h"
#include "raster/ColorPickers.h"

namespace tf {
namespace {

constexpr int32_t kWidth = 300, kHeight = 282;
constexpr double kPixels = double(kWidth) * kHeight;

// The point of step i of a drag in the region that makes the kind render its background again.
void DragPoint(int32_t kind, int64_t i, int32_t& x, int32_t& y) {
  const double t = double(i % 97) / 97.0;
  switch (kind) {
    case kPickerAreaSlider:  // across the area
      x = 10 + int32_t(t * 260), y = 20 + int32_t(i % 200);
      break;
    case kPickerSliders:  // along the hue or red slider
      x = 4 + int32_t(t * 290), y = 8;
      break;
    case kPickerTriangle:  // round the hue ring
      x = 141 + int32_t(128 * std::cos(t * 2 * std::numbers::pi)), y = 141 - int32_t(128 * std::sin(t * 2 * std::numbers::pi));
      break;
    default:  // over the disc
      x = 141 + int32_t(100 * t * std::cos(t * 12)), y = 141 - int32_t(100 * t * std::sin(t * 12));
      break;
  }
}

void BM_PickerDrag(benchmark::State& state) {
  const int32_t kind = int32_t(state.range(0)), space = int32_t(state.range(1));
  auto picker = CreateColorPickerCore(kind);
  picker->SetBounds(kWidth, kHeight);
  picker->SetColorSpace(space);
  SColorValue v;
  ColorValueFromRGB(0.3f, 0.55f, 0.8f, v);
  picker->SetColor(v);
  int32_t x, y;
  DragPoint(kind, 0, x, y);
  picker->MouseDown(x, y);
  int64_t i = 1;
  for (auto _ : state) {
    DragPoint(kind, i++, x, y);
    picker->MouseMove(x, y);
    benchmark::DoNotOptimize(picker->Foreground().Pixels());
  }
  picker->MouseUp();
  state.counters["Mpix/s"] = benchmark::Counter(kPixels * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

void BM_QPainterGradient(benchmark::State& state) {
  QImage image(kWidth, kHeight, QImage::Format_ARGB32);
  int64_t i = 0;
  for (auto _ : state) {
    QPainter p(&image);
    QLinearGradient gradient(0, 0, kWidth - 1, 0);
    gradient.setColorAt(0, QColor::fromRgb(0xFF000000u | uint32_t(i++ & 0xFF)));
    gradient.setColorAt(1, QColor(255, 0, 0));
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(image.rect(), gradient);
    p.end();
    benchmark::DoNotOptimize(image.constBits());
  }
  state.counters["Mpix/s"] = benchmark::Counter(kPixels * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

void PickerArgs(benchmark::internal::Benchmark* b) {
  for (int32_t kind = 0; kind < 4; ++kind) {
    const auto core = CreateColorPickerCore(kind);
    for (int32_t s = 0; s < kColorPickerSpaceCount; ++s) {
      if (ColorSpaceInMask(core->GetColorSpaces(), s)) b->Args({kind, s});
    }
  }
}

BENCHMARK(BM_PickerDrag)->Apply(PickerArgs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QPainterGradient)->Unit(benchmark::kMicrosecond);

class PickerReporter : public RateReporter {
 public:
  void Finalize() override {
    ConsoleReporter::Finalize();
    const double peer = rates_["BM_QPainterGradient"];
    if (peer <= 0) return;
    std::printf("\nA drag update in a %d x %d picker against QPainter's gradient fill of that size\n", kWidth, kHeight);
    std::printf("(ms an update; ratio = peer time / our time, goal under 2 ms):\n");
    std::printf("  QPainter QLinearGradient fill: %.3f ms\n", kPixels / peer / 1000.0);
    static const char* kKinds[4] = {"area and slider", "sliders", "hue ring", "hue disc"};
    static const char* kSpaces[9] = {"RGB", "GRB", "BRG", "HSV", "SHV", "VHS", "HSL", "SHL", "LHS"};
    for (const auto& [name, rate] : rates_) {
      int kind, space;
      if (std::sscanf(name.c_str(), "BM_PickerDrag/%d/%d", &kind, &space) != 2 || rate <= 0) continue;
      const double ms = kPixels / rate / 1000.0;
      std::printf("  %-16s %s: %.3f ms (%.2fx)%s\n", kKinds[kind], kSpaces[space], ms, rate / peer,
                  ms < 2.0 ? "" : "  over 2 ms");
    }
  }
};

}  // namespace
}  // namespace tf

int main(int argc, char** argv) {
  tf::PickerReporter reporter;
  return tf::RunBenchmarks(argc, argv, reporter);
}
