// SColorValue, TColorPickerSpace and TColorManager: the colour record of the pickers and cells.
#pragma once
// A colour chosen in the user interface travels as one 40-byte record holding it in three models
// at once (RGB, HSV, HSL as Singles 0..1, hues in radians) and the colour space a picker last
// used. TColorManager keeps one such colour inside every picker and cell: setting one model
// recomputes the other two (raster/ColorConvert.h) and fires its change callback.
//
// Hues computed from RGB lie in -pi..pi; pickers also produce hues in 0..2pi. Every routine that
// turns a hue into RGB takes it modulo one turn, so both forms give the same colour.
#include <cstddef>
#include <cstdint>
#include <functional>

namespace tf {

// The first letter is a picker's slider component, the second and third the horizontal and
// vertical axes of its area (angle and radius on a disc).
enum TColorPickerSpace : uint8_t {
  cpRGB = 0,
  cpGRB = 1,
  cpBRG = 2,
  cpHSV = 3,
  cpSHV = 4,
  cpVHS = 5,
  cpHSL = 6,
  cpSHL = 7,
  cpLHS = 8,
};
inline constexpr int32_t kColorPickerSpaceCount = 9;

// Sets of spaces are 9-bit masks, bit n for space n.
inline constexpr uint16_t ColorSpaceBit(int32_t space) {
  return space >= 0 && space < kColorPickerSpaceCount ? static_cast<uint16_t>(1u << space) : 0;
}
inline constexpr uint16_t kColorSpacesAll = 511;
inline constexpr bool ColorSpaceInMask(uint16_t mask, int32_t space) { return (mask & ColorSpaceBit(space)) != 0; }
// The model of a space: 0 RGB, 1 HSV, 2 HSL; -1 for a value that is no space.
inline constexpr int32_t ColorSpaceModel(int32_t space) {
  return space >= 0 && space < kColorPickerSpaceCount ? space / 3 : -1;
}

struct SColorRGB {
  float r, g, b;
};
struct SColorHSV {
  float h, s, v;
};
struct SColorHSL {
  float h, s, l;
};

// The 40-byte record (little-endian, IEEE singles). The three bytes after the space are 0 when
// the record is built from RGB and otherwise left as they were.
struct SColorValue {
  uint8_t space = cpRGB;
  uint8_t reserved[3] = {0, 0, 0};
  SColorRGB rgb{0, 0, 0};
  SColorHSV hsv{0, 0, 0};
  SColorHSL hsl{0, 0, 0};
};
static_assert(sizeof(SColorValue) == 40, "SColorValue is 40 bytes");
static_assert(offsetof(SColorValue, rgb) == 4 && offsetof(SColorValue, hsv) == 16 &&
                  offsetof(SColorValue, hsl) == 28,
              "SColorValue keeps its offsets");
static_assert(offsetof(SColorValue, hsl) + offsetof(SColorHSL, l) == 36, "lightness at 36");

// The first word := 0 (space cpRGB), rgb := (r, g, b), hsv and hsl derived; for a grey the HSL
// hue keeps what value held.
void ColorValueFromRGB(float r, float g, float b, SColorValue& value);
// ColorValueFromRGB of the red, green and blue bytes of a pixel 0xAARRGGBB, each / 255.
void BGRAToColorValue(uint32_t pixel, SColorValue& value);
// A component as a byte: Trunc(x * 255 + 0.5) saturated into 0..255 (NaN gives 0), so values
// outside 0..1 never wrap round into another colour.
uint8_t ColorComponentToByte(float component);
// 0xAARRGGBB from the RGB components and an alpha byte.
uint32_t ColorValueToBGRA(const SColorValue& value, uint8_t alpha);
// 0 equal, 1 only the space byte differs, 2 a component differs (compared in the order r, g, b,
// hsv.h, hsv.v, hsv.s, hsl.h, hsl.l, hsl.s). A NaN equals only a NaN; meeting one writes a
// developer-output line.
int32_t IsEqualPickerColor(const SColorValue& a, const SColorValue& b);
// All nine components are finite numbers.
bool IsFiniteColorValue(const SColorValue& value);

// One colour in three models, with a change callback. Every setter refuses components that are
// not finite numbers: nothing is stored, nothing fires, a developer-output line says so.
class TColorManager {
 public:
  using ChangeCallback = std::function<void(TColorManager& sender)>;

  TColorManager() = default;
  TColorManager(const TColorManager&) = delete;
  TColorManager& operator=(const TColorManager&) = delete;

  // Set one model; nothing when all three equal the stored ones (exact comparison), else the
  // other two are recomputed and the callback fires. True when the colour was stored.
  bool SetRGB(float r, float g, float b);
  // The HSV hue is carried into the HSL hue, so both stay equal even for greys.
  bool SetHSV(float h, float s, float v);
  // The HSL hue is carried into the HSV hue.
  bool SetHSL(float h, float s, float l);
  SColorRGB GetRGB() const { return rgb_; }
  SColorHSV GetHSV() const { return hsv_; }
  SColorHSL GetHSL() const { return hsl_; }
  uint8_t GetSpace() const { return space_; }

  // The components in the model's own order (r, g, b / h, s, v / h, s, l), whatever the axes of
  // the space; a value that is no space does nothing.
  bool SetComponents(int32_t space, float c1, float c2, float c3);
  // Takes value without recomputing and without the callback: only the space byte when only it
  // differs, else the space and all nine components.
  bool SetColor(const SColorValue& value);
  // Writes the space byte and the nine components; the three bytes after the space are left.
  void GetColor(SColorValue& value) const;
  // Blue in byte 0, green in byte 1, red in byte 2 (ColorComponentToByte); byte 3 is 0.
  uint32_t GetPackedRGB() const;
  // Fires the change callback.
  void Change();

  void SetOnChange(ChangeCallback callback) { onChange_ = std::move(callback); }
  const ChangeCallback& OnChange() const { return onChange_; }

 private:
  uint8_t space_ = cpRGB;
  SColorRGB rgb_{0, 0, 0};
  SColorHSV hsv_{0, 0, 0};
  SColorHSL hsl_{0, 0, 0};
  ChangeCallback onChange_;
};

}  // namespace tf
