// Flat images (CDibCore, TMTC, TChannel): one contiguous pixel block with a row table.
#pragma once
// Flat images: one contiguous block of pixels with a table of row offsets.
//
//   CDibCore  abstract base (width, height, block, row table; laid out as an SDibView)
//   TChannel  8-bit single channel, rows bottom-up
//   TMTC      32-bit B, G, R, A (straight alpha), rows top-down
//
// Every routine addresses pixels through the row table (PixelAddr8/PixelAddr32) or the virtual
// slots, never through a fixed row order, so subclasses with another row order (a bottom-up DIB
// image, tile views over a tiled store) work with all of them.
//
// Subclass contract:
//   - Resize builds the block and the row table; rowOffsets[y] is row y's byte offset from the
//     block start, rows are width*bytesPerPixel bytes without padding.
//   - A subclass whose block is not a plain heap block clears ownsBlock_ (and ownsRows_ when
//     the row table is not its own) and releases the block in its own FreeImage override; the
//     base FreeImage frees only what the image owns. Destructors cannot reach an override, so a
//     subclass that overrides FreeImage calls it from its own destructor.
//   - Sizes: width*height*bytesPerPixel must fit int32 (GetImageSize); CheckedImageBytes tells.
//
// Failures (allocation, a size that does not fit) give a false result, an invalid image of size
// 0 x 0 and a line on the debugger output; nothing is raised. Every rectangle routine fails on
// an invalid image, so a failed Resize is never written through.
#include <cstddef>
#include <cstdint>

#include "platform/Surface.h"  // PixelBlockView
#include "raster/Composite.h"
#include "raster/Geometry.h"

namespace tf {

class TChannel;
class TMTC;

// Fields 1-4 of every flat image.
struct SDibView {
  int32_t width;
  int32_t height;
  uint8_t* bits;        // pixel block
  int32_t* rowOffsets;  // one byte offset per row
};

// No bounds check: 0 <= x < width, 0 <= y < height.
inline uint8_t* PixelAddr8(const SDibView& view, int32_t x, int32_t y) {
  return view.bits + view.rowOffsets[y] + x;
}
inline uint32_t* PixelAddr32(const SDibView& view, int32_t x, int32_t y) {
  return reinterpret_cast<uint32_t*>(view.bits + view.rowOffsets[y] + std::ptrdiff_t{4} * x);
}

// Clips a copy of sourceRect (in the source) to destPoint (in the destination) against both
// sizes, adjusting the point and the rectangle together; false when nothing is left.
bool ClipBlit(const SSize& destSize, const SSize& sourceSize, TPoint& destPoint, SRectWH& sourceRect);

// Callback of TMTC::ToChannel: (channel byte, source pixel).
using PixelToByteOp = void (*)(uint8_t* byte, const uint32_t* pixel);

// Three int32 sums in the order R, G, B (TMTC::AddPixelToSum).
struct SRGBSum {
  int32_t r;
  int32_t g;
  int32_t b;
};

// ---------------------------------------------------------------------------------------------

class CDibCore {
 public:
  CDibCore(const CDibCore&) = delete;
  CDibCore& operator=(const CDibCore&) = delete;
  virtual ~CDibCore();

  // Slot 0: zero width, height, block and row table (without freeing anything).
  virtual void InitFields();
  // Slot 1: free what the image owns; width := height := 0.
  virtual void FreeImage();
  // Slot 2: FreeImage.
  virtual void Clear();
  // Slot 3: block and row table both present.
  virtual bool IsValid() const;
  // Slot 4: new size, pixels undefined afterwards. 0 for a side succeeds with no block.
  virtual bool Resize(int32_t width, int32_t height) = 0;
  // Slot 5: bytes of the block.
  virtual int32_t GetImageSize() const = 0;
  // Slot 6.
  virtual int32_t GetBytesPerPixel() const = 0;
  // Slot 7: signed distance in pixels from row y to row y+1 in memory.
  virtual int32_t GetRowStep() const = 0;
  // Slot 8: address of pixel (x, y), no check.
  virtual uint8_t* GetPixelPtr(int32_t x, int32_t y) const = 0;

  // False for a missing object, else IsValid.
  static bool IsAllocated(const CDibCore* image) { return image != nullptr && image->IsValid(); }
  bool ResizeTo(const SSize& size) { return Resize(size.width, size.height); }
  bool IsTopDown() const { return GetRowStep() > 0; }
  // Intersects with (0, 0, width, height); false when empty or the image is invalid.
  bool ClipBounds(TRect& bounds) const;
  // Clips to (0, 0, width, height) in place; false when nothing is left or the image is invalid.
  bool ClipRect(SRectWH& rect) const;
  // (0, 0, width, height); returns IsValid.
  bool GetFullRect(SRectWH& rect) const;

