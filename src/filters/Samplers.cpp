// Bilinear samplers, the 3x3 kernel, modulo helpers and level curves.
#include "filters/Samplers.h"

#include <algorithm>
#include <cmath>

namespace tf {

namespace {

inline uint32_t Ch(uint32_t p, int32_t shift) { return (p >> shift) & 0xFFu; }
inline uint32_t Sat(uint32_t v) { return v > 255 ? 255 : v; }

}  // namespace

int32_t PositiveMod(int32_t a, int32_t n) {
  if (n <= 0) return 0;
  if (a >= 0) return a % n;
  const int32_t c = static_cast<int32_t>((-int64_t{a}) % n);
  return c == 0 ? 0 : n - c;
}

bool PointWithinSize(int32_t width, int32_t height, int32_t x, int32_t y) {
  return x >= 0 && y >= 0 && x < width && y < height;
}

bool PointInStore(const CBlockVMTC& store, int32_t x, int32_t y) {
  return PointWithinSize(store.Width(), store.Height(), x, y);
}

bool PointInImage(const TMTC& image, int32_t x, int32_t y) {
  return PointWithinSize(image.Width(), image.Height(), x, y);
}

namespace {

inline void AddWeighted(uint32_t p, uint32_t weight, uint32_t sums[4]) {
  sums[0] += weight * Ch(p, 0);
  sums[1] += weight * Ch(p, 8);
  sums[2] += weight * Ch(p, 16);
  sums[3] += weight * Ch(p, 24);
}

template <class Image, class Read>
uint32_t Bilinear(const Image& image, int32_t width, int32_t height, int32_t x, int32_t y, bool wrap, Read read) {
  int32_t x0 = x / 65536, y0 = y / 65536;
  const uint32_t fx = (static_cast<uint32_t>(x) >> 8) & 0xFFu;
  const uint32_t fy = (static_cast<uint32_t>(y) >> 8) & 0xFFu;
  int32_t x1, y1;
  if (wrap) {
    x0 = PositiveMod(x0, width);
    y0 = PositiveMod(y0, height);
    x1 = x0 + 1 >= width ? 0 : x0 + 1;
    y1 = y0 + 1 >= height ? 0 : y0 + 1;
  } else {
    x1 = x0 + 1;
    y1 = y0 + 1;
  }
  uint32_t sums[4] = {0, 0, 0, 0};
  uint32_t total = 0;
  const auto take = [&](int32_t px, int32_t py, uint32_t w) {
    if (!PointWithinSize(width, height, px, py)) return;
    AddWeighted(read(image, px, py), w, sums);
    total += w;
  };
  take(x0, y0, (255 - fx) * (255 - fy));
  take(x1, y0, fx * (255 - fy));
  take(x0, y1, (255 - fx) * fy);
  take(x1, y1, fx * fy);
  if (total == 0) return 0;
  return (sums[0] / total) | (sums[1] / total) << 8 | (sums[2] / total) << 16 | (sums[3] / total) << 24;
}

}  // namespace

bool AccumulateStorePixel(const CBlockVMTC& store, int32_t x, int32_t y, uint32_t weight, uint32_t sums[4]) {
  if (!PointInStore(store, x, y)) return false;
  AddWeighted(store.GetPixel(x, y), weight, sums);
  return true;
}

bool AccumulateImagePixel(const TMTC& image, int32_t x, int32_t y, uint32_t weight, uint32_t sums[4]) {
  if (!PointInImage(image, x, y)) return false;
  AddWeighted(image.GetPixel(x, y), weight, sums);
  return true;
}

uint32_t SampleStoreBilinear(const CBlockVMTC& store, int32_t x, int32_t y, bool wrap) {
  return Bilinear(store, store.Width(), store.Height(), x, y, wrap,
                  [](const CBlockVMTC& s, int32_t px, int32_t py) { return s.GetPixel(px, py); });
}

uint32_t SampleImageBilinear(const TMTC& image, int32_t x, int32_t y, bool wrap) {
  return Bilinear(image, image.Width(), image.Height(), x, y, wrap,
                  [](const TMTC& i, int32_t px, int32_t py) { return i.GetPixel(px, py); });
}

bool ResampleStorePixelWrapped(const CBlockVMTC& source, CBlockVMTC& dest, int32_t destX, int32_t destY, int32_t x,
                               int32_t y) {
  uint32_t* p = dest.WritePtr(destX, destY);
  if (p == nullptr) return false;
  *p = SampleStoreBilinear(source, x, y, true);
  return true;
}

void ClearKernel3x3(double kernel[9]) { std::fill(kernel, kernel + 9, 0.0); }

void NormalizeKernel3x3(double out[9], const double k[9]) {
  double s = 0;
  for (int32_t i = 0; i < 9; ++i) s += k[i];
  if (s == 0) s = 1;
  for (int32_t i = 0; i < 9; ++i) out[i] = k[i] / s;
}

uint32_t Convolve3x3(const double kernel[9], const uint32_t pixels[9]) {
  uint32_t out = 0;
  for (int32_t shift = 0; shift < 32; shift += 8) {
    double sum = 0;
    for (int32_t i = 0; i < 9; ++i) sum += kernel[i] * Ch(pixels[i], shift);
    const double c = sum < 0 ? 0 : sum > 255 ? 255 : sum;
    out |= static_cast<uint32_t>(c) << shift;
  }
  return out;
}

// ---------------------------------------------------------------------------------------------
// The 4096-step samplers

namespace {

struct SSubpixelSums {
  uint32_t b = 0, g = 0, r = 0, alpha = 0, total = 0;
};

// One weighted neighbour: colours weighted by w x alpha / 255 (as a shift sum), alpha by w x alpha.
inline void AccumulateSubpixel(const TMTC& image, int32_t x, int32_t y, uint32_t w, SSubpixelSums& s) {
  const uint32_t p = image.GetPixel(x, y);
  const uint32_t alpha = p >> 24;
  if (alpha == 0) return;
  const uint32_t a = w * alpha;
  s.alpha += a;
  uint32_t r = (a >> 8) + (a >> 16) + (a >> 24);
  r += r >> 23;
  s.b += r * Ch(p, 0);
  s.g += r * Ch(p, 8);
  s.r += r * Ch(p, 16);
  s.total += r;
}

inline uint32_t Fraction4096(int32_t v) {
  uint32_t f = (static_cast<uint32_t>(v) >> 4) & 4095u;
  return f >= 2048 ? f + 1 : f;
}

// The four neighbours of (x, y) with x1, y1 given, each weight shifted right by shift.
inline void AccumulateFour(const TMTC& image, int32_t x, int32_t y, int32_t x1, int32_t y1, uint32_t shift,
                           SSubpixelSums& s) {
  const int32_t x0 = x >> 16, y0 = y >> 16;
  const uint32_t fx = Fraction4096(x), fy = Fraction4096(y);
  AccumulateSubpixel(image, x0, y0, ((4096 - fx) * (4096 - fy)) >> shift, s);
  AccumulateSubpixel(image, x1, y0, (fx * (4096 - fy)) >> shift, s);
  AccumulateSubpixel(image, x0, y1, ((4096 - fx) * fy) >> shift, s);
  AccumulateSubpixel(image, x1, y1, (fx * fy) >> shift, s);
}

enum class Pack { kPlain, kSatColour, kSatAll };

inline uint32_t Result(const SSubpixelSums& s, Pack pack) {
  if (s.total == 0) return 0x00FFFFFFu;
  uint32_t b = (s.b + 0x800000u) / s.total;
  uint32_t g = (s.g + 0x800000u) / s.total;
  uint32_t r = (s.r + 0x800000u) / s.total;
  uint32_t a = (s.alpha + 0x800000u) >> 24;
  if (pack != Pack::kPlain) {
    b = Sat(b);
    g = Sat(g);
    r = Sat(r);
    if (pack == Pack::kSatAll) a = Sat(a);
  }
  return b | g << 8 | r << 16 | a << 24;
}

inline void ClampedNeighbours(const TMTC& image, int32_t x, int32_t y, int32_t& x1, int32_t& y1) {
  x1 = std::min((x >> 16) + 1, image.Width() - 1);
  y1 = std::min((y >> 16) + 1, image.Height() - 1);
}

inline void WrappedNeighbours(const TMTC& image, int32_t x, int32_t y, int32_t& x1, int32_t& y1) {
  x1 = (x >> 16) + 1;
  y1 = (y >> 16) + 1;
  if (x1 >= image.Width()) x1 -= image.Width();
  if (y1 >= image.Height()) y1 -= image.Height();
}

inline void Pow2Neighbours(const TMTC& image, int32_t x, int32_t y, int32_t& x1, int32_t& y1) {
  x1 = ((x >> 16) + 1) & (image.Width() - 1);
  y1 = ((y >> 16) + 1) & (image.Height() - 1);
}

template <auto Neighbours>
uint32_t SampleOne(const TMTC& image, int32_t x, int32_t y, Pack pack) {
  SSubpixelSums s;
  int32_t x1, y1;
  Neighbours(image, x, y, x1, y1);
  AccumulateFour(image, x, y, x1, y1, 0, s);
  return Result(s, pack);
}

uint32_t SamplePair(const TMTC& image, int32_t px, int32_t py, int32_t qx, int32_t qy, Pack pack) {
  SSubpixelSums s;
  int32_t x1, y1;
  ClampedNeighbours(image, px, py, x1, y1);
  AccumulateFour(image, px, py, x1, y1, 1, s);
  ClampedNeighbours(image, qx, qy, x1, y1);
  AccumulateFour(image, qx, qy, x1, y1, 1, s);
  return Result(s, pack);
}

}  // namespace

uint32_t SampleClamped(const TMTC& image, int32_t x, int32_t y) {
  return SampleOne<ClampedNeighbours>(image, x, y, Pack::kPlain);
}
uint32_t SampleClampedSat(const TMTC& image, int32_t x, int32_t y) {
  return SampleOne<ClampedNeighbours>(image, x, y, Pack::kSatAll);
}
uint32_t SamplePairClamped(const TMTC& image, int32_t px, int32_t py, int32_t qx, int32_t qy) {
  return SamplePair(image, px, py, qx, qy, Pack::kPlain);
}
uint32_t SamplePairClampedSat(const TMTC& image, int32_t px, int32_t py, int32_t qx, int32_t qy) {
  return SamplePair(image, px, py, qx, qy, Pack::kSatAll);
}
uint32_t SampleWrapped(const TMTC& image, int32_t x, int32_t y) {
  return SampleOne<WrappedNeighbours>(image, x, y, Pack::kPlain);
}
uint32_t SampleWrappedSat(const TMTC& image, int32_t x, int32_t y) {
  return SampleOne<WrappedNeighbours>(image, x, y, Pack::kSatColour);
}
uint32_t SamplePow2Wrapped(const TMTC& image, int32_t x, int32_t y) {
  return SampleOne<Pow2Neighbours>(image, x, y, Pack::kPlain);
}
uint32_t SamplePow2WrappedSat(const TMTC& image, int32_t x, int32_t y) {
  return SampleOne<Pow2Neighbours>(image, x, y, Pack::kSatAll);
}

// ---------------------------------------------------------------------------------------------
// Modulo and levels

double FloatMod(double x, double n) {
  double r = x - n * std::trunc(x / n);
  if (r >= n) {
    r -= n;
  } else {
    for (int32_t i = 0; i < 2 && r < 0; ++i) r += n;
  }
  return r;
}

namespace {

int32_t TruncClamped(double v, double lo, double hi) {
  if (std::isnan(v)) return static_cast<int32_t>(lo);
  const double t = std::trunc(v);
  return static_cast<int32_t>(t < lo ? lo : t > hi ? hi : t);
}

int32_t ClampFix(int64_t v) { return static_cast<int32_t>(v < 0 ? 0 : v > 65536 ? 65536 : v); }

// Differences of 16.16 values, kept inside int32 (FixDiv's range).
int32_t Diff(int32_t a, int32_t b) {
  return static_cast<int32_t>(std::clamp<int64_t>(int64_t{a} - b, INT32_MIN, INT32_MAX));
}

// x to the power e, of Singles.
double PowerCurve(float x, float e) { return std::pow(static_cast<double>(x), static_cast<double>(e)); }

}  // namespace

int32_t LevelToFix(double level) { return TruncClamped(level * 257.00392156862745 + 0.5, 0, 65536); }
int32_t FixToLevel(double fix) { return TruncClamped(fix * 255.0 / 65536.0 + 0.5, 0, 255); }
int32_t PercentToFix(double percent) { return TruncClamped(percent * 655.36 + 0.5, INT32_MIN, INT32_MAX); }

int32_t LevelCurve(int32_t value, int32_t low, int32_t middle, int32_t high, uint8_t mode) {
  int32_t t = FixDiv(Diff(value, low), Diff(high, low));
  int64_t f;
  if (mode != 0) {
    const int32_t m = static_cast<int32_t>((int64_t{middle} + 1) / 2);
    if (m < t)
      f = int64_t{FixDiv(FixMul(Diff(t, m), 32768), Diff(65536, m))} + 32768;
    else
      f = FixDiv(FixMul(t, 32768), m);
  } else {
    t = std::clamp(t, 0, 65536);
    if (middle <= 65536) {
      f = TruncClamped(PowerCurve(static_cast<float>(t) / 65536.0f, static_cast<float>(middle) / 65536.0f) * 65536.0,
                       INT32_MIN, INT32_MAX);
    } else {
      f = 65536 - int64_t{TruncClamped(PowerCurve(static_cast<float>(65536 - t) / 65536.0f,
                                                  static_cast<float>(Diff(131072, middle)) / 65536.0f) *
                                           65536.0,
                                       INT32_MIN, INT32_MAX)};
    }
  }
  return ClampFix(f);
}

int32_t LerpFix(int32_t t, int32_t a, int32_t b) { return ClampFix(int64_t{a} + FixMul(t, Diff(b, a))); }

int32_t LevelMap(int32_t value, int32_t low, int32_t middle, int32_t high, int32_t outLow, int32_t outHigh,
                 uint8_t mode) {
  return LerpFix(LevelCurve(value, low, middle, high, mode), outLow, outHigh);
}

}  // namespace tf
