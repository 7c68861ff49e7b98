#include "raster/ScaleImage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

#include "raster/Drawing.h"
#include "raster/FlatImage.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
// The hot loops of the direct ScaleAll of 32-bit images are also built for AVX2, taken once per
// call when the processor has it. They make two pixels at a time with the same Single operations
// per lane (no fused multiply-add), so the choice never changes a result.
#define TF_SCALE_AVX2 1
#define TF_SCALE_TARGET_AVX2 __attribute__((target("avx2")))
#else
#define TF_SCALE_AVX2 0
#endif

namespace tf {

namespace {

// 16.16 positions of a source side must fit int32.
constexpr int32_t kMaxSourceSide = 32767;

typedef float V4 __attribute__((vector_size(16)));

// A 16.16 fraction as a Single weight (exact).
inline float Weight(int32_t fraction) { return static_cast<float>(fraction) / 65536.0f; }
// Area of one axis: extent/65536 as a Single.
inline float AxisArea(int32_t extent) { return static_cast<float>(static_cast<double>(extent) / 65536.0); }
// Area of both axes: (w/65536)*(h/65536), rounded once to a Single.
inline float BoxArea(int32_t w, int32_t h) {
  return static_cast<float>((static_cast<double>(w) / 65536.0) * (static_cast<double>(h) / 65536.0));
}

// The stores add a small guard before dividing, so that a sum that lost a little in Single
// arithmetic still truncates to its value (a uniform 255 stays 255). The guard is 0.01 in sum
// units, that is 0.01/area in value units, wherever the area exceeds 0.01: the lift stays below
// one level, so no value passes the largest source value it covers. At an area of 0.01 or less
// (enlargements of about 10x each way and more) 0.01 would lift whole levels (2.56 at 16x,
// making alpha 0 visible), so the guard is 0.99*area there: a lift of 0.99 of a level.
inline float StoreGuard(float area) { return area > 0.01f ? 0.01f : 0.99f * area; }

// clamp(trunc(q), 0, 255); NaN gives 0.
inline uint8_t ClampTruncByte(float q) {
  if (q >= 255.0f) return 255;
  if (q > 0.0f) return static_cast<uint8_t>(static_cast<int32_t>(q));
  return 0;
}

// One axis of a 16.16 source area after the edge rules: the far edge is cut at the source edge;
// an area that starts at or past the edge (rounded steps of an enlargement) takes the last pixel
// whole; an empty area shrinks to a sliver of the pixel where it starts.
struct AxisSpan {
  int32_t first;   // first column or row
  int32_t whole;   // whole pixels; -1 when the area lies inside one pixel
  int32_t lead;    // 16.16 weight of the partial first pixel (0: none)
  int32_t trail;   // 16.16 weight of the partial last pixel (0: none)
  int32_t extent;  // 16.16 width or height
};

inline AxisSpan MakeSpan(int64_t a0, int64_t a1, int32_t size) {
  const int64_t edge = int64_t{size} << 16;
  if (a0 < 0) a0 = 0;
  if (a1 > edge) a1 = edge;
  if (a0 >= edge) {
    a0 = edge - 65536;
    a1 = edge;
  } else if (a1 <= a0) {
    a1 = a0 + 1;
  }
  const int64_t c0 = (a0 + 65535) & ~int64_t{65535};
  const int64_t f1 = a1 & ~int64_t{65535};
  AxisSpan s;
  s.first = static_cast<int32_t>(a0 >> 16);
  s.whole = static_cast<int32_t>((f1 - c0) >> 16);
  s.lead = static_cast<int32_t>(c0 - a0);
  s.trail = static_cast<int32_t>(a1 & 65535);
  s.extent = static_cast<int32_t>(a1 - a0);
  return s;
}

// The averaging of one area, written once for every accumulator kind. Ops supplies:
// Acc, Zero(), Add(acc, x, y), AddW(acc, x, y, w), AddRow(acc, x, y, lead, trail, count),
// Mul(acc, w), Sum(acc, t), SumW(acc, t, w), Store(dest, acc, area).
template <class Ops>
void AverageAreaWith(Ops& ops, uint8_t* dest, int64_t x0, int64_t y0, int64_t x1, int64_t y1,
                     const SSize& source) {
  if (source.width <= 0 || source.height <= 0) return;
  const AxisSpan sx = MakeSpan(x0, x1, source.width);
  const AxisSpan sy = MakeSpan(y0, y1, source.height);
  using Acc = typename Ops::Acc;
  Acc acc = ops.Zero();
  if (sx.whole < 0 && sy.whole < 0) {
    ops.Add(acc, sx.first, sy.first);
    ops.Store(dest, acc, 1.0f);
    return;
  }
  if (sx.whole < 0) {
    int32_t r = sy.first;
    if (sy.lead > 0) ops.AddW(acc, sx.first, r++, Weight(sy.lead));
    for (int32_t k = 0; k < sy.whole; ++k) ops.Add(acc, sx.first, r++);
    if (sy.trail > 0) ops.AddW(acc, sx.first, r, Weight(sy.trail));
    ops.Store(dest, acc, AxisArea(sy.extent));
    return;
  }
  if (sy.whole < 0) {
    ops.AddRow(acc, sx.first, sy.first, sx.lead, sx.trail, sx.whole);
    ops.Store(dest, acc, AxisArea(sx.extent));
    return;
  }
  int32_t r = sy.first;
  if (sy.lead > 0) {
    ops.AddRow(acc, sx.first, r++, sx.lead, sx.trail, sx.whole);
    ops.Mul(acc, Weight(sy.lead));
  }
  for (int32_t k = 0; k < sy.whole; ++k) {
    Acc t = ops.Zero();
    ops.AddRow(t, sx.first, r++, sx.lead, sx.trail, sx.whole);
    ops.Sum(acc, t);
  }
  if (sy.trail > 0) {
    Acc t = ops.Zero();
    ops.AddRow(t, sx.first, r, sx.lead, sx.trail, sx.whole);
    ops.SumW(acc, t, Weight(sy.trail));
  }
  ops.Store(dest, acc, BoxArea(sx.extent, sy.extent));
}

// Through the virtual slots.
struct VirtualOps {
  CScaleImage* s;
  using Acc = SScaleAcc;
  Acc Zero() const { return Acc{{0.0f, 0.0f, 0.0f, 0.0f}}; }
  void Add(Acc& a, int32_t x, int32_t y) const { s->AddPixel(a, s->SourcePixel(x, y)); }
  void AddW(Acc& a, int32_t x, int32_t y, float w) const { s->AddPixelWeighted(a, s->SourcePixel(x, y), w); }
  void AddRow(Acc& a, int32_t x, int32_t y, int32_t lead, int32_t trail, int32_t n) const {
    s->AddRow(x, y, a, lead, trail, n);
  }
  static void Mul(Acc& a, float w) {
    for (float& v : a.sum) v *= w;
  }
  static void Sum(Acc& a, const Acc& t) {
    for (int i = 0; i < 4; ++i) a.sum[i] += t.sum[i];
  }
  static void SumW(Acc& a, const Acc& t, float w) {
    for (int i = 0; i < 4; ++i) a.sum[i] += t.sum[i] * w;
  }
  void Store(uint8_t* d, const Acc& a, float area) const { s->StorePixel(d, a, area); }
};

// ---- Direct pixel access of the classes of this file ----------------------------------------

inline V4 LoadPixel32(const uint8_t* p) {
#if defined(__SSE2__)
  int32_t v;
  std::memcpy(&v, p, 4);
  const __m128i z = _mm_setzero_si128();
  __m128i x = _mm_cvtsi32_si128(v);
  x = _mm_unpacklo_epi8(x, z);
  x = _mm_unpacklo_epi16(x, z);
  return reinterpret_cast<V4>(_mm_cvtepi32_ps(x));
#else
  return V4{static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2]),
            static_cast<float>(p[3])};
#endif
}

// Each lane := clamp(trunc(q)) into the bytes of a pixel, lanes B, G, R, A as the bytes lie.
inline uint32_t Quotient32(V4 q) {
#if defined(__SSE2__)
  __m128 v = reinterpret_cast<__m128>(q);
  v = _mm_min_ps(_mm_max_ps(v, _mm_setzero_ps()), _mm_set1_ps(255.0f));
  __m128i i = _mm_cvttps_epi32(v);
  i = _mm_packs_epi32(i, i);
  i = _mm_packus_epi16(i, i);
  return static_cast<uint32_t>(_mm_cvtsi128_si32(i));
#else
  uint8_t b[4];
  for (int k = 0; k < 4; ++k) b[k] = ClampTruncByte(q[k]);
  uint32_t out;
  std::memcpy(&out, b, 4);
  return out;
#endif
}
inline void StoreQuotient32(uint8_t* d, V4 q) {
  const uint32_t out = Quotient32(q);
  std::memcpy(d, &out, 4);
}

// Each byte := clamp(trunc((sum + guard)/area)).
inline void StorePixel32(uint8_t* d, V4 acc, float area) { StoreQuotient32(d, (acc + StoreGuard(area)) / area); }

// The 8-bit stores divide with the same guard as the 32-bit one: without it a uniform area of
// 255 can come out as 254 in Single arithmetic (a full selection would stop being full).
inline uint8_t StoreValue8(float acc, float area) { return ClampTruncByte((acc + StoreGuard(area)) / area); }

inline int32_t StoreValueFix(float acc, float area) {
  const float s = acc / (area * 255.0f);
  const int32_t v = SingleToFix(s);
  return v < 0 ? 0 : (v > 65536 ? 65536 : v);
}

// Source rows as plain byte rows of bpp-byte pixels.
struct RowView {
  SDibView v;
  const uint8_t* Row(int32_t y) const { return v.bits + v.rowOffsets[y]; }
};
struct ViewBytes {
  const uint8_t* bits;
  int32_t width;
  const uint8_t* Row(int32_t y) const { return bits + std::ptrdiff_t{y} * width; }
};

