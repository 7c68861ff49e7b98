#include "paper/ViewRender.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "document/BlendMode.h"
#include "document/LayerData.h"
#include "document/LayerDraw.h"
#include "document/LayerMngr.h"
#include "platform/Surface.h"
#include "raster/BlockVMTCRows.h"
#include "raster/Composite.h"

namespace tf {

namespace {

int32_t Clamp32(int64_t v) { return SaturateInt32(v); }

// Sets a layer's opacity for one drawing and gives the old one back afterwards, also when the
// drawing fails.
class OpacityOverride {
 public:
  OpacityOverride(CLayerData& layer, int32_t opacity) : layer_(layer), saved_(layer.opacity) {
    layer_.opacity = static_cast<uint8_t>(opacity);
  }
  ~OpacityOverride() { layer_.opacity = saved_; }
  OpacityOverride(const OpacityOverride&) = delete;
  OpacityOverride& operator=(const OpacityOverride&) = delete;

 private:
  CLayerData& layer_;
  uint8_t saved_;
};

// The first multiple of step at or after from (from >= 0, step >= 1).
int64_t FirstMultiple(int64_t from, int64_t step) { return (from + step - 1) / step * step; }

}  // namespace

// ---- The outside colour ----

namespace {
constexpr uint32_t kInitialOutsideColour = 0x00808080u;
uint32_t g_outsideColour = kInitialOutsideColour;
}  // namespace

uint32_t GetViewOutsideColour() { return g_outsideColour; }
void SetViewOutsideColour(uint32_t pixel) { g_outsideColour = pixel; }
void ResetViewOutsideColour() { g_outsideColour = kInitialOutsideColour; }

// ---- Folder opacity ----

void ClearFolderOpacity(FolderOpacityRecord& record) {
  for (int32_t d = 0; d < kFolderOpacityEntries; ++d) record[static_cast<size_t>(d)] = SFolderOpacity{-1, d, 255};
}

int32_t GetEffectiveOpacity(const CLayerData& layer, FolderOpacityRecord& record) {
  const int32_t depth = std::clamp(layer.GroupDepth(), 0, kFolderOpacityEntries - 1);
  record[static_cast<size_t>(depth)] = SFolderOpacity{layer.index, depth, layer.opacity};
  if (!layer.visible) return 0;
  uint32_t e = layer.opacity;
  for (int32_t d = depth - 1; d >= 0; --d)
    e = MulDiv255(e, static_cast<uint32_t>(record[static_cast<size_t>(d)].opacity));
  return static_cast<int32_t>(e);
}

// ---- Composing ----

bool FillBackground(TMTC& buffer, SRectWH rect, bool showCanvasColor, uint32_t paperColor) {
  // The paper colour blended at full strength: each pixel keeps its alpha byte and takes the
  // colour's three channels exactly, which the masked fill writes in one step.
  if (showCanvasColor) return buffer.MaskedFillRect(rect, 0x00FFFFFFu, paperColor);
  return buffer.FillRect(rect, kTransparentWhite);
}

bool DrawLayerRect(TMTC& image, const CLayerData& layer, const SRectWH& rect) {
  const CBlockVMTC* store = layer.Store();
  if (store == nullptr) return false;
  TPoint dest{rect.left, rect.top};
  SRectWH source{AddSat(rect.left, layer.offsetX), AddSat(rect.top, layer.offsetY), rect.width, rect.height};
  return DrawLayerTo(*store, image, layer, dest, source);
}

bool ComposeRect(TMTC& display, const CLayerMngr& layers, const SComposeSettings& settings, SRectWH rect,
                 bool grid) {
  if (!display.IsValid() || !display.ClipRect(rect)) return false;
  FolderOpacityRecord record;
  ClearFolderOpacity(record);
  FillBackground(display, rect, settings.showCanvasColor, settings.paperColor);
  const int32_t count = layers.Count();
  for (int32_t i = 0; i < count; ++i) {
    CLayerData* layer = layers.Get(i);
    if (layer == nullptr) continue;
    const int32_t e = GetEffectiveOpacity(*layer, record);
    if (e <= 0 || layer->Store() == nullptr) continue;
    OpacityOverride override(*layer, e);
    if (settings.showCanvasColor) {
      if (settings.modernEngine)
        DrawLayerRect(display, *layer, rect);
      else
        DrawLayerFastRect(*layer, display, rect);
    } else {
      TPoint dest{rect.left, rect.top};
      SRectWH source{AddSat(rect.left, layer->offsetX), AddSat(rect.top, layer->offsetY), rect.width,
                     rect.height};
      BlendLayerIntoImage(*layer, display, dest, kTransparentComposeModeWord, source);
    }
  }
  if (grid) DrawGridRect(display, rect, settings.grid, settings.showCanvasColor);
  return true;
}

void GridPixelOp(uint32_t* pixel, uint32_t colour, int32_t alpha) {
  const uint32_t a = *pixel >> 24;
  if (a == 0) {
    *pixel = 0xFFFFFFFFu;
  } else if (a < 255) {
    uint32_t out = 0xFFFFFFFFu;
    BlendColor(&out, *pixel, static_cast<int32_t>(a));
    *pixel = out;
  }
  BlendColor(pixel, colour, alpha);
}

bool DrawGridRect(TMTC& display, SRectWH rect, const SGridSettings& grid, bool showCanvasColor) {
  if (!grid.visible || !display.IsValid() || !display.ClipRect(rect)) return false;
  const int64_t stepX = std::max(grid.stepX, 1), stepY = std::max(grid.stepY, 1);
  const int32_t alpha = static_cast<int32_t>(grid.colour >> 24);
  const PixelOp op = showCanvasColor ? PixelOp{BlendColor} : PixelOp{GridPixelOp};
  const int64_t left = rect.left, top = rect.top;
  const int64_t right = left + rect.width, bottom = top + rect.height;
  for (int64_t x = FirstMultiple(left, stepX); x < right; x += stepX)
    DrawLineOp(display, static_cast<int32_t>(x), rect.top, alpha, static_cast<int32_t>(x),
               static_cast<int32_t>(bottom - 1), alpha, grid.colour, op);
  for (int64_t y = FirstMultiple(top, stepY); y < bottom; y += stepY)
    DrawLineOp(display, rect.left, static_cast<int32_t>(y), alpha, static_cast<int32_t>(right - 1),
               static_cast<int32_t>(y), alpha, grid.colour, op);
  return true;
}

// ---- The view ----

float SViewGeometry::Zoom() const {
  if (zoomDenominator == 0) return 1.0f;
  return static_cast<float>(zoomNumerator) / static_cast<float>(zoomDenominator);
}

bool IsWholeZoomView(int32_t canvasWidth, int32_t canvasHeight, int32_t numerator, int32_t denominator) {
  if (denominator <= 0 || numerator <= 0) return false;
  if (numerator % denominator != 0) return false;
  const int64_t side = std::max(canvasWidth, canvasHeight);
  return side * numerator / 32768 < denominator;
}

SFlattenBackground ViewBackground(bool showCanvasColor, bool pattern, int32_t originX, int32_t originY) {
  SFlattenBackground bg;
  if (showCanvasColor) return bg;
  if (pattern) {
    bg.kind = SFlattenBackground::kChecker;
    bg.evenColour = kCheckerEvenColour;
    bg.oddColour = kCheckerOddColour;
    bg.cellWidth = kCheckerCell;
    bg.cellHeight = kCheckerCell;
    bg.originX = originX;
    bg.originY = originY;
  } else {
    bg.kind = SFlattenBackground::kColor;
    bg.colour = 0xFFFFFFu;
  }
  return bg;
}

void FlattenPixelForView(uint32_t* pixel, int32_t x, int32_t y, bool pattern) {
  if ((*pixel >> 24) == 255u) return;
  FlattenPixel(pixel, x, y, ViewBackground(false, pattern));
}

bool FillBackgroundPattern(TMTC& image, TRect bounds, const TPoint& anchor, bool showCanvasColor, bool pattern) {
  if (showCanvasColor) return false;
  if (pattern) {
    const TRect origin{anchor.x, anchor.y, anchor.x, anchor.y};
    return FlattenOnChecker(image, bounds, origin, SSize{kCheckerCell, kCheckerCell}, kCheckerEvenColour,
                            kCheckerOddColour);
  }
  return FlattenOnColor(image, bounds, 0xFFFFFFu);
}

bool PaintDirect(Surface& window, const TMTC& display, SRectWH rect, const SViewGeometry& view) {
  if (view.zoomDenominator <= 0 || view.zoomNumerator <= 0 || view.zoomNumerator % view.zoomDenominator != 0)
    return false;
  if (!display.IsValid() || !display.ClipRect(rect)) return false;
  const int64_t f = view.zoomNumerator / view.zoomDenominator;
  const PixelBlockView block = BlockViewOf(display);
  if (f == 1)
    return window.Blit(Clamp32(int64_t{rect.left} + view.scrollX - view.offsetX),
                       Clamp32(int64_t{rect.top} + view.scrollY - view.offsetY), rect.width, rect.height, block,
                       rect.left, rect.top);
  const int64_t x = int64_t{view.scrollX} + f * rect.left - f * view.offsetX;
  const int64_t y = int64_t{view.scrollY} + f * rect.top - f * view.offsetY;
  return window.StretchBlit(Clamp32(x), Clamp32(y), Clamp32(f * rect.width), Clamp32(f * rect.height), block,
                            rect.left, rect.top, rect.width, rect.height);
}

bool StretchExactFrom(TMTC& dest, const TMTC& source, const SRectWH& destRect, SRectWH sourceRect) {
  if (!dest.IsValid() || !source.IsValid() || destRect.width <= 0 || destRect.height <= 0) return false;
  // The source rect must lie inside the source as given: clipping it would change the scale.
  SRectWH clipped = sourceRect;
  if (!source.ClipRect(clipped) || clipped.left != sourceRect.left || clipped.top != sourceRect.top ||
      clipped.width != sourceRect.width || clipped.height != sourceRect.height)
    return false;
  const int64_t dl = destRect.left, dt = destRect.top, dw = destRect.width, dh = destRect.height;
  const int64_t x0 = std::max<int64_t>(dl, 0), x1 = std::min<int64_t>(dl + dw, dest.Width());
  const int64_t y0 = std::max<int64_t>(dt, 0), y1 = std::min<int64_t>(dt + dh, dest.Height());
  if (x0 >= x1 || y0 >= y1) return false;
  std::vector<int32_t> columns(static_cast<size_t>(x1 - x0));
  for (int64_t x = x0; x < x1; ++x)
    columns[static_cast<size_t>(x - x0)] =
        static_cast<int32_t>(sourceRect.left + (x - dl) * sourceRect.width / dw);
  int64_t lastRow = -1;
  const uint32_t* lastWritten = nullptr;
  for (int64_t y = y0; y < y1; ++y) {
    const int64_t sy = sourceRect.top + (y - dt) * sourceRect.height / dh;
    uint32_t* d = dest.Pixel(static_cast<int32_t>(x0), static_cast<int32_t>(y));
    if (sy == lastRow && lastWritten != nullptr) {
      std::copy_n(lastWritten, x1 - x0, d);  // a replicated row
      continue;
    }
    const uint32_t* s = source.Pixel(0, static_cast<int32_t>(sy));
    for (size_t i = 0; i < columns.size(); ++i) d[i] = s[columns[i]];
    lastRow = sy;
    lastWritten = d;
  }
  return true;
}

bool StretchToWindow(Surface* window, TMTC& dest, SRectWH canvasRect, const TMTC& display,
                     const SViewGeometry& view, bool showCanvasColor, bool pattern, SRectWH* outRect) {
  if (view.zoomDenominator <= 0 || view.zoomNumerator <= 0) return false;
  if (!display.IsValid() || !dest.IsValid() || !display.ClipRect(canvasRect)) return false;
  const int64_t z = FixDiv(view.zoomNumerator, view.zoomDenominator);
  const int64_t X0 = int64_t{view.scrollX} - z * view.offsetX / 65536;
  const int64_t Y0 = int64_t{view.scrollY} - z * view.offsetY / 65536;
  const int64_t left = X0 + z * canvasRect.left / 65536, top = Y0 + z * canvasRect.top / 65536;
  const int64_t width = (z * canvasRect.width) >> 16, height = (z * canvasRect.height) >> 16;
  if (width <= 0 || height <= 0) return false;
  // Window positions beyond 32 bits cannot show anything: the client size is an int32.
  if (left >= dest.Width() || top >= dest.Height() || left + width <= 0 || top + height <= 0) return false;
  const SRectWH destRect{Clamp32(left), Clamp32(top), Clamp32(width), Clamp32(height)};
  if (left != destRect.left || top != destRect.top || width != destRect.width || height != destRect.height)
    return false;
  if (!StretchExactFrom(dest, display, destRect, canvasRect)) return false;
  const int64_t canvasRight = X0 + z * display.Width() / 65536, canvasBottom = Y0 + z * display.Height() / 65536;
  TRect flatten{Clamp32(std::max(left, X0)), Clamp32(std::max(top, Y0)),
                Clamp32(std::min(left + width, canvasRight)), Clamp32(std::min(top + height, canvasBottom))};
  FillBackgroundPattern(dest, flatten, TPoint{Clamp32(X0), Clamp32(Y0)}, showCanvasColor, pattern);
  if (outRect != nullptr) *outRect = destRect;
  if (window != nullptr) {
    SRectWH shown = destRect;
    if (dest.ClipRect(shown))
      window->Blit(shown.left, shown.top, shown.width, shown.height, BlockViewOf(dest), shown.left, shown.top);
  }
  return true;
}

SRectWH RotatedPaintSquare(const SRectWH& canvasRect, const SViewGeometry& view, const TPoint& viewCentre) {
  if (canvasRect.width <= 0 || canvasRect.height <= 0) return SRectWH{0, 0, 0, 0};
  const double z = view.Zoom();
  const double side = std::max(canvasRect.width, canvasRect.height);
  const int64_t r = static_cast<int64_t>(std::trunc(side * z * std::sqrt(2.0) / 2.0)) + 1;
  const double centreX = canvasRect.left + canvasRect.width / 2.0;
  const double centreY = canvasRect.top + canvasRect.height / 2.0;
  const double dx = (centreX - viewCentre.x) * z, dy = (centreY - viewCentre.y) * z;
  const double c = view.cosine, n = view.sine;
  const int64_t wx =
      static_cast<int64_t>(std::clamp(std::trunc(c * dx + n * dy), -4e18, 4e18)) + view.clientWidth / 2;
  const int64_t wy =
      static_cast<int64_t>(std::clamp(std::trunc(-n * dx + c * dy), -4e18, 4e18)) + view.clientHeight / 2;
  return SRectWH{Clamp32(wx - r), Clamp32(wy - r), Clamp32(2 * r), Clamp32(2 * r)};
}

namespace {

// The nearest loop; finish(pixel, x, y) runs on every pixel taken from the buffer.
template <class Finish>
void NearestRows(TMTC& dest, const TMTC& display, const SRectWH& rect, const TPoint& centre, int64_t cs,
                 int64_t sn, uint32_t outside, Finish finish) {
  const int64_t wd2 = dest.Width() / 2, hd2 = dest.Height() / 2;
  const int64_t limitX = int64_t{display.Width()} << 16, limitY = int64_t{display.Height()} << 16;
  const int64_t cx = int64_t{centre.x} * 65536, cy = int64_t{centre.y} * 65536;
  const int64_t a0 = rect.left - wd2;
  const SDibView& src = display.View();
  for (int32_t y = rect.top; y < rect.top + rect.height; ++y) {
    const int64_t b = y - hd2;
    int64_t fx = cx + a0 * cs - b * sn;
    int64_t fy = cy + a0 * sn + b * cs;
    uint32_t* d = dest.Pixel(0, y);
    for (int32_t x = rect.left; x < rect.left + rect.width; ++x, fx += cs, fy += sn) {
      if (static_cast<uint64_t>(fx) < static_cast<uint64_t>(limitX) &&
          static_cast<uint64_t>(fy) < static_cast<uint64_t>(limitY)) {
        d[x] = *PixelAddr32(src, static_cast<int32_t>(fx >> 16), static_cast<int32_t>(fy >> 16));
        finish(d + x, x, y);
      } else {
        d[x] = outside;
      }
    }
  }
}

}  // namespace

bool RenderRotatedNearest(TMTC& dest, const TMTC& display, SRectWH destRect, const TPoint& viewCentre,
                          const SViewGeometry& view, bool showCanvasColor, bool pattern, uint32_t outsideColour) {
  if (!dest.IsValid() || !display.IsValid() || !dest.ClipRect(destRect)) return false;
  const float s = 1.0f / view.Zoom();
  const int64_t cs = SingleToFix(view.cosine * s);
  const int64_t sn = SingleToFix(view.sine * s);
  if (showCanvasColor) {
    NearestRows(dest, display, destRect, viewCentre, cs, sn, outsideColour, [](uint32_t*, int32_t, int32_t) {});
  } else if (pattern) {
    NearestRows(dest, display, destRect, viewCentre, cs, sn, outsideColour,
                [](uint32_t* p, int32_t x, int32_t y) {
                  if ((*p >> 24) != 255u) FlattenPixelForView(p, x, y, true);
                });
  } else {
    NearestRows(dest, display, destRect, viewCentre, cs, sn, outsideColour,
                [](uint32_t* p, int32_t x, int32_t y) {
                  if ((*p >> 24) != 255u) FlattenPixelForView(p, x, y, false);
                });
  }
  return true;
}

bool RenderRotatedSmooth(TMTC& dest, TMTC& display, CScaleImageTMTC& scaler, SRectWH destRect,
                         const TPoint& viewCentre, const SViewGeometry& view, bool showCanvasColor, bool pattern,
                         uint32_t outsideColour) {
  if (!dest.IsValid() || !display.IsValid()) return false;
  const SFlattenBackground bg = ViewBackground(showCanvasColor, pattern);
  return ScaleRotateInto(dest, display, scaler, viewCentre, destRect, view.angle, view.Zoom(), outsideColour,
                         &bg);
}

// ---- Thumbnails and the navigator ----

SRectWH ScaledThumbnailRect(const SRectWH& canvasRect, int32_t imageWidth, int32_t imageHeight,
                            int32_t canvasWidth, int32_t canvasHeight) {
  if (imageWidth <= 0 || imageHeight <= 0 || canvasWidth <= 0 || canvasHeight <= 0) return SRectWH{0, 0, 0, 0};
  const float fx = static_cast<float>(imageWidth) / static_cast<float>(canvasWidth);
  const float fy = static_cast<float>(imageHeight) / static_cast<float>(canvasHeight);
  auto trunc32 = [](float v) { return Clamp32(static_cast<int64_t>(std::clamp(std::trunc(v), -4e18f, 4e18f))); };
  // The far edge is scaled on its own: a width scaled apart from its left edge can end a pixel
  // short of the part the changed rectangle reaches.
  const int32_t left = trunc32(static_cast<float>(canvasRect.left) * fx);
  const int32_t top = trunc32(static_cast<float>(canvasRect.top) * fy);
  const int32_t right = AddSat(trunc32(static_cast<float>(int64_t{canvasRect.left} + canvasRect.width) * fx), 1);
  const int32_t bottom = AddSat(trunc32(static_cast<float>(int64_t{canvasRect.top} + canvasRect.height) * fy), 1);
  return SRectWH{left, top, Clamp32(int64_t{right} - left), Clamp32(int64_t{bottom} - top)};
}

bool DrawLayerThumbnailRect(CLayerData& layer, const SRectWH& thumbnailRect) {
  TMTC* thumbnail = layer.Thumbnail();
  const CBlockVMTC* store = layer.Store();
  if (thumbnail == nullptr || store == nullptr || !thumbnail->IsValid()) return false;
  return DrawBlockScaledTo(*store, *thumbnail, thumbnailRect.left, thumbnailRect.top, thumbnailRect.width,
                           thumbnailRect.height, layer.offsetX, layer.offsetY, layer.canvasWidth,
                           layer.canvasHeight);
}

bool UpdateNavigatorRect(TMTC& navigator, const TMTC& display, const SRectWH& navigatorRect, bool showCanvasColor,
                         bool pattern) {
  if (!navigator.IsValid() || !display.IsValid()) return false;
  if (!BoxScaleTo(display, navigator, navigatorRect.left, navigatorRect.top, navigatorRect.width,
                  navigatorRect.height))
    return false;
  TRect bounds{navigatorRect.left, navigatorRect.top, AddSat(navigatorRect.left, navigatorRect.width),
               AddSat(navigatorRect.top, navigatorRect.height)};
  FillBackgroundPattern(navigator, bounds, TPoint{0, 0}, showCanvasColor, pattern);
  return true;
}

}  // namespace tf