  int32_t Width() const { return view_.width; }
  int32_t Height() const { return view_.height; }
  SSize Size() const { return SSize{view_.width, view_.height}; }
  const SDibView& View() const { return view_; }
  uint8_t* Bits() const { return view_.bits; }
  const int32_t* RowOffsets() const { return view_.rowOffsets; }

  // Bytes of a width x height image at bytesPerPixel, computed in 64 bits; false when a side is
  // negative or the total does not fit int32.
  static bool CheckedImageBytes(int32_t width, int32_t height, int32_t bytesPerPixel, int64_t& bytes);

 protected:
  CDibCore() = default;

  // Builds an owned row table for the current height with rows of rowBytes bytes, top-down
  // (rowOffsets[y] = rowBytes*y) or bottom-up (rowBytes*(height-1-y)). Height 0 gives no
  // table. False on allocation failure.
  bool BuildRowTable(int32_t rowBytes, bool bottomUp);
  // Allocates an owned block (nullptr for 0 bytes or on failure). Every byte is zero unless
  // zero is false, which only a caller that writes every byte before the image is used may
  // ask (a copy): no byte of a picture is ever left as whatever the allocator returned, so the
  // same work gives the same bytes on every run.
  static uint8_t* AllocBlock(int64_t bytes, bool zero = true);
  static void FreeBlock(uint8_t* block);

  SDibView view_{0, 0, nullptr, nullptr};
  bool ownsBlock_ = true;
  bool ownsRows_ = true;
};

// ---------------------------------------------------------------------------------------------

class TChannel : public CDibCore {
 public:
  TChannel();
  TChannel(int32_t width, int32_t height);
  explicit TChannel(const SSize& size);
  // Copy of the source's size and bytes (invalid when the allocation fails).
  explicit TChannel(const TChannel& source);
  TChannel& operator=(const TChannel&) = delete;
  ~TChannel() override;

  // A new block, every byte zero (also for the size the image has).
  bool Resize(int32_t width, int32_t height) override;
  int32_t GetImageSize() const override;
  int32_t GetBytesPerPixel() const override { return 1; }
  int32_t GetRowStep() const override { return -view_.width; }
  uint8_t* GetPixelPtr(int32_t x, int32_t y) const override { return PixelAddr8(view_, x, y); }

  // Inside test, then BlendByte toward value; whether inside.
  bool BlendPixel(int32_t x, int32_t y, uint8_t value, int32_t alpha);
  // Inside test, then BlendByteFast.
  bool BlendPixelFast(int32_t x, int32_t y, uint8_t value, int32_t alpha);
  uint8_t GetPixel(int32_t x, int32_t y) const { return *PixelAddr8(view_, x, y); }
  uint8_t GetPixelClamped(int32_t x, int32_t y) const;
  // Every byte := value (nothing on an invalid image).
  void Fill(uint8_t value);
  bool CopyAllTo(CDibCore& dest, int32_t x, int32_t y) const;
  // Copies rows into dest; false when nothing is left after clipping, when either image is
  // invalid or when dest's bytes per pixel differ.
  bool CopyRectTo(CDibCore& dest, TPoint& destPoint, SRectWH& sourceRect) const;
  bool FillRect(SRectWH& rect, uint8_t value);
  bool FillRectCoords(int32_t left, int32_t top, int32_t width, int32_t height, uint8_t value);
  // Smallest bounds holding every nonzero byte; false (bounds untouched) when there is none.
  bool GetNonZeroBounds(TRect& bounds) const;
  bool XorRect(SRectWH& rect, uint8_t value);
  // op(own byte, source byte) over the clipped copy rectangle.
  bool CombineRect(const TChannel& source, TPoint& destPoint, SRectWH& sourceRect, ByteOp op);
  // op(byte, value) over the clipped rectangle.
  bool ApplyToRect(SRectWH& rect, uint8_t value, ByteOp op);