// Four lanes over 32-bit pixels.
template <class SourceView>
struct Ops32 {
  SourceView src;
  using Acc = V4;
  static constexpr int kBytes = 4;
  static Acc Zero() { return V4{0.0f, 0.0f, 0.0f, 0.0f}; }
  static Acc Load(const uint8_t* p) { return LoadPixel32(p); }
  const uint8_t* At(int32_t x, int32_t y) const { return src.Row(y) + std::ptrdiff_t{4} * x; }
  void Add(Acc& a, int32_t x, int32_t y) const { a += Load(At(x, y)); }
  void AddW(Acc& a, int32_t x, int32_t y, float w) const { a += Load(At(x, y)) * w; }
  void AddRow(Acc& a, int32_t x, int32_t y, int32_t lead, int32_t trail, int32_t n) const {
    const uint8_t* p = At(x, y);
    if (lead > 0) {
      a += Load(p) * Weight(lead);
      p += 4;
    }
    for (int32_t k = 0; k < n; ++k, p += 4) a += Load(p);
    if (trail > 0) a += Load(p) * Weight(trail);
  }
  static void Mul(Acc& a, float w) { a *= w; }
  static void Sum(Acc& a, const Acc& t) { a += t; }
  static void SumW(Acc& a, const Acc& t, float w) { a += t * w; }
  static void Store(uint8_t* d, const Acc& a, float area) { StorePixel32(d, a, area); }
  // For the direct ScaleAll: destination pixels as values, the guard and area splatted.
  static constexpr bool kPixel32 = true;
  using Out = uint32_t;
  static Acc Splat(float v) { return V4{v, v, v, v}; }
  // The store of a sum with the guard of its area (StoreGuard(area)).
  static Out Value(const Acc& a, const Acc& guard, const Acc& area) { return Quotient32((a + guard) / area); }
  // The store of one unweighted pixel over an area of 1: trunc(v + 0.01) = v for every byte v.
  static constexpr bool kUnitIsCopy = true;
  static constexpr bool kUnitIsSameBytes = true;  // UnitValue is the pixel's own bytes
  static Out UnitValue(const uint8_t* p) {
    Out v;
    std::memcpy(&v, p, 4);
    return v;
  }
};

// One lane over 8-bit pixels; Store chooses how the value is written.
enum class Store8Kind { kByte, kGrey32, kFix };

template <class SourceView, Store8Kind kStore>
struct Ops8 {
  SourceView src;
  using Acc = float;
  static constexpr int kBytes = 1;
  static Acc Zero() { return 0.0f; }
  static Acc Load(const uint8_t* p) { return static_cast<float>(*p); }
  const uint8_t* At(int32_t x, int32_t y) const { return src.Row(y) + x; }
  void Add(Acc& a, int32_t x, int32_t y) const { a += Load(At(x, y)); }
  void AddW(Acc& a, int32_t x, int32_t y, float w) const { a += w * Load(At(x, y)); }
  void AddRow(Acc& a, int32_t x, int32_t y, int32_t lead, int32_t trail, int32_t n) const {
    const uint8_t* p = At(x, y);
    if (lead > 0) a += Weight(lead) * Load(p++);
    for (int32_t k = 0; k < n; ++k) a += Load(p++);
    if (trail > 0) a += Weight(trail) * Load(p);
  }
  static void Mul(Acc& a, float w) { a *= w; }
  static void Sum(Acc& a, const Acc& t) { a += t; }
  static void SumW(Acc& a, const Acc& t, float w) { a += t * w; }
  static Acc Splat(float v) { return v; }
  // For the direct ScaleAll (byte and grey stores): destination pixels as values.
  static constexpr bool kPixel32 = false;
  using Out = std::conditional_t<kStore == Store8Kind::kByte, uint8_t, uint32_t>;
  static Out Grey(uint32_t v) {
    if constexpr (kStore == Store8Kind::kByte)
      return static_cast<Out>(v);
    else
      return 0xFF000000u | (v << 16) | (v << 8) | v;
  }
  // The store of a sum with the guard of its area (StoreGuard(area)).
  static Out Value(const Acc& a, const Acc& guard, const Acc& area) {
    return Grey(ClampTruncByte((a + guard) / area));
  }
  // The store of one unweighted byte over an area of 1: trunc(v + 0.01) = v for every byte v
  // (the 16.16 store has no such shortcut).
  static constexpr bool kUnitIsCopy = kStore != Store8Kind::kFix;
  static constexpr bool kUnitIsSameBytes = kStore == Store8Kind::kByte;
  static Out UnitValue(const uint8_t* p) { return Grey(*p); }
  static void Store(uint8_t* d, const Acc& a, float area) {
    if constexpr (kStore == Store8Kind::kByte) {
      *d = StoreValue8(a, area);
    } else if constexpr (kStore == Store8Kind::kGrey32) {
      const uint32_t v = StoreValue8(a, area);
      const uint32_t px = 0xFF000000u | (v << 16) | (v << 8) | v;
      std::memcpy(d, &px, 4);
    } else {
      const int32_t v = StoreValueFix(a, area);
      std::memcpy(d, &v, 4);
    }
  }
};

// Destination rows for the direct ScaleAll.
struct DestView {
  SDibView v;
  int32_t bytes;  // per pixel
  uint8_t* Row(int32_t y) const { return v.bits + v.rowOffsets[y]; }
};
struct DestBytes {
  uint8_t* bits;
  int32_t width;
  uint8_t* Row(int32_t y) const { return bits + std::ptrdiff_t{y} * width; }
};

// ---- Direct ScaleAll ---------------------------------------------------------------------------
// Every destination pixel is what AverageAreaWith gives for its area, bit for bit: the same
// Single operations on the same operands in the same order.
// - The geometry of the columns (spans, weights, areas) is taken once per call.
// - The sums of a source row over the columns of the destination are the same for every
//   destination row that uses that source row, so each is computed once (two rows are kept).
// - An area that covers at most two source pixels along an axis is two taps without a branch:
//   x*1 + y*0 = x and 0 + x = x (the sums are never -0), so a pixel taken whole stays exact.
// - A "unit" column lies inside one source pixel (or is exactly one whole pixel): its row sum
//   is that pixel, and across a row its area is the row's own. In an enlargement, a run of unit
//   columns over one source pixel (a group) therefore has one value per row: it is made once
//   and copied to the columns of the run.
// - A row inside one source row depends on that row alone: a run of such rows makes the first
//   and copies it. Its unit columns store trunc(v + 0.01), which is v: the pixel is copied.
//   A row of exactly one whole source row (an unscaled axis) gives the same values.

// Columns that cover at most two source pixels: p0*w0 + p1*w1, the pixels at byte offsets
// at0 and at1 of the source row.
struct ScaleTaps {
  std::vector<int32_t> at0, at1;
  std::vector<float> w0, w1;
};
#if TF_SCALE_AVX2
bool gForceBaselineScaling = false;

bool UseAvx2Scaling() {
  static const bool have = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return have && !gForceBaselineScaling;
}

// Two 32-bit pixels as eight Single lanes (B, G, R, A of each, as LoadPixel32).
TF_SCALE_TARGET_AVX2 inline __m256 LoadTwo32(const uint8_t* p, const uint8_t* q) {
  int32_t a, b;
  std::memcpy(&a, p, 4);
  std::memcpy(&b, q, 4);
  const __m128i x = _mm_unpacklo_epi32(_mm_cvtsi32_si128(a), _mm_cvtsi32_si128(b));
  return _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(x));
}

// Eight lanes of quotients into two pixels, as Quotient32.
TF_SCALE_TARGET_AVX2 inline void QuotientTwo32(__m256 q, uint32_t& a, uint32_t& b) {
  q = _mm256_min_ps(_mm256_max_ps(q, _mm256_setzero_ps()), _mm256_set1_ps(255.0f));
  __m256i i = _mm256_cvttps_epi32(q);
  i = _mm256_packs_epi32(i, i);
  i = _mm256_packus_epi16(i, i);
  a = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm256_castsi256_si128(i)));
  b = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm256_extracti128_si256(i, 1)));
}

TF_SCALE_TARGET_AVX2 inline void PutTwo32(uint8_t* d, int32_t at0, int32_t at1, __m256 q) {
  uint32_t a, b;
  QuotientTwo32(q, a, b);
  std::memcpy(d + at0, &a, 4);
  std::memcpy(d + at1, &b, 4);
}

// The loops of ScaleRows for 32-bit pixels, two at a time; each returns how many it made, the
// caller makes the rest. Sums and areas are arrays of four lanes per pixel.
TF_SCALE_TARGET_AVX2 size_t SumTaps32Avx2(float* out, const uint8_t* row, const int32_t* at0, const int32_t* at1,
                                          const float* w0, const float* w1, size_t count) {
  size_t o = 0;
  for (; o + 2 <= count; o += 2) {
    const __m256 p0 = LoadTwo32(row + at0[o], row + at0[o + 1]);
    const __m256 p1 = LoadTwo32(row + at1[o], row + at1[o + 1]);
    const __m256 v0 = _mm256_set_m128(_mm_set1_ps(w0[o + 1]), _mm_set1_ps(w0[o]));
    const __m256 v1 = _mm256_set_m128(_mm_set1_ps(w1[o + 1]), _mm_set1_ps(w1[o]));
    _mm256_storeu_ps(out + 4 * o, _mm256_add_ps(_mm256_mul_ps(p0, v0), _mm256_mul_ps(p1, v1)));
  }
  return o;
}

TF_SCALE_TARGET_AVX2 size_t GroupsTwoRows32Avx2(uint32_t* values, const uint8_t* row0, const uint8_t* row1,
                                                const int32_t* at, size_t count, float u0, float u1, float guard,
                                                float area) {
  const __m256 vu0 = _mm256_set1_ps(u0), vu1 = _mm256_set1_ps(u1);
  const __m256 vg = _mm256_set1_ps(guard), va = _mm256_set1_ps(area);
  size_t g = 0;
  for (; g + 2 <= count; g += 2) {
    const __m256 a = _mm256_add_ps(_mm256_mul_ps(LoadTwo32(row0 + at[g], row0 + at[g + 1]), vu0),
                                   _mm256_mul_ps(LoadTwo32(row1 + at[g], row1 + at[g + 1]), vu1));
    QuotientTwo32(_mm256_div_ps(_mm256_add_ps(a, vg), va), values[g], values[g + 1]);
  }
  return g;
}

TF_SCALE_TARGET_AVX2 size_t OthersOneRow32Avx2(uint8_t* d, const int32_t* dest, const float* h,
                                               const float* guard, const float* area, size_t count) {
  size_t o = 0;
  for (; o + 2 <= count; o += 2) {
    const __m256 q = _mm256_div_ps(_mm256_add_ps(_mm256_loadu_ps(h + 4 * o), _mm256_loadu_ps(guard + 4 * o)),
                                   _mm256_loadu_ps(area + 4 * o));
    PutTwo32(d, dest[o], dest[o + 1], q);
  }
  return o;
}

