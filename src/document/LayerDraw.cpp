#include "document/LayerDraw.h"

#include "document/LayerData.h"
#include "platform/Clock.h"

namespace tf {
namespace {

inline bool FillIsVisible(uint32_t fill) { return (fill >> 24) != 0; }

inline SRectWH LocalRect(int32_t x, int32_t y, int32_t width, int32_t height) {
  return SRectWH{x & 31, y & 31, width, height};
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Store-level layer drawing

bool DrawLayerTo(const CBlockVMTC& store, TMTC& image, const CLayerData& layer, TPoint& destPoint,
                 SRectWH& sourceRect) {
  if (layer.opacity == 0) return false;
  const SLayerParam* entry = GetBlendModeEntry(layer.blendMode);
  if (entry == nullptr || !image.IsValid()) return false;
  const int32_t opacity = layer.opacity;
  PixelRowOp pixelRow = entry->sourceAlphaRows.pixels;
  ColorRowOp colourRow = entry->sourceAlphaRows.colour;
  if (layer.dissolve) {
    // A copy of the layer's record: the same pattern on every redraw, the record not advanced.
    SetRandomThreshold(entry->sourceAlpha, layer.random, layer.dissolveThreshold);
    pixelRow = &PixelRow<RandomThresholdOp>;
    colourRow = &ColorRow<RandomThresholdOp>;
  }
  // A dissolving layer draws one number for every pixel of the source rectangle, shown or not: its
  // pattern then follows the pixels alone, not how the store happens to hold them (a transparent
  // tile released by a compaction, or content rectangles grown and shrunk, would otherwise shift
  // the sequence, and a replayed document would show another pattern than the recorded one). A
  // transparent pixel never passes the threshold, so the pixels drawn stay the same.
  const bool everyPixel = layer.dissolve != 0;
  const auto piece = [&](const TPoint& dp, const SRectWH& sp) {
    const STileInfo* tile = store.GetTile(sp.left >> 5, sp.top >> 5);
    if (tile->committed) {
      CombineRowsToRaw(*store.TileView(*tile), image, dp, LocalRect(sp.left, sp.top, sp.width, sp.height),
                       opacity, pixelRow);
    } else if (everyPixel || FillIsVisible(tile->fill)) {
      ApplyColorRowsRaw(image, SRectWH{dp.x, dp.y, sp.width, sp.height}, tile->fill, opacity, colourRow);
    }
  };
  if (everyPixel) {
    TPoint point = destPoint;
    SRectWH rect = sourceRect;
    // Nothing of the store in the image draws nothing, as a store without content does.
    if (store.ContentRects().count > 0) store.WalkToImageWith(image.Size(), point, rect, piece);
    return true;
  }
  bool result = true;
  const SRegionList& content = store.ContentRects();
  for (int32_t i = 0; i < content.count; ++i) {
    TPoint point = destPoint;
    SRectWH rect = sourceRect;
    if (!ContentRectPiece(store, i, point, rect)) continue;
    result = store.WalkToImageWith(image.Size(), point, rect, piece);
  }
  return result;
}

bool DrawLayerFastTo(const CBlockVMTC& store, TMTC& image, const CLayerData& layer, TPoint& destPoint,
                     SRectWH& sourceRect) {
  if (!image.IsValid()) return false;
  const SLegacyOpPair& pair = GetLegacyOpPair(layer.blendMode);
  const int32_t opacity = layer.opacity;
  return store.WalkToImageWith(image.Size(), destPoint, sourceRect, [&](const TPoint& dp, const SRectWH& sp) {
    const STileInfo* tile = store.GetTile(sp.left >> 5, sp.top >> 5);
    if (tile->committed) {
      pair.block(image, *store.TileView(*tile), sp.left & 31, sp.top & 31, sp.width, sp.height, dp.x, dp.y,
                 opacity);
    } else if (FillIsVisible(tile->fill)) {
      ApplyColorRowsRaw(image, SRectWH{dp.x, dp.y, sp.width, sp.height}, tile->fill, opacity,
                        pair.pixelRows.colour);
    }
  });
}

bool BlendFromLayer(CBlockVMTC& store, const CBlockVMTC& source, const CLayerData& layer, TPoint& destPoint,
                    SRectWH& sourceRect) {
  const SLayerParam* entry = GetBlendModeEntry(layer.blendMode);
  if (entry == nullptr) return false;
  const int32_t opacity = layer.opacity;
  // Source tiles that add nothing (no pixels, a transparent fill) are passed over.
  return store.FromBlockPieces(
      source, destPoint, sourceRect,
      [&](TVMTC& view, TPoint& local, const TVMTC& sourceView, SRectWH& sourceLocal) {
        CombineRowsToRaw(sourceView, view, local, sourceLocal, opacity, entry->sourceAlphaRows.pixels);
      },
      [&](uint32_t& fill, uint32_t sourceFill) { entry->sourceAlpha(&fill, sourceFill, opacity); },
      [&](TVMTC& view, SRectWH& local, uint32_t sourceFill) {
        ApplyColorRowsRaw(view, local, sourceFill, opacity, entry->sourceAlphaRows.colour);
      },
      {.skipClearSource = true, .keepRectWhenRefused = true});
}

bool MergeLayerPair(const CBlockVMTC& source, CBlockVMTC& dest, const CLayerData& layer, TPoint& destPoint,
                    SRectWH& sourceRect) {
  const SLegacyOpPair& pair = GetLegacyOpPair(layer.blendMode);
  const int32_t opacity = layer.opacity;
  // As BlendFromLayer; everything written ends opaque.
  return dest.FromBlockPieces(
      source, destPoint, sourceRect,
      [&](TVMTC& view, TPoint& local, const TVMTC& sourceView, SRectWH& sourceLocal) {
        pair.block(view, sourceView, sourceLocal.left, sourceLocal.top, sourceLocal.width, sourceLocal.height,
                   local.x, local.y, opacity);
        SRectWH written{local.x, local.y, sourceLocal.width, sourceLocal.height};
        view.SetAlphaRect(written, 255);
      },
      [&](uint32_t& fill, uint32_t sourceFill) {
        pair.pixel(&fill, sourceFill, opacity);
        fill |= 0xFF000000u;
      },
      [&](TVMTC& view, SRectWH& local, uint32_t sourceFill) {
        ApplyColorRowsRaw(view, local, sourceFill, opacity, pair.pixelRows.colour);
        view.SetAlphaRect(local, 255);
      },
      {.skipClearSource = true, .keepRectWhenRefused = true});
}

// ---------------------------------------------------------------------------------------------
// Layer joins

SBlendLayer BlendLayerOf(const CLayerData& layer) {
  SBlendLayer result;
  result.mode = layer.blendMode;
  result.opacity = layer.opacity;
  result.dissolve = layer.dissolve != 0;
  result.dissolveThreshold = layer.dissolveThreshold;
  result.random = layer.random;
  return result;
}

bool DrawLayerToReseed(const CBlockVMTC& store, TMTC& image, const CLayerData& layer, TPoint& destPoint,
                       SRectWH& sourceRect, bool reseed) {
  if (reseed) {
    // Prepared as the composition asks, but the stored record keeps the pattern stable.
    SRandom fresh;
    RandomInit(fresh, static_cast<int32_t>(timeGetTime()), kDissolveRandomLow, kDissolveRandomHigh);
    (void)fresh;
  }
  return DrawLayerTo(store, image, layer, destPoint, sourceRect);
}

bool CombineLayers(CLayerData& lower, const CLayerData& upper, TPoint& destPoint, SRectWH& sourceRect) {
  if (lower.Store() == nullptr || upper.Store() == nullptr) return false;
  SBlendLayer below = BlendLayerOf(lower);
  const bool done =
      CombineLayerStores(*lower.Store(), below, *upper.Store(), BlendLayerOf(upper), destPoint, sourceRect);
  lower.opacity = below.opacity;
  return done;
}

bool CompositeLayers(CLayerData& lower, const CLayerData& upper, TPoint& destPoint, uint32_t modeWord,
                     SRectWH& sourceRect) {
  if (lower.Store() == nullptr || upper.Store() == nullptr) return false;
  SBlendLayer below = BlendLayerOf(lower);
  const bool done = CompositeLayerStores(*lower.Store(), below, *upper.Store(), BlendLayerOf(upper), destPoint,
                                         modeWord, sourceRect);
  lower.opacity = below.opacity;
  return done;
}

bool BlendLayerIntoImage(const CLayerData& layer, TMTC& image, TPoint& destPoint, uint32_t modeWord,
                         SRectWH& sourceRect) {
  if (layer.Store() == nullptr) return false;
  return BlendLayerStoreIntoImage(*layer.Store(), BlendLayerOf(layer), image, destPoint, modeWord, sourceRect);
}

bool BlendImageIntoImage(TMTC& display, const TMTC& source, const CLayerData& layer, uint32_t modeWord,
                         SRectWH& sourceRect, TPoint& destPoint) {
  return BlendImageIntoImage(display, source, BlendLayerOf(layer), modeWord, sourceRect, destPoint);
}

bool DrawImageAsLayer(TMTC& display, const TMTC& source, TPoint& destPoint, bool reseed, const CLayerData& layer,
                      SRectWH& sourceRect) {
  return DrawImageAsLayer(display, source, destPoint, reseed, BlendLayerOf(layer), sourceRect);
}

bool DrawLayerToImage(const CLayerData& layer, TMTC& image, int32_t x, int32_t y) {
  if (layer.Store() == nullptr) return false;
  TPoint point{x, y};
  SRectWH rect{0, 0, layer.StoreWidth(), layer.StoreHeight()};
  return DrawLayerTo(*layer.Store(), image, layer, point, rect);
}

bool DrawLayerFast(const CLayerData& layer, TMTC& image, int32_t x, int32_t y) {
  if (layer.Store() == nullptr) return false;
  TPoint point{x, y};
  SRectWH rect{0, 0, layer.StoreWidth(), layer.StoreHeight()};
  return DrawLayerFastTo(*layer.Store(), image, layer, point, rect);
}

bool DrawLayerFastRect(const CLayerData& layer, TMTC& image, const SRectWH& rect) {
  if (layer.Store() == nullptr) return false;
  TPoint point{rect.left, rect.top};
  SRectWH source = rect;
  return DrawLayerFastTo(*layer.Store(), image, layer, point, source);
}

bool MergeLayerLegacy(const CLayerData& layer, CBlockVMTC& target, int32_t x, int32_t y) {
  if (layer.Store() == nullptr) return false;
  TPoint point{x, y};
  SRectWH rect{0, 0, layer.StoreWidth(), layer.StoreHeight()};
  return MergeLayerPair(*layer.Store(), target, layer, point, rect);
}

bool ClearLayerToNeutral(CLayerData& layer) {
  return layer.Store() != nullptr && FillNeutralAll(*layer.Store(), layer.blendMode);
}

}  // namespace tf
