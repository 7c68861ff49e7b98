// TPaper: composing the picture into the display buffers, painting it, and layer image transfer.
//
// The picture is drawn in two stages: ComposeRect composes the changed rectangle of the layer
// stack into the display buffer (canvas size); the painting then shows that buffer at the view's
// zoom and rotation. On this platform the window copies a prepared buffer in its paint event
// (PaintWindow): whole-number zooms paint straight from the display buffer (canvas colour shown)
// or from the pattern buffer (checker or white behind a transparent canvas); every other view
// is resampled into the view buffer. PaintRect prepares the part of those buffers that shows a
// changed canvas rectangle and asks the window to repaint.
#include <algorithm>
#include <cmath>

#include "document/LayerData.h"
#include "document/LayerMngr.h"
#include "document/ShellServices.h"
#include "paper/DocumentWindow.h"
#include "paper/Paper.h"
#include "paper/ViewRender.h"
#include "platform/Debug.h"
#include "platform/Host.h"
#include "platform/Surface.h"
#include "raster/Drawing.h"

namespace tf {

// ---- Composing ----

bool TPaper::ComposeRect(const SRectWH& rect, bool grid) {
  SComposeSettings settings;
  settings.showCanvasColor = showCanvasColor != 0;
  settings.paperColor = paperColor;
  settings.modernEngine = HasModernEngine();
  settings.grid = SGridSettings{gridVisible != 0, gridStepX, gridStepY, PaperSettings().gridColor};
  return tf::ComposeRect(*displayBuffer_, *layers_, settings, rect, grid);
}

bool TPaper::ComposeRectXY(int32_t left, int32_t top, int32_t width, int32_t height, bool grid) {
  return ComposeRect(SRectWH{left, top, width, height}, grid);
}

bool TPaper::FillBackground(TMTC& buffer, const SRectWH& rect) const {
  return tf::FillBackground(buffer, rect, showCanvasColor != 0, paperColor);
}

bool TPaper::DrawGridRect(const SRectWH& rect) {
  const SGridSettings grid{gridVisible != 0, gridStepX, gridStepY, PaperSettings().gridColor};
  return tf::DrawGridRect(*displayBuffer_, rect, grid, showCanvasColor != 0);
}

bool TPaper::DrawGridIn(const TRect& bounds) {
  SRectWH rect;
  BoundsToRect(bounds, rect);
  return DrawGridRect(rect);
}

bool TPaper::DrawGridAll() { return DrawGridRect(SRectWH{0, 0, displayBuffer_->Width(), displayBuffer_->Height()}); }

void TPaper::DrawGrid() {
  DrawGridAll();
  InvalidateWindow(false);
}

// ---- Thumbnails and the navigator ----

bool TPaper::UpdateThumbnailsRect(bool navigatorOnly, int32_t index, const SRectWH& rect) {
  bool drawn = false;
  if (!navigatorOnly) {
    CLayerData* layer = GetLayer(index);
    if (layer != nullptr && layer->Thumbnail() != nullptr) {
      const TMTC& thumbnail = *layer->Thumbnail();
      const SRectWH part =
          ScaledThumbnailRect(rect, thumbnail.Width(), thumbnail.Height(), layer->canvasWidth, layer->canvasHeight);
      drawn = DrawLayerThumbnailRect(index, part);
      if (window_ == nullptr || !window_->IsPlaying()) RedrawLayerList(index);
    }
  }
  if (navigator_ != nullptr && navigator_->IsValid()) {
    const SRectWH part = ScaledThumbnailRect(rect, navigator_->Width(), navigator_->Height(),
                                             displayBuffer_->Width(), displayBuffer_->Height());
    drawn = UpdateNavigatorRect(part) || drawn;
  }
  return drawn;
}

bool TPaper::UpdateThumbnails(bool navigatorOnly, int32_t index, int32_t left, int32_t top, int32_t width,
                              int32_t height) {
  return UpdateThumbnailsRect(navigatorOnly, index, SRectWH{left, top, width, height});
}

bool TPaper::UpdateThumbnailsBounds(bool navigatorOnly, int32_t index, const TRect& bounds) {
  SRectWH rect;
  BoundsToRect(bounds, rect);
  return UpdateThumbnailsRect(navigatorOnly, index, rect);
}

bool TPaper::UpdateThumbnailsSize(bool navigatorOnly, int32_t index, const SSize& size) {
  return UpdateThumbnailsRect(navigatorOnly, index, SRectWH{0, 0, size.width, size.height});
}

bool TPaper::UpdateThumbnailsAll(bool navigatorOnly, int32_t index) {
  return UpdateThumbnailsSize(navigatorOnly, index, SSize{displayBuffer_->Width(), displayBuffer_->Height()});
}

bool TPaper::UpdateNavigatorRect(const SRectWH& navigatorRect) {
  if (navigator_ == nullptr) return false;
  return tf::UpdateNavigatorRect(*navigator_, *displayBuffer_, navigatorRect, showCanvasColor != 0,
                                 backgroundPattern != 0);
}

bool TPaper::UpdateLayerThumbnail(int32_t index) {
  CLayerData* layer = GetLayer(index);
  if (layer == nullptr || layer->Thumbnail() == nullptr) return false;
  return DrawLayerThumbnailRect(index, SRectWH{0, 0, layer->Thumbnail()->Width(), layer->Thumbnail()->Height()});
}

void TPaper::UpdateAllLayerThumbnails() {
  for (int32_t i = 0; i < GetLayerCount(); ++i) UpdateLayerThumbnail(i);
}

bool TPaper::DrawLayerThumbnailRect(int32_t index, const SRectWH& thumbnailRect) {
  CLayerData* layer = GetLayer(index);
  return layer != nullptr && tf::DrawLayerThumbnailRect(*layer, thumbnailRect);
}

// ---- Layer image transfer ----

bool TPaper::PutImageToLayer(int32_t index, const TMTC& image, int32_t opacity, const SRectWH& source,
                             const TPoint& dest) {
  CLayerData* layer = GetLayer(index);
  if (layer == nullptr || layer->Store() == nullptr) return false;
  TPoint point = dest;
  SRectWH area = source;
  return layer->Store()->CopyFromImage(image, point, area, opacity);
}

bool TPaper::PutImage(int32_t index, const TMTC& image, int32_t opacity, int32_t x, int32_t y) {
  return PutImageToLayer(index, image, opacity, SRectWH{0, 0, image.Width(), image.Height()}, TPoint{x, y});
}

bool TPaper::GetLayerImage(TMTC& image, int32_t index, int32_t opacity, bool skipTransparentFill,
                           const SRectWH& source, const TPoint& dest) const {
  const CLayerData* layer = GetLayer(index);
  if (layer == nullptr || layer->Store() == nullptr) return false;
  TPoint point = dest;
  SRectWH area = source;
  return layer->Store()->CopyToImage(image, point, area, opacity, skipTransparentFill);
}

bool TPaper::GetLayerImageAll(TMTC& image, int32_t index, int32_t opacity, bool skipTransparentFill, int32_t x,
                              int32_t y) const {
  const CLayerData* layer = GetLayer(index);
  if (layer == nullptr || layer->Store() == nullptr) return false;
  return layer->Store()->CopyAllToImage(image, x, y, opacity, skipTransparentFill);
}

// ---- Painting ----

SViewGeometry TPaper::ViewGeometry() const {
  SViewGeometry view;
  view.zoomNumerator = zoom.numerator;
  view.zoomDenominator = zoom.denominator;
  view.scrollX = viewScroll.x;
  view.scrollY = viewScroll.y;
  view.offsetX = viewOffset.x;
  view.offsetY = viewOffset.y;
  view.angle = rotation.radians;
  view.sine = rotation.sine;
  view.cosine = rotation.cosine;
  if (window_ != nullptr) {
    const SSize client = window_->ClientSize();
    view.clientWidth = std::max(client.width, 0);
    view.clientHeight = std::max(client.height, 0);
  }
  return view;
}

bool TPaper::IsWholeZoomView() const {
  return tf::IsWholeZoomView(displayBuffer_->Width(), displayBuffer_->Height(), zoom.numerator, zoom.denominator);
}

bool TPaper::UseSmoothZoom() const {
  return window_ != nullptr && window_->SmoothDrawing() && (!IsWholeZoomView() || IsRotated());
}

bool TPaper::PaintRect(WindowHandle window, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return PaintRect(window, TRect{left, top, right, bottom});
}

bool TPaper::PaintRect(WindowHandle window, const TRect& rect) {
  if (window_ == nullptr || window != window_->Handle()) return false;
  TRect bounds{std::max(rect.left, 0), std::max(rect.top, 0), std::min(rect.right, displayBuffer_->Width()),
               std::min(rect.bottom, displayBuffer_->Height())};
  if (bounds.left >= bounds.right || bounds.top >= bounds.bottom) return false;
  SRectWH canvasRect;
  BoundsToRect(bounds, canvasRect);
  window_->EraseBrushOutline();
  bool painted;
  if (!IsWholeZoomView() || IsRotated())
    painted = PaintRotated(canvasRect);
  else if (showCanvasColor != 0)
    painted = true;  // the window paints straight from the display buffer (PaintDirect)
  else
    painted = PreparePatternBuffer() && StretchToWindow(nullptr, *patternBuffer_, canvasRect);
  if (painted) window_->Invalidate(false);
  return painted;
}

bool TPaper::PaintDirect(Surface& surface, const SRectWH& rect) {
  return tf::PaintDirect(surface, *displayBuffer_, rect, ViewGeometry());
}

bool TPaper::StretchToWindow(Surface* surface, TMTC& dest, const SRectWH& canvasRect) {
  return tf::StretchToWindow(surface, dest, canvasRect, *displayBuffer_, ViewGeometry(), showCanvasColor != 0,
                             backgroundPattern != 0);
}

bool TPaper::PaintRotated(const SRectWH& canvasRect) {
  const SViewGeometry view = ViewGeometry();
  // The view buffer keeps the whole window's picture; a buffer of another size is rendered whole.
  if (viewBuffer_->Width() != view.clientWidth || viewBuffer_->Height() != view.clientHeight ||
      !viewBuffer_->IsValid())
    return RenderView();
  TPoint centre;
  GetViewCenter(view.clientWidth, view.clientHeight, centre.x, centre.y);
  const SRectWH square = RotatedPaintSquare(canvasRect, view, centre);
  if (UseSmoothZoom()) return RenderRotatedSmooth(*viewBuffer_, square, centre);
  if (showCanvasColor != 0)
    return RotateScaleTo(*displayBuffer_, *viewBuffer_, static_cast<float>(centre.x), static_cast<float>(centre.y),
                         square, view.angle, 1.0f / view.Zoom());
  return RenderRotatedNearest(*viewBuffer_, square, centre);
}

bool TPaper::PreparePatternBuffer() {
  if (showCanvasColor != 0) return true;
  const SViewGeometry view = ViewGeometry();
  if (view.clientWidth <= 0 || view.clientHeight <= 0) return false;  // nothing to show
  if (patternBuffer_->IsValid() && patternBuffer_->Width() == view.clientWidth &&
      patternBuffer_->Height() == view.clientHeight)
    return true;
  const bool resized = patternBuffer_->Resize(view.clientWidth, view.clientHeight);
  if (resized && patternBuffer_->IsValid()) patternBuffer_->FillAll(GetViewOutsideColour());
  return resized;
}

bool TPaper::FillBackgroundPattern(TMTC& image, const TRect& bounds, const TPoint& anchor) const {
  return tf::FillBackgroundPattern(image, bounds, anchor, showCanvasColor != 0, backgroundPattern != 0);
}

bool TPaper::RenderRotatedNearest(TMTC& dest, const SRectWH& destRect, const TPoint& viewCentre) {
  return tf::RenderRotatedNearest(dest, *displayBuffer_, destRect, viewCentre, ViewGeometry(), showCanvasColor != 0,
                                  backgroundPattern != 0, GetViewOutsideColour());
}

bool TPaper::RenderRotatedSmooth(TMTC& dest, const SRectWH& destRect, const TPoint& viewCentre) {
  return tf::RenderRotatedSmooth(dest, *displayBuffer_, *viewScaler_, destRect, viewCentre, ViewGeometry(),
                                 showCanvasColor != 0, backgroundPattern != 0, GetViewOutsideColour());
}

bool TPaper::RenderView() {
  const SViewGeometry view = ViewGeometry();
  if (view.clientWidth <= 0 || view.clientHeight <= 0) return false;  // no window area: nothing to render
  if (!IsWholeZoomView() || IsRotated()) {
    if ((viewBuffer_->Width() != view.clientWidth || viewBuffer_->Height() != view.clientHeight ||
         !viewBuffer_->IsValid()) &&
        !viewBuffer_->Resize(view.clientWidth, view.clientHeight))
      return false;
    if (!viewBuffer_->IsValid()) return false;
    TPoint centre;
    GetViewCenter(view.clientWidth, view.clientHeight, centre.x, centre.y);
    const SRectWH whole{0, 0, view.clientWidth, view.clientHeight};
    if (window_ != nullptr && window_->SmoothDrawing()) {
      WaitCursor busy;
      return RenderRotatedSmooth(*viewBuffer_, whole, centre);
    }
    if (showCanvasColor != 0)
      return RotateScaleAllTo(*displayBuffer_, *viewBuffer_, static_cast<float>(centre.x),
                              static_cast<float>(centre.y), view.angle, 1.0f / view.Zoom());
    return RenderRotatedNearest(*viewBuffer_, whole, centre);
  }
  if (showCanvasColor != 0 || !PreparePatternBuffer()) return false;
  patternBuffer_->FillAll(GetViewOutsideColour());
  return StretchToWindow(nullptr, *patternBuffer_, SRectWH{0, 0, displayBuffer_->Width(), displayBuffer_->Height()});
}

bool TPaper::PaintWindow(Surface* surface) {
  if (surface == nullptr) return false;
  if (!IsWholeZoomView() || IsRotated())
    return viewBuffer_->IsValid() && PaintToDC(*viewBuffer_, *surface, 0, 0);
  if (showCanvasColor != 0)
    return PaintDirect(*surface, SRectWH{0, 0, displayBuffer_->Width(), displayBuffer_->Height()});
  return patternBuffer_->IsValid() && PaintToDC(*patternBuffer_, *surface, 0, 0);
}

}  // namespace tf
