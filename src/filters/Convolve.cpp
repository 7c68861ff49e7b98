// Convolution, the mean colour of a rectangle, faded area sampling, random offsets, rounding.
#include "filters/Convolve.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tf {

namespace {

inline uint32_t Ch(uint32_t p, int32_t shift) { return (p >> shift) & 0xFFu; }
inline int32_t Clamp255(int64_t v) { return static_cast<int32_t>(v < 0 ? 0 : v > 255 ? 255 : v); }
inline int32_t ClampInto(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : v > hi ? hi : v; }
// Sums kept in 32 bits as the recorded filters kept them: they wrap, explicitly.
inline int32_t Wrap(uint32_t v) { return static_cast<int32_t>(v); }
// a / b truncating toward zero, b not 0. Through doubles, which is exact here: a quotient of two
// int32 values that is not whole lies at least 1/|b| from the next whole number, while the
// rounding error of the double division stays below 2^-22/|b|. The divisions of one pixel then
// run side by side instead of one after another.
inline int64_t Quotient(int32_t a, int32_t b) {
  return static_cast<int64_t>(static_cast<double>(a) / static_cast<double>(b));
}

// Calls tap(pixel, weight) for each weight of the window at (x, y), rows and columns clamped into
// the image; the inside of the image without clamps.
template <class Tap>
inline void ForEachTap(const TMTC& image, const SSize& size, const SKernelRect& k, const int32_t* weights, int32_t y,
                       int32_t x, Tap&& tap) {
  const int64_t left = int64_t{x} + k.left, top = int64_t{y} + k.top;
  const bool inside = left >= 0 && top >= 0 && left + k.width <= size.width && top + k.height <= size.height;
  const int32_t* w = weights;
  if (inside) {
    for (int32_t j = 0; j < k.height; ++j) {
      const uint32_t* row = image.Pixel(static_cast<int32_t>(left), static_cast<int32_t>(top) + j);
      for (int32_t i = 0; i < k.width; ++i) tap(row[i], *w++);
    }
    return;
  }
  for (int32_t j = 0; j < k.height; ++j) {
    const int32_t sy = static_cast<int32_t>(std::clamp<int64_t>(top + j, 0, size.height - 1));
    for (int32_t i = 0; i < k.width; ++i) {
      const int32_t sx = static_cast<int32_t>(std::clamp<int64_t>(left + i, 0, size.width - 1));
      tap(image.GetPixel(sx, sy), *w++);
    }
  }
}

}  // namespace

int32_t RoundHalfAway(long double x) {
  const long double r = x >= 0 ? std::trunc(x + 0.5L) : std::trunc(x - 0.5L);
  if (!(r > -2147483649.0L && r < 2147483648.0L)) return x >= 0 ? INT32_MAX : INT32_MIN;
  return static_cast<int32_t>(r);
}

void RandomRGB(int32_t out[3], uint32_t n) {
  for (int32_t i = 0; i < 3; ++i) out[i] = static_cast<int32_t>(GlobalRandom(n));
}

void RandomGrey(int32_t out[3], uint32_t n) { out[0] = out[1] = out[2] = static_cast<int32_t>(GlobalRandom(n)); }

void AverageRectColour(uint32_t& out, const TMTC& image, const TRect& r) {
  out = 0;
  float accB = 0, accG = 0, accR = 0;
  uint32_t totalAlpha = 0;
  for (int32_t y = r.top; y < r.bottom; ++y) {
    uint32_t sb = 0, sg = 0, sr = 0, sa = 0;
    const uint32_t* row = image.Pixel(0, y);
    for (int32_t x = r.left; x < r.right; ++x) {
      const uint32_t p = row[x], a = p >> 24;
      sb += Ch(p, 0) * a;
      sg += Ch(p, 8) * a;
      sr += Ch(p, 16) * a;
      sa += a;
    }
    if (sa == 0) continue;
    const float s = static_cast<float>(Wrap(sa));
    accB += static_cast<float>(Wrap(sb)) / s;
    accG += static_cast<float>(Wrap(sg)) / s;
    accR += static_cast<float>(Wrap(sr)) / s;
    totalAlpha += sa;
  }
  if (totalAlpha == 0) return;
  const float height = static_cast<float>(r.bottom - r.top);
  const int64_t area = (int64_t{r.right} - r.left) * (int64_t{r.bottom} - r.top);
  const auto channel = [&](float acc) { return static_cast<uint32_t>(Clamp255(static_cast<int64_t>(acc / height))); };
  const int64_t alpha = area > 0 ? Wrap(totalAlpha) / area : 0;
  out = channel(accB) | channel(accG) << 8 | channel(accR) << 16 | static_cast<uint32_t>(Clamp255(alpha)) << 24;
}

