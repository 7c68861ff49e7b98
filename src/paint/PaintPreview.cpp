// Tool settings: the built-in pen icons and the preview painters of the nib and falloff controls.
#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <vector>

#include "paint/NibPreset.h"
#include "paint/PaintParam.h"
#include "paint/PenIconData.h"
#include "raster/BmpData.h"
#include "raster/FlatImage.h"
#include "raster/MemoryGraphic.h"
#include "raster/ScaleImage.h"

namespace tf {

namespace {

// Pen icons by pen-setting type; entry kPenBlur2 shares the blur picture.
TMTC* gPenIcons[kPenTypeCount] = {};
TMTC* gSpreadIcon = nullptr;
bool gIconsBuilt = false;

TMTC* IconFromBmp(const uint8_t* data) {
  std::unique_ptr<TMTC> image(new (std::nothrow) TMTC());
  if (image == nullptr || !LoadBMPFromMemory(*image, data, kPenIconBytes) || !image->FlipVerticalAll())
    return nullptr;
  return image.release();
}

uint8_t ChannelOf(uint32_t colour, int shift) { return static_cast<uint8_t>((colour >> shift) & 0xFF); }

// Each colour byte moved towards the colour by weight (destination + trunc((c - d) x weight)),
// alpha 255.
uint32_t MoveTowards(uint32_t destination, uint32_t colour, float weight) {
  uint32_t out = 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8) {
    const int d = ChannelOf(destination, shift);
    const int c = ChannelOf(colour, shift);
    const int v = d + static_cast<int>(static_cast<float>(c - d) * weight);
    out |= static_cast<uint32_t>(std::clamp(v, 0, 255)) << shift;
  }
  return out;
}

}  // namespace

bool BuildPenIcons() {
  if (gIconsBuilt) return true;
  gSpreadIcon = IconFromBmp(kPenIcon_spread);
  gPenIcons[kPenPen] = IconFromBmp(kPenIcon_pen);
  gPenIcons[kPenWatercolour] = IconFromBmp(kPenIcon_wc);
  gPenIcons[kPenBlur] = IconFromBmp(kPenIcon_blur);
  gPenIcons[kPenEraser] = IconFromBmp(kPenIcon_eraser);
  gPenIcons[kPenBlur2] = gPenIcons[kPenBlur];
  gPenIcons[kPenAirbrush] = IconFromBmp(kPenIcon_airbrush);
  gPenIcons[kPenRubPen] = IconFromBmp(kPenIcon_rubpen);
  gPenIcons[kPenDarken] = IconFromBmp(kPenIcon_darken);
  gPenIcons[kPenLighten] = IconFromBmp(kPenIcon_lighten);
  gIconsBuilt = true;
  bool all = gSpreadIcon != nullptr;
  for (TMTC* icon : gPenIcons) all = all && icon != nullptr;
  return all;
}

void ReleasePenIcons() {
  delete gSpreadIcon;
  gSpreadIcon = nullptr;
  gPenIcons[kPenBlur2] = nullptr;
  for (TMTC*& icon : gPenIcons) {
    delete icon;
    icon = nullptr;
  }
  gIconsBuilt = false;
}

TMTC* BuiltinPenIcon(uint8_t type) {
  if (type >= kPenTypeCount) return nullptr;
  BuildPenIcons();
  return gPenIcons[type];
}

TMTC* BuiltinSpreadIcon() {
  BuildPenIcons();
  return gSpreadIcon;
}

void InitNibPreview(SNibPreview& p) {
  p.size = 1.0f;
  p.minRatio = 1.0f;
  p.ratio = 1.0f;
  p.angle = 0.0f;
  p.airMap = 0;
  p.airMapParam1 = p.airMapParam2 = 0.0f;
  p.hasImage = 0;
  p.image.reset();
  p.imageWidth = p.imageHeight = 0;
  p.imageScale = 1.0f;
  p.nibFlag = 0;
}

