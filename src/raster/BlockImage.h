// CBlockImage: the common base of the sparse tiled pixel stores.
#pragma once
// Sparse tiled pixel stores: the common base.
//
// A store cuts its picture into square tiles and reserves one address range for all of them at
// allocation. A tile's memory is committed only when something is written into it; while it is
// not committed, every pixel of the tile reads as the tile's fill value and its memory is never
// touched (in guard mode touching it faults). Tiles never move, so tile views and the document
// file code may hold raw pixel pointers.
//
// The tile table costs nothing until it is used. Its records and views live in reserved memory
// that reads as zero (ReserveZeroedPages) and are written a page of kTilesPerPage tiles at a
// time, when a tile of the page is first asked for (GetTile, TileAt, TileByIndex). Until then
// every tile of the page is uncommitted and reads as the table's untouched fill, so a blank
// store holds a few bytes per page, whatever its size. Whole-store walks visit touched pages
// only (ForEachTouchedTile) and answer for the rest from the untouched fill; the peeks
// (TileTouched, TileCommittedAt, TileFillAt, TileRecord) never write the table. Writing a page
// cannot fail: it only faults in memory already reserved.
//
// Even the const GetTile may write a page of the table, so a store is used from one thread at a
// time, reads included (the program touches stores from its main thread only).
//
// Subclasses (CBlockVMTC: 32x32 tiles of 32-bit pixels; CBlockVCH: 64x64 tiles of bytes) supply
// the tile views and the pixel operations. Each rectangle operation of theirs is a walker of
// this class plus a per-piece routine; a piece never crosses a tile border.
//
// Failure rules:
//   - A commit that is refused (out of memory, a test budget, an injected fault) leaves the tile
//     uncommitted and unchanged. GetTile/TileAt with commit then answer nothing, PixelPtr answers
//     null, CopyTile answers false. Writes over several tiles commit every tile they need first
//     (WriteCommitFirst, over PendingCommits) and change nothing when one commit is refused.
//   - Points outside the tile grid are refused by every point routine (nothing is written,
//     nothing is returned).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/AddressSpace.h"
#include "raster/DynArray.h"
#include "raster/FlatImage.h"
#include "raster/Geometry.h"

namespace tf {

class CBlockImage;

// One tile of a store.
struct STileInfo {
  int32_t column;  // place in the grid
  int32_t row;
  int32_t tileWidth;  // full tile size, also at the right and bottom edges
  int32_t tileHeight;
  int32_t pixelX;  // top-left pixel in the picture
  int32_t pixelY;
  int32_t clippedWidth;  // part of the tile inside the picture
  int32_t clippedHeight;
  uint8_t committed;  // 1 while the memory is committed
  uint32_t fill;      // what every pixel reads as while uncommitted (8-bit stores: low byte)
  uint8_t* block;     // the tile's slice of the reserved range, committed or not
  int32_t byteSize;   // tile width*tile height*bytes per pixel
  CDibCore* view;     // TVMTC or TVChannel over block, owned by the store
};
static_assert(sizeof(STileInfo) == 64, "a page of the tile table holds 64 records");

// Tiles per page of the tile table: the unit in which the table is written.
constexpr int32_t kTilesPerPage = 64;
constexpr int32_t kTilePageShift = 6;

// A store's tile table (CBlockImage): records, row by row, and the view slots beside them, in
// reserved memory written one page at a time. Plain data: a whole-store exchange swaps it.
struct STileTable {
  STileInfo* entries = nullptr;  // count records; a page is valid once touched
  uint8_t* views = nullptr;      // count view slots of viewStride bytes (none when 0)
  uint8_t* touched = nullptr;    // per page: 1 once its records are written
  int32_t count = 0;
  int32_t pages = 0;
  int32_t viewStride = 0;
  uint32_t untouchedFill = 0;  // the fill of every tile of an untouched page
  // First touches one page after another (a write walking the store) write the pages ahead
  // too, in runs that double up to kMaxTouchRun pages, each run made resident in one call.
  int32_t lastTouched = -1;
  int32_t touchRun = 1;
};
constexpr int32_t kMaxTouchRun = 64;

// ---------------------------------------------------------------------------------------------
// Tile view: a flat image (Base: TMTC or TChannel) over one tile's pixels and the store's shared
// row table (rows top-down). Owns neither. TVMTC and TVChannel are these.

template <class Base>
class TTileView : public Base {
 public:
  TTileView() { InitOwnership(); }
  // FreeImage first, so the store's memory is never freed through a view.
  ~TTileView() override { TTileView::FreeImage(); }

