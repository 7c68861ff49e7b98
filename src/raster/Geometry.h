// Small shared routines: rectangles, clipping, fitting, 16.16 fixed point, random sequence.
#pragma once
// Small shared routines: rectangle records and their conversions, clipping, containment and
// distance tests, fitting sizes, ranges and clamps, 16.16 fixed point, the reproducible random
// sequence, an in-place sort and byte-block routines.
//
// Edges: TRect's right and bottom are exclusive. Sums and differences of coordinates that could
// leave the int32 range saturate instead of wrapping; products of sizes are 64-bit.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "platform/Debug.h"  // DebugOut

namespace tf {

// ---------------------------------------------------------------------------------------------
// Records

// Origin and size; empty when width or height is 0 or less.
struct SRectWH {
  int32_t left;
  int32_t top;
  int32_t width;
  int32_t height;
  bool operator==(const SRectWH&) const = default;
};

// Edges; right and bottom are outside.
struct TRect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
  bool operator==(const TRect&) const = default;
};

struct SSize {
  int32_t width;
  int32_t height;
  bool operator==(const SSize&) const = default;
};

struct TPoint {
  int32_t x;
  int32_t y;
  bool operator==(const TPoint&) const = default;
};

struct SPointF {
  float x;
  float y;
  bool operator==(const SPointF&) const = default;
};

struct SRectF {
  float left;
  float top;
  float right;
  float bottom;
  bool operator==(const SRectF&) const = default;
};

struct SRatio {
  int32_t numerator;
  int32_t denominator;
  bool operator==(const SRatio&) const = default;
};

// Reproducible random sequence; draws lie in low .. high - 1.
struct SRandom {
  int32_t seed;
  int32_t low;
  int32_t high;
  int32_t draws;
  int32_t state;
  bool operator==(const SRandom&) const = default;
};

// Closed range min .. max.
struct SRange {
  int32_t min;
  int32_t max;
  bool operator==(const SRange&) const = default;
};

static_assert(sizeof(SRectWH) == 16 && sizeof(TRect) == 16 && sizeof(SSize) == 8);
static_assert(sizeof(TPoint) == 8 && sizeof(SPointF) == 8 && sizeof(SRectF) == 16);
static_assert(sizeof(SRatio) == 8 && sizeof(SRandom) == 20 && sizeof(SRange) == 8);

// 16.16 fixed point: low 16 bits are the fraction (65536 = 1.0).
using Fixed = int32_t;
inline constexpr Fixed kFixOne = 65536;

// ---------------------------------------------------------------------------------------------
// Saturating int32 helpers (internal use and callers that need the same rules)

inline constexpr int32_t SaturateInt32(int64_t v) {
  return v > std::numeric_limits<int32_t>::max()   ? std::numeric_limits<int32_t>::max()
         : v < std::numeric_limits<int32_t>::min() ? std::numeric_limits<int32_t>::min()
                                                   : static_cast<int32_t>(v);
}
inline constexpr int32_t AddSat(int32_t a, int64_t b) { return SaturateInt32(int64_t{a} + b); }
inline constexpr int32_t SubSat(int32_t a, int64_t b) { return SaturateInt32(int64_t{a} - b); }

// ---------------------------------------------------------------------------------------------
// Rectangle forms

inline void RectToBounds(const SRectWH& r, TRect& out) {
  out = {r.left, r.top, AddSat(r.left, r.width), AddSat(r.top, r.height)};
}
inline void MakeBoundsFromRect(const SRectWH& r, TRect& out) { RectToBounds(r, out); }

inline void BoundsToRect(const TRect& b, SRectWH& out) {
  out = {b.left, b.top, SubSat(b.right, b.left), SubSat(b.bottom, b.top)};
}
inline void MakeRectFromBounds(const TRect& b, SRectWH& out) { BoundsToRect(b, out); }

// The whole image.
inline void SizeToRect(const SSize& s, SRectWH& out) { out = {0, 0, s.width, s.height}; }
inline void ImageExtentRect(const SSize& s, SRectWH& out) { SizeToRect(s, out); }
inline void SizeToBounds(const SSize& s, TRect& out) { out = {0, 0, s.width, s.height}; }
inline void BoundsSize(const TRect& b, SSize& out) { out = {SubSat(b.right, b.left), SubSat(b.bottom, b.top)}; }

