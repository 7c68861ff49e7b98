#include "app/ToolKeys.h"

#include <algorithm>
#include <cmath>

#include "app/ToolSelect.h"
#include "paper/Paper.h"
#include "platform/Host.h"

namespace tf {

namespace {
float Clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }
bool IsLetter(int32_t k) { return k >= 'A' && k <= 'Z'; }
bool IsDigit(int32_t k) { return k >= '0' && k <= '9'; }
float RatioValue(const TZoomRatio& r) { return static_cast<float>(r.numerator) / static_cast<float>(r.denominator); }

// The button group a letter selects, or -1.
int32_t GroupOfKey(int32_t key) {
  for (int32_t g = 0; g < kToolBoxGroupCount; ++g)
    if (key != 0 && (ToolBoxGroups[g].key1 == key || ToolBoxGroups[g].key2 == key)) return g;
  return -1;
}

// The image-nib curve: b, c the range as factors, d, e its constants; linear when 1 is not
// strictly inside (b, c), where the curve would have a pole inside the range.
struct ScaleCurve {
  float b, c, d, e;
  bool linear;
};
ScaleCurve CurveOf(float minPercent, float maxPercent) {
  ScaleCurve k{minPercent / 100.0f, maxPercent / 100.0f, 0.0f, 0.0f, true};
  if (k.b < 1.0f && 1.0f < k.c) {
    k.linear = false;
    k.d = (k.c - 1.0f) / (1.0f - k.b);
    k.e = k.b * k.d;
  }
  return k;
}
}  // namespace

int32_t EventWaitOfDigit(int32_t key) {
  static constexpr int32_t kWaits[6] = {0, 1, 4, 8, 16, 32};
  return key >= '0' && key <= '5' ? kWaits[key - '0'] : -1;
}

bool HandleToolKey(CToolSelection& selection, ToolKeyHost& host, int32_t key, int32_t shift) {
  const bool withShift = (shift & kShiftKey) != 0;
  const bool withAlt = (shift & kAltKey) != 0;
  const bool withCtrl = (shift & kCtrlKey) != 0;
  if (withCtrl && IsLetter(key)) return false;
  if (withAlt && (IsLetter(key) || IsDigit(key))) return false;
  if (key == kVkTab) {
    if (withCtrl) return false;
    host.FlipFloatVisibility();
    return true;
  }
  if (host.PlaybackMode()) {
    if (!IsDigit(key) || withCtrl || withShift) return false;
    const int32_t wait = EventWaitOfDigit(key);
    if (wait >= 0) host.SetEventWait(wait);
    return true;
  }
  const int32_t group = GroupOfKey(key);
  if (group >= 0) {
    const bool alternate = (host.ToolFindNext() || withShift) && !host.ButtonOpenedMenu(static_cast<uint8_t>(group));
    selection.SelectGroup(static_cast<uint8_t>(group), alternate);
    return true;
  }
  switch (key) {
    case 'E':
    case 'R': {
      const int32_t delta = key == 'E' ? -1 : 1;
      if (host.ItemListVisible()) {
        host.StepItemList(delta);
        return true;
      }
      if (host.GradientListVisible()) {
        host.StepGradientList(delta);
        return true;
      }
      return false;
    }
    case 'X':
      if (!withShift) return false;
      host.SwapColors();
      return true;
    case kVkCloseBracket:
    case kVkOpenBracket: {
      const bool up = key == kVkCloseBracket;
      if (withCtrl) {
        if (host.HasDocument()) host.MoveSelectedLayer(up);
      } else if (withAlt) {
        if (host.HasDocument()) host.SelectVisibleLayer(up);
      } else if (up) {
        host.NibSizeUp(withShift);
      } else {
        host.NibSizeDown(withShift);
      }
      return true;
    }
    default:
      break;
  }
  if (IsDigit(key) && !withCtrl && !withShift) {
    host.SetToolDensity(key == '0' ? 100.0f : 10.0f * static_cast<float>(key - '0'));
    return true;
  }
  return false;
}

float NibRadiusInFilter(float x) {
  const float r = 0.1f + 199.9f * Clamp01(x);
  return (1800.0f * r - 180.0f) / (1601.0f * r + 39620.0f);
}

float NibRadiusOutFilter(float p) {
  p = Clamp01(p);
  const float r = (39620.0f * p + 180.0f) / (1800.0f - 1601.0f * p);
  return Clamp01((r - 0.1f) / 199.9f);
}

bool NibScaleEditable(float minPercent, float maxPercent) { return minPercent < maxPercent; }

float NibScaleInFilter(float x, float minPercent, float maxPercent) {
  x = Clamp01(x);
  const ScaleCurve k = CurveOf(minPercent, maxPercent);
  if (k.linear) return x;
  const float s = k.b + (k.c - k.b) * x;
  return (s * k.d - k.e) / (s * (k.d - 1.0f) + (k.c - k.e));
}

float NibScaleOutFilter(float p, float minPercent, float maxPercent) {
  p = Clamp01(p);
  const ScaleCurve k = CurveOf(minPercent, maxPercent);
  if (k.linear) return p;
  const float s = (k.e + (k.c - k.e) * p) / (k.d - p * (k.d - 1.0f));
  return Clamp01((s - k.b) / (k.c - k.b));
}

float NibRadiusStep(float x, float delta) { return NibRadiusOutFilter(NibRadiusInFilter(x) + delta); }

float NibScaleStep(float x, float delta, float minPercent, float maxPercent) {
  if (!NibScaleEditable(minPercent, maxPercent)) return x;
  return NibScaleOutFilter(NibScaleInFilter(x, minPercent, maxPercent) + delta, minPercent, maxPercent);
}

float DispScaleInFilter(float x) {
  const float f = 0.0625f + 15.9375f * Clamp01(x);
  return (16.0f * f - 1.0f) / (15.0f * f + 15.0f);
}

float DispScaleOutFilter(float p, bool snap) {
  p = Clamp01(p);
  float f = (15.0f * p + 1.0f) / (16.0f - 15.0f * p);
  if (snap) {
    TZoomRatio up{static_cast<int32_t>(std::floor(f * 10000.0f)) - 1, 10000};
    TZoomRatio down{static_cast<int32_t>(std::ceil(f * 10000.0f)) + 1, 10000};
    ZoomRatioUp(up);
    ZoomRatioDown(down);
    const float larger = RatioValue(up);
    const float smaller = RatioValue(down);
    f = 2.0f * f >= larger + smaller ? larger : smaller;
  }
  return Clamp01((f - 0.0625f) / 15.9375f);
}

float DispRotOutFilter(float p, bool snap) {
  if (!snap) return p;
  return std::trunc(p * 24.0f + 0.5f) / 24.0f;
}

float ZoomButtonScale(float scalePercent, bool zoomIn) {
  const float hundredths = scalePercent * 100.0f;
  TZoomRatio r{static_cast<int32_t>(zoomIn ? std::ceil(hundredths) : std::floor(hundredths)), 10000};
  if (zoomIn)
    ZoomRatioUp(r);
  else
    ZoomRatioDown(r);
  return RatioValue(r) * 100.0f;
}

float ToolDensityOpacity(float percent) { return std::min(1.0f, percent / 100.0f + 0.00001f); }

}  // namespace tf
