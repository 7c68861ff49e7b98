#include "raster/Drawing.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace tf {

namespace {

constexpr uint32_t kInitialRotateBackground = 0x00808080u;

void BlendPixelPlot(TMTC& image, int32_t x, int32_t y, uint32_t colour, int32_t alpha) {
  image.BlendPixel(x, y, colour, alpha);
}

uint32_t g_rotateBackground = kInitialRotateBackground;
SoftDotPlotter g_softDotPlotter = BlendPixelPlot;

// Conversion toward zero, saturating at the int32 range; NaN gives 0.
inline int32_t TruncInt(float v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0f) return INT32_MAX;
  if (v <= -2147483648.0f) return INT32_MIN;
  return static_cast<int32_t>(v);
}

inline int32_t Clamp32(int64_t v) { return SaturateInt32(v); }

inline bool Inside(const TMTC& image, int64_t x, int64_t y) {
  return x >= 0 && y >= 0 && x < image.Width() && y < image.Height();
}

template <class Op>
void LineWith(TMTC& image, int32_t x0, int32_t y0, int32_t a0, int32_t x1, int32_t y1, int32_t a1,
              uint32_t colour, Op op) {
  if (!image.IsValid()) return;
  const int64_t ddx = int64_t{x1} - x0, ddy = int64_t{y1} - y0, dda = int64_t{a1} - a0;
  const int64_t dx = std::llabs(ddx), dy = std::llabs(ddy);
  if (dx == 0 && dy == 0) {
    if (Inside(image, x0, y0)) op(image.Pixel(x0, y0), colour, a0);
    return;
  }
  const int64_t n = dx < dy ? dy : dx;
  for (int64_t h = 0; h <= n; ++h) {
    const int64_t x = x0 + h * ddx / n;
    const int64_t y = y0 + h * ddy / n;
    if (!Inside(image, x, y)) continue;
    const int64_t a = a0 + dda * h / n;
    op(image.Pixel(static_cast<int32_t>(x), static_cast<int32_t>(y)), colour, static_cast<int32_t>(a));
  }
}

struct PointerOp {
  PixelOp op;
  void operator()(uint32_t* p, uint32_t c, int32_t a) const { op(p, c, a); }
};

template <class Op>
void FrameWith(TMTC& image, const SRectWH& r, uint32_t c1, uint32_t c2, int32_t alpha, Op op) {
  if (r.width <= 0 || r.height <= 0) return;
  const int64_t L = r.left, T = r.top, W = r.width, H = r.height;
  auto line = [&](int64_t xa, int64_t ya, int64_t xb, int64_t yb, uint32_t c) {
    LineWith(image, Clamp32(xa), Clamp32(ya), alpha, Clamp32(xb), Clamp32(yb), alpha, c, op);
  };
  if (W == 1) {
    line(L, T, L, T + H - 1, c1);
  } else if (H == 1) {
    line(L, T, L + W - 1, T, c1);
  } else {
    line(L, T, L + W - 2, T, c1);
    line(L + W - 1, T, L + W - 1, T + H - 2, c2);
    line(L + W - 1, T + H - 1, L + 1, T + H - 1, c2);
    line(L, T + H - 1, L, T + 1, c1);
  }
}

// Cell colour blended toward the pixel by the pixel's alpha; byte 3 is the cell colour's.
inline void Flatten(uint32_t* p, uint32_t cellColour) {
  const uint32_t a = *p >> 24;
  if (a == 255) return;
  uint32_t out = cellColour;
  BlendColor(&out, *p, static_cast<int32_t>(a));
  *p = out;
}

