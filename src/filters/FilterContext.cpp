// The filter context, its coverage rule and the covered loops.
#include "filters/FilterContext.h"

#include <algorithm>
#include <limits>

#include "document/LayerData.h"
#include "filters/FilterCore.h"
#include "raster/BlockVCH.h"
#include "raster/ColorMath.h"

namespace tf {

int32_t MaskCoverage(const CMaskData* mask, int32_t offsetX, int32_t offsetY, int32_t x, int32_t y) {
  // Canvas point = store point - layer offset; a point outside the mask store has no value: 0.
  const int64_t cx = int64_t{x} - offsetX;
  const int64_t cy = int64_t{y} - offsetY;
  if (mask == nullptr || cx < INT32_MIN || cx > INT32_MAX || cy < INT32_MIN || cy > INT32_MAX) return 0;
  const int32_t v = mask->ValueAtCanvas(static_cast<int32_t>(cx), static_cast<int32_t>(cy));
  return v < 0 ? 0 : v;
}

int32_t FullCoverage(const CMaskData*, int32_t, int32_t, int32_t, int32_t) { return 255; }

namespace {

int64_t Area(const TRect& r) {
  const int64_t w = int64_t{r.right} - r.left;
  const int64_t h = int64_t{r.bottom} - r.top;
  return w > 0 && h > 0 ? w * h : 0;
}

// Intersection in 64 bits; false when empty.
bool Intersect(TRect& r, const TRect& with) {
  r.left = std::max(r.left, with.left);
  r.top = std::max(r.top, with.top);
  r.right = std::min(r.right, with.right);
  r.bottom = std::min(r.bottom, with.bottom);
  return r.right > r.left && r.bottom > r.top;
}

// Moves r by (dx, dy) and clips it to the store (0, 0, width, height); false when empty.
bool MoveIntoStore(TRect& r, int64_t dx, int64_t dy, int32_t width, int32_t height) {
  const int64_t left = std::max<int64_t>(int64_t{r.left} + dx, 0);
  const int64_t top = std::max<int64_t>(int64_t{r.top} + dy, 0);
  const int64_t right = std::min<int64_t>(int64_t{r.right} + dx, width);
  const int64_t bottom = std::min<int64_t>(int64_t{r.bottom} + dy, height);
  if (right <= left || bottom <= top) {
    r = TRect{0, 0, 0, 0};
    return false;
  }
  r = TRect{static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right),
            static_cast<int32_t>(bottom)};
  return true;
}

}  // namespace

bool GetMaskedLayerRect(const CLayerData& layer, const CMaskData* mask, TRect& rect) {
  const int32_t width = layer.StoreWidth();
  const int32_t height = layer.StoreHeight();
  rect = TRect{0, 0, width, height};
  if (width <= 0 || height <= 0) return false;
  if (!CMaskData::IsAllocated(mask)) return true;
  TRect bits{};
  if (!mask->Store()->GetNonZeroBounds(bits)) {
    rect = TRect{0, 0, 0, 0};
    return false;
  }
  rect = bits;
  return MoveIntoStore(rect, int64_t{layer.offsetX} - mask->offsetX, int64_t{layer.offsetY} - mask->offsetY, width,
                       height);
}

bool GetMaskedCanvasRect(const CLayerData& layer, const CMaskData* mask, TRect& rect) {
  if (!GetMaskedLayerRect(layer, mask, rect)) return false;
  // Inside a store whose offsets are bounded by its size, so no overflow.
  rect.left -= layer.offsetX;
  rect.right -= layer.offsetX;
  rect.top -= layer.offsetY;
  rect.bottom -= layer.offsetY;
  return true;
}