void ConvolvePixel(uint32_t& out, const TMTC& image, const SSize& size, int32_t offset, int32_t divisor,
                   const SKernelRect& k, const int32_t* weights, int32_t y, int32_t x) {
  uint32_t sb = 0, sg = 0, sr = 0;
  ForEachTap(image, size, k, weights, y, x, [&](uint32_t p, int32_t w) {
    const uint32_t uw = static_cast<uint32_t>(w);
    sb += uw * Ch(p, 0);
    sg += uw * Ch(p, 8);
    sr += uw * Ch(p, 16);
  });
  const auto channel = [&](uint32_t sum) {
    return static_cast<uint32_t>(Clamp255(int64_t{offset} + Quotient(Wrap(sum), divisor)));
  };
  out = (out & 0xFF000000u) | channel(sr) << 16 | channel(sg) << 8 | channel(sb);
}

bool ConvolveCovered(FilterContext& context, const int32_t* weights, const SKernelRect& k, int32_t divisor,
                     int32_t offset) {
  if (divisor == 0 || k.width <= 0 || k.height <= 0 || weights == nullptr || !CheckFilterContext(context))
    return false;
  const TMTC& source = *context.Source;
  const SSize size{context.Store->Width(), context.Store->Height()};
  // ForEachCoveredPixel with keepAlpha: BlendColor, the store pixel's alpha kept.
  return ForEachCoveredPixelAnyOrder(context, true, [&](int32_t x, int32_t y, uint32_t) {
    uint32_t v = 0;
    ConvolvePixel(v, source, size, offset, divisor, k, weights, y, x);
    return v;
  });
}

bool ConvolvePixelAlpha(uint32_t& out, const TMTC& image, const SSize& size, int32_t offset, const SKernelRect& k,
                        const int32_t* weights, int32_t y, int32_t x) {
  uint32_t sb = 0, sg = 0, sr = 0, wa = 0, ws = 0;
  ForEachTap(image, size, k, weights, y, x, [&](uint32_t p, int32_t w) {
    if (w == 0) return;
    const uint32_t uwa = static_cast<uint32_t>(w) * (p >> 24);
    sb += uwa * Ch(p, 0);
    sg += uwa * Ch(p, 8);
    sr += uwa * Ch(p, 16);
    wa += uwa;
    ws += static_cast<uint32_t>(w);
  });
  if (wa != 0 && ws != 0) {
    const int32_t a = Wrap(wa);
    const auto channel = [&](uint32_t sum) {
      return static_cast<uint32_t>(Clamp255(int64_t{offset} + Quotient(Wrap(sum), a)));
    };
    out = channel(sb) | channel(sg) << 8 | channel(sr) << 16 |
          static_cast<uint32_t>(Clamp255(int64_t{offset} + Quotient(a, Wrap(ws)))) << 24;
    return true;
  }
  const uint32_t q = image.GetPixel(ClampInto(x, 0, size.width - 1), ClampInto(y, 0, size.height - 1));
  const auto channel = [&](int32_t shift) { return static_cast<uint32_t>(Clamp255(int64_t{offset} + Ch(q, shift))); };
  out = channel(0) | channel(8) << 8 | channel(16) << 16 | channel(24) << 24;
  return false;
}

void TrimKernel(int32_t* outWeights, SKernelRect& outRect, const int32_t* weights, const SKernelRect& k) {
  int32_t left = k.width, top = k.height, right = -1, bottom = -1;
  for (int32_t j = 0; j < k.height; ++j)
    for (int32_t i = 0; i < k.width; ++i)
      if (weights[int64_t{j} * k.width + i] != 0) {
        left = std::min(left, i);
        right = std::max(right, i);
        top = std::min(top, j);
        bottom = std::max(bottom, j);
      }
  if (right < 0) {
    outRect = SKernelRect{k.left, k.top, 0, 0};
    return;
  }
  outRect = SKernelRect{k.left + left, k.top + top, right - left + 1, bottom - top + 1};
  int32_t* w = outWeights;
  for (int32_t j = top; j <= bottom; ++j)
    for (int32_t i = left; i <= right; ++i) *w++ = weights[int64_t{j} * k.width + i];
}

bool ConvolveCoveredAlpha(FilterContext& context, const int32_t* weights, const SKernelRect& k, int32_t offset) {
  if (!CheckFilterContext(context) || weights == nullptr || k.width < 0 || k.height < 0) return false;
  if (int64_t{k.width} * k.height > kMaxKernelWeights) return false;
  std::vector<int32_t> trimmed(static_cast<size_t>(std::max<int64_t>(int64_t{k.width} * k.height, 1)));
  SKernelRect t{};
  TrimKernel(trimmed.data(), t, weights, k);
  if (t.width <= 0 || t.height <= 0) return true;
  const TMTC& source = *context.Source;
  const SSize size{context.Store->Width(), context.Store->Height()};
  const int32_t* w = trimmed.data();
  return ForEachCoveredPixelAnyOrder(context, context.KeepAlpha != 0, [&](int32_t x, int32_t y, uint32_t) {
    uint32_t v = 0;
    ConvolvePixelAlpha(v, source, size, offset, t, w, y, x);
    return v;
  });
}

