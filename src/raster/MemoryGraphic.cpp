#include "raster/MemoryGraphic.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/Memory.h"
#include "raster/ColorConvert.h"
#include "raster/MemoryGraphicPaint.h"

namespace tf {

using graphic::ColourWeight;
using graphic::WithOps;

uint8_t ApplyChannelOp(TChannelOp op, uint8_t destination, uint8_t source, float weight) {
  switch (op) {
    case TChannelOp::Keep: return graphic::Apply<TChannelOp::Keep>(destination, source, weight);
    case TChannelOp::Copy: return graphic::Apply<TChannelOp::Copy>(destination, source, weight);
    case TChannelOp::Blend: return graphic::Apply<TChannelOp::Blend>(destination, source, weight);
    case TChannelOp::Multiply: return graphic::Apply<TChannelOp::Multiply>(destination, source, weight);
  }
  return destination;
}

// ---- Lifetime ---------------------------------------------------------------------------------

TMemoryGraphic::TMemoryGraphic() = default;

TMemoryGraphic TMemoryGraphic::CreateColor(uint32_t background) {
  TMemoryGraphic g;
  g.background_ = background;
  return g;
}

TMemoryGraphic::TMemoryGraphic(int32_t width, int32_t height, uint32_t background) : background_(background) {
  SetSize(width, height);
}

TMemoryGraphic::~TMemoryGraphic() { Release(); }

TMemoryGraphic::TMemoryGraphic(TMemoryGraphic&& other) noexcept
    : pixels_(std::exchange(other.pixels_, nullptr)),
      width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0)),
      background_(other.background_) {}

TMemoryGraphic& TMemoryGraphic::operator=(TMemoryGraphic&& other) noexcept {
  if (this != &other) {
    Release();
    pixels_ = std::exchange(other.pixels_, nullptr);
    width_ = std::exchange(other.width_, 0);
    height_ = std::exchange(other.height_, 0);
    background_ = other.background_;
  }
  return *this;
}

void TMemoryGraphic::Release() {
  FreeMem(pixels_);
  pixels_ = nullptr;
}

bool TMemoryGraphic::SetSize(int32_t width, int32_t height) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  if (width == width_ && height == height_ && pixels_) return true;
  Release();
  width_ = width;
  height_ = height;
  const int64_t bytes = int64_t{width} * int64_t{height} * 4;
  uint32_t* block = nullptr;
  if (!TryGetMem(block, bytes)) return false;
  pixels_ = block;
  Clear();
  return true;
}

bool TMemoryGraphic::Clear() {
  return FillRect({0, 0, width_, height_}, background_, {ChannelCopy, ChannelCopy});
}

uint32_t TMemoryGraphic::GetPixel(int32_t x, int32_t y) const {
  if (!IsValid()) return 0;
  x = std::clamp(x, 0, width_ - 1);
  y = std::clamp(y, 0, height_ - 1);
  return pixels_[static_cast<ptrdiff_t>(y) * width_ + x];
}

void TMemoryGraphic::SetPixel(int32_t x, int32_t y, uint32_t value) {
  if (Contains(x, y)) *PixelAddress(x, y) = value;
}

uint32_t* TMemoryGraphic::ScanLine(int32_t y) {
  return IsValid() && y >= 0 && y < height_ ? PixelAddress(0, y) : nullptr;
}

const uint32_t* TMemoryGraphic::ScanLine(int32_t y) const {
  return IsValid() && y >= 0 && y < height_ ? pixels_ + static_cast<ptrdiff_t>(y) * width_ : nullptr;
}

// ---- Clipping -----------------------------------------------------------------------------------

