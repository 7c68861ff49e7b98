// Dab rasterisers of the older stroke engines.
#include "paint/OldDabs.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "paint/ColorPickup.h"
#include "paint/PixelWriters.h"
#include "raster/BlockVMTC.h"
#include "raster/Composite.h"
#include "raster/FlatImage.h"
#include "raster/SafeConvert.h"

namespace tf {

namespace {

int64_t Clamp64(int64_t v, int64_t lo, int64_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

// 0..255 from an opacity 0..1.
int32_t Opacity255(float opacity) { return TruncClamped(static_cast<double>(opacity) * 255.0, 0, 255); }

// Calls fn(index, count) for every index of 0..n-1 that clamping a .. b into that range reaches,
// with the number of positions of a .. b that land on it.
template <class Fn>
void ForClampedRange(int64_t a, int64_t b, int64_t n, Fn&& fn) {
  if (n <= 0 || a > b) return;
  if (b <= 0) {
    fn(int64_t{0}, b - a + 1);
    return;
  }
  if (a >= n - 1) {
    fn(n - 1, b - a + 1);
    return;
  }
  const int64_t lo = std::max<int64_t>(a, 0), hi = std::min<int64_t>(b, n - 1);
  for (int64_t i = lo; i <= hi; ++i) {
    int64_t w = 1;
    if (i == 0 && a < 0) w += -a;
    if (i == n - 1 && b > n - 1) w += b - (n - 1);
    fn(i, w);
  }
}

// Blue, green, red and alpha sums of a box.
struct BoxSum {
  int64_t b = 0, g = 0, r = 0, a = 0;
  void Add(const BoxSum& o, int64_t w) {
    b += o.b * w;
    g += o.g * w;
    r += o.r * w;
    a += o.a * w;
  }
};

// The terms a pixel adds to a box: its channels (plain) or its channels times alpha / 255.
BoxSum PixelTerm(uint32_t p, bool weighted) {
  const int64_t a = p >> 24;
  BoxSum t;
  t.a = a;
  if (weighted) {
    t.b = (int64_t{p & 0xFF} * a) / 255;
    t.g = (int64_t{(p >> 8) & 0xFF} * a) / 255;
    t.r = (int64_t{(p >> 16) & 0xFF} * a) / 255;
  } else {
    t.b = p & 0xFF;
    t.g = (p >> 8) & 0xFF;
    t.r = (p >> 16) & 0xFF;
  }
  return t;
}

// The part of the store that the boxes of a target rectangle read: copied once into a flat image.
class StoreWindow {
 public:
  bool Load(const CBlockVMTC& store, int64_t c0, int64_t r0, int64_t c1, int64_t r1) {
    c0_ = c0;
    r0_ = r0;
    const int32_t w = static_cast<int32_t>(c1 - c0 + 1), h = static_cast<int32_t>(r1 - r0 + 1);
    if (!pixels_.Resize(w, h) || !pixels_.IsValid()) return false;
    TPoint dest{0, 0};
    SRectWH source{static_cast<int32_t>(c0), static_cast<int32_t>(r0), w, h};
    store.CopyToImage(pixels_, dest, source, 255, false);
    return true;
  }
  // Store coordinates inside the window.
  uint32_t At(int64_t c, int64_t r) const {
    return pixels_.GetPixel(static_cast<int32_t>(c - c0_), static_cast<int32_t>(r - r0_));
  }

 private:
  TMTC pixels_;
  int64_t c0_ = 0, r0_ = 0;
};

// The rectangle (store coordinates) whose pixels the boxes of radius b around target rectangle
// [x0, x1) x [y0, y1) read, clamped to a store of w x h.
struct ReadArea {
  int64_t c0, r0, c1, r1;
};
ReadArea AreaOf(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t b, int64_t w, int64_t h) {
  return ReadArea{Clamp64(x0 - b, 0, w - 1), Clamp64(y0 - b, 0, h - 1), Clamp64(x1 - 1 + b, 0, w - 1),
                  Clamp64(y1 - 1 + b, 0, h - 1)};
}

// Calls fn(x, y, sums) for every pixel of the target rectangle with the sums of the store's
// (2b + 1)^2 box around it (clamped reads). Column sums slide down the rows and the box slides
// along each row. False when the working memory cannot be had.
template <class Fn>
bool SlidingBoxSums(const CBlockVMTC& store, int64_t b, const TRect& rect, bool weighted, Fn&& fn) {
  const int64_t w = store.Width(), h = store.Height();
  if (w <= 0 || h <= 0) return true;
  const ReadArea area = AreaOf(rect.left, rect.top, rect.right, rect.bottom, b, w, h);
  StoreWindow window;
  std::vector<BoxSum> columns;
  try {
    columns.resize(static_cast<size_t>(area.c1 - area.c0 + 1));
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (!window.Load(store, area.c0, area.r0, area.c1, area.r1)) return false;
  auto column = [&](int64_t c) -> BoxSum& { return columns[static_cast<size_t>(c - area.c0)]; };
  // Column sums for the first row.
  for (int64_t c = area.c0; c <= area.c1; ++c) {
    BoxSum& s = column(c);
    ForClampedRange(int64_t{rect.top} - b, int64_t{rect.top} + b, h,
                    [&](int64_t r, int64_t n) { s.Add(PixelTerm(window.At(c, r), weighted), n); });
  }
  for (int64_t y = rect.top; y < rect.bottom; ++y) {
    if (y > rect.top) {
      const int64_t out = Clamp64(y - 1 - b, 0, h - 1), in = Clamp64(y + b, 0, h - 1);
      if (out != in) {
        for (int64_t c = area.c0; c <= area.c1; ++c) {
          column(c).Add(PixelTerm(window.At(c, out), weighted), -1);
          column(c).Add(PixelTerm(window.At(c, in), weighted), 1);
        }
      }
    }
    BoxSum sum;
    ForClampedRange(int64_t{rect.left} - b, int64_t{rect.left} + b, w,
                    [&](int64_t c, int64_t n) { sum.Add(column(c), n); });
    for (int64_t x = rect.left; x < rect.right; ++x) {
      if (x > rect.left) {
        sum.Add(column(Clamp64(x - 1 - b, 0, w - 1)), -1);
        sum.Add(column(Clamp64(x + b, 0, w - 1)), 1);
      }
      fn(static_cast<int32_t>(x), static_cast<int32_t>(y), sum);
    }
  }
  return true;
}

// The same sums, each box summed anew.
template <class Fn>
bool FullBoxSums(const CBlockVMTC& store, int64_t b, const TRect& rect, bool weighted, Fn&& fn) {
  const int64_t w = store.Width(), h = store.Height();
  if (w <= 0 || h <= 0) return true;
  const ReadArea area = AreaOf(rect.left, rect.top, rect.right, rect.bottom, b, w, h);
  StoreWindow window;
  if (!window.Load(store, area.c0, area.r0, area.c1, area.r1)) return false;
  for (int64_t y = rect.top; y < rect.bottom; ++y) {
    for (int64_t x = rect.left; x < rect.right; ++x) {
      BoxSum sum;
      ForClampedRange(y - b, y + b, h, [&](int64_t r, int64_t nr) {
        ForClampedRange(x - b, x + b, w,
                        [&](int64_t c, int64_t nc) { sum.Add(PixelTerm(window.At(c, r), weighted), nr * nc); });
      });
      fn(static_cast<int32_t>(x), static_cast<int32_t>(y), sum);
    }
  }
  return true;
}

uint32_t PackPixel(int64_t b, int64_t g, int64_t r, int64_t a) {
  auto c = [](int64_t v) { return static_cast<uint32_t>(Clamp64(v, 0, 255)); };
  return (c(a) << 24) | (c(r) << 16) | (c(g) << 8) | c(b);
}

// The colour of a box: the alpha-weighted or plain mean; false for a weighted box without alpha.
bool BoxColour(const BoxSum& s, int64_t count, bool weighted, uint32_t& colour) {
  if (weighted) {
    if (s.a <= 0) return false;
    colour = PackPixel(s.b * 255 / s.a, s.g * 255 / s.a, s.r * 255 / s.a, s.a / count);
  } else {
    colour = PackPixel(s.b / count, s.g / count, s.r / count, s.a / count);
  }
  return true;
}

// A blur disc: the box radius at least 1; pixels inside the radius get the falloff value.
void BlurDisc(TMTC& image, const CBlockVMTC& store, int32_t boxRadius, float cx, float cy, float radius,
              float opacity, bool weighted, bool full) {
  TRect bounds{};
  TPoint clip{};
  if (!image.IsValid() || !(radius > 0) || !DabBounds(image, bounds, clip, cx, cy, radius)) return;
  const int64_t b = std::max<int64_t>(1, boxRadius);
  const int64_t count = (2 * b + 1) * (2 * b + 1);
  const int64_t r16 = static_cast<int64_t>(static_cast<double>(radius) * 65536.0);
  if (r16 <= 0) return;
  const uint32_t op = static_cast<uint32_t>(Opacity255(opacity));
  WithImageWriter([&](auto plot) {
    auto pixel = [&](int32_t x, int32_t y, const BoxSum& s) {
      const double dx = x + 0.5 - static_cast<double>(cx), dy = y + 0.5 - static_cast<double>(cy);
      const int64_t d16 = static_cast<int64_t>(std::hypot(dx, dy) * 65536.0);
      if (d16 >= r16) return;
      uint32_t colour = 0;
      if (!BoxColour(s, count, weighted, colour)) return;
      const uint32_t fall = static_cast<uint32_t>(255 - d16 * 255 / r16);
      const int32_t value = full ? MulTable[fall][op] : static_cast<int32_t>(MulDiv255(fall, op));
      plot(image.Pixel(x, y), x, y, value, colour);
    };
    if (full || !SlidingBoxSums(store, b, bounds, weighted, pixel))
      FullBoxSums(store, b, bounds, weighted, pixel);
  });
}

}  // namespace

bool DabBounds(const TMTC& image, TRect& bounds, TPoint& clip, float cx, float cy, float radius) {
  if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(radius) || !image.IsValid()) return false;
  const int32_t left = FloorSaturated(static_cast<double>(cx) - radius);
  const int32_t top = FloorSaturated(static_cast<double>(cy) - radius);
  const int32_t right = CeilSaturated(static_cast<double>(cx) + radius);
  const int32_t bottom = CeilSaturated(static_cast<double>(cy) + radius);
  bounds = TRect{std::max(left, 0), std::max(top, 0), std::min(right, image.Width()),
                 std::min(bottom, image.Height())};
  clip = TPoint{bounds.left - left, bounds.top - top};
  return bounds.left < bounds.right && bounds.top < bounds.bottom;
}

namespace {

// The air map value of a pixel (0..255).
struct AirValue {
  float cx, cy, radius;
  int64_t opacity16;
  const int32_t* map;
  int32_t operator()(int32_t x, int32_t y) const {
    const double d = std::hypot(x + 0.5 - static_cast<double>(cx), y + 0.5 - static_cast<double>(cy));
    if (!(d < radius)) return 0;
    const int64_t m = map[std::clamp<int64_t>(static_cast<int64_t>(d * 2047.0 / radius), 0, kAirMapEntries - 1)];
    // The map entry and the opacity are 16.16; the value is the integer part of their product.
    return static_cast<int32_t>(Clamp64((m * opacity16) >> 32, 0, 255));
  }
};

}  // namespace

void AirDab(TMTC& image, uint32_t colour, float cx, float cy, float radius, float opacity) {
  TRect bounds{};
  TPoint clip{};
  if (!(opacity > 0) || !DabBounds(image, bounds, clip, cx, cy, radius)) return;
  const AirValue air{cx, cy, radius, TruncClamped(static_cast<double>(opacity) * 65536.0, 0, 65536), AirMap()};
  WithImageWriter([&](auto plot) {
    for (int32_t y = bounds.top; y < bounds.bottom; ++y)
      for (int32_t x = bounds.left; x < bounds.right; ++x) plot(image.Pixel(x, y), x, y, air(x, y), colour);
  });
}

void FingertipDabOld(TMTC& image, uint32_t fallback, const CPenTC& window, float cx, float cy, float radius,
                     float opacity) {
  TRect bounds{};
  TPoint clip{};
  int32_t offset = 0;
  if (!(opacity > 0) || !DabBounds(image, bounds, clip, cx, cy, radius) || !window.DabOffsetOld(radius, offset))
    return;
  const AirValue air{cx, cy, radius, TruncClamped(static_cast<double>(opacity) * 65536.0, 0, 65536), AirMap()};
  const int64_t wx0 = int64_t{offset} + clip.x, wy0 = int64_t{offset} + clip.y;
  const bool windowValid = window.IsValid();
  WithImageWriter([&](auto plot) {
    for (int32_t y = bounds.top; y < bounds.bottom; ++y) {
      for (int32_t x = bounds.left; x < bounds.right; ++x) {
        const int64_t wx = wx0 + (x - bounds.left), wy = wy0 + (y - bounds.top);
        uint32_t colour = fallback;
        if (windowValid && wx >= 0 && wy >= 0 && wx < window.Width() && wy < window.Height()) {
          const uint32_t picked = window.GetPixel(static_cast<int32_t>(wx), static_cast<int32_t>(wy));
          if ((picked >> 24) != 0) colour = picked;
        }
        plot(image.Pixel(x, y), x, y, air(x, y), colour);
      }
    }
  });
}

namespace {

// One antialiased span along an axis: pixel positions h .. h + n - 1 of the line; horizontal
// spans address (position, line), vertical ones (line, position).
void SpanCoverage(TChannel& channel, int32_t value, float opacity, float halfWidth, int32_t line, float centre,
                  bool vertical) {
  if (!(opacity > 0) || !channel.IsValid() || !std::isfinite(centre) || !std::isfinite(halfWidth)) return;
  const int32_t lines = vertical ? channel.Width() : channel.Height();
  const int32_t length = vertical ? channel.Height() : channel.Width();
  if (line < 0 || line >= lines) return;
  const double lo = static_cast<double>(centre) - halfWidth, hi = static_cast<double>(centre) + halfWidth;
  const double hf = std::floor(lo), ef = std::ceil(hi);
  if (!(ef > hf)) return;
  const int64_t h = static_cast<int64_t>(hf), n = static_cast<int64_t>(ef - hf);
  const double op = opacity;
  const int32_t full = TruncClamped(op * 255.0, 0, 255);
  int32_t left = 0, right = 0;
  if (n == 1) {
    left = right = TruncClamped(op * (2.0 * halfWidth) * 255.0, 0, 255);
  } else {
    left = TruncClamped(op * (hf + 1.0 - lo) * 255.0, 0, 255);
    right = TruncClamped(op * (1.0 - (ef - hi)) * 255.0, 0, 255);
  }
  const int64_t first = std::max<int64_t>(h, 0), last = std::min<int64_t>(h + n - 1, length - 1);
  WithChannelWriter([&](auto write) {
    for (int64_t i = first; i <= last; ++i) {
      const int32_t v = i == h + n - 1 ? right : (i == h ? left : full);
      const int32_t x = vertical ? line : static_cast<int32_t>(i);
      const int32_t y = vertical ? static_cast<int32_t>(i) : line;
      write(channel.GetPixelPtr(x, y), x, y, v, value);
    }
  });
}

void SpanDisc(TChannel& channel, int32_t value, float cx, float cy, float radius, float opacity, bool columns) {
  if (!(opacity > 0) || !std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(radius) || !channel.IsValid())
    return;
  // Along rows the disc is cut across y; along columns across x.
  const float across = columns ? cx : cy;
  const float along = columns ? cy : cx;
  if (radius < 0.5f) {
    SpanCoverage(channel, value, opacity * 0.5f, radius, FloorSaturated(across), along, columns);
    return;
  }
  const double r = radius, c = across;
  const int64_t o = static_cast<int64_t>(std::floor(c - r)), t = static_cast<int64_t>(std::ceil(c + r));
  const int64_t lines = columns ? channel.Width() : channel.Height();
  for (int64_t k = std::max<int64_t>(o, 0); k <= std::min<int64_t>(t - 1, lines - 1); ++k) {
    const double q = r * r - (static_cast<double>(k) - c) * (static_cast<double>(k) - c);
    if (q <= 0) continue;
    double op = opacity;
    if (k == o) op *= static_cast<double>(o) + 1.0 - (c - r);
    if (k == t - 1) op *= (c + r) - static_cast<double>(t - 1);
    SpanCoverage(channel, value, static_cast<float>(op), static_cast<float>(std::sqrt(q)),
                 static_cast<int32_t>(k), along, columns);
  }
}

}  // namespace

void HSpanCoverage(TChannel& channel, int32_t value, float opacity, float halfWidth, int32_t row, float cx) {
  SpanCoverage(channel, value, opacity, halfWidth, row, cx, false);
}

void VSpanCoverage(TChannel& channel, int32_t value, float opacity, float halfWidth, int32_t column, float cy) {
  SpanCoverage(channel, value, opacity, halfWidth, column, cy, true);
}

void SpanDiscRows(TChannel& channel, int32_t value, bool antialias, float cx, float cy, float radius,
                  float opacity) {
  (void)antialias;  // the spans are always antialiased
  SpanDisc(channel, value, cx, cy, radius, opacity, false);
}

void SpanDiscColumns(TChannel& channel, int32_t value, bool antialias, float cx, float cy, float radius,
                     float opacity) {
  (void)antialias;
  SpanDisc(channel, value, cx, cy, radius, opacity, true);
}

void BlurDiscWeighted(TMTC& image, const CBlockVMTC& store, int32_t boxRadius, float cx, float cy, float radius,
                      float opacity) {
  BlurDisc(image, store, boxRadius, cx, cy, radius, opacity, true, false);
}

void BlurDiscPlain(TMTC& image, const CBlockVMTC& store, int32_t boxRadius, float cx, float cy, float radius,
                   float opacity) {
  BlurDisc(image, store, boxRadius, cx, cy, radius, opacity, false, false);
}

void BlurDiscWeightedFull(TMTC& image, const CBlockVMTC& store, int32_t boxRadius, float cx, float cy,
                          float radius, float opacity) {
  BlurDisc(image, store, boxRadius, cx, cy, radius, opacity, true, true);
}

void BlurDiscPlainFull(TMTC& image, const CBlockVMTC& store, int32_t boxRadius, float cx, float cy, float radius,
                       float opacity) {
  BlurDisc(image, store, boxRadius, cx, cy, radius, opacity, false, true);
}

void BlurDiscOld(TMTC& image, const CBlockVMTC& store, int32_t boxRadius, float cx, float cy, float radius) {
  if (!image.IsValid() || !std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(radius)) return;
  const int64_t b = std::max<int64_t>(1, boxRadius);
  const int64_t count = (2 * b + 1) * (2 * b + 1);
  const int64_t q = TruncSaturated(static_cast<double>(radius) * 4.0);
  const int64_t r2 = q * q;
  if (r2 <= 0) return;
  const TRect rect{std::max(TruncSaturated(static_cast<double>(cx) - radius), 0),
                   std::max(TruncSaturated(static_cast<double>(cy) - radius), 0),
                   static_cast<int32_t>(
                       std::min<int64_t>(int64_t{TruncSaturated(double{cx} + radius + 1)} + 1, image.Width())),
                   static_cast<int32_t>(
                       std::min<int64_t>(int64_t{TruncSaturated(double{cy} + radius + 1)} + 1, image.Height()))};
  if (rect.left >= rect.right || rect.top >= rect.bottom) return;
  const int64_t qx = TruncSaturated(static_cast<double>(cx) * 4.0),
                qy = TruncSaturated(static_cast<double>(cy) * 4.0);
  auto pixel = [&](int32_t x, int32_t y, const BoxSum& s) {
    const int64_t a = 4 * int64_t{x} - qx, v = 4 * int64_t{y} - qy;
    auto in = [&](int64_t u, int64_t w) { return u * u + w * w < r2; };
    if (!in(a, v) || !in(a + 4, v) || !in(a, v + 4) || !in(a + 4, v + 4)) return;
    uint32_t colour = 0;
    BoxColour(s, count, false, colour);
    const int64_t alpha = std::max<int64_t>(0, 255 - (a * a + v * v) * 255 / r2);
    BlendColorFast(image.Pixel(x, y), colour, static_cast<int32_t>(alpha));
  };
  if (!SlidingBoxSums(store, b, rect, false, pixel)) FullBoxSums(store, b, rect, false, pixel);
}

namespace {

// Blue and red of a pixel in the two 32-bit lanes of one word (green is summed alone): nine
// weighted pixels add up to at most 255 * 38, and that times a reciprocal below stays inside a
// lane, so one multiplication divides both.
inline uint64_t LanesBR(uint32_t p) { return (p & 0xFFu) | (uint64_t{p & 0xFF0000u} << 16); }
inline uint32_t LaneG(uint32_t p) { return (p >> 8) & 0xFFu; }

// ceil(2^19 / t): (v * r) >> 19 is floor(v / t) for every v up to 2^19 / t, which covers the
// sums of the weights t = 9 .. 40 (at most 255 * 40).
constexpr int kReciprocalShift = 19;
struct Reciprocals {
  uint32_t r[41] = {};
  Reciprocals() {
    for (uint32_t t = 1; t <= 40; ++t) r[t] = ((1u << kReciprocalShift) + t - 1) / t;
  }
};
const Reciprocals kReciprocals;

constexpr int32_t kBlurBandRows = 64;

}  // namespace

bool AreaBlurThroughChannel(TMTC& image, const CBlockVMTC& store, const TChannel& channel, const TChannel* second,
                            const SRectWH& rect) {
  SRectWH area = rect;
  if (!image.IsValid() || !channel.IsValid() || !image.ClipRect(area)) return false;
  const int32_t w = store.Width(), h = store.Height();
  if (w <= 0 || h <= 0) return false;
  const bool useSecond = second != nullptr && second->IsValid();
  // The store columns the area reads (one more on each side, edges repeated): a band of rows of
  // them is copied at a time; colIndex maps the area's columns - 1 .. width onto the band.
  const int32_t span = area.width + 2;
  const int32_t s0 = std::clamp(area.left - 1, 0, w - 1);
  const int32_t s1 = std::clamp(area.left + area.width, 0, w - 1);
  std::vector<int32_t> colIndex;
  std::vector<uint64_t> vertical;
  std::vector<uint32_t> verticalG;
  try {
    colIndex.resize(static_cast<size_t>(span));
    vertical.resize(static_cast<size_t>(span));
    verticalG.resize(static_cast<size_t>(span));
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (int32_t j = 0; j < span; ++j)
    colIndex[static_cast<size_t>(j)] = std::clamp(area.left - 1 + j, 0, w - 1) - s0;
  // Columns that need no clamping map straight onto the band.
  const bool direct = area.left - 1 >= 0 && area.left + area.width <= w - 1;
  // Whether the channels can be read by row without clamping.
  const bool channelInside = area.left + area.width <= channel.Width();
  const bool secondInside = useSecond && area.left + area.width <= second->Width();
  TMTC band;
  const int32_t bottom = area.top + area.height;
  for (int32_t by = area.top; by < bottom; by += kBlurBandRows) {
    const int32_t ye = std::min(bottom, by + kBlurBandRows);
    const int32_t r0 = std::clamp(by - 1, 0, h - 1), r1 = std::clamp(ye, 0, h - 1);
    if (!band.Resize(s1 - s0 + 1, r1 - r0 + 1) || !band.IsValid()) return false;
    TPoint dest{0, 0};
    SRectWH source{s0, r0, s1 - s0 + 1, r1 - r0 + 1};
    store.CopyToImage(band, dest, source, 255, false);
    for (int32_t y = by; y < ye; ++y) {
      const uint32_t* up = band.Pixel(0, std::clamp(y - 1, 0, h - 1) - r0);
      const uint32_t* mid = band.Pixel(0, std::clamp(y, 0, h - 1) - r0);
      const uint32_t* down = band.Pixel(0, std::clamp(y + 1, 0, h - 1) - r0);
      uint64_t* v = vertical.data();
      uint32_t* vg = verticalG.data();
      if (direct) {
        for (int32_t j = 0; j < span; ++j) {
          v[j] = LanesBR(up[j]) + LanesBR(mid[j]) + LanesBR(down[j]);
          vg[j] = LaneG(up[j]) + LaneG(mid[j]) + LaneG(down[j]);
        }
      } else {
        for (int32_t j = 0; j < span; ++j) {
          const int32_t c = colIndex[static_cast<size_t>(j)];
          v[j] = LanesBR(up[c]) + LanesBR(mid[c]) + LanesBR(down[c]);
          vg[j] = LaneG(up[c]) + LaneG(mid[c]) + LaneG(down[c]);
        }
      }
      const uint8_t* coverage =
          channelInside && y < channel.Height() ? channel.GetPixelPtr(area.left, y) : nullptr;
      const uint8_t* scale = secondInside && y < second->Height() ? second->GetPixelPtr(area.left, y) : nullptr;
      uint32_t* out = image.Pixel(area.left, y);
      // A row covered at 31 or more throughout (the core of a stroke) is the plain 3 x 3 mean.
      bool plain = coverage != nullptr && !useSecond && direct;
      for (int32_t i = 0; plain && i < area.width; ++i) plain = coverage[i] >= 31;
      if (plain) {
        const uint64_t r = kReciprocals.r[9];
        for (int32_t i = 0; i < area.width; ++i) {
          const uint64_t products = (v[i] + v[i + 1] + v[i + 2]) * r;
          const uint32_t g = ((vg[i] + vg[i + 1] + vg[i + 2]) * static_cast<uint32_t>(r)) >> kReciprocalShift;
          out[i] = (out[i] & 0xFF000000u) | (static_cast<uint32_t>(products >> (32 + kReciprocalShift)) << 16) |
                   (g << 8) | static_cast<uint32_t>((products & 0xFFFFFFFFu) >> kReciprocalShift);
        }
        continue;
      }
      for (int32_t i = 0; i < area.width; ++i) {
        const int32_t x = area.left + i;
        int32_t c = coverage != nullptr ? coverage[i] : channel.GetPixelClamped(x, y);
        if (useSecond) {
          const int32_t c2 = scale != nullptr ? scale[i] : second->GetPixelClamped(x, y);
          if (c2 != 255) c = (c * c2) >> 8;
        }
        const uint32_t centre = direct ? mid[i + 1] : mid[colIndex[static_cast<size_t>(i) + 1]];
        if (c < 2) {
          out[i] = centre;
          continue;
        }
        const uint32_t centreWeight = 32u - static_cast<uint32_t>(std::min(c, 31));
        const uint64_t sumBR = v[i] + v[i + 1] + v[i + 2] + LanesBR(centre) * (centreWeight - 1);
        const uint32_t sumG = vg[i] + vg[i + 1] + vg[i + 2] + LaneG(centre) * (centreWeight - 1);
        const uint32_t r = kReciprocals.r[8 + centreWeight];
        const uint64_t products = sumBR * r;
        const uint32_t b = static_cast<uint32_t>((products & 0xFFFFFFFFu) >> kReciprocalShift);
        const uint32_t red = static_cast<uint32_t>(products >> (32 + kReciprocalShift));
        const uint32_t g = (sumG * r) >> kReciprocalShift;
        // BlendColorFast at full weight: the colour replaces blue, green and red, alpha stays.
        out[i] = (out[i] & 0xFF000000u) | (red << 16) | (g << 8) | b;
      }
    }
  }
  return true;
}

}  // namespace tf