TF_SCALE_TARGET_AVX2 size_t OthersTwoRows32Avx2(uint8_t* d, const int32_t* dest, const float* h0, const float* h1,
                                                float u0, float u1, const float* guard, const float* area,
                                                size_t count) {
  const __m256 vu0 = _mm256_set1_ps(u0), vu1 = _mm256_set1_ps(u1);
  size_t o = 0;
  for (; o + 2 <= count; o += 2) {
    const __m256 a = _mm256_add_ps(_mm256_mul_ps(_mm256_loadu_ps(h0 + 4 * o), vu0),
                                   _mm256_mul_ps(_mm256_loadu_ps(h1 + 4 * o), vu1));
    const __m256 q =
        _mm256_div_ps(_mm256_add_ps(a, _mm256_loadu_ps(guard + 4 * o)), _mm256_loadu_ps(area + 4 * o));
    PutTwo32(d, dest[o], dest[o + 1], q);
  }
  return o;
}
#endif

// The columns of a group: byte offset of the first in the destination row, and how many.
struct ScaleRun {
  int32_t dest, count;
};

// The row loops over plain arrays (no captured state, so that stores of bytes do not make the
// compiler reload it).
template <class Ops>
struct ScaleRows {
  using Acc = typename Ops::Acc;
  using Out = typename Ops::Out;

  static void Put(uint8_t* d, Out v) { std::memcpy(d, &v, sizeof(Out)); }

  static const float* Lanes(const Acc* a) { return reinterpret_cast<const float*>(a); }

  // Row sums of columns of two taps.
  static void SumTaps([[maybe_unused]] bool wide, Acc* out, const uint8_t* row, const ScaleTaps& taps,
                      size_t count) {
    const int32_t* at0 = taps.at0.data();
    const int32_t* at1 = taps.at1.data();
    const float* w0 = taps.w0.data();
    const float* w1 = taps.w1.data();
    size_t o = 0;
#if TF_SCALE_AVX2
    if constexpr (Ops::kPixel32)
      if (wide) o = SumTaps32Avx2(reinterpret_cast<float*>(out), row, at0, at1, w0, w1, count);
#endif
    for (; o < count; ++o) out[o] = Ops::Load(row + at0[o]) * w0[o] + Ops::Load(row + at1[o]) * w1[o];
  }
  // The row sum of one column, as AddRow sums it.
  static Acc SpanSum(const uint8_t* row, const AxisSpan& a) {
    const uint8_t* p = row + std::ptrdiff_t{Ops::kBytes} * a.first;
    if (a.whole < 0) return Ops::Load(p);
    Acc acc = Ops::Zero();
    if (a.lead > 0) {
      Ops::SumW(acc, Ops::Load(p), Weight(a.lead));
      p += Ops::kBytes;
    }
    for (int32_t c = 0; c < a.whole; ++c, p += Ops::kBytes) Ops::Sum(acc, Ops::Load(p));
    if (a.trail > 0) Ops::SumW(acc, Ops::Load(p), Weight(a.trail));
    return acc;
  }
  // Row sums of any columns.
  static void SumSpans(Acc* out, const uint8_t* row, const AxisSpan* spans, size_t count) {
    for (size_t o = 0; o < count; ++o) out[o] = SpanSum(row, spans[o]);
  }
  // The row sums of a row that no other destination row uses, added where they are made.
  static void AddSpans(Acc* acc, const uint8_t* row, const AxisSpan* spans, size_t count) {
    for (size_t o = 0; o < count; ++o) Ops::Sum(acc[o], SpanSum(row, spans[o]));
  }
  static void AddTaps(Acc* acc, const uint8_t* row, const ScaleTaps& taps, size_t count) {
    const int32_t* at0 = taps.at0.data();
    const int32_t* at1 = taps.at1.data();
    const float* w0 = taps.w0.data();
    const float* w1 = taps.w1.data();
    for (size_t o = 0; o < count; ++o)
      Ops::Sum(acc[o], Ops::Load(row + at0[o]) * w0[o] + Ops::Load(row + at1[o]) * w1[o]);
  }
  // The value of a group into its columns. Four-byte pixels go four at a time, and may run
  // past the group into columns that are written later in the row (the next group, or the
  // other columns, which come after the groups), never past the end of the row.
  static void Fill(uint8_t* d, const ScaleRun& run, Out v, int32_t rowBytes) {
    uint8_t* p = d + run.dest;
#if defined(__SSE2__)
    if constexpr (sizeof(Out) == 4) {
      const int32_t end = run.dest + 4 * run.count;
      if (end + 12 <= rowBytes) {
        const __m128i x = _mm_set1_epi32(static_cast<int32_t>(v));
        uint8_t* const e = d + end;
        do {
          _mm_storeu_si128(reinterpret_cast<__m128i*>(p), x);
          p += 16;
        } while (p < e);
        return;
      }
    }
#endif
    for (int32_t c = 0; c < run.count; ++c, p += sizeof(Out)) Put(p, v);
  }
  // Groups of a row inside one source row: their pixel.
  static void CopyGroups(uint8_t* d, const uint8_t* row, const int32_t* at, const ScaleRun* runs, size_t count,
                         int32_t rowBytes) {
    for (size_t g = 0; g < count; ++g) Fill(d, runs[g], Ops::UnitValue(row + at[g]), rowBytes);
  }
  // Groups of other rows: their value.
  static void SpreadGroups(uint8_t* d, const Out* values, const ScaleRun* runs, size_t count, int32_t rowBytes) {
    for (size_t g = 0; g < count; ++g) Fill(d, runs[g], values[g], rowBytes);
  }
  // Groups over at most two source rows: p0*u0 + p1*u1.
  static void GroupsTwoRows([[maybe_unused]] bool wide, Out* values, const uint8_t* row0, const uint8_t* row1,
                            const int32_t* at, size_t count, float u0, float u1, Acc guard, Acc area) {
    size_t g = 0;
#if TF_SCALE_AVX2
    if constexpr (Ops::kPixel32)
      if (wide) g = GroupsTwoRows32Avx2(values, row0, row1, at, count, u0, u1, guard[0], area[0]);
#endif
    for (; g < count; ++g)
      values[g] = Ops::Value(Ops::Load(row0 + at[g]) * u0 + Ops::Load(row1 + at[g]) * u1, guard, area);
  }
  // Other columns of a row inside one source row (or of finished sums).
  static void OthersOneRow([[maybe_unused]] bool wide, uint8_t* d, const int32_t* dest, const Acc* h,
                           const Acc* guard, const Acc* area, size_t count) {
    size_t o = 0;
#if TF_SCALE_AVX2
    if constexpr (Ops::kPixel32)
      if (wide) o = OthersOneRow32Avx2(d, dest, Lanes(h), Lanes(guard), Lanes(area), count);
#endif
    for (; o < count; ++o) Put(d + dest[o], Ops::Value(h[o], guard[o], area[o]));
  }
  // Other columns over at most two source rows: h0*u0 + h1*u1.
  static void OthersTwoRows([[maybe_unused]] bool wide, uint8_t* d, const int32_t* dest, const Acc* h0,
                            const Acc* h1, float u0, float u1, const Acc* guard, const Acc* area, size_t count) {
    size_t o = 0;
#if TF_SCALE_AVX2
    if constexpr (Ops::kPixel32)
      if (wide) o = OthersTwoRows32Avx2(d, dest, Lanes(h0), Lanes(h1), u0, u1, Lanes(guard), Lanes(area), count);
#endif
    for (; o < count; ++o) Put(d + dest[o], Ops::Value(h0[o] * u0 + h1[o] * u1, guard[o], area[o]));
  }
  // The sums of rows of many source rows: first row times its weight (or zero), whole rows,
  // last row times its weight.
  static void First(Acc* acc, const Acc* h, float w, size_t count) {
    for (size_t o = 0; o < count; ++o) {
      acc[o] = h[o];
      Ops::Mul(acc[o], w);
    }
  }
  static void Last(Acc* acc, const Acc* h, float w, size_t count) {
    for (size_t o = 0; o < count; ++o) Ops::SumW(acc[o], h[o], w);
  }
  static void GroupFirst(Acc* acc, const uint8_t* row, const int32_t* at, float w, size_t count) {
    for (size_t g = 0; g < count; ++g) {
      acc[g] = Ops::Load(row + at[g]);
      Ops::Mul(acc[g], w);
    }
  }
  static void GroupWhole(Acc* acc, const uint8_t* row, const int32_t* at, size_t count) {
    for (size_t g = 0; g < count; ++g) Ops::Sum(acc[g], Ops::Load(row + at[g]));
  }
  static void GroupLast(Acc* acc, const uint8_t* row, const int32_t* at, float w, size_t count) {
    for (size_t g = 0; g < count; ++g) Ops::SumW(acc[g], Ops::Load(row + at[g]), w);
  }
  static void GroupValues(Out* values, const Acc* acc, Acc guard, Acc area, size_t count) {
    for (size_t g = 0; g < count; ++g) values[g] = Ops::Value(acc[g], guard, area);
  }
};

// The columns of the destination rectangle, taken once per call: which are units (in groups)
// and which are "other" columns with sums of their own, with their taps, spans and areas.
template <class Ops>
struct ColumnPlan {
  using Acc = typename Ops::Acc;
  static constexpr int32_t kBytes = Ops::kBytes;                                    // per source pixel
  static constexpr int32_t kOut = static_cast<int32_t>(sizeof(typename Ops::Out));  // per destination pixel

  // Unit columns are only split off when every column is two taps; every other column is
  // "other" and has its own sums.
  bool twoTaps = true;
  // Unscaled columns: in the rows that copy their pixels, the row is the source row's bytes.
  bool straight = false;
  std::vector<int32_t> groupAt;    // per group: byte offset of its source pixel
  std::vector<ScaleRun> groupRun;  // per group: its columns
  std::vector<int32_t> otherDest;  // per other column: byte offset in the destination row
  std::vector<AxisSpan> otherSpan;
  std::vector<double> otherWidth;  // extent/65536, for the area of both axes
  ScaleTaps otherTaps;
  std::vector<Acc> otherRowArea, otherRowGuard;  // when the row lies inside one source row
  // Areas and guards of rows not inside one source row, for the row extent they were taken for.
  std::vector<Acc> otherArea, otherGuard;
  Acc unitArea = Ops::Splat(1.0f), unitGuard = Ops::Splat(StoreGuard(1.0f));
  int32_t areaExtent = -1;

