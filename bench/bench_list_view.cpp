// The brush pane's repaints: a 210 x 600 tool-item list in large icons over 300 brushes (a third
// with image nibs), one wheel row or one click per sample, beside a QListView in icon mode over
// 300 48 x 48 icons scrolled alike, in the same run. Each sample is the event's handling plus a
// synchronous repaint of the widget; p50 and p99 are reported in microseconds. A strip of 60
// brushes laid out and painted is measured on its own.
// The platform is the environment's (QT_QPA_PLATFORM=offscreen when unset).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QListView>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QWheelEvent>
#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "paint/NibPreset.h"
#include "paint/PenMethod.h"
#include "paint/PenSetting.h"
#include "paint/Stroke.h"
#include "palettes/PenMethodListView.h"
#include "raster/FlatImage.h"

namespace {

using Clock = std::chrono::steady_clock;

void Report(benchmark::State& state, std::vector<double>& us) {
  if (us.empty()) return;
  std::sort(us.begin(), us.end());
  state.counters["p50_us"] = us[us.size() / 2];
  state.counters["p99_us"] = us[std::min(us.size() - 1, us.size() * 99 / 100)];
}

struct BrushPane {
  tf::CPenMethodMngr set;
  tf::TStroke stroke{2};
  tf::CPenSettingBlock block;
  std::unique_ptr<QWidget> top;
  tf::TPenMethodListView* pane = nullptr;

  explicit BrushPane(int32_t style, int32_t width, int32_t height, int32_t count) {
    set.AddMissingKinds();
    int32_t n = 0;
    while (set.Count() < count) {
      auto copy = tf::CPenMethodObj::CreateCopy(*set.GetItem(0));
      if (n++ % 3 == 0 && copy->Nib() != nullptr) {
        auto image = std::make_unique<tf::TChannel>(40, 40);
        for (int y = 0; y < 40; ++y)
          for (int x = 0; x < 40; ++x) *image->GetPixelPtr(x, y) = static_cast<uint8_t>((x * y + n) & 0xFF);
        copy->Nib()->SetImage(std::move(image), true);
      }
      set.Add(std::move(copy));
    }
    block.SetDefaults();
    top = std::make_unique<QWidget>();
    top->resize(width + 20, height + 20);
    pane = new tf::TPenMethodListView(top.get());
    pane->setGeometry(5, 5, width, height);
    tf::CPenMethodListCore& items = pane->Items();
    items.SetOptions(tf::kLvSelection | tf::kLvDragSource);
    items.SetDisplayStyle(style);
    items.BindSet(&set, &stroke, &block);
    items.SetPaintKind(9);
    items.SetShowAll(true);
    top->show();
    QApplication::processEvents();
  }
  ~BrushPane() { pane->Items().UnbindSet(); }
};

void Wheel(QWidget* w, int delta) {
  const QPointF p(50, 50);
  QWheelEvent e(p, w->mapToGlobal(p), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                false);
  QApplication::sendEvent(w, &e);
}

void BM_BrushPaneWheelRow(benchmark::State& state) {
  BrushPane p(tf::kStyleIconLarge, 210, 600, 300);
  std::vector<double> us;
  int direction = -120;
  for (auto _ : state) {
    const int32_t before = p.pane->Items().GetScrollPos();
    const auto t0 = Clock::now();
    Wheel(p.pane, direction);
    p.pane->repaint();
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    if (p.pane->Items().GetScrollPos() == before) direction = -direction;
  }
  Report(state, us);
}
BENCHMARK(BM_BrushPaneWheelRow)->Unit(benchmark::kMicrosecond)->Iterations(2000);

void BM_BrushPaneClick(benchmark::State& state) {
  BrushPane p(tf::kStyleIconLarge, 210, 600, 300);
  std::vector<double> us;
  tf::CPenMethodListCore& items = p.pane->Items();
  int32_t k = 0;
  for (auto _ : state) {
    const tf::TRect c = items.ContentRect();
    const int32_t x = c.left + 48 * (k % 4) + 20, y = c.top + 48 * ((k / 4) % 12) + 20;
    ++k;
    const auto t0 = Clock::now();
    items.MouseDown(x, y, 0);
    items.MouseUp();
    p.pane->repaint();
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
  }
  Report(state, us);
}
BENCHMARK(BM_BrushPaneClick)->Unit(benchmark::kMicrosecond)->Iterations(2000);

void BM_QListViewIconsWheelRow(benchmark::State& state) {
  QWidget top;
  top.resize(230, 620);
  auto* view = new QListView(&top);
  view->setGeometry(5, 5, 210, 600);
  view->setViewMode(QListView::IconMode);
  view->setIconSize(QSize(48, 48));
  view->setGridSize(QSize(48, 48));
  view->setUniformItemSizes(true);
  view->setMovement(QListView::Static);
  view->setResizeMode(QListView::Adjust);
  view->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  QStandardItemModel model;
  for (int i = 0; i < 300; ++i) {
    QImage image(48, 48, QImage::Format_ARGB32);
    image.fill(QColor::fromHsv((i * 7) % 360, 200, 220));
    model.appendRow(new QStandardItem(QIcon(QPixmap::fromImage(image)), QString()));
  }
  view->setModel(&model);
  top.show();
  QApplication::processEvents();
  QScrollBar* bar = view->verticalScrollBar();
  std::vector<double> us;
  int step = 48;
  for (auto _ : state) {
    const int before = bar->value();
    const auto t0 = Clock::now();
    bar->setValue(before + step);
    view->viewport()->repaint();
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    if (bar->value() == before) step = -step;
  }
  Report(state, us);
}
BENCHMARK(BM_QListViewIconsWheelRow)->Unit(benchmark::kMicrosecond)->Iterations(2000);

void BM_StripOf60(benchmark::State& state) {
  BrushPane p(tf::kStyleStrip, 400, 40, 60);
  tf::CPenMethodListCore& items = p.pane->Items();
  std::vector<double> us;
  int32_t k = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    items.SelectItem(k++ % 60, true);  // lays the strip out again and paints it
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
  }
  Report(state, us);
}
BENCHMARK(BM_StripOf60)->Unit(benchmark::kMicrosecond)->Iterations(2000);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