 private:
  // Resize; the new block is cleared only when zero is set (the copy constructor writes every
  // byte at once instead).
  bool ResizeBlock(int32_t width, int32_t height, bool zero);
};

// Functor forms of the channel loops (op inlined, no call per pixel through a pointer).
template <class Op>
bool ApplyToRectWith(TChannel& image, SRectWH& rect, uint8_t value, Op op);
template <class Op>
bool CombineRectWith(TChannel& dest, const TChannel& source, TPoint& destPoint, SRectWH& sourceRect, Op op);

// ---------------------------------------------------------------------------------------------

class TMTC : public CDibCore {
 public:
  TMTC();
  TMTC(int32_t width, int32_t height);
  explicit TMTC(const SSize& size);
  // Copy of the source's size and pixels (invalid when the allocation fails).
  explicit TMTC(const TMTC& source);
  TMTC& operator=(const TMTC&) = delete;
  ~TMTC() override;

  // The size the image has already: nothing changes, the pixels are kept (callers that need
  // them cleared fill the image). Another size: every byte of the block is zero; a block of
  // the same byte count (a transposed size) is kept and cleared rather than allocated anew.
  bool Resize(int32_t width, int32_t height) override;
  int32_t GetImageSize() const override;
  int32_t GetBytesPerPixel() const override { return 4; }
  int32_t GetRowStep() const override { return view_.width; }
  uint8_t* GetPixelPtr(int32_t x, int32_t y) const override {
    return reinterpret_cast<uint8_t*>(PixelAddr32(view_, x, y));
  }

  // Pixel access (no check unless Clamped or Blend...).
  uint32_t* Pixel(int32_t x, int32_t y) const { return PixelAddr32(view_, x, y); }
  uint32_t GetPixel(int32_t x, int32_t y) const { return *PixelAddr32(view_, x, y); }
  uint32_t GetPixelClamped(int32_t x, int32_t y) const;
  int32_t GetLuminanceClamped(int32_t x, int32_t y) const;
  void AddPixelRGB(int32_t x, int32_t y, int32_t& sumR, int32_t& sumG, int32_t& sumB) const;
  void AddPixelToSum(int32_t x, int32_t y, SRGBSum& sum) const;
  bool BlendPixel(int32_t x, int32_t y, uint32_t colour, int32_t alpha);
  bool BlendPixelFast(int32_t x, int32_t y, uint32_t colour, int32_t alpha);
  void FillAll(uint32_t value);
  void FillValue(uint32_t value);
  // FillValue(ColorToPixel(colour)): a window-system colour (red in the low byte).
  void FillColor(uint32_t colour);

  // ---- Region operations (RegionOps.cpp; functor forms in raster/RegionOps.h) ----
  // "rect" arguments are clipped in place; false when nothing is left or the image is invalid.
  // Copies and combinations clip the point and the source rectangle together (ClipBlit).

  // pixel := (value and mask) or (pixel and not mask).
  bool MaskedFillRect(SRectWH& rect, uint32_t mask, uint32_t value);
  // Byte 3 := alpha.
  bool SetAlphaRect(SRectWH& rect, uint8_t alpha);
  bool SetAlphaAll(uint8_t alpha);
  bool BlendRect(SRectWH& rect, uint32_t colour, int32_t alpha);
  bool BlendRectCoords(int32_t left, int32_t top, int32_t width, int32_t height, uint32_t colour, int32_t alpha);
  // op(pixel, value, extra) per pixel, rows top to bottom; no clipping.
  bool ApplyToRectRaw(const SRectWH& rect, uint32_t value, int32_t extra, PixelOp op);
  bool ApplyToRect(SRectWH& rect, uint32_t value, int32_t extra, PixelOp op);
  bool FillRectRaw(const SRectWH& rect, uint32_t value);
  bool FillRect(SRectWH& rect, uint32_t value);
  bool FillRectCoords(int32_t left, int32_t top, int32_t width, int32_t height, uint32_t value);
  bool OrRect(SRectWH& rect, uint32_t value);
  bool OrAll(uint32_t value);
  bool XorRect(SRectWH& rect, uint32_t value);
  bool FlipVertical(SRectWH& rect);
  bool FlipHorizontal(SRectWH& rect);
  bool Rotate180(SRectWH& rect);
  bool FlipVerticalAll();

  // Copies: rows of the source rectangle into this image at destPoint.
  bool CopyFrom(const TMTC& source, TPoint& destPoint, SRectWH& sourceRect);
  bool CopyAllFrom(int32_t x, int32_t y, const TMTC& source);
  // The row copy of CopyFrom without clipping (nothing for an empty rectangle).
  bool CopyFromRaw(const TMTC& source, const TPoint& destPoint, const SRectWH& sourceRect);
  // Rows of a window-system bitmap (32-bit, row 0 at the top) into this image at destPoint,
  // clipped against both sizes; false when nothing is left or the bitmap has no pixels.
  bool CopyFromBitmap(const PixelBlockView& bitmap, TPoint& destPoint, SRectWH& sourceRect);
  bool DrawTo(TMTC& dest, int32_t x, int32_t y, int32_t opacity) const;
  // Opacity 255: plain copy; 0: nothing; else B, G, R of dest blended toward the source.
  bool DrawRectTo(TMTC& dest, TPoint& destPoint, SRectWH& sourceRect, int32_t opacity) const;