  ColumnPlan(const SRectWH& sr, const SRectWH& dr, Fixed xStep, int32_t sourceWidth) {
    const size_t n = static_cast<size_t>(dr.width);
    std::vector<AxisSpan> spans(n);
    int64_t sx = int64_t{sr.left} << 16;
    for (size_t j = 0; j < n; ++j, sx += xStep) {
      spans[j] = MakeSpan(sx, sx + xStep, sourceWidth);
      const AxisSpan& a = spans[j];
      if (a.whole > 1 || (a.whole == 1 && (a.lead > 0 || a.trail > 0))) twoTaps = false;
    }
    bool previousUnit = false;
    for (size_t j = 0; j < n; ++j) {
      const AxisSpan& a = spans[j];
      const int32_t at = a.first * kBytes;
      const int32_t destAt = static_cast<int32_t>(j) * kOut;
      if (twoTaps && (a.whole < 0 || a.whole == 1)) {
        if (!previousUnit || groupAt.back() != at) {
          groupAt.push_back(at);
          groupRun.push_back(ScaleRun{destAt, 0});
        }
        ++groupRun.back().count;
        previousUnit = true;
        continue;
      }
      previousUnit = false;
      AddOther(a, at, destAt);
    }
    otherArea.resize(Others());
    otherGuard.resize(Others());
    straight = Ops::kUnitIsSameBytes && Groups() == n;
    for (size_t g = 0; straight && g < Groups(); ++g)
      straight = groupRun[g].count == 1 && groupAt[g] == groupAt[0] + static_cast<int32_t>(g) * kBytes;
  }

  size_t Groups() const { return groupAt.size(); }
  size_t Others() const { return otherDest.size(); }

  void AddOther(const AxisSpan& a, int32_t at, int32_t destAt) {
    otherDest.push_back(destAt);
    otherSpan.push_back(a);
    otherWidth.push_back(static_cast<double>(a.extent) / 65536.0);
    const float rowArea = a.whole < 0 ? 1.0f : AxisArea(a.extent);
    otherRowArea.push_back(Ops::Splat(rowArea));
    otherRowGuard.push_back(Ops::Splat(StoreGuard(rowArea)));
    int32_t at1 = at;
    float w0 = 1.0f, w1 = 0.0f;
    if (a.whole == 0) {
      if (a.lead > 0) {
        w0 = Weight(a.lead);
        if (a.trail > 0) {
          at1 = at + kBytes;
          w1 = Weight(a.trail);
        }
      } else {
        w0 = Weight(a.trail);
      }
    }
    otherTaps.at0.push_back(at);
    otherTaps.at1.push_back(at1);
    otherTaps.w0.push_back(w0);
    otherTaps.w1.push_back(w1);
  }

  // The areas and guards of a row extent (kept until the extent changes).
  void TakeAreas(int32_t extent) {
    if (extent == areaExtent) return;
    areaExtent = extent;
    const float columnArea = AxisArea(extent);
    const double rowExtent = static_cast<double>(extent) / 65536.0;
    for (size_t o = 0; o < Others(); ++o) {
      const float area = otherSpan[o].whole < 0 ? columnArea : static_cast<float>(otherWidth[o] * rowExtent);
      otherArea[o] = Ops::Splat(area);
      otherGuard[o] = Ops::Splat(StoreGuard(area));
    }
    // A unit column of one whole pixel has width 1.0, so its area is columnArea as well.
    unitArea = Ops::Splat(columnArea);
    unitGuard = Ops::Splat(StoreGuard(columnArea));
  }

  // The row sums of the other columns over one source row: made into out, or added to acc.
  void SumRow(bool wide, Acc* out, const uint8_t* row) const {
    if (twoTaps)
      ScaleRows<Ops>::SumTaps(wide, out, row, otherTaps, Others());
    else
      ScaleRows<Ops>::SumSpans(out, row, otherSpan.data(), Others());
  }
  void AddRow(Acc* acc, const uint8_t* row) const {
    if (twoTaps)
      ScaleRows<Ops>::AddTaps(acc, row, otherTaps, Others());
    else
      ScaleRows<Ops>::AddSpans(acc, row, otherSpan.data(), Others());
  }
};

// Row sums of the other columns, in slot r & 1, so that two neighbouring source rows are always
// held together.
template <class Ops>
class RowSumCache {
 public:
  using Acc = typename Ops::Acc;
  RowSumCache(const Ops& ops, const ColumnPlan<Ops>& plan, bool wide)
      : ops_(ops), plan_(plan), wide_(wide), store_(2 * plan.Others()) {}

  const Acc* Get(int32_t r) {
    const int k = r & 1;
    Acc* out = store_.data() + static_cast<size_t>(k) * plan_.Others();
    if (row_[k] != r) {
      row_[k] = r;
      plan_.SumRow(wide_, out, ops_.At(0, r));
    }
    return out;
  }

 private:
  const Ops& ops_;
  const ColumnPlan<Ops>& plan_;
  bool wide_;
  std::vector<Acc> store_;
  int32_t row_[2] = {-1, -1};
};

// The direct ScaleAll: the plan and the cache, and one function per kind of destination row
// (by the source rows its area covers).
template <class Ops>
class DirectScaler {
 public:
  using Acc = typename Ops::Acc;
  using Out = typename Ops::Out;
  using Rows = ScaleRows<Ops>;
  static_assert(Ops::kUnitIsCopy, "the store of a unit area must be a copy");

  DirectScaler(const Ops& ops, const SRectWH& sr, const SRectWH& dr, Fixed xStep, const SSize& source, bool wide)
      : ops_(ops),
        plan_(sr, dr, xStep, source.width),
        sums_(ops, plan_, wide),
        wide_(wide),
        groupValue_(plan_.Groups()),
        groupAcc_(plan_.Groups()),
        otherAcc_(plan_.Others()),
        rowBytes_(static_cast<size_t>(ColumnPlan<Ops>::kOut) * static_cast<size_t>(dr.width)) {}

  size_t RowBytes() const { return rowBytes_; }

  // A row inside one source row, or of exactly one whole source row (its sums are 0 + h and its
  // area the columns' own): the values of that row alone.
  void InsideOneRow(uint8_t* d, int32_t r) {
    const ColumnPlan<Ops>& p = plan_;
    if (p.straight) {
      std::memcpy(d, ops_.At(0, r) + p.groupAt[0], rowBytes_);
      return;
    }
    Rows::CopyGroups(d, ops_.At(0, r), p.groupAt.data(), p.groupRun.data(), p.Groups(), RowBytes32());
    if (p.Others() > 0)
      Rows::OthersOneRow(wide_, d, p.otherDest.data(), sums_.Get(r), p.otherRowGuard.data(),
                         p.otherRowArea.data(), p.Others());
  }

  // Two source rows, or part of one: r0*u0 + r1*u1 as the taps of the columns.
  void TwoRows(uint8_t* d, int32_t r0, int32_t r1, float u0, float u1) {
    const ColumnPlan<Ops>& p = plan_;
    if (p.Groups() > 0) {
      Rows::GroupsTwoRows(wide_, groupValue_.data(), ops_.At(0, r0), ops_.At(0, r1), p.groupAt.data(), p.Groups(),
                          u0, u1, p.unitGuard, p.unitArea);
      Rows::SpreadGroups(d, groupValue_.data(), p.groupRun.data(), p.Groups(), RowBytes32());
    }
    if (p.Others() > 0) {
      const Acc* h0 = sums_.Get(r0);
      const Acc* h1 = sums_.Get(r1);
      Rows::OthersTwoRows(wide_, d, p.otherDest.data(), h0, h1, u0, u1, p.otherGuard.data(), p.otherArea.data(),
                          p.Others());
    }
  }

  // Many source rows, as the per-pixel algorithm sums them (a unit column's row sum is its
  // pixel): first row times its weight (or zero), whole rows, last row times its weight.
  void ManyRows(uint8_t* d, const AxisSpan& v) {
    const ColumnPlan<Ops>& p = plan_;
    const size_t groups = p.Groups(), others = p.Others();
    int32_t r = v.first;
    int32_t k = 0;
    if (v.lead > 0) {
      const float w = Weight(v.lead);
      Rows::GroupFirst(groupAcc_.data(), ops_.At(0, r), p.groupAt.data(), w, groups);
      Rows::First(otherAcc_.data(), sums_.Get(r), w, others);
      ++r;
    } else if (v.whole > 0) {
      // 0 + h is h: the first whole row is taken as it is.
      Rows::GroupFirst(groupAcc_.data(), ops_.At(0, r), p.groupAt.data(), 1.0f, groups);
      p.SumRow(wide_, otherAcc_.data(), ops_.At(0, r));
      ++r;
      ++k;
    } else {
      std::fill(groupAcc_.begin(), groupAcc_.end(), Ops::Zero());
      std::fill(otherAcc_.begin(), otherAcc_.end(), Ops::Zero());
    }
    // A whole row lies inside this destination row's area, so no other row uses its sums:
    // they are added as they are made.
    for (; k < v.whole; ++k, ++r) {
      Rows::GroupWhole(groupAcc_.data(), ops_.At(0, r), p.groupAt.data(), groups);
      p.AddRow(otherAcc_.data(), ops_.At(0, r));
    }
    if (v.trail > 0) {
      const float w = Weight(v.trail);
      Rows::GroupLast(groupAcc_.data(), ops_.At(0, r), p.groupAt.data(), w, groups);
      Rows::Last(otherAcc_.data(), sums_.Get(r), w, others);
    }
    Rows::GroupValues(groupValue_.data(), groupAcc_.data(), p.unitGuard, p.unitArea, groups);
    Rows::SpreadGroups(d, groupValue_.data(), p.groupRun.data(), groups, RowBytes32());
    Rows::OthersOneRow(wide_, d, p.otherDest.data(), otherAcc_.data(), p.otherGuard.data(), p.otherArea.data(),
                       others);
  }

  // A row not inside one source row: its areas, then TwoRows or ManyRows.
  void CoveringRows(uint8_t* d, const AxisSpan& v) {
    plan_.TakeAreas(v.extent);
    if (v.whole != 0) {
      ManyRows(d, v);
      return;
    }
    int32_t r1 = v.first;
    float u0, u1 = 0.0f;
    if (v.lead > 0) {
      u0 = Weight(v.lead);
      if (v.trail > 0) {
        r1 = v.first + 1;
        u1 = Weight(v.trail);
      }
    } else {
      u0 = Weight(v.trail);
    }
    TwoRows(d, v.first, r1, u0, u1);
  }

 private:
  int32_t RowBytes32() const { return static_cast<int32_t>(rowBytes_); }

  const Ops& ops_;
  ColumnPlan<Ops> plan_;
  RowSumCache<Ops> sums_;
  bool wide_;
  std::vector<Out> groupValue_;
  std::vector<Acc> groupAcc_, otherAcc_;
  size_t rowBytes_;
};

