#include "filters/qt/PreviewFrame.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <algorithm>
#include <cstring>

#include "document/LayerData.h"
#include "filters/FilterContext.h"
#include "filters/FilterCore.h"
#include "filters/FilterDialogLogic.h"
#include "paper/FlowImage.h"
#include "paper/Paper.h"
#include "platform/ResourceText.h"
#include "raster/Appearance.h"
#include "raster/Drawing.h"
#include "raster/PixelOps.h"
#include "raster/ScaleImage.h"
#include "ui/GraphicTrackbar.h"
#include "ui/NumEdits.h"

namespace tf {

namespace {

constexpr int32_t kStrip = 22;

// The paint box: shows the frame's composed buffer, nothing else.
class TPreviewPaintBox : public GraphicControl {
 public:
  TPreviewPaintBox(QWidget* parent, const TMTC& buffer) : GraphicControl(parent), buffer_(buffer) {}

 protected:
  void RenderGraphic() override {
    TMemoryGraphic& g = Graphic();
    g.Clear();
    const int32_t w = std::min(g.Width(), buffer_.Width()), h = std::min(g.Height(), buffer_.Height());
    for (int32_t y = 0; y < h; ++y) {
      std::memcpy(g.ScanLine(y), buffer_.Pixel(0, y), static_cast<size_t>(w) * 4);
    }
  }

 private:
  const TMTC& buffer_;
};

}  // namespace

TPreviewFrame::TPreviewFrame(QWidget* parent)
    : QWidget(parent), buffer_(208, 208), viewImage_(206, 206), windowImage_(206, 206) {
  resize(208, 230);
  paintBox_ = new TPreviewPaintBox(this, buffer_);
  paintBox_->setGeometry(0, 0, 208, 208);
  paintBox_->installEventFilter(this);
  timer1_ = new QTimer(this);
  timer1_->setInterval(100);
  connect(timer1_, &QTimer::timeout, this, [this] { Redraw(); });

  SNumMngrProps props;
  props.value = 1600;
  props.valueDefault = 100;
  props.valueMin = 6.25f;
  props.valueMax = 1600;
  num1_.Load(props);
  num1_.OnChange = [this](TNumMngr*) { ValueChange(&num1_); };

  track1_ = new TGraphicTrackbar(this);
  track1_->setGeometry(28, 214, 129, 12);
  track1_->SetPosition(0.5f);
  track1_->SetCenterLine(true);
  track1_->OnInFilter = [this](TGraphicTrackbar*, float& p) {
    p = PreviewTrackIn(num1_.ValueMin(), num1_.ValueMax(), p);
  };
  track1_->OnOutFilter = [this](TGraphicTrackbar*, float& p) {
    p = PreviewTrackOut(num1_.ValueMin(), num1_.ValueMax(), p);
  };
  track1_->OnChange = [this](TGraphicTrackbar*) { ValueChange(track1_); };
  track1_->installEventFilter(this);

  static1_ = new QLabel(QString::fromUtf8(Tx(TextId::FilterPreviewZoom)), this);
  static1_->move(0, 212);
  label1_ = new TNumLabel(this);
  label1_->setGeometry(160, 212, 34, 16);
  label1_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label1_->FormatString = "%1.1f";
  label1_->SetAssociate(&num1_);
  static1Unit_ = new QLabel(QString::fromUtf8("%"), this);
  static1Unit_->move(196, 212);
  geometry_.SetBox(208, 208);
  geometry_.FitViewToBox();
}

TPreviewFrame::~TPreviewFrame() {
  label1_->SetAssociate(nullptr);
  num1_.OnChange = nullptr;
}

bool TPreviewFrame::TrackHeld() const { return track1_->Dragging(); }

bool TPreviewFrame::SetSource(TFlowImage* flow, int32_t layerIndex) {
  flow_ = flow;
  if (flow_ == nullptr || flow_->Paper() == nullptr) return false;
  TPaper& paper = *flow_->Paper();
  layer_ = paper.GetLayer(layerIndex);
  if (layer_ == nullptr) return false;
  geometry_.SetLayer(layer_->StoreWidth(), layer_->StoreHeight());
  const float fit = geometry_.FitPercent();
  num1_.SetRange(nullptr, 100, fit, CPreviewGeometry::kMaxPercent);
  ValueChange(&num1_);  // the range always reports: the view and window take their sizes
  track1_->SetCenterLine(num1_.ValueMin() != 100);
  track1_->SetPosition(num1_.GetPosition());
  TRect r{0, 0, 0, 0};
  const bool ok = GetMaskedLayerRect(*layer_, paper.GetActiveMask(), r);
  geometry_.CentreOn(r);
  return ok;
}

void TPreviewFrame::ValueChange(const void* sender) {
  if (inValueChange_) return;
  inValueChange_ = true;
  if (sender == track1_) {
    num1_.SetPosition(track1_->GetPosition());
  } else if (sender == &num1_) {
    track1_->SetPosition(num1_.GetPosition());
  }
  geometry_.SetMagnification(num1_.Value());
  windowImage_.Resize(geometry_.WindowWidth(), geometry_.WindowHeight());
  viewImage_.Resize(geometry_.ViewWidth(), geometry_.ViewHeight());
  inValueChange_ = false;
  Redraw();
}

bool TPreviewFrame::SmoothAllowed() const {
  if (panning_ || TrackHeld()) return false;
  if (flow_ == nullptr || flow_->Paper() == nullptr) return true;
  const DocumentWindow* window = flow_->Paper()->GetDrawWindow();
  return window == nullptr || window->SmoothDrawing();
}

bool TPreviewFrame::FillWindowImage(bool /*fast*/) {
  if (layer_ == nullptr || layer_->Store() == nullptr) return false;
  const TRect w = geometry_.Window();
  TPoint at{0, 0};
  SRectWH from{w.left, w.top, std::min(w.right, layer_->StoreWidth()) - w.left,
               std::min(w.bottom, layer_->StoreHeight()) - w.top};
  if (from.width <= 0 || from.height <= 0) return false;
  return layer_->Store()->CopyToImage(windowImage_, at, from, 255, false);
}

void TPreviewFrame::Redraw() {
  if (flow_ == nullptr) return;
  if (FillWindowImage(!SmoothAllowed())) haveImage_ = true;
  Compose(!SmoothAllowed());
}

void TPreviewFrame::Compose(bool fast) {
  const uint32_t frame = AppearanceColors[acWindowFrame], face = AppearanceColors[acBtnFace];
  if (haveImage_) {
    if (viewImage_.Width() != geometry_.ViewWidth() || viewImage_.Height() != geometry_.ViewHeight()) {
      viewImage_.Resize(geometry_.ViewWidth(), geometry_.ViewHeight());
    }
    if (fast) {
      StretchFrom(viewImage_, windowImage_, SRectWH{0, 0, viewImage_.Width(), viewImage_.Height()},
                  SRectWH{0, 0, windowImage_.Width(), windowImage_.Height()});
    } else {
      ScaleImageInto(viewImage_, windowImage_, false, 0);
    }
  }
  buffer_.FillAll(face);
  const SRectWH view{geometry_.ViewLeft(), geometry_.ViewTop(), geometry_.ViewWidth(), geometry_.ViewHeight()};
  FrameRect(buffer_, SRectWH{view.left - 1, view.top - 1, view.width + 2, view.height + 2}, frame, 255);
  SRectWH inside = view;
  DrawChecker(buffer_, inside, SSize{8, 8}, 0xFFE0E0E0u, 0xFFC8C8C8u);
  if (haveImage_) {
    const int32_t w = std::min(view.width, viewImage_.Width()), h = std::min(view.height, viewImage_.Height());
    for (int32_t y = 0; y < h; ++y) {
      if (view.top + y >= buffer_.Height()) break;
      for (int32_t x = 0; x < w && view.left + x < buffer_.Width(); ++x) {
        PixelBlendSourceAlpha(buffer_.Pixel(view.left + x, view.top + y), *viewImage_.Pixel(x, y), 255);
      }
    }
  }
  paintBox_->Rerender();
}

void TPreviewFrame::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  setGeometry(left, top, width, height);
}

