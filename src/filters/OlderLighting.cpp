#include "filters/OlderLighting.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "document/Mask.h"
#include "platform/ByteOrder.h"
#include "raster/BlockVMTC.h"
#include "raster/Composite.h"

namespace tf {

namespace {

float SingleAt(const uint8_t* record, int32_t offset) {
  float f;
  std::memcpy(&f, record + offset, 4);
  return f;
}

}  // namespace

void TLight::Setup(const uint8_t record[56], int32_t width, int32_t height) {
  const double a = std::max(width, height);
  kind = static_cast<uint8_t>(LoadLE<int32_t>(record + 0));
  const double intensity = LoadLE<int32_t>(record + 4);
  const uint32_t colour = LoadLE<uint32_t>(record + 8);
  blue = (static_cast<double>(colour & 0xFFu) / 2.0 + 128.0) * intensity / 100.0;
  green = (static_cast<double>((colour >> 8) & 0xFFu) / 2.0 + 128.0) * intensity / 100.0;
  red = (static_cast<double>((colour >> 16) & 0xFFu) / 2.0 + 128.0) * intensity / 100.0;
  coneThreshold = 1.0 - LoadLE<int32_t>(record + 36) / 100.0;
  range = a * LoadLE<int32_t>(record + 12) / 100.0;
  x = width * static_cast<double>(SingleAt(record, 16));
  y = height * static_cast<double>(SingleAt(record, 20));
  z = a * LoadLE<int32_t>(record + 24) / 100.0;
  SetDirection(record);
}

void TLight::SetDirection(const uint8_t record[56]) {
  direction.Set(0.0, 0.0, -1.0);
  if (kind == kWarm || kind == kSpot) {
    double t = SingleAt(record, 28);
    const double p = SingleAt(record, 32);
    if (p < 0.0) t -= std::numbers::pi;
    direction.RotateY(p);
    direction.RotateZ(t);
  }
  direction.SetLength(z);
  position.Set(x, y, z);
  direction.SetLength(1.0);
}

void TLighting::Clear() { lights_.clear(); }

void TLighting::SetAmbient(uint32_t colour, int32_t level) {
  ambientBlue_ = level * static_cast<double>(colour & 0xFFu) / 100.0 - 255.0;
  ambientGreen_ = level * static_cast<double>((colour >> 8) & 0xFFu) / 100.0 - 255.0;
  ambientRed_ = level * static_cast<double>((colour >> 16) & 0xFFu) / 100.0 - 255.0;
}

void TLighting::AddLight(const uint8_t record[56], int32_t width, int32_t height) {
  if (LightCount() >= kMaxOlderLights) return;
  auto light = std::make_unique<TLight>();
  light->Setup(record, width, height);
  lights_.push_back(std::move(light));
}

uint32_t TLighting::LightPixel(uint32_t source, int32_t x, int32_t y) const {
  double r = (source >> 16) & 0xFFu, g = (source >> 8) & 0xFFu, b = source & 0xFFu;
  TVector3 pixel;
  pixel.Set(x, y, 0.0);
  constexpr double kHalfPi = std::numbers::pi / 2.0;
  for (const auto& lp : lights_) {
    const TLight& light = *lp;
    const double d = pixel.Distance(light.position);
    if (light.kind == TLight::kPoint) {
      if (d <= 0.0) {
        r += light.red;
        g += light.green;
        b += light.blue;
        break;
      }
      if (d >= light.range) break;
      const double c = std::cos(d / light.range * kHalfPi);
      const double k = c * c;
      r += light.red * k;
      g += light.green * k;
      b += light.blue * k;
      continue;
    }
    if (d <= 0.0 || d >= light.range) break;
    TVector3 u = light.position;
    u.Subtract(pixel);
    u.SetLength(1.0);
    const double c = light.direction.Dot(u);
    if (!(c < -light.coneThreshold && light.coneThreshold < 1.0)) break;
    const double xx = (1.0 - std::fabs(c)) / (1.0 - light.coneThreshold);
    double cone;
    if (light.kind == TLight::kWarm) {
      cone = std::pow(std::max(0.0, 1.0 - xx * xx), 1.2);
    } else if (xx < 0.9) {
      cone = 1.0 - (xx / 0.9) * 0.2;
    } else if (xx < 0.95) {
      cone = 0.8 - ((xx - 0.9) / 0.05) * 0.6;
    } else {
      cone = 0.2 - ((xx - 0.95) / 0.05) * 0.2;
    }
    const double k = std::cos(d / light.range * kHalfPi) * cone;
    r += light.red * k;
    g += light.green * k;
    b += light.blue * k;
  }
  const auto channel = [](double v) {
    const float f = std::clamp(static_cast<float>(v), 0.0f, 255.0f);
    return static_cast<uint32_t>(f);
  };
  return 0xFF000000u | channel(r + ambientRed_) << 16 | channel(g + ambientGreen_) << 8 | channel(b + ambientBlue_);
}

bool TLighting::Render(const CBlockVMTC* source, CBlockVMTC* dest, TPoint maskOffset, const CMaskData* mask) const {
  if (source == nullptr || dest == nullptr) return false;
  const bool masked = CMaskData::IsAllocated(mask);
  for (int32_t y = 0; y < source->Height(); ++y) {
    for (int32_t x = 0; x < source->Width(); ++x) {
      int32_t coverage = 255;
      if (masked) {
        coverage = mask->ValueAt(static_cast<int32_t>(int64_t{x} + maskOffset.x),
                                 static_cast<int32_t>(int64_t{y} + maskOffset.y), 255);
        if (coverage == 0) continue;
      }
      const uint32_t lit = LightPixel(source->GetPixelClamped(x, y), x, y);
      uint32_t* p = dest->WritePtrClamped(x, y);
      if (p == nullptr) return false;
      BlendColor(p, lit, coverage);
    }
  }
  return true;
}

}  // namespace tf
