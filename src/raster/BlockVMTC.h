// CBlockVMTC: the sparse tiled store of 32-bit pixels (layers, undo snapshots).
#pragma once
// Sparse store of 32-bit pixels (B, G, R, A, straight alpha): 32x32 tiles, default fill
// 0x00FFFFFF (transparent white). The pixels of every layer, pixel undo snapshot and filter
// buffer.
//
// Each tile is seen through a TVMTC, a TMTC header over the tile's 4096 bytes, so the flat-image
// routines work tile by tile. The store keeps up to four content rectangles covering every tile
// that is committed or has a fill with a nonzero alpha; layer drawing visits only those.
//
// Rectangle operations clip their rectangle in place and work piece by piece (a piece never
// crosses a tile border). A uniform source (a constant or an uncommitted tile's fill) over a
// whole uncommitted destination tile changes only the tile's fill value; everything else
// commits the tile (which fills it with its fill value first) and works on its pixels. Every
// tile an operation needs is committed before anything changes: when a commit is refused the
// store is left as it was and the operation returns false.
#include <cstdint>

#include "raster/BlockImage.h"
#include "raster/Composite.h"
#include "raster/FlatImage.h"
#include "raster/Geometry.h"
#include "raster/RegionOps.h"

namespace tf {

class CBlockVMTC;
struct SByteImage;
struct SCompositeRowOps;

// ---------------------------------------------------------------------------------------------
// Tile view: a TMTC over one tile's pixels and the store's shared row table. Owns neither.

class TVMTC : public TTileView<TMTC> {};

// ---------------------------------------------------------------------------------------------
// Content rectangles: at most four; after every addition no two in use overlap or touch.

struct SRegionList {
  SSize size{0, 0};
  int32_t count = 0;
  TRect rects[4]{};
};

void RegionListClear(SRegionList& list);
// Clears and sets the image size.
void RegionListInit(SRegionList& list, const SSize& size);
// Clips the rectangle to the image (false, nothing added, when empty); merges it into the first
// entry it touches, else appends it, else merges it into the nearest entry; then merges entries
// until none touch. True when it was added.
bool RegionListAdd(SRegionList& list, const TRect& rect);
// Merge steps of RegionListAdd.
int32_t RegionListFindTouching(const SRegionList& list, const TRect& rect);
int32_t RegionListFindNearest(const SRegionList& list, const TRect& rect);
bool RegionListMergeInto(SRegionList& list, int32_t index, const TRect& rect);
bool RegionListMergeAll(SRegionList& list);
bool RegionListMergeAt(SRegionList& list, int32_t index);

// Intersects sourceRect with content rectangle index of the store; when they meet, moves the
// destination point by as much as the rectangle's origin moved and keeps the intersection.
// False when they do not meet (or the index is not in use).
bool ContentRectPiece(const CBlockVMTC& store, int32_t index, TPoint& destPoint, SRectWH& sourceRect);

// What CBlockVMTC::FromBlockPieces does besides its three routines.
struct SFromBlockOptions {
  // An uncommitted source tile whose fill has alpha 0 adds nothing: its pieces are passed over
  // (no commit, no routine).
  bool skipClearSource = false;
  // Set when a commit was refused (nothing changed then).
  bool* refused = nullptr;
  // A refused commit leaves destPoint and sourceRect as they were given (the layer merges);
  // otherwise they are clipped in place even then, as by the store's own operations.
  bool keepRectWhenRefused = false;
};

// ---------------------------------------------------------------------------------------------

class CBlockVMTC : public CBlockImage {
 public:
  static constexpr uint32_t kDefaultFill = 0x00FFFFFFu;

  // Empty, invalid store (Create gives it a size).
  CBlockVMTC();
  // Create(width, height); check IsValid.
  CBlockVMTC(int32_t width, int32_t height);
  // CreateCopy(source); check IsValid (false also when the copy could not be completed).
  explicit CBlockVMTC(const CBlockVMTC& source);
  CBlockVMTC& operator=(const CBlockVMTC&) = delete;
  ~CBlockVMTC() override;