void TPreviewFrame::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int32_t boxWidth = std::max(1, width()), boxHeight = std::max(1, height() - kStrip);
  // Qt repeats the size when the frame is first shown: nothing changed then.
  if (boxWidth == geometry_.BoxWidth() && boxHeight == geometry_.BoxHeight() && buffer_.Width() == boxWidth &&
      buffer_.Height() == boxHeight) {
    return;
  }
  paintBox_->setGeometry(0, 0, boxWidth, boxHeight);
  buffer_.Resize(boxWidth, boxHeight);
  geometry_.SetBox(boxWidth, boxHeight);
  geometry_.FitViewToBox();
  track1_->move(28, boxHeight + 6);
  static1_->move(0, boxHeight + 4);
  label1_->move(std::max(0, boxWidth - 48), boxHeight + 4);
  static1Unit_->move(std::max(0, boxWidth - 12), boxHeight + 4);
  Redraw();
}

bool TPreviewFrame::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  const bool isMouse = type == QEvent::MouseButtonPress || type == QEvent::MouseMove || type == QEvent::MouseButtonRelease;
  if (watched == paintBox_ && isMouse) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint p = mouse->position().toPoint();
    if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
      geometry_.BeginPan(p.x(), p.y());
      timer1_->start();
      return true;
    }
    if (event->type() == QEvent::MouseMove && (mouse->buttons() & Qt::LeftButton)) {
      panning_ = true;
      geometry_.Pan(p.x(), p.y());
      return true;
    }
    if (event->type() == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton) {
      panning_ = false;
      timer1_->stop();
      Redraw();
      return true;
    }
  } else if (watched == track1_) {
    if (event->type() == QEvent::MouseButtonPress) {
      timer1_->start();
    } else if (event->type() == QEvent::MouseButtonRelease) {
      const bool handled = QWidget::eventFilter(watched, event);
      QTimer::singleShot(0, this, [this] {
        timer1_->stop();
        Redraw();
      });
      return handled;
    }
  }
  return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------

TPreviewFilter::TPreviewFilter(QWidget* parent) : TPreviewFrame(parent) {}

bool TPreviewFilter::Bind(CFlt4Core* core, const void* block, int32_t size) {
  core_ = core;
  if (core_ == nullptr || !core_->IsValid()) return false;
  if (!SetSource(core_->FlowImage(), core_->LayerIndex())) return false;
  geometry_.CentreOn(core_->Bounds());
  block_ = block;
  size_ = size;
  return true;
}

void TPreviewFilter::Redraw() {
  if (core_ == nullptr) return;
  TPreviewFrame::Redraw();
}

bool TPreviewFilter::FillWindowImage(bool fast) {
  if (core_ == nullptr) return false;
  const TRect w = geometry_.Window();
  // While the picture or the bar is dragged: the unfiltered layer, fast.
  if (Panning() || TrackHeld()) return RenderPlainWindow(*core_, w, windowImage_);
  (void)fast;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  struct Restore {
    ~Restore() { QApplication::restoreOverrideCursor(); }
  } restore;
  return RenderFilteredWindow(*core_, block_, size_, w, windowImage_);
}

}  // namespace tf
