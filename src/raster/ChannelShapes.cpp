#include "raster/ChannelShapes.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "raster/Composite.h"
#include "raster/FlatImage.h"

namespace tf {

namespace {

DotPlotter g_dotPlotter = &BlendPixelPlotter;

// Trunc toward zero, saturating at the int32 range; NaN gives 0.
int32_t TruncSat(float v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0f) return INT32_MAX;
  if (v <= -2147483648.0f) return INT32_MIN;
  return static_cast<int32_t>(v);
}

// The same at the range of int64 less a margin, so that sums of a few such values cannot wrap.
int64_t TruncSat64(float v) {
  constexpr float kLimit = 4.0e18f;
  if (!(v == v)) return 0;
  if (v >= kLimit) return static_cast<int64_t>(kLimit);
  if (v <= -kLimit) return -static_cast<int64_t>(kLimit);
  return static_cast<int64_t>(v);
}

// Distance in bytes from a pixel to the pixel one row further down (row y to y + 1).
std::ptrdiff_t RowStride(const TChannel& image) {
  return std::ptrdiff_t{image.GetRowStep()} * image.GetBytesPerPixel();
}

// ---------------------------------------------------------------------------------------------
// Edge marking

template <class F>
void MarkEdges(TChannel& image, const SRectWH& r, F callback) {
  const std::ptrdiff_t stride = RowStride(image);
  const int32_t bottom = r.top + r.height - 1;
  for (int32_t y = r.top; y <= bottom; ++y) {
    uint8_t* row = image.GetPixelPtr(r.left, y);
    const bool edgeRow = y == r.top || y == bottom;
    for (int32_t i = 0; i < r.width; ++i) {
      uint8_t* p = row + i;
      if (*p == 0) continue;
      int32_t edge;
      if (edgeRow || i == 0 || i == r.width - 1)
        edge = 1;
      else
        edge = (p[-1] == 0 || p[1] == 0 || p[-stride] == 0 || p[stride] == 0) ? 1 : 0;
      callback(p, edge);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Run maps. A line is count bytes starting at base, stride bytes apart.

// Zero runs: the first byte := endValue after a nonzero run, the last byte := endValue before one.
void MarkZeroRunEnds(uint8_t* base, std::ptrdiff_t stride, int32_t count, uint8_t endValue) {
  int32_t i = 0;
  while (i < count) {
    if (base[i * stride] != 0) {
      ++i;
      continue;
    }
    const int32_t start = i;
    while (i < count && base[i * stride] == 0) ++i;
    const int32_t end = i - 1;
    if (start > 0) base[start * stride] = endValue;
    if (i < count) base[end * stride] = endValue;
  }
}

inline uint8_t Raise42(uint8_t b) { return static_cast<uint8_t>(std::min(b + 42, 255)); }

// Runs of bytes other than value: the first byte raised after a run of value bytes, the last
// byte raised before one.
void RaiseOutlineRunEnds(uint8_t* base, std::ptrdiff_t stride, int32_t count, uint8_t value) {
  int32_t i = 0;
  while (i < count) {
    if (base[i * stride] == value) {
      ++i;
      continue;
    }
    const int32_t start = i;
    while (i < count && base[i * stride] != value) ++i;
    const int32_t end = i - 1;
    if (start > 0) base[start * stride] = Raise42(base[start * stride]);
    if (i < count) base[end * stride] = Raise42(base[end * stride]);
  }
}

template <class F>
void ForEachRowAndColumn(TChannel& image, F line) {
  const int32_t w = image.Width();
  const int32_t h = image.Height();
  for (int32_t y = 0; y < h; ++y) line(image.GetPixelPtr(0, y), std::ptrdiff_t{1}, w);
  const std::ptrdiff_t stride = RowStride(image);
  for (int32_t x = 0; x < w; ++x) line(image.GetPixelPtr(x, 0), stride, h);
}

// ---------------------------------------------------------------------------------------------
// Dots

// Corner and subsample geometry of a dot, in fifths of a pixel.
struct DotBox {
  int32_t left, top, right, bottom;  // pixels, clipped to the channel
  int64_t R2;
  int64_t CX, CY;
  bool small;  // radius <= 3: every pixel of the box counts as partly covered
};

// False when the dot lies wholly outside the channel or its values are unusable.
bool MakeDotBox(const TChannel& image, float cx, float cy, float r, DotBox& box) {
  if (!(r > 0.0f) || !image.IsValid()) return false;
  // Beyond this the box and the fifths would leave the int32 range.
  constexpr float kLimit = 1.0e8f;
  if (!(std::fabs(cx) < kLimit && std::fabs(cy) < kLimit && r < kLimit)) return false;
  const int32_t x0 = TruncSat(cx - r);
  const int32_t x1 = TruncSat(cx + r);
  const int32_t y0 = TruncSat(cy - r);
  const int32_t y1 = TruncSat(cy + r);
  // The writers skip pixels outside the channel, so the box is clipped to it.
  box.left = std::max(x0, 0);
  box.right = std::min(x1, image.Width() - 1);
  box.top = std::max(y0, 0);
  box.bottom = std::min(y1, image.Height() - 1);
  if (box.left > box.right || box.top > box.bottom) return false;
  const int64_t R = TruncSat(5.0f * r);
  box.R2 = R * R;
  box.CX = TruncSat(5.0f * cx);
  box.CY = TruncSat(5.0f * cy);
  box.small = r <= 3.0f;
  return true;
}

inline bool Inside(int64_t e, int64_t b, int64_t R2) { return e * e + b * b < R2; }

// Number of the four corners of the pixel inside the dot.
inline int32_t CornersInside(int64_t e, int64_t b, int64_t R2) {
  return int32_t{Inside(e, b, R2)} + int32_t{Inside(e + 5, b, R2)} + int32_t{Inside(e, b + 5, R2)} +
         int32_t{Inside(e + 5, b + 5, R2)};
}

// Number of the 25 sample points of the pixel inside the dot.
inline int32_t SamplesInside(int64_t e, int64_t b, int64_t R2) {
  int32_t k = 0;
  for (int64_t j = 0; j < 5; ++j)
    for (int64_t i = 0; i < 5; ++i) k += Inside(e + i, b + j, R2) ? 1 : 0;
  return k;
}

// ---------------------------------------------------------------------------------------------
// Spans

// One antialiased span along a row (vertical = false) or a column, in 64ths of a pixel.
void DrawSpanAA(TChannel& image, bool vertical, int32_t line, int32_t value, float a0, float a1, float opacity,
                bool keepMax) {
  if (!image.IsValid()) return;
  const int32_t length = vertical ? image.Height() : image.Width();
  const int32_t across = vertical ? image.Width() : image.Height();
  if (line < 0 || line >= across) return;
  const int32_t first = TruncSat(a0 - 1.0f);
  const int32_t last = TruncSat(a1 + 1.0f);
  const int64_t half = TruncSat64((a1 - a0) / 2.0f * 64.0f);
  const int64_t centre = TruncSat64((a0 + a1) / 2.0f * 64.0f);
  const uint32_t t = static_cast<uint8_t>(TruncSat(static_cast<float>(value) * opacity));
  // Positions outside the channel are skipped.
  const int32_t from = std::max(first, 0);
  const int32_t to = std::min(last, length - 1);
  for (int32_t p = from; p <= to; ++p) {
    const int64_t u = centre - int64_t{64} * p;
    uint32_t w = t;
    if ((u < 0 ? -u : u) + 64 >= half) {
      uint32_t k = 0;
      for (int64_t i = 0; i < 64; ++i) {
        const int64_t d = int64_t{64} * p + i - centre;
        if ((d < 0 ? -d : d) < half) ++k;
      }
      w = (k * t) / 64;
    }
    uint8_t* px = vertical ? image.GetPixelPtr(line, p) : image.GetPixelPtr(p, line);
    if (!keepMax || *px < w) *px = static_cast<uint8_t>(w);
  }
}

// ---------------------------------------------------------------------------------------------
// Polygon fill

struct Crossing {
  float at;     // x of a row crossing, y of a column crossing
  bool flat;    // |dx| >= |dy|
  float slope;  // run along the line per step across it
};

// Ordered by position; the classic exchange sort for the counts the fill has always handled, so
// equal positions pair as they always did, and a stable sort beyond.
void SortCrossings(std::vector<Crossing>& list) {
  const size_t n = list.size();
  if (n <= 1000) {
    for (size_t i = 0; i + 1 < n; ++i)
      for (size_t j = i + 1; j < n; ++j)
        if (list[j].at < list[i].at) std::swap(list[i], list[j]);
  } else {
    std::stable_sort(list.begin(), list.end(), [](const Crossing& a, const Crossing& b) { return a.at < b.at; });
  }
}

// Crossings of the polygon's edges with the four sample lines s, s + 0.25, s + 0.5, s + 0.75.
// Rows: u is y, v is x (vertical = false); columns: u is x, v is y.
void CollectCrossings(const std::vector<TPoint>& p, bool columns, int32_t s, std::vector<Crossing>& out) {
  out.clear();
  static constexpr float kOffsets[4] = {0.0f, 0.25f, 0.5f, 0.75f};
  for (size_t k = 0; k + 1 < p.size(); ++k) {
    const int32_t iu0 = columns ? p[k].x : p[k].y;
    const int32_t iu1 = columns ? p[k + 1].x : p[k + 1].y;
    if (iu0 == iu1) continue;
    float u0 = static_cast<float>(iu0);
    float u1 = static_cast<float>(iu1);
    float v0 = static_cast<float>(columns ? p[k].y : p[k].x);
    float v1 = static_cast<float>(columns ? p[k + 1].y : p[k + 1].x);
    if (u0 > u1)
      u0 = u0 - 0.01f;
    else
      u1 = u1 - 0.01f;
    if (u0 > u1) {
      std::swap(u0, u1);
      std::swap(v0, v1);
    }
    float sum = 0.0f;
    int32_t hits = 0;
    for (float offset : kOffsets) {
      const float us = static_cast<float>(s) + offset;
      if (us >= u0 && us <= u1) {
        sum = sum + (v0 + (us - u0) * (v1 - v0) / (u1 - u0));
        ++hits;
      }
    }
    if (hits == 0) continue;
    const float du = u1 - u0;
    const float dv = v1 - v0;
    // The flat flag is |dx| >= |dy| in both passes.
    const float dx = columns ? du : dv;
    const float dy = columns ? dv : du;
    out.push_back(Crossing{sum / static_cast<float>(hits), std::fabs(dx) >= std::fabs(dy), std::fabs(dv / du)});
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------

bool MarkEdgePixels(TChannel& image, SRectWH& rect, EdgeCallback callback) {
  if (callback == nullptr || !image.ClipRect(rect)) return false;
  if (callback == &SetInteriorFull)
    MarkEdges(image, rect, [](uint8_t* b, int32_t e) { SetInteriorFull(b, e); });
  else
    MarkEdges(image, rect, callback);
  return true;
}

void SetInteriorFull(uint8_t* byte, int32_t isEdge) {
  if (isEdge == 0) *byte = 255;
}

void SetNonZero(TChannel& image, uint8_t value) {
  if (!image.IsValid()) return;
  for (int32_t y = 0; y < image.Height(); ++y) {
    uint8_t* row = image.GetPixelPtr(0, y);
    for (int32_t x = 0; x < image.Width(); ++x)
      if (row[x] != 0) row[x] = value;
  }
}

void MarkRunEnds(TChannel& image, uint8_t value, uint8_t endValue) {
  if (!image.IsValid()) return;
  SetNonZero(image, value);
  ForEachRowAndColumn(image, [endValue](uint8_t* base, std::ptrdiff_t stride, int32_t count) {
    MarkZeroRunEnds(base, stride, count, endValue);
  });
}

void MakeOutline(TChannel& image, uint8_t value) {
  if (!image.IsValid()) return;
  MarkRunEnds(image, value, 42);
  ForEachRowAndColumn(image, [value](uint8_t* base, std::ptrdiff_t stride, int32_t count) {
    RaiseOutlineRunEnds(base, stride, count, value);
  });
}

bool BlendPixelPlotter(TChannel& image, int32_t x, int32_t y, int32_t value, int32_t alpha) {
  return image.BlendPixel(x, y, static_cast<uint8_t>(value), alpha);
}

DotPlotter SetDotPlotter(DotPlotter plotter) {
  const DotPlotter before = g_dotPlotter;
  g_dotPlotter = plotter != nullptr ? plotter : &BlendPixelPlotter;
  return before;
}

DotPlotter GetDotPlotter() { return g_dotPlotter; }

void DrawRoundDot(TChannel& image, int32_t value, bool antialias, float cx, float cy, float radius, float opacity,
                  bool keepMax) {
  DotBox box;
  if (!MakeDotBox(image, cx, cy, radius, box)) return;
  const DotPlotter plot = g_dotPlotter;
  const int32_t full = TruncSat(static_cast<float>(value) * opacity);
  const int32_t A = TruncSat(opacity * 255.0f);
  for (int32_t y = box.top; y <= box.bottom; ++y) {
    const int64_t B = int64_t{5} * y - box.CY;
    for (int32_t x = box.left; x <= box.right; ++x) {
      const int64_t E = int64_t{5} * x - box.CX;
      const int32_t corners = box.small ? 1 : CornersInside(E, B, box.R2);
      if (corners == 0) continue;
      if (corners == 4) {
        if (!keepMax)
          plot(image, x, y, value, A);
        else if (image.GetPixelClamped(x, y) < full)
          plot(image, x, y, full, 255);
      } else if (antialias) {
        const int32_t C = A * SamplesInside(E, B, box.R2) / 25;
        if (!keepMax)
          plot(image, x, y, value, C);
        else if (image.GetPixelClamped(x, y) < C)
          plot(image, x, y, C, 255);
      } else {
        plot(image, x, y, value, A);
      }
    }
  }
}

void DrawSoftDot(TChannel& image, int32_t value, bool keepMax, float cx, float cy, float radius, float opacity,
                 bool soft) {
  DotBox box;
  if (!MakeDotBox(image, cx, cy, radius, box)) return;
  const int64_t w = TruncSat(static_cast<float>(value) * opacity);
  for (int32_t y = box.top; y <= box.bottom; ++y) {
    const int64_t B = int64_t{5} * y - box.CY;
    for (int32_t x = box.left; x <= box.right; ++x) {
      const int64_t E = int64_t{5} * x - box.CX;
      const int32_t corners = box.small ? 1 : CornersInside(E, B, box.R2);
      if (corners == 0) continue;
      // Squared distances reach beyond int32 for large dots: 64-bit products.
      int64_t S = 0;
      if (soft && box.R2 > 0) S = std::max<int64_t>(0, 255 - (E * E + B * B) * 255 / box.R2);
      const int32_t pixel = image.GetPixelClamped(x, y);
      if (corners == 4) {
        const int64_t I = soft ? (w * S) / 256 : w;
        if (!keepMax || pixel < I) image.BlendPixelFast(x, y, static_cast<uint8_t>(I), 255);
      } else {
        const int64_t K = SamplesInside(E, B, box.R2);
        const int64_t J = soft ? (w * S * K) / 6400 : (w * K) / 25;
        if (!keepMax)
          image.BlendPixelFast(x, y, static_cast<uint8_t>(value), static_cast<int32_t>(J));
        else if (pixel < J)
          image.BlendPixelFast(x, y, static_cast<uint8_t>(J), 255);
      }
    }
  }
}

void DrawDotGrid(TChannel& image, float startX, float startY, float endX, float endY, float stepX, float stepY,
                 float radius) {
  if (!image.IsValid() || !(stepX > 0.0f) || !(stepY > 0.0f)) return;
  endX = ClampSingle(endX, 2.0f, static_cast<float>(image.Width()));
  endY = ClampSingle(endY, 2.0f, static_cast<float>(image.Height()));
  for (float y = startY; y <= endY; y = y + stepY) {
    for (float x = startX; x <= endX; x = x + stepX) {
      DrawRoundDot(image, 255, true, x, y, radius, 1.0f, false);
      if (x + stepX == x) break;  // a step too small to advance
    }
    if (y + stepY == y) break;
  }
}

void DrawHSpanAA(TChannel& image, int32_t y, int32_t value, float x0, float x1, float opacity, bool keepMax) {
  DrawSpanAA(image, false, y, value, x0, x1, opacity, keepMax);
}

void DrawVSpanAA(TChannel& image, int32_t x, int32_t value, float y0, float y1, float opacity, bool keepMax) {
  DrawSpanAA(image, true, x, value, y0, y1, opacity, keepMax);
}

void FillPolygonAA(TChannel& image, const TPoint* points, int32_t count) {
  if (points == nullptr || count < 1 || !image.IsValid()) return;
  std::vector<TPoint> p(points, points + count);
  // Drop repeated points, the last repeat first.
  for (;;) {
    int32_t repeat = -1;
    for (size_t i = 0; i + 1 < p.size(); ++i)
      if (p[i] == p[i + 1]) repeat = static_cast<int32_t>(i);
    if (repeat >= 0) p.erase(p.begin() + repeat + 1);
    if (p.size() < 4) return;
    if (repeat < 0) break;
  }

  int32_t minX = 10000, minY = 10000, maxX = 0, maxY = 0;
  for (const TPoint& q : p) {
    minX = std::min(minX, q.x);
    minY = std::min(minY, q.y);
    maxX = std::max(maxX, q.x);
    maxY = std::max(maxY, q.y);
  }
  const int32_t width = image.Width();
  const int32_t height = image.Height();
  minX = std::max(minX, 0);
  minY = std::max(minY, 0);
  maxX = std::min(maxX, width);
  maxY = std::min(maxY, height);

  // Crossings per line: as many as the polygon has edges.
  std::vector<Crossing> list;
  list.reserve(p.size());

  for (int32_t y = minY; y <= maxY; ++y) {
    CollectCrossings(p, false, y, list);
    SortCrossings(list);
    for (size_t i = 0; i + 1 < list.size(); i += 2) {
      float left = std::max(list[i].at, 0.0f);
      float right = std::min(list[i + 1].at, static_cast<float>(width));
      if (list[i].flat) left = left + list[i].slope / 2.0f;
      if (list[i + 1].flat) right = right - list[i + 1].slope / 2.0f;
      if (right > left) DrawHSpanAA(image, y, 255, left, right, 1.0f, true);
    }
  }
  for (int32_t x = minX; x <= maxX; ++x) {
    CollectCrossings(p, true, x, list);
    SortCrossings(list);
    for (size_t i = 0; i + 1 < list.size(); i += 2) {
      float top = std::max(list[i].at, 0.0f);
      float bottom = std::min(list[i + 1].at, static_cast<float>(height));
      if (!list[i].flat) top = top + list[i].slope / 2.0f;
      if (!list[i + 1].flat) bottom = bottom - list[i + 1].slope / 2.0f;
      if (bottom > top) DrawVSpanAA(image, x, 255, top, bottom, 1.0f, true);
    }
  }
}

void FillPolygon(TChannel& image, const TPoint* points, int32_t count) {
  if (points == nullptr || count < 1) return;
  // Closed on a copy: the caller's array is left as it is.
  std::vector<TPoint> closed(points, points + count);
  closed.push_back(points[0]);
  FillPolygonAA(image, closed.data(), count + 1);
}

}  // namespace tf
