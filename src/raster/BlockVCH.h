// CBlockVCH: the sparse tiled store of 8-bit values (masks, selection).
#pragma once
// Sparse store of 8-bit values: every mask, the selection and the work planes of the mask
// commands. 64x64 tiles of one byte per pixel, default fill 0 (nothing selected); 255 is fully
// selected.
//
// Each tile is seen through a TVChannel, a TChannel header over the tile's 4096 bytes (rows
// top-down), so the channel routines work tile by tile. Unlike the 32-bit store there are no
// content rectangles; content bounds are computed when asked.
//
// Rectangle operations clip their rectangle in place and work piece by piece. A uniform source
// (a constant or an uncommitted tile's fill) over a whole uncommitted destination tile changes
// only that tile's fill; everything else commits the tile (filled with its fill first) and works
// on its bytes.
//
// Writes are all or nothing: every tile a write needs is committed before the first byte
// changes; when a commit is refused (out of memory) the tiles committed for it are given back,
// nothing changes and the operation answers false (rows: 0). Points outside the tile grid are
// refused by the point routines (reads give 0); rows are clipped to the picture.
#include <cstdint>

#include "raster/BlockImage.h"
#include "raster/Composite.h"
#include "raster/FlatImage.h"
#include "raster/Geometry.h"

namespace tf {

class CBlockVMTC;

// ---------------------------------------------------------------------------------------------
// Tile view: a TChannel over one tile's bytes and the store's shared row table (row i at byte
// i*64, top-down). Owns neither.

class TVChannel : public TTileView<TChannel> {};

// ---------------------------------------------------------------------------------------------
// Tile-local routines (64-pixel tiles)

inline void TileLocalOrigin64(TPoint& point) {
  point.x &= 63;
  point.y &= 63;
}
inline void TileLocalOrigin64(SRectWH& rect) {
  rect.left &= 63;
  rect.top &= 63;
}
// The piece covers the whole visible part of the tile.
inline bool TileRectIsWhole64(const STileInfo& tile, const SRectWH& rect) {
  return TileRectIsWhole(tile, rect, 63);
}

// Union of the full tile squares (edge tiles reach past the picture) of every tile that is
// committed or has a fill other than 0 (low byte for 8-bit stores, the whole value for 32-bit
// ones); false when there is none. Cheap (tile flags only) but coarse.
bool BlockContentBounds(const CBlockImage& store, TRect& bounds);

// ---------------------------------------------------------------------------------------------

class CBlockVCH : public CBlockImage {
 public:
  static constexpr uint8_t kDefaultFill = 0;

  // Empty, invalid store.
  CBlockVCH();
  // Create(width, height); check IsValid.
  CBlockVCH(int32_t width, int32_t height);
  CBlockVCH(const CBlockVCH&) = delete;
  CBlockVCH& operator=(const CBlockVCH&) = delete;
  ~CBlockVCH() override;

  // Frees what the store holds, then builds a width x height store reading as 0. An empty size
  // allocates nothing and leaves the store invalid. Returns IsValid.
  bool Create(int32_t width, int32_t height);
  // Create with the source's size, then every tile copied. A copy that cannot be completed (out
  // of memory) leaves the store empty and invalid. Returns IsValid.
  bool CreateCopy(const CBlockVCH& source);

  // ---- Slots ----
  bool IsValid() const override;                                  // 0: base and row table
  void SetTileGeometry() override;                                // 1: 64, 64, 64, 63, 6
  bool CommitTile(STileInfo& tile) override;                      // 2: commit, every byte := fill
  bool MakeTileView(STileInfo& tile) override;                    // 4: TVChannel, fill := 0
  uint8_t* PixelPtr(int32_t x, int32_t y, bool commit) override;  // 5
  STileInfo* TileAt(int32_t x, int32_t y, bool commit) override;  // 6: GetTile(x >> 6, y >> 6)

