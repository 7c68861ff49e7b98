// TDrawWindow: scroll bars and positions, centring, scrolling, zoom, rotation and fitting.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/AppProfile.h"
#include "app/DrawWindow.h"
#include "app/ToolWindow.h"
#include "paper/ViewRender.h"
#include "platform/Host.h"
#include "raster/Drawing.h"

namespace tf {

void TDrawWindow::ViewInputs(SViewInputs& in) const {
  const SSize client = site_.ClientSize();
  in.canvasWidth = paper_->canvasWidth;
  in.canvasHeight = paper_->canvasHeight;
  in.zoomNumerator = paper_->zoom.numerator;
  in.zoomDenominator = paper_->zoom.denominator;
  in.clientWidth = client.width;
  in.clientHeight = client.height;
  in.marginX = marginX_;
  in.marginY = marginY_;
  in.horizontalBarHeight = site_.ScrollBarThickness(true);
  in.verticalBarWidth = site_.ScrollBarThickness(false);
}

void TDrawWindow::SetBarGeometry(SViewInputs& in, SScrollBarGeometry& horizontal, SScrollBarGeometry& vertical) {
  ViewInputs(in);
  ComputeScrollBars(in, horizontal, vertical);
  site_.SetScrollBar(true, horizontal);
  site_.SetScrollBar(false, vertical);
}

void TDrawWindow::NavigatorChanged() {
  if (ToolWindow* tool = owner_.Tool()) tool->UpdateNavigator();
}

void TDrawWindow::ShowRotationPanel() {
  owner_.SetStatusText(RotationText(paper_->rotation.degrees), kPanelRotation);
}

void TDrawWindow::UpdateScrollBars(const TPoint* centre) {
  if (paper_ == nullptr || paper_->ready == 0 || destroying_) return;
  if (paper_->IsRotated()) {
    site_.SetScrollBarsVisible(false);
    return;
  }
  SViewInputs in;
  SScrollBarGeometry horizontal, vertical;
  SetBarGeometry(in, horizontal, vertical);
  site_.SetScrollBarsVisible(AppProfile().showScrollBar);
  if (centre != nullptr) {
    const float z = in.Zoom();
    site_.SetScrollPosition(true, ScrollPositionCentring(static_cast<float>(centre->x), z, in.clientWidth, marginX_));
    site_.SetScrollPosition(false,
                            ScrollPositionCentring(static_cast<float>(centre->y), z, in.clientHeight, marginY_));
  }
  ApplyScrollPosition(site_.ScrollPosition(true), site_.ScrollPosition(false));
}

void TDrawWindow::ApplyScrollPosition(int32_t horizontal, int32_t vertical) {
  if (paper_ == nullptr || paper_->IsRotated()) return;
  SViewInputs in;
  ViewInputs(in);
  const SScrollPlacement place = PlaceScrollPosition(in, horizontal, vertical);
  if (place.positionX != site_.ScrollPosition(true)) site_.SetScrollPosition(true, place.positionX);
  if (place.positionY != site_.ScrollPosition(false)) site_.SetScrollPosition(false, place.positionY);
  paper_->SetViewScroll(place.clientOffset.x, place.clientOffset.y);
  paper_->SetViewOffset(place.canvasOrigin.x, place.canvasOrigin.y);
  margins_[0] = place.marginLeft;
  margins_[1] = place.marginRight;
  margins_[2] = place.marginTop;
  margins_[3] = place.marginBottom;
  int32_t cx = 0, cy = 0;
  paper_->GetViewCenter(in.clientWidth, in.clientHeight, cx, cy);
  paper_->SetRotationCenter(static_cast<float>(cx), static_cast<float>(cy));
  UpdateVisibleRect();
}

void TDrawWindow::ScrollToCanvasPoint(bool refit, float x, float y) {
  if (paper_ == nullptr || paper_->ready == 0) return;
  if (refit && !site_.IsMinimized() && !site_.IsMaximized()) FitWindowToImage(false);
  x = std::clamp(x, 0.0f, static_cast<float>(paper_->canvasWidth));
  y = std::clamp(y, 0.0f, static_cast<float>(paper_->canvasHeight));
  UpdateScrollBars(nullptr);
  const SSize client = site_.ClientSize();
  const float z = paper_->GetZoom();
  if (paper_->IsRotated()) {
    paper_->SetRotationCenter(x, y);
  } else {
    site_.SetScrollPosition(true, ScrollPositionCentring(x, z, client.width, marginX_));
    site_.SetScrollPosition(false, ScrollPositionCentring(y, z, client.height, marginY_));
  }
  UpdateCaption(false);
  const bool outline = outlineShown_;
  outlineShown_ = false;
  RefreshView(ViewNeedsRebuild());
  NavigatorChanged();
  if (outline) {
    const TPoint mouse = site_.MousePosition();
    DrawBrushOutlineAt(mouse.x, mouse.y);
  }
}

void TDrawWindow::SetViewCenter(float x, float y) {
  if (paper_ == nullptr || paper_->ready == 0) return;
  paper_->SetRotationCenter(x, y);
  if (!paper_->IsRotated()) {
    x = std::clamp(x, 0.0f, static_cast<float>(paper_->canvasWidth));
    y = std::clamp(y, 0.0f, static_cast<float>(paper_->canvasHeight));
    const SSize client = site_.ClientSize();
    const float z = paper_->GetZoom();
    site_.SetScrollPosition(true, ScrollPositionAt(x, z, client.width, marginX_));
    site_.SetScrollPosition(false, ScrollPositionAt(y, z, client.height, marginY_));
  }
  Render(ViewNeedsRebuild(), nullptr);
  UpdateVisibleRect();
  inputFlags_ |= kInChanged;
}

TPoint TDrawWindow::ViewCentre() const {
  const SSize client = site_.ClientSize();
  TPoint c{0, 0};
  paper_->GetViewCenter(client.width, client.height, c.x, c.y);
  return c;
}

void TDrawWindow::RenderScrolled(const TPoint& centreBefore) {
  if (paper_ == nullptr || paper_->ready == 0) return;
  UpdateScrollBars(nullptr);
  if (!ShiftViewBuffer(centreBefore) && ViewNeedsRebuild()) paper_->RenderView();
  site_.PaintNow();
}

bool TDrawWindow::ShiftViewBuffer(const TPoint& before) {
  TPaper& paper = *paper_;
  if (paper.IsRotated() || paper.IsWholeZoomView()) return false;
  TTC& view = paper.ViewBuffer();
  const SSize client = site_.ClientSize();
  if (!view.IsValid() || view.Width() != client.width || view.Height() != client.height) return false;
  const TPoint after = ViewCentre();
  const int64_t n = paper.zoom.numerator;
  const int64_t d = paper.zoom.denominator;
  const int64_t mx = (int64_t{before.x} - after.x) * n;
  const int64_t my = (int64_t{before.y} - after.y) * n;
  if (d <= 0 || mx % d != 0 || my % d != 0) return false;
  const int64_t sx = mx / d;
  const int64_t sy = my / d;
  const int32_t w = client.width;
  const int32_t h = client.height;
  if (sx == 0 && sy == 0) return true;
  if (sx <= -w || sx >= w || sy <= -h || sy >= h) return false;
  // The kept part moves by (sx, sy): rows in the order that reads each before it is overwritten.
  const auto rowBytes = static_cast<size_t>(w - (sx < 0 ? -sx : sx)) * 4;
  const int32_t fromX = sx < 0 ? static_cast<int32_t>(-sx) : 0;
  const int32_t toX = sx > 0 ? static_cast<int32_t>(sx) : 0;
  for (int32_t k = 0; k < h - static_cast<int32_t>(sy < 0 ? -sy : sy); ++k) {
    const int32_t y = sy > 0 ? h - 1 - k : k;  // destination row
    const auto source = static_cast<int32_t>(y - sy);
    std::memmove(view.GetPixelPtr(toX, y), view.GetPixelPtr(fromX, source), rowBytes);
  }
  // The uncovered strips, as the whole view would render them.
  const TPoint centre = after;
  const SViewGeometry geometry = paper.ViewGeometry();
  auto render = [&](const SRectWH& strip) {
    if (strip.width <= 0 || strip.height <= 0) return;
    if (SmoothDrawing()) {
      paper.RenderRotatedSmooth(view, strip, centre);
    } else if (paper.showCanvasColor != 0) {
      RotateScaleTo(paper.DisplayBuffer(), view, static_cast<float>(centre.x), static_cast<float>(centre.y), strip,
                    geometry.angle, 1.0f / geometry.Zoom());
    } else {
      paper.RenderRotatedNearest(view, strip, centre);
    }
  };
  const auto ax = static_cast<int32_t>(sx < 0 ? -sx : sx);
  const auto ay = static_cast<int32_t>(sy < 0 ? -sy : sy);
  render(SRectWH{sx > 0 ? 0 : w - ax, 0, ax, h});
  render(SRectWH{0, sy > 0 ? 0 : h - ay, w, ay});
  return true;
}

void TDrawWindow::ScrollBy(int32_t dx, int32_t dy) {
  if (paper_ == nullptr || paper_->ready == 0) return;
  const TPoint centreBefore = ViewCentre();
  if (!paper_->IsRotated()) {
    site_.SetScrollPosition(true, site_.ScrollPosition(true) - dx);
    site_.SetScrollPosition(false, site_.ScrollPosition(false) - dy);
  } else {
    const float z = paper_->GetZoom();
    paper_->MoveRotationCenter(static_cast<float>(dx) / z, static_cast<float>(dy) / z);
  }
  RenderScrolled(centreBefore);
  UpdateVisibleRect();
  NavigatorChanged();
  inputFlags_ |= kInChanged;
}

void TDrawWindow::ZoomStep(bool in) {
  const SSize client = site_.ClientSize();
  ZoomStepAt(TPoint{client.width / 2, client.height / 2}, in);
}

void TDrawWindow::ZoomStepAt(const TPoint& client, bool in) {
  if (paper_ == nullptr || paper_->ready == 0 || !IsUsable()) return;
  const float z = paper_->GetZoom();
  float cx, cy;
  if (paper_->IsRotated()) {
    ClientToCanvasF(static_cast<float>(client.x), static_cast<float>(client.y), cx, cy);
  } else {
    const float x = static_cast<float>(client.x);
    const float y = static_cast<float>(client.y);
    cx = static_cast<float>(paper_->viewScroll.x > 0
                                ? TruncToInt(x / z - static_cast<float>(paper_->viewScroll.x) / z)
                                : TruncToInt(x / z + static_cast<float>(paper_->viewOffset.x)));
    cy = static_cast<float>(paper_->viewScroll.y > 0
                                ? TruncToInt(y / z - static_cast<float>(paper_->viewScroll.y) / z)
                                : TruncToInt(y / z + static_cast<float>(paper_->viewOffset.y)));
  }
  if (in && paper_->CanZoomIn()) paper_->ZoomIn();
  if (!in && paper_->CanZoomOut()) paper_->ZoomOut();
  const bool refit = IsKeyDown(kVkMenu) && !IsKeyDown(kVkSpace);
  ScrollToCanvasPoint(refit, cx, cy);
  UpdateVisibleRect();
}

void TDrawWindow::ZoomToFit(bool refit, bool allowEnlarge) {
  if (paper_ == nullptr || paper_->ready == 0) return;
  const SSize client = site_.ClientSize();
  int32_t n = 1, d = 1;
  if (!FitZoomRatio(paper_->canvasWidth, paper_->canvasHeight, client.width, client.height, paper_->rotation.radians,
                    allowEnlarge, n, d))
    return;
  paper_->SetZoomRatio(n, d);
  ScrollToCanvasPoint(refit, static_cast<float>(paper_->canvasWidth) / 2.0f,
                      static_cast<float>(paper_->canvasHeight) / 2.0f);
}

void TDrawWindow::ZoomToActualSize(bool refit) { SetZoomRatio(1, 1, refit); }

void TDrawWindow::SetZoomRatio(int32_t numerator, int32_t denominator, bool refit) {
  if (paper_ == nullptr || paper_->ready == 0) return;
  paper_->SetZoomRatio(numerator, denominator);
  ScrollToCanvasPoint(refit, static_cast<float>(paper_->canvasWidth) / 2.0f,
                      static_cast<float>(paper_->canvasHeight) / 2.0f);
}

bool TDrawWindow::CanZoomToFit() const {
  if (paper_ == nullptr || paper_->ready == 0 || !IsUsable()) return false;
  const SSize client = site_.ClientSize();
  int32_t n = 1, d = 1;
  if (!FitZoomRatio(paper_->canvasWidth, paper_->canvasHeight, client.width, client.height, paper_->rotation.radians,
                    true, n, d))
    return false;
  return int64_t{n} * paper_->zoom.denominator != int64_t{d} * paper_->zoom.numerator;
}

bool TDrawWindow::IsAutoFitOn() const {
  const int32_t adjust = AppProfile().AutoSizeAdjust;
  if ((adjust & 1) == 0) return false;
  return (adjust & 2) == 0 || playing_;
}

void TDrawWindow::SetViewRotation(bool keepCentre, float degrees) {
  if (paper_ == nullptr || paper_->ready == 0) return;
  owner_.SetStatusText(RotationText(degrees), kPanelRotation);
  if (degrees != 0.0f && degrees != 360.0f) {
    if (keepCentre && !paper_->IsRotated()) {
      const SSize client = site_.ClientSize();
      int32_t cx = 0, cy = 0;
      paper_->GetViewCenter(client.width, client.height, cx, cy);
      paper_->SetRotationCenter(static_cast<float>(cx), static_cast<float>(cy));
      NavigatorChanged();
    }
    site_.SetScrollBarsVisible(false);
    paper_->SetRotationDegrees(degrees);
    UpdateVisibleRect();
    Render(true, nullptr);
  } else {
    ResetViewRotation();
    RefreshView(ViewNeedsRebuild());
  }
  NavigatorChanged();
}

void TDrawWindow::ResetViewRotation() {
  if (paper_ == nullptr || !paper_->IsRotated()) return;
  const SSize client = site_.ClientSize();
  int32_t cx = 0, cy = 0;
  paper_->GetViewCenter(client.width, client.height, cx, cy);
  paper_->SetRotationDegrees(0.0f);
  paper_->SetRotationCenter(static_cast<float>(cx), static_cast<float>(cy));
  const float z = paper_->GetZoom();
  // The bars take their ranges before their positions.
  UpdateScrollBars(nullptr);
  site_.SetScrollPosition(true, ScrollPositionAt(static_cast<float>(cx), z, client.width, marginX_));
  site_.SetScrollPosition(false, ScrollPositionAt(static_cast<float>(cy), z, client.height, marginY_));
  site_.SetScrollBarsVisible(true);
  UpdateVisibleRect();
  NavigatorChanged();
  ShowRotationPanel();
}

void TDrawWindow::PlaceCanvas() {
  if (paper_ == nullptr || paper_->ready == 0 || paper_->IsRotated()) return;
  SViewInputs in;
  SScrollBarGeometry horizontal, vertical;
  SetBarGeometry(in, horizontal, vertical);
  site_.SetScrollPosition(true, PlaceCanvasPosition(horizontal.maximum, paper_->canvasWidth));
  site_.SetScrollPosition(false, PlaceCanvasPosition(vertical.maximum, paper_->canvasHeight));
  ApplyScrollPosition(site_.ScrollPosition(true), site_.ScrollPosition(false));
}

void TDrawWindow::FitWindowToImage(bool cascade) {
  if (paper_ == nullptr || paper_->canvasWidth <= 0 || paper_->canvasHeight <= 0) return;
  if (site_.IsMinimized() || site_.IsMaximized()) {
    InvalidateView(true, false);
    Cascade().Advance();
    return;
  }
  const TRect now = site_.WindowRect();
  const SWindowFrame frame = site_.Frame();
  const SSize main = owner_.MainClientSize();
  SFitWindowInputs in;
  in.left = now.left;
  in.top = now.top;
  if (cascade) {
    const TPoint place =
        Cascade().Next(static_cast<int32_t>(owner_.DocumentWindows().size()), owner_.ToolWindowWidth());
    in.left = place.x;
    in.top = place.y;
  }
  SViewInputs view;
  ViewInputs(view);
  in.zoomedWidth = view.ZoomedWidth();
  in.zoomedHeight = view.ZoomedHeight();
  in.frameWidth = frame.frameWidth;
  in.frameHeight = frame.frameHeight;
  in.captionHeight = frame.captionHeight;
  in.mainClientWidth = main.width;
  in.mainClientHeight = main.height;
  const SFitWindowResult r = FitWindowRect(in);
  site_.SetWindowRect(TRect{r.left, r.top, r.left + r.width, r.top + r.height});
}

void TDrawWindow::ScrollBarScroll(bool horizontal, ScrollCode code, int32_t position) {
  if (paper_ == nullptr || paper_->ready == 0) return;
  BuildCanvasRegion();
  const TPoint centreBefore = ViewCentre();
  const int32_t before = site_.ScrollPosition(horizontal);
  site_.SetScrollPosition(horizontal, position);
  const int32_t shift = before - site_.ScrollPosition(horizontal);
  for (TPoint& p : positions_) (horizontal ? p.x : p.y) += shift;
  switch (code) {
    case ScrollCode::kTrack:
      SuspendSmoothing();
      NavigatorChanged();
      RenderScrolled(centreBefore);
      break;
    case ScrollCode::kPosition: RestoreSmoothing(); break;
    default:
      NavigatorChanged();
      RenderScrolled(centreBefore);
      break;
  }
}

void TDrawWindow::WheelStep(int32_t delta) {
  ZoomStep(delta < 0);
  NavigatorChanged();
}

void TDrawWindow::RefreshAfterEdit(bool sizeChanged, bool layersChanged, bool rebuild) {
  if (paper_ == nullptr || paper_->ready == 0) return;
  if (sizeChanged) {
    const int32_t adjust = AppProfile().AutoSizeAdjust;
    if (IsAutoFitOn()) {
      ZoomToFit(false, (adjust & 4) == 0);
    } else if (!site_.IsMinimized() && !site_.IsMaximized()) {
      FitWindowToImage(false);
      SViewInputs in;
      SScrollBarGeometry horizontal, vertical;
      SetBarGeometry(in, horizontal, vertical);
      site_.SetScrollPosition(true, RecentrePosition(horizontal.maximum, in.ZoomedWidth()));
      site_.SetScrollPosition(false, RecentrePosition(vertical.maximum, in.ZoomedHeight()));
    }
  }
  RefreshView(rebuild);
  paper_->SyncStrokeState(false);
  if (ToolWindow* tool = owner_.Tool()) {
    if (sizeChanged) {
      tool->UpdateNavigator();
      tool->UpdateNaviImage();
    } else if (layersChanged) {
      tool->UpdateNaviImage();
    } else {
      tool->UpdateNavigator();
    }
    tool->UpdateLayerPane();
    tool->UpdateMaskPane();
  }
}

}  // namespace tf
