// The 32-bit tiled store: construction, tile views, content rectangles, pixel access and
// compaction. Rectangle operations and copies are in BlockVMTCOps.cpp.
#include "raster/BlockVMTC.h"

#include <new>

#include "raster/ColorMath.h"

namespace tf {

// ---------------------------------------------------------------------------------------------
// Region lists

void RegionListClear(SRegionList& list) {
  list.count = 0;
  for (TRect& r : list.rects) r = {0, 0, 0, 0};
}

void RegionListInit(SRegionList& list, const SSize& size) {
  RegionListClear(list);
  list.size = size;
}

int32_t RegionListFindTouching(const SRegionList& list, const TRect& rect) {
  for (int32_t i = 0; i < list.count; ++i)
    if (BoundsGapSq(list.rects[i], rect) == 0) return i;
  return -1;
}

int32_t RegionListFindNearest(const SRegionList& list, const TRect& rect) {
  int32_t best = -1;
  int64_t bestGap = 0, bestArea = 0;
  for (int32_t i = 0; i < list.count; ++i) {
    const int64_t gap = BoundsGapSq(list.rects[i], rect);
    const int64_t area = BoundsArea(list.rects[i]);
    if (best < 0 || gap < bestGap || (gap == bestGap && area < bestArea)) {
      best = i;
      bestGap = gap;
      bestArea = area;
    }
  }
  return best;
}

bool RegionListMergeAt(SRegionList& list, int32_t index) {
  for (int32_t j = index + 1; j < list.count; ++j) {
    if (BoundsGapSq(list.rects[index], list.rects[j]) != 0) continue;
    UnionBounds(list.rects[index], list.rects[j]);
    for (int32_t k = j; k + 1 < list.count; ++k) list.rects[k] = list.rects[k + 1];
    --list.count;
    list.rects[list.count] = {0, 0, 0, 0};
    return true;
  }
  return false;
}

bool RegionListMergeAll(SRegionList& list) {
  if (list.count < 2) return false;
  for (int32_t i = 0; i + 1 < list.count; ++i)
    if (RegionListMergeAt(list, i)) return true;
  return false;
}

bool RegionListMergeInto(SRegionList& list, int32_t index, const TRect& rect) {
  if (index == -1) {
    index = RegionListFindNearest(list, rect);
    if (index < 0) {
      list.rects[0] = rect;
      list.count = 1;
      return true;
    }
  }
  if (index < 0 || index >= list.count) return false;
  UnionBounds(list.rects[index], rect);
  while (RegionListMergeAll(list)) {
  }
  return true;
}

bool RegionListAdd(SRegionList& list, const TRect& rect) {
  TRect r = rect;
  if (!ClipBoundsToSize(r, list.size)) return false;
  const int32_t touching = RegionListFindTouching(list, r);
  if (touching >= 0) return RegionListMergeInto(list, touching, r);
  if (list.count < 4) {
    list.rects[list.count++] = r;
    return true;
  }
  return RegionListMergeInto(list, -1, r);
}

bool ContentRectPiece(const CBlockVMTC& store, int32_t index, TPoint& destPoint, SRectWH& sourceRect) {
  const SRegionList& list = store.ContentRects();
  if (index < 0 || index >= list.count) return false;
  TRect bounds;
  RectToBounds(sourceRect, bounds);
  if (!IntersectBounds(bounds, list.rects[index])) return false;
  destPoint.x = AddSat(destPoint.x, int64_t{bounds.left} - sourceRect.left);
  destPoint.y = AddSat(destPoint.y, int64_t{bounds.top} - sourceRect.top);
  BoundsToRect(bounds, sourceRect);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Construction

CBlockVMTC::CBlockVMTC() {
  viewBytes_ = static_cast<int32_t>(sizeof(TVMTC));
  DynArrayInit(rowTable_);
  RegionListInit(content_, SSize{0, 0});
}

CBlockVMTC::CBlockVMTC(int32_t width, int32_t height) : CBlockVMTC() { Create(width, height); }

CBlockVMTC::CBlockVMTC(const CBlockVMTC& source) : CBlockVMTC() { CreateCopy(source); }

CBlockVMTC::~CBlockVMTC() {
  FreeAll();
  DynArrayFree(rowTable_);
  RegionListClear(content_);
}

bool CBlockVMTC::Create(int32_t width, int32_t height) {
  FreeAll();
  SetTileGeometry();
  InitGeometry(width, height, 4);
  defaultFill_ = kDefaultFill;
  ResetContentRects();
  if (!DynArrayAlloc(rowTable_, 4, tileHeight_)) {
    FreeAll();
    return false;
  }
  int32_t* rows = static_cast<int32_t*>(rowTable_.data);
  for (int32_t i = 0; i < tileHeight_; ++i) rows[i] = i * tileWidth_ * 4;
  valid_ = Allocate();
  if (!IsValid()) FreeAll();  // size 0, nothing held
  return IsValid();
}

bool CBlockVMTC::SetSize(int32_t width, int32_t height) {
  const bool valid = CBlockImage::SetSize(width, height);
  ResetContentRects();
  return valid && IsValid();
}

bool CBlockVMTC::CreateCopy(const CBlockVMTC& source) {
  if (&source == this) return IsValid();  // Create would free what it is to copy
  if (!Create(source.Width(), source.Height())) return false;
  if (Assign(source)) return true;
  // A partial copy would pass for the source: hold nothing instead.
  FreeAll();
  ResetContentRects();
  return false;
}

// ---------------------------------------------------------------------------------------------
// Slots

bool CBlockVMTC::IsValid() const { return CBlockImage::IsValid() && DynArrayAssigned(rowTable_); }

bool CBlockVMTC::CommitTile(STileInfo& tile) {
  if (tile.committed) return true;
  if (!CBlockImage::CommitTile(tile)) return false;
  // Fresh memory reads as zero, so a zero fill needs no writing.
  if (tile.fill != 0) FillTileMemory(tile, tile.fill);
  AddTileToContent(tile);
  return true;
}

bool CBlockVMTC::MakeTileView(STileInfo& tile) {
  if (tile.view) return true;
  tile.fill = defaultFill_;
  void* slot = TileViewSlot(tile);
  TVMTC* view = slot != nullptr ? new (slot) TVMTC() : new (std::nothrow) TVMTC();
  if (!view) return false;
  tile.view = view;
  return view->Create(tile, static_cast<int32_t*>(rowTable_.data));
}

STileInfo* CBlockVMTC::TileAt(int32_t x, int32_t y, bool commit) {
  if (x < 0 || y < 0) return nullptr;
  return GetTile(x >> 5, y >> 5, commit);
}

uint8_t* CBlockVMTC::PixelPtr(int32_t x, int32_t y, bool commit) {
  STileInfo* tile = TileAt(x, y, commit);
  if (!tile || !tile->committed) return nullptr;
  return tile->block + ((y & 31) * 32 + (x & 31)) * 4;
}

// ---------------------------------------------------------------------------------------------
// Content rectangles

void CBlockVMTC::ResetContentRects() { RegionListInit(content_, size_); }

bool CBlockVMTC::AddTileToContent(const STileInfo& tile) {
  if (!tile.committed && (tile.fill >> 24) == 0) return false;
  const TRect rect{tile.pixelX, tile.pixelY, tile.pixelX + tile.clippedWidth, tile.pixelY + tile.clippedHeight};
  return RegionListAdd(content_, rect);
}

int32_t CBlockVMTC::UpdateContentRects() {
  ResetContentRects();
  const int32_t count = TileCount();
  // Untouched tiles with a clear fill add nothing: skip their pages.
  const bool untouchedShows = (UntouchedFill() >> 24) != 0;
  STileInfo scratch;
  int32_t column = -1, row = 0;  // of tile i, kept as i counts up
  for (int32_t i = 0; i < count; ++i) {
    if (++column == tilesAcross_) {
      column = 0;
      ++row;
    }
    const bool touched = TileTouched(i);
    if (!untouchedShows && !touched) {
      i = (((i >> kTilePageShift) + 1) << kTilePageShift) - 1;
      column = i % tilesAcross_;
      row = i / tilesAcross_;
      continue;
    }
    if (touched && !tiles_.entries[i].committed && (tiles_.entries[i].fill >> 24) == 0) continue;
    // A tile inside the rectangle last grown needs no merging work.
    const int32_t x = column * tileWidth_, y = row * tileHeight_;
    const TRect& last = content_.rects[content_.count > 0 ? content_.count - 1 : 0];
    if (content_.count > 0 && x >= last.left && y >= last.top &&
        x + std::min(tileWidth_, size_.width - x) <= last.right &&
        y + std::min(tileHeight_, size_.height - y) <= last.bottom)
      continue;
    AddTileToContent(TileRecord(i, scratch));
  }
  return content_.count;
}

// ---------------------------------------------------------------------------------------------
// Pixel access

uint32_t CBlockVMTC::GetPixel(int32_t x, int32_t y) const {
  if (!PointInGrid(x, y) || tiles_.entries == nullptr) return 0;
  const int32_t index = (x >> 5) + (y >> 5) * tilesAcross_;
  if (!TileTouched(index)) return UntouchedFill();  // a read leaves the page untouched
  const STileInfo& tile = tiles_.entries[index];
  if (!tile.committed) return tile.fill;
  return *reinterpret_cast<const uint32_t*>(tile.block + ((y & 31) * 32 + (x & 31)) * 4);
}

uint32_t CBlockVMTC::GetPixelClamped(int32_t x, int32_t y) const {
  TPoint p{x, y};
  ClampPointToImage(p, size_);
  return GetPixel(p.x, p.y);
}

uint32_t CBlockVMTC::GetPixelOrDefault(int32_t x, int32_t y) const {
  if (!PointInSize(x, y, size_.width, size_.height)) return defaultFill_;
  return GetPixel(x, y);
}

int32_t CBlockVMTC::GetLuminance(int32_t x, int32_t y) const {
  const uint32_t pixel = GetPixel(x, y);
  return PixelLuminance(&pixel);
}

bool CBlockVMTC::SetPixel(int32_t x, int32_t y, uint32_t value) {
  uint32_t* p = WritePtr(x, y);
  if (!p) return false;
  *p = value;
  return true;
}

uint32_t* CBlockVMTC::WritePtr(int32_t x, int32_t y) { return reinterpret_cast<uint32_t*>(PixelPtr(x, y, true)); }

uint32_t* CBlockVMTC::WritePtrClamped(int32_t x, int32_t y) {
  TPoint p{x, y};
  ClampPointToImage(p, size_);
  return WritePtr(p.x, p.y);
}

// ---------------------------------------------------------------------------------------------
// Compaction

namespace {

// Whether all 1024 pixels of a tile equal the first; stops at the first row that differs.
bool TileIsUniform(const uint32_t* p, int32_t count) {
  const uint32_t first = p[0];
  for (int32_t start = 0; start < count; start += 32) {
    uint32_t diff = 0;
    const int32_t end = std::min(start + 32, count);
    for (int32_t i = start; i < end; ++i) diff |= p[i] ^ first;
    if (diff != 0) return false;
  }
  return true;
}

}  // namespace

int32_t CBlockVMTC::Compact() {
  int32_t released = 0;
  ForEachTouchedTile([&](STileInfo& t) {
    if (!t.committed) return;
    const uint32_t* p = reinterpret_cast<const uint32_t*>(t.block);
    if (!TileIsUniform(p, t.byteSize / 4)) return;
    const uint32_t value = p[0];
    const uint32_t oldFill = t.fill;
    t.fill = value;
    if (DecommitTile(t))
      ++released;
    else
      t.fill = oldFill;
  });
  UpdateContentRects();
  return released;
}

}  // namespace tf
