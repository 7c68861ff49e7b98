// The built-in pen icons as 24-bit BMP files (32 x 32, 3128 bytes each), drawn by
// scripts/make_pen_icons.py; the same files are in resources/pen_icons/.
#pragma once
#include <cstdint>

namespace tf {

inline constexpr int32_t kPenIconBytes = 3128;
extern const uint8_t kPenIcon_spread[kPenIconBytes];
extern const uint8_t kPenIcon_pen[kPenIconBytes];
extern const uint8_t kPenIcon_wc[kPenIconBytes];
extern const uint8_t kPenIcon_blur[kPenIconBytes];
extern const uint8_t kPenIcon_eraser[kPenIconBytes];
extern const uint8_t kPenIcon_airbrush[kPenIconBytes];
extern const uint8_t kPenIcon_rubpen[kPenIconBytes];
extern const uint8_t kPenIcon_darken[kPenIconBytes];
extern const uint8_t kPenIcon_lighten[kPenIconBytes];

}  // namespace tf
