#include "raster/ScaleImage.h"

#include <cmath>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <typeinfo>
#include <vector>

#include "raster/FlatImage.h"

#if defined(__SSE2__)
#include <emmintrin.h>
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
// units, that is 0.01/area in value units: at most 0.01 for areas of a pixel or more. Below one
// pixel (enlargements) it shrinks with the area, so it stays 0.01 in value units; unscaled, a
// 16x enlargement would lift every value by 2.56 and make alpha 0 non-zero.
inline float StoreGuard(float area) { return area < 1.0f ? 0.01f * area : 0.01f; }

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
  void AddW(Acc& a, int32_t x, int32_t y, float w) const {
    s->AddPixelWeighted(a, s->SourcePixel(x, y), w);
  }
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

// Each lane := clamp(trunc(q)) into the bytes, lanes B, G, R, A as the bytes lie.
inline void StoreQuotient32(uint8_t* d, V4 q) {
#if defined(__SSE2__)
  __m128 v = reinterpret_cast<__m128>(q);
  v = _mm_min_ps(_mm_max_ps(v, _mm_setzero_ps()), _mm_set1_ps(255.0f));
  __m128i i = _mm_cvttps_epi32(v);
  i = _mm_packs_epi32(i, i);
  i = _mm_packus_epi16(i, i);
  const int32_t out = _mm_cvtsi128_si32(i);
  std::memcpy(d, &out, 4);
#else
  for (int k = 0; k < 4; ++k) d[k] = ClampTruncByte(q[k]);
#endif
}

// Each byte := clamp(trunc((sum + guard)/area)).
inline void StorePixel32(uint8_t* d, V4 acc, float area) { StoreQuotient32(d, (acc + StoreGuard(area)) / area); }
// The same for an area of exactly 1, where the division changes nothing.
inline void StorePixel32Unit(uint8_t* d, V4 acc) { StoreQuotient32(d, acc + 0.01f); }

// The 8-bit stores divide with the same +0.01 guard as the 32-bit one: without it a uniform
// area of 255 can come out as 254 in Single arithmetic (a full selection would stop being full).
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
  static void StoreUnit(uint8_t* d, const Acc& a) { StorePixel32Unit(d, a); }
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
  static void StoreUnit(uint8_t* d, const Acc& a) {
    if constexpr (kStore == Store8Kind::kFix)
      Store(d, a, 1.0f);
    else
      StoreQuotient(d, a + 0.01f);
  }
  static void StoreQuotient(uint8_t* d, float q) {
    const uint32_t v = ClampTruncByte(q);
    if constexpr (kStore == Store8Kind::kByte) {
      *d = static_cast<uint8_t>(v);
    } else {
      const uint32_t px = 0xFF000000u | (v << 16) | (v << 8) | v;
      std::memcpy(d, &px, 4);
    }
  }
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
  static constexpr int32_t bytes = 1;
  uint8_t* Row(int32_t y) const { return bits + std::ptrdiff_t{y} * width; }
};

