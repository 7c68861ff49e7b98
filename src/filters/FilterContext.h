// What one run of a filter algorithm gets: the filter context, its coverage rule, and the covered
// pixel loops the algorithms share.
#pragma once
// The runner (CFlt4Core, filters/FilterCore.h) fills a FilterContext just before it calls a
// FilterProc. The context says where to read unfiltered pixels (Source, the working copy cut to
// the store's size; Backup, a copy of the whole store), where to write (Store, the layer's tiled
// store, in store coordinates), which rectangle to produce (Work) and how much each pixel is
// selected (Coverage, at the pixel's canvas point).
//
// The coverage rule: an algorithm computes a new value for a pixel of Work only where the
// coverage is above 0 and writes it with the coverage as weight, through BlendColor (alpha
// untouched) when KeepAlpha is set, else PixelLerpARGB (colour and alpha together), unless the
// algorithm says otherwise. Pixels outside Work are never written, and zero-coverage pixels are
// skipped so that untouched tiles stay uncommitted.
//
// Writes go through CBlockVMTC::WritePtr, which answers null when a tile commit is refused (out
// of memory): the loops then stop, note it in the run's note and fail; the runner puts the store
// back from the backup and reports out of memory.
#include <cmath>
#include <cstdint>

#include "document/Mask.h"
#include "raster/BlockVMTC.h"
#include "raster/Composite.h"
#include "raster/FlatImage.h"
#include "raster/Geometry.h"
#include "raster/PixelOps.h"

namespace tf {

class CFlt4Core;
class CLayerData;

// ---------------------------------------------------------------------------------------------
// A flat image over another's pixels

// A view of the first width x height pixels of a flat image: the same block and row table (so
// the same rows), a smaller size, nothing owned. The filters see the working copy, which grows
// and never shrinks, through one cut to the store's size. Valid while the image is not resized.
template <class Base>
class TImageViewOf final : public Base {
 public:
  TImageViewOf() {
    this->ownsBlock_ = false;
    this->ownsRows_ = false;
  }
  ~TImageViewOf() override { TImageViewOf::FreeImage(); }

  // False (an empty view) when the image is not valid or smaller than the size asked for.
  bool Cut(const Base& image, int32_t width, int32_t height) {
    FreeImage();
    if (!image.IsValid() || width <= 0 || height <= 0 || width > image.Width() || height > image.Height())
      return false;
    this->view_ = SDibView{width, height, image.View().bits, image.View().rowOffsets};
    step_ = image.GetRowStep();
    bytes_ = image.GetImageSize();
    return true;
  }
  void FreeImage() override {
    this->view_ = SDibView{0, 0, nullptr, nullptr};
    step_ = 0;
    bytes_ = 0;
  }
  bool Resize(int32_t /*width*/, int32_t /*height*/) override { return false; }
  int32_t GetImageSize() const override { return bytes_; }
  int32_t GetRowStep() const override { return step_; }

