#include "raster/Geometry.h"

#include <cstring>

namespace tf {

namespace {

constexpr int32_t kInt32Max = std::numeric_limits<int32_t>::max();
constexpr int32_t kInt32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t kInt64Max = std::numeric_limits<int64_t>::max();
constexpr int64_t kInt64Min = std::numeric_limits<int64_t>::min();

// An integral double to int32, saturating; NaN gives 0.
int32_t IntegralToInt32(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return kInt32Max;
  if (v <= -2147483648.0) return kInt32Min;
  return static_cast<int32_t>(v);
}

// floor(sqrt(n)).
uint64_t FloorSqrt(uint64_t n) {
  uint64_t s = static_cast<uint64_t>(std::sqrt(static_cast<double>(n)));
  // The double estimate is within one or two of the answer; settle it exactly.
  while (s > 0 && (s > 0xFFFFFFFFull || s * s > n)) --s;
  while (s + 1 <= 0xFFFFFFFFull && (s + 1) * (s + 1) <= n) ++s;
  return s;
}

// sqrt(n) rounded to nearest; n is an integer, so there is never a tie.
uint64_t RoundSqrt(uint64_t n) {
  const uint64_t s = FloorSqrt(n);
  return (n - s * s > s) ? s + 1 : s;
}

// A quotient of two integers as Single, rounded once (long double holds the int32 quotient
// precisely enough for that on x86).
float QuotientSingle(int32_t numerator, int32_t denominator) {
  return static_cast<float>(static_cast<long double>(numerator) / static_cast<long double>(denominator));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Rectangle forms

void NormalizeRect(SRectWH& r) {
  if (r.width < 0) {
    r.left = AddSat(r.left, r.width);
    r.width = SubSat(0, r.width);
  }
  if (r.height < 0) {
    r.top = AddSat(r.top, r.height);
    r.height = SubSat(0, r.height);
  }
}

void RectFromCorners(SRectWH& out, const TPoint& first, const TPoint& second) {
  out = {first.x, first.y, SubSat(second.x, first.x), SubSat(second.y, first.y)};
  NormalizeRect(out);
}

void RectToRectF(const SRectWH& r, SRectF& out) {
  out = {static_cast<float>(r.left), static_cast<float>(r.top), static_cast<float>(int64_t{r.left} + r.width),
         static_cast<float>(int64_t{r.top} + r.height)};
}

void RectFToBounds(const SRectF& r, TRect& out) {
  out = {IntegralToInt32(std::floor(static_cast<double>(r.left))),
         IntegralToInt32(std::floor(static_cast<double>(r.top))),
         IntegralToInt32(std::ceil(static_cast<double>(r.right))),
         IntegralToInt32(std::ceil(static_cast<double>(r.bottom)))};
}

void RectFToRect(const SRectF& r, SRectWH& out) {
  TRect b;
  RectFToBounds(r, b);
  BoundsToRect(b, out);
}

void RectFFromPoints(SRectF& out, const SPointF& a, const SPointF& b) {
  out = {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x) + 1.0f, std::max(a.y, b.y) + 1.0f};
}

void PointFToPoint(const SPointF& p, TPoint& out) {
  out = {IntegralToInt32(std::floor(static_cast<double>(p.x) + 0.01)),
         IntegralToInt32(std::floor(static_cast<double>(p.y) + 0.01))};
}

void FixPointToPointF(const TPoint& p, SPointF& out) { out = {FixToSingle(p.x), FixToSingle(p.y)}; }

// ---------------------------------------------------------------------------------------------
// Clipping and intersection

bool IntersectBounds(TRect& a, const TRect& b) {
  a.left = std::max(a.left, b.left);
  a.top = std::max(a.top, b.top);
  a.right = std::min(a.right, b.right);
  a.bottom = std::min(a.bottom, b.bottom);
  return a.left < a.right && a.top < a.bottom;
}

bool IntersectRectF(SRectF& a, const SRectF& b) {
  a.left = std::max(a.left, b.left);
  a.top = std::max(a.top, b.top);
  a.right = std::min(a.right, b.right);
  a.bottom = std::min(a.bottom, b.bottom);
  return a.left < a.right && a.top < a.bottom;
}

bool ClipBoundsToSize(TRect& b, const SSize& s) { return IntersectBounds(b, TRect{0, 0, s.width, s.height}); }

bool ClipRectToBounds(SRectWH& r, const TRect& bounds) {
  // In 64 bits, so that a rectangle reaching past the int32 range still clips correctly.
  const int64_t left = std::max<int64_t>(r.left, bounds.left);
  const int64_t top = std::max<int64_t>(r.top, bounds.top);
  const int64_t right = std::min<int64_t>(int64_t{r.left} + r.width, bounds.right);
  const int64_t bottom = std::min<int64_t>(int64_t{r.top} + r.height, bounds.bottom);
  r = {static_cast<int32_t>(left), static_cast<int32_t>(top), SaturateInt32(right - left),
       SaturateInt32(bottom - top)};
  return right > left && bottom > top;
}

bool ClipRectToSize(SRectWH& r, const SSize& s) { return ClipRectToBounds(r, TRect{0, 0, s.width, s.height}); }

bool ClipRectToRect(SRectWH& r, const SRectWH& clip) {
  TRect b;
  RectToBounds(clip, b);
  return ClipRectToBounds(r, b);
}

bool KeepRectInside(SRectWH& r, const SRectWH& area) {
  if (r.width > area.width || r.height > area.height) return false;
  const int64_t maxLeft = int64_t{area.left} + area.width - r.width;
  const int64_t maxTop = int64_t{area.top} + area.height - r.height;
  r.left = SaturateInt32(std::clamp<int64_t>(r.left, area.left, maxLeft));
  r.top = SaturateInt32(std::clamp<int64_t>(r.top, area.top, maxTop));
  return true;
}

int32_t SubtractBounds(const TRect& inner, const TRect& outer, TRect out[4]) {
  if (outer.right <= outer.left || outer.bottom <= outer.top) return 0;
  // Limit inner to outer, so that no piece reaches outside outer; for an inner rectangle inside
  // outer this changes nothing.
  const int32_t il = std::clamp(inner.left, outer.left, outer.right);
  const int32_t it = std::clamp(inner.top, outer.top, outer.bottom);
  const int32_t ir = std::clamp(inner.right, il, outer.right);
  const int32_t ib = std::clamp(inner.bottom, it, outer.bottom);
  const TRect pieces[4] = {
      {outer.left, outer.top, outer.right, it},     // above
      {outer.left, it, il, ib},                     // left
      {ir, it, outer.right, ib},                    // right
      {outer.left, ib, outer.right, outer.bottom},  // below
  };
  int32_t count = 0;
  for (const TRect& p : pieces) {
    if (p.left < p.right && p.top < p.bottom) out[count++] = p;
  }
  return count;
}

// ---------------------------------------------------------------------------------------------
// Changing a rectangle in place

void ShrinkRect(SRectWH& r, int32_t d) {
  r.left = AddSat(r.left, d);
  r.top = AddSat(r.top, d);
  r.width = SubSat(r.width, 2 * int64_t{d});
  r.height = SubSat(r.height, 2 * int64_t{d});
}

void ShrinkBounds(TRect& b, int32_t d) {
  b = {AddSat(b.left, d), AddSat(b.top, d), SubSat(b.right, d), SubSat(b.bottom, d)};
}

void GrowBounds(TRect& b, int32_t d) {
  b = {SubSat(b.left, d), SubSat(b.top, d), AddSat(b.right, d), AddSat(b.bottom, d)};
}

void OffsetBounds(TRect& b, int32_t dx, int32_t dy) {
  b = {AddSat(b.left, dx), AddSat(b.top, dy), AddSat(b.right, dx), AddSat(b.bottom, dy)};
}

void BoundsIncludePoint(TRect& b, const TPoint& p) {
  if (p.x < b.left)
    b.left = p.x;
  else if (p.x >= b.right)
    b.right = AddSat(p.x, 1);
  if (p.y < b.top)
    b.top = p.y;
  else if (p.y >= b.bottom)
    b.bottom = AddSat(p.y, 1);
}

void UnionBounds(TRect& a, const TRect& b) {
  a.left = std::min(a.left, b.left);
  a.top = std::min(a.top, b.top);
  a.right = std::max(a.right, b.right);
  a.bottom = std::max(a.bottom, b.bottom);
}

void BoundsIncludeRect(TRect& a, const TRect& b) {
  const int32_t lastX = SubSat(b.right, 1);
  const int32_t lastY = SubSat(b.bottom, 1);
  BoundsIncludePoint(a, TPoint{b.left, b.top});
  BoundsIncludePoint(a, TPoint{lastX, b.top});
  BoundsIncludePoint(a, TPoint{b.left, lastY});
  BoundsIncludePoint(a, TPoint{lastX, lastY});
}

void UnionRect(SRectWH& a, const SRectWH& b) {
  TRect ba;
  TRect bb;
  RectToBounds(a, ba);
  RectToBounds(b, bb);
  BoundsIncludeRect(ba, bb);
  BoundsToRect(ba, a);
}

// ---------------------------------------------------------------------------------------------
// Tests and measures

int64_t BoundsGapSq(const TRect& a, const TRect& b) {
  int64_t dx = 0;
  if (a.right < b.left)
    dx = int64_t{b.left} - a.right;
  else if (b.right < a.left)
    dx = int64_t{a.left} - b.right;
  int64_t dy = 0;
  if (a.bottom < b.top)
    dy = int64_t{b.top} - a.bottom;
  else if (b.bottom < a.top)
    dy = int64_t{a.top} - b.bottom;
  // Both below 2^31: the sum stays below 2^63.
  if (dx > kInt32Max || dy > kInt32Max) return kInt64Max;
  return dx * dx + dy * dy;
}

int64_t BoundsArea(const TRect& b) {
  const int64_t w = int64_t{b.right} - b.left;
  const int64_t h = int64_t{b.bottom} - b.top;
  int64_t area;
  if (__builtin_mul_overflow(w, h, &area)) return ((w < 0) != (h < 0)) ? kInt64Min : kInt64Max;
  return area;
}

// ---------------------------------------------------------------------------------------------
// Points

void ClampPointToImage(TPoint& p, const SSize& s) {
  if (p.x >= s.width) p.x = SubSat(s.width, 1);
  if (p.x < 0) p.x = 0;
  if (p.y >= s.height) p.y = SubSat(s.height, 1);
  if (p.y < 0) p.y = 0;
}

void ClampPointToExtent(TPoint& p, const SSize& s) {
  if (p.x > s.width) p.x = s.width;
  if (p.x < 0) p.x = 0;
  if (p.y > s.height) p.y = s.height;
  if (p.y < 0) p.y = 0;
}

void ClampPointIntoRect(TPoint& p, const SRectWH& r) {
  if (r.width <= 0 || p.x < r.left)
    p.x = r.left;
  else if (int64_t{p.x} >= int64_t{r.left} + r.width)
    p.x = SaturateInt32(int64_t{r.left} + r.width - 1);
  if (r.height <= 0 || p.y < r.top)
    p.y = r.top;
  else if (int64_t{p.y} >= int64_t{r.top} + r.height)
    p.y = SaturateInt32(int64_t{r.top} + r.height - 1);
}

// ---------------------------------------------------------------------------------------------
// Fitting

bool FitSizeInBox(SRectWH& out, const SSize& box, const SSize& image) {
  if (box.width <= 0 || box.height <= 0 || image.width <= 0 || image.height <= 0) {
    out = {0, 0, 0, 0};
    return false;
  }
  const float imageAspect = QuotientSingle(image.width, image.height);
  const float boxAspect = QuotientSingle(box.width, box.height);
  if (imageAspect == boxAspect) {
    out = {0, 0, box.width, box.height};
  } else if (imageAspect > boxAspect) {
    const int64_t h = std::max<int64_t>(int64_t{image.height} * box.width / image.width, 1);
    out = {0, static_cast<int32_t>((box.height - h) / 2), box.width, static_cast<int32_t>(h)};
  } else {
    const int64_t w = std::max<int64_t>(int64_t{image.width} * box.height / image.height, 1);
    out = {static_cast<int32_t>((box.width - w) / 2), 0, static_cast<int32_t>(w), box.height};
  }
  return true;
}

bool PlaceSizeInBox(SRectWH& out, const SSize& box, const SSize& image) {
  if (box.width <= 0 || box.height <= 0 || image.width <= 0 || image.height <= 0) {
    out = {0, 0, 0, 0};
    return false;
  }
  if (image.width <= box.width && image.height <= box.height) {
    out = {(box.width - image.width) / 2, (box.height - image.height) / 2, image.width, image.height};
    return true;
  }
  return FitSizeInBox(out, box, image);
}

// ---------------------------------------------------------------------------------------------
// Measures in floating point, ratios

float HypotSingle(float a, float b) {
  const double da = a;
  const double db = b;
  return static_cast<float>(std::sqrt(da * da + db * db));
}

float RatioValue(const SRatio& r) {
  if (r.denominator == 0) return 32767.0f;
  return QuotientSingle(r.numerator, r.denominator);
}

bool RatioIsWhole(const SRatio& r) {
  if (r.denominator == 0) return false;
  if (r.denominator == -1) return true;  // INT32_MIN % -1 would trap
  return r.numerator % r.denominator == 0;
}

// ---------------------------------------------------------------------------------------------
// 16.16 fixed point

Fixed FixDiv(Fixed a, Fixed b) {
  if (b == 0) return a > 0 ? kInt32Max : (a < 0 ? kInt32Min : 0);
  const int64_t n = int64_t{a} * 65536;
  int64_t q = n / b;
  const int64_t rem = n % b;
  if (rem != 0) {
    const uint64_t twiceRem = 2 * static_cast<uint64_t>(rem < 0 ? -rem : rem);
    const uint64_t divisor = static_cast<uint64_t>(b < 0 ? -int64_t{b} : int64_t{b});
    if (twiceRem > divisor || (twiceRem == divisor && (q & 1) != 0)) {
      q += ((n < 0) != (b < 0)) ? -1 : 1;  // away from zero
    }
  }
  return SaturateInt32(q);
}

Fixed FixSqrt(Fixed a) {
  if (a <= 0) return 0;
  return static_cast<Fixed>(RoundSqrt(static_cast<uint64_t>(a) << 16));
}

Fixed FixHypot(Fixed a, Fixed b) {
  const uint64_t n = static_cast<uint64_t>(int64_t{a} * a) + static_cast<uint64_t>(int64_t{b} * b);
  const uint64_t r = RoundSqrt(n);
  return r > static_cast<uint64_t>(kInt32Max) ? kInt32Max : static_cast<Fixed>(r);
}

Fixed SingleToFix(float x) { return IntegralToInt32(std::nearbyint(static_cast<double>(x) * 65536.0)); }

int32_t RoundSingle(float x) { return IntegralToInt32(std::nearbyint(static_cast<double>(x))); }

// ---------------------------------------------------------------------------------------------
// Random sequence

void RandomInit(SRandom& r, int32_t seed, int32_t low, int32_t high) {
  r.seed = seed;
  r.low = low;
  r.high = high;
  r.draws = 0;
  r.state = seed;
}

int32_t RandomDraw(SRandom& r) {
  r.draws = static_cast<int32_t>(static_cast<uint32_t>(r.draws) + 1u);
  r.state = RandomNext(r.state);
  const uint32_t span = static_cast<uint32_t>(r.high) - static_cast<uint32_t>(r.low);
  return static_cast<int32_t>(static_cast<uint32_t>(r.low) + MulHigh32(span, static_cast<uint32_t>(r.state)));
}

uint32_t& GlobalRandomSeed() {
  static uint32_t seed = 0;
  return seed;
}

uint32_t GlobalRandom(uint32_t n) {
  uint32_t& state = GlobalRandomSeed();
  state = state * 134775813u + 1u;
  return MulHigh32(state, n);
}

// ---------------------------------------------------------------------------------------------
// Sort

namespace {

constexpr int kSortStackSize = 30;
constexpr std::ptrdiff_t kSelectionSortLimit = 8;

void SwapItems(uint8_t* a, uint8_t* b, std::ptrdiff_t size) {
  if (a == b) return;
  for (std::ptrdiff_t i = 0; i < size; ++i) {
    const uint8_t t = a[i];
    a[i] = b[i];
    b[i] = t;
  }
}

// Sorts the items lo .. hi (item indexes) by repeatedly moving the largest to the end.
template <class Compare>
void SelectionSort(uint8_t* base, std::ptrdiff_t size, std::ptrdiff_t lo, std::ptrdiff_t hi, Compare& compare) {
  while (hi > lo) {
    std::ptrdiff_t largest = lo;
    for (std::ptrdiff_t p = lo + 1; p <= hi; ++p) {
      if (compare(base + p * size, base + largest * size) > 0) largest = p;
    }
    SwapItems(base + largest * size, base + hi * size, size);
    --hi;
  }
}

// Non-recursive quicksort: the larger part of each partition waits on the stack while the
// smaller one is worked on, so the stack never holds more than log2(count) ranges.
template <class Compare>
void QuickSortItems(uint8_t* base, std::ptrdiff_t count, std::ptrdiff_t size, Compare compare) {
  std::ptrdiff_t lowStack[kSortStackSize];
  std::ptrdiff_t highStack[kSortStackSize];
  int depth = 0;
  auto item = [&](std::ptrdiff_t i) { return base + i * size; };

  std::ptrdiff_t lo = 0;
  std::ptrdiff_t hi = count - 1;
  for (;;) {
    const std::ptrdiff_t n = hi - lo + 1;
    bool next = false;  // true when lo .. hi has been set to a part to work on
    if (n <= kSelectionSortLimit) {
      SelectionSort(base, size, lo, hi, compare);
    } else {
      // The middle item becomes the pivot at lo.
      SwapItems(item(lo + n / 2), item(lo), size);
      std::ptrdiff_t loguy = lo;
      std::ptrdiff_t higuy = hi + 1;
      for (;;) {
        do {
          ++loguy;
        } while (loguy <= hi && compare(item(loguy), item(lo)) <= 0);
        do {
          --higuy;
        } while (higuy > lo && compare(item(higuy), item(lo)) >= 0);
        if (higuy < loguy) break;
        SwapItems(item(loguy), item(higuy), size);
      }
      SwapItems(item(lo), item(higuy), size);

      // Left part lo .. higuy - 1, right part loguy .. hi.
      auto push = [&](std::ptrdiff_t l, std::ptrdiff_t h) {
        if (depth < kSortStackSize) {
          lowStack[depth] = l;
          highStack[depth] = h;
          ++depth;
        } else {
          // Unreachable for int32 counts (at most 28 ranges wait); sorted at once to stay safe.
          QuickSortItems(item(l), h - l + 1, size, compare);
        }
      };
      if (higuy - 1 - lo >= hi - loguy) {
        if (lo + 1 < higuy) push(lo, higuy - 1);
        if (loguy < hi) {
          lo = loguy;
          next = true;
        }
      } else {
        if (loguy < hi) push(loguy, hi);
        if (lo + 1 < higuy) {
          hi = higuy - 1;
          next = true;
        }
      }
    }
    if (next) continue;
    if (depth == 0) return;
    --depth;
    lo = lowStack[depth];
    hi = highStack[depth];
  }
}

}  // namespace

void QuickSort(void* base, int32_t count, int32_t itemSize, CompareFunc compare) {
  if (count < 2 || itemSize < 1 || base == nullptr) return;
  QuickSortItems(static_cast<uint8_t*>(base), count, itemSize,
                 [compare](const void* a, const void* b) { return compare(a, b); });
}

void QuickSort(void* base, int32_t count, int32_t itemSize, CompareFuncWithContext compare, void* context) {
  if (count < 2 || itemSize < 1 || base == nullptr) return;
  QuickSortItems(static_cast<uint8_t*>(base), count, itemSize,
                 [compare, context](const void* a, const void* b) { return compare(a, b, context); });
}

// ---------------------------------------------------------------------------------------------
// Bytes

int32_t CompareBytes(const void* a, const void* b, std::ptrdiff_t count) {
  if (count <= 0) return 0;
  const int c = std::memcmp(a, b, static_cast<size_t>(count));
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

void ReverseBytes(void* buffer, std::ptrdiff_t count) {
  if (count <= 1) return;
  uint8_t* p = static_cast<uint8_t*>(buffer);
  std::reverse(p, p + count);
}

void FillBytes(void* buffer, uint8_t value, std::ptrdiff_t count) {
  if (count <= 0) return;
  std::memset(buffer, value, static_cast<size_t>(count));
}

void FillDWordPattern(void* buffer, uint32_t value32, std::ptrdiff_t byteCount) {
  if (byteCount <= 0) return;
  const uint8_t pattern[4] = {static_cast<uint8_t>(value32), static_cast<uint8_t>(value32 >> 8),
                              static_cast<uint8_t>(value32 >> 16), static_cast<uint8_t>(value32 >> 24)};
  uint8_t* p = static_cast<uint8_t*>(buffer);
  const std::ptrdiff_t words = byteCount / 4;
  for (std::ptrdiff_t i = 0; i < words; ++i) std::memcpy(p + 4 * i, pattern, 4);
  std::memset(p + 4 * words, pattern[0], static_cast<size_t>(byteCount % 4));
}

void FillBytesByDWords(void* buffer, uint8_t value, std::ptrdiff_t count) {
  FillDWordPattern(buffer, value * 0x01010101u, count);
}

// A forward copy equals a move whenever the destination lies below the source, the only
// overlap callers may use; memmove gives that and more.
void CopyBytes(void* dest, const void* source, std::ptrdiff_t count) {
  if (count <= 0) return;
  std::memmove(dest, source, static_cast<size_t>(count));
}

void CopyDWords(void* dest, const void* source, std::ptrdiff_t count) {
  if (count <= 0) return;
  std::memmove(dest, source, static_cast<size_t>(count));
}

void CopyMem(void* dest, const void* source, std::ptrdiff_t count) {
  if (count <= 0) return;
  std::memmove(dest, source, static_cast<size_t>(count));
}

}  // namespace tf
