// Building layers from layers: relaying a store, and clipping or pasting a layer through a mask.
#include "paper/LayerBuild.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "document/Mask.h"
#include "document/UndoData.h"
#include "paper/Paper.h"
#include "raster/BlockVCH.h"
#include "raster/BlockVMTC.h"
#include "raster/Composite.h"

namespace tf {

namespace {

bool ValidStoreSide(int64_t side) { return side >= 1 && side <= kMaxLayerStoreSide; }

// Calls fn(storeX, storeY, m) for every pixel of the layer store whose mask value m (read at the
// same canvas point) is above 0, inside the store rectangle area (store coordinates). Mask tiles
// that are uncommitted with fill 0 are passed over whole.
template <class Fn>
void ForEachSelectedPixel(const CLayerData& layer, const CMaskData& mask, const SRectWH& area, Fn fn) {
  const CBlockVCH& ms = *mask.Store();
  // The area in mask store coordinates, clipped to the mask store.
  const int64_t shiftX = int64_t{mask.offsetX} - layer.offsetX;  // mask x = store x + shiftX
  const int64_t shiftY = int64_t{mask.offsetY} - layer.offsetY;
  const int64_t left = std::max<int64_t>(area.left + shiftX, 0);
  const int64_t top = std::max<int64_t>(area.top + shiftY, 0);
  const int64_t right = std::min<int64_t>(int64_t{area.left} + area.width + shiftX, ms.Width());
  const int64_t bottom = std::min<int64_t>(int64_t{area.top} + area.height + shiftY, ms.Height());
  if (left >= right || top >= bottom) return;
  const int32_t shift = ms.TileShift();
  const int32_t tile = ms.TileSize();
  for (int64_t ty = top >> shift; ty <= (bottom - 1) >> shift; ++ty) {
    for (int64_t tx = left >> shift; tx <= (right - 1) >> shift; ++tx) {
      if (tx >= ms.TilesAcross() || ty >= ms.TilesDown()) continue;
      // Peeks: an unselected tile never looked at before stays so.
      const int32_t index = static_cast<int32_t>(tx + ty * ms.TilesAcross());
      if (!ms.TileCommittedAt(index) && (ms.TileFillAt(index) & 0xFFu) == 0) continue;
      const int64_t y0 = std::max(top, ty * tile);
      const int64_t y1 = std::min(bottom, (ty + 1) * tile);
      const int64_t x0 = std::max(left, tx * tile);
      const int64_t x1 = std::min(right, (tx + 1) * tile);
      for (int64_t y = y0; y < y1; ++y) {
        for (int64_t x = x0; x < x1; ++x) {
          const uint8_t m = ms.GetPixel(static_cast<int32_t>(x), static_cast<int32_t>(y));
          if (m == 0) continue;
          fn(static_cast<int32_t>(x - shiftX), static_cast<int32_t>(y - shiftY), m);
        }
      }
    }
  }
}

// The new alpha of a pixel cut out by mask value m (1..254).
uint32_t ErasedAlpha(uint32_t a, uint32_t m, int32_t mode) {
  if (mode == 0) {
    if (a == 255) return 255 - m;
    return (255 - m) * a * 255 / (65025 - a * m);
  }
  return a * (255 - m) / 255;
}

bool PasteThroughMask(CLayerData& layer, const TMTC& image, const TPoint& dest, const CMaskData& mask,
                      const SRectWH& source, bool withAlpha) {
  CBlockVMTC* store = layer.Store();
  if (store == nullptr || !image.IsValid() || !mask.IsAllocated()) return false;
  TPoint at = dest;
  SRectWH from = source;
  if (!ClipBlit(store->Size(), image.Size(), at, from)) return false;
  const SRectWH area{at.x, at.y, from.width, from.height};
  const int32_t dx = from.left - at.x;  // image x = store x + dx
  const int32_t dy = from.top - at.y;
  bool refused = false;
  ForEachSelectedPixel(layer, mask, area, [&](int32_t x, int32_t y, uint8_t m) {
    uint32_t* pixel = store->WritePtr(x, y);
    if (pixel == nullptr) {
      refused = true;
      return;
    }
    const uint32_t colour = image.GetPixel(x + dx, y + dy);
    BlendColor(pixel, colour, m);
    if (withAlpha) *pixel = (*pixel & 0x00FFFFFFu) | (MulDiv255(m, colour >> 24) << 24);
  });
  return !refused;
}

}  // namespace

bool PointListBounds(const TPoint* points, int32_t count, int32_t& left, int32_t& top, int32_t& width,
                     int32_t& height) {
  if (points == nullptr || count < 1) return false;
  int64_t x0 = points[0].x, x1 = points[0].x, y0 = points[0].y, y1 = points[0].y;
  for (int32_t i = 1; i < count; ++i) {
    x0 = std::min<int64_t>(x0, points[i].x);
    x1 = std::max<int64_t>(x1, points[i].x);
    y0 = std::min<int64_t>(y0, points[i].y);
    y1 = std::max<int64_t>(y1, points[i].y);
  }
  const int64_t l = x0 - 2, t = y0 - 2, w = x1 - x0 + 4, h = y1 - y0 + 4;
  if (l < INT32_MIN || t < INT32_MIN || w > INT32_MAX || h > INT32_MAX) return false;
  left = static_cast<int32_t>(l);
  top = static_cast<int32_t>(t);
  width = static_cast<int32_t>(w);
  height = static_cast<int32_t>(h);
  return true;
}

bool ApplyReversibleCode(CLayerData& layer, uint8_t code) {
  CBlockVMTC* store = layer.Store();
  if (store == nullptr) return false;
  const int32_t w = store->Width();
  const int32_t h = store->Height();
  SRectWH area{0, 0, w, h};
  switch (code) {
    case kUndoFlipLayerHorizontal:
      if (!store->FlipHorizontal(area)) return false;
      layer.offsetX = w - layer.offsetX - layer.canvasWidth;
      return true;
    case kUndoFlipLayerVertical:
      if (!store->FlipVertical(area)) return false;
      layer.offsetY = h - layer.offsetY - layer.canvasHeight;
      return true;
    case kUndoInvertLayerColors: return store->XorRect(area, 0x00FFFFFFu);
    case kUndoRotateLayer180:
      if (!store->Rotate180(area)) return false;
      layer.offsetX = w - layer.offsetX - layer.canvasWidth;
      layer.offsetY = h - layer.offsetY - layer.canvasHeight;
      return true;
    case kUndoInvertLayerAlpha: return store->XorRect(area, 0xFF000000u);
    default: return false;
  }
}

std::unique_ptr<CLayerData> NewLayerLike(const CLayerData& source, int32_t width, int32_t height, int32_t offsetX,
                                         int32_t offsetY) {
  if (!ValidStoreSide(width) || !ValidStoreSide(height)) return nullptr;
  auto layer = std::unique_ptr<CLayerData>(new (std::nothrow) CLayerData(source.index, source.HasOwnUndo()));
  if (!layer || !layer->Init(width, height, source.blendMode)) return nullptr;
  layer->CopyAttributes(source);
  layer->canvasWidth = source.canvasWidth;
  layer->canvasHeight = source.canvasHeight;
  layer->offsetX = offsetX;
  layer->offsetY = offsetY;
  layer->UpdateThumbnailSize();
  return layer;
}

bool PlanStoreGrowth(const CLayerData& layer, int32_t dx, int32_t dy, int32_t overflowBits, SStoreGrowth& out) {
  if (layer.Store() == nullptr) return false;
  if (std::abs(int64_t{dx}) > kMaxLayerStoreSide || std::abs(int64_t{dy}) > kMaxLayerStoreSide) return false;
  auto axis = [](bool grows, int64_t side, int64_t offset, int64_t delta, int64_t& newSide, int64_t& at,
                 int64_t& newOffset) {
    if (grows) {
      newSide = side + (delta < 0 ? -delta : delta);
      at = std::max<int64_t>(delta, 0);
      newOffset = delta < 0 ? offset - delta : offset;
    } else {
      newSide = side;
      at = 0;
      newOffset = offset - delta;
    }
  };
  int64_t w = 0, h = 0, ax = 0, ay = 0, ox = 0, oy = 0;
  axis((overflowBits & 1) != 0, layer.StoreWidth(), layer.offsetX, dx, w, ax, ox);
  axis((overflowBits & 2) != 0, layer.StoreHeight(), layer.offsetY, dy, h, ay, oy);
  if (!ValidStoreSide(w) || !ValidStoreSide(h) || ox < INT32_MIN || ox > INT32_MAX || oy < INT32_MIN ||
      oy > INT32_MAX)
    return false;
  out.size = SSize{static_cast<int32_t>(w), static_cast<int32_t>(h)};
  out.dest = TPoint{static_cast<int32_t>(ax), static_cast<int32_t>(ay)};
  out.offset = TPoint{static_cast<int32_t>(ox), static_cast<int32_t>(oy)};
  return true;
}

std::unique_ptr<CLayerData> RelayLayer(CLayerData& layer, const SSize& storeSize, const SSize& thumbnailSize,
                                       int32_t fit, const TPoint& dest, const TPoint& offset,
                                       const SSize& canvas) {
  CBlockVMTC* store = layer.Store();
  if (store == nullptr || !ValidStoreSide(storeSize.width) || !ValidStoreSide(storeSize.height)) return nullptr;
  if (canvas.width < 1 || canvas.height < 1 || storeSize.width < canvas.width || storeSize.height < canvas.height)
    return nullptr;
  // The canvas must lie inside the new store.
  if (offset.x < 0 || offset.y < 0 || offset.x > storeSize.width - canvas.width ||
      offset.y > storeSize.height - canvas.height)
    return nullptr;
  auto relaid = std::unique_ptr<CLayerData>(new (std::nothrow) CLayerData(layer.index, layer.HasOwnUndo()));
  if (!relaid || !relaid->Init(storeSize.width, storeSize.height, layer.blendMode)) return nullptr;
  if (fit > 0) {
    relaid->CopyAttributes(layer);
  } else {
    relaid->opacity = layer.opacity;
    relaid->visible = layer.visible;
    relaid->name = layer.name;
  }
  relaid->offsetX = offset.x;
  relaid->offsetY = offset.y;
  relaid->canvasWidth = layer.canvasWidth;
  relaid->canvasHeight = layer.canvasHeight;
  if (thumbnailSize.width >= 1 && thumbnailSize.height >= 1) {
    if (!relaid->SetThumbnailSize(thumbnailSize.width, thumbnailSize.height)) return nullptr;
  } else if (!relaid->UpdateThumbnailSize()) {
    return nullptr;
  }
  store->Compact();
  TPoint at = dest;
  SRectWH whole{0, 0, store->Width(), store->Height()};
  if (!relaid->Store()->CopyFrom(*store, at, whole)) {
    // Nothing to copy is fine (the old store lies wholly outside); a refused tile is not.
    TRect inside{dest.x, dest.y, dest.x + store->Width(), dest.y + store->Height()};
    if (relaid->Store()->ClipBounds(inside)) return nullptr;
  }
  relaid->UpdateThumbnail();
  if (fit > 0) ReplaceWithFitted(canvas, relaid);
  return relaid;
}

bool EraseLayerByMask(CLayerData& layer, const CMaskData& mask, int32_t mode) {
  CBlockVMTC* store = layer.Store();
  if ((mode != 0 && mode != 1) || store == nullptr || !mask.IsAllocated()) return false;
  bool refused = false;
  ForEachSelectedPixel(layer, mask, SRectWH{0, 0, store->Width(), store->Height()},
                       [&](int32_t x, int32_t y, uint8_t m) {
                         const uint32_t before = store->GetPixel(x, y);
                         const uint32_t a = before >> 24;
                         if (a == 0) return;
                         const uint32_t alpha = m == 255 ? 0 : ErasedAlpha(a, m, mode);
                         uint32_t* pixel = store->WritePtr(x, y);
                         if (pixel == nullptr) {
                           refused = true;
                           return;
                         }
                         *pixel = (before & 0x00FFFFFFu) | (alpha << 24);
                       });
  layer.UpdateThumbnail();
  return !refused;
}

bool KeepLayerInMask(CLayerData& layer, const CMaskData& mask) {
  CBlockVMTC* store = layer.Store();
  if (store == nullptr || !mask.IsAllocated()) return false;
  TRect used{};
  bool meets = mask.GetTileBounds(used);
  // The used tiles in store coordinates, clipped to the store.
  auto clip = [](int64_t v, int32_t side) { return static_cast<int32_t>(std::clamp<int64_t>(v, 0, side)); };
  const TRect inside{clip(int64_t{used.left} + layer.offsetX, store->Width()),
                     clip(int64_t{used.top} + layer.offsetY, store->Height()),
                     clip(int64_t{used.right} + layer.offsetX, store->Width()),
                     clip(int64_t{used.bottom} + layer.offsetY, store->Height())};
  meets = meets && inside.left < inside.right && inside.top < inside.bottom;
  if (!meets) {
    const bool done = store->SetAlphaAll(0);
    layer.UpdateThumbnail();
    return done;
  }
  const int32_t sw = store->Width();
  const int32_t sh = store->Height();
  // Up to four rectangles outside: above, below, and left and right of the inside band.
  const SRectWH outside[4] = {{0, 0, sw, inside.top},
                              {0, inside.bottom, sw, sh - inside.bottom},
                              {0, inside.top, inside.left, inside.bottom - inside.top},
                              {inside.right, inside.top, sw - inside.right, inside.bottom - inside.top}};
  bool done = true;
  for (SRectWH rect : outside) {
    if (rect.width > 0 && rect.height > 0 && !store->SetAlphaRect(rect, 0)) done = false;
  }
  const CBlockVCH& ms = *mask.Store();
  for (int32_t y = inside.top; y < inside.bottom; ++y) {
    for (int32_t x = inside.left; x < inside.right; ++x) {
      const uint32_t before = store->GetPixel(x, y);
      const uint32_t a = before >> 24;
      if (a == 0) continue;
      const uint8_t m = ms.GetPixelSafe(x - layer.offsetX + mask.offsetX, y - layer.offsetY + mask.offsetY);
      const uint32_t alpha = MulTable[m][a];
      if (alpha == a) continue;
      uint32_t* pixel = store->WritePtr(x, y);
      if (pixel == nullptr) {
        done = false;
        continue;
      }
      *pixel = (before & 0x00FFFFFFu) | (alpha << 24);
    }
  }
  layer.UpdateThumbnail();
  return done;
}

std::unique_ptr<CLayerData> CopyLayerInMask(const CLayerData& layer, const CMaskData& mask) {
  if (layer.Store() == nullptr || !mask.IsAllocated()) return nullptr;
  auto copy = std::unique_ptr<CLayerData>(new (std::nothrow) CLayerData(layer.index, layer.HasOwnUndo()));
  if (!copy || !copy->InitFrom(layer)) return nullptr;
  copy->index = layer.index;
  if (!KeepLayerInMask(*copy, mask)) return nullptr;
  copy->Store()->Compact();
  return copy;
}

bool PasteThroughMaskColour(CLayerData& layer, const TMTC& image, const TPoint& dest, const CMaskData& mask,
                            const SRectWH& source) {
  return PasteThroughMask(layer, image, dest, mask, source, false);
}

bool PasteThroughMaskAlpha(CLayerData& layer, const TMTC& image, const TPoint& dest, const CMaskData& mask,
                           const SRectWH& source) {
  return PasteThroughMask(layer, image, dest, mask, source, true);
}

}  // namespace tf
