#include "raster/DibImage.h"

#include <algorithm>

#include "platform/Debug.h"
#include "platform/Memory.h"
#include "raster/ColorMath.h"

namespace tf {

TTC::TTC() { TTC::InitFields(); }

TTC::TTC(bool makeDC) {
  TTC::InitFields();
  makeDC_ = makeDC;
}

TTC::TTC(int32_t width, int32_t height, bool makeDC) {
  TTC::InitFields();
  makeDC_ = makeDC;
  TTC::Resize(width, height);
}

TTC::~TTC() { TTC::FreeImage(); }

void TTC::InitFields() {
  TMTC::InitFields();
  makeDC_ = true;
}

void TTC::FreeImage() { TMTC::FreeImage(); }

bool TTC::Resize(int32_t width, int32_t height) {
  if (width == view_.width && height == view_.height) return true;
  FreeImage();
  const int32_t w = std::max(width, 1);
  const int32_t h = std::max(height, 1);
  int64_t bytes = 0;
  uint8_t* block = nullptr;
  if (CheckedImageBytes(w, h, 4, bytes) && (block = AllocBlock(bytes)) != nullptr) {
    view_.width = w;
    view_.height = h;
    view_.bits = block;
    ownsBlock_ = true;
    if (BuildRowTable(4 * w, /*bottomUp=*/true)) return true;
  }
  FreeImage();
  DebugOut("TTC::Resize: caught an exception!\n");
  return false;
}

void TTC::DrawToWindow(Surface& window, int32_t x, int32_t y, bool stretch) const {
  if (!HasDC()) return;
  const PixelBlockView block = BlockViewOf(*this);
  const int32_t w = Width(), h = Height();
  if (stretch) {
    if (window.Width() == w && window.Height() == h)
      window.Blit(0, 0, w, h, block, 0, 0);
    else
      window.StretchBlit(0, 0, window.Width(), window.Height(), block, 0, 0, w, h);
  } else {
    window.Blit(x, y, w, h, block, 0, 0);
  }
}

void TTC::DrawToPaintBox(Surface& paintBox, int32_t x, int32_t y, bool stretch) const {
  DrawToWindow(paintBox, x, y, stretch);
}

bool TTC::DrawToDC(Surface& dc, int32_t x, int32_t y) const {
  if (!HasDC()) return false;
  return dc.Blit(x, y, Width(), Height(), BlockViewOf(*this), 0, 0);
}

void TTC::DrawToCanvas(Surface& canvas, int32_t x, int32_t y) const { DrawToDC(canvas, x, y); }

bool TTC::FrameRectGDI(const TRect& bounds, uint32_t colour) {
  if (!HasDC() || bounds.right <= bounds.left || bounds.bottom <= bounds.top) return false;
  // The frame is drawn in B, G, R only: every pixel keeps its alpha byte, so an image whose alpha
  // means something is not changed by a frame drawn for display.
  const uint32_t rgb = ColorToPixel(colour) & 0x00FFFFFFu;
  const int32_t w = Width(), h = Height();
  bool drawn = false;
  auto plot = [&](int64_t x, int64_t y) {
    if (x < 0 || y < 0 || x >= w || y >= h) return;
    uint32_t* p = Pixel(static_cast<int32_t>(x), static_cast<int32_t>(y));
    *p = (*p & 0xFF000000u) | rgb;
    drawn = true;
  };
  const int64_t l = bounds.left, t = bounds.top, r = int64_t{bounds.right} - 1, b = int64_t{bounds.bottom} - 1;
  const int64_t x0 = std::max<int64_t>(l, 0), x1 = std::min<int64_t>(r, w - 1);
  const int64_t y0 = std::max<int64_t>(t, 0), y1 = std::min<int64_t>(b, h - 1);
  for (int64_t x = x0; x <= x1; ++x) {
    plot(x, t);
    if (b != t) plot(x, b);
  }
  for (int64_t y = y0; y <= y1; ++y) {
    plot(l, y);
    if (r != l) plot(r, y);
  }
  return drawn;
}

bool TTC::SaveBMP24(const std::string& path, int32_t dpi) const { return tf::SaveBMP24(*this, path, dpi); }

PixelBlockView BlockViewOf(const TMTC& image) {
  PixelBlockView v;
  if (!image.IsValid()) return v;
  const SDibView& view = image.View();
  v.width = view.width;
  v.height = view.height;
  v.topRow = view.bits + view.rowOffsets[0];
  v.stride =
      view.height > 1 ? std::ptrdiff_t{view.rowOffsets[1]} - view.rowOffsets[0] : std::ptrdiff_t{4} * view.width;
  return v;
}

bool PaintToDC(const TMTC& image, Surface& dc, int32_t x, int32_t y) {
  if (!image.IsValid()) return false;
  return dc.Blit(x, y, image.Width(), image.Height(), BlockViewOf(image), 0, 0);
}

}  // namespace tf
