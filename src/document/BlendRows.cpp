// Row forms of the blend-mode routines and the rectangle loops that call one row routine per
// row.
#include "document/BlendRows.h"

#include "raster/PixelLanes.h"
#include "raster/PixelOps.h"

namespace tf {

namespace {

constexpr int32_t kRun = 64;  // pixels per pass of a dissolve

bool BothValid(const CDibCore& a, const CDibCore& b) { return a.IsValid() && b.IsValid(); }

// row(destination row, source row) for the rows of sourceRect, the destination rows from
// destPoint down.
template <class Row>
void ForEachRowPair(const TMTC& source, TMTC& dest, const TPoint& destPoint, const SRectWH& sourceRect, Row row) {
  const SDibView& s = source.View();
  const SDibView& d = dest.View();
  for (int32_t j = 0; j < sourceRect.height; ++j)
    row(PixelAddr32(d, destPoint.x, destPoint.y + j), PixelAddr32(s, sourceRect.left, sourceRect.top + j));
}

// row(row start) for the rows of the rectangle.
template <class Row>
void ForEachRow(TMTC& image, const SRectWH& rect, Row row) {
  const SDibView& view = image.View();
  for (int32_t j = 0; j < rect.height; ++j) row(PixelAddr32(view, rect.left, rect.top + j));
}

bool gForceBaselineRows = false;

}  // namespace

namespace row_detail {

bool UseAvx2Rows() {
#if TF_ROWS_AVX2
  static const bool have = [] {
    __builtin_cpu_init();  // also right when first asked from a static initialiser
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return have && !gForceBaselineRows;
#else
  return false;
#endif
}

void ForceBaselineRows(bool force) { gForceBaselineRows = force; }

#if defined(__SSE2__)
namespace {

using lanes::Div255;
using lanes::SPlanes;
using lanes::Split;

// Eight pixels of the normal merge. FullValue: the value is 255, so the coverage is the colour
// alpha.
template <bool FullValue>
inline void PaintOverEight(uint32_t* dest, __m128i value, __m128i p0, __m128i p1, const SPlanes& c) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i max16 = _mm_set1_epi16(255);
  const SPlanes p = Split(p0, p1);
  // v := MulDiv255(value, colour alpha); na := d + (v*(255 - d)) div 255.
  const __m128i v = FullValue ? c.alpha : Div255(_mm_mullo_epi16(value, c.alpha));
  const __m128i na = _mm_add_epi16(p.alpha, Div255(_mm_mullo_epi16(v, _mm_sub_epi16(max16, p.alpha))));
  // weight := floor(v*255 / na) as the pixel routine's single-precision quotient, na = 0 read
  // as 1 (v is 0 there).
  const __m128i n = _mm_mullo_epi16(v, max16);
  const __m128i divisor = _mm_sub_epi16(na, _mm_cmpeq_epi16(na, zero));
  const auto quotient = [](__m128i num, __m128i den) {
    return _mm_cvttps_epi32(_mm_div_ps(_mm_cvtepi32_ps(num), _mm_cvtepi32_ps(den)));
  };
  const __m128i weight =
      _mm_packs_epi32(quotient(_mm_unpacklo_epi16(n, zero), _mm_unpacklo_epi16(divisor, zero)),
                      quotient(_mm_unpackhi_epi16(n, zero), _mm_unpackhi_epi16(divisor, zero)));
  const __m128i rest = _mm_sub_epi16(max16, weight);
  // Each channel: (c*weight + p*(255 - weight)) div 255, as BlendColor.
  const auto blend = [&](__m128i pc, __m128i cc) {
    return Div255(_mm_add_epi16(_mm_mullo_epi16(cc, weight), _mm_mullo_epi16(pc, rest)));
  };
  lanes::Join(dest, SPlanes{blend(p.blue, c.blue), blend(p.green, c.green), blend(p.red, c.red), na});
}

template <bool FullValue>
void PaintOverRow(uint32_t* dest, const uint32_t* source, int32_t count, int32_t value) {
  const __m128i w = _mm_set1_epi16(static_cast<int16_t>(static_cast<uint32_t>(value) & 0xFFu));
  const __m128i zero = _mm_setzero_si128();
  const __m128i opaque = _mm_set1_epi16(255);
  int32_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m128i c0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
    const __m128i c1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i + 4));
    const SPlanes c = Split(c0, c1);
    // Runs: eight clear source pixels change nothing; eight opaque ones at full value are copied.
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(c.alpha, zero)) == 0xFFFF) continue;
    if (FullValue && _mm_movemask_epi8(_mm_cmpeq_epi16(c.alpha, opaque)) == 0xFFFF) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + i), c0);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + i + 4), c1);
      continue;
    }
    const __m128i p0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dest + i));
    const __m128i p1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dest + i + 4));
    PaintOverEight<FullValue>(dest + i, w, p0, p1, c);
  }
  for (; i < count; ++i) PixelPaintOverSourceAlpha(dest + i, source[i], value);
}

}  // namespace
#endif

bool PaintOverSourceAlphaRowSse2(uint32_t* dest, const uint32_t* source, int32_t count, int32_t value) {
#if defined(__SSE2__)
  // Eight pixels a step, each channel in a plane of 16-bit lanes; every product fits 16 bits
  // unsigned. Value 0 changes nothing.
  const uint32_t w = static_cast<uint32_t>(value) & 0xFFu;
  if (w == 255)
    PaintOverRow<true>(dest, source, count, value);
  else if (w != 0)
    PaintOverRow<false>(dest, source, count, value);
  return true;
#else
  (void)dest;
  (void)source;
  (void)count;
  (void)value;
  return false;
#endif
}

}  // namespace row_detail