template <class Ops, class Dest>
void ScaleAllDirect(const Ops& ops, const Dest& dest, const SRectWH& sr, const SRectWH& dr, Fixed xStep,
                    Fixed yStep, const SSize& source) {
#if TF_SCALE_AVX2
  const bool wide = Ops::kPixel32 && UseAvx2Scaling();
#else
  const bool wide = false;
#endif
  DirectScaler<Ops> scaler(ops, sr, dr, xStep, source, wide);
  constexpr int32_t kOut = ColumnPlan<Ops>::kOut;
  int32_t madeRow = -1;  // the source row of the last row made inside one source row
  const uint8_t* made = nullptr;
  int64_t sy = int64_t{sr.top} << 16;
  for (int32_t i = 0; i < dr.height; ++i, sy += yStep) {
    const AxisSpan v = MakeSpan(sy, sy + yStep, source.height);
    uint8_t* const d = dest.Row(dr.top + i) + std::ptrdiff_t{kOut} * dr.left;
    if (v.whole < 0 || (v.whole == 1 && v.lead == 0 && v.trail == 0)) {
      // A run of rows over one source row makes the first and copies it.
      if (v.first == madeRow) {
        std::memcpy(d, made, scaler.RowBytes());
      } else {
        scaler.InsideOneRow(d, v.first);
        madeRow = v.first;
        made = d;
      }
      continue;
    }
    madeRow = -1;
    scaler.CoveringRows(d, v);
  }
}

// ---- Whole-ratio reductions --------------------------------------------------------------------
// Where the source rectangle is exactly n times the destination's each way (n = 2, 3 or 4),
// every area is an n x n block of whole pixels. Its sums are integers below 2^24, exact in
// Single in any order; the area is n*n and the guard 0.01, so each byte is
// trunc((s + 0.01)/(n*n)). s + 0.01 rounds to a Single strictly between s and s + 1, and the
// quotient stays more than 0.1 below the next whole number, so the byte is floor(s/(n*n)):
// integer sums and an integer division give the bytes of the Single arithmetic.

// floor(s/(n*n)) for 0 <= s <= 255*n*n.
template <int N>
inline uint32_t WholeQuotient(uint32_t s) {
  if constexpr (N == 2) return s >> 2;
  if constexpr (N == 4) return s >> 4;
  return (s * 7282u) >> 16;  // s/9 for s <= 2295
}

#if defined(__SSE2__)
template <int N>
inline __m128i WholeQuotients(__m128i s) {
  if constexpr (N == 2) return _mm_srli_epi16(s, 2);
  if constexpr (N == 4) return _mm_srli_epi16(s, 4);
  return _mm_mulhi_epu16(s, _mm_set1_epi16(7282));
}

// Sums of the four lanes of n consecutive pixels, for two destination pixels ([d0, d1]), from
// 16-bit column sums held two pixels a vector.
template <int N>
inline __m128i WholeTwo(const __m128i* v) {
  if constexpr (N == 2) {
    return _mm_add_epi16(_mm_unpacklo_epi64(v[0], v[1]), _mm_unpackhi_epi64(v[0], v[1]));
  } else if constexpr (N == 3) {
    const __m128i x = _mm_unpacklo_epi64(v[0], _mm_srli_si128(v[1], 8));                              // p0, p3
    const __m128i y = _mm_unpacklo_epi64(_mm_srli_si128(v[0], 8), v[2]);                              // p1, p4
    const __m128i z = _mm_castpd_si128(_mm_move_sd(_mm_castsi128_pd(v[2]), _mm_castsi128_pd(v[1])));  // p2, p5
    return _mm_add_epi16(_mm_add_epi16(x, y), z);
  } else {
    const __m128i x = _mm_add_epi16(v[0], v[1]);
    const __m128i y = _mm_add_epi16(v[2], v[3]);
    return _mm_add_epi16(_mm_unpacklo_epi64(x, y), _mm_unpackhi_epi64(x, y));
  }
}
#endif

#if TF_SCALE_AVX2
// WholeTwo and WholeRow's vector loop on eight destination pixels: two groups of four, the first
// in the low half of every vector and the second in the high half, each half as the SSE2 loop.
template <int N>
TF_SCALE_TARGET_AVX2 inline __m256i WholeTwoAvx2(const __m256i* v) {
  if constexpr (N == 2) {
    return _mm256_add_epi16(_mm256_unpacklo_epi64(v[0], v[1]), _mm256_unpackhi_epi64(v[0], v[1]));
  } else if constexpr (N == 3) {
    const __m256i x = _mm256_unpacklo_epi64(v[0], _mm256_srli_si256(v[1], 8));
    const __m256i y = _mm256_unpacklo_epi64(_mm256_srli_si256(v[0], 8), v[2]);
    const __m256i z = _mm256_blend_epi32(v[2], v[1], 0x33);
    return _mm256_add_epi16(_mm256_add_epi16(x, y), z);
  } else {
    const __m256i x = _mm256_add_epi16(v[0], v[1]);
    const __m256i y = _mm256_add_epi16(v[2], v[3]);
    return _mm256_add_epi16(_mm256_unpacklo_epi64(x, y), _mm256_unpackhi_epi64(x, y));
  }
}

template <int N>
TF_SCALE_TARGET_AVX2 inline __m256i WholeQuotientsAvx2(__m256i s) {
  if constexpr (N == 2) return _mm256_srli_epi16(s, 2);
  if constexpr (N == 4) return _mm256_srli_epi16(s, 4);
  return _mm256_mulhi_epu16(s, _mm256_set1_epi16(7282));
}

// Returns how many destination pixels it made (a multiple of 8).
template <int N>
TF_SCALE_TARGET_AVX2 int32_t WholeRowAvx2(uint8_t* d, const uint8_t* const* rows, int32_t width) {
  const __m256i z = _mm256_setzero_si256();
  int32_t x = 0;
  for (; x + 8 <= width; x += 8) {
    __m256i v[2 * N];
    const size_t at = static_cast<size_t>(x) * N * 4;
    for (int k = 0; k < N; ++k)
      for (int j = 0; j < N; ++j) {
        const uint8_t* p = rows[k] + at + 16 * j;
        const __m256i b =
            _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
                                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * N)), 1);
        const __m256i lo = _mm256_unpacklo_epi8(b, z), hi = _mm256_unpackhi_epi8(b, z);
        v[2 * j] = k == 0 ? lo : _mm256_add_epi16(v[2 * j], lo);
        v[2 * j + 1] = k == 0 ? hi : _mm256_add_epi16(v[2 * j + 1], hi);
      }
    const __m256i lo = WholeQuotientsAvx2<N>(WholeTwoAvx2<N>(v));
    const __m256i hi = WholeQuotientsAvx2<N>(WholeTwoAvx2<N>(v + N));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 4 * x), _mm256_packus_epi16(lo, hi));
  }
  return x;
}
#endif

// One destination row from its n source rows: per destination pixel, the n x n block summed
// per byte lane (16 bits suffice: at most 16*255), then divided.
template <int N>
void WholeRow([[maybe_unused]] bool wide, uint8_t* d, const uint8_t* const* rows, int32_t width) {
  int32_t x = 0;
#if TF_SCALE_AVX2
  if (wide) x = WholeRowAvx2<N>(d, rows, width);
#endif
#if defined(__SSE2__)
  const __m128i z = _mm_setzero_si128();
  for (; x + 4 <= width; x += 4) {
    // Four destination pixels: 4n source pixels of each row, n vectors; as 16-bit column sums,
    // 2n vectors of two pixels.
    __m128i v[2 * N];
    const size_t at = static_cast<size_t>(x) * N * 4;
    for (int j = 0; j < N; ++j) {
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[0] + at + 16 * j));
      v[2 * j] = _mm_unpacklo_epi8(b, z);
      v[2 * j + 1] = _mm_unpackhi_epi8(b, z);
    }
    for (int k = 1; k < N; ++k)
      for (int j = 0; j < N; ++j) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k] + at + 16 * j));
        v[2 * j] = _mm_add_epi16(v[2 * j], _mm_unpacklo_epi8(b, z));
        v[2 * j + 1] = _mm_add_epi16(v[2 * j + 1], _mm_unpackhi_epi8(b, z));
      }
    const __m128i lo = WholeQuotients<N>(WholeTwo<N>(v));
    const __m128i hi = WholeQuotients<N>(WholeTwo<N>(v + N));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * x), _mm_packus_epi16(lo, hi));
  }
#endif
  for (; x < width; ++x)
    for (int c = 0; c < 4; ++c) {
      uint32_t s = 0;
      for (int k = 0; k < N; ++k)
        for (int j = 0; j < N; ++j) s += rows[k][(static_cast<size_t>(x) * N + j) * 4 + c];
      d[4 * x + c] = static_cast<uint8_t>(WholeQuotient<N>(s));
    }
}

template <int N>
void ScaleWhole(const SDibView& source, const SDibView& dest, const SRectWH& sr, const SRectWH& dr) {
#if TF_SCALE_AVX2
  const bool wide = UseAvx2Scaling();
#else
  const bool wide = false;
#endif
  const uint8_t* rows[N];
  for (int32_t i = 0; i < dr.height; ++i) {
    for (int k = 0; k < N; ++k)
      rows[k] = source.bits + source.rowOffsets[sr.top + i * N + k] + std::ptrdiff_t{4} * sr.left;
    WholeRow<N>(wide, dest.bits + dest.rowOffsets[dr.top + i] + std::ptrdiff_t{4} * dr.left, rows, dr.width);
  }
}

// The whole ratio of a call (2, 3 or 4), or 0.
int32_t WholeRatio(const SRectWH& sr, const SRectWH& dr, Fixed xStep, Fixed yStep) {
  for (int32_t n = 2; n <= 4; ++n)
    if (xStep == (n << 16) && yStep == (n << 16) && int64_t{sr.width} == int64_t{n} * dr.width &&
        int64_t{sr.height} == int64_t{n} * dr.height)
      return n;
  return 0;
}

inline int32_t Sat(int64_t v) { return SaturateInt32(v); }

// The direct loops read the source through its view: it must be valid and cover the size the
// geometry was taken for.
template <class Image>
bool SourceCovers(const Image* image, const SSize& size) {
  return image != nullptr && image->IsValid() && image->Width() >= size.width && image->Height() >= size.height;
}

}  // namespace

namespace scale_detail {

void ForceBaselineScaling(bool force) {
#if TF_SCALE_AVX2
  gForceBaselineScaling = force;
#else
  (void)force;
#endif
}

}  // namespace scale_detail

