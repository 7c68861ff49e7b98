#include "app/PresetPreview.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include "paint/ToneRecord.h"
#include "raster/Appearance.h"
#include "raster/ItemPickerLayout.h"
#include "raster/ScaleImage.h"

namespace tf {

namespace {

constexpr SChannelOps kCopy{ChannelCopy, ChannelCopy};
constexpr SChannelOps kOver{ChannelBlend, ChannelKeep};

// Floored modulo in 64 bits: the same tile index wherever the offsets put the canvas.
int32_t FloorMod(int64_t a, int64_t m) {
  int64_t r = a % m;
  if (r < 0) r += m;
  return static_cast<int32_t>(r);
}

// The pattern's values row by row: sink(y, values, flip) for every row of a width x height
// picture, the grey of a value v being v ^ flip (255 - v, or v when inverted). False, no row
// given, when the pattern cannot be shown.
template <class Sink>
bool PlainPatternRows(const CPat8& pattern, int32_t width, int32_t height, std::vector<uint8_t>& row, Sink sink) {
  const TChannel& tile = pattern.Tile();
  if (!tile.IsValid()) return false;
  const int32_t s = pattern.Scale();
  const int64_t tw = ScaledPatternSide(tile.Width(), s), th = ScaledPatternSide(tile.Height(), s);
  // A scale from a file: 0 or below makes no tile, a huge one an enormous tile.
  if (tw < 1 || th < 1 || tw > kMaxPatternSide || th > kMaxPatternSide) return false;
  TChannel scaled(static_cast<int32_t>(tw), static_cast<int32_t>(th));
  if (!scaled.IsValid()) return false;
  if (s == 100) {
    TPoint at{0, 0};
    SRectWH all{0, 0, tile.Width(), tile.Height()};
    tile.CopyRectTo(scaled, at, all);
  } else {
    CScaleImageCH scaler(const_cast<TChannel*>(&tile), &scaled);
    if (!scaler.Scale(SRectWH{0, 0, tile.Width(), tile.Height()}, SRectWH{0, 0, scaled.Width(), scaled.Height()}))
      return false;
  }
  const int64_t ox = pattern.OffsetX(), oy = pattern.OffsetY();
  const uint8_t flip = pattern.Inverted() ? 0 : 255;
  for (int32_t y = 0; y < height; ++y) {
    const int32_t ty = FloorMod(int64_t{y} - oy, th);
    for (int32_t x = 0; x < width; ++x)
      row[static_cast<size_t>(x)] = static_cast<uint8_t>(scaled.GetPixel(FloorMod(int64_t{x} - ox, tw), ty));
    sink(y, row.data(), flip);
  }
  return true;
}

template <class Sink>
bool TonePatternRows(const CPat8Tone& tone, CToneMaker& maker, int32_t width, int32_t height,
                     std::vector<uint8_t>& row, Sink sink) {
  SToneAttr attr = tone.Attr();
  const int32_t s = tone.Scale();
  // As the tone set builds its working tile: the cell grows with the scale.
  if (s != 100) attr.resolution = static_cast<float>(s) * attr.resolution / 100.0f;
  if (!(attr.resolution > 0.0f) || !(attr.ruling > 0.0f)) return false;
  if (!maker.Setup(attr.shape, attr.spread, attr.resolution / attr.ruling, attr.angle, attr.density)) return false;
  const uint8_t flip = tone.Inverted() ? 0 : 255;
  const int32_t x0 = tone.PatternX(0);
  // The row in one walk unless the canvas coordinates wrap inside it (offsets from files).
  const bool straight = int64_t{x0} + width <= INT32_MAX;
  uint8_t* out = row.data();
  for (int32_t y = 0; y < height; ++y) {
    const int32_t py = tone.PatternY(y);
    if (straight) {
      maker.SampleRow(x0, py, width, out);
    } else {
      for (int32_t x = 0; x < width; ++x) out[x] = maker.Sample(tone.PatternX(x), py);
    }
    sink(y, out, flip);
  }
  return true;
}

template <class Sink>
bool PatternRows(const CPatObj* pattern, CToneMaker& maker, int32_t width, int32_t height, Sink sink) {
  if (width < 1 || height < 1) return false;
  std::vector<uint8_t> row(static_cast<size_t>(width));
  if (const auto* tone = dynamic_cast<const CPat8Tone*>(pattern)) return TonePatternRows(*tone, maker, width, height, row, sink);
  if (const auto* plain = dynamic_cast<const CPat8*>(pattern)) return PlainPatternRows(*plain, width, height, row, sink);
  return false;
}

// The whole surface to its background: Clear's result, one fill.
void ClearFast(TMemoryGraphic& g) {
  if (g.IsValid()) std::fill_n(g.Pixels(), static_cast<size_t>(g.Width()) * static_cast<size_t>(g.Height()), g.Background());
}

}  // namespace

bool DrawTonePreviewPixels(TMTC& work, int32_t width, int32_t height, const CPatObj* pattern, CToneMaker& maker) {
  if (!work.Resize(width, height) || !work.IsValid()) return false;
  const bool drawn = PatternRows(pattern, maker, width, height, [&](int32_t y, const uint8_t* v, uint8_t flip) {
    uint32_t* out = work.Pixel(0, y);
    for (int32_t x = 0; x < width; ++x) out[x] = 0xFF000000u | uint32_t(v[x] ^ flip) * 0x010101u;
  });
  if (!drawn) work.FillValue(0xFFFFFFFFu);
  return drawn;
}

CPresetPreview::CPresetPreview(Kind kind) : kind_(kind) {
  control_.SetBackground(AppearanceColors[acBtnFace]);
  preview_.SetBackground(AppearanceColors[acWindow]);
  InitNibPreview(nib_);
  InitGradOption(option_);
  checkerboard_ = kind == kGradient;
}

CPresetPreview::~CPresetPreview() { FreeNibPreview(nib_); }

void CPresetPreview::SetSize(int32_t width, int32_t height) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  if (control_.IsValid() && control_.Width() == width && control_.Height() == height) return;
  control_.SetSize(width, height);
  hasPreview_ = width - 4 >= 1 && height - 4 >= 1;
  if (hasPreview_)
    preview_.SetSize(width - 4, height - 4);
  else
    preview_ = TMemoryGraphic::CreateColor(AppearanceColors[acWindow]);
  Rerender();
}