  // InitFields, then size, block and row table from the tile; remembers the tile.
  bool Create(STileInfo& tile, int32_t* rowTable) {
    InitOwnership();
    this->view_ = {tile.tileWidth, tile.tileHeight, tile.block, rowTable};
    tile_ = &tile;
    return tile.block != nullptr && rowTable != nullptr;
  }

  // Slot 1: forgets block, row table and size without freeing anything.
  void FreeImage() override { this->view_ = {0, 0, nullptr, nullptr}; }
  // Slot 4: a tile view never changes size.
  bool Resize(int32_t /*width*/, int32_t /*height*/) override { return false; }
  // Slot 5: the tile's byte size (4096).
  int32_t GetImageSize() const override { return tile_ != nullptr ? tile_->byteSize : 0; }
  // Slot 7: the tile width (rows top-down).
  int32_t GetRowStep() const override { return this->view_.width; }

  STileInfo* Tile() const { return tile_; }

 private:
  void InitOwnership() {
    this->InitFields();
    this->ownsBlock_ = false;
    this->ownsRows_ = false;
  }

  STileInfo* tile_ = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Tile-local routines

// The piece covers the whole visible part of the tile (tiles of mask + 1 pixels).
inline bool TileRectIsWhole(const STileInfo& tile, const SRectWH& rect, int32_t mask) {
  return (rect.left & mask) == 0 && (rect.top & mask) == 0 && rect.width == tile.clippedWidth &&
         rect.height == tile.clippedHeight;
}

// 32-pixel tiles: left := left and 31, top := top and 31.
inline void TileLocalOrigin(SRectWH& rect) {
  rect.left &= 31;
  rect.top &= 31;
}
inline bool TileRectIsWhole(const STileInfo& tile, const SRectWH& rect) {
  return TileRectIsWhole(tile, rect, 31);
}
// Widens the rectangle outward to whole 32-pixel tiles.
void AlignRectToTiles(SRectWH& rect);

// The row routines: clips the run of count pixels from column x to 0 .. width; false when
// nothing is left. skip = entries of the run before column 0.
bool ClipRun(int32_t x, int32_t count, int32_t width, int32_t& start, int32_t& length, int32_t& skip);

// ---------------------------------------------------------------------------------------------

class CBlockImage {
 public:
  CBlockImage(const CBlockImage&) = delete;
  CBlockImage& operator=(const CBlockImage&) = delete;
  // Destroy: FreeAll. Subclasses call FreeAll in their own destructors first (views are theirs)
  // and free their own records afterwards.
  virtual ~CBlockImage();

  // ---- Virtual slots, in order ----
  // 0: allocated and the range reserved.
  virtual bool IsValid() const;
  // 1: tile width, height, size, mask, shift (32, 32, 32, 31, 5 here).
  virtual void SetTileGeometry();
  // 2: commits the tile's bytes; the committed flag takes the outcome. Subclasses fill the fresh
  //    tile with its fill value. True at once when already committed.
  virtual bool CommitTile(STileInfo& tile);
  // 3: gives the tile's memory back; true also when there was nothing to do, false only when the
  //    system refused (the tile then stays committed). The fill value is not touched.
  virtual bool DecommitTile(STileInfo& tile);
  // 4: creates the tile's view over its block (in TileViewSlot when the subclass set a view
  //    size) and sets its fill to the default fill. Called when the tile's page is first
  //    touched; the first page's fills become the untouched fill.
  virtual bool MakeTileView(STileInfo& tile) = 0;
  // 5: address of pixel (x, y) in its tile, committing the tile first when commit is set.
  //    Null outside the tile grid, when the commit was refused, and for an uncommitted tile when
  //    commit is not set (its memory must not be touched).
  virtual uint8_t* PixelPtr(int32_t x, int32_t y, bool commit) = 0;
  // 6: the tile holding pixel (x, y) (GetTile of x >> shift, y >> shift).
  virtual STileInfo* TileAt(int32_t x, int32_t y, bool commit) = 0;

