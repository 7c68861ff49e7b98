// The antialiased shapes and colour fields of TMemoryGraphic.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/Memory.h"
#include "raster/ColorConvert.h"
#include "raster/MemoryGraphic.h"
#include "raster/MemoryGraphicPaint.h"

namespace tf {

using graphic::ColourWeight;
using graphic::WithOps;

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// The pixel of a hue, saturation and value (or lightness) with the alpha byte.
uint32_t ModelPixel(float hue, float saturation, float value, uint8_t alpha, bool hsv) {
  uint8_t r, g, b;
  if (hsv) {
    HSVToRGBBytes(hue, saturation, value, r, g, b);
  } else {
    HSLToRGBBytes(hue, saturation, value, r, g, b);
  }
  return PackBGRA(b, g, r, alpha);
}

uint8_t AlphaByte(float alpha) {
  return static_cast<uint8_t>(std::clamp(TruncToInt(alpha * 255.0 + 0.5), 0, 255));
}

bool Vertical(uint8_t direction) { return direction == kDirDown || direction == kDirUp; }

// The value of an axis at index i of n: a hue turn from the start, or 0..1 (1..0 for the
// directions that run up or left). An axis one pixel long holds its start value.
float AxisValue(int axis, uint8_t direction, int32_t i, int32_t n, float startHue) {
  const bool backwards = direction == kDirUp || direction == kDirLeft;
  if (axis == 0) {
    float step = static_cast<float>(kTwoPi / n);
    if (backwards) step = -step;
    return startHue + static_cast<float>(i) * step;
  }
  const float step = n > 1 ? 1.0f / static_cast<float>(n - 1) : 0.0f;
  return backwards ? 1.0f - static_cast<float>(i) * step : static_cast<float>(i) * step;
}

bool Finite(float a) { return std::isfinite(a); }

}  // namespace

// ---- Ramps and planes -----------------------------------------------------------------------------

// axis: 0 hue, 1 saturation, 2 value; the other two components are fixed.
bool TMemoryGraphic::FillRamp(const TRect& rect, uint8_t direction, int axis, float hue, float saturation,
                              float value, float alpha, SChannelOps ops, bool hsv) {
  int32_t x, y, w, h;
  if (direction > kDirLeft || !Finite(alpha) || !ClipRect(rect, x, y, w, h)) return false;
  const uint8_t ab = AlphaByte(alpha);
  auto colourAt = [&](int32_t i, int32_t n) {
    float c[3] = {hue, saturation, value};
    c[axis] = AxisValue(axis, direction, i, n, hue);
    return ModelPixel(c[0], c[1], c[2], ab, hsv);
  };
  if (Vertical(direction)) {
    WithOps(ops, [&](auto painter) {
      using P = decltype(painter);
      for (int32_t j = 0; j < h; ++j) {
        const uint32_t colour = colourAt(j, h);
        uint32_t* p = PixelAddress(x, y + j);
        for (int32_t i = 0; i < w; ++i) P::Put(p + i, colour, alpha, 1.0f);
      }
    });
    return true;
  }
  uint32_t* row = nullptr;
  if (!TryGetMem(row, int64_t{w} * 4)) return false;
  for (int32_t i = 0; i < w; ++i) row[i] = colourAt(i, w);
  WithOps(ops, [&](auto painter) {
    using P = decltype(painter);
    for (int32_t j = 0; j < h; ++j) {
      uint32_t* p = PixelAddress(x, y + j);
      for (int32_t i = 0; i < w; ++i) P::Put(p + i, row[i], alpha, 1.0f);
    }
  });
  FreeMem(row);
  return true;
}

bool TMemoryGraphic::FillHueRamp(const TRect& rect, uint8_t direction, float startHue, float saturation,
                                 float value, float alpha, SChannelOps ops, bool hsv) {
  return FillRamp(rect, direction, 0, startHue, saturation, value, alpha, ops, hsv);
}

bool TMemoryGraphic::FillSaturationRamp(const TRect& rect, uint8_t direction, float hue, float value, float alpha,
                                        SChannelOps ops, bool hsv) {
  return FillRamp(rect, direction, 1, hue, 0.0f, value, alpha, ops, hsv);
}

bool TMemoryGraphic::FillValueRamp(const TRect& rect, uint8_t direction, float hue, float saturation, float alpha,
                                   SChannelOps ops, bool hsv) {
  return FillRamp(rect, direction, 2, hue, saturation, 0.0f, alpha, ops, hsv);
}