// ---------------------------------------------------------------------------------------------
// CScaleImage

CScaleImage::CScaleImage()
    : sourceSize_{0, 0},
      destSize_{0, 0},
      sourceRect_{0, 0, 0, 0},
      destRect_{0, 0, 0, 0},
      xStep_(65536),
      yStep_(65536) {}

CScaleImage::~CScaleImage() = default;

void CScaleImage::AddPixel(SScaleAcc& acc, const uint8_t* pixel) {
  acc.sum[0] += static_cast<float>(pixel[2]);
  acc.sum[1] += static_cast<float>(pixel[1]);
  acc.sum[2] += static_cast<float>(pixel[0]);
  acc.sum[3] += static_cast<float>(pixel[3]);
}

void CScaleImage::AddPixelWeighted(SScaleAcc& acc, const uint8_t* pixel, float weight) {
  acc.sum[0] += weight * static_cast<float>(pixel[2]);
  acc.sum[1] += weight * static_cast<float>(pixel[1]);
  acc.sum[2] += weight * static_cast<float>(pixel[0]);
  acc.sum[3] += weight * static_cast<float>(pixel[3]);
}

void CScaleImage::StorePixel(uint8_t* dest, const SScaleAcc& acc, float area) {
  const float guard = StoreGuard(area);
  dest[2] = ClampTruncByte((acc.sum[0] + guard) / area);
  dest[1] = ClampTruncByte((acc.sum[1] + guard) / area);
  dest[0] = ClampTruncByte((acc.sum[2] + guard) / area);
  dest[3] = ClampTruncByte((acc.sum[3] + guard) / area);
}

bool CScaleImage::ComputeSteps() {
  if (sourceSize_.width > kMaxSourceSide || sourceSize_.height > kMaxSourceSide) return false;
  if (!ClipRectToSize(sourceRect_, sourceSize_)) return false;
  if (!ClipRectToSize(destRect_, destSize_)) return false;
  xStep_ = FixDiv(sourceRect_.width, destRect_.width);
  yStep_ = FixDiv(sourceRect_.height, destRect_.height);
  return true;
}

bool CScaleImage::Scale(const SRectWH& source, const SRectWH& dest) {
  try {
    sourceRect_ = source;
    destRect_ = dest;
    if (!ComputeSteps()) return false;
    ScaleAll();
    return true;
  } catch (...) {
    return false;
  }
}

void CScaleImage::ScaleAll() { ScaleAllGeneric(); }

void CScaleImage::ScaleAllGeneric() {
  int64_t sy = int64_t{sourceRect_.top} << 16;
  for (int32_t y = destRect_.top; y < destRect_.top + destRect_.height; ++y, sy += yStep_) {
    int64_t sx = int64_t{sourceRect_.left} << 16;
    for (int32_t x = destRect_.left; x < destRect_.left + destRect_.width; ++x, sx += xStep_)
      AverageArea(DestPixel(x, y), Sat(sx), Sat(sy), Sat(sx + xStep_), Sat(sy + yStep_));
  }
}

void CScaleImage::AverageArea(uint8_t* dest, Fixed x0, Fixed y0, Fixed x1, Fixed y1) {
  AverageAreaGeneric(dest, x0, y0, x1, y1);
}

void CScaleImage::AverageAreaGeneric(uint8_t* dest, Fixed x0, Fixed y0, Fixed x1, Fixed y1) {
  VirtualOps ops{this};
  AverageAreaWith(ops, dest, x0, y0, x1, y1, sourceSize_);
}

void CScaleImage::AddRow(int32_t x, int32_t y, SScaleAcc& acc, int32_t leftWeight, int32_t rightWeight,
                         int32_t count) {
  if (leftWeight > 0) AddPixelWeighted(acc, SourcePixel(x++, y), Weight(leftWeight));
  for (int32_t k = 0; k < count; ++k) AddPixel(acc, SourcePixel(x++, y));
  if (rightWeight > 0) AddPixelWeighted(acc, SourcePixel(x, y), Weight(rightWeight));
}

bool CScaleImage::SampleArea(uint8_t* dest, TRect& area) {
  const int64_t right = int64_t{sourceSize_.width} << 16;
  const int64_t bottom = int64_t{sourceSize_.height} << 16;
  const int64_t l = std::max<int64_t>(area.left, 0), t = std::max<int64_t>(area.top, 0);
  const int64_t r = std::min<int64_t>(area.right, right), b = std::min<int64_t>(area.bottom, bottom);
  if (l >= r || t >= b) return false;
  area = {Sat(l), Sat(t), Sat(r), Sat(b)};
  AverageArea(dest, area.left, area.top, area.right, area.bottom);
  return true;
}

void CScaleImage::SampleAreaRaw(uint8_t* dest, const TRect& area) {
  AverageArea(dest, area.left, area.top, area.right, area.bottom);
}

// ---------------------------------------------------------------------------------------------
// CScaleImageTMTC

CScaleImageTMTC::CScaleImageTMTC(TMTC* source, TMTC* dest) {
  SetDirectClass(typeid(CScaleImageTMTC));
  SetImages(source, dest);
}

void CScaleImageTMTC::SetImages(TMTC* source, TMTC* dest) {
  source_ = source;
  dest_ = dest;
  sourceSize_ = source ? source->Size() : SSize{0, 0};
  if (dest) destSize_ = dest->Size();
}

bool CScaleImageTMTC::IsPlain() const { return IsDirectClass() && SourceCovers(source_, sourceSize_); }

const uint8_t* CScaleImageTMTC::SourcePixel(int32_t x, int32_t y) {
  return reinterpret_cast<const uint8_t*>(PixelAddr32(source_->View(), x, y));
}

uint8_t* CScaleImageTMTC::DestPixel(int32_t x, int32_t y) {
  return reinterpret_cast<uint8_t*>(PixelAddr32(dest_->View(), x, y));
}

void CScaleImageTMTC::ScaleAll() {
  if (IsPlain() && dest_ && dest_->IsValid()) {
    switch (WholeRatio(sourceRect_, destRect_, xStep_, yStep_)) {
      case 2: return ScaleWhole<2>(source_->View(), dest_->View(), sourceRect_, destRect_);
      case 3: return ScaleWhole<3>(source_->View(), dest_->View(), sourceRect_, destRect_);
      case 4: return ScaleWhole<4>(source_->View(), dest_->View(), sourceRect_, destRect_);
      default: break;
    }
    Ops32<RowView> ops{RowView{source_->View()}};
    ScaleAllDirect(ops, DestView{dest_->View(), 4}, sourceRect_, destRect_, xStep_, yStep_, sourceSize_);
  } else {
    ScaleAllGeneric();
  }
}

void CScaleImageTMTC::AverageArea(uint8_t* dest, Fixed x0, Fixed y0, Fixed x1, Fixed y1) {
  if (IsPlain()) {
    Ops32<RowView> ops{RowView{source_->View()}};
    AverageAreaWith(ops, dest, x0, y0, x1, y1, sourceSize_);
  } else {
    AverageAreaGeneric(dest, x0, y0, x1, y1);
  }
}

// ---------------------------------------------------------------------------------------------
// CScaleImageCH2TMTC

CScaleImageCH2TMTC::CScaleImageCH2TMTC(TChannel* source, TMTC* dest) : source_(source), dest_(dest) {
  SetDirectClass(typeid(CScaleImageCH2TMTC));
  sourceSize_ = source ? source->Size() : SSize{0, 0};
  if (dest) destSize_ = dest->Size();
}

void CScaleImageCH2TMTC::AddPixel(SScaleAcc& acc, const uint8_t* pixel) {
  acc.sum[0] += static_cast<float>(*pixel);
}

void CScaleImageCH2TMTC::AddPixelWeighted(SScaleAcc& acc, const uint8_t* pixel, float weight) {
  acc.sum[0] += weight * static_cast<float>(*pixel);
}

void CScaleImageCH2TMTC::StorePixel(uint8_t* dest, const SScaleAcc& acc, float area) {
  const uint8_t v = StoreValue8(acc.sum[0], area);
  dest[0] = dest[1] = dest[2] = v;
  dest[3] = 255;
}

const uint8_t* CScaleImageCH2TMTC::SourcePixel(int32_t x, int32_t y) { return PixelAddr8(source_->View(), x, y); }

uint8_t* CScaleImageCH2TMTC::DestPixel(int32_t x, int32_t y) {
  return reinterpret_cast<uint8_t*>(PixelAddr32(dest_->View(), x, y));
}

bool CScaleImageCH2TMTC::IsPlain() const { return IsDirectClass() && SourceCovers(source_, sourceSize_); }

void CScaleImageCH2TMTC::ScaleAll() {
  if (IsPlain() && dest_ && dest_->IsValid()) {
    Ops8<RowView, Store8Kind::kGrey32> ops{RowView{source_->View()}};
    ScaleAllDirect(ops, DestView{dest_->View(), 4}, sourceRect_, destRect_, xStep_, yStep_, sourceSize_);
  } else {
    ScaleAllGeneric();
  }
}

void CScaleImageCH2TMTC::AverageArea(uint8_t* dest, Fixed x0, Fixed y0, Fixed x1, Fixed y1) {
  if (IsPlain()) {
    Ops8<RowView, Store8Kind::kGrey32> ops{RowView{source_->View()}};
    AverageAreaWith(ops, dest, x0, y0, x1, y1, sourceSize_);
  } else {
    AverageAreaGeneric(dest, x0, y0, x1, y1);
  }
}

// ---------------------------------------------------------------------------------------------
// CScaleImage8 and its subclasses

void CScaleImage8::AddPixel(SScaleAcc& acc, const uint8_t* pixel) { acc.sum[0] += static_cast<float>(*pixel); }

void CScaleImage8::AddPixelWeighted(SScaleAcc& acc, const uint8_t* pixel, float weight) {
  acc.sum[0] += weight * static_cast<float>(*pixel);
}

void CScaleImage8::StorePixel(uint8_t* dest, const SScaleAcc& acc, float area) {
  *dest = StoreValue8(acc.sum[0], area);
}

CScaleImageCH::CScaleImageCH(TChannel* source, TChannel* dest) : source_(source), dest_(dest) {
  SetDirectClass(typeid(CScaleImageCH));
  sourceSize_ = source ? source->Size() : SSize{0, 0};
  if (dest) destSize_ = dest->Size();
}

const uint8_t* CScaleImageCH::SourcePixel(int32_t x, int32_t y) { return PixelAddr8(source_->View(), x, y); }

uint8_t* CScaleImageCH::DestPixel(int32_t x, int32_t y) { return PixelAddr8(dest_->View(), x, y); }