inline void RectFromPointSize(SRectWH& out, const TPoint& origin, const SSize& s) {
  out = {origin.x, origin.y, s.width, s.height};
}
inline void BoundsFromPointSize(TRect& out, const TPoint& origin, const SSize& s) {
  out = {origin.x, origin.y, AddSat(origin.x, s.width), AddSat(origin.y, s.height)};
}

// A negative width w becomes -w with left += w; likewise the height.
void NormalizeRect(SRectWH& r);
// (first, second - first), then NormalizeRect.
void RectFromCorners(SRectWH& out, const TPoint& first, const TPoint& second);

inline void ClearBounds(TRect& out) { out = {0, 0, 0, 0}; }

void RectToRectF(const SRectWH& r, SRectF& out);
// Left and top floored, right and bottom ceiled (saturating to int32; NaN gives 0).
void RectFToBounds(const SRectF& r, TRect& out);
void RectFToRect(const SRectF& r, SRectWH& out);
// (min x, min y, max x + 1, max y + 1).
void RectFFromPoints(SRectF& out, const SPointF& a, const SPointF& b);

inline void PointToPointF(const TPoint& p, SPointF& out) {
  out = {static_cast<float>(p.x), static_cast<float>(p.y)};
}
// Each coordinate Floor(value + 0.01).
void PointFToPoint(const SPointF& p, TPoint& out);
// Each coordinate times 2^-16.
void FixPointToPointF(const TPoint& p, SPointF& out);

// ---------------------------------------------------------------------------------------------
// Clipping and intersection

// a := a intersected with b; false when empty (a then must not be used).
bool IntersectBounds(TRect& a, const TRect& b);
bool IntersectRectF(SRectF& a, const SRectF& b);
bool ClipBoundsToSize(TRect& b, const SSize& s);
// Clips r to the bounds in place (written back also when empty); false when empty.
bool ClipRectToBounds(SRectWH& r, const TRect& bounds);
bool ClipRectToSize(SRectWH& r, const SSize& s);
bool ClipRectToRect(SRectWH& r, const SRectWH& clip);
// Moves r the least distance that puts it inside the area; false (r unchanged) when r is wider
// or taller than the area.
bool KeepRectInside(SRectWH& r, const SRectWH& area);
// Up to 4 rectangles covering outer minus inner, in the order above, left, right, below, each
// only when not empty. inner is first limited to outer. Returns the count.
int32_t SubtractBounds(const TRect& inner, const TRect& outer, TRect out[4]);

// ---------------------------------------------------------------------------------------------
// Changing a rectangle in place

void ShrinkRect(SRectWH& r, int32_t d);
void ShrinkBounds(TRect& b, int32_t d);
void GrowBounds(TRect& b, int32_t d);
void OffsetBounds(TRect& b, int32_t dx, int32_t dy);
inline void OffsetRectOrigin(SRectWH& r, int32_t dx, int32_t dy) {
  r.left = AddSat(r.left, dx);
  r.top = AddSat(r.top, dy);
}
// x < left: left := x; otherwise x >= right: right := x + 1; likewise y.
void BoundsIncludePoint(TRect& b, const TPoint& p);
// Min of lefts and tops, max of rights and bottoms (no emptiness test).
void UnionBounds(TRect& a, const TRect& b);
// BoundsIncludePoint with b's four corner pixels.
void BoundsIncludeRect(TRect& a, const TRect& b);
// Both to bounds, BoundsIncludeRect, back.
void UnionRect(SRectWH& a, const SRectWH& b);

// ---------------------------------------------------------------------------------------------
// Tests and measures

inline bool BoundsContainsPoint(const TRect& b, const TPoint& p) {
  return b.left <= p.x && p.x < b.right && b.top <= p.y && p.y < b.bottom;
}
inline bool RectContainsPoint(const SRectWH& r, const TPoint& p) {
  return r.left <= p.x && int64_t{p.x} < int64_t{r.left} + r.width && r.top <= p.y &&
         int64_t{p.y} < int64_t{r.top} + r.height;
}
// Unsigned comparison: negative coordinates fail.
inline bool PointInSize(int32_t x, int32_t y, int32_t width, int32_t height) {
  return static_cast<uint32_t>(x) < static_cast<uint32_t>(width) &&
         static_cast<uint32_t>(y) < static_cast<uint32_t>(height);
}
inline bool SizeWithin(int32_t width, int32_t height, int32_t outerWidth, int32_t outerHeight) {
  return static_cast<uint32_t>(width) <= static_cast<uint32_t>(outerWidth) &&
         static_cast<uint32_t>(height) <= static_cast<uint32_t>(outerHeight);
}
inline bool SizeCovers(const SSize& a, const SSize& b) { return a.width >= b.width && a.height >= b.height; }
inline bool RectFitsInSize(const SRectWH& r, const SSize& s) {
  return r.left >= 0 && r.top >= 0 && int64_t{r.left} + r.width <= s.width &&
         int64_t{r.top} + r.height <= s.height;
}
// Squared gap between two rectangles; 0 when they overlap or share an edge. 64-bit, saturating
// at INT64_MAX.
int64_t BoundsGapSq(const TRect& a, const TRect& b);
// (right - left)*(bottom - top) in 64 bits, saturating.
int64_t BoundsArea(const TRect& b);