bool CombineRowsToRaw(const TMTC& source, TMTC& dest, const TPoint& destPoint, const SRectWH& sourceRect,
                      int32_t value, PixelRowOp op) {
  if (value == 0 || op == nullptr) return false;
  if (!BothValid(source, dest)) return false;
  ForEachRowPair(source, dest, destPoint, sourceRect,
                 [&](uint32_t* d, const uint32_t* s) { op(d, s, sourceRect.width, value); });
  return true;
}

bool CombineRowsTo(const TMTC& source, TMTC& dest, TPoint& destPoint, SRectWH& sourceRect, int32_t value,
                   PixelRowOp op) {
  if (op == nullptr || !BothValid(source, dest)) return false;
  if (!ClipBlit(dest.Size(), source.Size(), destPoint, sourceRect)) return false;
  return CombineRowsToRaw(source, dest, destPoint, sourceRect, value, op);
}

bool ApplyColorRowsRaw(TMTC& image, const SRectWH& rect, uint32_t colour, int32_t value, ColorRowOp op) {
  if (op == nullptr || !image.IsValid()) return false;
  ForEachRow(image, rect, [&](uint32_t* row) { op(row, colour, rect.width, value); });
  return true;
}

bool ApplyColorRows(TMTC& image, SRectWH& rect, uint32_t colour, int32_t value, ColorRowOp op) {
  if (op == nullptr || !image.ClipRect(rect)) return false;
  return ApplyColorRowsRaw(image, rect, colour, value, op);
}

bool CombineRowsFrom(TMTC& dest, const TMTC& source, TPoint& destPoint, SRectWH& sourceRect, int32_t alphaScale,
                     int32_t value, PixelRowOp op) {
  if (value == 0 || op == nullptr) return false;
  return ScaledRowsFrom(dest, source, destPoint, sourceRect, alphaScale,
                        [&](uint32_t* d, const uint32_t* s, int32_t count) { op(d, s, count, value); });
}

bool CombineColorRows(TMTC& image, SRectWH& rect, uint32_t colour, int32_t alphaScale, int32_t value,
                      ColorRowOp op) {
  if (value == 0 || op == nullptr) return false;
  return ScaledColorRows(image, rect, alphaScale,
                         [&](uint32_t* row, int32_t count) { op(row, colour, count, value); });
}

// ---------------------------------------------------------------------------------------------
// Dissolve

namespace {

// One run: the draws in pixel order, the routine over a copy of the run, then the pixels that
// passed are taken from the copy.
template <bool OneColour>
void DissolveRun(uint32_t* dest, const uint32_t* source, uint32_t colour, int32_t n, int32_t value,
                 PixelRowOp pixelOp, ColorRowOp colourOp, SRandom& random, uint32_t threshold) {
  bool pass[kRun];
  bool any = false;
  for (int32_t i = 0; i < n; ++i) {
    const uint32_t s = OneColour ? colour : source[i];
    const uint32_t t = MulDiv255(threshold, s >> 24);
    pass[i] = static_cast<uint32_t>(RandomDraw(random)) < t;
    any |= pass[i];
  }
  if (!any) return;
  uint32_t copy[kRun];
  for (int32_t i = 0; i < n; ++i) copy[i] = dest[i];
  if (OneColour)
    colourOp(copy, colour, n, value);
  else
    pixelOp(copy, source, n, value);
  for (int32_t i = 0; i < n; ++i)
    if (pass[i]) dest[i] = copy[i];
}

}  // namespace

void DissolveRow(uint32_t* dest, const uint32_t* source, int32_t count, int32_t value, PixelRowOp op,
                 SRandom& random, int32_t threshold) {
  for (int32_t done = 0; done < count; done += kRun) {
    const int32_t n = count - done < kRun ? count - done : kRun;
    DissolveRun<false>(dest + done, source + done, 0, n, value, op, nullptr, random,
                       static_cast<uint32_t>(threshold));
  }
}

void DissolveColorRow(uint32_t* dest, uint32_t colour, int32_t count, int32_t value, ColorRowOp op,
                      SRandom& random, int32_t threshold) {
  for (int32_t done = 0; done < count; done += kRun) {
    const int32_t n = count - done < kRun ? count - done : kRun;
    DissolveRun<true>(dest + done, nullptr, colour, n, value, nullptr, op, random,
                      static_cast<uint32_t>(threshold));
  }
}

bool DissolveRowsToRaw(const TMTC& source, TMTC& dest, const TPoint& destPoint, const SRectWH& sourceRect,
                       int32_t value, PixelRowOp op, SRandom& random, int32_t threshold) {
  if (value == 0 || op == nullptr) return false;
  if (!BothValid(source, dest)) return false;
  ForEachRowPair(source, dest, destPoint, sourceRect, [&](uint32_t* d, const uint32_t* s) {
    DissolveRow(d, s, sourceRect.width, value, op, random, threshold);
  });
  return true;
}

bool DissolveColorRowsRaw(TMTC& image, const SRectWH& rect, uint32_t colour, int32_t value, ColorRowOp op,
                          SRandom& random, int32_t threshold) {
  if (op == nullptr || !image.IsValid()) return false;
  ForEachRow(image, rect,
             [&](uint32_t* row) { DissolveColorRow(row, colour, rect.width, value, op, random, threshold); });
  return true;
}

}  // namespace tf