bool CScaleImageCH::IsPlain() const { return IsDirectClass() && SourceCovers(source_, sourceSize_); }

void CScaleImageCH::ScaleAll() {
  if (IsPlain() && dest_ && dest_->IsValid()) {
    Ops8<RowView, Store8Kind::kByte> ops{RowView{source_->View()}};
    ScaleAllDirect(ops, DestView{dest_->View(), 1}, sourceRect_, destRect_, xStep_, yStep_, sourceSize_);
  } else {
    ScaleAllGeneric();
  }
}

void CScaleImageCH::AverageArea(uint8_t* dest, Fixed x0, Fixed y0, Fixed x1, Fixed y1) {
  if (IsPlain()) {
    Ops8<RowView, Store8Kind::kByte> ops{RowView{source_->View()}};
    AverageAreaWith(ops, dest, x0, y0, x1, y1, sourceSize_);
  } else {
    AverageAreaGeneric(dest, x0, y0, x1, y1);
  }
}

CScaleImageCH_fixp::CScaleImageCH_fixp(TChannel* source, TChannel* /*dest*/) : CScaleImageCH(source, nullptr) {
  SetDirectClass(typeid(CScaleImageCH_fixp));
}

void CScaleImageCH_fixp::StorePixel(uint8_t* dest, const SScaleAcc& acc, float area) {
  const int32_t v = StoreValueFix(acc.sum[0], area);
  std::memcpy(dest, &v, 4);
}

bool CScaleImageCH_fixp::IsPlain() const { return IsDirectClass() && SourceCovers(source_, sourceSize_); }

void CScaleImageCH_fixp::ScaleAll() { ScaleAllGeneric(); }

void CScaleImageCH_fixp::AverageArea(uint8_t* dest, Fixed x0, Fixed y0, Fixed x1, Fixed y1) {
  if (IsPlain()) {
    Ops8<RowView, Store8Kind::kFix> ops{RowView{source_->View()}};
    AverageAreaWith(ops, dest, x0, y0, x1, y1, sourceSize_);
  } else {
    AverageAreaGeneric(dest, x0, y0, x1, y1);
  }
}

CScaleImageBYTE::CScaleImageBYTE(const uint8_t* source, uint8_t* dest, const SSize& sourceSize,
                                 const SSize& destSize)
    : source_(source), dest_(dest) {
  SetDirectClass(typeid(CScaleImageBYTE));
  sourceSize_ = source ? sourceSize : SSize{0, 0};
  if (dest) destSize_ = destSize;
}

const uint8_t* CScaleImageBYTE::SourcePixel(int32_t x, int32_t y) {
  return source_ + std::ptrdiff_t{y} * sourceSize_.width + x;
}

uint8_t* CScaleImageBYTE::DestPixel(int32_t x, int32_t y) {
  return dest_ + std::ptrdiff_t{y} * destSize_.width + x;
}

bool CScaleImageBYTE::IsPlain() const { return IsDirectClass() && source_ != nullptr; }

void CScaleImageBYTE::ScaleAll() {
  if (IsPlain() && dest_) {
    Ops8<ViewBytes, Store8Kind::kByte> ops{ViewBytes{source_, sourceSize_.width}};
    ScaleAllDirect(ops, DestBytes{dest_, destSize_.width}, sourceRect_, destRect_, xStep_, yStep_, sourceSize_);
  } else {
    ScaleAllGeneric();
  }
}

void CScaleImageBYTE::AverageArea(uint8_t* dest, Fixed x0, Fixed y0, Fixed x1, Fixed y1) {
  if (IsPlain()) {
    Ops8<ViewBytes, Store8Kind::kByte> ops{ViewBytes{source_, sourceSize_.width}};
    AverageAreaWith(ops, dest, x0, y0, x1, y1, sourceSize_);
  } else {
    AverageAreaGeneric(dest, x0, y0, x1, y1);
  }
}

// ---------------------------------------------------------------------------------------------
// Free routines

bool ScaleImageInto(TMTC& dest, TMTC& source, bool fitCentered, uint32_t background) {
  SRectWH rect{0, 0, dest.Width(), dest.Height()};
  if (fitCentered) PlaceSizeInBox(rect, dest.Size(), source.Size());
  dest.FillAll(background);
  CScaleImageTMTC scaler(&source, &dest);
  return scaler.Scale(SRectWH{0, 0, source.Width(), source.Height()}, rect);
}

bool ScaleChannelInto(TMTC& dest, TChannel& source, bool fitCentered, uint32_t background) {
  SRectWH rect{0, 0, dest.Width(), dest.Height()};
  if (fitCentered) PlaceSizeInBox(rect, dest.Size(), source.Size());
  dest.FillAll(background);
  CScaleImageCH2TMTC scaler(&source, &dest);
  return scaler.Scale(SRectWH{0, 0, source.Width(), source.Height()}, rect);
}

TMTC* MakeScaledCopy(const SSize& box, TMTC& source, bool shrinkToFit, bool fitAlways, uint32_t background) {
  try {
    SRectWH rect{0, 0, 0, 0};
    const bool placed =
        fitAlways ? FitSizeInBox(rect, box, source.Size()) : PlaceSizeInBox(rect, box, source.Size());
    if (!placed) return nullptr;
    SSize size = box;
    if (shrinkToFit) {
      size = SSize{rect.width, rect.height};
      rect.left = 0;
      rect.top = 0;
    }
    std::unique_ptr<TMTC> image(new TMTC(size));
    if (!image->IsValid()) return nullptr;
    image->FillAll(background);
    CScaleImageTMTC scaler(&source, image.get());
    if (!scaler.Scale(SRectWH{0, 0, source.Width(), source.Height()}, rect)) return nullptr;
    return image.release();
  } catch (...) {
    return nullptr;
  }
}

namespace {

inline bool ValidScale(float s) { return std::isfinite(s) && s > 0.0f; }

// 32-bit wrapping sums, as the fixed-point arithmetic of the rotation does.
inline int32_t Wrap(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); }

// Pixel centre relative to the destination centre, in 16.16.
inline int32_t CentreOffset(int32_t p, int32_t size) {
  return Sat((int64_t{p} << 16) + 32768 - int64_t{size} * 32768);
}

}  // namespace