namespace {

// The clipping rule in 64 bits, so that no origin or size can overflow.
bool ClipArea(int64_t x, int64_t y, int64_t w, int64_t h, int32_t surfaceWidth, int32_t surfaceHeight,
              graphic::SArea& out) {
  if (x < 0) {
    w += x;
    x = 0;
  }
  if (y < 0) {
    h += y;
    y = 0;
  }
  w = std::min<int64_t>(w, surfaceWidth - x);
  h = std::min<int64_t>(h, surfaceHeight - y);
  if (w <= 0 || h <= 0) return false;
  out = {static_cast<int32_t>(x), static_cast<int32_t>(y), static_cast<int32_t>(w), static_cast<int32_t>(h)};
  return true;
}

}  // namespace

bool TMemoryGraphic::ClipBounds(int32_t& x, int32_t& y, int32_t& width, int32_t& height) const {
  graphic::SArea a;
  if (!IsValid() || !ClipArea(x, y, width, height, width_, height_, a)) return false;
  x = a.x, y = a.y, width = a.width, height = a.height;
  return true;
}

bool TMemoryGraphic::ClipRect(const TRect& r, int32_t& x, int32_t& y, int32_t& width, int32_t& height) const {
  graphic::SArea a;
  if (!IsValid() ||
      !ClipArea(r.left, r.top, int64_t{r.right} - r.left, int64_t{r.bottom} - r.top, width_, height_, a)) {
    return false;
  }
  x = a.x, y = a.y, width = a.width, height = a.height;
  return true;
}

bool TMemoryGraphic::ClipRectOut(const TRect& in, TRect& out) const {
  int32_t x, y, w, h;
  if (!ClipRect(in, x, y, w, h)) {
    out = in;
    return false;
  }
  out = {x, y, x + w, y + h};
  return true;
}

// ---- Solid fills --------------------------------------------------------------------------------

namespace {

// What the painter makes of every destination byte for a colour and weights: lanes[c][v] is
// byte c of the result over a destination whose byte c is v, in place (every operation is a
// function of the destination byte once colour and weights are fixed).
template <class P>
void BuildLanes(uint32_t (&lanes)[4][256], uint32_t colour, float cw, float aw) {
  for (uint32_t v = 0; v < 256; ++v) {
    uint32_t p = v | v << 8 | v << 16 | v << 24;
    P::Put(&p, colour, cw, aw);
    lanes[0][v] = p & 0xFF;
    lanes[1][v] = p & 0xFF00;
    lanes[2][v] = p & 0xFF0000;
    lanes[3][v] = p & 0xFF000000u;
  }
}

template <class P>
inline void PutRowByLanes(uint32_t* p, int32_t width, const uint32_t (&lanes)[4][256]) {
  for (int32_t i = 0; i < width; ++i) {
    const uint32_t d = p[i];
    if constexpr (P::kAlpha == TChannelOp::Keep) {
      p[i] = lanes[0][d & 0xFF] | lanes[1][d >> 8 & 0xFF] | lanes[2][d >> 16 & 0xFF] | (d & 0xFF000000u);
    } else {
      p[i] = lanes[0][d & 0xFF] | lanes[1][d >> 8 & 0xFF] | lanes[2][d >> 16 & 0xFF] | lanes[3][d >> 24];
    }
  }
}

// One colour over a block of rows. Large blocks go through the lanes, small ones straight
// through the painter; both give the same bytes.
template <class P>
void FillBlock(uint32_t* first, ptrdiff_t stride, int32_t width, int32_t height, uint32_t colour, float cw,
               float aw) {
  if (int64_t{width} * height >= 1024) {
    uint32_t lanes[4][256];
    BuildLanes<P>(lanes, colour, cw, aw);
    for (int32_t j = 0; j < height; ++j) PutRowByLanes<P>(first + stride * j, width, lanes);
    return;
  }
  for (int32_t j = 0; j < height; ++j) {
    uint32_t* p = first + stride * j;
    for (int32_t i = 0; i < width; ++i) P::Put(p + i, colour, cw, aw);
  }
}

}  // namespace

