#include "raster/ColorDialogNumbers.h"

#include <numbers>

#include "raster/ColorConvert.h"

namespace tf {
namespace {

constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;

float Degrees(float radians) { return static_cast<float>(radians * kDegreesPerRadian); }
float Radians(float degrees) { return static_cast<float>(degrees / kDegreesPerRadian); }

}  // namespace

int32_t ColorDialogFieldOfSpace(int32_t space) {
  for (int32_t f = 0; f < kColorDialogFieldCount; ++f) {
    if (kColorDialogFieldSpace[f] == space) return f;
  }
  return -1;
}

CColorDialogNumbers::CColorDialogNumbers() {
  for (int32_t f = 0; f < kColorDialogFieldCount; ++f) {
    SNumMngrProps props;
    if (f == cfH || f == cfU) {
      props.valueMin = -999, props.valueMax = 999;
      props.wrapAround = true, props.wrapMin = 0, props.wrapMax = 360;
    } else if (f <= cfL) {
      props.valueMax = 100;
    } else {
      props.valueMax = 255;
    }
    fields_[f].Load(props);
  }
}

int32_t CColorDialogNumbers::FieldOf(const TNumMngr* manager) const {
  for (int32_t f = 0; f < kColorDialogFieldCount; ++f) {
    if (&fields_[f] == manager) return f;
  }
  return -1;
}

void CColorDialogNumbers::FillFromColor(const SColorValue& colour) {
  int32_t hue = TruncToInt(static_cast<double>(Degrees(colour.hsv.h)) + 0.5) % 360;
  if (hue < 0) hue += 360;
  const uint32_t bytes = ColorValueToBGRA(colour, 0);
  fields_[cfR].SetValue(static_cast<float>(bytes >> 16 & 0xFF));
  fields_[cfG].SetValue(static_cast<float>(bytes >> 8 & 0xFF));
  fields_[cfB].SetValue(static_cast<float>(bytes & 0xFF));
  fields_[cfH].SetValue(static_cast<float>(hue));
  fields_[cfU].SetValue(static_cast<float>(hue));
  fields_[cfS].SetValue(colour.hsv.s * 100.0f);
  fields_[cfV].SetValue(colour.hsv.v * 100.0f);
  fields_[cfA].SetValue(colour.hsl.s * 100.0f);
  fields_[cfL].SetValue(colour.hsl.l * 100.0f);
}

bool CColorDialogNumbers::ApplyField(int32_t field, TColorManager& colour) {
  auto value = [&](int32_t f) { return fields_[f].Value(); };
  auto fillRGB = [&] {
    const SColorRGB rgb = colour.GetRGB();
    fields_[cfR].SetValue(rgb.r * 255.0f);
    fields_[cfG].SetValue(rgb.g * 255.0f);
    fields_[cfB].SetValue(rgb.b * 255.0f);
  };
  if (field == cfH || field == cfS || field == cfV) {
    colour.SetHSV(Radians(value(cfH)), value(cfS) / 100.0f, value(cfV) / 100.0f);
    fields_[cfU].SetValue(value(cfH));
    fields_[cfA].SetValue(colour.GetHSL().s * 100.0f);
    fields_[cfL].SetValue(colour.GetHSL().l * 100.0f);
    fillRGB();
  } else if (field == cfU || field == cfA || field == cfL) {
    colour.SetHSL(Radians(value(cfU)), value(cfA) / 100.0f, value(cfL) / 100.0f);
    fields_[cfH].SetValue(value(cfU));
    fields_[cfS].SetValue(colour.GetHSV().s * 100.0f);
    fields_[cfV].SetValue(colour.GetHSV().v * 100.0f);
    fillRGB();
  } else if (field == cfR || field == cfG || field == cfB) {
    colour.SetRGB(value(cfR) / 255.0f, value(cfG) / 255.0f, value(cfB) / 255.0f);
    fields_[cfH].SetValue(Degrees(colour.GetHSV().h));  // the field wraps a negative hue
    fields_[cfS].SetValue(colour.GetHSV().s * 100.0f);
    fields_[cfV].SetValue(colour.GetHSV().v * 100.0f);
    fields_[cfU].SetValue(value(cfH));
    fields_[cfA].SetValue(colour.GetHSL().s * 100.0f);
    fields_[cfL].SetValue(colour.GetHSL().l * 100.0f);
  } else {
    return false;
  }
  return true;
}

}  // namespace tf
