#include "filters/Lighting.h"

#include <algorithm>
#include <cstring>

#include "filters/FilterBlocks.h"
#include "platform/ByteOrder.h"

namespace tf {

namespace {

float SingleAt(const uint8_t* record, int32_t offset) {
  float f;
  std::memcpy(&f, record + offset, 4);
  return f;
}

bool AllFinite(std::initializer_list<double> values) {
  for (double v : values)
    if (!std::isfinite(v)) return false;
  return true;
}

}  // namespace

bool TLight4::Setup(const uint8_t record[56], int32_t width, int32_t height) {
  const double a = std::max(width, height);
  const double intensity = LoadLE<int32_t>(record + 4);
  const uint32_t colour = LoadLE<uint32_t>(record + 8);
  const double range = LoadLE<int32_t>(record + 12);
  const double fx = SingleAt(record, 16), fy = SingleAt(record, 20);
  if (range * a == 0.0 || !AllFinite({fx, fy})) return false;
  red = static_cast<float>(((colour >> 16) & 0xFFu) * intensity / 100.0);
  green = static_cast<float>(((colour >> 8) & 0xFFu) * intensity / 100.0);
  blue = static_cast<float>((colour & 0xFFu) * intensity / 100.0);
  x = static_cast<float>(width * fx);
  y = static_cast<float>(height * fy);
  z = static_cast<float>(a * LoadLE<int32_t>(record + 24) / 100.0);
  inverseRange = static_cast<float>(100.0 / (range * a));
  return AllFinite({x, y, inverseRange});
}

SLightAmounts TLight4::Illuminate(int32_t px, int32_t py) const {
  SLightAmounts out;
  const double ux = double{x} - px, uy = double{y} - py;
  const float c = static_cast<float>(std::sqrt(ux * ux + uy * uy + double{z} * z) * inverseRange);
  if (c >= 1.0f) return out;
  const double k = c > 0.0f ? Falloff(c) : 1.0;
  out.red = static_cast<int32_t>(red * k);
  out.green = static_cast<int32_t>(green * k);
  out.blue = static_cast<int32_t>(blue * k);
  out.lit = true;
  return out;
}

bool TDirLight4::Setup(const uint8_t record[56], int32_t width, int32_t height) {
  if (!TLight4::Setup(record, width, height)) return false;
  const double t = SingleAt(record, 28), p = SingleAt(record, 32);
  const double spread = LoadLE<int32_t>(record + 36);
  if (!AllFinite({t, p})) return false;
  const double cone = 1.0 - std::cos(spread / 2.0 * std::numbers::pi / 180.0);
  // A spread whose half has cosine 1 makes the cone factor infinite: nothing to light.
  if (cone == 0.0) return false;
  dx = static_cast<float>(std::cos(t) * std::sin(p));
  dy = static_cast<float>(std::sin(t) * std::sin(p));
  dz = static_cast<float>(-std::cos(p));
  k = static_cast<float>(1.0 / cone);
  return std::isfinite(k);
}

void AmbientOffsets(uint32_t colour, int32_t level, int64_t offsets[3]) {
  for (int32_t c = 0; c < 3; ++c) offsets[c] = int64_t{(colour >> (8 * c)) & 0xFFu} * level / 100 - 255;
}

uint32_t LitPixel(uint32_t pixel, const SLightAmounts& amounts, const int64_t offsets[3]) {
  const int64_t add[3] = {amounts.blue, amounts.green, amounts.red};
  uint32_t out = pixel & 0xFF000000u;
  for (int32_t c = 0; c < 3; ++c) {
    const int64_t v = int64_t{(pixel >> (8 * c)) & 0xFFu} + add[c] + offsets[c];
    out |= static_cast<uint32_t>(std::clamp<int64_t>(v, 0, 255)) << (8 * c);
  }
  return out;
}

bool LightingFilter(FilterContext& context, const void* block, int32_t size) {
  if (!CheckFilterContext(context) || size != kBlock50 || block == nullptr) return false;
  const auto& frame = *static_cast<const SFilterParam50*>(block);
  if (frame.data == nullptr || frame.DataLength() < kLightingDataBytes) return false;
  uint8_t record[kLightingDataBytes];
  std::memcpy(record, frame.data, sizeof record);
  int64_t offsets[3];
  AmbientOffsets(LoadLE<uint32_t>(frame.Inline() + 0), LoadLE<int32_t>(frame.Inline() + 4), offsets);
  const TRect& b = context.Bounds;
  const TMTC& source = *context.Source;
  bool ok = false;
  const bool made = WithLight(record, b.right - b.left, b.bottom - b.top, [&](const auto& light) {
    ok = ForEachCoveredPixelAnyOrder(context, true, [&](int32_t x, int32_t y, uint32_t) {
      return LitPixel(source.GetPixel(x, y), light.Illuminate(x - b.left, y - b.top), offsets);
    });
  });
  return made && ok;
}

}  // namespace tf