bool TMemoryGraphic::FillBand(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colour,
                              SChannelOps ops) {
  if (width <= 0 || height <= 0 || !ClipBounds(x, y, width, height)) return false;
  const float cw = ColourWeight(colour);
  WithOps(ops, [&](auto painter) {
    using P = decltype(painter);
    FillBlock<P>(PixelAddress(x, y), width_, width, height, colour, cw, 1.0f);
  });
  return true;
}

bool TMemoryGraphic::FillRect(const TRect& rect, uint32_t colour, SChannelOps ops) {
  int32_t x, y, w, h;
  if (!ClipRect(rect, x, y, w, h)) return false;
  return FillBand(x, y, w, h, colour, ops);
}

bool TMemoryGraphic::FillChecker(const TRect& rect, int32_t cellX, int32_t cellY, uint32_t colour1,
                                 uint32_t colour2, SChannelOps ops) {
  int32_t x, y, w, h;
  if (cellX < 1 || cellY < 1 || !ClipRect(rect, x, y, w, h)) return false;
  const float cw1 = ColourWeight(colour1);
  const float cw2 = ColourWeight(colour2);
  const int64_t periodX = int64_t{cellX} * 2;
  const int64_t periodY = int64_t{cellY} * 2;
  WithOps(ops, [&](auto painter) {
    using P = decltype(painter);
    for (int32_t r = 0; r < h; ++r) {
      const bool rowIn = r % periodY < cellY;
      uint32_t* p = PixelAddress(x, y + r);
      for (int32_t c = 0; c < w; ++c) {
        const bool colIn = c % periodX < cellX;
        if (rowIn == colIn) {
          P::Put(p + c, colour1, cw1, 1.0f);
        } else {
          P::Put(p + c, colour2, cw2, 1.0f);
        }
      }
    }
  });
  return true;
}

bool TMemoryGraphic::FrameRect(const TRect& rect, int32_t lineWidth, uint32_t colour, SChannelOps ops) {
  return FrameBands(rect, lineWidth, 1, colour, colour, colour, colour, ops);
}

bool TMemoryGraphic::FrameRect4(const TRect& rect, int32_t lineWidth, uint32_t left, uint32_t top, uint32_t right,
                                uint32_t bottom, SChannelOps ops) {
  return FrameBands(rect, lineWidth, 2, left, top, right, bottom, ops);
}

bool TMemoryGraphic::FrameBands(const TRect& rect, int32_t L, int32_t widthsNeeded, uint32_t left, uint32_t top,
                                uint32_t right, uint32_t bottom, SChannelOps ops) {
  int32_t x, y, w, h;
  if (L < 1 || !ClipRect(rect, x, y, w, h)) return false;
  if (w < int64_t{L} * widthsNeeded || h < int64_t{L} * widthsNeeded) return false;
  FillBand(x, y, w - 1, L, top, ops);
  FillBand(x + 1, y + h - L, w - 1, L, bottom, ops);
  FillBand(x, y + 1, L, h - 1, left, ops);
  FillBand(x + w - L, y, L, h - 1, right, ops);
  return true;
}

bool TMemoryGraphic::DrawBevel(const TRect& rect, int32_t lineWidth, uint32_t colour1, uint32_t colour2,
                               SChannelOps ops) {
  return FrameRect4(rect, lineWidth, colour1, colour1, colour2, colour2, ops);
}

bool TMemoryGraphic::RoundFrame(const TRect& rect, int32_t lineWidth, uint32_t colour, SChannelOps ops) {
  int32_t x, y, w, h;
  if (lineWidth < 1 || !ClipRect(rect, x, y, w, h)) return false;
  const int32_t L = lineWidth;
  if (w > 4) {
    FillBand(x + 2, y, w - 4, L, colour, ops);
    FillBand(x + 2, y + h - L, w - 4, L, colour, ops);
  }
  if (h > 4) {
    FillBand(x, y + 2, L, h - 4, colour, ops);
    FillBand(x + w - L, y + 2, L, h - 4, colour, ops);
  }
  const int32_t W = width_, H = height_;
  const int32_t corners[12][2] = {{0, 1},     {1, 0},         {1, 1},         {0, H - 2},
                                  {1, H - 1}, {1, H - 2},     {W - 2, 0},     {W - 1, 1},
                                  {W - 2, 1}, {W - 1, H - 2}, {W - 2, H - 1}, {W - 2, H - 2}};
  WithOps(ops, [&](auto painter) {
    using P = decltype(painter);
    for (const auto& c : corners) {
      if (Contains(c[0], c[1])) P::Put(PixelAddress(c[0], c[1]), colour, 0.5f, 1.0f);
    }
  });
  return true;
}