void CPresetPreview::Rerender() {
  if (hasPreview_ && preview_.IsValid()) RenderPreview();
  if (control_.IsValid()) RenderControl();
}

void CPresetPreview::SetNib(const SNibPreview& nib) {
  FreeNibPreview(nib_);
  nib_.size = nib.size;
  nib_.minRatio = nib.minRatio;
  nib_.ratio = nib.ratio;
  nib_.angle = nib.angle;
  nib_.airMap = nib.airMap;
  nib_.airMapParam1 = nib.airMapParam1;
  nib_.airMapParam2 = nib.airMapParam2;
  nib_.hasImage = nib.hasImage;
  nib_.imageWidth = nib.imageWidth;
  nib_.imageHeight = nib.imageHeight;
  nib_.imageScale = nib.imageScale;
  nib_.nibFlag = nib.nibFlag;
  const int64_t bytes = int64_t{std::max(nib.imageWidth, 0)} * std::max(nib.imageHeight, 0);
  if (nib.image != nullptr && bytes > 0) {
    nib_.image.reset(new (std::nothrow) uint8_t[static_cast<size_t>(bytes)]);
    if (nib_.image) std::copy_n(nib.image.get(), bytes, nib_.image.get());
  }
  if (nib_.image == nullptr) nib_.hasImage = 0;
  Rerender();
}

void CPresetPreview::SetColor(uint32_t colour) {
  swatch_ = colour | 0xFF000000u;
  Rerender();
}

void CPresetPreview::SetGradient(const CGradObj* gradient, const SGradOption& option) {
  gradient_ = gradient;
  option_ = option;
  Rerender();
}

void CPresetPreview::SetPattern(const CPatObj* pattern) {
  pattern_ = pattern;
  Rerender();
}