  uint8_t DefaultFill() const { return kDefaultFill; }
  TVChannel* TileView(const STileInfo& tile) const { return static_cast<TVChannel*>(tile.view); }
  const int32_t* RowTable() const { return static_cast<const int32_t*>(rowTable_.data); }

  // ---- Rectangle operations ----
  bool FillRect(SRectWH& rect, uint8_t value);
  bool XorRect(SRectWH& rect, uint8_t value);
  // XorRect over the whole store (255 inverts a mask).
  bool XorAll(uint8_t value);
  // op(var destination byte, source byte) from the source rectangle of another 8-bit store (or
  // this one) into this store at destPoint. The source is never committed. From this store
  // itself the pieces read a copy of the store as it was (false, nothing changed, when the copy
  // cannot be made).
  bool CombineFrom(const CBlockVCH& source, TPoint& destPoint, SRectWH& sourceRect, ByteOp op);
  template <class Op>
  bool CombineFromWith(const CBlockVCH& source, TPoint& destPoint, SRectWH& sourceRect, Op op);
  // CombineFrom with SetByteOp.
  bool CopyFrom(const CBlockVCH& source, TPoint& destPoint, SRectWH& sourceRect);
  // CopyFrom of the whole source to (x, y).
  bool CopyAllFrom(const CBlockVCH& source, int32_t x, int32_t y);

  // ---- Between the store and flat 8-bit images ----
  // Each piece's tile is committed and the channel's bytes copied into it.
  bool CopyFromChannel(const TChannel& channel, TPoint& destPoint, SRectWH& sourceRect);
  // Committed tile: its bytes; uncommitted tile: its fill, except nothing when skipZeroFill is
  // set and the fill is 0. The store does not change.
  bool CopyToChannel(TChannel& channel, TPoint& destPoint, SRectWH& sourceRect, bool skipZeroFill) const;
  bool CopyAllToChannel(TChannel& channel, int32_t x, int32_t y, bool skipZeroFill) const;

  // ---- Areas outside a rectangle ----
  // FillRect of the areas above, below, left and right of the bounds (the left and right ones
  // run the full height); true when any area was filled.
  bool FillOutside(const TRect& bounds, uint8_t value);
  bool FillOutsideRect(SRectWH& rect, uint8_t value);

  // ---- Bounds ----
  // Smallest box holding every nonzero pixel of the picture; false (bounds untouched) when
  // every pixel is 0.
  bool GetNonZeroBounds(TRect& bounds) const;

  // ---- Pixel access ----
  // The tile's fill when uncommitted, else the byte; 0 outside the tile grid.
  uint8_t GetPixel(int32_t x, int32_t y) const;
  // Point clamped into the picture first (0 for an empty store).
  uint8_t GetPixelClamped(int32_t x, int32_t y) const;
  // 0 outside the picture, else GetPixel.
  uint8_t GetPixelSafe(int32_t x, int32_t y) const;
  // Commits the tile and stores the value; false (nothing written) outside the grid or when the
  // commit was refused.
  bool SetPixel(int32_t x, int32_t y, uint8_t value);
  // Commits the tile and returns the byte's address; null outside the grid or when the commit
  // was refused.
  uint8_t* WritePtr(int32_t x, int32_t y);
  uint8_t* WritePtrClamped(int32_t x, int32_t y);

  // ---- Rows ----
  // Copies count bytes to (x .. x + count - 1, y), clipped to the picture (bytes before column 0
  // are skipped). Returns the bytes written: 0 when y is outside the picture, nothing is left,
  // or a tile could not be committed (nothing written then).
  int32_t WriteRow(int32_t x, int32_t y, const uint8_t* bytes, int32_t count);
  // The reverse, with the same clipping: out[i] receives pixel (x + i, y); entries outside the
  // picture are left as they are. It commits every tile it reads; a tile whose commit is refused
  // is read as its fill. Returns the bytes read.
  int32_t ReadRow(int32_t x, int32_t y, uint8_t* bytes, int32_t count);

