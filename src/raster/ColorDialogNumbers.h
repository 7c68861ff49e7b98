// The number fields of the colour picker dialog and their arithmetic: H, S, V, U (HSL hue), A
// (HSL saturation), L, R, G, B, each a TNumMngr.
#pragma once
// Hues are degrees (H and U wrap into 0..360), saturations, values and lightnesses percent, red,
// green and blue 0..255. A colour fills the fields rounded (hue trunc(degrees + 0.5) mod 360,
// bytes as ColorValueToBGRA); an edit of one group sets the colour through that model and fills
// the other groups unrounded (red, green and blue x 255).
#include <cstdint>

#include "raster/ColorValue.h"
#include "raster/NumMngr.h"

namespace tf {

enum TColorDialogField : int32_t { cfH, cfS, cfV, cfU, cfA, cfL, cfR, cfG, cfB };
inline constexpr int32_t kColorDialogFieldCount = 9;
// The space each field's radio button selects (cpHSV, cpSHV, cpVHS, cpHSL, cpSHL, cpLHS, cpRGB,
// cpGRB, cpBRG).
inline constexpr uint8_t kColorDialogFieldSpace[kColorDialogFieldCount] = {cpHSV, cpSHV, cpVHS, cpHSL, cpSHL,
                                                                            cpLHS, cpRGB, cpGRB, cpBRG};
// The field of a space (the radio button to check).
int32_t ColorDialogFieldOfSpace(int32_t space);

class CColorDialogNumbers {
 public:
  // The nine managers with their ranges (hues -999..999 wrapping in 0..360, percentages 0..100,
  // bytes 0..255), step 1, format "%1.0f".
  CColorDialogNumbers();

  TNumMngr& Field(int32_t field) { return fields_[field]; }
  // The field of a manager, -1 for another one.
  int32_t FieldOf(const TNumMngr* manager) const;

  // Every field from a colour, rounded.
  void FillFromColor(const SColorValue& colour);
  // A field of a group was edited: colour gets that group's model (SetHSV, SetHSL or SetRGB) and
  // the other groups are filled from it. False for a manager that is no field.
  bool ApplyField(int32_t field, TColorManager& colour);

 private:
  TNumMngr fields_[kColorDialogFieldCount];
};

}  // namespace tf
