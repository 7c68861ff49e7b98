#include "document/SelectionOutline.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "document/MaskCanvas.h"
#include "platform/Surface.h"
#include "raster/ChannelShapes.h"

namespace tf {

// ---------------------------------------------------------------------------------------------
// CPointList

CPointList::CPointList(int32_t capacity) {
  try {
    blocks_.reserve(static_cast<size_t>(std::max(capacity, 1)));
  } catch (const std::bad_alloc&) {
    // AddBlock grows the table when it can.
  }
}

int32_t CPointList::Clear() {
  const int32_t count = BlockCount();
  blocks_.clear();
  freePlaces_ = 0;
  writePos_ = nullptr;
  return count;
}

bool CPointList::Reset() {
  Clear();
  return AddBlock();
}

bool CPointList::AddBlock() {
  std::unique_ptr<TPoint[]> block(new (std::nothrow) TPoint[kBlockPoints]);
  if (!block) return false;
  std::memset(static_cast<void*>(block.get()), 0, sizeof(TPoint) * kBlockPoints);
  try {
    blocks_.push_back(std::move(block));
  } catch (const std::bad_alloc&) {
    return false;
  }
  freePlaces_ = kBlockPoints;
  writePos_ = blocks_.back().get();
  return true;
}

bool CPointList::Add(const TPoint& point) {
  if (freePlaces_ <= 0 || writePos_ == nullptr) {
    if (!AddBlock()) return false;
  }
  *writePos_++ = point;
  --freePlaces_;
  return true;
}

int32_t CPointList::LastBlockCount() const {
  if (blocks_.empty() || writePos_ == nullptr) return 0;
  return kBlockPoints - freePlaces_;
}

int32_t CPointList::PointCount() const {
  if (blocks_.empty()) return 0;
  return LastBlockCount() + kBlockPoints * (BlockCount() - 1);
}

// ---------------------------------------------------------------------------------------------
// CAntPoints

CAntPoints::CAntPoints(const MaskCanvas* canvas, uint8_t pattern)
    : canvas_(canvas), initialPattern_(pattern), pattern_(pattern) {}

void CAntPoints::ResetLists() {
  left_.Reset();
  right_.Reset();
  top_.Reset();
  bottom_.Reset();
}

void CAntPoints::Clear() {
  ResetLists();
  offset_ = TPoint{0, 0};
}

bool CAntPoints::HasPoints() const {
  return left_.PointCount() > 0 && right_.PointCount() > 0 && top_.PointCount() > 0 && bottom_.PointCount() > 0;
}

namespace {

// Bit i set when byte i of the eight is nonzero (inside).
inline uint64_t InsideBits8(uint64_t v) {
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
  uint64_t zero = (v & kLow7) + kLow7;
  zero = ~(zero | v | kLow7);  // high bit of each zero byte
  return ~((((zero >> 7) * 0x0102040810204080ULL) >> 56)) & 0xFFu;
}

// Bit i set when pixel i of the count (at most 64) is inside.
inline uint64_t InsideBits(const uint8_t* pixels, int32_t count) {
  uint8_t padded[64];
  if (count < 64) {
    std::memset(padded, 0, sizeof padded);
    std::memcpy(padded, pixels, static_cast<size_t>(count));
    pixels = padded;
  }
  uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) {
    uint64_t v;
    std::memcpy(&v, pixels + 8 * i, 8);
    bits |= InsideBits8(v) << (8 * i);
  }
  return bits;
}

}  // namespace

bool CAntPoints::TraceRows(const TChannel& channel) {
  const int32_t width = channel.Width();
  const int32_t height = channel.Height();
  // Left edges (an inside pixel after an outside one or the border) and right edges (an outside
  // pixel after an inside one, and the border after an inside last pixel), row by row, 64
  // pixels at a time.
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = channel.GetPixelPtr(0, y);
    uint64_t carry = 0;  // the pixel before the chunk is inside
    for (int32_t x0 = 0; x0 < width; x0 += 64) {
      const int32_t count = std::min(64, width - x0);
      const uint64_t valid = count == 64 ? ~uint64_t{0} : (uint64_t{1} << count) - 1;
      const uint64_t in = InsideBits(row + x0, count);
      const uint64_t before = (in << 1) | carry;
      uint64_t starts = in & ~before;
      uint64_t ends = ~in & before & valid;
      for (; starts != 0; starts &= starts - 1)
        if (!left_.Add(TPoint{x0 + std::countr_zero(starts), y})) return false;
      for (; ends != 0; ends &= ends - 1)
        if (!right_.Add(TPoint{x0 + std::countr_zero(ends), y})) return false;
      carry = (in >> (count - 1)) & 1;
    }
    if (carry != 0 && !right_.Add(TPoint{width, y})) return false;
  }
  return true;
}

