// The blur filters.
#include "filters/Blurs.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <vector>

#include "filters/Convolve.h"
#include "filters/FilterLoops.h"
#include "filters/Samplers.h"
#include "platform/ByteOrder.h"
#include "raster/ScaleImage.h"

namespace tf {

namespace {

bool KernelBlur(FilterContext& context, int32_t size, const int32_t* weights, int32_t side) {
  if (!CheckFilterContext(context) || size != 0) return false;
  const int32_t origin = -(side / 2);
  return ConvolveCoveredAlpha(context, weights, SKernelRect{origin, origin, side, side}, 0);
}

bool FailNotFinite(const FilterContext& context) {
  if (context.Note != nullptr) context.Note->notFinite = true;
  return false;
}

template <class T>
int32_t BuildGaussianKernel(T* kernel, int32_t n, double sigma) {
  if (n <= 0) return 0;
  const int32_t c = n / 2;
  std::vector<double> w(static_cast<size_t>(n));
  double sum = 0;
  for (int32_t i = 0; i < n; ++i) {
    const double d = i - c;
    w[i] = std::exp(-(d * d) / (2.0 * sigma * sigma));
    sum += w[i];
  }
  int32_t radius = 0;
  for (int32_t i = 0; i < n; ++i) {
    const double v = w[i] / sum;
    if (v >= 0.01) radius = std::abs(i - c) + 1;
    if constexpr (std::is_same_v<T, float>)
      kernel[i] = static_cast<float>(v);
    else
      kernel[i] = static_cast<int32_t>(v * 65536.0 + 0.5);
  }
  return radius;
}

// A copy of Source (the store's size) into a new image; null when it cannot be made.
std::unique_ptr<TMTC> CopyOfSource(const FilterContext& context) {
  const int32_t w = context.Store->Width(), h = context.Store->Height();
  auto image = std::make_unique<TMTC>(w, h);
  if (!image->IsValid()) return nullptr;
  for (int32_t y = 0; y < h; ++y) std::memcpy(image->Pixel(0, y), context.Source->Pixel(0, y), 4 * static_cast<size_t>(w));
  return image;
}

void CopyImageRows(TMTC& to, const TMTC& from, const TRect& r) {
  for (int32_t y = r.top; y < r.bottom; ++y)
    std::memcpy(to.Pixel(r.left, y), from.Pixel(r.left, y), 4 * static_cast<size_t>(r.right - r.left));
}

bool RestoreSource(const FilterContext& context) {
  return context.Backup->CopyAllToImage(*context.Source, 0, 0, 255, false);
}

TRect WidenInStore(const TRect& r, int32_t mx, int32_t my, int32_t w, int32_t h) {
  return TRect{std::max(r.left - mx, 0), std::max(r.top - my, 0), std::min(r.right + mx, w), std::min(r.bottom + my, h)};
}

int32_t CeilPixels(int32_t fix) {
  const int64_t a = fix < 0 ? -int64_t{fix} : int64_t{fix};
  return static_cast<int32_t>((a + 65535) >> 16);
}

using PairSampler = uint32_t (*)(const TMTC&, int32_t, int32_t, int32_t, int32_t);

// The passes of the integer motion and zoom blurs: points(x, y, step, p) fills the two 16.16 points
// of the pixel; each pass reads one image and writes the other, then they swap. The result is
// written over the pass area (Work clipped to Bounds) by the coverage.
template <class Margin, class Points>
bool AlternatingPasses(FilterContext& context, float step, PairSampler sampler, Margin&& margin, Points&& points) {
  const int32_t w = context.Store->Width(), h = context.Store->Height();
  const TRect area{std::max(context.Work.left, context.Bounds.left), std::max(context.Work.top, context.Bounds.top),
                   std::min(context.Work.right, context.Bounds.right),
                   std::min(context.Work.bottom, context.Bounds.bottom)};
  if (area.right <= area.left || area.bottom <= area.top) return true;
  std::unique_ptr<TMTC> other = CopyOfSource(context);
  if (!other) return false;
  TMTC* read = context.Source;
  TMTC* write = other.get();
  const bool keepAlpha = context.KeepAlpha != 0;
  const int32_t xmax = w * 65536 - 1, ymax = h * 65536 - 1;
  while (step >= 0.5f) {
    int32_t mx = 0, my = 0;
    margin(step, mx, my);
    const TRect pass = WidenInStore(area, mx, my, w, h);
    for (int32_t y = pass.top; y < pass.bottom; ++y)
      for (int32_t x = pass.left; x < pass.right; ++x) {
        int32_t p[4];
        points(x, y, p);
        const uint32_t v = sampler(*read, std::clamp(p[0], 0, xmax), std::clamp(p[1], 0, ymax), std::clamp(p[2], 0, xmax),
                                   std::clamp(p[3], 0, ymax));
        uint32_t* q = write->Pixel(x, y);
        *q = keepAlpha ? (*q & 0xFF000000u) | (v & 0x00FFFFFFu) : v;
      }
    std::swap(read, write);
    step /= 2;
  }
  // read now holds the last pass's result; Source goes back to the unfiltered pixels.
  if (read == context.Source) CopyImageRows(*other, *context.Source, area);
  if (!RestoreSource(context)) return false;
  const TMTC& result = *other;
  FilterContext c = context;
  c.Work = area;
  return ForEachCoveredPixel(c, keepAlpha, [&result](int32_t x, int32_t y, uint32_t) { return result.GetPixel(x, y); });
}

bool MotionBlurFloat(FilterContext& context, uint8_t distance, float angle) {
  if (!std::isfinite(angle)) return FailNotFinite(context);
  float step = static_cast<float>(distance) / 2.0f;
  if (step == 0) return true;
  const int32_t w = context.Store->Width(), h = context.Store->Height();
  const double radians = static_cast<double>(angle) * std::numbers::pi / 180.0;
  const double c = std::cos(radians), s = std::sin(radians);
  std::unique_ptr<TMTC> inter = CopyOfSource(context);
  if (!inter) return false;
  CScaleImageTMTC scaler(context.Source, nullptr);
  const TRect clip{0, 0, w * 65536, h * 65536};
  const bool keepAlpha = context.KeepAlpha != 0;
  while (step >= 0.5f) {
    const int32_t dx = SingleToFix(static_cast<float>(step * c)), dy = SingleToFix(static_cast<float>(step * s));
    const TRect pass = WidenInStore(context.Work, CeilPixels(dx), CeilPixels(dy), w, h);
    for (int32_t y = pass.top; y < pass.bottom; ++y)
      for (int32_t x = pass.left; x < pass.right; ++x) {
        const int32_t px = x * 65536 + 32768, py = y * 65536 + 32768;
        uint32_t s1 = 0, s2 = 0;
        if (!SamplePointInside(s1, scaler, &FadeTowardColour, clip, px + dx, py + dy) ||
            !SamplePointInside(s2, scaler, &FadeTowardColour, clip, px - dx, py - dy))
          return false;
        const uint32_t a1 = s1 >> 24, a2 = s2 >> 24;
        uint32_t* q = inter->Pixel(x, y);
        uint32_t v = *q;
        if (!keepAlpha) v = (v & 0x00FFFFFFu) | ((a1 + a2) >> 1) << 24;
        if (a1 + a2 != 0) {
          uint32_t out = v & 0xFF000000u;
          for (int32_t shift = 0; shift < 24; shift += 8) {
            const uint32_t c1 = (s1 >> shift) & 0xFFu, c2 = (s2 >> shift) & 0xFFu;
            out |= std::min<uint32_t>((c1 * a1 + c2 * a2) / (a1 + a2), 255u) << shift;
          }
          v = out;
        }
        *q = v;
      }
    CopyImageRows(*context.Source, *inter, TRect{0, 0, w, h});
    step /= 2;
  }
  if (!RestoreSource(context)) return false;
  const TMTC& result = *inter;
  return ForEachCoveredPixel(context, keepAlpha,
                             [&result](int32_t x, int32_t y, uint32_t) { return result.GetPixel(x, y); });
}

}  // namespace

void BuildGaussianKernels(int32_t* kernel1, int32_t* kernel2, int32_t length1, double sigma, int32_t length2,
                          int32_t& radius1, int32_t& radius2) {
  radius1 = BuildGaussianKernel(kernel1, length1, sigma);
  radius2 = BuildGaussianKernel(kernel2, length2, sigma);
}

void BuildGaussianKernelsFloat(float* kernel1, float* kernel2, int32_t length1, double sigma, int32_t length2,
                               int32_t& radius1, int32_t& radius2) {
  radius1 = BuildGaussianKernel(kernel1, length1, sigma);
  radius2 = BuildGaussianKernel(kernel2, length2, sigma);
}

bool BlurFilter(FilterContext& context, const void*, int32_t size) {
  static constexpr int32_t k[9] = {0, 1, 0, 1, 4, 1, 0, 1, 0};
  return KernelBlur(context, size, k, 3);
}
bool BlurBoxFilter(FilterContext& context, const void*, int32_t size) {
  static constexpr int32_t k[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
  return KernelBlur(context, size, k, 3);
}
bool BlurMoreFilter(FilterContext& context, const void*, int32_t size) {
  static constexpr int32_t k[9] = {1, 2, 1, 2, 2, 2, 1, 2, 1};
  return KernelBlur(context, size, k, 3);
}
bool BlurMoreBoxFilter(FilterContext& context, const void*, int32_t size) {
  static constexpr int32_t k[25] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  return KernelBlur(context, size, k, 5);
}

bool GaussianBlurFilter(FilterContext& context, const void* block, int32_t size) {
  if (!CheckFilterContext(context) || size != 8 || block == nullptr) return false;
  float sigma;
  std::memcpy(&sigma, block, 4);
  if (!(sigma > 0)) return true;  // NaN too
  const CBlockVMTC& store = *context.Store;
  const int32_t W = store.Width(), H = store.Height();
  std::vector<int32_t> kx(static_cast<size_t>(W)), ky(static_cast<size_t>(H));
  int32_t ex = 0, ey = 0;
  BuildGaussianKernels(kx.data(), ky.data(), W, std::isinf(sigma) ? 1e30 : sigma, H, ex, ey);
  const TRect& work = context.Work;
  const int32_t u = std::max(0, work.left - ex), uw = std::min(W, work.right + ex);
  const int32_t rows = work.bottom - work.top;
  if (uw <= u) return true;
  TMTC inter(uw - u, rows);
  if (!inter.IsValid()) return false;
  inter.FillAll(0x00FFFFFFu);
  // One pass: the taps around centre along a line of n pixels, read(pos) giving the pixel at a
  // position (null when outside the picture); colour alpha-weighted, alpha the plain mean.
  auto taps = [](const int32_t* kernel, int32_t n, int32_t radius, int32_t centre,
                 auto&& read) -> std::optional<uint32_t> {
    uint32_t sb = 0, sg = 0, sr = 0, sw = 0, sa = 0, count = 0;
    for (int32_t t = 0; t <= 2 * radius; ++t) {
      const int32_t pos = centre - radius + t, ki = n / 2 - radius + t;
      if (ki < 0 || ki >= n || pos < 0 || pos >= n) continue;
      const uint32_t* q = read(pos);
      if (q == nullptr) continue;
      const uint32_t p = *q;
      const uint32_t a = p >> 24, k = a * static_cast<uint32_t>(kernel[ki] >> 5);
      sb += k * (p & 0xFFu);
      sg += k * ((p >> 8) & 0xFFu);
      sr += k * ((p >> 16) & 0xFFu);
      sw += k;
      sa += a;
      ++count;
    }
    if (sw == 0 || count == 0) return std::nullopt;
    return (sa / count) << 24 | (sr / sw) << 16 | (sg / sw) << 8 | sb / sw;
  };
  // Vertical pass into the intermediate image.
  uint32_t read = 0;
  for (int32_t x = u; x < uw; ++x)
    for (int32_t y = work.top; y < work.bottom; ++y) {
      const std::optional<uint32_t> v = taps(ky.data(), H, ey, y, [&](int32_t row) -> const uint32_t* {
        if (!PointInStore(store, x, row)) return nullptr;
        read = store.GetPixel(x, row);
        return &read;
      });
      if (v) *inter.Pixel(x - u, y - work.top) = *v;
    }
  // Horizontal pass over Work.
  return ForEachCoveredPixelMaybe(context, context.KeepAlpha != 0, [&](int32_t x, int32_t y, uint32_t) {
    return taps(kx.data(), W, ex, x, [&](int32_t col) -> const uint32_t* {
      return PointInImage(inter, col - u, y - work.top) ? inter.Pixel(col - u, y - work.top) : nullptr;
    });
  });
}

bool MotionBlurFilter(FilterContext& context, const void* block, int32_t size) {
  if (!CheckFilterContext(context) || size != 8 || block == nullptr) return false;
  if (!FitsFixedPositions(context.Store->Width(), context.Store->Height())) return false;
  const auto* b = static_cast<const uint8_t*>(block);
  const uint8_t distance = b[0], variant = b[1];
  if (variant == 0) {
    float angle;
    std::memcpy(&angle, b + 4, 4);
    return MotionBlurFloat(context, distance, angle);
  }
  const float step = static_cast<float>(distance) / 2.0f;
  const double radians = -static_cast<double>(LoadLE<int16_t>(b + 2)) * std::numbers::pi / 180.0;
  const double c = std::cos(radians), s = std::sin(radians);
  int32_t dx = 0, dy = 0;
  return AlternatingPasses(
      context, step, variant == 2 ? &SamplePairClampedSat : &SamplePairClamped,
      [&](float st, int32_t& mx, int32_t& my) {
        dx = SingleToFix(static_cast<float>(st * c));
        dy = SingleToFix(static_cast<float>(st * s));
        mx = CeilPixels(dx);
        my = CeilPixels(dy);
      },
      [&](int32_t x, int32_t y, int32_t p[4]) {
        p[0] = x * 65536 + dx;
        p[1] = y * 65536 + dy;
        p[2] = x * 65536 - dx;
        p[3] = y * 65536 - dy;
      });
}

bool ZoomBlurFilter(FilterContext& context, const void* block, int32_t size) {
  if (!CheckFilterContext(context) || size != 8 || block == nullptr) return false;
  if (!FitsFixedPositions(context.Store->Width(), context.Store->Height())) return false;
  const auto* b = static_cast<const uint8_t*>(block);
  const TRect& bounds = context.Bounds;
  const int32_t cx = (bounds.left + bounds.right - 1) * 32768 + LoadLE<int16_t>(b) * 65536;
  const int32_t cy = (bounds.top + bounds.bottom - 1) * 32768 + LoadLE<int16_t>(b + 2) * 65536;
  const float bw = static_cast<float>(bounds.right - bounds.left), bh = static_cast<float>(bounds.bottom - bounds.top);
  const float d = std::sqrt(bw * bw + bh * bh);
  if (d == 0) return true;
  const float scale = 65536.0f / d;
  int32_t f = 0;
  return AlternatingPasses(
      context, static_cast<float>(b[4]) / 2.0f, b[6] == 1 ? &SamplePairClampedSat : &SamplePairClamped,
      [&](float st, int32_t& mx, int32_t& my) {
        mx = my = static_cast<int32_t>(std::ceil(st));
        f = RoundSingle(st * scale);
      },
      [&](int32_t x, int32_t y, int32_t p[4]) {
        const int32_t fx = x * 65536, fy = y * 65536;
        const int32_t ox = FixMul(fx - cx, f), oy = FixMul(fy - cy, f);
        p[0] = fx + ox;
        p[1] = fy + oy;
        p[2] = fx - ox;
        p[3] = fy - oy;
      });
}

}  // namespace tf