  // ---- Size ----
  // FreeAll, new geometry with the same bytes per pixel, Allocate. All pixels are lost; the
  // store reads as its default fill. Returns IsValid.
  bool SetSize(int32_t width, int32_t height);
  // Decommits every tile, frees views and table, releases the range; size 0, invalid.
  void FreeAll();

  // ---- Queries ----
  // Tile byte size times the committed tiles (64-bit: a big store overflows int32).
  int64_t CommittedBytes() const { return static_cast<int64_t>(committedTiles_) * tileByteSize_; }
  int32_t CommittedTileCount() const { return committedTiles_; }
  // The tile at (column, row), committing it first when asked. Nothing outside the grid
  // (negative indexes included) and nothing when the commit was refused.
  STileInfo* GetTile(int32_t column, int32_t row, bool commit);
  const STileInfo* GetTile(int32_t column, int32_t row) const;
  // Intersection with (0, 0, width, height) in place; false when empty.
  bool ClipBounds(TRect& bounds) const;
  // Clips an origin-and-size rectangle to the picture in place; false when empty.
  bool ClipRect(SRectWH& rect) const;

  int32_t Width() const { return size_.width; }
  int32_t Height() const { return size_.height; }
  const SSize& Size() const { return size_; }  // the size reference every clip takes
  int32_t BytesPerPixel() const { return bytesPerPixel_; }
  int32_t TileByteSize() const { return tileByteSize_; }
  int32_t TileWidth() const { return tileWidth_; }
  int32_t TileHeight() const { return tileHeight_; }
  int32_t TileSize() const { return tileSize_; }
  int32_t TileMask() const { return tileMask_; }
  int32_t TileShift() const { return tileShift_; }
  int32_t TilesAcross() const { return tilesAcross_; }
  int32_t TilesDown() const { return tilesDown_; }
  int32_t TileCount() const { return tiles_.entries ? tiles_.count : 0; }
  // The tile at index = column + row*tiles across (0 <= index < TileCount), its page touched.
  STileInfo& TileByIndex(int32_t index) const { return TouchTile(index); }

  // ---- The table without touching it ----
  // Whether the page holding tile index has been written.
  bool TileTouched(int32_t index) const { return tiles_.touched[index >> kTilePageShift] != 0; }
  // The same by place in the grid (inside the grid).
  bool TileTouched(int32_t column, int32_t row) const { return TileTouched(column + row * tilesAcross_); }
  // What every tile of an untouched page reads as (uncommitted, this fill).
  uint32_t UntouchedFill() const { return tiles_.untouchedFill; }
  // Gives every tile of the untouched pages this fill, as a loop setting the fill of every
  // uncommitted tile would (with ForEachTouchedTile for the rest).
  void SetUntouchedFill(uint32_t fill) { tiles_.untouchedFill = fill; }
  bool TileCommittedAt(int32_t index) const { return TileTouched(index) && tiles_.entries[index].committed; }
  uint32_t TileFillAt(int32_t index) const {
    return TileTouched(index) ? tiles_.entries[index].fill : tiles_.untouchedFill;
  }
  // The record of tile index: the table's own when its page is touched, otherwise scratch
  // filled as the page would be (uncommitted, the untouched fill, no view).
  const STileInfo& TileRecord(int32_t index, STileInfo& scratch) const;
  // Whether a piece inside one tile covers the whole part of that tile inside the picture.
  bool PieceIsWholeTile(const SRectWH& piece) const {
    return (piece.left & tileMask_) == 0 && (piece.top & tileMask_) == 0 &&
           piece.width == std::min(tileWidth_, size_.width - piece.left) &&
           piece.height == std::min(tileHeight_, size_.height - piece.top);
  }
  // Whether a piece of source (sp, at dp in this store, as the walkers give it) lies on untouched
  // tiles on both sides and covers its tile here whole: a write that leaves the untouched fill
  // as it is may pass it over, and both pages stay untouched.
  bool PieceOnUntouchedTiles(const CBlockImage& source, const TPoint& dp, const SRectWH& sp) const;
  // Memory the table holds for this store now: its touched pages (records and views) and the
  // page flags.
  int64_t TableResidentBytes() const;
  // fn(tile) for every tile of every touched page, in index order; the tiles of the other pages
  // are uncommitted with the untouched fill.
  template <class Fn>
  void ForEachTouchedTile(Fn&& fn) const;
  // Reserved range: tiles across*tiles down*tile byte size bytes.
  uint8_t* ReservedBase() const { return range_.base; }
  uint64_t ReservedBytes() const { return reservedBytes_; }
  // Whether (x, y) lies in the tile grid (the picture plus the edge tiles' overhang).
  bool PointInGrid(int32_t x, int32_t y) const {
    return static_cast<uint32_t>(x >> tileShift_) < static_cast<uint32_t>(tilesAcross_) && x >= 0 &&
           static_cast<uint32_t>(y >> tileShift_) < static_cast<uint32_t>(tilesDown_) && y >= 0;
  }