  // Frees what the store holds, then builds a width x height store reading as the default fill.
  // A zero or negative size, or a refused reservation, gives an invalid store. Returns IsValid.
  bool Create(int32_t width, int32_t height);
  // Create with the source's size, then Assign(source) when valid. A copy that cannot be
  // completed (out of memory) leaves the store empty and invalid. Returns IsValid.
  bool CreateCopy(const CBlockVMTC& source);
  // The base's SetSize, then the content rectangles start over (empty, new size).
  bool SetSize(int32_t width, int32_t height);

  // ---- Slots ----
  bool IsValid() const override;                                  // 0: base and row table
  bool CommitTile(STileInfo& tile) override;                      // 2: commit, fill, add to content
  bool MakeTileView(STileInfo& tile) override;                    // 4: TVMTC, fill := default fill
  uint8_t* PixelPtr(int32_t x, int32_t y, bool commit) override;  // 5
  STileInfo* TileAt(int32_t x, int32_t y, bool commit) override;  // 6: GetTile(x >> 5, y >> 5)

  uint32_t DefaultFill() const { return defaultFill_; }
  TVMTC* TileView(const STileInfo& tile) const { return static_cast<TVMTC*>(tile.view); }
  const int32_t* RowTable() const { return static_cast<const int32_t*>(rowTable_.data); }

  // ---- Content rectangles ----
  const SRegionList& ContentRects() const { return content_; }
  void ResetContentRects();
  // Adds the tile's visible rectangle when the tile is committed or its fill alpha is not 0.
  bool AddTileToContent(const STileInfo& tile);
  // Rebuilds the list from every tile; returns the count (0 to 4).
  int32_t UpdateContentRects();

  // Whole-tile copies (CopyAllTiles / CopyTilesRect), then UpdateContentRects.
  bool Assign(const CBlockVMTC& source);
  bool CopyTilesFrom(const CBlockVMTC& source, TPoint& destPoint, SRectWH& sourceRect);
  // ExchangeTiles with another store of the same size (the tile views go with their row
  // table), then both rebuild their content rectangles. Each keeps its own default fill.
  bool ExchangeStore(CBlockVMTC& other);

  // ---- Rectangle operations (rebuild the content rectangles) ----
  bool XorRect(SRectWH& rect, uint32_t value);
  bool XorAll(uint32_t value);
  // pixel := (value and mask) or (pixel and not mask).
  bool MaskedFillRect(SRectWH& rect, uint32_t mask, uint32_t value);
  // Every byte of the pixels := value (MaskedFillRect with every bit).
  bool FillRect(SRectWH& rect, uint32_t value);
  // B, G, R from the colour (a pixel value), alpha kept.
  bool SetColorRect(SRectWH& rect, uint32_t colour);
  bool SetColorAll(uint32_t colour);
  // Alpha byte := alpha, colour kept.
  bool SetAlphaRect(SRectWH& rect, uint8_t alpha);
  bool SetAlphaAll(uint8_t alpha);
  // Uncommitted tiles take value as fill; committed tiles get all 32x32 pixels := value (nothing
  // is decommitted).
  bool FillAll(uint32_t value);

  // ---- Between the store and flat images ----
  // Committed tile: TMTC::DrawRectTo at the opacity; uncommitted tile: the area := fill value,
  // alpha included, whatever the opacity, except nothing when skipTransparentFill is set and the
  // fill's alpha is 0. The store does not change.
  bool CopyToImage(TMTC& image, TPoint& destPoint, SRectWH& sourceRect, int32_t opacity,
                   bool skipTransparentFill) const;
  bool CopyAllToImage(TMTC& image, int32_t x, int32_t y, int32_t opacity, bool skipTransparentFill) const;
  // Each piece: tile committed, then TMTC::DrawRectTo from the image into it at the opacity. When
  // a tile cannot be committed nothing changes (result false).
  bool CopyFromImage(const TMTC& image, TPoint& destPoint, SRectWH& sourceRect, int32_t opacity);
  bool CopyAllFromImage(const TMTC& image, int32_t x, int32_t y, int32_t opacity);