// ---------------------------------------------------------------------------------------------
// Fades and area sampling

void FadeTowardColour(uint32_t& pixel, uint32_t fallback, double f) {
  const auto channel = [&](int32_t shift) {
    const double v = std::nearbyint(f * Ch(pixel, shift) + (1.0 - f) * Ch(fallback, shift));
    return static_cast<uint32_t>(v < 0 ? 0 : v > 255 ? 255 : v);
  };
  pixel = (pixel & 0xFF000000u) | channel(16) << 16 | channel(8) << 8 | channel(0);
}

void FadeAlpha(uint32_t& pixel, uint32_t /*fallback*/, double f) {
  const double v = std::nearbyint(Ch(pixel, 24) * f);
  pixel = (pixel & 0x00FFFFFFu) | static_cast<uint32_t>(v < 0 ? 0 : v > 255 ? 255 : v) << 24;
}

bool FitsFixedPositions(int32_t width, int32_t height) {
  return width >= 0 && height >= 0 && width <= 32767 && height <= 32767;
}

namespace {

// The 16.16 size of an area, in 64 bits.
int64_t AreaSize(int64_t x0, int64_t y0, int64_t x1, int64_t y1) { return ((x1 - x0) * (y1 - y0)) >> 16; }

bool ScalerFits(const CScaleImageTMTC& scaler) {
  return scaler.Source() != nullptr && scaler.Source()->IsValid() &&
         FitsFixedPositions(scaler.Source()->Width(), scaler.Source()->Height());
}

}  // namespace

bool SampleAreaFaded(uint32_t& out, uint32_t fallback, CScaleImageTMTC& scaler, FadeOp fade, const TRect& clip,
                     const TRect& area) {
  if (!ScalerFits(scaler)) return false;
  const int64_t a = AreaSize(area.left, area.top, area.right, area.bottom);
  const auto cx = [&](int32_t v) { return std::clamp(v, clip.left, clip.right); };
  const auto cy = [&](int32_t v) { return std::clamp(v, clip.top, clip.bottom); };
  const TRect c{cx(area.left), cy(area.top), cx(area.right), cy(area.bottom)};
  const int64_t b = AreaSize(c.left, c.top, c.right, c.bottom);
  if (b < 1) {
    out = fallback;
  } else {
    uint32_t v = 0;
    scaler.SampleAreaRaw(reinterpret_cast<uint8_t*>(&v), c);
    out = v;
  }
  if (b < a) fade(out, fallback, static_cast<double>(b) / static_cast<double>(a));
  return true;
}

bool SamplePointFaded(uint32_t& out, uint32_t fallback, CScaleImageTMTC& scaler, FadeOp fade, const TRect& clip,
                      int32_t x, int32_t y) {
  const TRect area{x - 0x8000, y - 0x8000, x + 0x8000, y + 0x8000};
  return SampleAreaFaded(out, fallback, scaler, fade, clip, area);
}

bool SampleAreaInside(uint32_t& pixel, CScaleImageTMTC& scaler, FadeOp fade, const TRect& clip, const TRect& area) {
  if (!ScalerFits(scaler)) return false;
  const int64_t a = AreaSize(area.left, area.top, area.right, area.bottom);
  const TRect c{std::clamp(area.left, clip.left, std::max(clip.left, clip.right - 0x8000)),
                std::clamp(area.top, clip.top, std::max(clip.top, clip.bottom - 0x8000)),
                std::clamp(area.right, std::min(clip.left + 0x8000, clip.right), clip.right),
                std::clamp(area.bottom, std::min(clip.top + 0x8000, clip.bottom), clip.bottom)};
  const int64_t b = AreaSize(c.left, c.top, c.right, c.bottom);
  uint32_t v = 0;
  scaler.SampleAreaRaw(reinterpret_cast<uint8_t*>(&v), c);
  pixel = v;
  if (b < a) fade(pixel, pixel, static_cast<double>(b) / static_cast<double>(a));
  return true;
}

bool SamplePointInside(uint32_t& pixel, CScaleImageTMTC& scaler, FadeOp fade, const TRect& clip, int32_t x,
                       int32_t y) {
  const TRect area{x - 0x8000, y - 0x8000, x + 0x8000, y + 0x8000};
  return SampleAreaInside(pixel, scaler, fade, clip, area);
}

}  // namespace tf