// The soft dot's coverage and alpha; plot(x, y, alpha) for every pixel of the dot inside the
// image (pixels outside could not be written anyway). Squared distances in 64 bits.
template <class Plot>
void SoftDotWith(TMTC& image, bool antialias, float cx, float cy, float r, float opacity, bool soft, Plot plot) {
  if (!image.IsValid()) return;
  int64_t xa = TruncInt(cx - r), xb = TruncInt(cx + r);
  int64_t ya = TruncInt(cy - r), yb = TruncInt(cy + r);
  const int64_t R = TruncInt(4.0f * r), CX = TruncInt(4.0f * cx), CY = TruncInt(4.0f * cy);
  const int64_t R2 = R * R;
  const int64_t A = TruncInt(opacity * 255.0f);
  const bool useSoft = soft && r >= 3.0f && R2 > 0;
  xa = std::max<int64_t>(xa, 0);
  ya = std::max<int64_t>(ya, 0);
  xb = std::min<int64_t>(xb, image.Width() - 1);
  yb = std::min<int64_t>(yb, image.Height() - 1);
  // Offsets beyond 2^31 quarter pixels lie outside any radius an int32 can hold.
  auto inside = [R2](int64_t f, int64_t d) {
    if (std::llabs(f) >= (int64_t{1} << 31) || std::llabs(d) >= (int64_t{1} << 31)) return false;
    return f * f + d * d < R2;
  };
  for (int64_t y = ya; y <= yb; ++y) {
    const int64_t D = 4 * y - CY;
    for (int64_t x = xa; x <= xb; ++x) {
      const int64_t F = 4 * x - CX;
      const int corners = inside(F, D) + inside(F + 4, D) + inside(F, D + 4) + inside(F + 4, D + 4);
      if (corners == 0) continue;
      int64_t B = 0;
      if (useSoft) {
        const __int128 dist = static_cast<__int128>(F) * F + static_cast<__int128>(D) * D;
        const __int128 fall = dist * 255 / R2;
        B = fall >= 255 ? 0 : static_cast<int64_t>(255 - fall);
      }
      int64_t alpha;
      if (corners == 4) {
        alpha = useSoft ? (A * B) >> 8 : A;
      } else if (antialias) {
        int64_t k = 0;
        for (int64_t j = 0; j < 4; ++j)
          for (int64_t i = 0; i < 4; ++i) k += inside(F + i, D + j);
        alpha = useSoft ? (A * B * k) >> 12 : (A * k) / 16;
      } else {
        alpha = A;
      }
      plot(static_cast<int32_t>(x), static_cast<int32_t>(y), static_cast<int32_t>(alpha));
    }
  }
}

inline const uint8_t* Bytes(const TMTC& image, int32_t x, int32_t y) {
  return reinterpret_cast<const uint8_t*>(PixelAddr32(image.View(), x, y));
}

}  // namespace

uint32_t GetRotateBackground() { return g_rotateBackground; }
void SetRotateBackground(uint32_t pixel) { g_rotateBackground = pixel; }

SoftDotPlotter SetSoftDotPlotter(SoftDotPlotter plotter) {
  const SoftDotPlotter before = g_softDotPlotter;
  g_softDotPlotter = plotter ? plotter : BlendPixelPlot;
  return before;
}
SoftDotPlotter GetSoftDotPlotter() { return g_softDotPlotter; }

void ResetDrawingState() {
  g_rotateBackground = kInitialRotateBackground;
  g_softDotPlotter = BlendPixelPlot;
}

// ---- Lines and frames ------------------------------------------------------------------------

void DrawLineOp(TMTC& image, int32_t x0, int32_t y0, int32_t a0, int32_t x1, int32_t y1, int32_t a1,
                uint32_t colour, PixelOp op) {
  if (op == nullptr) return;
  LineWith(image, x0, y0, a0, x1, y1, a1, colour, PointerOp{op});
}

void FrameRectOp(TMTC& image, const SRectWH& rect, uint32_t colour1, uint32_t colour2, int32_t alpha,
                 PixelOp op) {
  if (op == nullptr) return;
  FrameWith(image, rect, colour1, colour2, alpha, PointerOp{op});
}

void FrameRect(TMTC& image, const SRectWH& rect, uint32_t colour, int32_t alpha) {
  FrameWith(image, rect, colour, colour, alpha, PixelOpFn<BlendColor>{});
}

void FrameRectTwoTone(TMTC& image, const SRectWH& rect, uint32_t topLeftColour, uint32_t bottomRightColour,
                      int32_t alpha) {
  FrameWith(image, rect, topLeftColour, bottomRightColour, alpha, PixelOpFn<BlendColor>{});
}

void FrameImageTwoTone(TMTC& image, uint32_t topLeftColour, uint32_t bottomRightColour, int32_t alpha) {
  FrameRectTwoTone(image, SRectWH{0, 0, image.Width(), image.Height()}, topLeftColour, bottomRightColour, alpha);
}

