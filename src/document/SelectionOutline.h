// The selection outline (CAntPoints, marching ants) and the selection slots (TSelectMng).
#pragma once
// CAntPoints traces the boundary between selected and unselected pixels of an 8-bit channel into
// four lists of edge points (left, right, top and bottom edges) and draws them as a dotted black
// and white line at the view's zoom and rotation. Each edge point names the pixel corner where a
// boundary segment of one pixel begins. Points are kept in blocks of 1024 (CPointList), so a
// large outline never moves memory.
//
// TSelectMng is the set of selection slots the polygon paint path uses as a scratch channel for a
// filled polygon. Only slot 0 is used; the others stay placeholders.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "raster/DibImage.h"
#include "raster/FlatImage.h"
#include "raster/Geometry.h"

namespace tf {

class MaskCanvas;
class Surface;

// A list of points in zero-filled blocks of 1024 points.
class CPointList {
 public:
  static constexpr int32_t kBlockPoints = 1024;

  // Empty, no block; capacity is the initial room of the block table.
  explicit CPointList(int32_t capacity = 16);
  CPointList(const CPointList&) = delete;
  CPointList& operator=(const CPointList&) = delete;
  ~CPointList() { Clear(); }

  // Frees every block; returns how many there were.
  int32_t Clear();
  // Clear, then AddBlock.
  bool Reset();
  // A zero-filled block appended (free places 1024); false when memory runs out.
  bool AddBlock();
  // Stores the point (a new block first when the last is full); false when no block can be had.
  bool Add(const TPoint& point);
  int32_t BlockCount() const { return static_cast<int32_t>(blocks_.size()); }
  const TPoint* GetBlock(int32_t index) const { return blocks_[static_cast<size_t>(index)].get(); }
  // Points in the last block; 0 for an empty list.
  int32_t LastBlockCount() const;
  int32_t PointCount() const;
  // Points in block index (1024 but for the last).
  int32_t BlockPointCount(int32_t index) const {
    return index + 1 < BlockCount() ? kBlockPoints : LastBlockCount();
  }

 private:
  std::vector<std::unique_ptr<TPoint[]>> blocks_;
  int32_t freePlaces_ = 0;
  TPoint* writePos_ = nullptr;
};

// The view an outline is drawn at.
struct SAntView {
  int32_t zoom = 65536;  // 16.16
  int32_t sine = 0;      // 16.16
  int32_t cosine = 65536;
};

class CAntPoints {
 public:
  // The canvas gives the mapping to the window; the pattern is the dash pattern (0xCC for the
  // selection).
  CAntPoints(const MaskCanvas* canvas, uint8_t pattern);
  CAntPoints(const CAntPoints&) = delete;
  CAntPoints& operator=(const CAntPoints&) = delete;

  void ResetLists();
  // ResetLists; offset 0.
  void Clear();
  // Dash pattern rotated right by one bit.
  void Step() { pattern_ = static_cast<uint8_t>((pattern_ << 7) | (pattern_ >> 1)); }
  // Every list holds a point.
  bool HasPoints() const;
  // Traces the inside (nonzero) pixels of the channel. Without append the lists are reset first.
  // False when a point cannot be stored, and for a channel without an inside pixel.
  bool Trace(const TChannel& channel, bool append);
  // Draws the outline into the surface, clipped to the rectangle (left, top, right, bottom of the
  // client area). False when there are no points.
  bool Draw(Surface& surface, const TRect& clip);
  // The same at an explicit view (zoom and rotation in 16.16).
  bool DrawAt(Surface& surface, const TRect& clip, const SAntView& view);

  uint8_t Pattern() const { return pattern_; }
  uint8_t InitialPattern() const { return initialPattern_; }
  TPoint Offset() const { return offset_; }
  void SetOffset(const TPoint& offset) { offset_ = offset; }
  const CPointList& LeftEdges() const { return left_; }
  const CPointList& RightEdges() const { return right_; }
  const CPointList& TopEdges() const { return top_; }
  const CPointList& BottomEdges() const { return bottom_; }
  void SetCanvas(const MaskCanvas* canvas) { canvas_ = canvas; }

 private:
  bool TraceRows(const TChannel& channel);
  bool TraceColumns(const TChannel& channel);
  void DrawList(Surface& surface, const CPointList& list, int kind, const SAntView& view);

  const MaskCanvas* canvas_;
  uint8_t initialPattern_;
  uint8_t pattern_;
  TPoint offset_{0, 0};
  CPointList left_;
  CPointList right_;
  CPointList top_;
  CPointList bottom_;
  TRect clip_{0, 0, 0, 0};
};

// The outline object of a selection slot: created and freed, never filled.
struct TAnts {
  int32_t count = 0;
  std::unique_ptr<TPoint[]> points;
};

struct TSelectSlot {
  std::unique_ptr<TChannel> channel;
  std::unique_ptr<TTC> thumbnail;
  std::unique_ptr<TAnts> outline;
  uint8_t empty = 1;
};

class TSelectMng {
 public:
  static constexpr int32_t kSlotCount = 32;
  static constexpr int32_t kThumbnailSide = 48;

  // Slots of width x height; slot 0 initialised. Check IsValid.
  TSelectMng(int32_t width, int32_t height);
  TSelectMng(const TSelectMng&) = delete;
  TSelectMng& operator=(const TSelectMng&) = delete;

  bool IsValid() const;
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t CurrentIndex() const { return current_; }
  // Slot n: a new channel of the manager's size, a new outline, empty, a new thumbnail.
  bool InitSlot(int32_t n);
  // Thumbnail of slot n sized for width x height (48 on the longer side), opaque white.
  bool SizeThumbnail(int32_t n, int32_t width, int32_t height);
  // The slots up to the current one take the new size; the current slot is initialised again.
  bool Resize(int32_t width, int32_t height);
  // The polygon (count points) replaces the slot's content; the slot is no longer empty.
  bool AddPolygon(int32_t n, const TPoint* points, int32_t mode, int32_t count);
  bool RefreshSlotThumbnail(int32_t n);
  // The current slot (null when the index is out of range).
  const TSelectSlot* GetCurrentSlot() const;
  TSelectSlot* Slot(int32_t n);
  bool ClearSlot(int32_t n);
  bool IsSlotEmpty(int32_t n) const;

 private:
  static bool ValidSlot(int32_t n) { return n >= 0 && n < kSlotCount; }
  int32_t width_;
  int32_t height_;
  int32_t count_ = 0;
  int32_t current_ = 0;
  std::array<TSelectSlot, kSlotCount> slots_;
};

}  // namespace tf