void FreeNibPreview(SNibPreview& p) {
  p.image.reset();
  p.hasImage = 0;
  p.imageWidth = p.imageHeight = 0;
  p.imageScale = 1.0f;
}

void NibPreviewFromShape(const CPenShapeObj& nib, SNibPreview& p) {
  FreeNibPreview(p);
  InitNibPreview(p);
  p.size = nib.GetRadius();
  p.minRatio = static_cast<float>(nib.Shape().minRatio) / 1000.0f;
  p.ratio = static_cast<float>(nib.Shape().aspect) / 1000.0f;
  p.angle = static_cast<float>(nib.Shape().angle) / 10.0f;
  p.airMap = GradeKindToAirMap(nib.Profile().kind);
  p.airMapParam1 = static_cast<float>(nib.Profile().core) / 1000.0f;
  p.airMapParam2 = static_cast<float>(nib.Profile().floor) / 1000.0f;
  p.nibFlag = nib.HasFlag() ? 1 : 0;
  if (nib.IsBitmapNib()) {
    const TChannel& channel = *nib.Image();
    // The preview block keeps the channel's sense (0 = full ink).
    const int32_t w = channel.Width();
    const int32_t h = channel.Height();
    p.image.reset(new (std::nothrow) uint8_t[static_cast<size_t>(w) * static_cast<size_t>(h)]);
    if (p.image != nullptr) {
      for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) p.image[static_cast<size_t>(y) * w + x] = channel.GetPixel(x, y);
      }
      p.hasImage = 1;
      p.imageWidth = w;
      p.imageHeight = h;
      p.imageScale = nib.GetScale();
    }
  }
}

bool DrawAirMapPreview(TMemoryGraphic& graphic, const TRect& rect, uint8_t index, uint32_t colour, float floor,
                       float core) {
  const int32_t w = rect.right - rect.left;
  const int32_t h = rect.bottom - rect.top;
  if (w < 1 || h < 1 || !graphic.IsValid()) return false;
  if (rect.left < 0 || rect.top < 0 || rect.right > graphic.Width() || rect.bottom > graphic.Height())
    return false;
  // Samples set in each column of the 4w x 4h work grid (the lowest ones of the column).
  std::vector<int32_t> heights(static_cast<size_t>(4) * w);
  for (int32_t i = 0; i < 4 * w; ++i) {
    const int32_t f = i <= 2 * w ? i : std::max(4 * w - i - 1, 0);
    const float x = 1.0f - static_cast<float>(f) / static_cast<float>(2 * w);
    float v;
    if (x == 0.0f || floor >= 1.0f || core >= 1.0f) {
      v = 1.0f;
    } else {
      float xs = x;
      if (core > 0.0f) xs = std::clamp((x - core) / (1.0f - core), 0.0f, 1.0f);
      v = AirMapCurve(index, xs);
      if (floor > 0.0f) v = floor + (1.0f - floor) * v;
      v = std::clamp(v, 0.0f, 1.0f);
    }
    heights[static_cast<size_t>(i)] =
        std::min(4 * h, static_cast<int32_t>(std::lround(v * static_cast<float>(4 * h))));
  }
  for (int32_t py = 0; py < h; ++py) {
    // Row py counted from the bottom covers samples 4py..4py+3 of each column.
    uint32_t* row = graphic.ScanLine(rect.bottom - 1 - py);
    for (int32_t px = 0; px < w; ++px) {
      int32_t set = 0;
      for (int32_t c = 0; c < 4; ++c) {
        const int32_t filled = heights[static_cast<size_t>(4 * px + c)];
        set += std::clamp(filled - 4 * py, 0, 4);
      }
      uint32_t& pixel = row[rect.left + px];
      pixel = MoveTowards(pixel, colour, static_cast<float>(set) / 16.0f);
    }
  }
  return true;
}