bool CAntPoints::TraceColumns(const TChannel& channel) {
  const int32_t width = channel.Width();
  const int32_t height = channel.Height();
  // The lists run column by column; the channel is read row by row over strips of 64 columns,
  // each column's edges gathered first and then appended in column order.
  constexpr int32_t kStrip = 64;
  std::vector<std::vector<int32_t>> tops(kStrip);
  std::vector<std::vector<int32_t>> bottoms(kStrip);
  std::vector<std::pair<int32_t, int32_t>> pendingBottoms;
  for (int32_t x0 = 0; x0 < width; x0 += kStrip) {
    const int32_t span = std::min(kStrip, width - x0);
    for (int32_t c = 0; c < span; ++c) {
      tops[static_cast<size_t>(c)].clear();
      bottoms[static_cast<size_t>(c)].clear();
    }
    uint64_t previous = 0;
    for (int32_t y = 0; y < height; ++y) {
      const uint64_t in = InsideBits(channel.GetPixelPtr(x0, y), span);
      for (uint64_t t = in & ~previous; t != 0; t &= t - 1)
        tops[static_cast<size_t>(std::countr_zero(t))].push_back(y);
      for (uint64_t b = previous & ~in; b != 0; b &= b - 1)
        bottoms[static_cast<size_t>(std::countr_zero(b))].push_back(y);
      previous = in;
    }
    for (uint64_t b = previous; b != 0; b &= b - 1) bottoms[static_cast<size_t>(std::countr_zero(b))].push_back(height);
    for (int32_t c = 0; c < span; ++c) {
      for (int32_t y : tops[static_cast<size_t>(c)])
        if (!top_.Add(TPoint{x0 + c, y})) return false;
    }
    for (int32_t c = 0; c < span; ++c)
      for (int32_t y : bottoms[static_cast<size_t>(c)]) pendingBottoms.emplace_back(x0 + c, y);
  }
  // Bottom edges follow every top edge.
  for (const auto& [x, y] : pendingBottoms)
    if (!bottom_.Add(TPoint{x, y})) return false;
  return true;
}

bool CAntPoints::Trace(const TChannel& channel, bool append) {
  if (!append) ResetLists();
  offset_ = TPoint{0, 0};
  if (!channel.IsValid() || channel.Width() <= 0 || channel.Height() <= 0) return false;
  bool stored = false;
  try {
    stored = TraceRows(channel) && TraceColumns(channel);
  } catch (const std::bad_alloc&) {
    stored = false;
  }
  return stored && HasPoints();
}

namespace {

// One opaque pixel each, for the dots.
const uint32_t kBlackDot = 0xFF000000u;
const uint32_t kWhiteDot = 0xFFFFFFFFu;

PixelBlockView DotBlock(const uint32_t& pixel) {
  return PixelBlockView{1, 1, reinterpret_cast<const uint8_t*>(&pixel), 4};
}

}  // namespace

bool CAntPoints::Draw(Surface& surface, const TRect& clip) {
  if (canvas_ == nullptr) return false;
  SAntView view;
  view.zoom = SingleToFix(canvas_->ViewZoom());
  view.sine = SingleToFix(canvas_->ViewSine());
  view.cosine = SingleToFix(canvas_->ViewCosine());
  return DrawAt(surface, clip, view);
}

bool CAntPoints::DrawAt(Surface& surface, const TRect& clip, const SAntView& view) {
  if (!HasPoints()) return false;
  clip_ = clip;
  DrawList(surface, left_, 0, view);
  DrawList(surface, top_, 2, view);
  DrawList(surface, right_, 1, view);
  DrawList(surface, bottom_, 3, view);
  return true;
}

// kind: 0 left, 1 right, 2 top, 3 bottom.
void CAntPoints::DrawList(Surface& surface, const CPointList& list, int kind, const SAntView& view) {
  const bool vertical = kind <= 1;  // left and right edges run down
  const int64_t stepX = vertical ? view.sine : view.cosine;
  const int64_t stepY = vertical ? view.cosine : -int64_t{view.sine};
  const int32_t dots = view.zoom <= 65536 ? 1 : static_cast<int32_t>((int64_t{view.zoom} + 0xA000) >> 16);
  const int32_t move = view.zoom < 65536 ? 1 : -1;
  const PixelBlockView black = DotBlock(kBlackDot);
  const PixelBlockView white = DotBlock(kWhiteDot);
  const int32_t clipWidth = clip_.right - clip_.left;
  const int32_t clipHeight = clip_.bottom - clip_.top;
  for (int32_t b = 0; b < list.BlockCount(); ++b) {
    const TPoint* points = list.GetBlock(b);
    const int32_t count = list.BlockPointCount(b);
    for (int32_t i = 0; i < count; ++i) {
      TPoint p = points[i];
      if (canvas_ != nullptr) canvas_->CanvasToClientPoint(p);
      p.x += offset_.x;
      p.y += offset_.y;
      // Right and bottom edges lie across the pixel border: moved first, then clipped, so that an
      // edge on the window's right or bottom border is drawn too.
      if (kind == 1) p.x += move;
      if (kind == 3) p.y += move;
      if (p.x < 0 || p.x >= clipWidth || p.y < 0 || p.y >= clipHeight) continue;
      int64_t accX = int64_t{p.x} * 65536;
      int64_t accY = int64_t{p.y} * 65536;
      int32_t x = p.x;
      int32_t y = p.y;
      for (int32_t d = 0; d < dots; ++d) {
        if (x >= 0 && x < clipWidth && y >= 0 && y < clipHeight) {
          const bool dark = (pattern_ & (0x80 >> ((x + y) & 7))) != 0;
          surface.Blit(clip_.left + x, clip_.top + y, 1, 1, dark ? black : white, 0, 0);
        }
        accX += stepX;
        accY += stepY;
        x = static_cast<int32_t>((accX + 24576) / 65536);
        y = static_cast<int32_t>((accY + 24576) / 65536);
      }
    }
  }
}