  // ---- Rectangle walkers ----
  // Each clips first and returns false, calling nothing, when nothing is left; otherwise it calls
  // fn once per piece, rows of tiles top to bottom, left to right, and returns true.
  //   WalkRectWith       fn(const SRectWH& piece), the rectangle clipped to the store.
  //   WalkToImageWith    from the store into a flat image: ClipBlit(image size, store size, ...);
  //                      fn(point in the image, piece in the store), cut at the store's tiles.
  //   WalkFromImageWith  from a flat image into the store: ClipBlit(store size, image size, ...);
  //                      fn(point in the store, piece in the image), cut at the store's tiles in
  //                      destination coordinates.
  //   WalkFromBlockWith  from another store of the same tile geometry into this one: fn(point in
  //                      this store, piece in the source); every piece lies inside one source
  //                      tile and one destination tile. False when the geometries differ.
  template <class Fn>
  bool WalkRectWith(SRectWH& rect, Fn&& fn) const;
  template <class Fn>
  bool WalkToImageWith(const SSize& imageSize, TPoint& destPoint, SRectWH& sourceRect, Fn&& fn) const;
  template <class Fn>
  bool WalkFromImageWith(const SSize& imageSize, TPoint& destPoint, SRectWH& sourceRect, Fn&& fn) const;
  template <class Fn>
  bool WalkFromBlockWith(const CBlockImage& source, TPoint& destPoint, SRectWH& sourceRect, Fn&& fn) const;

  // ---- Tile copies (whole tiles, no pixel arithmetic) ----
  // Source committed: commits dest (slot 2) and copies the bytes; otherwise decommits dest. Dest's
  // fill := source's fill. False, dest unchanged, when dest cannot be committed or the tiles
  // differ in byte size.
  bool CopyTile(STileInfo& dest, const STileInfo& source);
  // CopyTile for every tile of the grid both stores share, (c, r) onto (c, r). False unless both
  // are valid with the same tile geometry. Every tile the copy needs is committed first: when a
  // commit is refused, nothing changes and the result is false.
  bool CopyAllTiles(const CBlockImage& source);
  // ClipBlit, sourceRect widened outward to whole tiles of this store (AlignRectToTiles for
  // 32-pixel tiles), then CopyTile for every tile of the aligned rectangle onto the tiles from
  // the destination point. The destination must lie on a tile border like the aligned source
  // origin (false otherwise, nothing copied); tiles outside either grid are skipped. All or
  // nothing, as CopyAllTiles.
  bool CopyTilesRect(const CBlockImage& source, TPoint& destPoint, SRectWH& sourceRect);
  // Exchanges every tile (memory, fill values, views) and the reservation with other, a store of
  // the same size and tile geometry: a whole-store swap without copying a byte. False, nothing
  // changed, when the two differ.
  bool ExchangeTiles(CBlockImage& other);

  // Commits the tiles of the clipped rectangle that a write needs (whole uncommitted tiles
  // excepted when wholeTilesStay is set) as one step, for writes that then go pixel by pixel;
  // false, nothing committed, when one is refused (true also when nothing is left).
  bool PrepareRect(const SRectWH& rect, bool wholeTilesStay);