  // ---- Between two stores (this one is the destination; the source is never committed) ----
  bool CopyFrom(const CBlockVMTC& source, TPoint& destPoint, SRectWH& sourceRect);
  bool CopyAllFrom(const CBlockVMTC& source);
  // Per pixel: dest alpha := MulTable[alpha][alphaScale], then op(dest, source, value). Value 0
  // does nothing (as the flat loops).
  bool CombineFrom(const CBlockVMTC& source, TPoint& destPoint, SRectWH& sourceRect, int32_t alphaScale,
                   int32_t value, PixelOp op);
  template <class Op>
  bool CombineFromWith(const CBlockVMTC& source, TPoint& destPoint, SRectWH& sourceRect, int32_t alphaScale,
                       int32_t value, Op op);
  // As CombineFrom with CompositePixel and the ops: the layer merge.
  bool CompositeFrom(const CBlockVMTC& source, TPoint& destPoint, SRectWH& sourceRect, int32_t alphaScale,
                     int32_t opacity, const SCompositeOps& ops);
  // Composer: callable (pixel, source, opacity), e.g. a functor around CompositePixelWith.
  template <class Composer>
  bool CompositeFromWith(const CBlockVMTC& source, TPoint& destPoint, SRectWH& sourceRect, int32_t alphaScale,
                         int32_t opacity, Composer composer);
  // From the store into a flat image. CombineToImage visits every piece (an uncommitted tile
  // combines its fill as a colour); CompositeToImage only the parts inside the content
  // rectangles (true, nothing written, when there are none).
  bool CombineToImage(TMTC& image, TPoint& destPoint, SRectWH& sourceRect, int32_t alphaScale, int32_t value,
                      PixelOp op) const;
  bool CompositeToImage(TMTC& image, TPoint& destPoint, SRectWH& sourceRect, int32_t alphaScale, int32_t opacity,
                        const SCompositeOps& ops) const;
  // The same with a row descriptor (raster/CompositeRows.h).
  bool CompositeToImage(TMTC& image, TPoint& destPoint, SRectWH& sourceRect, int32_t alphaScale, int32_t opacity,
                        const SCompositeRowOps& rows) const;
  template <class Op>
  bool CombineToImageWith(TMTC& image, TPoint& destPoint, SRectWH& sourceRect, int32_t alphaScale, int32_t value,
                          Op op) const;
  template <class Composer>
  bool CompositeToImageWith(TMTC& image, TPoint& destPoint, SRectWH& sourceRect, int32_t alphaScale,
                            int32_t opacity, Composer composer) const;

  // ---- Pixel access (store coordinates) ----
  // 0 outside the tile grid; an uncommitted tile's fill; else the pixel (edge tiles' overhang
  // included).
  uint32_t GetPixel(int32_t x, int32_t y) const;
  uint32_t GetPixelClamped(int32_t x, int32_t y) const;
  // GetPixel inside the picture, the default fill outside.
  uint32_t GetPixelOrDefault(int32_t x, int32_t y) const;
  // PixelLuminance of GetPixel (0 outside the grid).
  int32_t GetLuminance(int32_t x, int32_t y) const;
  // Commits the tile and stores the value; false (nothing written) outside the grid or when the
  // commit was refused. Content rectangles grow with the commit; no rebuild.
  bool SetPixel(int32_t x, int32_t y, uint32_t value);
  // Commits the tile and returns the pixel's address; null outside the grid or when the commit
  // was refused.
  uint32_t* WritePtr(int32_t x, int32_t y);
  uint32_t* WritePtrClamped(int32_t x, int32_t y);

  // Releases every committed tile whose 1024 pixels (overhang included) are all equal, keeping
  // the value as its fill; rebuilds the content rectangles. Returns the tiles released.
  int32_t Compact();