bool DrawNibPreview(TMemoryGraphic& graphic, const SNibPreview& p, uint32_t colour, float scale, bool filled,
                    uint32_t secondColour) {
  if (!graphic.IsValid()) return false;
  graphic.Clear();
  const SPointF centre{static_cast<float>(graphic.Width()) / 2.0f - 0.5f,
                       static_cast<float>(graphic.Height()) / 2.0f - 0.5f};
  const float angle = p.angle * static_cast<float>(M_PI) / 180.0f;
  const uint8_t index = p.airMap;
  const FalloffFunction falloff = [index](float x) { return AirMapCurve(index, x); };
  const SChannelOps ops{ChannelBlend, ChannelBlend};
  if (!p.hasImage || p.image == nullptr) {
    const float rx = scale * p.size;
    const float ry = scale * p.size * p.ratio;
    if (filled) {
      graphic.FillEllipseFalloff(centre, rx, ry, angle, colour, falloff, p.airMapParam1, p.airMapParam2, ops);
    } else {
      graphic.FillEllipseRing(centre, rx, ry, p.minRatio, angle, secondColour, colour, ops);
    }
    return true;
  }
  if (!p.nibFlag) {
    const float rx =
        scale * (static_cast<float>(p.imageWidth) / 2.0f * p.imageScale) * static_cast<float>(M_SQRT2);
    const float ry =
        scale * (static_cast<float>(p.imageHeight) / 2.0f * p.imageScale) * p.ratio * static_cast<float>(M_SQRT2);
    graphic.FillEllipseFalloff(centre, rx, ry, angle, colour, falloff, p.airMapParam1, p.airMapParam2, ops);
  }
  const int32_t w = graphic.Width();
  const int32_t h = graphic.Height();
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[static_cast<size_t>(w) * static_cast<size_t>(h)]);
  if (buffer == nullptr) return false;
  const float s = scale * p.imageScale;
  if (!ScaleRotateBytes(buffer.get(), p.image.get(), SSize{w, h}, SSize{p.imageWidth, p.imageHeight},
                        TPoint{p.imageWidth / 2, p.imageHeight / 2}, angle, s, s * p.ratio, 255)) {
    return false;
  }
  for (int32_t y = 0; y < h; ++y) {
    uint32_t* row = graphic.ScanLine(y);
    const uint8_t* source = buffer.get() + static_cast<size_t>(y) * static_cast<size_t>(w);
    for (int32_t x = 0; x < w; ++x) {
      const int32_t ink = 255 - source[x];
      if (ink <= 0) continue;
      // A hard-edged nib inks every covered pixel fully.
      row[x] = p.nibFlag ? (colour | 0xFF000000u) : MoveTowards(row[x], colour, static_cast<float>(ink) / 255.0f);
    }
  }
  return true;
}

bool TPaintParam::DrawIcon(TMemoryGraphic& graphic, const TRect& rect) const {
  const int32_t w = rect.right - rect.left;
  const int32_t h = rect.bottom - rect.top;
  if (w < 1 || h < 1 || !graphic.IsValid()) return false;
  TMTC* picture = GetIcon();
  if (picture == nullptr) return false;
  TMTC temporary(w, h);
  if (!temporary.IsValid() || !ScaleImageInto(temporary, *picture, false, 0)) return false;
  const uint32_t alpha = graphic.Background() & 0xFF000000u;
  for (int32_t y = 0; y < h; ++y) {
    const int32_t gy = rect.top + y;
    if (gy < 0 || gy >= graphic.Height()) continue;
    uint32_t* row = graphic.ScanLine(gy);
    for (int32_t x = 0; x < w; ++x) {
      const int32_t gx = rect.left + x;
      if (gx < 0 || gx >= graphic.Width()) continue;
      row[gx] = (temporary.GetPixel(x, y) & 0x00FFFFFFu) | alpha;
    }
  }
  return true;
}

}  // namespace tf