// ScaleAll without per-pixel calls. Every destination pixel is what AverageAreaWith gives for
// its area, bit for bit: the row sums of a source row over the columns of the destination row
// are the same for every destination row that uses that source row, so each is computed once
// (two rows are kept) and combined per pixel in the order of the per-pixel algorithm.
template <class Ops, class Dest>
void ScaleAllDirect(const Ops& ops, const Dest& dest, const SRectWH& sr, const SRectWH& dr,
                    Fixed xStep, Fixed yStep, const SSize& source) {
  using Acc = typename Ops::Acc;
  struct Column {
    AxisSpan span;
    float rowArea;  // area when the destination row lies inside one source row
    double width;   // extent/65536, for the area of both axes
  };
  const int32_t dw = dr.width;
  std::vector<Column> cols(static_cast<size_t>(dw));
  int64_t sx = int64_t{sr.left} << 16;
  for (int32_t j = 0; j < dw; ++j, sx += xStep) {
    Column& c = cols[static_cast<size_t>(j)];
    c.span = MakeSpan(sx, sx + xStep, source.width);
    c.rowArea = c.span.whole < 0 ? 1.0f : AxisArea(c.span.extent);
    c.width = static_cast<double>(c.span.extent) / 65536.0;
  }

  struct RowSums {
    int32_t row = -1;
    std::vector<Acc> sums;
  };
  RowSums slots[2];
  slots[0].sums.resize(static_cast<size_t>(dw));
  slots[1].sums.resize(static_cast<size_t>(dw));
  int next = 0;
  auto rowSums = [&](int32_t r) -> const Acc* {
    for (RowSums& s : slots)
      if (s.row == r) return s.sums.data();
    RowSums& s = slots[next];
    next ^= 1;
    s.row = r;
    const uint8_t* base = ops.At(0, r);
    Acc* out = s.sums.data();
    for (int32_t j = 0; j < dw; ++j) {
      const AxisSpan& a = cols[static_cast<size_t>(j)].span;
      const uint8_t* p = base + std::ptrdiff_t{Ops::kBytes} * a.first;
      if (a.whole < 0) {
        out[j] = Ops::Load(p);
        continue;
      }
      Acc acc = Ops::Zero();
      if (a.lead > 0) {
        Ops::SumW(acc, Ops::Load(p), Weight(a.lead));
        p += Ops::kBytes;
      }
      for (int32_t k = 0; k < a.whole; ++k, p += Ops::kBytes) Ops::Sum(acc, Ops::Load(p));
      if (a.trail > 0) Ops::SumW(acc, Ops::Load(p), Weight(a.trail));
      out[j] = acc;
    }
    return s.sums.data();
  };

  std::vector<Acc> acc(static_cast<size_t>(dw));
  int32_t copyRow = -1;
  const uint8_t* copyFrom = nullptr;
  int64_t sy = int64_t{sr.top} << 16;
  for (int32_t i = 0; i < dr.height; ++i, sy += yStep) {
    const AxisSpan v = MakeSpan(sy, sy + yStep, source.height);
    const int32_t y = dr.top + i;
    uint8_t* d = dest.Row(y) + std::ptrdiff_t{dest.bytes} * dr.left;
    const std::ptrdiff_t step = dest.bytes;
    if (v.whole < 0) {
      // Inside one source row the result depends on that row alone: a run of such rows
      // (an enlargement) computes the first and copies it.
      if (v.first == copyRow) {
        std::memcpy(d, copyFrom, static_cast<size_t>(step) * static_cast<size_t>(dw));
        continue;
      }
      copyRow = v.first;
      copyFrom = d;
      const Acc* h = rowSums(v.first);
      for (int32_t j = 0; j < dw; ++j, d += step) {
        const Column& c = cols[static_cast<size_t>(j)];
        if (c.span.whole < 0)
          Ops::StoreUnit(d, h[j]);  // area 1: the division is the identity
        else
          Ops::Store(d, h[j], c.rowArea);
      }
      continue;
    }
    copyRow = -1;
    Acc* a = acc.data();
    int32_t r = v.first;
    if (v.lead > 0) {
      const Acc* h = rowSums(r++);
      const float w = Weight(v.lead);
      for (int32_t j = 0; j < dw; ++j) {
        a[j] = h[j];
        Ops::Mul(a[j], w);
      }
    } else {
      for (int32_t j = 0; j < dw; ++j) a[j] = Ops::Zero();
    }
    for (int32_t k = 0; k < v.whole; ++k) {
      const Acc* h = rowSums(r++);
      for (int32_t j = 0; j < dw; ++j) Ops::Sum(a[j], h[j]);
    }
    if (v.trail > 0) {
      const Acc* h = rowSums(r);
      const float w = Weight(v.trail);
      for (int32_t j = 0; j < dw; ++j) Ops::SumW(a[j], h[j], w);
    }
    const float columnArea = AxisArea(v.extent);
    const double rowExtent = static_cast<double>(v.extent) / 65536.0;
    for (int32_t j = 0; j < dw; ++j, d += step) {
      const Column& c = cols[static_cast<size_t>(j)];
      const float area = c.span.whole < 0 ? columnArea : static_cast<float>(c.width * rowExtent);
      Ops::Store(d, a[j], area);
    }
  }
}