// ---- Gradients ----------------------------------------------------------------------------------

namespace {

float Fraction(int32_t i, int32_t n) { return n > 1 ? static_cast<float>(i) / static_cast<float>(n - 1) : 0.0f; }

}  // namespace

bool TMemoryGraphic::FillGradient(const TRect& rect, uint32_t a, uint32_t b, uint8_t direction, SChannelOps ops) {
  int32_t x, y, w, h;
  if (direction > kDirLeft || !ClipRect(rect, x, y, w, h)) return false;
  // A where the direction starts: directions 1 and 3 run from B at the top or left.
  const bool forward = direction == kDirDown || direction == kDirRight;
  const uint32_t from = forward ? a : b;
  const uint32_t to = forward ? b : a;
  if (direction == kDirDown || direction == kDirUp) {
    WithOps(ops, [&](auto painter) {
      using P = decltype(painter);
      // Rows of at least 1024 pixels go through tables of the row's colour, which often is the
      // colour of the row before: the tables are made again only when the colour changes.
      uint32_t lanes[4][256];
      for (int32_t j = 0; j < h; ++j) {
        const uint32_t colour = LerpPixel(from, to, Fraction(j, h));
        uint32_t* p = PixelAddress(x, y + j);
        if (w < 1024) {
          FillBlock<P>(p, width_, w, 1, colour, ColourWeight(colour), 1.0f);
          continue;
        }
        if (j == 0 || colour != LerpPixel(from, to, Fraction(j - 1, h))) {
          BuildLanes<P>(lanes, colour, ColourWeight(colour), 1.0f);
        }
        PutRowByLanes<P>(p, w, lanes);
      }
    });
    return true;
  }
  uint32_t* row = nullptr;
  float* weights = nullptr;
  if (!TryGetMem(row, int64_t{w} * 4)) return false;
  if (!TryGetMem(weights, int64_t{w} * 4)) {
    FreeMem(row);
    return false;
  }
  for (int32_t i = 0; i < w; ++i) {
    row[i] = LerpPixel(from, to, Fraction(i, w));
    weights[i] = ColourWeight(row[i]);
  }
  WithOps(ops, [&](auto painter) {
    using P = decltype(painter);
    for (int32_t j = 0; j < h; ++j) {
      uint32_t* p = PixelAddress(x, y + j);
      for (int32_t i = 0; i < w; ++i) P::Put(p + i, row[i], weights[i], 1.0f);
    }
  });
  FreeMem(weights);
  FreeMem(row);
  return true;
}

bool TMemoryGraphic::FillGradient4(const TRect& rect, uint32_t topLeft, uint32_t topRight, uint32_t bottomRight,
                                   uint32_t bottomLeft, SChannelOps ops) {
  int32_t x, y, w, h;
  if (!ClipRect(rect, x, y, w, h)) return false;
  WithOps(ops, [&](auto painter) {
    using P = decltype(painter);
    for (int32_t j = 0; j < h; ++j) {
      const float ty = Fraction(j, h);
      const uint32_t left = LerpPixel(topLeft, bottomLeft, ty);
      const uint32_t right = LerpPixel(topRight, bottomRight, ty);
      uint32_t* p = PixelAddress(x, y + j);
      for (int32_t i = 0; i < w; ++i) {
        const uint32_t colour = LerpPixel(left, right, Fraction(i, w));
        P::Put(p + i, colour, ColourWeight(colour), 1.0f);
      }
    }
  });
  return true;
}

