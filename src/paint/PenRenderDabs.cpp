// The dab renderer's watercolour, eraser, burn/dodge and smudging dabs.
#include <algorithm>
#include <cmath>
#include <optional>

#include "document/BlendMode.h"
#include "paint/ColorPickup.h"
#include "paint/PenRender.h"
#include "paint/PenRenderWalk.h"
#include "paint/PixelWriters.h"
#include "paint/Stroke.h"
#include "raster/Composite.h"
#include "raster/FlatImage.h"
#include "raster/SafeConvert.h"

namespace tf {

namespace {

// The pixel at (x, y) with positions outside the image reading the nearest edge pixel.
uint32_t PixelClampedAt(const TMTC& image, int64_t x, int64_t y) {
  const int64_t cx = std::clamp<int64_t>(x, 0, image.Width() - 1);
  const int64_t cy = std::clamp<int64_t>(y, 0, image.Height() - 1);
  return image.GetPixel(static_cast<int32_t>(cx), static_cast<int32_t>(cy));
}

uint32_t ChannelByte(uint32_t pixel, int32_t shift) { return (pixel >> shift) & 0xFFu; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Watercolour

void CPenRender::WatercolourStart(const TMTC& image, float x, float y) {
  if (stroke_ == nullptr) {
    Fail("watercolour start without a stroke");
    return;
  }
  if (!image.IsValid() || image.Width() < 1 || image.Height() < 1) return;
  const int64_t cx = TruncSaturated(x), cy = TruncSaturated(y);
  uint32_t sum[3] = {0, 0, 0};
  for (int64_t dy = -5; dy <= 5; ++dy) {
    for (int64_t dx = -5; dx <= 5; ++dx) {
      const uint32_t pixel = PixelClampedAt(image, cx + dx, cy + dy);
      for (int32_t c = 0; c < 3; ++c) sum[c] += ChannelByte(pixel, 8 * c);
    }
  }
  const uint32_t b = sum[0] / 121, g = sum[1] / 121, r = sum[2] / 121;
  uint32_t mixing = (stroke_->GetMixingColor() & 0xFF000000u) | (r << 16) | (g << 8) | b;
  stroke_->SetEnvironment(static_cast<float>(r), static_cast<float>(g), static_cast<float>(b));
  // EFFECT 100 keeps the picked-up colour, 0 takes the stroke colour; above 100 keeps it too.
  const int32_t weight = 255 - TruncClamped(static_cast<float>(params_.effect) * 255.0f / 100.0f, 0, 255);
  BlendColorFast(&mixing, colours_[0], weight);
  stroke_->SetMixingColor(mixing);
}

bool CPenRender::WatercolourDab(TMTC& image) {
  if (stroke_ == nullptr) return Fail("watercolour dab without a stroke");
  // Progress along the stroke: from the mixing colour to the stroke colour.
  const float reach = static_cast<float>(params_.speed) * GetNibSize() * 2.0f;
  Fixed t = 0x10000;
  if (reach != 0.0f) t = SingleToFix(std::min(stroke_->GetDistance() / reach, 1.0f));
  uint32_t paint = stroke_->GetMixingColor();
  BlendColorFast(&paint, value_, static_cast<int32_t>((int64_t{t} * 255) >> 16));

  // The picture at four points on the dab's rim: above, below, left and right.
  const int64_t centreX = centreX_ >> 16, centreY = centreY_ >> 16;
  const uint32_t samples[4] = {
      PixelClampedAt(image, centreX, (int64_t{centreY_} - radiusY_ + 0x10000) >> 16),
      PixelClampedAt(image, centreX, (int64_t{centreY_} + radiusY_ + 0x10000) >> 16),
      PixelClampedAt(image, (int64_t{centreX_} - radiusX_ + 0x10000) >> 16, centreY),
      PixelClampedAt(image, (int64_t{centreX_} + radiusX_ + 0x10000) >> 16, centreY),
  };
  float mean[3];  // blue, green, red
  for (int32_t c = 0; c < 3; ++c) {
    uint32_t sum = 0;
    for (uint32_t pixel : samples) sum += ChannelByte(pixel, 8 * c);
    mean[c] = static_cast<float>(sum >> 2);
  }
  // The environment moves toward the mean by at most ENV / 10 per dab.
  const float step = static_cast<float>(params_.env) / 10.0f;
  float env[3] = {stroke_->EnvBlue(), stroke_->EnvGreen(), stroke_->EnvRed()};
  for (int32_t c = 0; c < 3; ++c) {
    const float d = mean[c] - env[c];
    if (std::fabs(d) < step) {
      env[c] = mean[c];
    } else {
      env[c] += d > 0.0f ? step : -step;
    }
  }
  stroke_->SetEnvironment(env[2], env[1], env[0]);
  const uint32_t envColour = (static_cast<uint32_t>(TruncClamped(env[2], 0, 255)) << 16) |
                             (static_cast<uint32_t>(TruncClamped(env[1], 0, 255)) << 8) |
                             static_cast<uint32_t>(TruncClamped(env[0], 0, 255));
  BlendColorFast(&paint, envColour, TruncClamped(static_cast<float>(params_.env) * 2.55f, 0, 255));
  stroke_->SetPaintColor(paint);

  const int64_t base =
      stroke_->GetIfTransparency() ? int64_t{opacity_} : int64_t{SingleToFix(stroke_->GetOpacity())};
  opacity_ = static_cast<Fixed>(base * 22937 / 65536);
  value_ = paint;
  return PaintDabImage(image);
}

// ---------------------------------------------------------------------------------------------
// Eraser and burn/dodge

bool CPenRender::EraserDab(TMTC& image) {
  uint32_t neutral = stroke_ != nullptr ? stroke_->GetNeutralColor() : 0x00FFFFFFu;
  uint32_t mode;
  if (paper_ != nullptr && stroke_ != nullptr && paper_->GetLayerBlendMode(stroke_->GetLayerIndex(), mode)) {
    neutral = GetBlendModeNeutralColor(mode);
  }
  value_ = neutral;
  if (stroke_ != nullptr && stroke_->GetKeepAlpha()) return PaintDabImage(image);
  ScopedColourWriter erase(&PixelEraseAlpha);
  return PaintDabImage(image);
}

void CPenRender::BurnDodgeStart() {
  const float k = 1.0f + static_cast<float>(params_.effect) * 0.002f;
  BuildLightnessCurve(params_.option1 == 1 ? 1.0f / k : k);
}

bool CPenRender::BurnDodgeDab(TMTC& image) {
  // EFFECT 0 makes the curve the identity, but the lightness round trip through the 2048-entry
  // table loses up to one step per channel: such a dab leaves the pixels as they are.
  if (params_.effect == 0) return true;
  ScopedColourWriter lightness(&PixelLightnessCurve);
  return PaintDabImage(image);
}

// ---------------------------------------------------------------------------------------------
// Smudging: spread and fingertip

void CPenRender::SmudgeStart(const TMTC& image, float x, float y) {
  if (stroke_ == nullptr) {
    Fail("smudge start without a stroke");
    return;
  }
  stroke_->StartPickup(image, GetNibSize(), x, y);
}

bool CPenRender::SpreadDab(TMTC& image) {
  if (stroke_ == nullptr) return Fail("spread dab without a stroke");
  pickup_ = stroke_->GetPickupWindowByIndex(0);
  bool drawn;
  {
    std::optional<ScopedColourWriter> lerp;
    if (!stroke_->GetKeepAlpha()) lerp.emplace(&PixelLerpARGB);
    drawn = SmudgeDab(image);
  }
  // The next dab carries what this one left.
  stroke_->UpdatePickup(image, GetNibSize(), dabX_, dabY_);
  return drawn;
}

bool CPenRender::FingertipDab(TMTC& image) {
  if (stroke_ == nullptr) return Fail("fingertip dab without a stroke");
  stroke_->SwapPickup(image, GetNibSize(), dabX_, dabY_);
  pickup_ = stroke_->GetPickupWindow();
  if (pickup_ == nullptr) return false;
  std::optional<ScopedColourWriter> lerp;
  if (!stroke_->GetKeepAlpha()) lerp.emplace(&PixelLerpARGB);
  return SmudgeDab(image);
}

bool CPenRender::SmudgeDab(TMTC& image) {
  if (opacity_ == 0 || pickup_ == nullptr) return false;
  int32_t offsetX, offsetY;
  if (!pickup_->DabOffset(radiusX_, radiusY_, offsetX, offsetY)) return false;
  const int64_t windowX = int64_t{offsetX} + clipX_, windowY = int64_t{offsetY} + clipY_;
  const int64_t width = int64_t{bounds_.right} - bounds_.left, height = int64_t{bounds_.bottom} - bounds_.top;
  if (windowX < 0 || windowY < 0 || windowX + width > pickup_->Width() || windowY + height > pickup_->Height()) {
    return Fail("the smudge window does not hold the dab");
  }
  const SDibView& view = image.View();
  const SDibView& window = pickup_->View();
  const uint32_t fallback = value_;
  const int64_t shiftX = windowX - bounds_.left, shiftY = windowY - bounds_.top;
  WithImageWriter([&](auto write) {
    WalkDab([&](int32_t x, int32_t y, int32_t value) {
      uint32_t colour = *PixelAddr32(window, static_cast<int32_t>(x + shiftX), static_cast<int32_t>(y + shiftY));
      if ((colour >> 24) == 0) colour = fallback;
      write(PixelAddr32(view, x, y), x, y, value, colour);
    });
  });
  return true;
}

}  // namespace tf