inline int32_t Sat(int64_t v) { return SaturateInt32(v); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// CScaleImage

CScaleImage::CScaleImage()
    : sourceSize_{0, 0}, destSize_{0, 0}, sourceRect_{0, 0, 0, 0}, destRect_{0, 0, 0, 0},
      xStep_(65536), yStep_(65536) {}

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

CScaleImageTMTC::CScaleImageTMTC(TMTC* source, TMTC* dest) { SetImages(source, dest); }

void CScaleImageTMTC::SetImages(TMTC* source, TMTC* dest) {
  source_ = source;
  dest_ = dest;
  sourceSize_ = source ? source->Size() : SSize{0, 0};
  if (dest) destSize_ = dest->Size();
}

bool CScaleImageTMTC::IsPlain() const {
  return typeid(*this) == typeid(CScaleImageTMTC) && source_ && source_->IsValid() &&
         source_->Width() >= sourceSize_.width && source_->Height() >= sourceSize_.height;
}

const uint8_t* CScaleImageTMTC::SourcePixel(int32_t x, int32_t y) {
  return reinterpret_cast<const uint8_t*>(PixelAddr32(source_->View(), x, y));
}

uint8_t* CScaleImageTMTC::DestPixel(int32_t x, int32_t y) {
  return reinterpret_cast<uint8_t*>(PixelAddr32(dest_->View(), x, y));
}

void CScaleImageTMTC::ScaleAll() {
  if (IsPlain() && dest_ && dest_->IsValid()) {
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

const uint8_t* CScaleImageCH2TMTC::SourcePixel(int32_t x, int32_t y) {
  return PixelAddr8(source_->View(), x, y);
}

uint8_t* CScaleImageCH2TMTC::DestPixel(int32_t x, int32_t y) {
  return reinterpret_cast<uint8_t*>(PixelAddr32(dest_->View(), x, y));
}

bool CScaleImageCH2TMTC::IsPlain() const {
  return typeid(*this) == typeid(CScaleImageCH2TMTC) && source_ && source_->IsValid() &&
         source_->Width() >= sourceSize_.width && source_->Height() >= sourceSize_.height;
}

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
  sourceSize_ = source ? source->Size() : SSize{0, 0};
  if (dest) destSize_ = dest->Size();
}

const uint8_t* CScaleImageCH::SourcePixel(int32_t x, int32_t y) { return PixelAddr8(source_->View(), x, y); }

uint8_t* CScaleImageCH::DestPixel(int32_t x, int32_t y) { return PixelAddr8(dest_->View(), x, y); }

bool CScaleImageCH::IsPlain() const {
  return typeid(*this) == typeid(CScaleImageCH) && source_ && source_->IsValid() &&
         source_->Width() >= sourceSize_.width && source_->Height() >= sourceSize_.height;
}

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

CScaleImageCH_fixp::CScaleImageCH_fixp(TChannel* source, TChannel* /*dest*/) : CScaleImageCH(source, nullptr) {}

void CScaleImageCH_fixp::StorePixel(uint8_t* dest, const SScaleAcc& acc, float area) {
  const int32_t v = StoreValueFix(acc.sum[0], area);
  std::memcpy(dest, &v, 4);
}

bool CScaleImageCH_fixp::IsPlain() const {
  return typeid(*this) == typeid(CScaleImageCH_fixp) && source_ && source_->IsValid() &&
         source_->Width() >= sourceSize_.width && source_->Height() >= sourceSize_.height;
}

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
  sourceSize_ = source ? sourceSize : SSize{0, 0};
  if (dest) destSize_ = destSize;
}

const uint8_t* CScaleImageBYTE::SourcePixel(int32_t x, int32_t y) {
  return source_ + std::ptrdiff_t{y} * sourceSize_.width + x;
}

uint8_t* CScaleImageBYTE::DestPixel(int32_t x, int32_t y) {
  return dest_ + std::ptrdiff_t{y} * destSize_.width + x;
}

bool CScaleImageBYTE::IsPlain() const { return typeid(*this) == typeid(CScaleImageBYTE) && source_; }

void CScaleImageBYTE::ScaleAll() {
  if (IsPlain() && dest_) {
    Ops8<ViewBytes, Store8Kind::kByte> ops{ViewBytes{source_, sourceSize_.width}};
    ScaleAllDirect(ops, DestBytes{dest_, destSize_.width}, sourceRect_, destRect_, xStep_, yStep_,
                   sourceSize_);
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
    const bool placed = fitAlways ? FitSizeInBox(rect, box, source.Size()) : PlaceSizeInBox(rect, box, source.Size());
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

bool ScaleRotateInto(TMTC& dest, TMTC& source, CScaleImageTMTC& resampler, const TPoint& centre,
                     SRectWH destRect, float angle, float scale, uint32_t background) {
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
  const bool direct = typeid(resampler) == typeid(CScaleImageTMTC) && source.IsValid();
  Ops32<RowView> ops{RowView{source.View()}};
  for (int32_t y = destRect.top; y < destRect.top + destRect.height; ++y) {
    const Fixed v = FixMul(CentreOffset(y, h), g);
    for (int32_t x = destRect.left; x < destRect.left + destRect.width; ++x) {
      const Fixed u = FixMul(CentreOffset(x, w), g);
      const int32_t sx = Wrap(int64_t{FixMul(u, cosF)} - FixMul(v, sinF) + cx);
      const int32_t sy = Wrap(int64_t{FixMul(u, sinF)} + FixMul(v, cosF) + cy);
      TRect area{sx, sy, Sat(int64_t{sx} + g), Sat(int64_t{sy} + g)};
      uint8_t* px = reinterpret_cast<uint8_t*>(dest.Pixel(x, y));
      bool inside;
      if (direct) {
        const int64_t l = std::max<int64_t>(area.left, 0), t = std::max<int64_t>(area.top, 0);
        const int64_t r = std::min<int64_t>(area.right, int64_t{sourceSize.width} << 16);
        const int64_t b = std::min<int64_t>(area.bottom, int64_t{sourceSize.height} << 16);
        inside = l < r && t < b;
        if (inside) AverageAreaWith(ops, px, l, t, r, b, sourceSize);
      } else {
        inside = resampler.SampleArea(px, area);
      }
      if (!inside) *dest.Pixel(x, y) = background;
    }
  }
  return true;
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