// ---------------------------------------------------------------------------------------------
// TSelectMng

TSelectMng::TSelectMng(int32_t width, int32_t height) : width_(width), height_(height) {
  for (TSelectSlot& slot : slots_) slot.outline.reset(new (std::nothrow) TAnts);
  InitSlot(0);
}

bool TSelectMng::IsValid() const {
  const TSelectSlot& slot = slots_[0];
  return slot.channel && slot.channel->IsValid() && slot.thumbnail && slot.thumbnail->IsValid();
}

bool TSelectMng::InitSlot(int32_t n) {
  if (!ValidSlot(n) || width_ <= 0 || height_ <= 0) return false;
  TSelectSlot& slot = slots_[static_cast<size_t>(n)];
  slot.channel.reset();
  slot.thumbnail.reset();
  slot.outline.reset();
  try {
    slot.channel = std::make_unique<TChannel>(width_, height_);
    slot.outline = std::make_unique<TAnts>();
    slot.thumbnail = std::make_unique<TTC>(true);
  } catch (const std::bad_alloc&) {
    return false;
  }
  slot.empty = 1;
  return slot.channel->IsValid() && SizeThumbnail(n, width_, height_);
}

bool TSelectMng::SizeThumbnail(int32_t n, int32_t width, int32_t height) {
  if (!ValidSlot(n) || width <= 0 || height <= 0) return false;
  TSelectSlot& slot = slots_[static_cast<size_t>(n)];
  if (!slot.thumbnail) return false;
  int32_t w = kThumbnailSide;
  int32_t h = kThumbnailSide;
  if (height < width) {
    const float q = static_cast<float>(kThumbnailSide) / static_cast<float>(width);
    h = static_cast<int32_t>(static_cast<float>(height) * q) + 1;
  } else {
    const float q = static_cast<float>(kThumbnailSide) / static_cast<float>(height);
    w = static_cast<int32_t>(static_cast<float>(width) * q) + 1;
  }
  if (!slot.thumbnail->Resize(w, h)) return false;
  slot.thumbnail->FillAll(0xFFFFFFFFu);
  return true;
}

bool TSelectMng::Resize(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return false;
  width_ = width;
  height_ = height;
  bool ok = true;
  for (int32_t n = 0; n <= current_; ++n) {
    TSelectSlot& slot = slots_[static_cast<size_t>(n)];
    if (slot.channel && !slot.channel->Resize(width, height)) ok = false;
  }
  return InitSlot(current_) && ok;
}

bool TSelectMng::AddPolygon(int32_t n, const TPoint* points, int32_t mode, int32_t count) {
  (void)mode;  // the polygon replaces the slot's content
  if (!ValidSlot(n) || points == nullptr || count <= 0) return false;
  TSelectSlot& slot = slots_[static_cast<size_t>(n)];
  if (!slot.channel || !slots_[0].channel) return false;
  TChannel scratch(slots_[0].channel->Width(), slots_[0].channel->Height());
  if (!scratch.IsValid()) return false;
  FillPolygon(scratch, points, count);
  if (!scratch.CopyAllTo(*slot.channel, 0, 0)) return false;
  RefreshSlotThumbnail(n);
  slot.empty = 0;
  return true;
}

bool TSelectMng::RefreshSlotThumbnail(int32_t n) {
  if (!ValidSlot(n) || !slots_[static_cast<size_t>(n)].thumbnail) return false;
  slots_[static_cast<size_t>(n)].thumbnail->FillAll(0xFF000000u);
  return true;
}

const TSelectSlot* TSelectMng::GetCurrentSlot() const {
  return ValidSlot(current_) ? &slots_[static_cast<size_t>(current_)] : nullptr;
}

TSelectSlot* TSelectMng::Slot(int32_t n) { return ValidSlot(n) ? &slots_[static_cast<size_t>(n)] : nullptr; }

bool TSelectMng::ClearSlot(int32_t n) {
  if (!ValidSlot(n)) return false;
  TSelectSlot& slot = slots_[static_cast<size_t>(n)];
  slot.empty = 1;
  if (slot.channel && slot.channel->IsValid()) {
    SRectWH all{0, 0, slot.channel->Width(), slot.channel->Height()};
    slot.channel->FillRect(all, 0);
  }
  if (slot.thumbnail) slot.thumbnail->FillAll(0xFFFFFFFFu);
  return true;
}

bool TSelectMng::IsSlotEmpty(int32_t n) const {
  return !ValidSlot(n) || slots_[static_cast<size_t>(n)].empty != 0;
}

}  // namespace tf