  // Commits tiles ahead of a write over several tiles, so that the write is done whole or not
  // at all: Commit every tile the write needs, then either write (when nothing failed) or
  // Rollback, which gives back the tiles committed here; the store then reads as before.
  class PendingCommits {
   public:
    explicit PendingCommits(CBlockImage& store) : store_(store) {}
    PendingCommits(const PendingCommits&) = delete;
    PendingCommits& operator=(const PendingCommits&) = delete;
    // True when the tile is committed afterwards. overwrite: the write is about to set every
    // byte of the tile, so its fill is not written first (the store's own CommitTile is skipped;
    // rebuild the content rectangles afterwards). After a refusal every later call answers false.
    bool Commit(STileInfo& tile, bool overwrite);
    // Commit (not overwrite) for every tile of the rectangle, clipped to the store in place;
    // whole uncommitted tiles are passed over when wholeTilesStay is set (a uniform write
    // changes only their fill). False, nothing committed, when nothing is left after clipping.
    bool CommitRect(SRectWH& rect, bool wholeTilesStay);
    bool Failed() const { return failed_; }
    // Before the write: long runs of fresh tiles that lie side by side in memory are prepared
    // as one span (PrepareDenseTileMemory), so that a whole-store copy does not fault page by page.
    void PrepareForWrite() const;
    // Decommits what this batch committed, newest first; a tile the system keeps committed is
    // filled with its fill value so that it reads as before.
    void Rollback();

   private:
    CBlockImage& store_;
    std::vector<STileInfo*> fresh_;
    bool failed_ = false;
  };

 protected:
  CBlockImage();

  // valid := false; bytes per pixel, tile byte size, size, tiles across and down; the table
  // record is emptied (nothing freed). A negative side counts as 0.
  void InitGeometry(int32_t width, int32_t height, int32_t bytesPerPixel);
  // Reserve, then BuildTiles; true only when both succeed.
  bool Allocate();
  // Reserves tiles across*tiles down*tile byte size bytes; false when refused or empty.
  bool Reserve();
  // Releases the whole range; true when there was none.
  bool ReleaseReserve();
  // Table of tiles, each with its view (MakeTileView); false when the table or a view fails.
  bool BuildTiles();
  // DecommitTile and free the view of every tile; free the table.
  void FreeTiles();
  // Writes the fill value over every pixel of a committed tile (by bytes per pixel).
  void FillTileMemory(STileInfo& tile, uint32_t value);
  // Memory for the view of a tile (viewBytes_ bytes); null when the subclass set no view size.
  void* TileViewSlot(const STileInfo& tile) const;
  // The record of tile index, writing its page first when it was never touched.
  STileInfo& TouchTile(int32_t index) const {
    if (tiles_.touched[index >> kTilePageShift] == 0)
      const_cast<CBlockImage*>(this)->TouchPage(index >> kTilePageShift);
    return tiles_.entries[index];
  }
  // Writes the records and views of a page of the table, each tile with the untouched fill (the
  // fill MakeTileView gives when keepDefaultFill is set).
  void TouchPage(int32_t page, bool keepDefaultFill = false);
  // The record of tile index as its page starts out (no view).
  void InitTileRecord(STileInfo& tile, int32_t index) const;

