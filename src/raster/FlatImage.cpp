#include "raster/FlatImage.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/Debug.h"
#include "platform/Memory.h"
#include "raster/ColorMath.h"
#include "raster/PixelOpDispatch.h"
#include "raster/RegionOps.h"

namespace tf {

// ---------------------------------------------------------------------------------------------
// Clipping

namespace {

// One axis of ClipBlit against one image: pos/len are the source rectangle's, other is the
// destination coordinate that moves with them (or the reverse for the destination pass).
bool ClipAxis(int64_t extent, int64_t& pos, int64_t& len, int64_t& other) {
  if (pos >= extent || pos + len <= 0) return false;
  if (pos < 0) {
    len += pos;
    other -= pos;
    pos = 0;
  }
  if (pos + len > extent) len = extent - pos;
  return true;
}

}  // namespace

bool ClipBlit(const SSize& destSize, const SSize& sourceSize, TPoint& destPoint, SRectWH& sourceRect) {
  int64_t left = sourceRect.left, top = sourceRect.top;
  int64_t width = sourceRect.width, height = sourceRect.height;
  int64_t x = destPoint.x, y = destPoint.y;
  const bool ok = ClipAxis(sourceSize.width, left, width, x) && ClipAxis(sourceSize.height, top, height, y) &&
                  ClipAxis(destSize.width, x, width, left) && ClipAxis(destSize.height, y, height, top);
  sourceRect = {SaturateInt32(left), SaturateInt32(top), SaturateInt32(width), SaturateInt32(height)};
  destPoint = {SaturateInt32(x), SaturateInt32(y)};
  return ok && width > 0 && height > 0;
}

// ---------------------------------------------------------------------------------------------
// CDibCore

CDibCore::~CDibCore() { CDibCore::FreeImage(); }

void CDibCore::InitFields() { view_ = {0, 0, nullptr, nullptr}; }

void CDibCore::FreeImage() {
  if (ownsBlock_) FreeBlock(view_.bits);
  if (ownsRows_) FreeMem(view_.rowOffsets);
  view_ = {0, 0, nullptr, nullptr};
}

void CDibCore::Clear() { FreeImage(); }

bool CDibCore::IsValid() const { return view_.bits != nullptr && view_.rowOffsets != nullptr; }

bool CDibCore::ClipBounds(TRect& bounds) const {
  if (!IsValid()) return false;
  return ClipBoundsToSize(bounds, Size());
}

bool CDibCore::ClipRect(SRectWH& rect) const {
  if (!IsValid()) return false;
  return ClipRectToSize(rect, Size());
}

bool CDibCore::GetFullRect(SRectWH& rect) const {
  rect = {0, 0, view_.width, view_.height};
  return IsValid();
}

bool CDibCore::CheckedImageBytes(int32_t width, int32_t height, int32_t bytesPerPixel, int64_t& bytes) {
  bytes = 0;
  if (width < 0 || height < 0 || bytesPerPixel <= 0) return false;
  // The pixel count is below 2^62; it is tested before the bytes per pixel multiply it, so that
  // the product cannot pass 64 bits for the largest sides.
  const int64_t pixels = int64_t{width} * height;
  if (pixels > std::numeric_limits<int32_t>::max() / bytesPerPixel) return false;
  bytes = pixels * bytesPerPixel;
  return true;
}

bool CDibCore::BuildRowTable(int32_t rowBytes, bool bottomUp) {
  const int32_t h = view_.height;
  if (h <= 0) return true;
  int32_t* rows = nullptr;
  if (!TryGetMem(rows, int64_t{h} * static_cast<int64_t>(sizeof(int32_t)))) return false;
  for (int32_t y = 0; y < h; ++y) {
    const int64_t row = bottomUp ? int64_t{h} - 1 - y : y;
    rows[y] = static_cast<int32_t>(row * rowBytes);
  }
  if (ownsRows_) FreeMem(view_.rowOffsets);
  view_.rowOffsets = rows;
  ownsRows_ = true;
  return true;
}

uint8_t* CDibCore::AllocBlock(int64_t bytes, bool zero) {
  uint8_t* block = nullptr;
  if (bytes <= 0 || !(zero ? TryGetZeroMem(block, bytes) : TryGetMem(block, bytes))) return nullptr;
  return block;
}

void CDibCore::FreeBlock(uint8_t* block) { FreeMem(block); }

// ---------------------------------------------------------------------------------------------
// TChannel

TChannel::TChannel() { InitFields(); }

TChannel::TChannel(int32_t width, int32_t height) {
  InitFields();
  Resize(width, height);
}

TChannel::TChannel(const SSize& size) : TChannel(size.width, size.height) {}

TChannel::TChannel(const TChannel& source) : CDibCore() {
  InitFields();
  // Every byte is copied, so the block is not cleared first; a failed copy clears it.
  if (ResizeBlock(source.Width(), source.Height(), !source.IsValid()) && IsValid() &&
      !source.CopyAllTo(*this, 0, 0))
    std::memset(view_.bits, 0, static_cast<size_t>(GetImageSize()));
}

TChannel::~TChannel() = default;

bool TChannel::Resize(int32_t width, int32_t height) { return ResizeBlock(width, height, true); }

bool TChannel::ResizeBlock(int32_t width, int32_t height, bool zero) {
  FreeImage();
  int64_t bytes = 0;
  if (CheckedImageBytes(width, height, 1, bytes)) {
    view_.width = width;
    view_.height = height;
    ownsBlock_ = true;
    if (bytes == 0) return true;  // no block: a valid size, not a valid image
    view_.bits = AllocBlock(bytes, zero);
    if (view_.bits != nullptr && BuildRowTable(width, true)) return true;
  }
  FreeImage();
  DebugOut("TChannel::Resize: caught an exception!\n");
  return false;
}

int32_t TChannel::GetImageSize() const { return static_cast<int32_t>(int64_t{view_.width} * view_.height); }

bool TChannel::BlendPixel(int32_t x, int32_t y, uint8_t value, int32_t alpha) {
  if (!PointInSize(x, y, view_.width, view_.height) || !IsValid()) return false;
  BlendByte(*PixelAddr8(view_, x, y), value, static_cast<uint32_t>(alpha));
  return true;
}

bool TChannel::BlendPixelFast(int32_t x, int32_t y, uint8_t value, int32_t alpha) {
  if (!PointInSize(x, y, view_.width, view_.height) || !IsValid()) return false;
  BlendByteFast(PixelAddr8(view_, x, y), value, alpha);
  return true;
}

uint8_t TChannel::GetPixelClamped(int32_t x, int32_t y) const {
  if (!IsValid()) return 0;
  TPoint p{x, y};
  ClampPointToImage(p, Size());
  return *PixelAddr8(view_, p.x, p.y);
}

void TChannel::Fill(uint8_t value) {
  if (!IsValid()) return;
  std::memset(view_.bits, value, static_cast<size_t>(GetImageSize()));
}

bool TChannel::CopyAllTo(CDibCore& dest, int32_t x, int32_t y) const {
  TPoint point{x, y};
  SRectWH rect{0, 0, view_.width, view_.height};
  return CopyRectTo(dest, point, rect);
}

bool TChannel::CopyRectTo(CDibCore& dest, TPoint& destPoint, SRectWH& sourceRect) const {
  if (!IsValid() || !dest.IsValid()) return false;
  const int32_t bpp = dest.GetBytesPerPixel();
  if (bpp != GetBytesPerPixel()) return false;
  if (!ClipBlit(dest.Size(), Size(), destPoint, sourceRect)) return false;
  const size_t rowBytes = static_cast<size_t>(sourceRect.width) * static_cast<size_t>(bpp);
  // Within one image, walk the rows so that no source row is overwritten before it is read.
  const bool upward = &dest == this && destPoint.y > sourceRect.top;
  for (int32_t k = 0; k < sourceRect.height; ++k) {
    const int32_t j = upward ? sourceRect.height - 1 - k : k;
    std::memmove(dest.GetPixelPtr(destPoint.x, destPoint.y + j), GetPixelPtr(sourceRect.left, sourceRect.top + j),
                 rowBytes);
  }
  return true;
}

bool TChannel::FillRect(SRectWH& rect, uint8_t value) {
  if (!ClipRect(rect)) return false;
  for (int32_t j = 0; j < rect.height; ++j)
    std::memset(PixelAddr8(view_, rect.left, rect.top + j), value, static_cast<size_t>(rect.width));
  return true;
}

bool TChannel::FillRectCoords(int32_t left, int32_t top, int32_t width, int32_t height, uint8_t value) {
  SRectWH rect{left, top, width, height};
  return FillRect(rect, value);
}

bool TChannel::GetNonZeroBounds(TRect& bounds) const {
  if (!IsValid()) return false;
  const int32_t w = view_.width;
  const int32_t h = view_.height;
  int32_t left = w, right = -1, top = -1, bottom = -1;
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* row = PixelAddr8(view_, 0, y);
    int32_t first = 0;
    while (first < w && row[first] == 0) ++first;
    if (first == w) continue;
    int32_t last = w - 1;
    while (row[last] == 0) --last;
    if (top < 0) top = y;
    bottom = y;
    left = std::min(left, first);
    right = std::max(right, last);
  }
  if (top < 0) return false;
  bounds = {left, top, right + 1, bottom + 1};
  return true;
}