  // Combine and composite loops: this image is the source of the ...To forms and the
  // destination of the ...From forms.
  bool CombineTo(TMTC& dest, TPoint& destPoint, SRectWH& sourceRect, int32_t value, PixelOp op) const;
  bool CombineToRaw(TMTC& dest, const TPoint& destPoint, const SRectWH& sourceRect, int32_t value,
                    PixelOp op) const;
  bool CombineToCoords(TMTC& dest, int32_t left, int32_t top, int32_t width, int32_t height, int32_t destX,
                       int32_t destY, int32_t value, PixelOp op) const;
  bool MultiplyToCoords(TMTC& dest, int32_t left, int32_t top, int32_t width, int32_t height, int32_t destX,
                        int32_t destY, int32_t value) const;
  bool AddToCoords(TMTC& dest, int32_t left, int32_t top, int32_t width, int32_t height, int32_t destX,
                   int32_t destY, int32_t value) const;
  bool SubtractToCoords(TMTC& dest, int32_t left, int32_t top, int32_t width, int32_t height, int32_t destX,
                        int32_t destY, int32_t value) const;
  // Dest alpha := MulTable[alpha][alphaScale], then op(dest pixel, source pixel, value).
  bool CombineFrom(const TMTC& source, TPoint& destPoint, SRectWH& sourceRect, int32_t alphaScale, int32_t value,
                   PixelOp op);
  bool CombineColorRect(SRectWH& rect, uint32_t colour, int32_t alphaScale, int32_t value, PixelOp op);
  // Dest alpha scaled as above, then CompositePixel(dest pixel, source pixel, opacity, ops).
  bool CompositeFrom(const TMTC& source, TPoint& destPoint, SRectWH& sourceRect, int32_t alphaScale,
                     int32_t opacity, const SCompositeOps& ops);
  bool CompositeColorRect(SRectWH& rect, uint32_t colour, int32_t alphaScale, int32_t opacity,
                          const SCompositeOps& ops);

  // To channels: callback(channel byte, own pixel) over the clipped copy rectangle.
  bool ToChannel(TChannel& dest, TPoint& destPoint, SRectWH& sourceRect, PixelToByteOp callback) const;
  bool LuminanceToChannelRect(TChannel& dest, TPoint& destPoint, SRectWH& sourceRect) const;
  bool LuminanceToChannel(TChannel& dest) const;

 private:
  // Resize; a new or reused block is cleared only when zero is set (the copy constructor writes
  // every byte at once instead).
  bool ResizeBlock(int32_t width, int32_t height, bool zero);
};

// Copies the source block (4*width*height bytes of the source) into dest's block as it lies in
// memory. False, copying nothing, unless both are valid 32-bit images of the same size.
bool CopyPixels32(TMTC& dest, const TMTC& source);

// ---------------------------------------------------------------------------------------------
// Channel loop templates

template <class Op>
bool ApplyToRectWith(TChannel& image, SRectWH& rect, uint8_t value, Op op) {
  if (!image.ClipRect(rect)) return false;
  const SDibView& view = image.View();
  for (int32_t y = rect.top; y < rect.top + rect.height; ++y) {
    uint8_t* p = PixelAddr8(view, rect.left, y);
    for (int32_t x = 0; x < rect.width; ++x) op(p + x, value);
  }
  return true;
}

template <class Op>
bool CombineRectWith(TChannel& dest, const TChannel& source, TPoint& destPoint, SRectWH& sourceRect, Op op) {
  if (!dest.IsValid() || !source.IsValid()) return false;
  if (!ClipBlit(dest.Size(), source.Size(), destPoint, sourceRect)) return false;
  const SDibView& d = dest.View();
  const SDibView& s = source.View();
  for (int32_t j = 0; j < sourceRect.height; ++j) {
    uint8_t* dp = PixelAddr8(d, destPoint.x, destPoint.y + j);
    const uint8_t* sp = PixelAddr8(s, sourceRect.left, sourceRect.top + j);
    for (int32_t i = 0; i < sourceRect.width; ++i) op(dp + i, sp[i]);
  }
  return true;
}

}  // namespace tf