bool TMemoryGraphic::FillPlane(const TRect& rect, uint8_t firstDirection, int firstAxis, uint8_t secondDirection,
                               int secondAxis, float hue, float saturation, float value, float alpha,
                               SChannelOps ops, bool hsv) {
  int32_t x, y, w, h;
  if (firstDirection > kDirLeft || secondDirection > kDirLeft || !Finite(alpha) || !ClipRect(rect, x, y, w, h)) {
    return false;
  }
  const uint8_t ab = AlphaByte(alpha);
  auto component = [&](int axis, uint8_t direction, int32_t i, int32_t j) {
    return Vertical(direction) ? AxisValue(axis, direction, j, h, hue) : AxisValue(axis, direction, i, w, hue);
  };
  WithOps(ops, [&](auto painter) {
    using P = decltype(painter);
    for (int32_t j = 0; j < h; ++j) {
      uint32_t* p = PixelAddress(x, y + j);
      for (int32_t i = 0; i < w; ++i) {
        float c[3] = {hue, saturation, value};
        c[firstAxis] = component(firstAxis, firstDirection, i, j);
        c[secondAxis] = component(secondAxis, secondDirection, i, j);
        P::Put(p + i, ModelPixel(c[0], c[1], c[2], ab, hsv), alpha, 1.0f);
      }
    }
  });
  return true;
}

bool TMemoryGraphic::FillHueValuePlane(const TRect& rect, uint8_t hueDirection, float startHue, float saturation,
                                       float alpha, uint8_t valueDirection, SChannelOps ops, bool hsv) {
  return FillPlane(rect, hueDirection, 0, valueDirection, 2, startHue, saturation, 0.0f, alpha, ops, hsv);
}

bool TMemoryGraphic::FillHueSaturationPlane(const TRect& rect, uint8_t hueDirection, float startHue, float value,
                                            float alpha, uint8_t saturationDirection, SChannelOps ops, bool hsv) {
  return FillPlane(rect, hueDirection, 0, saturationDirection, 1, startHue, 0.0f, value, alpha, ops, hsv);
}

bool TMemoryGraphic::FillSaturationValuePlane(const TRect& rect, uint8_t saturationDirection, float hue,
                                              float alpha, uint8_t valueDirection, SChannelOps ops, bool hsv) {
  return FillPlane(rect, saturationDirection, 1, valueDirection, 2, hue, 0.0f, 0.0f, alpha, ops, hsv);
}

// ---- Discs and rings in a square --------------------------------------------------------------------

namespace {

enum DiscKind { kDot, kRing, kHueDisc, kHueSaturationDisc, kHueValueDisc, kHueRing };

}  // namespace

bool TMemoryGraphic::DrawDisc(int32_t x, int32_t y, int32_t size, int32_t lineWidth, int kind, uint32_t colour,
                              float startHue, float saturation, float value, float alpha, SChannelOps ops,
                              bool hsv) {
  int32_t w = size, h = size;
  if (!Finite(alpha) || !ClipBounds(x, y, w, h)) return false;
  const int32_t d = std::min(w, h);
  const double r = (d - 1) / 2.0;
  const double centre = r;
  const double inner = r - lineWidth;
  const bool ring = kind == kRing || kind == kHueRing;
  if (ring && !(inner > 0.0)) kind = kind == kRing ? kDot : kHueDisc;
  if ((kind == kHueSaturationDisc || kind == kHueValueDisc) && d <= 1) return false;
  const bool hued = kind >= kHueDisc;
  const uint8_t ab = AlphaByte(alpha);
  const float cw = hued ? alpha : ColourWeight(colour);
  const double half = d / 2.0;
  const bool isRing = kind == kRing || kind == kHueRing;
  WithOps(ops, [&](auto painter) {
    using P = decltype(painter);
    for (int32_t j = 0; j < d; ++j) {
      uint32_t* row = PixelAddress(x, y + j);
      for (int32_t i = 0; i < d; ++i) {
        const double dist = std::hypot(i - centre, j - centre);
        double k;
        if (isRing) {
          if (dist < inner) {
            // The hole: continue past this pixel's mirror image.
            i = d - i - 1;
            continue;
          }
          const double e = dist - inner;
          const double u = r - dist + 1.0;
          if (e > 1.0) {
            k = u;
          } else if (u < 0.0) {
            continue;
          } else {
            k = u <= 1.0 ? e * u : e;
          }
        } else {
          k = r - dist + 1.0;
        }
        if (!(k > 0.0)) continue;
        uint32_t c = colour;
        if (hued) {
          const float hue = startHue + static_cast<float>(std::atan2(half - j, i - half));
          float s = saturation, v = value;
          const float level = r > 0.0 ? static_cast<float>(std::clamp(dist / r, 0.0, 1.0)) : 0.0f;
          if (kind == kHueSaturationDisc) s = level;
          if (kind == kHueValueDisc) v = level;
          c = ModelPixel(hue, s, v, ab, hsv);
        }
        P::Cover(row + i, c, cw, static_cast<float>(k));
      }
    }
  });
  return true;
}