bool TChannel::XorRect(SRectWH& rect, uint8_t value) {
  return ApplyToRectWith(*this, rect, value, [](uint8_t* b, uint8_t v) { *b ^= v; });
}

bool TChannel::CombineRect(const TChannel& source, TPoint& destPoint, SRectWH& sourceRect, ByteOp op) {
  if (op == nullptr) return false;
  return WithByteOp(op, [&](auto fn) { return CombineRectWith(*this, source, destPoint, sourceRect, fn); });
}

bool TChannel::ApplyToRect(SRectWH& rect, uint8_t value, ByteOp op) {
  if (op == nullptr) return false;
  return WithByteOp(op, [&](auto fn) { return ApplyToRectWith(*this, rect, value, fn); });
}

// ---------------------------------------------------------------------------------------------
// TMTC

TMTC::TMTC() { InitFields(); }

TMTC::TMTC(int32_t width, int32_t height) {
  InitFields();
  Resize(width, height);
}

TMTC::TMTC(const SSize& size) : TMTC(size.width, size.height) {}

TMTC::TMTC(const TMTC& source) : CDibCore() {
  InitFields();
  // Row by row, so that a source of the other row order still gives an upright copy. Every
  // pixel is copied, so the block is not cleared first; a failed copy clears it.
  if (ResizeBlock(source.Width(), source.Height(), !source.IsValid()) && IsValid() && !CopyAllFrom(0, 0, source))
    std::memset(view_.bits, 0, static_cast<size_t>(GetImageSize()));
}