 private:
  int32_t step_ = 0;
  int32_t bytes_ = 0;
};
using TImageView = TImageViewOf<TMTC>;
using TChannelView = TImageViewOf<TChannel>;

// ---------------------------------------------------------------------------------------------
// The context

// What went wrong in a run besides the algorithm's own refusal; shared by a context and its
// copies.
struct SFilterRunNote {
  bool commitRefused = false;  // a tile could not be committed (out of memory)
  bool notFinite = false;      // a value that is not a finite number met an integer conversion
};

// Coverage 0..255 of store point (x, y) of a layer at offset (offsetX, offsetY).
using FilterCoverageFn = int32_t (*)(const CMaskData* mask, int32_t offsetX, int32_t offsetY, int32_t x, int32_t y);

struct FilterContext {
  CBlockVMTC* Store = nullptr;  // the layer's pixels, written by the filter
  uint8_t BlendMode = 0;        // the layer's blend mode byte
  int32_t OffsetX = 0;          // canvas x = store x - OffsetX
  int32_t OffsetY = 0;
  uint8_t KeepAlpha = 0;          // the layer's alpha protection (or the replayed value)
  const CMaskData* Mask = nullptr;  // the selection
  TRect Bounds{0, 0, 0, 0};         // the part of the store the filter may change
  const CBlockVMTC* Backup = nullptr;  // the unfiltered copy of the whole store
  TMTC* Source = nullptr;              // the unfiltered pixels, the store's size and coordinates
  TChannel* SourceMask = nullptr;      // the working copy's work channel, the store's size
  TRect Work{0, 0, 0, 0};              // Bounds clipped by the run's clip: the pixels to produce
  FilterCoverageFn Coverage = nullptr;
  SFilterRunNote* Note = nullptr;  // where the loops note a refused commit (may be null)
};

// The signature of every filter algorithm: false, nothing written, when CheckFilterContext fails
// or the size is not its block's.
using FilterProc = bool (*)(FilterContext& context, const void* block, int32_t size);

// The selection value at the store point's canvas point; 0 where the canvas point lies outside
// the mask store.
int32_t MaskCoverage(const CMaskData* mask, int32_t offsetX, int32_t offsetY, int32_t x, int32_t y);
// 255 everywhere: without a selection store the whole layer is selected.
int32_t FullCoverage(const CMaskData* mask, int32_t offsetX, int32_t offsetY, int32_t x, int32_t y);

// False (context untouched) when the core is not valid; Work := Bounds clipped by the clip
// (store coordinates) when one is given.
bool BuildFilterContext(FilterContext& context, const CFlt4Core& core, const TRect* clip);
// Every reference set, and Bounds and Work each of positive area (computed in 64 bits).
bool CheckFilterContext(const FilterContext& context);

// The part of the layer store the selection reaches (store coordinates): the whole store without
// a selection store; else the selection's nonzero bounds moved into the store and clipped to it.
// False when that is empty.
bool GetMaskedLayerRect(const CLayerData& layer, const CMaskData* mask, TRect& rect);
// The same in canvas coordinates.
bool GetMaskedCanvasRect(const CLayerData& layer, const CMaskData* mask, TRect& rect);

// Notes a refused commit in the context's run note.
inline void NoteCommitRefused(const FilterContext& context) {
  if (context.Note != nullptr) context.Note->commitRefused = true;
}
// The one checked float-to-integer conversion of the filters: trunc(x) when x is finite and in
// range; otherwise false, noted in the run note (the filter then fails).
bool FilterTruncToInt(const FilterContext& context, double x, int32_t& out);

// ---------------------------------------------------------------------------------------------
// Covered loops

namespace filter_detail {

struct MaskCoverageOf {
  const CMaskData* mask;
  int32_t offsetX;
  int32_t offsetY;
  int32_t operator()(int32_t x, int32_t y) const { return MaskCoverage(mask, offsetX, offsetY, x, y); }
  static constexpr bool kFull = false;
};
struct FullCoverageOf {
  int32_t operator()(int32_t, int32_t) const { return 255; }
  static constexpr bool kFull = true;
};

// The two writers, with their exact results at full coverage taken directly.
struct BlendColorWriter {
  void operator()(uint32_t* p, uint32_t v, int32_t c) const {
    if (c == 255)
      *p = (*p & 0xFF000000u) | (v & 0x00FFFFFFu);
    else
      BlendColor(p, v, c);
  }
};
struct LerpARGBWriter {
  void operator()(uint32_t* p, uint32_t v, int32_t c) const {
    if (c == 255)
      *p = (v >> 24) != 0 ? v : (*p & 0x00FFFFFFu);
    else
      PixelLerpARGB(p, v, c);
  }
};

inline constexpr int32_t kStoreTileWidth = 32;

// One span of at most a tile's width on row y: skipped when its coverage is 0 throughout, else its
// tile is committed once and each covered pixel gets value(x, y, old pixel) written by its
// coverage. False when the commit was refused.
template <class Cov, class Writer, class Value>
inline bool CoveredSpan(const FilterContext& ctx, const Cov& cov, const Writer& write, Value& value, int32_t x,
                        int32_t n, int32_t y) {
  int32_t coverage[kStoreTileWidth];
  bool any = Cov::kFull;
  if constexpr (!Cov::kFull) {
    for (int32_t i = 0; i < n; ++i) {
      coverage[i] = cov(x + i, y);
      any = any || coverage[i] > 0;
    }
  }
  if (!any) return true;
  uint32_t* p = ctx.Store->WritePtr(x, y);
  if (p == nullptr) {
    NoteCommitRefused(ctx);
    return false;
  }
  for (int32_t i = 0; i < n; ++i) {
    int32_t c = 255;
    if constexpr (!Cov::kFull) {
      c = coverage[i];
      if (c <= 0) continue;
    }
    write(p + i, value(x + i, y, p[i]), c);
  }
  return true;
}

// Rows top to bottom, each left to right, in spans that stay inside one tile: a span whose
// coverage is 0 throughout is skipped (its tile stays as it is), otherwise its tile is committed
// once and each covered pixel gets value(x, y, old pixel) written by its coverage.
template <class Cov, class Writer, class Value>
bool CoveredRows(const FilterContext& ctx, const Cov& cov, const Writer& write, Value& value) {
  for (int32_t y = ctx.Work.top; y < ctx.Work.bottom; ++y) {
    int32_t x = ctx.Work.left;
    while (x < ctx.Work.right) {
      const int32_t tileEnd = (x & ~(kStoreTileWidth - 1)) + kStoreTileWidth;
      const int32_t end = tileEnd < ctx.Work.right ? tileEnd : ctx.Work.right;
      if (!CoveredSpan(ctx, cov, write, value, x, end - x, y)) return false;
      x = end;
    }
  }
  return true;
}

// The same visit tile by tile (each tile's rows top to bottom, tiles in rows of tiles), for
// values that depend on nothing but the pixel's own old value and Source: the result is the
// same as CoveredRows', and the memory of one tile is read while it is in the caches.
template <class Cov, class Writer, class Value>
bool CoveredTiles(const FilterContext& ctx, const Cov& cov, const Writer& write, Value& value) {
  const int32_t tileTop = ctx.Work.top & ~(kStoreTileWidth - 1);
  const int32_t tileLeft = ctx.Work.left & ~(kStoreTileWidth - 1);
  for (int32_t ty = tileTop; ty < ctx.Work.bottom; ty += kStoreTileWidth) {
    const int32_t y0 = ty > ctx.Work.top ? ty : ctx.Work.top;
    const int32_t y1 = ty + kStoreTileWidth < ctx.Work.bottom ? ty + kStoreTileWidth : ctx.Work.bottom;
    for (int32_t tx = tileLeft; tx < ctx.Work.right; tx += kStoreTileWidth) {
      const int32_t x = tx > ctx.Work.left ? tx : ctx.Work.left;
      const int32_t end = tx + kStoreTileWidth < ctx.Work.right ? tx + kStoreTileWidth : ctx.Work.right;
      for (int32_t y = y0; y < y1; ++y) {
        if (!CoveredSpan(ctx, cov, write, value, x, end - x, y)) return false;
      }
    }
  }
  return true;
}

template <bool kAnyOrder, class Cov, class Writer, class Value>
bool CoveredVisit(const FilterContext& ctx, const Cov& cov, const Writer& write, Value& value) {
  if constexpr (kAnyOrder)
    return CoveredTiles(ctx, cov, write, value);
  else
    return CoveredRows(ctx, cov, write, value);
}

template <bool kAnyOrder, class Value>
bool CoveredPixels(const FilterContext& ctx, bool keepAlpha, Value& value) {
  if (!CheckFilterContext(ctx)) return false;
  const bool full = ctx.Coverage == &FullCoverage;
  const MaskCoverageOf mask{ctx.Mask, ctx.OffsetX, ctx.OffsetY};
  if (keepAlpha)
    return full ? CoveredVisit<kAnyOrder>(ctx, FullCoverageOf{}, BlendColorWriter{}, value)
                : CoveredVisit<kAnyOrder>(ctx, mask, BlendColorWriter{}, value);
  return full ? CoveredVisit<kAnyOrder>(ctx, FullCoverageOf{}, LerpARGBWriter{}, value)
              : CoveredVisit<kAnyOrder>(ctx, mask, LerpARGBWriter{}, value);
}

}  // namespace filter_detail

// The covered loop every algorithm of the "new value per pixel" kind can use: checks the context,
// picks the coverage routine once, and writes value(x, y, old pixel) -> new pixel by the coverage
// with BlendColor (keepAlpha) or PixelLerpARGB. False without writing when the context fails, or
// when a commit was refused part way (noted in the run note).
template <class Value>
bool ForEachCoveredPixel(const FilterContext& ctx, bool keepAlpha, Value&& value) {
  return filter_detail::CoveredPixels<false>(ctx, keepAlpha, value);
}
// The same for a value that depends only on the pixel's old value and Source (no state carried
// from pixel to pixel, no random numbers): the pixels may be visited tile by tile.
template <class Value>
bool ForEachCoveredPixelAnyOrder(const FilterContext& ctx, bool keepAlpha, Value&& value) {
  return filter_detail::CoveredPixels<true>(ctx, keepAlpha, value);
}

// B := table[4B], G := table[4G + 1], R := table[4R + 2], A := table[4A + 3].
bool MapByChannelTables(FilterContext& context, const uint8_t table[1024], bool keepAlpha);
// The table entry at the pixel's luminance.
bool MapByLuminance(FilterContext& context, const uint32_t table[256], bool keepAlpha);
// B, G, R of the entry at the luminance; alpha := byte 3 of the entry at the old alpha.
bool MapColourByLuminance(FilterContext& context, const uint32_t table[256], bool keepAlpha);
// Transparent black, and the Source pixel, by PixelLerpARGB whatever KeepAlpha says; both fail
// for a nonzero size, so that a block-less filter's FilterProc can be one of them.
bool EraseCovered(FilterContext& context, const void* block, int32_t size);
bool CopySourceCovered(FilterContext& context, const void* block, int32_t size);

}  // namespace tf