bool TMemoryGraphic::FillDot(int32_t x, int32_t y, int32_t size, uint32_t colour, SChannelOps ops) {
  return DrawDisc(x, y, size, 0, kDot, colour, 0, 0, 0, 1.0f, ops, true);
}

bool TMemoryGraphic::FrameDot(int32_t x, int32_t y, int32_t size, int32_t lineWidth, uint32_t colour,
                              SChannelOps ops) {
  return DrawDisc(x, y, size, lineWidth, kRing, colour, 0, 0, 0, 1.0f, ops, true);
}

bool TMemoryGraphic::FillHueDisc(int32_t x, int32_t y, int32_t size, float startHue, float saturation,
                                 float value, float alpha, SChannelOps ops, bool hsv) {
  return DrawDisc(x, y, size, 0, kHueDisc, 0, startHue, saturation, value, alpha, ops, hsv);
}

bool TMemoryGraphic::FillHueSaturationDisc(int32_t x, int32_t y, int32_t size, float startHue, float value,
                                           float alpha, SChannelOps ops, bool hsv) {
  return DrawDisc(x, y, size, 0, kHueSaturationDisc, 0, startHue, 0, value, alpha, ops, hsv);
}

bool TMemoryGraphic::FillHueValueDisc(int32_t x, int32_t y, int32_t size, float startHue, float saturation,
                                      float alpha, SChannelOps ops, bool hsv) {
  return DrawDisc(x, y, size, 0, kHueValueDisc, 0, startHue, saturation, 0, alpha, ops, hsv);
}

bool TMemoryGraphic::FrameHueRing(int32_t x, int32_t y, int32_t size, int32_t lineWidth, float startHue,
                                  float saturation, float value, float alpha, SChannelOps ops, bool hsv) {
  return DrawDisc(x, y, size, lineWidth, kHueRing, 0, startHue, saturation, value, alpha, ops, hsv);
}

// ---- Circles and ellipses ---------------------------------------------------------------------------

namespace {

// The square box of a shape of radius r about (cx, cy), clipped in double to the surface so
// that no huge coordinate turns into an out-of-range integer. False when nothing is left.
bool ShapeBox(double cx, double cy, double r, int32_t surfaceWidth, int32_t surfaceHeight, int32_t& x0,
              int32_t& y0, int32_t& x1, int32_t& y1) {
  const double left = std::floor(cx - r - 0.5), top = std::floor(cy - r - 0.5);
  const double side = std::ceil(2.0 * r) + 2.0;
  const double right = std::min(left + side, static_cast<double>(surfaceWidth));
  const double bottom = std::min(top + side, static_cast<double>(surfaceHeight));
  const double l = std::max(left, 0.0), t = std::max(top, 0.0);
  if (!(right > l) || !(bottom > t)) return false;
  x0 = static_cast<int32_t>(l), y0 = static_cast<int32_t>(t);
  x1 = static_cast<int32_t>(right), y1 = static_cast<int32_t>(bottom);
  return true;
}

}  // namespace

bool TMemoryGraphic::FillCircle(SPointF centre, uint32_t colour, float radius, SChannelOps ops) {
  int32_t x0, y0, x1, y1;
  if (!IsValid() || !Finite(centre.x) || !Finite(centre.y) || !Finite(radius) ||
      !ShapeBox(centre.x, centre.y, radius, width_, height_, x0, y0, x1, y1)) {
    return false;
  }
  const float cw = ColourWeight(colour);
  WithOps(ops, [&](auto painter) {
    using P = decltype(painter);
    for (int32_t y = y0; y < y1; ++y) {
      uint32_t* row = PixelAddress(0, y);
      for (int32_t x = x0; x < x1; ++x) {
        const double k =
            radius - std::hypot(x - static_cast<double>(centre.x), y - static_cast<double>(centre.y)) + 1.0;
        P::Cover(row + x, colour, cw, static_cast<float>(k));
      }
    }
  });
  return true;
}

