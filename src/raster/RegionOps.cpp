// Rectangle-level operations of TMTC: fills, per-pixel loops, mirrors, copies, combine and
// composite loops, and the conversions between 32-bit images and channels.
#include "raster/RegionOps.h"

#include <algorithm>
#include <cstring>

#include "raster/CompositeRows.h"
#include "raster/PixelOpDispatch.h"

namespace tf {

namespace {

// Row copy of a clipped rectangle. Within one image the rows are walked so that no source row
// is overwritten before it is read.
void CopyRows(TMTC& dest, const TMTC& source, const TPoint& destPoint, const SRectWH& sourceRect) {
  const SDibView& d = dest.View();
  const SDibView& s = source.View();
  const size_t rowBytes = size_t{4} * static_cast<size_t>(sourceRect.width);
  const bool upward = &dest == &source && destPoint.y > sourceRect.top;
  for (int32_t k = 0; k < sourceRect.height; ++k) {
    const int32_t j = upward ? sourceRect.height - 1 - k : k;
    std::memmove(PixelAddr32(d, destPoint.x, destPoint.y + j),
                 PixelAddr32(s, sourceRect.left, sourceRect.top + j), rowBytes);
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Fills and per-pixel loops

bool TMTC::MaskedFillRect(SRectWH& rect, uint32_t mask, uint32_t value) {
  const uint32_t set = value & mask;
  const uint32_t keep = ~mask;
  return ApplyToRectWith(*this, rect, set, 0, [keep](uint32_t* p, uint32_t v, int32_t) { *p = v | (*p & keep); });
}

bool TMTC::SetAlphaRect(SRectWH& rect, uint8_t alpha) {
  return MaskedFillRect(rect, 0xFF000000u, uint32_t{alpha} << 24);
}

bool TMTC::SetAlphaAll(uint8_t alpha) {
  SRectWH rect{0, 0, view_.width, view_.height};
  return SetAlphaRect(rect, alpha);
}

bool TMTC::BlendRect(SRectWH& rect, uint32_t colour, int32_t alpha) {
  return ApplyToRectWith(*this, rect, colour, alpha, PixelOpFn<BlendColor>{});
}

bool TMTC::BlendRectCoords(int32_t left, int32_t top, int32_t width, int32_t height, uint32_t colour,
                           int32_t alpha) {
  SRectWH rect{left, top, width, height};
  return BlendRect(rect, colour, alpha);
}

bool TMTC::ApplyToRectRaw(const SRectWH& rect, uint32_t value, int32_t extra, PixelOp op) {
  if (op == nullptr) return false;
  return WithPixelOp(op, [&](auto fn) { return ApplyToRectRawWith(*this, rect, value, extra, fn); });
}

bool TMTC::ApplyToRect(SRectWH& rect, uint32_t value, int32_t extra, PixelOp op) {
  if (op == nullptr || !ClipRect(rect)) return false;
  return ApplyToRectRaw(rect, value, extra, op);
}

bool TMTC::FillRectRaw(const SRectWH& rect, uint32_t value) {
  if (!IsValid()) return false;
  for (int32_t j = 0; j < rect.height; ++j)
    std::fill_n(PixelAddr32(view_, rect.left, rect.top + j), rect.width, value);
  return true;
}

bool TMTC::FillRect(SRectWH& rect, uint32_t value) {
  if (!ClipRect(rect)) return false;
  return FillRectRaw(rect, value);
}

bool TMTC::FillRectCoords(int32_t left, int32_t top, int32_t width, int32_t height, uint32_t value) {
  SRectWH rect{left, top, width, height};
  return FillRect(rect, value);
}

bool TMTC::OrRect(SRectWH& rect, uint32_t value) {
  return ApplyToRectWith(*this, rect, value, 0, [](uint32_t* p, uint32_t v, int32_t) { *p |= v; });
}

bool TMTC::OrAll(uint32_t value) {
  SRectWH rect{0, 0, view_.width, view_.height};
  return OrRect(rect, value);
}

bool TMTC::XorRect(SRectWH& rect, uint32_t value) {
  return ApplyToRectWith(*this, rect, value, 0, [](uint32_t* p, uint32_t v, int32_t) { *p ^= v; });
}

// ---------------------------------------------------------------------------------------------
// Mirrors (rows exchanged in place, no buffer needed)

bool TMTC::FlipVertical(SRectWH& rect) {
  if (!ClipRect(rect)) return false;
  for (int32_t i = 0; i < rect.height / 2; ++i) {
    uint32_t* upper = PixelAddr32(view_, rect.left, rect.top + i);
    uint32_t* lower = PixelAddr32(view_, rect.left, rect.top + rect.height - 1 - i);
    std::swap_ranges(upper, upper + rect.width, lower);
  }
  return true;
}

bool TMTC::FlipHorizontal(SRectWH& rect) {
  if (!ClipRect(rect)) return false;
  for (int32_t j = 0; j < rect.height; ++j) {
    uint32_t* row = PixelAddr32(view_, rect.left, rect.top + j);
    std::reverse(row, row + rect.width);
  }
  return true;
}

bool TMTC::Rotate180(SRectWH& rect) {
  if (!ClipRect(rect)) return false;
  const int32_t bottom = rect.top + rect.height;
  for (int32_t i = 0; i < rect.height / 2; ++i) {
    uint32_t* upper = PixelAddr32(view_, rect.left, rect.top + i);
    uint32_t* lower = PixelAddr32(view_, rect.left, bottom - 1 - i);
    for (int32_t k = 0; k < rect.width; ++k) std::swap(upper[k], lower[rect.width - 1 - k]);
  }
  if (rect.height % 2 != 0) {
    uint32_t* middle = PixelAddr32(view_, rect.left, rect.top + rect.height / 2);
    std::reverse(middle, middle + rect.width);
  }
  return true;
}

bool TMTC::FlipVerticalAll() {
  SRectWH rect{0, 0, view_.width, view_.height};
  return FlipVertical(rect);
}

// ---------------------------------------------------------------------------------------------
// Copies

bool TMTC::CopyFrom(const TMTC& source, TPoint& destPoint, SRectWH& sourceRect) {
  if (!IsValid() || !source.IsValid()) return false;
  if (!ClipBlit(Size(), source.Size(), destPoint, sourceRect)) return false;
  CopyRows(*this, source, destPoint, sourceRect);
  return true;
}

bool TMTC::CopyAllFrom(int32_t x, int32_t y, const TMTC& source) {
  TPoint point{x, y};
  SRectWH rect{0, 0, source.Width(), source.Height()};
  return CopyFrom(source, point, rect);
}

bool TMTC::CopyFromRaw(const TMTC& source, const TPoint& destPoint, const SRectWH& sourceRect) {
  if (!IsValid() || !source.IsValid()) return false;
  // A negative width would turn into a huge byte count.
  if (sourceRect.width > 0 && sourceRect.height > 0) CopyRows(*this, source, destPoint, sourceRect);
  return true;
}

bool TMTC::CopyFromBitmap(const PixelBlockView& bitmap, TPoint& destPoint, SRectWH& sourceRect) {
  if (!IsValid() || bitmap.topRow == nullptr) return false;
  if (!ClipBlit(Size(), SSize{bitmap.width, bitmap.height}, destPoint, sourceRect)) return false;
  const size_t rowBytes = size_t{4} * static_cast<size_t>(sourceRect.width);
  for (int32_t j = 0; j < sourceRect.height; ++j) {
    std::memmove(PixelAddr32(view_, destPoint.x, destPoint.y + j),
                 bitmap.Row(sourceRect.top + j) + sourceRect.left, rowBytes);
  }
  return true;
}

bool TMTC::DrawTo(TMTC& dest, int32_t x, int32_t y, int32_t opacity) const {
  TPoint point{x, y};
  SRectWH rect{0, 0, view_.width, view_.height};
  return DrawRectTo(dest, point, rect, opacity);
}

bool TMTC::DrawRectTo(TMTC& dest, TPoint& destPoint, SRectWH& sourceRect, int32_t opacity) const {
  if (opacity == 255) return dest.CopyFrom(*this, destPoint, sourceRect);
  if (opacity == 0) return false;
  return CombineToWith(*this, dest, destPoint, sourceRect, opacity, PixelOpFn<BlendColor>{});
}

// ---------------------------------------------------------------------------------------------
// Combine and composite loops

bool TMTC::CombineTo(TMTC& dest, TPoint& destPoint, SRectWH& sourceRect, int32_t value, PixelOp op) const {
  if (op == nullptr) return false;
  return WithPixelOp(op, [&](auto fn) { return CombineToWith(*this, dest, destPoint, sourceRect, value, fn); });
}

bool TMTC::CombineToRaw(TMTC& dest, const TPoint& destPoint, const SRectWH& sourceRect, int32_t value,
                        PixelOp op) const {
  if (op == nullptr) return false;
  return WithPixelOp(op,
                     [&](auto fn) { return CombineToRawWith(*this, dest, destPoint, sourceRect, value, fn); });
}

bool TMTC::CombineToCoords(TMTC& dest, int32_t left, int32_t top, int32_t width, int32_t height, int32_t destX,
                           int32_t destY, int32_t value, PixelOp op) const {
  TPoint point{destX, destY};
  SRectWH rect{left, top, width, height};
  return CombineTo(dest, point, rect, value, op);
}

bool TMTC::MultiplyToCoords(TMTC& dest, int32_t left, int32_t top, int32_t width, int32_t height, int32_t destX,
                            int32_t destY, int32_t value) const {
  return CombineToCoords(dest, left, top, width, height, destX, destY, value, &MultiplyOp);
}

bool TMTC::AddToCoords(TMTC& dest, int32_t left, int32_t top, int32_t width, int32_t height, int32_t destX,
                       int32_t destY, int32_t value) const {
  return CombineToCoords(dest, left, top, width, height, destX, destY, value, &AddOp);
}

bool TMTC::SubtractToCoords(TMTC& dest, int32_t left, int32_t top, int32_t width, int32_t height, int32_t destX,
                            int32_t destY, int32_t value) const {
  return CombineToCoords(dest, left, top, width, height, destX, destY, value, &SubtractOp);
}

bool TMTC::CombineFrom(const TMTC& source, TPoint& destPoint, SRectWH& sourceRect, int32_t alphaScale,
                       int32_t value, PixelOp op) {
  if (op == nullptr) return false;
  return WithPixelOp(
      op, [&](auto fn) { return CombineFromWith(*this, source, destPoint, sourceRect, alphaScale, value, fn); });
}

bool TMTC::CombineColorRect(SRectWH& rect, uint32_t colour, int32_t alphaScale, int32_t value, PixelOp op) {
  if (op == nullptr) return false;
  return WithPixelOp(op,
                     [&](auto fn) { return CombineColorRectWith(*this, rect, colour, alphaScale, value, fn); });
}

bool TMTC::CompositeFrom(const TMTC& source, TPoint& destPoint, SRectWH& sourceRect, int32_t alphaScale,
                         int32_t opacity, const SCompositeOps& ops) {
  if (ops.destination == nullptr || ops.source == nullptr) return false;
  if (SCompositeRowOps rows; CompositeRowOpsOf(ops, rows))
    return CompositeRowsFrom(*this, source, destPoint, sourceRect, alphaScale, opacity, rows);
  return CompositeFromWith(*this, source, destPoint, sourceRect, alphaScale, opacity, CompositeWithOps{&ops});
}

bool TMTC::CompositeColorRect(SRectWH& rect, uint32_t colour, int32_t alphaScale, int32_t opacity,
                              const SCompositeOps& ops) {
  if (ops.destination == nullptr || ops.source == nullptr) return false;
  if (SCompositeRowOps rows; CompositeRowOpsOf(ops, rows))
    return CompositeColorRows(*this, rect, colour, alphaScale, opacity, rows);
  return CompositeColorRectWith(*this, rect, colour, alphaScale, opacity, CompositeWithOps{&ops});
}

// ---------------------------------------------------------------------------------------------
// Between 32-bit images and channels

bool ChannelToPixels(TMTC& dest, const TChannel& source, TPoint& destPoint, SRectWH& sourceRect) {
  if (!dest.IsValid() || !source.IsValid()) return false;
  if (!ClipBlit(dest.Size(), source.Size(), destPoint, sourceRect)) return false;
  const SDibView& d = dest.View();
  const SDibView& s = source.View();
  for (int32_t j = 0; j < sourceRect.height; ++j) {
    const uint8_t* sp = PixelAddr8(s, sourceRect.left, sourceRect.top + j);
    uint32_t* dp = PixelAddr32(d, destPoint.x, destPoint.y + j);
    for (int32_t i = 0; i < sourceRect.width; ++i) {
      const uint32_t v = sp[i];
      dp[i] = v != 0 ? 0xFF000000u | (v * 0x010101u) : 0u;
    }
  }
  return true;
}

bool TMTC::ToChannel(TChannel& dest, TPoint& destPoint, SRectWH& sourceRect, PixelToByteOp callback) const {
  if (callback == nullptr) return false;
  return ToChannelWith(*this, dest, destPoint, sourceRect, callback);
}

bool TMTC::LuminanceToChannelRect(TChannel& dest, TPoint& destPoint, SRectWH& sourceRect) const {
  return ToChannelWith(*this, dest, destPoint, sourceRect, [](uint8_t* byte, const uint32_t* pixel) {
    *byte = static_cast<uint8_t>(PixelLuminance(pixel));
  });
}

bool TMTC::LuminanceToChannel(TChannel& dest) const {
  TPoint point{0, 0};
  SRectWH rect{0, 0, view_.width, view_.height};
  return LuminanceToChannelRect(dest, point, rect);
}

}  // namespace tf
