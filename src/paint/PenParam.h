// SPenParam: the 16-byte pen parameter record carried by brush presets and recorded events.
#pragma once
#include <cstdint>

namespace tf {

// Render types of the dab renderer.
// (Named apart from the older engines' pen types of PenSetting.h, which share some words.)
enum ERenderType : uint8_t {
  kRenderPaint = 0,
  kRenderWatercolour = 1,
  kRenderBlur = 2,
  kRenderEraser = 3,
  kRenderSpread = 4,
  kRenderFingertip = 5,
  kRenderBurnDodge = 6,
};

struct SPenParam {
  uint8_t type = 0;     // ERenderType
  uint8_t option1 = 0;  // burn/dodge: 1 = dodge (lighten), 0 = burn (darken)
  uint8_t option2 = 0;  // sub-pixel nib placement
  uint8_t channel = 0;  // 1: the dab paints coverage into the working copy's 8-bit channel
  uint16_t effect = 0;
  uint16_t env = 0;
  uint16_t speed = 0;
  uint8_t zero[6] = {};
};
static_assert(sizeof(SPenParam) == 16, "SPenParam is stored in presets and events as 16 bytes");

}  // namespace tf