float FalloffValue(const FalloffFunction& falloff, float rho, float inner, float floor) {
  if (rho == 0.0f || inner >= 1.0f || floor >= 1.0f || !falloff) return 1.0f;
  float f = inner == 0.0f ? falloff(rho) : falloff(std::clamp((rho - inner) / (1.0f - inner), 0.0f, 1.0f));
  if (floor != 0.0f) f = floor + (1.0f - floor) * f;
  return std::clamp(f, 0.0f, 1.0f);
}

namespace {

enum EllipseKind { kEllipse, kFalloff, kRing2 };

}  // namespace

bool TMemoryGraphic::DrawEllipse(SPointF centre, float radiusX, float radiusY, float angle, int kind,
                                 uint32_t colour, uint32_t outerColour, float innerScale,
                                 const FalloffFunction* falloff, float inner, float floor, SChannelOps ops) {
  if (!IsValid() || !Finite(centre.x) || !Finite(centre.y) || !Finite(radiusX) || !Finite(radiusY) ||
      !Finite(angle) || !Finite(innerScale) || !(radiusX > 0.0f) || !(radiusY > 0.0f)) {
    return false;
  }
  const double A = std::max(radiusX, radiusY), B = std::min(radiusX, radiusY);
  int32_t x0, y0, x1, y1;
  if (!ShapeBox(centre.x, centre.y, A, width_, height_, x0, y0, x1, y1)) return false;
  const double ca = std::cos(static_cast<double>(angle)), sa = std::sin(static_cast<double>(angle));
  const double c = std::sqrt(A * A - B * B);
  const double cx = centre.x, cy = centre.y;
  const double edgeScale = A / (2.0 * B);
  const bool plainFalloff = kind == kFalloff && (inner >= 1.0f || floor >= 1.0f);
  const double stretch = (A + 2.0) / (B + 2.0);
  const double s = innerScale;
  WithOps(ops, [&](auto painter) {
    using P = decltype(painter);
    for (int32_t y = y0; y < y1; ++y) {
      uint32_t* row = PixelAddress(0, y);
      for (int32_t x = x0; x < x1; ++x) {
        const double px = x - cx, py = y - cy;
        const double d1 = std::hypot(px - c * ca, py - c * sa), d2 = std::hypot(px + c * ca, py + c * sa);
        const double e = std::min(1.0, (2.0 * A - d1 - d2) * edgeScale + 1.0);
        if (!(e > 0.0)) continue;
        if (kind == kEllipse || plainFalloff) {
          P::Cover(row + x, colour, ColourWeight(colour), static_cast<float>(e));
        } else if (kind == kFalloff) {
          const double u = px * ca + py * sa;
          const double v = (-px * sa + py * ca) * stretch;
          const float rho = static_cast<float>(std::sqrt(u * u + v * v) / (A + 2.0));
          const float k = FalloffValue(*falloff, rho, inner, floor) * static_cast<float>(e);
          P::Cover(row + x, colour, ColourWeight(colour), k);
        } else {
          const double g1 = std::hypot(px - s * c * ca, py - s * c * sa);
          const double g2 = std::hypot(px + s * c * ca, py + s * c * sa);
          const double q = (2.0 * s * A - g1 - g2) * edgeScale + 1.0;
          uint32_t mix = outerColour;
          if (q >= 1.0) {
            mix = colour;
          } else if (q > 0.0) {
            P::Put(&mix, colour, static_cast<float>(q), static_cast<float>(q));
          }
          P::Cover(row + x, mix, ColourWeight(mix), static_cast<float>(e));
        }
      }
    }
  });
  return true;
}

bool TMemoryGraphic::FillEllipse(SPointF centre, float radiusX, float radiusY, float angle, uint32_t colour,
                                 SChannelOps ops) {
  return DrawEllipse(centre, radiusX, radiusY, angle, kEllipse, colour, 0, 0, nullptr, 0, 0, ops);
}

bool TMemoryGraphic::FillEllipseFalloff(SPointF centre, float radiusX, float radiusY, float angle,
                                        uint32_t colour, const FalloffFunction& falloff, float inner, float floor,
                                        SChannelOps ops) {
  if (!Finite(inner) || !Finite(floor)) return false;
  return DrawEllipse(centre, radiusX, radiusY, angle, kFalloff, colour, 0, 0, &falloff, inner, floor, ops);
}