// ---- Checkers and flattening -----------------------------------------------------------------

bool DrawChecker(TMTC& image, SRectWH& rect, const SSize& cell, uint32_t evenColour, uint32_t oddColour) {
  if (cell.width <= 0 || cell.height <= 0) return false;
  if (!image.ClipRect(rect)) return false;
  for (int32_t j = 0; j < rect.height; ++j) {
    const int32_t rowParity = (j / cell.height) & 1;
    uint32_t* p = image.Pixel(rect.left, rect.top + j);
    for (int32_t i = 0; i < rect.width; ++i) p[i] = (((i / cell.width) + rowParity) & 1) ? oddColour : evenColour;
  }
  return true;
}

bool FlattenOnChecker(TMTC& image, TRect& bounds, const TRect& origin, const SSize& cell, uint32_t evenColour,
                      uint32_t oddColour) {
  if (cell.width <= 0 || cell.height <= 0) return false;
  if (!image.ClipBounds(bounds)) return false;
  for (int32_t y = bounds.top; y < bounds.bottom; ++y) {
    const int64_t rowCell = (int64_t{y} - origin.top) / cell.height;
    uint32_t* p = image.Pixel(0, y);
    for (int32_t x = bounds.left; x < bounds.right; ++x) {
      const int64_t parity = (rowCell + (int64_t{x} - origin.left) / cell.width) & 1;
      Flatten(p + x, parity ? oddColour : evenColour);
    }
  }
  return true;
}

bool FlattenOnColor(TMTC& image, TRect& bounds, uint32_t colour) {
  if (!image.ClipBounds(bounds)) return false;
  for (int32_t y = bounds.top; y < bounds.bottom; ++y) {
    uint32_t* p = image.Pixel(0, y);
    for (int32_t x = bounds.left; x < bounds.right; ++x) Flatten(p + x, colour);
  }
  return true;
}

void FlattenPixel(uint32_t* pixel, int32_t x, int32_t y, const SFlattenBackground& background) {
  switch (background.kind) {
    case SFlattenBackground::kNone: return;
    case SFlattenBackground::kColor: Flatten(pixel, background.colour); return;
    case SFlattenBackground::kChecker: {
      const int64_t parity = ((int64_t{y} - background.originY) / std::max(background.cellHeight, 1) +
                              (int64_t{x} - background.originX) / std::max(background.cellWidth, 1)) &
                             1;
      Flatten(pixel, parity ? background.oddColour : background.evenColour);
      return;
    }
  }
}

// ---- Antialiased line and soft dots ------------------------------------------------------------

void DrawLineAA(TMTC& image, uint32_t colour, bool antialias, float x0, float y0, float x1, float y1) {
  if (!image.IsValid()) return;
  const bool xMajor = std::fabs(x0 - x1) > std::fabs(y0 - y1);
  // Work in (major, minor) coordinates; plot maps back.
  float ms = xMajor ? x0 : y0, ns = xMajor ? y0 : x0;
  float me = xMajor ? x1 : y1, ne = xMajor ? y1 : x1;
  if (me < ms) {
    std::swap(ms, me);
    std::swap(ns, ne);
  }
  const uint32_t slope = me == ms ? 0u : static_cast<uint32_t>(TruncInt((ne - ns) / (me - ms + 1.0f) * 65536.0f));
  const uint32_t t0 = static_cast<uint32_t>(TruncInt(ns * 65536.0f));
  const int64_t first = TruncInt(ms), last = TruncInt(me);
  // Steps outside the image draw nothing; start at the first one inside (the 16.16 position
  // advances in 32-bit wrapping arithmetic, so it can be computed directly).
  const int64_t extent = xMajor ? image.Width() : image.Height();
  const int64_t from = std::max<int64_t>(first, 0), to = std::min<int64_t>(last, extent - 1);
  uint32_t t = t0 + static_cast<uint32_t>(static_cast<uint64_t>(from - first) * slope);
  for (int64_t m = from; m <= to; ++m, t += slope) {
    const int32_t major = static_cast<int32_t>(m);
    const int32_t minor = static_cast<int32_t>(t) >> 16;
    auto blend = [&](int32_t n, int32_t alpha) {
      if (xMajor)
        image.BlendPixel(major, n, colour, alpha);
      else
        image.BlendPixel(n, major, colour, alpha);
    };
    if (antialias) {
      const int32_t f = static_cast<int32_t>((t >> 8) & 255u);
      blend(minor, 255 - f);
      if (minor != INT32_MAX) blend(minor + 1, f);
    } else {
      blend(minor, 255);
    }
  }
}