  // ---- Rows, transforms and scaled output (defined in their own source files) ----
  int32_t WriteChannelRow(int32_t x, int32_t y, int32_t channel, const uint8_t* bytes, int32_t count);
  int32_t ReadChannelRow(int32_t x, int32_t y, int32_t channel, uint8_t* bytes, int32_t count);
  int32_t WriteBitRow(int32_t x, int32_t y, const uint8_t* bits, int32_t byteCount);
  bool FlipHorizontal(SRectWH& rect);
  bool FlipVertical(SRectWH& rect);
  bool Rotate180(SRectWH& rect);
  void RotateRightTo(TMTC& image) const;
  void RotateLeftTo(TMTC& image) const;
  void RotateTo(TMTC& image, bool clockwise) const;
  void RotateRightToBlock(const TPoint& destPoint, CBlockVMTC& dest) const;
  void RotateLeftToBlock(const TPoint& destPoint, CBlockVMTC& dest) const;
  void RotateToBlock(const TPoint& destPoint, CBlockVMTC& dest, bool clockwise) const;
  void DrawScaledTo(TMTC& image, int32_t destLeft, int32_t destTop, int32_t destWidth, int32_t destHeight,
                    int32_t sourceX, int32_t sourceY, int32_t sourceWidth, int32_t sourceHeight) const;
  void ScaleTo(CBlockVMTC& dest) const;

  // ---- Piece walks: the skeletons of the combinations above and of the layer merges ----
  // From another store into this one, every tile committed first (WritePiecesFromBlock with the
  // options): committed source tile -> onPixels(dest view, dest-local point, source view,
  // source-local rect); uncommitted source tile on a whole uncommitted dest tile -> onFill(dest
  // fill, source fill); otherwise onColor(dest view, dest-local rect, source fill). A refused
  // commit changes nothing (false). The content rectangles are rebuilt at the end. The source
  // must not be this store.
  template <class OnPixels, class OnFill, class OnColor>
  bool FromBlockPieces(const CBlockVMTC& source, TPoint& destPoint, SRectWH& sourceRect, OnPixels onPixels,
                       OnFill onFill, OnColor onColor, const SFromBlockOptions& options = {});
  // From this store into a flat image: committed tile -> onPixels(tile view, tile-local rect,
  // image point); uncommitted tile -> onColor(image area, fill). False when the image is invalid
  // or nothing is left after clipping.
  template <class OnPixels, class OnColor>
  bool ToImagePieces(TMTC& image, TPoint& destPoint, SRectWH& sourceRect, OnPixels onPixels,
                     OnColor onColor) const;