  // Fields, in order.
  bool valid_ = false;
  int32_t tileByteSize_ = 0;
  int32_t bytesPerPixel_ = 4;
  int32_t tileWidth_ = 32;
  int32_t tileHeight_ = 32;
  int32_t tileSize_ = 32;
  int32_t tileMask_ = 31;
  int32_t tileShift_ = 5;
  SSize size_{0, 0};
  int32_t tilesAcross_ = 0;
  int32_t tilesDown_ = 0;
  STileTable tiles_;
  int32_t viewBytes_ = 0;  // size of a tile view, set by the subclass (0: no view slots)
  AddressRange range_;
  uint64_t reservedBytes_ = 0;
  int32_t committedTiles_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Walker templates

template <class Fn>
void CBlockImage::ForEachTouchedTile(Fn&& fn) const {
  const int32_t count = TileCount();
  for (int32_t page = 0; page < tiles_.pages; ++page) {
    if (tiles_.touched[page] == 0) continue;
    const int32_t end = std::min(count, (page + 1) << kTilePageShift);
    for (int32_t i = page << kTilePageShift; i < end; ++i) fn(tiles_.entries[i]);
  }
}

template <class Fn>
bool CBlockImage::WalkRectWith(SRectWH& rect, Fn&& fn) const {
  if (!valid_ || !ClipRect(rect)) return false;
  const int32_t mask = tileMask_;
  int32_t y = rect.top;
  int32_t rowsLeft = rect.height;
  while (rowsLeft > 0) {
    const int32_t h = std::min(tileHeight_ - (y & mask), rowsLeft);
    int32_t x = rect.left;
    int32_t columnsLeft = rect.width;
    while (columnsLeft > 0) {
      const int32_t w = std::min(tileWidth_ - (x & mask), columnsLeft);
      fn(SRectWH{x, y, w, h});
      x += w;
      columnsLeft -= w;
    }
    y += h;
    rowsLeft -= h;
  }
  return true;
}

template <class Fn>
bool CBlockImage::WalkToImageWith(const SSize& imageSize, TPoint& destPoint, SRectWH& sourceRect, Fn&& fn) const {
  if (!valid_ || !ClipBlit(imageSize, size_, destPoint, sourceRect)) return false;
  const int32_t dx = destPoint.x - sourceRect.left;
  const int32_t dy = destPoint.y - sourceRect.top;
  SRectWH rect = sourceRect;
  return WalkRectWith(rect, [&](const SRectWH& piece) { fn(TPoint{piece.left + dx, piece.top + dy}, piece); });
}

template <class Fn>
bool CBlockImage::WalkFromImageWith(const SSize& imageSize, TPoint& destPoint, SRectWH& sourceRect,
                                    Fn&& fn) const {
  if (!valid_ || !ClipBlit(size_, imageSize, destPoint, sourceRect)) return false;
  const int32_t dx = sourceRect.left - destPoint.x;
  const int32_t dy = sourceRect.top - destPoint.y;
  // Cut in store (destination) coordinates.
  SRectWH rect{destPoint.x, destPoint.y, sourceRect.width, sourceRect.height};
  return WalkRectWith(rect, [&](const SRectWH& piece) {
    fn(TPoint{piece.left, piece.top}, SRectWH{piece.left + dx, piece.top + dy, piece.width, piece.height});
  });
}

template <class Fn>
bool CBlockImage::WalkFromBlockWith(const CBlockImage& source, TPoint& destPoint, SRectWH& sourceRect,
                                    Fn&& fn) const {
  if (!valid_ || !source.valid_) return false;
  if (source.tileWidth_ != tileWidth_ || source.tileHeight_ != tileHeight_) return false;
  if (!ClipBlit(size_, source.size_, destPoint, sourceRect)) return false;
  const int32_t dx = destPoint.x - sourceRect.left;
  const int32_t dy = destPoint.y - sourceRect.top;
  const int32_t mask = tileMask_;
  SRectWH rect = sourceRect;
  return source.WalkRectWith(rect, [&](const SRectWH& sp) {
    // Cut the source piece again at the destination's tile borders.
    int32_t y = sp.top;
    int32_t rowsLeft = sp.height;
    while (rowsLeft > 0) {
      const int32_t h = std::min(tileHeight_ - ((y + dy) & mask), rowsLeft);
      int32_t x = sp.left;
      int32_t columnsLeft = sp.width;
      while (columnsLeft > 0) {
        const int32_t w = std::min(tileWidth_ - ((x + dx) & mask), columnsLeft);
        fn(TPoint{x + dx, y + dy}, SRectWH{x, y, w, h});
        x += w;
        columnsLeft -= w;
      }
      y += h;
      rowsLeft -= h;
    }
  });
}

// ---------------------------------------------------------------------------------------------
// Tile bounds

// Union of the full tile squares (edge tiles reach past the picture) of the tiles for which
// shows(tile) answers true; false, bounds untouched, when there is none.
template <class Shows>
bool TileSquaresBounds(const CBlockImage& store, TRect& bounds, Shows shows) {
  if (store.TileCount() == 0) return false;
  bool any = false;
  TRect result{0, 0, 0, 0};
  // The untouched tiles are all alike: when the first shows nothing, none does.
  STileInfo scratch;
  bool untouchedShows = false;
  for (int32_t i = 0; i < store.TileCount(); i += kTilesPerPage) {
    if (!store.TileTouched(i)) {
      untouchedShows = shows(store.TileRecord(i, scratch));
      break;
    }
  }
  for (int32_t i = 0; i < store.TileCount(); ++i) {
    if (!untouchedShows && !store.TileTouched(i)) {
      i = (((i >> kTilePageShift) + 1) << kTilePageShift) - 1;  // the rest of the page
      continue;
    }
    const STileInfo& t = store.TileRecord(i, scratch);
    if (!shows(t)) continue;
    const TRect square{t.pixelX, t.pixelY, t.pixelX + t.tileWidth, t.pixelY + t.tileHeight};
    if (!any) {
      result = square;
      any = true;
    } else {
      UnionBounds(result, square);
    }
  }
  if (any) bounds = result;
  return any;
}

// ---------------------------------------------------------------------------------------------
// The commit-first write

// What one piece of a commit-first write asks of its destination tile.
struct STileNeed {
  STileInfo* tile = nullptr;  // to be committed ahead; null when the piece needs no commit
  bool overwrite = false;     // the piece sets every byte of the tile: the fill is not written first
};

// A write over several tiles, done whole or not at all. walk(visit) runs the write's walker
// with visit as its per-piece routine and answers the walker's result; it is called twice and
// must visit the same pieces both times (a walker that clips in place clips the second time to
// what it clipped the first). Pass 1: need(piece...) for every piece, committing the tile it
// names (PendingCommits). When a commit is refused, the tiles committed here are given back,
// refused (when given) is set and the result is false: nothing changed. Pass 2: write(piece...)
// for every piece, which answers false when it could not do its piece. The result is pass 2's
// walk result and every write's. Every commit-first write of the stores is this one.
template <class Walk, class Need, class Write>
bool WriteCommitFirst(CBlockImage& store, Walk&& walk, Need&& need, Write&& write, bool* refused = nullptr) {
  CBlockImage::PendingCommits pending(store);
  if (!walk([&](const auto&... piece) {
        if (pending.Failed()) return;
        const STileNeed tile = need(piece...);
        if (tile.tile != nullptr) pending.Commit(*tile.tile, tile.overwrite);
      }))
    return false;
  if (pending.Failed()) {
    pending.Rollback();
    if (refused != nullptr) *refused = true;
    return false;
  }
  pending.PrepareForWrite();
  bool allDone = true;
  const bool walked = walk([&](const auto&... piece) {
    if (!write(piece...)) allDone = false;
  });
  return walked && allDone;
}

// Writes from one store into another (Store: CBlockVMTC or CBlockVCH, for its TileView), the
// per-piece skeleton of the combinations of two stores of one kind. For each piece, in the
// order of WalkFromBlockWith:
//   - skip(source tile) answers true: nothing happens (the source adds nothing there);
//   - an uncommitted source tile over a whole uncommitted destination tile: onFill(destination
//     fill, source fill) changes the destination's fill only;
//   - otherwise the destination tile is committed, then a committed source tile gives
//     onPixels(dest view, dest-local point, source view, source-local rect) and an uncommitted
//     one onColor(dest view, dest-local rect, source fill).
// A commit-first write (WriteCommitFirst): a refused commit changes nothing, sets refused (when
// given) and gives false. False also when there is nothing to walk. The source must not be the
// destination (read from a copy instead).
template <class Store, class Skip, class OnPixels, class OnFill, class OnColor>
bool WritePiecesFromBlock(Store& dest, const Store& source, TPoint& destPoint, SRectWH& sourceRect, bool* refused,
                          Skip skip, OnPixels onPixels, OnFill onFill, OnColor onColor) {
  const int32_t shift = dest.TileShift();
  const int32_t mask = dest.TileMask();
  const auto fillOnly = [&](const STileInfo& s, const STileInfo& d, const TPoint& dp, const SRectWH& sp) {
    return !s.committed && !d.committed && TileRectIsWhole(d, SRectWH{dp.x, dp.y, sp.width, sp.height}, mask);
  };
  // Untouched tiles on both sides: when the source's untouched fill leaves the destination's as
  // it is, whole pieces there change nothing and their table pages stay untouched.
  const bool untouchedStays = [&] {
    STileInfo untouched{};
    untouched.fill = source.UntouchedFill();
    if (skip(untouched)) return true;
    uint32_t fill = dest.UntouchedFill();
    onFill(fill, source.UntouchedFill());
    return fill == dest.UntouchedFill();
  }();
  const auto passOver = [&](const TPoint& dp, const SRectWH& sp) {
    return untouchedStays && dest.PieceOnUntouchedTiles(source, dp, sp);
  };
  return WriteCommitFirst(
      dest, [&](auto visit) { return dest.WalkFromBlockWith(source, destPoint, sourceRect, visit); },
      [&](const TPoint& dp, const SRectWH& sp) -> STileNeed {
        if (passOver(dp, sp)) return {};
        const STileInfo* s = source.GetTile(sp.left >> shift, sp.top >> shift);
        STileInfo* d = dest.GetTile(dp.x >> shift, dp.y >> shift, false);
        if (skip(*s) || fillOnly(*s, *d, dp, sp)) return {};
        return {d, false};
      },
      [&](const TPoint& dp, const SRectWH& sp) {
        if (passOver(dp, sp)) return true;
        const STileInfo* s = source.GetTile(sp.left >> shift, sp.top >> shift);
        STileInfo* d = dest.GetTile(dp.x >> shift, dp.y >> shift, false);
        if (skip(*s)) return true;
        if (fillOnly(*s, *d, dp, sp)) {
          onFill(d->fill, s->fill);
          return true;
        }
        if (!dest.CommitTile(*d)) return false;  // committed in pass 1; cannot be refused here
        auto& dv = *dest.TileView(*d);
        if (s->committed) {
          TPoint local{dp.x & mask, dp.y & mask};
          SRectWH sr{sp.left & mask, sp.top & mask, sp.width, sp.height};
          onPixels(dv, local, *source.TileView(*s), sr);
        } else {
          SRectWH dr{dp.x & mask, dp.y & mask, sp.width, sp.height};
          onColor(dv, dr, s->fill);
        }
        return true;
      },
      refused);
}

// A uniform operation over a rectangle of a store (Store: CBlockVMTC or CBlockVCH, for its
// TileView), clipped in place: a piece over a whole uncommitted tile changes only the tile's
// fill (onFill(fill)); every other piece commits its tile and runs onPixels(tile view,
// tile-local rect). A commit-first write: when a commit is refused nothing changes and the
// result is false. False also when nothing is left after clipping.
template <class Store, class OnFill, class OnPixels>
bool WriteUniformPieces(Store& store, SRectWH& rect, OnFill onFill, OnPixels onPixels) {
  const int32_t shift = store.TileShift();
  const int32_t mask = store.TileMask();
  // Whole pieces over untouched tiles leave their table pages untouched when the fill would not
  // change them, or when the write covers the whole store (the untouched fill then takes the
  // change at the end; no tile of such a page is looked up, so the pages stay untouched).
  SRectWH all{0, 0, store.Width(), store.Height()};
  const bool wholeStore = store.ClipRect(all) && [&] {
    SRectWH clipped = rect;
    return store.ClipRect(clipped) && clipped == all;
  }();
  uint32_t untouchedFill = store.UntouchedFill();
  onFill(untouchedFill);
  const bool passUntouched = wholeStore || untouchedFill == store.UntouchedFill();
  const auto passOver = [&](const SRectWH& piece) {
    return passUntouched && !store.TileTouched(piece.left >> shift, piece.top >> shift) &&
           (wholeStore || store.PieceIsWholeTile(piece));
  };
  bool written = false;
  const bool result = WriteCommitFirst(
      store, [&](auto visit) { return store.WalkRectWith(rect, visit); },
      [&](const SRectWH& piece) -> STileNeed {
        if (passOver(piece)) return {};
        STileInfo* tile = store.GetTile(piece.left >> shift, piece.top >> shift, false);
        if (!tile->committed && TileRectIsWhole(*tile, piece, mask)) return {};
        return {tile, false};
      },
      [&](const SRectWH& piece) {
        written = true;
        if (passOver(piece)) return true;
        STileInfo* tile = store.GetTile(piece.left >> shift, piece.top >> shift, false);
        if (!tile->committed && TileRectIsWhole(*tile, piece, mask)) {
          onFill(tile->fill);
          return true;
        }
        if (!store.CommitTile(*tile)) return false;  // committed in pass 1; cannot be refused here
        SRectWH local{piece.left & mask, piece.top & mask, piece.width, piece.height};
        onPixels(*store.TileView(*tile), local);
        return true;
      });
  if (written && wholeStore) store.SetUntouchedFill(untouchedFill);
  return result;
}

// ---------------------------------------------------------------------------------------------
// Memory in use

// MemoryUse(object) answers the bytes an object really uses for every class that can be held
// by an undo record or counted in the memory report, each over the query its class names
// (CommittedBytes here; GetMemory, MemorySize elsewhere). One overload beside each class.
inline int64_t MemoryUse(const CBlockImage& store) { return store.CommittedBytes(); }

}  // namespace tf