// ---------------------------------------------------------------------------------------------
// Points

// Each coordinate into 0 .. size - 1 (negative and empty sizes give 0).
void ClampPointToImage(TPoint& p, const SSize& s);
// Each coordinate into 0 .. size.
void ClampPointToExtent(TPoint& p, const SSize& s);
// x < left: left; x >= left + width: left + width - 1; width <= 0: left. Likewise y.
void ClampPointIntoRect(TPoint& p, const SRectWH& r);

// ---------------------------------------------------------------------------------------------
// Fitting a size into a box. Both return true and write a rectangle inside the box; a box or an
// image with a side of 0 or less gives false and (0, 0, 0, 0).

// Largest rectangle of the image's aspect inside the box, centred (the image may be enlarged).
bool FitSizeInBox(SRectWH& out, const SSize& box, const SSize& image);
// The image unscaled and centred when it fits, else FitSizeInBox.
bool PlaceSizeInBox(SRectWH& out, const SSize& box, const SSize& image);

// ---------------------------------------------------------------------------------------------
// Ranges, clamps and swaps

inline void MakeRange(SRange& r, int32_t a, int32_t b) { r = {std::min(a, b), std::max(a, b)}; }
inline void ExtendRange(SRange& r, int32_t v) {
  if (v < r.min)
    r.min = v;
  else if (v > r.max)
    r.max = v;
}
inline bool InRange(const SRange& r, int32_t v) { return r.min <= v && v <= r.max; }

inline bool Between(int32_t v, int32_t lo, int32_t hi) { return lo <= v && v <= hi; }
inline bool BetweenSingle(float v, float lo, float hi) { return lo <= v && v <= hi; }

inline int32_t ClampInt(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : (v > hi ? hi : v); }
inline void ClampVar(int32_t& v, int32_t lo, int32_t hi) { v = ClampInt(v, lo, hi); }
inline float ClampSingle(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }

// lo := min(lo, hi, v), hi := max(lo, hi, v), both from the values before the call.
inline void MinMaxOf3(int32_t& lo, int32_t& hi, int32_t v) {
  const int32_t a = lo;
  const int32_t b = hi;
  lo = std::min({a, b, v});
  hi = std::max({a, b, v});
}

inline void SwapInt(int32_t& a, int32_t& b) { std::swap(a, b); }
inline void SwapSingle(float& a, float& b) { std::swap(a, b); }
template <class T>
inline void SwapPtr(T*& a, T*& b) {
  std::swap(a, b);
}
inline void SwapByte(uint8_t& a, uint8_t& b) { std::swap(a, b); }
inline void SwapWordBytes(uint16_t& w) { w = static_cast<uint16_t>((w >> 8) | (w << 8)); }

// sqrt(a*a + b*b) as Single (squares and sum taken in double).
float HypotSingle(float a, float b);

// ---------------------------------------------------------------------------------------------
// Ratios

// numerator/denominator; 32767 when the denominator is 0.
float RatioValue(const SRatio& r);
// numerator mod denominator = 0; false for a denominator of 0.
bool RatioIsWhole(const SRatio& r);
inline bool RatioIsOne(const SRatio& r) { return r.numerator == r.denominator; }
inline bool RatioAtLeastOne(const SRatio& r) { return r.numerator >= r.denominator; }

// ---------------------------------------------------------------------------------------------
// 16.16 fixed point. Conversions that round use ties to even; results beyond int32 saturate.