// ---- Lines --------------------------------------------------------------------------------------

bool TMemoryGraphic::DrawLine(SPointF p1, SPointF p2, uint32_t colour, SChannelOps ops) {
  if (!IsValid() || !std::isfinite(p1.x) || !std::isfinite(p1.y) || !std::isfinite(p2.x) ||
      !std::isfinite(p2.y)) {
    return false;
  }
  // The bounding box, in double so that huge coordinates cannot overflow; a box of no width or
  // height still draws.
  const double left = std::floor(std::min(p1.x, p2.x)), right = std::ceil(std::max(p1.x, p2.x));
  const double top = std::floor(std::min(p1.y, p2.y)), bottom = std::ceil(std::max(p1.y, p2.y));
  if (right < 0.0 || bottom < 0.0 || left > width_ - 1.0 || top > height_ - 1.0) return false;
  auto clampX = [&](float v) { return std::clamp(v, 0.0f, static_cast<float>(width_ - 1)); };
  auto clampY = [&](float v) { return std::clamp(v, 0.0f, static_cast<float>(height_ - 1)); };
  float x1 = clampX(p1.x), y1 = clampY(p1.y), x2 = clampX(p2.x), y2 = clampY(p2.y);
  const float dx = x2 - x1, dy = y2 - y1;
  const double ca = static_cast<double>(colour >> 24);
  const bool alongX = std::fabs(dx) > std::fabs(dy);
  // Along x: u is the column, v the row; along y the roles are exchanged.
  float us = alongX ? x1 : y1, vs = alongX ? y1 : x1, ue = alongX ? x2 : y2;
  const float du = alongX ? dx : dy, dv = alongX ? dy : dx;
  if (ue < us) {
    std::swap(us, ue);
    vs = alongX ? y2 : x2;
  }
  const int32_t slope = du == 0.0f ? 0 : TruncToInt(static_cast<double>(dv) / du * 65536.0 + 0.5);
  const int32_t first = TruncToInt(us + 0.5), last = TruncToInt(ue + 0.5);
  int64_t v = TruncToInt(static_cast<double>(vs) * 65536.0 + 0.5);
  const int32_t vLimit = alongX ? height_ : width_;
  WithOps(ops, [&](auto painter) {
    using P = decltype(painter);
    for (int32_t u = first; u <= last; ++u, v += slope) {
      const int64_t line = v >> 16;
      int32_t f = static_cast<int32_t>(v & 0xFFFF);
      int32_t near = 0xFFFF - f;
      if (u == last) {
        near >>= 2;
        f >>= 2;
      }
      const float wNear = static_cast<float>(ca * near / 16711425.0);
      const float wFar = static_cast<float>(ca * f / 16711425.0);
      if (line >= 0 && line < vLimit) {
        uint32_t* p =
            alongX ? PixelAddress(u, static_cast<int32_t>(line)) : PixelAddress(static_cast<int32_t>(line), u);
        P::Put(p, colour, wNear, wNear);
      }
      if (line + 1 >= 0 && line + 1 < vLimit) {
        uint32_t* p = alongX ? PixelAddress(u, static_cast<int32_t>(line + 1))
                             : PixelAddress(static_cast<int32_t>(line + 1), u);
        P::Put(p, colour, wFar, wFar);
      }
    }
  });
  return true;
}

bool TMemoryGraphic::DrawPolyline(const SPointF* points, int32_t count, uint32_t colour, SChannelOps ops) {
  if (points == nullptr || count < 2) return false;
  bool result = false;
  for (int32_t i = 0; i + 1 < count; ++i) {
    result = DrawLine(points[i], points[i + 1], colour, ops);
    if (!result) break;
  }
  return result;
}

// ---- Blits --------------------------------------------------------------------------------------