bool TMemoryGraphic::FillEllipseRing(SPointF centre, float radiusX, float radiusY, float innerScale, float angle,
                                     uint32_t innerColour, uint32_t outerColour, SChannelOps ops) {
  if (!Finite(innerScale)) return false;
  if (innerScale >= 1.0f) return FillEllipse(centre, radiusX, radiusY, angle, innerColour, ops);
  if (innerScale * std::min(radiusX, radiusY) < 1.0f / 255.0f) {
    return FillEllipse(centre, radiusX, radiusY, angle, outerColour, ops);
  }
  return DrawEllipse(centre, radiusX, radiusY, angle, kRing2, innerColour, outerColour, innerScale, nullptr, 0, 0,
                     ops);
}

// ---- Triangles --------------------------------------------------------------------------------------

namespace {

// Coverage factors of one triangle: coverage = ((2a + 1) sx + (2b + 1) sy + c0) / 4.
struct STriangle {
  double sx, sy, c0;
  float Coverage(int32_t a, int32_t b) const {
    return static_cast<float>(((2.0 * a + 1.0) * sx + (2.0 * b + 1.0) * sy + c0) / 4.0);
  }
};

// Pointing right or left: a is the distance from the apex column's side (w - 1 - n), b the row
// counted from the nearer edge.
STriangle HorizontalTriangle(int32_t w, int32_t h) {
  const int32_t half = h / 2;
  const double m = h / 2.0;
  if (half < w) return {m / w, 1.0, 2.0 - h};
  return {1.0, w / m, 2.0 - 2.0 * w};
}

// Pointing down or up: a is the step v from the outer column, b the row from the apex.
STriangle VerticalTriangle(int32_t w, int32_t h) {
  const int32_t half = w / 2;
  const double m = w / 2.0;
  if (h < half) return {h / m, 1.0, 2.0 - 2.0 * h};
  return {1.0, m / h, 2.0 - w};
}

}  // namespace

bool TMemoryGraphic::FillTriangle(const TRect& rect, uint32_t colour, uint8_t direction, SChannelOps ops) {
  if (direction == kDirRight || direction == kDirLeft) return FillTriangleH(rect, colour, direction, ops);
  return FillTriangleV(rect, colour, direction, ops);
}

bool TMemoryGraphic::FillGradientTriangle(const TRect& rect, uint32_t cornerA, uint32_t apex, uint32_t cornerB,
                                          uint8_t direction, SChannelOps ops) {
  if (direction == kDirRight || direction == kDirLeft) {
    return FillGradientTriangleH(rect, cornerA, apex, cornerB, direction, ops);
  }
  return FillGradientTriangleV(rect, cornerA, apex, cornerB, direction, ops);
}

bool TMemoryGraphic::FillTriangleH(const TRect& rect, uint32_t colour, uint8_t direction, SChannelOps ops) {
  int32_t x, y, w, h;
  if (direction > kDirLeft || !ClipRect(rect, x, y, w, h)) return false;
  const STriangle t = HorizontalTriangle(w, h);
  const float cw = ColourWeight(colour);
  const int32_t half = h / 2;
  WithOps(ops, [&](auto painter) {
    using P = decltype(painter);
    auto row = [&](int32_t k, int32_t rowY) {
      uint32_t* p = PixelAddress(0, rowY);
      for (int32_t n = 0; n < w; ++n) {
        const float cov = t.Coverage(w - 1 - n, k);
        if (!(cov > 0.0f)) break;
        P::Cover(p + (direction == kDirRight ? x + n : x + w - 1 - n), colour, cw, cov);
      }
    };
    for (int32_t k = 0; k < half; ++k) {
      row(k, y + k);
      row(k, y + h - 1 - k);
    }
    if (h % 2 != 0) row(half, y + half);
  });
  return true;
}

bool TMemoryGraphic::FillTriangleV(const TRect& rect, uint32_t colour, uint8_t direction, SChannelOps ops) {
  int32_t x, y, w, h;
  if (direction > kDirLeft || !ClipRect(rect, x, y, w, h)) return false;
  const STriangle t = VerticalTriangle(w, h);
  const float cw = ColourWeight(colour);
  const int32_t half = w / 2;
  WithOps(ops, [&](auto painter) {
    using P = decltype(painter);
    for (int32_t r = 0; r < h; ++r) {
      uint32_t* p = PixelAddress(x, direction == kDirDown ? y + h - 1 - r : y + r);
      for (int32_t v = half - 1; v >= 0; --v) {
        const float cov = t.Coverage(v, r);
        if (!(cov > 0.0f)) break;
        P::Cover(p + v, colour, cw, cov);
        P::Cover(p + w - 1 - v, colour, cw, cov);
      }
      if (w % 2 != 0) P::Cover(p + half, colour, cw, t.Coverage(half, r));
    }
  });
  return true;
}