 private:
  SDynArray rowTable_;
  uint32_t defaultFill_ = kDefaultFill;
  SRegionList content_;
};

// Visible bounds and alpha-plane snapshots (defined with the row and transform routines).
bool TileHasAlpha(const CBlockVMTC& store, const STileInfo& tile);
bool BlockVisibleBounds(const CBlockVMTC& store, TRect& bounds);
bool ByteImageGrabAlpha(SByteImage& byteImage, const CBlockVMTC& store, SRectWH& rect);
bool ByteImagePutAlpha(const SByteImage& byteImage, CBlockVMTC& store, const SRectWH& rect);
bool ByteImageSwapAlpha(SByteImage& byteImage, CBlockVMTC& store);

// ---------------------------------------------------------------------------------------------
// Templates

template <class OnPixels, class OnFill, class OnColor>
bool CBlockVMTC::FromBlockPieces(const CBlockVMTC& source, TPoint& destPoint, SRectWH& sourceRect,
                                 OnPixels onPixels, OnFill onFill, OnColor onColor,
                                 const SFromBlockOptions& options) {
  const bool skipClear = options.skipClearSource;
  TPoint point = destPoint;
  SRectWH rect = sourceRect;
  bool refused = false;
  const bool result = WritePiecesFromBlock(
      *this, source, point, rect, &refused,
      [skipClear](const STileInfo& s) { return skipClear && !s.committed && (s.fill >> 24) == 0; }, onPixels,
      onFill, onColor);
  if (!refused || !options.keepRectWhenRefused) {
    destPoint = point;
    sourceRect = rect;
  }
  if (refused && options.refused != nullptr) *options.refused = true;
  UpdateContentRects();
  return result;
}

template <class OnPixels, class OnColor>
bool CBlockVMTC::ToImagePieces(TMTC& image, TPoint& destPoint, SRectWH& sourceRect, OnPixels onPixels,
                               OnColor onColor) const {
  if (!image.IsValid()) return false;
  return WalkToImageWith(image.Size(), destPoint, sourceRect, [&](const TPoint& dp, const SRectWH& sp) {
    if (!TileTouched(sp.left >> 5, sp.top >> 5)) {  // reads as the untouched fill; the page stays as it is
      SRectWH area{dp.x, dp.y, sp.width, sp.height};
      onColor(area, UntouchedFill());
      return;
    }
    const STileInfo* t = GetTile(sp.left >> 5, sp.top >> 5);
    if (t->committed) {
      TPoint point = dp;
      SRectWH local{sp.left & 31, sp.top & 31, sp.width, sp.height};
      onPixels(*TileView(*t), local, point);
    } else {
      SRectWH area{dp.x, dp.y, sp.width, sp.height};
      onColor(area, t->fill);
    }
  });
}

template <class Op>
bool CBlockVMTC::CombineFromWith(const CBlockVMTC& source, TPoint& destPoint, SRectWH& sourceRect,
                                 int32_t alphaScale, int32_t value, Op op) {
  if (value == 0) return false;
  const uint32_t scale = static_cast<uint32_t>(alphaScale) & 0xFFu;
  return FromBlockPieces(
      source, destPoint, sourceRect,
      [&](TVMTC& dv, TPoint& local, const TVMTC& sv, SRectWH& sr) {
        tf::CombineFromWith(dv, sv, local, sr, alphaScale, value, op);
      },
      [&](uint32_t& fill, uint32_t sourceFill) {
        fill = (fill & 0x00FFFFFFu) | (uint32_t{MulTable[fill >> 24][scale]} << 24);
        op(&fill, sourceFill, value);
      },
      [&](TVMTC& dv, SRectWH& dr, uint32_t sourceFill) {
        tf::CombineColorRectWith(dv, dr, sourceFill, alphaScale, value, op);
      });
}

template <class Composer>
bool CBlockVMTC::CompositeFromWith(const CBlockVMTC& source, TPoint& destPoint, SRectWH& sourceRect,
                                   int32_t alphaScale, int32_t opacity, Composer composer) {
  return CombineFromWith(source, destPoint, sourceRect, alphaScale, opacity, composer);
}

template <class Op>
bool CBlockVMTC::CombineToImageWith(TMTC& image, TPoint& destPoint, SRectWH& sourceRect, int32_t alphaScale,
                                    int32_t value, Op op) const {
  if (value == 0) return false;
  return ToImagePieces(
      image, destPoint, sourceRect,
      [&](const TVMTC& sv, SRectWH& local, TPoint& point) {
        tf::CombineFromWith(image, sv, point, local, alphaScale, value, op);
      },
      [&](SRectWH& area, uint32_t fill) { tf::CombineColorRectWith(image, area, fill, alphaScale, value, op); });
}

template <class Composer>
bool CBlockVMTC::CompositeToImageWith(TMTC& image, TPoint& destPoint, SRectWH& sourceRect, int32_t alphaScale,
                                      int32_t opacity, Composer composer) const {
  bool result = true;
  for (int32_t i = 0; i < content_.count; ++i) {
    TPoint point = destPoint;
    SRectWH rect = sourceRect;
    if (!ContentRectPiece(*this, i, point, rect)) continue;
    result = CombineToImageWith(image, point, rect, alphaScale, opacity, composer);
  }
  return result;
}

}  // namespace tf
