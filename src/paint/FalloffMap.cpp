// Falloff maps: profile record and lookup table.
#include "paint/FalloffMap.h"

#include <cmath>
#include <new>

#include "platform/Debug.h"
#include "raster/SafeConvert.h"

namespace tf {

namespace {

// x*1000 + 0.5 truncated into 0..1000 (the product taken in double so a float converts the same
// way whatever precision its caller used).
int32_t ThousandthsClamped(float x) { return TruncClamped(static_cast<double>(x) * 1000.0 + 0.5, 0, 1000); }

int32_t Clamp1000(int32_t v) { return v < 0 ? 0 : (v > 1000 ? 1000 : v); }

}  // namespace

void SGradeMap::Init() {
  kind = kGradeLinear;
  core = 0;
  floor = 0;
}

bool SGradeMap::Equal(const SGradeMap& other) const {
  return kind == other.kind && core == other.core && floor == other.floor;
}

float SGradeMap::SetCore(float x) {
  const float old = GetCore();
  core = ThousandthsClamped(x);
  return old;
}

float SGradeMap::SetFloor(float x) {
  const float old = GetFloor();
  floor = ThousandthsClamped(x);
  return old;
}

SGradeMap ClampedGradeMap(const SGradeMap& profile) {
  SGradeMap out = profile;
  out.core = Clamp1000(profile.core);
  out.floor = Clamp1000(profile.floor);
  return out;
}

float GradeCurveValue(uint8_t kind, float x) {
  switch (kind) {
    case kGradeCircle: return std::sqrt(1.0f - x * x);
    case kGradeQuadratic: return 1.0f - x * x;
    case kGradeSmooth: return 2.0f * x * x * x - 3.0f * x * x + 1.0f;
    case kGradePower: {
      static const float power = std::log(0.3f) / std::log(0.5f);
      return std::pow(1.0f - x, power);
    }
    case kGradeInverseCircle: {
      const float y = 1.0f - x;
      return 1.0f - std::sqrt(1.0f - y * y);
    }
    default: return 1.0f - x;
  }
}

void BuildFalloffTable(const SGradeMap& profile, int32_t* table, int32_t n) {
  const float core = static_cast<float>(profile.core) / 1000.0f;
  const float floor = static_cast<float>(profile.floor) / 1000.0f;
  const float last = static_cast<float>(n - 1);
  for (int32_t i = 0; i < n; ++i) {
    const float t = static_cast<float>(i) / last;
    const float e = t - core;
    const float g = e <= 0.0f ? 1.0f : GradeCurveValue(profile.kind, e / (1.0f - core));
    const float value = (floor + g * (1.0f - floor)) * 65536.0f * 255.0f;
    table[i] = TruncClamped(value, 0, 0xFF0000);
  }
}

CGradeMapObj::CGradeMapObj(int32_t entries) {
  profile_.kindRest[0] = profile_.kindRest[1] = profile_.kindRest[2] = 0;
  profile_.Init();
  SetSize(entries);
}

bool CGradeMapObj::SetSize(int32_t n) {
  if (n < 2) {
    DebugOut("CGradeMapObj::SetSize: a falloff table needs at least 2 entries\n");
    return false;
  }
  try {
    table_.assign(static_cast<size_t>(n), 0);
  } catch (const std::bad_alloc&) {
    DebugOut("CGradeMapObj::SetSize: out of memory\n");
    return false;
  }
  lastIndex_ = n - 1;
  valid_ = true;
  Rebuild();
  return true;
}

bool CGradeMapObj::Rebuild() {
  if (valid_) BuildFalloffTable(profile_, table_.data(), static_cast<int32_t>(table_.size()));
  return valid_;
}

bool CGradeMapObj::SetProfile(const SGradeMap& profile) {
  const SGradeMap clamped = ClampedGradeMap(profile);
  if (clamped.Equal(profile_)) return false;
  profile_ = clamped;
  Rebuild();
  return true;
}

}  // namespace tf