void DrawSoftDot(TMTC& image, uint32_t colour, bool antialias, float cx, float cy, float r, float opacity,
                 bool soft) {
  SoftDotWith(image, antialias, cx, cy, r, opacity, soft,
              [&](int32_t x, int32_t y, int32_t alpha) { image.BlendPixelFast(x, y, colour, alpha); });
}

void DrawSoftDotOp(TMTC& image, uint32_t colour, bool antialias, float cx, float cy, float r, float opacity,
                   bool soft) {
  const SoftDotPlotter plot = g_softDotPlotter;
  SoftDotWith(image, antialias, cx, cy, r, opacity, soft,
              [&](int32_t x, int32_t y, int32_t alpha) { plot(image, x, y, colour, alpha); });
}

// ---- Resampling ------------------------------------------------------------------------------

void Reduce4x4To(const TMTC& source, TMTC& dest) {
  if (!source.IsValid() || !dest.IsValid()) return;
  const int64_t w = source.Width(), h = source.Height();
  const int64_t dw = dest.Width(), dh = dest.Height();
  if (w <= 0 || h <= 0 || dw <= 0 || dh <= 0) return;
  const int64_t sx = (w << 10) / dw, sy = (h << 10) / dh;
  const int64_t qx = sx / 4, qy = sy / 4;
  std::vector<int32_t> columns(static_cast<size_t>(dw * 4));
  for (int64_t x = 0; x < dw; ++x)
    for (int64_t i = 0; i < 4; ++i)
      columns[static_cast<size_t>(x * 4 + i)] =
          static_cast<int32_t>(std::clamp<int64_t>((sx * x + qx * i) >> 10, 0, w - 1));
  for (int64_t y = 0; y < dh; ++y) {
    // The four source rows of this output row, looked up once.
    const uint8_t* rows[4];
    for (int64_t j = 0; j < 4; ++j)
      rows[j] = Bytes(source, 0, static_cast<int32_t>(std::clamp<int64_t>((sy * y + qy * j) >> 10, 0, h - 1)));
    uint8_t* d = reinterpret_cast<uint8_t*>(dest.Pixel(0, static_cast<int32_t>(y)));
    const int32_t* column = columns.data();
    for (int64_t x = 0; x < dw; ++x, d += 4, column += 4) {
      uint32_t sum[4] = {0, 0, 0, 0};
      for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i) {
          const uint8_t* p = rows[j] + std::ptrdiff_t{4} * column[i];
          for (int k = 0; k < 4; ++k) sum[k] += p[k];
        }
      for (int k = 0; k < 4; ++k) d[k] = static_cast<uint8_t>(sum[k] >> 4);
    }
  }
}

bool BoxScaleTo(const TMTC& source, TMTC& dest, int32_t left, int32_t top, int32_t width, int32_t height) {
  if (!source.IsValid()) return false;
  TRect bounds{left, top, AddSat(left, width), AddSat(top, height)};
  if (!dest.ClipBounds(bounds)) return false;
  const int64_t sw = source.Width(), sh = source.Height();
  const int64_t dw = dest.Width(), dh = dest.Height();
  const int64_t hx = sw * 1024 / dw, hy = sh * 1024 / dh;
  const int64_t nx = sw / dw + 1, ny = sh / dh + 1;
  const int64_t count = nx * ny;
  for (int32_t y = bounds.top; y < bounds.bottom; ++y) {
    const int64_t y0 = (hy * y) >> 10;
    uint8_t* d = reinterpret_cast<uint8_t*>(dest.Pixel(bounds.left, y));
    for (int32_t x = bounds.left; x < bounds.right; ++x, d += 4) {
      const int64_t x0 = (hx * x) >> 10;
      uint64_t sum[4] = {0, 0, 0, 0};
      for (int64_t j = 0; j < ny; ++j) {
        const int32_t py = static_cast<int32_t>(std::min(y0 + j, sh - 1));
        for (int64_t i = 0; i < nx; ++i) {
          const uint8_t* p = Bytes(source, static_cast<int32_t>(std::min(x0 + i, sw - 1)), py);
          for (int k = 0; k < 4; ++k) sum[k] += p[k];
        }
      }
      for (int k = 0; k < 4; ++k) d[k] = static_cast<uint8_t>(sum[k] / static_cast<uint64_t>(count));
    }
  }
  return true;
}