TMTC::~TMTC() = default;

bool TMTC::Resize(int32_t width, int32_t height) { return ResizeBlock(width, height, true); }

bool TMTC::ResizeBlock(int32_t width, int32_t height, bool zero) {
  if (IsValid() && width == view_.width && height == view_.height) return true;
  int64_t bytes = 0;
  uint8_t* kept = nullptr;
  if (CheckedImageBytes(width, height, 4, bytes)) {
    // Same byte count (a transposed size, say): keep the block, cleared as a new one would be.
    if (IsValid() && ownsBlock_ && bytes > 0 && bytes == int64_t{4} * view_.width * view_.height) {
      kept = view_.bits;
      view_.bits = nullptr;
      if (zero) std::memset(kept, 0, static_cast<size_t>(bytes));
    }
    FreeImage();
    view_.width = width;
    view_.height = height;
    ownsBlock_ = true;
    if (bytes == 0) return true;  // no block: a valid size, not a valid image
    view_.bits = kept != nullptr ? kept : AllocBlock(bytes, zero);
    kept = nullptr;
    if (view_.bits != nullptr && BuildRowTable(4 * width, false)) return true;
  }
  FreeBlock(kept);
  FreeImage();
  DebugOut("TMTC::Resize: caught an exception!\n");
  return false;
}

int32_t TMTC::GetImageSize() const { return static_cast<int32_t>(int64_t{4} * view_.width * view_.height); }

uint32_t TMTC::GetPixelClamped(int32_t x, int32_t y) const {
  if (!IsValid()) return 0;
  TPoint p{x, y};
  ClampPointToImage(p, Size());
  return *PixelAddr32(view_, p.x, p.y);
}

int32_t TMTC::GetLuminanceClamped(int32_t x, int32_t y) const {
  const uint32_t pixel = GetPixelClamped(x, y);
  return PixelLuminance(&pixel);
}

void TMTC::AddPixelRGB(int32_t x, int32_t y, int32_t& sumR, int32_t& sumG, int32_t& sumB) const {
  const uint32_t pixel = GetPixelClamped(x, y);
  sumR += static_cast<int32_t>((pixel >> 16) & 0xFFu);
  sumG += static_cast<int32_t>((pixel >> 8) & 0xFFu);
  sumB += static_cast<int32_t>(pixel & 0xFFu);
}

void TMTC::AddPixelToSum(int32_t x, int32_t y, SRGBSum& sum) const { AddPixelRGB(x, y, sum.r, sum.g, sum.b); }

bool TMTC::BlendPixel(int32_t x, int32_t y, uint32_t colour, int32_t alpha) {
  if (!PointInSize(x, y, view_.width, view_.height) || !IsValid()) return false;
  BlendColor(PixelAddr32(view_, x, y), colour, alpha);
  return true;
}

bool TMTC::BlendPixelFast(int32_t x, int32_t y, uint32_t colour, int32_t alpha) {
  if (!PointInSize(x, y, view_.width, view_.height) || !IsValid()) return false;
  BlendColorFast(PixelAddr32(view_, x, y), colour, alpha);
  return true;
}

void TMTC::FillAll(uint32_t value) {
  if (!IsValid()) return;
  std::fill_n(reinterpret_cast<uint32_t*>(view_.bits), static_cast<size_t>(GetImageSize() / 4), value);
}

void TMTC::FillValue(uint32_t value) { FillAll(value); }

void TMTC::FillColor(uint32_t colour) { FillValue(ColorToPixel(colour)); }

bool CopyPixels32(TMTC& dest, const TMTC& source) {
  if (!dest.IsValid() || !source.IsValid()) return false;
  if (dest.Width() != source.Width() || dest.Height() != source.Height()) return false;
  std::memmove(dest.Bits(), source.Bits(), static_cast<size_t>(source.GetImageSize()));
  return true;
}

}  // namespace tf