bool TMemoryGraphic::FillGradientTriangleH(const TRect& rect, uint32_t cornerA, uint32_t apex, uint32_t cornerB,
                                           uint8_t direction, SChannelOps ops) {
  int32_t x, y, w, h;
  if (direction > kDirLeft || !ClipRect(rect, x, y, w, h) || w <= 1 || h <= 1) return false;
  const STriangle t = HorizontalTriangle(w, h);
  const int32_t half = h / 2;
  WithOps(ops, [&](auto painter) {
    using P = decltype(painter);
    // One row: k from the nearer edge, the base and edge colours, and the colour fraction of the
    // pixel at offset n from the base.
    auto row = [&](int32_t k, int32_t rowY, uint32_t base, uint32_t edge, auto fraction) {
      uint32_t* p = PixelAddress(0, rowY);
      for (int32_t n = 0; n < w; ++n) {
        const float cov = t.Coverage(w - 1 - n, k);
        if (!(cov > 0.0f)) break;
        const double f = fraction(n);
        const uint32_t c = f <= 0.0 ? base : (f >= 1.0 ? edge : LerpPixel(base, edge, static_cast<float>(f)));
        P::Cover(p + (direction == kDirRight ? x + n : x + w - 1 - n), c, ColourWeight(c), cov);
      }
    };
    for (int32_t k = 0; k < half; ++k) {
      const float s = static_cast<float>(2.0 * k / (h - 1));
      auto fraction = [&](int32_t n) {
        return k == 0 ? 0.0 : n * (h / 2.0) / (static_cast<double>(k) * (w - 1));
      };
      row(k, y + k, LerpPixel(cornerA, cornerB, s / 2.0f), LerpPixel(cornerA, apex, s), fraction);
      row(k, y + h - 1 - k, LerpPixel(cornerB, cornerA, s / 2.0f), LerpPixel(cornerB, apex, s), fraction);
    }
    if (h % 2 != 0) {
      row(half, y + half, LerpPixel(cornerA, cornerB, 0.5f), apex,
          [&](int32_t n) { return static_cast<double>(n) / (w - 1); });
    }
  });
  return true;
}

bool TMemoryGraphic::FillGradientTriangleV(const TRect& rect, uint32_t cornerA, uint32_t apex, uint32_t cornerB,
                                           uint8_t direction, SChannelOps ops) {
  int32_t x, y, w, h;
  if (direction > kDirLeft || !ClipRect(rect, x, y, w, h) || w <= 1 || h <= 1) return false;
  const STriangle t = VerticalTriangle(w, h);
  const int32_t half = w / 2;
  const uint32_t baseMix = LerpPixel(cornerA, cornerB, 0.5f);
  WithOps(ops, [&](auto painter) {
    using P = decltype(painter);
    for (int32_t r = 0; r < h; ++r) {
      const float tr = static_cast<float>(r) / static_cast<float>(h - 1);
      const uint32_t left = LerpPixel(apex, cornerA, tr);
      const uint32_t right = LerpPixel(apex, cornerB, tr);
      const uint32_t middle = LerpPixel(apex, baseMix, tr);
      uint32_t* p = PixelAddress(x, direction == kDirDown ? y + h - 1 - r : y + r);
      auto colourOf = [&](uint32_t edge, double f) {
        return f <= 0.0 ? middle : (f >= 1.0 ? edge : LerpPixel(middle, edge, static_cast<float>(f)));
      };
      for (int32_t v = half - 1; v >= 0; --v) {
        const float cov = t.Coverage(v, r);
        if (!(cov > 0.0f)) break;
        const double f = r == 0 ? 0.0 : (w / 2.0 - v) * h / (r * (w / 2.0));
        const uint32_t cl = colourOf(left, f), cr = colourOf(right, f);
        P::Cover(p + v, cl, ColourWeight(cl), cov);
        P::Cover(p + w - 1 - v, cr, ColourWeight(cr), cov);
      }
      if (w % 2 != 0) P::Cover(p + half, middle, ColourWeight(middle), t.Coverage(half, r));
    }
  });
  return true;
}

}  // namespace tf
