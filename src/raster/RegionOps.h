// Rectangle loops over 32-bit images with the operation inlined.
#pragma once
// Rectangle loops over 32-bit images, in functor form: the operation is a template argument, so
// it is inlined into the pixel loop instead of being called through a pointer per pixel. The
// TMTC member forms (PixelOp pointers) choose one of these once per rectangle.
//
// Rows are addressed through each image's row table, so source and destination may have
// different row orders. Conventions as in raster/FlatImage.h: "rect" arguments are clipped in
// place, a point and a source rectangle are clipped together by ClipBlit, Raw forms do not clip
// (but still refuse an invalid image).
#include <cstdint>

#include "raster/ColorMath.h"
#include "raster/Composite.h"
#include "raster/FlatImage.h"
#include "raster/Geometry.h"

namespace tf {

// A nonzero channel byte v gives the opaque grey pixel (v, v, v, 255); 0 gives the pixel 0.
bool ChannelToPixels(TMTC& dest, const TChannel& source, TPoint& destPoint, SRectWH& sourceRect);

namespace region_detail {
inline bool BothValid(const CDibCore& a, const CDibCore& b) { return a.IsValid() && b.IsValid(); }
}  // namespace region_detail

// op(pixel, value, extra) for every pixel of the rectangle; no clipping.
template <class Op>
bool ApplyToRectRawWith(TMTC& image, const SRectWH& rect, uint32_t value, int32_t extra, Op op) {
  if (!image.IsValid()) return false;
  const SDibView& view = image.View();
  for (int32_t j = 0; j < rect.height; ++j) {
    uint32_t* p = PixelAddr32(view, rect.left, rect.top + j);
    for (int32_t i = 0; i < rect.width; ++i) op(p + i, value, extra);
  }
  return true;
}

template <class Op>
bool ApplyToRectWith(TMTC& image, SRectWH& rect, uint32_t value, int32_t extra, Op op) {
  if (!image.ClipRect(rect)) return false;
  return ApplyToRectRawWith(image, rect, value, extra, op);
}

// op(dest pixel, source pixel, value) over the rectangle; value 0 does nothing (false).
template <class Op>
bool CombineToRawWith(const TMTC& source, TMTC& dest, const TPoint& destPoint, const SRectWH& sourceRect,
                      int32_t value, Op op) {
  if (value == 0) return false;
  if (!region_detail::BothValid(source, dest)) return false;
  const SDibView& s = source.View();
  const SDibView& d = dest.View();
  for (int32_t j = 0; j < sourceRect.height; ++j) {
    const uint32_t* sp = PixelAddr32(s, sourceRect.left, sourceRect.top + j);
    uint32_t* dp = PixelAddr32(d, destPoint.x, destPoint.y + j);
    for (int32_t i = 0; i < sourceRect.width; ++i) op(dp + i, sp[i], value);
  }
  return true;
}

template <class Op>
bool CombineToWith(const TMTC& source, TMTC& dest, TPoint& destPoint, SRectWH& sourceRect, int32_t value, Op op) {
  if (!region_detail::BothValid(source, dest)) return false;
  if (!ClipBlit(dest.Size(), source.Size(), destPoint, sourceRect)) return false;
  return CombineToRawWith(source, dest, destPoint, sourceRect, value, op);
}

// Dest alpha := MulTable[dest alpha][alphaScale], then op(dest pixel, source pixel, value).
template <class Op>
bool CombineFromWith(TMTC& dest, const TMTC& source, TPoint& destPoint, SRectWH& sourceRect, int32_t alphaScale,
                     int32_t value, Op op) {
  if (value == 0) return false;
  if (!region_detail::BothValid(source, dest)) return false;
  if (!ClipBlit(dest.Size(), source.Size(), destPoint, sourceRect)) return false;
  const uint32_t scale = static_cast<uint32_t>(alphaScale) & 0xFFu;
  const SDibView& s = source.View();
  const SDibView& d = dest.View();
  for (int32_t j = 0; j < sourceRect.height; ++j) {
    const uint32_t* sp = PixelAddr32(s, sourceRect.left, sourceRect.top + j);
    uint32_t* dp = PixelAddr32(d, destPoint.x, destPoint.y + j);
    for (int32_t i = 0; i < sourceRect.width; ++i) {
      const uint32_t p = dp[i];
      dp[i] = (p & 0x00FFFFFFu) | (uint32_t{MulTable[p >> 24][scale]} << 24);
      op(dp + i, sp[i], value);
    }
  }
  return true;
}

// Alpha := MulTable[alpha][alphaScale], then op(pixel, colour, value).
template <class Op>
bool CombineColorRectWith(TMTC& image, SRectWH& rect, uint32_t colour, int32_t alphaScale, int32_t value, Op op) {
  if (value == 0) return false;
  if (!image.ClipRect(rect)) return false;
  const uint32_t scale = static_cast<uint32_t>(alphaScale) & 0xFFu;
  const SDibView& view = image.View();
  for (int32_t j = 0; j < rect.height; ++j) {
    uint32_t* p = PixelAddr32(view, rect.left, rect.top + j);
    for (int32_t i = 0; i < rect.width; ++i) {
      const uint32_t v = p[i];
      p[i] = (v & 0x00FFFFFFu) | (uint32_t{MulTable[v >> 24][scale]} << 24);
      op(p + i, colour, value);
    }
  }
  return true;
}

// Dest alpha scaled as in CombineFromWith, then composer(dest pixel, source pixel, opacity);
// the composer is CompositePixel or CompositePixelWith with a mode's routines.
template <class Composer>
bool CompositeFromWith(TMTC& dest, const TMTC& source, TPoint& destPoint, SRectWH& sourceRect, int32_t alphaScale,
                       int32_t opacity, Composer composer) {
  return CombineFromWith(dest, source, destPoint, sourceRect, alphaScale, opacity, composer);
}

template <class Composer>
bool CompositeColorRectWith(TMTC& image, SRectWH& rect, uint32_t colour, int32_t alphaScale, int32_t opacity,
                            Composer composer) {
  return CombineColorRectWith(image, rect, colour, alphaScale, opacity, composer);
}

// op(channel byte, source pixel) over the rectangle clipped against the channel.
template <class Op>
bool ToChannelWith(const TMTC& source, TChannel& dest, TPoint& destPoint, SRectWH& sourceRect, Op op) {
  if (!region_detail::BothValid(source, dest)) return false;
  if (!ClipBlit(dest.Size(), source.Size(), destPoint, sourceRect)) return false;
  const SDibView& s = source.View();
  const SDibView& d = dest.View();
  for (int32_t j = 0; j < sourceRect.height; ++j) {
    const uint32_t* sp = PixelAddr32(s, sourceRect.left, sourceRect.top + j);
    uint8_t* dp = PixelAddr8(d, destPoint.x, destPoint.y + j);
    for (int32_t i = 0; i < sourceRect.width; ++i) op(dp + i, sp + i);
  }
  return true;
}

}  // namespace tf