bool BuildFilterContext(FilterContext& context, const CFlt4Core& core, const TRect* clip) {
  if (!core.IsValid()) return false;
  const CLayerData& layer = *core.Layer();
  FilterContext c;
  c.Store = layer.Store();
  c.BlendMode = layer.blendMode;
  c.OffsetX = layer.offsetX;
  c.OffsetY = layer.offsetY;
  c.KeepAlpha = core.KeepAlphaOverride() >= 0 ? static_cast<uint8_t>(core.KeepAlphaOverride() != 0)
                                               : layer.alphaProtect;
  c.Mask = core.Mask();
  c.Bounds = core.Bounds();
  c.Backup = core.Backup();
  c.Source = core.SourceView()->IsValid() ? core.SourceView() : nullptr;
  c.SourceMask = core.SourceMaskView()->IsValid() ? core.SourceMaskView() : nullptr;
  c.Work = c.Bounds;
  if (clip != nullptr && !Intersect(c.Work, *clip)) c.Work = TRect{0, 0, 0, 0};
  c.Coverage = CMaskData::IsAllocated(c.Mask) ? &MaskCoverage : &FullCoverage;
  c.Note = core.Note();
  context = c;
  return true;
}

bool CheckFilterContext(const FilterContext& c) {
  if (c.Store == nullptr || c.Mask == nullptr || c.Backup == nullptr || c.Source == nullptr ||
      c.SourceMask == nullptr || c.Coverage == nullptr)
    return false;
  if (Area(c.Bounds) <= 0 || Area(c.Work) <= 0) return false;
  // Work lies inside the store and inside Source (the same size), so no loop leaves them.
  const TRect store{0, 0, c.Store->Width(), c.Store->Height()};
  return c.Work.left >= store.left && c.Work.top >= store.top && c.Work.right <= store.right &&
         c.Work.bottom <= store.bottom && c.Source->Width() >= store.right && c.Source->Height() >= store.bottom;
}

bool FilterTruncToInt(const FilterContext& context, double x, int32_t& out) {
  if (!std::isfinite(x) || x <= -2147483649.0 || x >= 2147483648.0) {
    if (context.Note != nullptr) context.Note->notFinite = true;
    out = 0;
    return false;
  }
  out = static_cast<int32_t>(x);
  return true;
}

// ---------------------------------------------------------------------------------------------
// The covered loops

bool MapByChannelTables(FilterContext& context, const uint8_t table[1024], bool keepAlpha) {
  return ForEachCoveredPixelAnyOrder(context, keepAlpha, [table](int32_t, int32_t, uint32_t p) {
    return static_cast<uint32_t>(table[4 * (p & 0xFFu)]) | static_cast<uint32_t>(table[4 * ((p >> 8) & 0xFFu) + 1]) << 8 |
           static_cast<uint32_t>(table[4 * ((p >> 16) & 0xFFu) + 2]) << 16 |
           static_cast<uint32_t>(table[4 * (p >> 24) + 3]) << 24;
  });
}

bool MapByLuminance(FilterContext& context, const uint32_t table[256], bool keepAlpha) {
  return ForEachCoveredPixelAnyOrder(context, keepAlpha,
                             [table](int32_t, int32_t, uint32_t p) { return table[PixelLuminance(&p)]; });
}

bool MapColourByLuminance(FilterContext& context, const uint32_t table[256], bool keepAlpha) {
  return ForEachCoveredPixelAnyOrder(context, keepAlpha, [table](int32_t, int32_t, uint32_t p) {
    return (table[PixelLuminance(&p)] & 0x00FFFFFFu) | (table[p >> 24] & 0xFF000000u);
  });
}

bool EraseCovered(FilterContext& context, const void* /*block*/, int32_t size) {
  if (size != 0) return false;
  return ForEachCoveredPixelAnyOrder(context, false, [](int32_t, int32_t, uint32_t) { return 0u; });
}

bool CopySourceCovered(FilterContext& context, const void* /*block*/, int32_t size) {
  if (size != 0) return false;
  const TMTC* source = context.Source;
  return ForEachCoveredPixelAnyOrder(context, false,
                             [source](int32_t x, int32_t y, uint32_t) { return source->GetPixel(x, y); });
}

}  // namespace tf