namespace {

// ---- Areas of at most two pixels each way ------------------------------------------------------
// At a zoom of 1 or more an area spans at most two source pixels along each axis. AverageAreaWith
// then reduces to two taps per axis, p0*w0 + p1*w1, with weight 1 for a pixel taken whole and 0
// for a missing tap: p*1 = p, p*0 = 0 and 0 + x = x (sums are never -0), so the sums are the
// same Single operations in the same order, bit for bit.
struct Tap2 {
  int32_t at0, at1;  // source columns or rows
  float w0, w1;
  int32_t extent;  // 16.16, after the edge rules
  bool unit;       // inside one pixel: taken unweighted
};

// The taps of one axis of an area (as MakeSpan cuts it); false when the span has more than one
// whole pixel, or one whole pixel and a part.
inline bool MakeTap2(int64_t a0, int64_t a1, int32_t size, Tap2& t) {
  const AxisSpan s = MakeSpan(a0, a1, size);
  t.extent = s.extent;
  t.at0 = t.at1 = s.first;
  t.w0 = 1.0f;
  t.w1 = 0.0f;
  t.unit = s.whole < 0;
  if (t.unit || (s.whole == 1 && s.lead == 0 && s.trail == 0)) return true;
  if (s.whole != 0) return false;
  if (s.lead > 0) {
    t.w0 = Weight(s.lead);
    if (s.trail > 0) {
      t.at1 = s.first + 1;
      t.w1 = Weight(s.trail);
    }
  } else {
    t.w0 = Weight(s.trail);
  }
  return true;
}

// The area AverageAreaWith divides by for these taps.
inline float TapArea(const Tap2& x, const Tap2& y) {
  if (x.unit) return y.unit ? 1.0f : AxisArea(y.extent);
  return y.unit ? AxisArea(x.extent) : BoxArea(x.extent, y.extent);
}

// The sum of an area over the rows r0 and r1 (the row taps' weights wy0, wy1).
inline V4 TapSum(const uint8_t* r0, const uint8_t* r1, const Tap2& x, float wy0, float wy1) {
  const V4 h0 =
      LoadPixel32(r0 + std::ptrdiff_t{4} * x.at0) * x.w0 + LoadPixel32(r0 + std::ptrdiff_t{4} * x.at1) * x.w1;
  const V4 h1 =
      LoadPixel32(r1 + std::ptrdiff_t{4} * x.at0) * x.w0 + LoadPixel32(r1 + std::ptrdiff_t{4} * x.at1) * x.w1;
  return h0 * wy0 + h1 * wy1;
}

// MakeTap2 of an area [a0, a0 + g) that lies inside the source with g <= 65536 (no edge rule
// applies, the extent is g), written with selects instead of branches: the kind of the span
// changes from pixel to pixel of a turned view.
inline void InteriorTap2(int32_t a0, int32_t g, Tap2& t) {
  const int32_t frac = a0 & 65535, end = frac + g;
  const bool split = frac > 0 && end >= 65536;  // a part of two pixels (or one whole-ended part)
  t.unit = frac > 0 && end < 65536;
  t.at0 = a0 >> 16;
  const int32_t trail = split ? end & 65535 : 0;
  t.at1 = t.at0 + (trail > 0 ? 1 : 0);
  t.w0 = Weight(t.unit ? 65536 : (frac > 0 ? 65536 - frac : g));
  t.w1 = Weight(trail);
  t.extent = g;
}

inline const uint8_t* ViewRow(const SDibView& v, int32_t y) { return v.bits + v.rowOffsets[y]; }

// An unturned view (sine 0): every column's source span is the same on every row and every
// row's on every column, so the taps of both axes are taken once. False (nothing written) when
// some column or row spans more than two source pixels: the caller takes the per-pixel loop.
template <class Finish>
bool ScaleUnturned(TMTC& dest, const SDibView& source, const SSize& sourceSize, const SRectWH& destRect,
                   const std::vector<int64_t>& sxs, const std::vector<int64_t>& sys, int32_t g,
                   uint32_t background, Finish& finish) {
  const int64_t limitX = int64_t{sourceSize.width} << 16, limitY = int64_t{sourceSize.height} << 16;
  const size_t n = static_cast<size_t>(destRect.width);
  std::vector<Tap2> cols(n);
  std::vector<uint8_t> inside(n);
  for (size_t j = 0; j < n; ++j) {
    const int64_t l = std::max<int64_t>(sxs[j], 0), r = std::min<int64_t>(sxs[j] + g, limitX);
    inside[j] = l < r;
    if (inside[j] && !MakeTap2(l, r, sourceSize.width, cols[j])) return false;
  }
  std::vector<Tap2> rows(static_cast<size_t>(destRect.height));
  std::vector<uint8_t> rowInside(rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    const int64_t t = std::max<int64_t>(sys[i], 0), b = std::min<int64_t>(sys[i] + g, limitY);
    rowInside[i] = t < b;
    if (rowInside[i] && !MakeTap2(t, b, sourceSize.height, rows[i])) return false;
  }
  // Areas and guards per column, for the row kind they were taken for.
  std::vector<float> area(n), guard(n);
  bool areaUnit = false;
  int32_t areaExtent = -1;
  for (size_t i = 0; i < rows.size(); ++i) {
    const int32_t y = destRect.top + static_cast<int32_t>(i);
    uint32_t* row = dest.Pixel(0, y);
    if (!rowInside[i]) {
      for (int32_t x = destRect.left; x < destRect.left + destRect.width; ++x) row[x] = background;
      continue;
    }
    const Tap2& ty = rows[i];
    if (ty.unit != areaUnit || ty.extent != areaExtent) {
      areaUnit = ty.unit;
      areaExtent = ty.extent;
      for (size_t j = 0; j < n; ++j) {
        area[j] = TapArea(cols[j], ty);
        guard[j] = StoreGuard(area[j]);
      }
    }
    const uint8_t* r0 = ViewRow(source, ty.at0);
    const uint8_t* r1 = ViewRow(source, ty.at1);
    for (size_t j = 0; j < n; ++j) {
      const int32_t x = destRect.left + static_cast<int32_t>(j);
      if (!inside[j]) {
        row[x] = background;
        continue;
      }
      row[x] = Quotient32((TapSum(r0, r1, cols[j], ty.w0, ty.w1) + guard[j]) / area[j]);
      finish(row + x, x, y);
    }
  }
  return true;
}

// The rotation loop; finish(pixel, x, y) runs on every pixel whose area met the source.
template <class Finish>
bool ScaleRotateWith(TMTC& dest, TMTC& source, CScaleImageTMTC& resampler, const TPoint& centre, SRectWH destRect,
                     float angle, float scale, uint32_t background, Finish finish) {
  if (!ValidScale(scale)) return false;
  if (!dest.ClipRect(destRect)) return false;
  resampler.SetImages(&source, &dest);
  const Fixed sinF = SingleToFix(static_cast<float>(std::sin(static_cast<double>(angle))));
  const Fixed cosF = SingleToFix(static_cast<float>(std::cos(static_cast<double>(angle))));
  const Fixed g = SingleToFix(static_cast<float>(1.0 / static_cast<double>(scale)));
  const int64_t cx = (int64_t{centre.x} << 16) - g / 2;
  const int64_t cy = (int64_t{centre.y} << 16) - g / 2;
  const int32_t w = dest.Width(), h = dest.Height();
  const SSize sourceSize = resampler.GetSourceSize();
  const bool direct = resampler.IsPlain();
  const int64_t limitX = int64_t{sourceSize.width} << 16, limitY = int64_t{sourceSize.height} << 16;
  Ops32<RowView> ops{RowView{source.View()}};
  if (direct && sinF == 0) {
    std::vector<int64_t> sxs(static_cast<size_t>(destRect.width)), sys(static_cast<size_t>(destRect.height));
    for (int32_t x = destRect.left; x < destRect.left + destRect.width; ++x) {
      const Fixed u = FixMul(CentreOffset(x, w), g);
      sxs[static_cast<size_t>(x - destRect.left)] = Wrap(int64_t{FixMul(u, cosF)} + cx);
    }
    for (int32_t y = destRect.top; y < destRect.top + destRect.height; ++y) {
      const Fixed v = FixMul(CentreOffset(y, h), g);
      sys[static_cast<size_t>(y - destRect.top)] = Wrap(int64_t{FixMul(v, cosF)} + cy);
    }
    if (ScaleUnturned(dest, source.View(), sourceSize, destRect, sxs, sys, g, background, finish)) return true;
  }
  const SDibView& view = source.View();
  // The areas of interior pixels by the kinds of their taps (bit 0: x inside one pixel, bit 1: y).
  const float interiorArea[4] = {BoxArea(g, g), AxisArea(g), AxisArea(g), 1.0f};
  const float interiorGuard[4] = {StoreGuard(interiorArea[0]), StoreGuard(interiorArea[1]),
                                  StoreGuard(interiorArea[2]), StoreGuard(interiorArea[3])};
  // Every pixel stands alone, so a turned view goes in strips of columns: the source areas of a
  // strip's rows stay close together (a whole turned row would cross hundreds of source rows).
  constexpr int32_t kStrip = 64;
  const int32_t right = destRect.left + destRect.width;
  // The column terms of the turn, the same on every row.
  std::vector<Fixed> columnCos(static_cast<size_t>(destRect.width)), columnSin(columnCos.size());
  for (int32_t x = destRect.left; x < right; ++x) {
    const Fixed u = FixMul(CentreOffset(x, w), g);
    columnCos[static_cast<size_t>(x - destRect.left)] = FixMul(u, cosF);
    columnSin[static_cast<size_t>(x - destRect.left)] = FixMul(u, sinF);
  }
  for (int32_t left = destRect.left; left < right; left += kStrip)
    for (int32_t y = destRect.top; y < destRect.top + destRect.height; ++y) {
      const Fixed v = FixMul(CentreOffset(y, h), g);
      const int64_t rowX = cx - int64_t{FixMul(v, sinF)}, rowY = cy + int64_t{FixMul(v, cosF)};
      uint32_t* row = dest.Pixel(0, y);
      for (int32_t x = left; x < std::min(right, left + kStrip); ++x) {
        const size_t j = static_cast<size_t>(x - destRect.left);
        const int32_t sx = Wrap(columnCos[j] + rowX);
        const int32_t sy = Wrap(columnSin[j] + rowY);
        uint8_t* px = reinterpret_cast<uint8_t*>(row + x);
        bool inside;
        if (direct) {
          const int64_t l = std::max<int64_t>(sx, 0), t = std::max<int64_t>(sy, 0);
          const int64_t r = std::min<int64_t>(int64_t{sx} + g, limitX);
          const int64_t b = std::min<int64_t>(int64_t{sy} + g, limitY);
          inside = l < r && t < b;
          Tap2 tx, ty;
          if (sx >= 0 && sy >= 0 && int64_t{sx} + g <= limitX && int64_t{sy} + g <= limitY && g <= 65536) {
            InteriorTap2(sx, g, tx);
            InteriorTap2(sy, g, ty);
            const int k = (tx.unit ? 1 : 0) + (ty.unit ? 2 : 0);
            row[x] = Quotient32(
                (TapSum(ViewRow(view, ty.at0), ViewRow(view, ty.at1), tx, ty.w0, ty.w1) + interiorGuard[k]) /
                interiorArea[k]);
          } else if (inside && MakeTap2(l, r, sourceSize.width, tx) && MakeTap2(t, b, sourceSize.height, ty)) {
            const float area = TapArea(tx, ty);
            row[x] = Quotient32(
                (TapSum(ViewRow(view, ty.at0), ViewRow(view, ty.at1), tx, ty.w0, ty.w1) + StoreGuard(area)) /
                area);
          } else if (inside) {
            AverageAreaWith(ops, px, l, t, r, b, sourceSize);
          }
        } else {
          TRect area{sx, sy, Sat(int64_t{sx} + g), Sat(int64_t{sy} + g)};
          inside = resampler.SampleArea(px, area);
        }
        if (inside)
          finish(row + x, x, y);
        else
          row[x] = background;
      }
    }
  return true;
}

}  // namespace

bool ScaleRotateInto(TMTC& dest, TMTC& source, CScaleImageTMTC& resampler, const TPoint& centre, SRectWH destRect,
                     float angle, float scale, uint32_t background, const SFlattenBackground* flatten) {
  if (flatten == nullptr || flatten->kind == SFlattenBackground::kNone)
    return ScaleRotateWith(dest, source, resampler, centre, destRect, angle, scale, background,
                           [](uint32_t*, int32_t, int32_t) {});
  const SFlattenBackground bg = *flatten;
  return ScaleRotateWith(dest, source, resampler, centre, destRect, angle, scale, background,
                         [&bg](uint32_t* p, int32_t x, int32_t y) {
                           if ((*p >> 24) != 255u) FlattenPixel(p, x, y, bg);
                         });
}

bool ScaleRotateBytes(uint8_t* dest, const uint8_t* source, const SSize& destSize, const SSize& sourceSize,
                      const TPoint& centre, float angle, float xScale, float yScale, uint8_t background) {
  if (!ValidScale(xScale) || !ValidScale(yScale)) return false;
  if (dest == nullptr || destSize.width <= 0 || destSize.height <= 0) return true;
  CScaleImageBYTE sampler(source, nullptr, sourceSize, SSize{0, 0});
  const Fixed sinF = SingleToFix(static_cast<float>(std::sin(static_cast<double>(angle))));
  const Fixed cosF = SingleToFix(static_cast<float>(std::cos(static_cast<double>(angle))));
  const Fixed gx = SingleToFix(static_cast<float>(1.0 / static_cast<double>(xScale)));
  const Fixed gy = SingleToFix(static_cast<float>(1.0 / static_cast<double>(yScale)));
  const int64_t cx = (int64_t{centre.x} << 16) - gx / 2;
  const int64_t cy = (int64_t{centre.y} << 16) - gy / 2;
  for (int32_t y = 0; y < destSize.height; ++y) {
    const Fixed dy = CentreOffset(y, destSize.height);
    for (int32_t x = 0; x < destSize.width; ++x) {
      const Fixed dx = CentreOffset(x, destSize.width);
      const Fixed rx = Wrap(int64_t{FixMul(dx, cosF)} - FixMul(dy, sinF));
      const Fixed ry = Wrap(int64_t{FixMul(dx, sinF)} + FixMul(dy, cosF));
      const int32_t sx = Wrap(int64_t{FixMul(rx, gx)} + cx);
      const int32_t sy = Wrap(int64_t{FixMul(ry, gy)} + cy);
      TRect area{sx, sy, Sat(int64_t{sx} + gx), Sat(int64_t{sy} + gy)};
      uint8_t* px = dest + std::ptrdiff_t{y} * destSize.width + x;
      if (!sampler.SampleArea(px, area)) *px = background;
    }
  }
  return true;
}

}  // namespace tf
