#include "filters/Distortions.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <optional>
#include <vector>

#include "document/BlendMode.h"
#include "filters/Convolve.h"
#include "filters/FilterBlocks.h"
#include "filters/FilterLoops.h"
#include "filters/Samplers.h"
#include "filters/ScaleImageFilter.h"
#include "platform/ByteOrder.h"
#include "platform/Warning.h"

namespace tf {

namespace {

constexpr double kPi = std::numbers::pi;

float SingleAt(const void* block, int32_t offset) {
  float f;
  std::memcpy(&f, static_cast<const uint8_t*>(block) + offset, 4);
  return f;
}

// A block value that is not a finite number fails the run (noted for the runner).
bool Finite(const FilterContext& context, double v) {
  if (std::isfinite(v)) return true;
  if (context.Note != nullptr) context.Note->notFinite = true;
  return false;
}

bool StoreFitsFixed(const FilterContext& context) {
  return FitsFixedPositions(context.Store->Width(), context.Store->Height());
}

// The blend mode's neutral colour, opaque.
uint32_t Fallback(const FilterContext& context) {
  return (GetBlendModeNeutralColor(context.BlendMode) & 0x00FFFFFFu) | 0xFF000000u;
}

int64_t ClampPosition(int64_t v) { return std::clamp<int64_t>(v, -(int64_t{1} << 30), int64_t{1} << 30); }

bool ProtectionDiffers(const FilterContext& context, uint8_t recorded) {
  return (recorded != 0) != (context.KeepAlpha != 0);
}

// The mirror turns: the pixels of Bounds with their alpha multiplied by the coverage (over all
// of Bounds, so that a preview of a part reads the same masked pixels as the run), each pixel
// of Work taking the one at its mirrored place.
bool MirrorTurn(FilterContext& context, int32_t size, bool horizontal, bool vertical) {
  if (!CheckFilterContext(context) || size != 0) return false;
  const TRect& b = context.Bounds;
  const int32_t w = b.right - b.left, h = b.bottom - b.top;
  std::vector<uint32_t> masked;
  try {
    masked.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (int32_t y = 0; y < h; ++y) {
    const uint32_t* row = context.Source->Pixel(b.left, b.top + y);
    uint32_t* out = masked.data() + static_cast<size_t>(y) * static_cast<size_t>(w);
    if (context.Coverage == &FullCoverage) {
      std::memcpy(out, row, 4 * static_cast<size_t>(w));
      continue;
    }
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t p = row[x];
      const uint32_t c = static_cast<uint32_t>(CoverageAt(context, b.left + x, b.top + y));
      out[x] = (p & 0x00FFFFFFu) | (((p >> 24) * c / 255u) << 24);
    }
  }
  return ForEachCoveredPixel(context, context.KeepAlpha != 0, [&](int32_t x, int32_t y, uint32_t) {
    const int32_t mx = horizontal ? b.left + b.right - 1 - x : x;
    const int32_t my = vertical ? b.top + b.bottom - 1 - y : y;
    return masked[static_cast<size_t>(my - b.top) * static_cast<size_t>(w) + static_cast<size_t>(mx - b.left)];
  });
}

TRect FixedBounds(const FilterContext& context) {
  const TRect& b = context.Bounds;
  return TRect{b.left * 65536, b.top * 65536, b.right * 65536, b.bottom * 65536};
}

FadeOp FadeFor(const FilterContext& context) { return context.KeepAlpha != 0 ? &FadeTowardColour : &FadeAlpha; }

}  // namespace

int32_t FixOfDouble(double x) {
  const double v = std::nearbyint(x * 65536.0);
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(v);
}

// ---------------------------------------------------------------------------------------------
// Polar coordinates

bool PolarFilter(FilterContext& context, const void* block, int32_t size) {
  if (!CheckFilterContext(context) || size != kBlock8 || block == nullptr) return false;
  const auto* bytes = static_cast<const uint8_t*>(block);
  const uint8_t direction = bytes[0];
  if (direction > 1 || !StoreFitsFixed(context)) return false;
  if (ProtectionDiffers(context, bytes[1])) {
    ShowWarning("");
    return false;
  }
  const TRect& b = context.Bounds;
  const double L = b.left, T = b.top, height = b.bottom - b.top;
  const double hw = (b.right - b.left) / 2.0, hh = (b.bottom - b.top) / 2.0;
  const TRect clip = FixedBounds(context);
  CScaleImageTMTC scaler(context.Source, nullptr);
  const int32_t centreX = FixOfDouble(L + hw), centreY = FixOfDouble(T + hh);
  bool sampled = true;
  const bool ok = ForEachCoveredPixel(context, context.KeepAlpha != 0, [&](int32_t x, int32_t y, uint32_t) {
    int64_t sx, sy;
    if (direction == 0) {
      const double dx = (x - (L + hw - 0.5)) / hw, dy = (y - (T + hh - 0.5)) / hh;
      const double angle = std::atan2(dx, dy);
      sx = int64_t{FixOfDouble(angle * hw / kPi)} + centreX;
      sy = int64_t{FixOfDouble(std::sqrt(dx * dx + dy * dy) * height)} + int64_t{b.top} * 65536;
    } else {
      const double r = y - (T - 0.5);
      const double a = (x - (L - 0.5 + hw)) * kPi / hw;
      sx = int64_t{FixOfDouble(std::sin(a) * r * hw / height)} + centreX;
      sy = int64_t{FixOfDouble(std::cos(a) * r * hh / height)} + centreY;
    }
    uint32_t v = 0;
    sampled = SamplePointInside(v, scaler, &FadeTowardColour, clip, static_cast<int32_t>(ClampPosition(sx)),
                                static_cast<int32_t>(ClampPosition(sy))) &&
              sampled;
    return v;
  });
  return ok && sampled;
}

// ---------------------------------------------------------------------------------------------
// Mirror turns

bool FlipHorizontalFilter(FilterContext& context, const void*, int32_t size) {
  return MirrorTurn(context, size, true, false);
}
bool FlipVerticalFilter(FilterContext& context, const void*, int32_t size) {
  return MirrorTurn(context, size, false, true);
}
bool Rotate180Filter(FilterContext& context, const void*, int32_t size) { return MirrorTurn(context, size, true, true); }

// ---------------------------------------------------------------------------------------------
// Rotate

bool RotateFilter(FilterContext& context, const void* block, int32_t size) {
  if (!CheckFilterContext(context) || size != kBlock8 || block == nullptr) return false;
  const auto* bytes = static_cast<const uint8_t*>(block);
  const double angle = SingleAt(block, 0);
  if (!Finite(context, angle) || !StoreFitsFixed(context)) return false;
  const double a = angle - std::trunc(angle / 360.0) * 360.0;
  if (a == 0.0) return CopySourceCovered(context, nullptr, 0);
  if (std::fabs(a) == 180.0) return Rotate180Filter(context, nullptr, 0);
  if (ProtectionDiffers(context, bytes[4])) return false;
  const double t = -a * kPi / 180.0;
  const int32_t c = FixOfDouble(std::cos(t)), s = FixOfDouble(std::sin(t));
  const TRect& b = context.Bounds;
  const int32_t cx = FixOfDouble(b.left + (b.right - b.left) / 2.0);
  const int32_t cy = FixOfDouble(b.top + (b.bottom - b.top) / 2.0);
  const auto source = [&](int32_t x, int32_t y, int64_t& sx, int64_t& sy) {
    const int32_t dx = x * 65536 + 32768 - cx, dy = y * 65536 + 32768 - cy;
    sx = int64_t{FixMul(dx, c)} - FixMul(dy, s) + cx;
    sy = int64_t{FixMul(dx, s)} + FixMul(dy, c) + cy;
  };
  const bool keep = context.KeepAlpha != 0;
  if (bytes[5] != 0) {
    CScaleImageFilter reader(context, 0, context.KeepAlpha);
    return ForEachCoveredPixel(context, keep, [&](int32_t x, int32_t y, uint32_t) {
      int64_t sx, sy;
      source(x, y, sx, sy);
      uint32_t v = 0;
      reader.SamplePoint(v, sx, sy);
      return v;
    });
  }
  // The area-sampled path of older recordings.
  CScaleImageTMTC scaler(context.Source, nullptr);
  const uint32_t fallback = Fallback(context);
  const FadeOp fade = FadeFor(context);
  const TRect clip = FixedBounds(context);
  bool sampled = true;
  const bool ok = ForEachCoveredPixel(context, keep, [&](int32_t x, int32_t y, uint32_t) {
    int64_t sx, sy;
    source(x, y, sx, sy);
    uint32_t v = 0;
    sampled = SamplePointFaded(v, fallback, scaler, fade, clip, static_cast<int32_t>(ClampPosition(sx)),
                               static_cast<int32_t>(ClampPosition(sy))) &&
              sampled;
    return v;
  });
  return ok && sampled;
}

// ---------------------------------------------------------------------------------------------
// Scale

namespace {

// The source span of one output row or column: [lo, hi] in 16.16.
void ScaleSpan(int64_t o, int64_t f, int64_t centre, int64_t& lo, int64_t& hi) {
  if (std::llabs(f) <= 65535) {
    const int64_t m = ((o + 32768) * f) >> 16;
    lo = m + centre - 32768;
    hi = m + centre + 32768;
  } else {
    lo = ((o * f) >> 16) + centre;
    hi = (((o + 65536) * f) >> 16) + centre;
  }
  if (lo > hi) std::swap(lo, hi);
}

}  // namespace

bool ScaleFilter(FilterContext& context, const void* block, int32_t size) {
  if (!CheckFilterContext(context) || size != kBlock16 || block == nullptr) return false;
  const auto* bytes = static_cast<const uint8_t*>(block);
  const int32_t nw = LoadLE<int32_t>(bytes + 0), nh = LoadLE<int32_t>(bytes + 4);
  const bool older = bytes[9] == 0;
  // Sizes beyond 16.16 reach (the dialogs write 10000 at most) are refused, as are stores.
  if (nw < -32767 || nw > 32767 || nh < -32767 || nh > 32767 || !StoreFitsFixed(context)) return false;
  if (ProtectionDiffers(context, bytes[8])) return false;
  if (nw == 0 || nh == 0) return EraseCovered(context, nullptr, 0);
  const TRect& b = context.Bounds;
  const int32_t w0 = older ? context.Store->Width() : b.right - b.left;
  const int32_t h0 = older ? context.Store->Height() : b.bottom - b.top;
  if (nw == w0 && nh == h0) return CopySourceCovered(context, nullptr, 0);
  if (nw == -w0 && nh == h0) return FlipHorizontalFilter(context, nullptr, 0);
  if (nw == w0 && nh == -h0) return FlipVerticalFilter(context, nullptr, 0);
  if (nw == -w0 && nh == -h0) return Rotate180Filter(context, nullptr, 0);
  const double sw = older ? b.right : w0, sh = older ? b.bottom : h0;
  const int64_t fx = FixOfDouble(sw / nw), fy = FixOfDouble(sh / nh);
  const int64_t cx = FixOfDouble(b.left + (b.right - b.left) / 2.0);
  const int64_t cy = FixOfDouble(b.top + (b.bottom - b.top) / 2.0);
  const int64_t hx = int64_t{FixOfDouble(std::abs(nw) / 2.0)} + 32768;
  const int64_t hy = int64_t{FixOfDouble(std::abs(nh) / 2.0)} + 32768;
  const bool keep = context.KeepAlpha != 0;
  const uint32_t fallback = Fallback(context);
  const FadeOp fade = FadeFor(context);
  CScaleImageFilter reader(context, 0, context.KeepAlpha);
  CScaleImageTMTC scaler(context.Source, nullptr);
  const TRect clip = FixedBounds(context);
  bool sampled = true;
  const bool ok = ForEachCoveredPixel(context, keep, [&](int32_t x, int32_t y, uint32_t) {
    const int64_t ox = int64_t{x} * 65536 - cx, oy = int64_t{y} * 65536 - cy;
    if (ox < -hx || ox >= hx || oy < -hy || oy >= hy) {
      uint32_t v = context.Source->GetPixel(x, y);
      fade(v, fallback, 0.0);
      return v;
    }
    int64_t x0, x1, y0, y1;
    ScaleSpan(ox, fx, cx, x0, x1);
    ScaleSpan(oy, fy, cy, y0, y1);
    uint32_t v = 0;
    if (!older) {
      reader.SampleRect(v, x0, y0, x1, y1);
    } else {
      const TRect area{static_cast<int32_t>(ClampPosition(x0)), static_cast<int32_t>(ClampPosition(y0)),
                       static_cast<int32_t>(ClampPosition(x1)), static_cast<int32_t>(ClampPosition(y1))};
      sampled = SampleAreaFaded(v, fallback, scaler, fade, clip, area) && sampled;
    }
    return v;
  });
  return ok && sampled;
}

// ---------------------------------------------------------------------------------------------
// Wave

namespace {

bool Wave(FilterContext& context, const void* block, int32_t size, int32_t variant) {
  if (!CheckFilterContext(context) || size != kBlock8 || block == nullptr) return false;
  const auto* bytes = static_cast<const uint8_t*>(block);
  const int32_t hCount = bytes[0], vCount = bytes[1], hStrength = bytes[2], vStrength = bytes[3];
  const double phase = SingleAt(block, 4);
  if (!Finite(context, phase) || !StoreFitsFixed(context)) return false;
  if (!((hCount != 0 && hStrength != 0) || (vCount != 0 && vStrength != 0))) return true;
  const int32_t W = context.Store->Width(), H = context.Store->Height();
  const TRect& b = context.Bounds;
  const int32_t bw = b.right - b.left, bh = b.bottom - b.top;
  const double m1 = variant == 0 ? W : H, m2 = variant == 0 ? H : W;
  std::vector<int32_t> colDx, colDy, rowDx, rowDy;
  try {
    colDx.resize(static_cast<size_t>(bw));
    colDy.resize(static_cast<size_t>(bw));
    rowDx.resize(static_cast<size_t>(bh));
    rowDy.resize(static_cast<size_t>(bh));
  } catch (const std::bad_alloc&) {
    return false;
  }
  constexpr double kTwoPi = 2.0 * kPi;
  // A Bounds one pixel wide (or high) has no step between columns: its one column takes angle 0
  // plus the phase.
  for (int32_t i = 0; i < bw; ++i) {
    const double step = bw > 1 ? i * kTwoPi / (bw - 1) : 0.0;
    const double e = FloatMod(step * hCount + phase, kTwoPi);
    colDx[static_cast<size_t>(i)] = FixOfDouble(FloatMod(std::sin(e) * hStrength, W));
    colDy[static_cast<size_t>(i)] = FixOfDouble(FloatMod(std::cos(e) * hStrength, m1));
  }
  for (int32_t j = 0; j < bh; ++j) {
    const double step = bh > 1 ? j * kTwoPi / (bh - 1) : 0.0;
    const double f = FloatMod(step * vCount + phase, kTwoPi);
    rowDx[static_cast<size_t>(j)] = FixOfDouble(FloatMod(std::cos(f) * vStrength, m2));
    rowDy[static_cast<size_t>(j)] = FixOfDouble(FloatMod(std::sin(f) * vStrength, H));
  }
  const int64_t modX = int64_t{W} * 65536, modY = int64_t{H} * 65536;
  const TMTC& source = *context.Source;
  const bool sat = variant == 2;
  return ForEachCoveredPixel(context, context.KeepAlpha != 0, [&](int32_t x, int32_t y, uint32_t) {
    const size_t i = static_cast<size_t>(x - b.left), j = static_cast<size_t>(y - b.top);
    // The sum in 64 bits before the modulus: x x 65536 plus two offsets passes int32 on wide
    // stores.
    int64_t sx = (int64_t{x} * 65536 + colDx[i] + rowDx[j]) % modX;
    int64_t sy = (int64_t{y} * 65536 + colDy[i] + rowDy[j]) % modY;
    if (sx < 0) sx += modX;
    if (sy < 0) sy += modY;
    return sat ? SampleWrappedSat(source, static_cast<int32_t>(sx), static_cast<int32_t>(sy))
               : SampleWrapped(source, static_cast<int32_t>(sx), static_cast<int32_t>(sy));
  });
}

}  // namespace

bool WaveFilterV0(FilterContext& context, const void* block, int32_t size) { return Wave(context, block, size, 0); }
bool WaveFilterV1(FilterContext& context, const void* block, int32_t size) { return Wave(context, block, size, 1); }
bool WaveFilterV2(FilterContext& context, const void* block, int32_t size) { return Wave(context, block, size, 2); }

// ---------------------------------------------------------------------------------------------
// Twirl

bool TwirlFilter(FilterContext& context, const void* block, int32_t size) {
  if (!CheckFilterContext(context) || size != kBlock8 || block == nullptr) return false;
  const auto* bytes = static_cast<const uint8_t*>(block);
  if (!StoreFitsFixed(context)) return false;
  const double t = -LoadLE<int16_t>(bytes + 0) * kPi / 180.0;
  if (t == 0.0) return true;
  const bool sat = bytes[2] != 0;
  const TRect& b = context.Bounds;
  const int64_t cx = int64_t{FixOfDouble((b.left + b.right) / 2.0)} - 32768;
  const int64_t cy = int64_t{FixOfDouble((b.top + b.bottom) / 2.0)} - 32768;
  const int64_t rx = FixOfDouble((b.right - b.left) / 2.0), ry = FixOfDouble((b.bottom - b.top) / 2.0);
  const int64_t kx = FixOfDouble(static_cast<double>(rx) / static_cast<double>(ry));
  const int64_t ky = FixOfDouble(static_cast<double>(ry) / static_cast<double>(rx));
  const int64_t maxX = int64_t{context.Store->Width() - 1} * 65536;
  const int64_t maxY = int64_t{context.Store->Height() - 1} * 65536;
  const TMTC& source = *context.Source;
  return ForEachCoveredPixelMaybe(context, context.KeepAlpha != 0,
                                  [&](int32_t x, int32_t y, uint32_t) -> std::optional<uint32_t> {
    const int64_t dx = int64_t{x} * 65536 - cx, dy = int64_t{y} * 65536 - cy;
    if (std::llabs(dy) >= ry || std::llabs(dx) >= rx) return std::nullopt;
    const double ux = static_cast<double>(dx) / static_cast<double>(rx);
    const double uy = static_cast<double>(dy) / static_cast<double>(ry);
    const double d = std::sqrt(ux * ux + uy * uy);
    if (!(d > 0.0 && d < 1.0)) return std::nullopt;
    const double a = t * (1.0 - d) * (1.0 - d);
    const double ca = std::cos(a), sa = std::sin(a);
    const double px = static_cast<double>(dx) * ca - static_cast<double>((dy * kx) >> 16) * sa;
    const double py = static_cast<double>((dx * ky) >> 16) * sa + static_cast<double>(dy) * ca;
    const int64_t sx = std::clamp<int64_t>(static_cast<int64_t>(std::nearbyint(px)) + cx, 0, maxX);
    const int64_t sy = std::clamp<int64_t>(static_cast<int64_t>(std::nearbyint(py)) + cy, 0, maxY);
    return sat ? SampleClampedSat(source, static_cast<int32_t>(sx), static_cast<int32_t>(sy))
               : SampleClamped(source, static_cast<int32_t>(sx), static_cast<int32_t>(sy));
  });
}

}  // namespace tf
