// Row forms of the descriptor composite and the rectangle loops that call them.
#include "raster/CompositeRows.h"

#include <cstring>

#include "raster/PixelLanes.h"
#include "raster/PixelOps.h"

namespace tf {

namespace {

constexpr int32_t kRun = 64;  // pixels per pass of a descriptor composite

// (byte*255) div out, clamped to a byte, as CompositePixel computes it (out >= 1).
inline uint32_t Unweight(uint32_t byte, uint32_t out) {
  const uint32_t c = pixel_detail::DivFloor(byte * 255u, out);
  return c > 255 ? 255u : c;
}

#if !defined(__SSE2__)
// One run, pixel by pixel where a step has no vector form: e, a and the start of the
// accumulator per pixel; the destination routine; the source routine; then alpha and colour.
void CompositeRunScalar(uint32_t* dest, const uint32_t* source, int32_t n, uint32_t opacity,
                        const SCompositeRowOps& ops) {
  uint32_t e[kRun], a[kRun], acc[kRun];
  const bool fromSource = (ops.flags & kCompositeStartFromSource) != 0;
  for (int32_t i = 0; i < n; ++i) {
    e[i] = MulDiv255(source[i] >> 24, opacity);
    a[i] = dest[i] >> 24;
    acc[i] = fromSource ? source[i] : ops.startColor;
  }
  ops.destination(acc, dest, a, n);
  ops.source(acc, source, e, n);
  const bool skipZero = (ops.flags & kCompositeSkipZeroAlpha) != 0;
  for (int32_t i = 0; i < n; ++i) {
    if (skipZero && e[i] == 0) continue;
    const uint32_t out = a[i] + e[i] - MulDiv255(a[i], e[i]);
    uint32_t result = dest[i] & 0x00FFFFFFu;
    if (out != 0) {
      const uint32_t v = acc[i];
      result = (out << 24) | (Unweight((v >> 16) & 0xFFu, out) << 16) | (Unweight((v >> 8) & 0xFFu, out) << 8) |
               Unweight(v & 0xFFu, out);
    }
    dest[i] = result;
  }
}
#endif

#if defined(__SSE2__)

using lanes::Join;
using lanes::SPlanes;
using lanes::Split;

inline __m128i Load(const uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void Store(uint32_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
inline __m128i Select(__m128i mask, __m128i ifSet, __m128i ifClear) {
  return _mm_or_si128(_mm_and_si128(mask, ifSet), _mm_andnot_si128(mask, ifClear));
}

inline SPlanes Splat(uint32_t v) {
  auto lane = [v](int shift) { return _mm_set1_epi16(static_cast<int16_t>((v >> shift) & 0xFFu)); };
  return SPlanes{lane(0), lane(8), lane(16), lane(24)};
}

// BlendColor(acc, colour, weight) on the planes: B, G, R := (c*w + acc*(255 - w)) div 255,
// the accumulator's alpha kept.
inline SPlanes BlendPlanes(const SPlanes& acc, const SPlanes& colour, __m128i weight) {
  const __m128i rest = _mm_sub_epi16(_mm_set1_epi16(255), weight);
  auto one = [&](__m128i a, __m128i c) {
    return lanes::Div255(_mm_add_epi16(_mm_mullo_epi16(c, weight), _mm_mullo_epi16(a, rest)));
  };
  return SPlanes{one(acc.blue, colour.blue), one(acc.green, colour.green), one(acc.red, colour.red), acc.alpha};
}

inline bool AllLanes(__m128i mask) { return _mm_movemask_epi8(mask) == 0xFFFF; }

inline void Widen(uint32_t* to, __m128i lanes) {
  const __m128i zero = _mm_setzero_si128();
  Store(to, _mm_unpacklo_epi16(lanes, zero));
  Store(to + 4, _mm_unpackhi_epi16(lanes, zero));
}

// Each colour byte of the accumulator := min(255, (byte*255) div out) with alpha out; where out
// is 0 the colour bytes as they were, alpha 0.
//
// (byte*255) div out is computed as trunc(byte * float(255/out) + 1/1024): for out in 1..255
// and byte in 0..255 the quotient's fraction is 0 or at least 1/255 from the next integer, and
// the two roundings move it by less than 1/10000, so the bias lands every case on the same
// integer as the exact division (the tests go through every pair).
inline SPlanes Unweighted(const SPlanes& before, const SPlanes& acc, __m128i out) {
  const __m128i zero = _mm_setzero_si128();
  // Dividing by 255 gives every byte back (the common case of an opaque result).
  if (AllLanes(_mm_cmpeq_epi16(out, _mm_set1_epi16(255)))) return SPlanes{acc.blue, acc.green, acc.red, out};
  const __m128i none = _mm_cmpeq_epi16(out, zero);
  const __m128i divisor = _mm_sub_epi16(out, none);  // 0 read as 1
  const __m128 scaleLow = _mm_div_ps(_mm_set1_ps(255.0f), _mm_cvtepi32_ps(_mm_unpacklo_epi16(divisor, zero)));
  const __m128 scaleHigh = _mm_div_ps(_mm_set1_ps(255.0f), _mm_cvtepi32_ps(_mm_unpackhi_epi16(divisor, zero)));
  const __m128 bias = _mm_set1_ps(1.0f / 1024.0f);
  const __m128i max16 = _mm_set1_epi16(255);
  auto unweight = [&](__m128i bytes, __m128i keep) {
    const __m128i low = _mm_cvttps_epi32(
        _mm_add_ps(_mm_mul_ps(_mm_cvtepi32_ps(_mm_unpacklo_epi16(bytes, zero)), scaleLow), bias));
    const __m128i high = _mm_cvttps_epi32(
        _mm_add_ps(_mm_mul_ps(_mm_cvtepi32_ps(_mm_unpackhi_epi16(bytes, zero)), scaleHigh), bias));
    return Select(none, keep, _mm_min_epi16(_mm_packs_epi32(low, high), max16));
  };
  return SPlanes{unweight(acc.blue, before.blue), unweight(acc.green, before.green),
                 unweight(acc.red, before.red), out};
}

// The last step of eight pixels: out := a + e - MulDiv255(a, e); each colour byte :=
// min(255, (byte*255) div out) of the accumulator; out = 0 keeps the colour bytes with alpha 0;
// with the zero-alpha option a pixel whose e is 0 stays as it was.
inline void Finish(uint32_t* dest, const SPlanes& before, const SPlanes& acc, __m128i e, bool skipZero) {
  const __m128i a = before.alpha;
  const __m128i out = _mm_sub_epi16(_mm_add_epi16(a, e), lanes::Div255(_mm_mullo_epi16(a, e)));
  SPlanes result = Unweighted(before, acc, out);
  if (skipZero) {
    const __m128i stay = _mm_cmpeq_epi16(e, _mm_setzero_si128());
    result.blue = Select(stay, before.blue, result.blue);
    result.green = Select(stay, before.green, result.green);
    result.red = Select(stay, before.red, result.red);
    result.alpha = Select(stay, before.alpha, result.alpha);
  }
  Join(dest, result);
}

// With BlendColor as the source routine, e = 255 leaves the source colour in the accumulator and
// out = 255: the pixel becomes the source pixel (whose alpha is 255). True when all eight were
// so and have been copied.
inline bool CopiesSource(uint32_t* dest, const uint32_t* source, __m128i e) {
  if (!AllLanes(_mm_cmpeq_epi16(e, _mm_set1_epi16(255)))) return false;
  Store(dest, Load(source));
  Store(dest + 4, Load(source + 4));
  return true;
}

// One run of a multiple of eight pixels. DestinationBlend / SourceBlend: that routine is
// BlendColor, worked inline; the others are called once over the run.
template <bool DestinationBlend, bool SourceBlend>
void CompositeRunSse2(uint32_t* dest, const uint32_t* source, int32_t n, uint32_t opacity,
                      const SCompositeRowOps& ops) {
  const __m128i o = _mm_set1_epi16(static_cast<int16_t>(opacity));
  const bool fromSource = (ops.flags & kCompositeStartFromSource) != 0;
  const bool skipZero = (ops.flags & kCompositeSkipZeroAlpha) != 0;
  const SPlanes start = Splat(ops.startColor);
  if constexpr (DestinationBlend && SourceBlend) {
    for (int32_t i = 0; i < n; i += 8) {
      const SPlanes s = Split(source + i);
      const __m128i e = lanes::Div255(_mm_mullo_epi16(s.alpha, o));
      if (CopiesSource(dest + i, source + i, e)) continue;
      const SPlanes p = Split(dest + i);
      if (AllLanes(_mm_cmpeq_epi16(p.alpha, _mm_set1_epi16(255)))) {
        // Over opaque pixels the accumulator starts as the pixel and out is 255: the source
        // blended in by e (e = 0 gives the pixel back, as the zero-alpha option wants).
        const SPlanes mixed = BlendPlanes(p, s, e);
        Join(dest + i, SPlanes{mixed.blue, mixed.green, mixed.red, p.alpha});
        continue;
      }
      // e = 0 over alphas 0 and 255 gives every pixel back as it was.
      if (AllLanes(_mm_cmpeq_epi16(e, _mm_setzero_si128())) &&
          AllLanes(_mm_or_si128(_mm_cmpeq_epi16(p.alpha, _mm_setzero_si128()),
                                _mm_cmpeq_epi16(p.alpha, _mm_set1_epi16(255)))))
        continue;
      const SPlanes acc = BlendPlanes(BlendPlanes(fromSource ? s : start, p, p.alpha), s, e);
      Finish(dest + i, p, acc, e, skipZero);
    }
  } else {
    alignas(16) uint32_t acc[kRun], weight[kRun] = {};
    for (int32_t i = 0; i < n; i += 8) {
      const SPlanes p = Split(dest + i);
      if constexpr (DestinationBlend) {
        Join(acc + i, BlendPlanes(fromSource ? Split(source + i) : start, p, p.alpha));
      } else {
        if (fromSource)
          std::memcpy(acc + i, source + i, 8 * sizeof(uint32_t));
        else
          Join(acc + i, start);
        Widen(weight + i, p.alpha);
      }
    }
    if constexpr (!DestinationBlend) ops.destination(acc, dest, weight, n);
    if constexpr (!SourceBlend) {
      for (int32_t i = 0; i < n; i += 8) {
        const __m128i sa =
            _mm_packs_epi32(_mm_srli_epi32(Load(source + i), 24), _mm_srli_epi32(Load(source + i + 4), 24));
        Widen(weight + i, lanes::Div255(_mm_mullo_epi16(sa, o)));
      }
      ops.source(acc, source, weight, n);
    }
    for (int32_t i = 0; i < n; i += 8) {
      const SPlanes s = Split(source + i);
      const __m128i e = lanes::Div255(_mm_mullo_epi16(s.alpha, o));
      if (SourceBlend && CopiesSource(dest + i, source + i, e)) continue;
      SPlanes a = Split(acc + i);
      if constexpr (SourceBlend) a = BlendPlanes(a, s, e);
      Finish(dest + i, Split(dest + i), a, e, skipZero);
    }
  }
}

using RunFn = void (*)(uint32_t*, const uint32_t*, int32_t, uint32_t, const SCompositeRowOps&);

RunFn ChooseRun(const SCompositeRowOps& ops) {
  const bool d = ops.destination == &BlendColorWeightedRow;
  const bool s = ops.source == &BlendColorWeightedRow;
  if (d && s) return &CompositeRunSse2<true, true>;
  if (d) return &CompositeRunSse2<true, false>;
  if (s) return &CompositeRunSse2<false, true>;
  return &CompositeRunSse2<false, false>;
}

#endif

// CompositePixel over a row: runs of kRun, the last few pixels through eight-pixel buffers.
void CompositeAlong(uint32_t* dest, const uint32_t* source, int32_t count, int32_t opacity,
                    const SCompositeRowOps& ops) {
  // Held to 0..255 as CompositePixel holds it.
  const uint32_t o = opacity < 0 ? 0u : (opacity > 255 ? 255u : static_cast<uint32_t>(opacity));
#if defined(__SSE2__)
  const RunFn run = ChooseRun(ops);
  const int32_t whole = count & ~7;
  for (int32_t done = 0; done < whole; done += kRun) {
    const int32_t n = whole - done < kRun ? whole - done : kRun;
    run(dest + done, source + done, n, o, ops);
  }
  if (whole < count) {
    // Padded with clear pixels; only the real ones are copied back.
    const int32_t rest = count - whole;
    alignas(16) uint32_t d[8] = {}, s[8] = {};
    std::memcpy(d, dest + whole, static_cast<size_t>(rest) * sizeof(uint32_t));
    std::memcpy(s, source + whole, static_cast<size_t>(rest) * sizeof(uint32_t));
    run(d, s, 8, o, ops);
    std::memcpy(dest + whole, d, static_cast<size_t>(rest) * sizeof(uint32_t));
  }
#else
  for (int32_t done = 0; done < count; done += kRun) {
    const int32_t n = count - done < kRun ? count - done : kRun;
    CompositeRunScalar(dest + done, source + done, n, o, ops);
  }
#endif
}

}  // namespace

void BlendColorWeightedRow(uint32_t* acc, const uint32_t* colour, const uint32_t* weight, int32_t count) {
  for (int32_t i = 0; i < count; ++i) BlendColor(acc + i, colour[i], static_cast<int32_t>(weight[i]));
}

bool CompositeRowOpsOf(const SCompositeOps& ops, SCompositeRowOps& rows) {
  auto rowFormOf = [](PixelOp op, WeightedRowOp carried) -> WeightedRowOp {
    if (carried != nullptr) return carried;
    return op == &BlendColor ? &BlendColorWeightedRow : nullptr;
  };
  rows.startColor = ops.startColor;
  rows.flags = ops.flags;
  rows.destination = rowFormOf(ops.destination, ops.destinationRows);
  rows.source = rowFormOf(ops.source, ops.sourceRows);
  return ops.destination != nullptr && ops.source != nullptr && rows.destination != nullptr &&
         rows.source != nullptr;
}

void CompositeRow(uint32_t* dest, const uint32_t* source, int32_t count, int32_t opacity,
                  const SCompositeRowOps& ops) {
  CompositeAlong(dest, source, count, opacity, ops);
}

void CompositeColorRow(uint32_t* dest, uint32_t colour, int32_t count, int32_t opacity,
                       const SCompositeRowOps& ops) {
  uint32_t colours[kRun];
  for (uint32_t& c : colours) c = colour;
  for (int32_t done = 0; done < count; done += kRun) {
    const int32_t n = count - done < kRun ? count - done : kRun;
    CompositeAlong(dest + done, colours, n, opacity, ops);
  }
}

void ScaleAlphaRow(uint32_t* row, int32_t count, int32_t scale) {
  const uint32_t s = static_cast<uint32_t>(scale) & 0xFFu;
  if (s == 255) return;
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t p = row[i];
    row[i] = (p & 0x00FFFFFFu) | (MulDiv255(p >> 24, s) << 24);
  }
}

bool CompositeRowsFrom(TMTC& dest, const TMTC& source, TPoint& destPoint, SRectWH& sourceRect, int32_t alphaScale,
                       int32_t opacity, const SCompositeRowOps& ops) {
  if (opacity == 0 || ops.destination == nullptr || ops.source == nullptr) return false;
  return ScaledRowsFrom(dest, source, destPoint, sourceRect, alphaScale, [&](uint32_t* d, const uint32_t* s) {
    CompositeRow(d, s, sourceRect.width, opacity, ops);
  });
}

bool CompositeColorRows(TMTC& image, SRectWH& rect, uint32_t colour, int32_t alphaScale, int32_t opacity,
                        const SCompositeRowOps& ops) {
  if (opacity == 0 || ops.destination == nullptr || ops.source == nullptr) return false;
  return ScaledColorRows(image, rect, alphaScale,
                         [&](uint32_t* row) { CompositeColorRow(row, colour, rect.width, opacity, ops); });
}

}  // namespace tf
