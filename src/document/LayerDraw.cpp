#include "document/LayerDraw.h"

#include "document/LayerData.h"
#include "platform/Clock.h"

namespace tf {
namespace {

inline bool FillIsVisible(uint32_t fill) { return (fill >> 24) != 0; }

inline SRectWH LocalRect(int32_t x, int32_t y, int32_t width, int32_t height) {
  return SRectWH{x & 31, y & 31, width, height};
}

// Commits, before anything changes, every destination tile that a merge of source into dest
// will write pixels into: all but the whole uncommitted tiles under an uncommitted source tile,
// which change their fill only, and the source tiles that add nothing. When one commit is refused
// the tiles committed here are given back and the merge must not start.
bool PrecommitMergeTiles(CBlockVMTC& dest, const CBlockVMTC& source, TPoint destPoint, SRectWH sourceRect) {
  CBlockImage::PendingCommits pending(dest);
  dest.WalkFromBlockWith(source, destPoint, sourceRect, [&](const TPoint& dp, const SRectWH& sp) {
    const STileInfo* s = source.GetTile(sp.left >> 5, sp.top >> 5);
    STileInfo* d = dest.GetTile(dp.x >> 5, dp.y >> 5, false);
    if (!s->committed && !FillIsVisible(s->fill)) return;
    if (!s->committed && !d->committed && TileRectIsWhole(*d, SRectWH{dp.x, dp.y, sp.width, sp.height})) return;
    pending.Commit(*d, false);
  });
  if (!pending.Failed()) return true;
  pending.Rollback();
  dest.UpdateContentRects();
  return false;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Store members

bool CBlockVMTC::DrawLayerTo(TMTC& image, const CLayerData& layer, TPoint& destPoint, SRectWH& sourceRect) const {
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
  bool result = true;
  for (int32_t i = 0; i < m_content.count; ++i) {
    TPoint point = destPoint;
    SRectWH rect = sourceRect;
    if (!ContentRectPiece(*this, i, point, rect)) continue;
    result = WalkToImageWith(image.Size(), point, rect, [&](const TPoint& dp, const SRectWH& sp) {
      const STileInfo* tile = GetTile(sp.left >> 5, sp.top >> 5);
      if (tile->committed) {
        CombineRowsToRaw(*TileView(*tile), image, dp, LocalRect(sp.left, sp.top, sp.width, sp.height), opacity,
                         pixelRow);
      } else if (FillIsVisible(tile->fill)) {
        ApplyColorRowsRaw(image, SRectWH{dp.x, dp.y, sp.width, sp.height}, tile->fill, opacity, colourRow);
      }
    });
  }
  return result;
}

bool CBlockVMTC::DrawLayerFastTo(TMTC& image, const CLayerData& layer, TPoint& destPoint,
                                 SRectWH& sourceRect) const {
  if (!image.IsValid()) return false;
  const SLegacyOpPair& pair = GetLegacyOpPair(layer.blendMode);
  const int32_t opacity = layer.opacity;
  return WalkToImageWith(image.Size(), destPoint, sourceRect, [&](const TPoint& dp, const SRectWH& sp) {
    const STileInfo* tile = GetTile(sp.left >> 5, sp.top >> 5);
    if (tile->committed) {
      pair.block(image, *TileView(*tile), sp.left & 31, sp.top & 31, sp.width, sp.height, dp.x, dp.y, opacity);
    } else if (FillIsVisible(tile->fill)) {
      ApplyColorRowsRaw(image, SRectWH{dp.x, dp.y, sp.width, sp.height}, tile->fill, opacity,
                        pair.pixelRows.colour);
    }
  });
}

bool CBlockVMTC::BlendFromLayer(const CBlockVMTC& source, const CLayerData& layer, TPoint& destPoint,
                                SRectWH& sourceRect) {
  const SLayerParam* entry = GetBlendModeEntry(layer.blendMode);
  if (entry == nullptr) return false;
  const int32_t opacity = layer.opacity;
  if (!PrecommitMergeTiles(*this, source, destPoint, sourceRect)) return false;
  bool allDone = true;
  const bool walked = WalkFromBlockWith(source, destPoint, sourceRect, [&](const TPoint& dp, const SRectWH& sp) {
    const STileInfo* s = source.GetTile(sp.left >> 5, sp.top >> 5);
    STileInfo* d = GetTile(dp.x >> 5, dp.y >> 5, false);
    if (!s->committed && !FillIsVisible(s->fill)) return;
    const SRectWH destPiece{dp.x, dp.y, sp.width, sp.height};
    if (!s->committed && !d->committed && TileRectIsWhole(*d, destPiece)) {
      entry->sourceAlpha(&d->fill, s->fill, opacity);
      return;
    }
    if (!CommitTile(*d)) {
      allDone = false;
      return;
    }
    TVMTC& view = *TileView(*d);
    const SRectWH local = LocalRect(dp.x, dp.y, sp.width, sp.height);
    if (s->committed) {
      CombineRowsToRaw(*source.TileView(*s), view, TPoint{local.left, local.top},
                       LocalRect(sp.left, sp.top, sp.width, sp.height), opacity, entry->sourceAlphaRows.pixels);
    } else {
      ApplyColorRowsRaw(view, local, s->fill, opacity, entry->sourceAlphaRows.colour);
    }
  });
  UpdateContentRects();
  return walked && allDone;
}

bool MergeLayerPair(const CBlockVMTC& source, CBlockVMTC& dest, const CLayerData& layer, TPoint& destPoint,
                    SRectWH& sourceRect) {
  const SLegacyOpPair& pair = GetLegacyOpPair(layer.blendMode);
  const int32_t opacity = layer.opacity;
  if (!PrecommitMergeTiles(dest, source, destPoint, sourceRect)) return false;
  bool allDone = true;
  const bool walked = dest.WalkFromBlockWith(source, destPoint, sourceRect, [&](const TPoint& dp, const SRectWH& sp) {
    const STileInfo* s = source.GetTile(sp.left >> 5, sp.top >> 5);
    STileInfo* d = dest.GetTile(dp.x >> 5, dp.y >> 5, false);
    if (!s->committed && !FillIsVisible(s->fill)) return;
    const SRectWH destPiece{dp.x, dp.y, sp.width, sp.height};
    if (!s->committed && !d->committed && TileRectIsWhole(*d, destPiece)) {
      pair.pixel(&d->fill, s->fill, opacity);
      d->fill |= 0xFF000000u;
      return;
    }
    if (!dest.CommitTile(*d)) {
      allDone = false;
      return;
    }
    TVMTC& view = *dest.TileView(*d);
    SRectWH local = LocalRect(dp.x, dp.y, sp.width, sp.height);
    if (s->committed) {
      pair.block(view, *source.TileView(*s), sp.left & 31, sp.top & 31, sp.width, sp.height, local.left,
                 local.top, opacity);
    } else {
      ApplyColorRowsRaw(view, local, s->fill, opacity, pair.pixelRows.colour);
    }
    view.SetAlphaRect(local, 255);
  });
  dest.UpdateContentRects();
  return walked && allDone;
}

bool CBlockVMTC::FillNeutralRect(SRectWH& rect, int32_t blendMode) {
  return SetColorRect(rect, GetBlendModeNeutralColor(static_cast<uint32_t>(blendMode)));
}

bool CBlockVMTC::FillNeutralAll(int32_t blendMode) {
  return SetColorAll(GetBlendModeNeutralColor(static_cast<uint32_t>(blendMode)));
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
  return store.DrawLayerTo(image, layer, destPoint, sourceRect);
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
  return layer.Store()->DrawLayerTo(image, layer, point, rect);
}

bool DrawLayerFast(const CLayerData& layer, TMTC& image, int32_t x, int32_t y) {
  if (layer.Store() == nullptr) return false;
  TPoint point{x, y};
  SRectWH rect{0, 0, layer.StoreWidth(), layer.StoreHeight()};
  return layer.Store()->DrawLayerFastTo(image, layer, point, rect);
}

bool DrawLayerFastRect(const CLayerData& layer, TMTC& image, const SRectWH& rect) {
  if (layer.Store() == nullptr) return false;
  TPoint point{rect.left, rect.top};
  SRectWH source = rect;
  return layer.Store()->DrawLayerFastTo(image, layer, point, source);
}

bool MergeLayerLegacy(const CLayerData& layer, CBlockVMTC& target, int32_t x, int32_t y) {
  if (layer.Store() == nullptr) return false;
  TPoint point{x, y};
  SRectWH rect{0, 0, layer.StoreWidth(), layer.StoreHeight()};
  return MergeLayerPair(*layer.Store(), target, layer, point, rect);
}

bool ClearLayerToNeutral(CLayerData& layer) {
  return layer.Store() != nullptr && layer.Store()->FillNeutralAll(layer.blendMode);
}

}  // namespace tf