// Signed 64-bit product shifted right by 16, low 32 bits kept.
inline Fixed FixMul(Fixed a, Fixed b) {
  return static_cast<int32_t>((int64_t{a} * b) >> 16);  // modular narrowing
}
// round(a/b*65536), ties to even, exact. Beyond int32 it saturates; b = 0 saturates by the sign
// of a (0/0 gives 0).
Fixed FixDiv(Fixed a, Fixed b);
// round(sqrt(a/65536)*65536), exact; 0 for a <= 0.
Fixed FixSqrt(Fixed a);
// round(sqrt((a/65536)^2 + (b/65536)^2)*65536), exact; saturates at INT32_MAX.
Fixed FixHypot(Fixed a, Fixed b);
inline float FixToSingle(Fixed a) { return static_cast<float>(a) * (1.0f / 65536.0f); }
// round(x*65536), ties to even; beyond int32 saturates, NaN gives 0.
Fixed SingleToFix(float x);
// x rounded to the nearest integer, ties to even; beyond int32 saturates, NaN gives 0.
int32_t RoundSingle(float x);
// Arithmetic shift: the floor.
inline int32_t FixToInt(Fixed a) { return a >> 16; }
inline int32_t FixFloor(Fixed a) { return a >> 16; }
inline int32_t FixCeil(Fixed a) { return static_cast<int32_t>((int64_t{a} + 65535) >> 16); }
// Rounded up to a whole 16.16 value (wraps to the negative end above 0x7FFF0000, as 32-bit
// arithmetic does).
inline Fixed FixCeilFix(Fixed a) { return static_cast<int32_t>((static_cast<uint32_t>(a) + 65535u) & ~65535u); }
inline int32_t FixFrac(Fixed a) { return a & 65535; }
// High 32 bits of the unsigned 64-bit product.
inline uint32_t MulHigh32(uint32_t a, uint32_t b) { return static_cast<uint32_t>((uint64_t{a} * b) >> 32); }

// ---------------------------------------------------------------------------------------------
// Random sequence

void RandomInit(SRandom& r, int32_t seed, int32_t low, int32_t high);
// state*134775813 + 1 in 32-bit wrapping arithmetic.
inline int32_t RandomNext(int32_t state) {
  return static_cast<int32_t>(static_cast<uint32_t>(state) * 134775813u + 1u);
}
// Advances the state and returns low + MulHigh32(high - low, state): low .. high - 1.
int32_t RandomDraw(SRandom& r);

// The process-wide generator of the run time that the noise and diffuse filters draw from:
// state := state*134775813 + 1 (32-bit wrap), result := (state*n) >> 32 as an unsigned 64-bit
// product (0 .. n-1; n = 0 gives 0). Its state may be set directly, so that a filter that sets it
// from its block's seed draws the same numbers on replay; tests reset it to 0.
uint32_t& GlobalRandomSeed();
uint32_t GlobalRandom(uint32_t n);
inline void ResetGlobalRandom() { GlobalRandomSeed() = 0; }

// ---------------------------------------------------------------------------------------------
// Sort

// Negative, 0 or positive as a is below, equal to or above b.
using CompareFunc = int32_t (*)(const void* a, const void* b);
using CompareFuncWithContext = int32_t (*)(const void* a, const void* b, void* context);

// In-place ascending sort of count items of itemSize bytes; not stable. Nothing happens for
// count < 2 or itemSize < 1. Ranges of up to 8 items are selection-sorted; larger ones are
// partitioned around the middle item. Items equal to the pivot are not gathered, so data with
// few distinct keys costs up to about n*n/k comparisons for k keys.
void QuickSort(void* base, int32_t count, int32_t itemSize, CompareFunc compare);
void QuickSort(void* base, int32_t count, int32_t itemSize, CompareFuncWithContext compare, void* context);

// ---------------------------------------------------------------------------------------------
// Bytes. Counts of 0 or less do nothing.

// 0 when equal (also for count 0); else -1 or 1 by the first differing byte (unsigned).
int32_t CompareBytes(const void* a, const void* b, std::ptrdiff_t count);
void ReverseBytes(void* buffer, std::ptrdiff_t count);
void FillBytes(void* buffer, uint8_t value, std::ptrdiff_t count);
// value32 (little-endian) stored byteCount div 4 times, then byteCount mod 4 bytes := low byte.
void FillDWordPattern(void* buffer, uint32_t value32, std::ptrdiff_t byteCount);
// FillDWordPattern with the byte in all four bytes.
void FillBytesByDWords(void* buffer, uint8_t value, std::ptrdiff_t count);
// Forward copies; moving data down (destination below the source) is safe when ranges overlap.
void CopyBytes(void* dest, const void* source, std::ptrdiff_t count);
void CopyDWords(void* dest, const void* source, std::ptrdiff_t count);
void CopyMem(void* dest, const void* source, std::ptrdiff_t count);

}  // namespace tf