namespace {

struct SBlit {
  int32_t x, y, sx, sy, width, height;
};

// Clips a blit: the destination origin first, then the source origin, then both sizes.
bool ClipBlit(int64_t x, int64_t y, int64_t w, int64_t h, int32_t dw, int32_t dh, int64_t sx, int64_t sy,
              int32_t sw, int32_t sh, SBlit& out) {
  if (x < 0) {
    sx -= x;
    w += x;
    x = 0;
  }
  if (y < 0) {
    sy -= y;
    h += y;
    y = 0;
  }
  if (sx < 0) {
    x -= sx;
    w += sx;
    sx = 0;
  }
  if (sy < 0) {
    y -= sy;
    h += sy;
    sy = 0;
  }
  w = std::min({w, dw - x, sw - sx});
  h = std::min({h, dh - y, sh - sy});
  if (w <= 0 || h <= 0) return false;
  out = {static_cast<int32_t>(x),  static_cast<int32_t>(y), static_cast<int32_t>(sx),
         static_cast<int32_t>(sy), static_cast<int32_t>(w), static_cast<int32_t>(h)};
  return true;
}

}  // namespace

bool TMemoryGraphic::BlendBits(uint32_t* destination, int32_t x, int32_t y, int32_t width, int32_t height,
                               int32_t destinationWidth, int32_t destinationHeight, const uint32_t* source,
                               int32_t sourceX, int32_t sourceY, int32_t sourceWidth, int32_t sourceHeight,
                               SChannelOps ops) {
  SBlit b;
  if (destination == nullptr || source == nullptr ||
      !ClipBlit(x, y, width, height, destinationWidth, destinationHeight, sourceX, sourceY, sourceWidth,
                sourceHeight, b)) {
    return false;
  }
  WithOps(ops, [&](auto painter) {
    using P = decltype(painter);
    for (int32_t j = 0; j < b.height; ++j) {
      uint32_t* d = destination + static_cast<ptrdiff_t>(b.y + j) * destinationWidth + b.x;
      const uint32_t* s = source + static_cast<ptrdiff_t>(b.sy + j) * sourceWidth + b.sx;
      for (int32_t i = 0; i < b.width; ++i) P::Put(d + i, s[i], ColourWeight(s[i]), 1.0f);
    }
  });
  return true;
}

bool TMemoryGraphic::DrawGraphic(int32_t x, int32_t y, int32_t width, int32_t height,
                                 const TMemoryGraphic& source, int32_t sourceX, int32_t sourceY,
                                 SChannelOps ops) {
  if (!IsValid() || !source.IsValid()) return false;
  return BlendBits(pixels_, x, y, width, height, width_, height_, source.pixels_, sourceX, sourceY, source.width_,
                   source.height_, ops);
}

bool TMemoryGraphic::DrawBits(int32_t x, int32_t y, int32_t width, int32_t height, const uint32_t* source,
                              int32_t sourceX, int32_t sourceY, int32_t sourceWidth, int32_t sourceHeight,
                              SChannelOps ops) {
  if (!IsValid()) return false;
  return BlendBits(pixels_, x, y, width, height, width_, height_, source, sourceX, sourceY, sourceWidth,
                   sourceHeight, ops);
}

bool TMemoryGraphic::CopyBits(int32_t x, int32_t y, int32_t width, int32_t height, const uint32_t* source,
                              int32_t sourceX, int32_t sourceY, int32_t sourceWidth, int32_t sourceHeight) {
  SBlit b;
  if (!IsValid() || source == nullptr ||
      !ClipBlit(x, y, width, height, width_, height_, sourceX, sourceY, sourceWidth, sourceHeight, b)) {
    return false;
  }
  for (int32_t j = 0; j < b.height; ++j) {
    std::memcpy(PixelAddress(b.x, b.y + j), source + static_cast<ptrdiff_t>(b.sy + j) * sourceWidth + b.sx,
                static_cast<size_t>(b.width) * 4);
  }
  return true;
}

}  // namespace tf