bool StretchFrom(TMTC& dest, const TMTC& source, SRectWH destRect, SRectWH sourceRect) {
  if (!source.ClipRect(sourceRect) || !dest.ClipRect(destRect)) return false;
  const int64_t stepX = FixDiv(sourceRect.width, destRect.width);
  const int64_t stepY = FixDiv(sourceRect.height, destRect.height);
  const int64_t xEnd = int64_t{sourceRect.width} << 16;
  const int64_t yEnd = (int64_t{sourceRect.top} + sourceRect.height) << 16;
  int64_t sy = int64_t{sourceRect.top} << 16;
  int32_t i = 0;
  for (; sy < yEnd && i < destRect.height; ++i, sy += stepY) {
    const uint32_t* src = source.Pixel(sourceRect.left, static_cast<int32_t>(sy >> 16));
    uint32_t* d = dest.Pixel(destRect.left, destRect.top + i);
    int64_t sx = 0;
    for (int32_t j = 0; sx < xEnd && j < destRect.width; ++j, sx += stepX) d[j] = src[sx >> 16];
  }
  if (i > 0) {
    const uint32_t* last = dest.Pixel(destRect.left, destRect.top + i - 1);
    for (; i < destRect.height; ++i)
      std::copy_n(last, destRect.width, dest.Pixel(destRect.left, destRect.top + i));
  }
  return true;
}

bool RotateScaleTo(const TMTC& source, TMTC& dest, float cx, float cy, const SRectWH& destRect, float angle,
                   float scale) {
  if (!std::isfinite(scale) || !(scale > 0.0f)) return false;
  TRect bounds;
  RectToBounds(destRect, bounds);
  if (!dest.ClipBounds(bounds)) return false;
  const int32_t W = dest.Width(), H = dest.Height();
  const float sinA = static_cast<float>(std::sin(static_cast<double>(angle)));
  const float cosA = static_cast<float>(std::cos(static_cast<double>(angle)));
  const uint32_t stepX = static_cast<uint32_t>(SingleToFix(scale * cosA));
  const uint32_t stepY = static_cast<uint32_t>(SingleToFix(scale * sinA));
  const bool hasSource = source.IsValid();
  const int64_t limitX = hasSource ? int64_t{source.Width()} << 16 : 0;
  const int64_t limitY = hasSource ? int64_t{source.Height()} << 16 : 0;
  const uint32_t background = g_rotateBackground;
  const float ox = cx + 0.5f, oy = cy + 0.5f;
  const float a = static_cast<float>(bounds.left - W / 2);
  for (int32_t y = bounds.top; y < bounds.bottom; ++y) {
    const float b = static_cast<float>(y - H / 2);
    uint32_t fx = static_cast<uint32_t>(SingleToFix(ox + scale * (cosA * a - sinA * b)));
    uint32_t fy = static_cast<uint32_t>(SingleToFix(oy + scale * (sinA * a + cosA * b)));
    uint32_t* d = dest.Pixel(0, y);
    for (int32_t x = bounds.left; x < bounds.right; ++x, fx += stepX, fy += stepY) {
      const int32_t sx = static_cast<int32_t>(fx), sy = static_cast<int32_t>(fy);
      if (sx >= 0 && sy >= 0 && sx < limitX && sy < limitY)
        d[x] = source.GetPixel(sx >> 16, sy >> 16);
      else
        d[x] = background;
    }
  }
  return true;
}

bool RotateScaleAllTo(const TMTC& source, TMTC& dest, float cx, float cy, float angle, float scale) {
  return RotateScaleTo(source, dest, cx, cy, SRectWH{0, 0, dest.Width(), dest.Height()}, angle, scale);
}

}  // namespace tf