void CPresetPreview::RenderPreview() {
  if (!hasPreview_ || !preview_.IsValid()) return;
  preview_.SetBackground(AppearanceColors[acWindow]);
  ClearFast(preview_);
  const int32_t w = preview_.Width(), h = preview_.Height();
  switch (kind_) {
    case kNib: {
      // The nib fills the picture: its largest radius to the picture's half side.
      float extent = nib_.size * std::max(1.0f, nib_.ratio);
      if (nib_.hasImage)
        extent = static_cast<float>(std::max(nib_.imageWidth, nib_.imageHeight)) / 2.0f * nib_.imageScale * 1.4142135f;
      const float scale = extent > 0.0f && std::isfinite(extent) ? static_cast<float>(std::min(w, h)) / 2.0f / extent
                                                                 : 1.0f;
      DrawNibPreview(preview_, nib_, AppearanceColors[acWindowText], scale, true, AppearanceColors[acWindowText]);
      break;
    }
    case kSwatch:
      preview_.SetBackground(swatch_);
      preview_.Clear();
      break;
    case kGradient:
      if (!work_.Resize(w, h)) return;
      if (gradient_ == nullptr || !DrawGradientSample(work_, *gradient_, option_)) work_.FillValue(0);
      preview_.CopyBits(0, 0, w, h, reinterpret_cast<const uint32_t*>(work_.Bits()), 0, 0, w, h);
      break;
    case kTone: RenderTone(); break;
  }
}

void CPresetPreview::RenderTone() {
  const int32_t w = preview_.Width(), h = preview_.Height();
  // The greys multiplied onto the freshly cleared preview, alpha kept: the surface's
  // ChannelMultiply at weight 1 ((d * s * 32897) >> 23 a byte), over one colour, so a table.
  const uint32_t d = preview_.Background();
  uint32_t table[256];
  int32_t tableFlip = -1;
  // A pattern that cannot be shown leaves the preview as it is (white ink multiplies nothing).
  PatternRows(pattern_, maker_, w, h, [&](int32_t y, const uint8_t* v, uint8_t flip) {
    if (tableFlip != flip) {
      // Indexed by the pattern value: the grey v ^ flip times the background.
      for (uint32_t i = 0; i < 256; ++i) {
        const uint32_t g = i ^ flip;
        table[i] = (d & 0xFF000000u) | (((d >> 16 & 0xFF) * g * 32897u) >> 23) << 16 |
                   (((d >> 8 & 0xFF) * g * 32897u) >> 23) << 8 | (((d & 0xFF) * g * 32897u) >> 23);
      }
      tableFlip = flip;
    }
    uint32_t* out = preview_.ScanLine(y);
    for (int32_t x = 0; x < w; ++x) out[x] = table[v[x]];
  });
}

void CPresetPreview::RenderControl() {
  if (!control_.IsValid()) return;
  const int32_t w = control_.Width(), h = control_.Height();
  control_.SetBackground(AppearanceColors[acBtnFace]);
  // With a preview the frames and the picture cover every pixel.
  if (!hasPreview_) ClearFast(control_);
  control_.FrameRect(TRect{0, 0, w, h}, 1, AppearanceColors[acBtnShadow], kCopy);
  control_.FrameRect(TRect{1, 1, w - 1, h - 1}, 1, AppearanceColors[acWindow], kCopy);
  if (!hasPreview_) return;
  const TRect inner{2, 2, w - 2, h - 2};
  if (checkerboard_) {
    control_.FillChecker(inner, 4, 4, kPreviewCheckerWhite, kPreviewCheckerGrey, kCopy);
    control_.DrawGraphic(2, 2, preview_.Width(), preview_.Height(), preview_, 0, 0, kOver);
  } else {
    control_.CopyBits(2, 2, preview_.Width(), preview_.Height(), preview_.Pixels(), 0, 0, preview_.Width(),
                      preview_.Height());
  }
}

void RenderAirMapPad(TMemoryGraphic& image, uint8_t kind, float x, float y) {
  if (!image.IsValid()) return;
  const int32_t w = image.Width(), h = image.Height();
  const auto& c = AppearanceColors;
  image.SetBackground(c[acWindow]);
  image.Clear();
  image.FrameRect(TRect{0, 0, w, h}, 1, c[acGrayText], kCopy);
  const TRect area{7, 7, w - 7, h - 7};
  if (area.right > area.left && area.bottom > area.top) DrawAirMapPreview(image, area, kind, c[acGrayText], x, y);
  if (w < 14 || h < 14) return;
  const int32_t cx = AirMapPadColumn(x, w), cy = AirMapPadRow(y, h);
  image.FillRect(TRect{cx, 2, cx + 1, h - 2}, c[acHighlightHalf], kOver);
  image.FillRect(TRect{2, cy, w - 2, cy + 1}, c[acHighlightHalf], kOver);
  image.FillDot(cx - 2, cy - 2, 5, c[acHighlight], kOver);
  image.FillDot(cx - 1, cy - 1, 3, c[acHighlightText], kOver);
}

}  // namespace tf