  // ---- Morphology (3x3 neighbourhood, reads clamped at the source's edge) ----
  // Dilation: for every pixel of the bounds (clipped to this store), byte := maximum of the
  // source's 3x3 neighbourhood. The source may be this store.
  bool GrowFrom(const CBlockVCH& source, const TRect& bounds);
  // Bounds := the source's content bounds clipped to this store; GrowFrom over them.
  bool GrowInsideContent(const CBlockVCH& source);
  // As GrowInsideContent with the bounds grown by 1 first: the whole dilation.
  bool GrowAroundContent(const CBlockVCH& source);
  // Erosion over the source's content bounds clipped to this store.
  bool ShrinkFrom(const CBlockVCH& source);

  // ---- From a 32-bit store (over the source's size clipped to this store) ----
  // byte := L*alpha div 255 with L the pixel's luminance, or 255 - L when invert is set. Every
  // tile of both stores in the area is committed; nothing is compacted.
  bool FromLuminance(CBlockVMTC& source, bool invert);
  // byte := the pixel's alpha.
  bool FromAlpha(CBlockVMTC& source);

  // ---- Scaled output ----
  // Box-average reduction into a flat 32-bit image: the source area maps onto the whole image,
  // the destination rectangle only limits the pixels computed; steps in 1/1024 pixel,
  // (bw + 1) x (bh + 1) samples per pixel read with GetPixelSafe. Writes grey v*0x010101 (alpha
  // 0). False when nothing is drawn.
  bool DrawScaledTo(TMTC& image, int32_t destLeft, int32_t destTop, int32_t destWidth, int32_t destHeight,
                    int32_t sourceX, int32_t sourceY, int32_t sourceWidth, int32_t sourceHeight) const;
  // Resamples the whole store into another (16 samples at quarter steps, sum div 16); the
  // destination reads as if written pixel by pixel and compacted. False (destination unchanged)
  // when a tile cannot be committed, when either store is invalid, or dest is this store.
  bool ScaleTo(CBlockVCH& dest) const;

  // Every committed tile whose 4096 bytes (overhang included) all equal its first byte takes
  // that byte as fill and is decommitted. Returns the tiles released.
  int32_t Compact();

 private:
  // Fast copy of one row of the picture with clamped reads: out[i] := GetPixelClamped(x0 + i, y).
  void ReadRowClamped(int32_t x0, int32_t y, int32_t count, uint8_t* out) const;
  template <bool kMax>
  bool Morphology(const CBlockVCH& source, TRect bounds);
  template <class Compute>
  bool FromBlock(CBlockVMTC& source, Compute compute);

  SDynArray rowTable_;
};

// ---------------------------------------------------------------------------------------------
// Templates

template <class Op>
bool CBlockVCH::CombineFromWith(const CBlockVCH& source, TPoint& destPoint, SRectWH& sourceRect, Op op) {
  if (!IsValid() || !source.IsValid()) return false;
  if (!ClipBlit(Size(), source.Size(), destPoint, sourceRect)) return false;
  if (&source == this) {
    // Pieces would read what earlier pieces wrote, and the commits made ahead of the write would
    // change what the pieces find in the source: read from a copy.
    CBlockVCH snapshot;
    if (!snapshot.CreateCopy(*this)) return false;
    return CombineFromWith(snapshot, destPoint, sourceRect, op);
  }
  return WritePiecesFromBlock(
      *this, source, destPoint, sourceRect, nullptr, [](const STileInfo&) { return false; },
      [&](TVChannel& dv, TPoint& local, const TVChannel& sv, SRectWH& sr) {
        CombineRectWith(dv, sv, local, sr, op);
      },
      [&](uint32_t& fill, uint32_t sourceFill) {
        uint8_t value = static_cast<uint8_t>(fill);
        op(&value, static_cast<uint8_t>(sourceFill));
        fill = value;
      },
      [&](TVChannel& dv, SRectWH& dr, uint32_t sourceFill) {
        ApplyToRectWith(dv, dr, static_cast<uint8_t>(sourceFill), op);
      });
}

}  // namespace tf
