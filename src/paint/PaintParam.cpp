// Tool settings: kind tables, TPaintParam and its conversions.
#include "paint/PaintParam.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "paint/NibPreset.h"
#include "paint/PenMethod.h"
#include "paint/Stroke.h"
#include "paint/ToolTexts.h"
#include "platform/Debug.h"
#include "platform/Text.h"
#include "raster/FlatImage.h"

namespace tf {

namespace {

struct KindRow {
  uint8_t engine;
  uint8_t penType;
  uint32_t mask;
  uint8_t airMapMode;
  uint8_t airMap;
  TextId name;
};

const KindRow kKinds[kPaintKindCount] = {
    {1, kPenPen, 0x00003F84, 0, 7, texts::kPencil},
    {1, kPenEraser, 0x00103384, 0, 7, texts::kEraser},
    {1, kPenWatercolour, 0x00103FF4, 0, 7, texts::kWatercolour},
    {1, kPenAirbrush, 0x00013F8C, 1, 0, texts::kAirbrush},
    {1, kPenBlur, 0x00003A94, 0, 0, texts::kBlur},
    {0, kPenBlur2, 0x00003294, 0, 7, texts::kBlur},
    {1, kPenRubPen, 0x00013B8C, 1, 5, texts::kFingertip},
    {1, kPenDarken, 0x00013B9C, 1, 5, texts::kBurn},
    {1, kPenLighten, 0x00013B9C, 1, 5, texts::kDodge},
    {2, kPenPen, 0x002FFF8F, 2, 0, texts::kPencil},
    {2, kPenEraser, 0x002FFF8F, 2, 0, texts::kEraser},
    {2, kPenWatercolour, 0x002FFFFF, 2, 0, texts::kWatercolour},
    {2, kPenAirbrush, 0x002FFF8F, 2, 0, texts::kAirbrush},
    {2, kPenBlur, 0x002FFF9F, 2, 0, texts::kBlur},
    {2, kPenRubPen, 0x002FFF8F, 2, 0, texts::kFingertip},
    {2, kPenRubPen, 0x002FFF8F, 2, 0, texts::kSpread},
    {2, kPenDarken, 0x002FFF9F, 2, 0, texts::kBurn},
    {2, kPenLighten, 0x002FFF9F, 2, 0, texts::kDodge},
};

const KindRow* FindKind(uint8_t kind) {
  kind = static_cast<uint8_t>(kind & 0x7F);
  return kind < kPaintKindCount ? &kKinds[kind] : nullptr;
}

const uint8_t kAirMapToGradeKind[8] = {3, 4, 0, 0, 1, 2, 5, 255};
const uint8_t kAirMapToStrokeAirMap[8] = {3, 0, 0, 1, 0, 2, 4, 255};
const uint8_t kGradeKindToAirMap[7] = {3, 4, 5, 0, 1, 6, 7};
const uint8_t kStrokeAirMapToAirMap[6] = {2, 3, 5, 0, 6, 7};
const uint8_t kOldPenType[8] = {kPenPen,  kPenEraser, kPenWatercolour, kPenAirbrush,
                                kPenBlur, kPenRubPen, kPenDarken,      kPenLighten};
const uint8_t kOldPenKind[8] = {0, 1, 2, 3, 4, 6, 7, 8};
const uint8_t kPenTypeKind[kPenTypeCount] = {0, 2, 4, 1, 5, 3, 6, 7, 8};

uint8_t AirMapIndex(uint8_t index) { return index > kAirMapNone ? kAirMapNone : index; }

// Float to a 16-bit value: +0.5 and truncated, kept within 0..65535.
uint16_t RoundToU16(float x) {
  const int32_t v = StrokeParamTrunc(static_cast<double>(x) + 0.5);
  return static_cast<uint16_t>(std::clamp(v, 0, 0xFFFF));
}

std::unique_ptr<uint8_t[]> CopyBytes(const uint8_t* bytes, size_t count) {
  std::unique_ptr<uint8_t[]> copy(new (std::nothrow) uint8_t[count]);
  if (copy != nullptr) std::memcpy(copy.get(), bytes, count);
  return copy;
}

std::unique_ptr<TMTC> CopyPicture(const TMTC& picture) {
  std::unique_ptr<TMTC> copy(new (std::nothrow) TMTC(picture));
  if (copy != nullptr && !copy->IsValid()) copy.reset();
  return copy;
}

}  // namespace

uint8_t PaintKindEngine(uint8_t kind) {
  const KindRow* row = FindKind(kind);
  return row != nullptr ? row->engine : kNotFoundKind;
}
uint32_t PaintKindSettingMask(uint8_t kind) {
  const KindRow* row = FindKind(kind);
  return row != nullptr ? row->mask : 0;
}
uint8_t PaintKindAirMapMode(uint8_t kind) {
  const KindRow* row = FindKind(kind);
  return row != nullptr ? row->airMapMode : 0;
}
uint8_t PaintKindPenType(uint8_t kind) {
  const KindRow* row = FindKind(kind);
  return row != nullptr ? row->penType : kNotFoundKind;
}
std::string PaintKindName(uint8_t kind) {
  const KindRow* row = FindKind(kind);
  return row != nullptr ? std::string(Tx(row->name)) : std::string();
}

float AirMapCurve(uint8_t index, float x) {
  x = std::clamp(x, 0.0f, 1.0f);
  switch (AirMapIndex(index)) {
    case 0: return 1.0f - x;
    case 1: {
      const float p = std::log(0.3f) / std::log(0.5f);
      return std::pow(1.0f - x, p);
    }
    case 3: return std::sqrt(1.0f - x * x);
    case 4: return 1.0f - x * x;
    case 5: return 2.0f * x * x * x - 3.0f * x * x + 1.0f;
    case 6: return 1.0f - std::sqrt(std::max(0.0f, 1.0f - (1.0f - x) * (1.0f - x)));
    default: return 1.0f;
  }
}

uint8_t AirMapToGradeKind(uint8_t index) { return kAirMapToGradeKind[AirMapIndex(index)]; }
uint8_t AirMapToStrokeAirMap(uint8_t index) { return kAirMapToStrokeAirMap[AirMapIndex(index)]; }
uint8_t GradeKindToAirMap(uint8_t kind) { return kind < 7 ? kGradeKindToAirMap[kind] : kAirMapNone; }
uint8_t StrokeAirMapToAirMap(int32_t value) {
  return value >= 0 && value < 6 ? kStrokeAirMapToAirMap[value] : kAirMapNone;
}

uint8_t OldPenSettingType(uint8_t n) { return n < 8 ? kOldPenType[n] : kNotFoundKind; }
uint8_t OldPenPaintKind(uint8_t n) { return n < 8 ? kOldPenKind[n] : kNotFoundKind; }
uint8_t PaintKindOldPenIndex(uint8_t kind) {
  kind = static_cast<uint8_t>(kind & 0x7F);
  if (kind <= 3) return kind;
  if (kind <= 5) return 4;
  if (kind <= 8) return static_cast<uint8_t>(kind - 1);
  return kNotFoundKind;
}
uint8_t PenIndexPaintKind(uint8_t engine, uint8_t index, uint8_t oldIndex) {
  if (engine == 2) return index < 9 ? static_cast<uint8_t>(kFirstCurrentKind + index) : kNotFoundKind;
  return OldPenPaintKind(oldIndex);
}
uint8_t PaintKindPenMethodIndex(uint8_t kind) {
  kind = static_cast<uint8_t>(kind & 0x7F);
  return kind >= kFirstCurrentKind && kind < kPaintKindCount ? static_cast<uint8_t>(kind - kFirstCurrentKind)
                                                             : kNotFoundKind;
}
bool PenMethodPaintKind(uint8_t& kind, const CPenMethodObj* method) {
  if (method == nullptr || !method->IsValid()) return false;
  return PenParamPaintKind(kind, method->Params().pen);
}
uint8_t PenMethodKindIndex(const CPenMethodObj* method) {
  uint8_t kind = 0;
  return PenMethodPaintKind(kind, method) ? PaintKindPenMethodIndex(kind) : kNotFoundKind;
}

bool PenParamPaintKind(uint8_t& kind, const SPenParam& param) {
  switch (param.type) {
    case kRenderPaint: kind = param.channel != 0 ? 9 : 12; return true;
    case kRenderWatercolour: kind = 11; return true;
    case kRenderBlur: kind = 13; return true;
    case kRenderEraser: kind = 10; return true;
    case kRenderSpread: kind = 15; return true;
    case kRenderFingertip: kind = 14; return true;
    case kRenderBurnDodge: kind = param.option1 != 0 ? 17 : 16; return true;
    default: return false;
  }
}

bool PenParamForKind(SPenParam& param, uint8_t kind) {
  param = SPenParam{};
  switch (kind) {
    case 9:
      param.type = kRenderPaint;
      param.channel = 1;
      return true;
    case 10: param.type = kRenderEraser; return true;
    case 11: param.type = kRenderWatercolour; return true;
    case 12: param.type = kRenderPaint; return true;
    case 13: param.type = kRenderBlur; return true;
    case 14: param.type = kRenderFingertip; return true;
    case 15: param.type = kRenderSpread; return true;
    case 16: param.type = kRenderBurnDodge; return true;
    case 17:
      param.type = kRenderBurnDodge;
      param.option1 = 1;
      return true;
    default: return false;
  }
}

bool PenTypeOldPaintKind(uint8_t& kind, uint8_t type) {
  if (type >= kPenTypeCount) return false;
  kind = kPenTypeKind[type];
  return true;
}

TMTC* PaintKindDefaultIcon(uint8_t kind) {
  const KindRow* row = FindKind(kind);
  if (row == nullptr) return nullptr;
  if ((kind & 0x7F) == 15) return BuiltinSpreadIcon();
  return BuiltinPenIcon(row->penType);
}

void PaintKindEffectLabel(uint8_t kind, int32_t index, std::string& text) {
  TextId label = texts::kEffect;
  if (index >= 0 && index <= 2) {
    switch (kind) {
      case 2:
      case 11: {
        const TextId labels[3] = {texts::kSpreadEffect, texts::kBlurEffect, texts::kReach};
        label = labels[index];
        break;
      }
      case 4:
      case 5:
      case 13: {
        const TextId labels[3] = {texts::kBlurStrength, texts::kBlur, texts::kBlur};
        label = labels[index];
        break;
      }
      case 7:
      case 16: {
        const TextId labels[3] = {texts::kExposure, texts::kBurn, texts::kBurn};
        label = labels[index];
        break;
      }
      case 8:
      case 17: {
        const TextId labels[3] = {texts::kExposure, texts::kDodge, texts::kDodge};
        label = labels[index];
        break;
      }
      default: break;
    }
  }
  text = Tx(label);
}

void BitmapNibScaleRange(int32_t width, int32_t height, float& minimum, float& maximum) {
  const int32_t shortSide = std::min(width, height);
  const int32_t longSide = std::max(width, height);
  minimum = shortSide > 0 ? std::max(4.0f / static_cast<float>(shortSide), 0.01f) : 0.01f;
  maximum = longSide > 0 ? std::min(512.0f / static_cast<float>(longSide), 5.0f) : 5.0f;
}

std::unique_ptr<uint8_t[]> ChannelToInvertedBytes(const TChannel& channel) {
  const int32_t w = channel.Width();
  const int32_t h = channel.Height();
  if (!channel.IsValid() || w <= 0 || h <= 0) return nullptr;
  std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[static_cast<size_t>(w) * static_cast<size_t>(h)]);
  if (bytes == nullptr) return nullptr;
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = bytes.get() + static_cast<size_t>(y) * static_cast<size_t>(w);
    for (int32_t x = 0; x < w; ++x) row[x] = static_cast<uint8_t>(255 - channel.GetPixel(x, y));
  }
  return bytes;
}

// ---- TPaintParam ----

TPaintParam::TPaintParam(uint8_t kindValue) { SetKind(kindValue); }

TPaintParam::~TPaintParam() = default;

std::unique_ptr<TPaintParam> TPaintParam::CreateCopy(const TPaintParam& source, bool& made) {
  std::unique_ptr<TPaintParam> result(new (std::nothrow) TPaintParam(source.kind));
  made = result != nullptr && result->Assign(source);
  return result;
}

std::unique_ptr<TPaintParam> TPaintParam::CreateFromPenSetting(uint8_t kindValue, const SPenSetting& setting,
                                                               bool& made) {
  std::unique_ptr<TPaintParam> result(new (std::nothrow) TPaintParam(kindValue));
  made = result != nullptr && result->LoadFromPenSetting(setting);
  return result;
}

std::unique_ptr<TPaintParam> TPaintParam::CreateFromPenMethod(const CPenMethodObj* method, bool& made) {
  made = false;
  uint8_t kindValue = 0;
  if (!PenMethodPaintKind(kindValue, method)) return nullptr;
  std::unique_ptr<TPaintParam> result(new (std::nothrow) TPaintParam(kindValue));
  made = result != nullptr && result->LoadFromPenMethod(method);
  return result;
}

void TPaintParam::SetKind(uint8_t kindValue) {
  kind = kindValue;
  const KindRow* row = FindKind(kindValue);
  engine = row != nullptr ? row->engine : kNotFoundKind;
  settingMask = row != nullptr ? row->mask : 0;
  airMapMode = row != nullptr ? row->airMapMode : 0;
  icon.reset();
  hasIcon = 0;
  nibImage.reset();
  hasNibImage = 0;
  nibImageWidth = nibImageHeight = 0;
  name.clear();
  opaque = 1.0f;
  penSpacing = 0.1f;
  effect = env = speed = 0.0f;
  gamma = 1.0f;
  ifTransparency = ifSize = useGradation = useTone = 0;
  width = 1.0f;
  min = 0.0f;
  sizeThreshold1 = sizeThreshold2 = 0.0f;
  nibRatio = 1.0f;
  nibAngle = 0.0f;
  airMap = row != nullptr ? row->airMap : 0;
  airMapParam1 = airMapParam2 = 0.0f;
  nibScale = 1.0f;
  ifEdge = 0;
  nibFlag = 0;
  if (row != nullptr) name = Utf8ToCp932(Tx(row->name));
}

bool TPaintParam::Assign(const TPaintParam& source) {
  SetKind(source.kind);
  name = source.name;
  opaque = source.opaque;
  penSpacing = source.penSpacing;
  effect = source.effect;
  env = source.env;
  speed = source.speed;
  gamma = source.gamma;
  ifTransparency = source.ifTransparency;
  ifSize = source.ifSize;
  useGradation = source.useGradation;
  useTone = source.useTone;
  width = source.width;
  min = source.min;
  sizeThreshold1 = source.sizeThreshold1;
  sizeThreshold2 = source.sizeThreshold2;
  nibRatio = source.nibRatio;
  nibAngle = source.nibAngle;
  airMap = source.airMap;
  airMapParam1 = source.airMapParam1;
  airMapParam2 = source.airMapParam2;
  ifEdge = source.ifEdge;
  nibFlag = source.nibFlag;
  if (source.hasIcon && source.icon != nullptr) SetIcon(source.icon.get());
  if (source.hasNibImage && source.nibImage != nullptr) {
    SetNibImageBytes(source.nibImage.get(), source.nibImageWidth, source.nibImageHeight);
    nibScale = source.nibScale;
  } else {
    SetNibImageBytes(nullptr, 0, 0);
    nibScale = 1.0f;
  }
  nibSerialId = source.nibSerialId;
  return true;
}

void TPaintParam::SetName(const std::string& value) {
  if (name != value) name = value;
}

void TPaintParam::SetIcon(const TMTC* picture) {
  icon.reset();
  if (picture != nullptr) icon = CopyPicture(*picture);
  hasIcon = icon != nullptr ? 1 : 0;
}

TMTC* TPaintParam::GetIcon() const {
  if (hasIcon && icon != nullptr) return icon.get();
  return PaintKindDefaultIcon(kind);
}

void TPaintParam::SetNibImage(const TChannel* channel) {
  nibImage.reset();
  nibImageWidth = nibImageHeight = 0;
  hasNibImage = 0;
  if (channel == nullptr) return;
  nibImage = ChannelToInvertedBytes(*channel);
  if (nibImage != nullptr) {
    nibImageWidth = channel->Width();
    nibImageHeight = channel->Height();
    hasNibImage = 1;
  }
}

void TPaintParam::SetNibImageBytes(const uint8_t* bytes, int32_t w, int32_t h) {
  nibImage.reset();
  nibImageWidth = nibImageHeight = 0;
  hasNibImage = 0;
  if (bytes == nullptr || w <= 0 || h <= 0) return;
  nibImage = CopyBytes(bytes, static_cast<size_t>(w) * static_cast<size_t>(h));
  if (nibImage != nullptr) {
    nibImageWidth = w;
    nibImageHeight = h;
    hasNibImage = 1;
  }
}

float TPaintParam::GetParametricWidth() const { return hasNibImage ? 0.0f : width; }

float TPaintParam::GetEffectiveWidth() const {
  if (!hasNibImage) return width;
  return static_cast<float>(std::max(nibImageWidth, nibImageHeight)) * nibScale * 0.5f;
}

float TPaintParam::GetMinWidth() const {
  if (!hasNibImage) return 0.1f;
  float lo, hi;
  BitmapNibScaleRange(nibImageWidth, nibImageHeight, lo, hi);
  return static_cast<float>(std::max(nibImageWidth, nibImageHeight)) * lo * 0.5f;
}

float TPaintParam::GetMaxWidth() const {
  if (!hasNibImage) return 200.0f;
  float lo, hi;
  BitmapNibScaleRange(nibImageWidth, nibImageHeight, lo, hi);
  return static_cast<float>(std::max(nibImageWidth, nibImageHeight)) * hi * 0.5f;
}

float TPaintParam::GetMinNibScale() const {
  float lo = 0.01f, hi = 5.0f;
  if (hasNibImage) BitmapNibScaleRange(nibImageWidth, nibImageHeight, lo, hi);
  return lo;
}

float TPaintParam::GetMaxNibScale() const {
  float lo = 0.01f, hi = 5.0f;
  if (hasNibImage) BitmapNibScaleRange(nibImageWidth, nibImageHeight, lo, hi);
  return hi;
}

bool TPaintParam::LoadFromPenSetting(const SPenSetting& s) {
  SetKind(kind);
  opaque = s.opaque;
  penSpacing = s.penSpacing;
  effect = s.effect;
  env = s.env;
  speed = s.speed;
  gamma = s.gamma;
  ifTransparency = s.ifTransparency;
  ifSize = s.ifSize;
  useGradation = s.useGradation;
  useTone = s.useTone;
  width = s.width;
  min = s.min / 100.0f;
  if (settingMask & kSettingAirMap) {
    airMap = StrokeAirMapToAirMap(s.airMap);
  } else if (settingMask & kSettingIfEdge) {
    ifEdge = s.ifEdge;
  }
  return true;
}

bool TPaintParam::SaveToPenSetting(SPenSetting& s) const {
  s.opaque = opaque;
  s.penSpacing = penSpacing;
  s.effect = effect;
  s.env = env;
  s.speed = speed;
  s.gamma = gamma;
  s.ifTransparency = ifTransparency;
  s.ifSize = ifSize;
  s.useGradation = useGradation;
  s.useTone = useTone;
  s.width = width;
  s.min = min * 100.0f;
  if (settingMask & kSettingAirMap) {
    s.airMap = AirMapToStrokeAirMap(airMap) & 0x7F;
  } else if (settingMask & kSettingIfEdge) {
    s.ifEdge = ifEdge;
  }
  return true;
}

bool TPaintParam::LoadFromStroke(const TStroke* stroke) {
  if (stroke == nullptr) return false;
  uint8_t kindValue = kind;
  PenTypeOldPaintKind(kindValue, stroke->GetPenType());
  SetKind(kindValue);
  opaque = stroke->GetOpacity();
  effect = stroke->GetEffect();
  env = stroke->GetEnv();
  gamma = stroke->GetGamma();
  ifEdge = stroke->GetIfEdge() ? 1 : 0;
  ifSize = stroke->GetIfSize() ? 1 : 0;
  ifTransparency = stroke->GetIfTransparency() ? 1 : 0;
  width = stroke->GetWidth();
  speed = stroke->GetSpeed();
  min = stroke->GetMin() / 100.0f;
  penSpacing = stroke->GetSpacing();
  return true;
}

bool TPaintParam::ApplyToStroke(TStroke& stroke) const {
  stroke.SetPenType(PaintKindPenType(kind));
  stroke.SetOpacity(opaque);
  stroke.SetEffect(effect);
  stroke.SetEnv(env);
  stroke.SetGamma(gamma);
  stroke.SetIfEdge(ifEdge != 0);
  stroke.SetIfSize(ifSize != 0);
  stroke.SetIfTransparency(ifTransparency != 0);
  stroke.SetMin(min * 100.0f);
  stroke.SetSpacing(penSpacing);
  stroke.SetSpeed(speed);
  stroke.SetWidth(width);
  if (settingMask & kSettingAirMap) {
    stroke.StoreAirMapKind(AirMapToStrokeAirMap(airMap));
  } else if (settingMask & kSettingIfEdge) {
    stroke.SetIfEdge(ifEdge != 0);
  }
  if (stroke.CanUseGradation()) stroke.SetUseGradation(useGradation != 0, true);
  if (stroke.CanUseTone()) stroke.SetUseTone(useTone != 0, true);
  return true;
}

void TPaintParam::LoadStrokeValues(const SStrokeParam& s, const SPenParam& p) {
  ifSize = s.ifSize;
  ifTransparency = s.ifTransparency;
  sizeThreshold1 = static_cast<float>(s.sizeThreshold1);
  sizeThreshold2 = static_cast<float>(s.sizeThreshold2);
  opaque = static_cast<float>(s.opacity) / 1000.0f;
  penSpacing = static_cast<float>(s.spacing) / 1000.0f;
  gamma = static_cast<float>(s.gamma) / 100.0f;
  effect = static_cast<float>(p.effect);
  env = static_cast<float>(p.env);
  speed = static_cast<float>(p.speed);
}

bool TPaintParam::LoadFromPenMethod(const CPenMethodObj* method) {
  uint8_t kindValue = 0;
  if (!PenMethodPaintKind(kindValue, method)) return false;
  SetKind(kindValue);
  name = method->Name();
  const SPenMethodParams& block = method->Params();
  useGradation = block.useGradation;
  useTone = block.useTone;
  LoadStrokeValues(block.stroke, block.pen);
  SetIcon(method->HasIcon() ? method->Icon() : nullptr);
  if (!method->HasNib()) return false;
  return LoadFromPenShape(method->Nib());
}

bool TPaintParam::LoadFromPenShape(const CPenShapeObj* nib) {
  if (nib == nullptr) return false;
  const SNibShape& shape = nib->Shape();
  const SGradeMap& profile = nib->Profile();
  nibFlag = nib->HasFlag() ? 1 : 0;
  min = static_cast<float>(shape.minRatio) / 1000.0f;
  nibRatio = static_cast<float>(shape.aspect) / 1000.0f;
  nibAngle = static_cast<float>(shape.angle) / 10.0f;
  airMap = GradeKindToAirMap(profile.kind);
  airMapParam1 = static_cast<float>(profile.core) / 1000.0f;
  airMapParam2 = static_cast<float>(profile.floor) / 1000.0f;
  ifEdge = 0;
  if (nib->IsBitmapNib()) {
    SetNibImage(nib->Image());
    nibScale = nib->GetScale();
  } else {
    width = static_cast<float>(shape.size) / 100.0f;
    SetNibImage(nullptr);
    nibScale = 1.0f;
  }
  nibSerialId = static_cast<int32_t>(nib->SerialId());
  return true;
}

bool TPaintParam::LoadFromPenState(const CGradeMapObj* gradeMap, const CPenShapeObj* nib,
                                   const SStrokeParam& strokeParam, const SPenParam& penParam) {
  if (gradeMap == nullptr || nib == nullptr) return false;
  uint8_t kindValue = 0;
  if (!PenParamPaintKind(kindValue, penParam)) return false;
  SetKind(kindValue);
  LoadStrokeValues(strokeParam, penParam);
  SetIcon(nullptr);
  const bool result = LoadFromPenShape(nib);
  const SGradeMap& profile = gradeMap->Profile();
  airMap = GradeKindToAirMap(profile.kind);
  airMapParam1 = static_cast<float>(profile.core) / 1000.0f;
  airMapParam2 = static_cast<float>(profile.floor) / 1000.0f;
  return result;
}

bool TPaintParam::GetNibShape(SNibShape& s) const {
  s.Init(10.0f);
  s.SetSize(hasNibImage ? nibScale * 100.0f : width);
  s.SetMinRatio(min);
  s.SetAspect(nibRatio);
  s.SetAngle(nibAngle);
  return true;
}

bool TPaintParam::GetNibFlagWord(uint32_t& word) const {
  NibFlagWord::Set(word, nibFlag != 0);
  return true;
}

bool TPaintParam::GetGradeMap(SGradeMap& g) const {
  g = SGradeMap{};
  g.Init();
  g.kind = kGradeLinear;
  g.SetCore(airMapParam1);
  g.SetFloor(airMapParam2);
  const uint8_t index = AirMapIndex(airMap);
  if (index != 2 && index != kAirMapNone) {
    g.kind = AirMapToGradeKind(index);
    return true;
  }
  switch (airMapMode) {
    case 1:
      if (index == 2) {
        g.kind = kGradeLinear;
        g.core = 900;
      } else {
        g.kind = AirMapToGradeKind(kAirMapNone);
      }
      break;
    case 0:
      if (ifEdge) {
        g.kind = kGradeCircle;
      } else {
        g.kind = kGradeLinear;
        g.core = 900;
      }
      break;
    default:
      DebugOut("TPaintParam::GetGradeMap: internal error: air map 2 or 7 on a current-engine pen\n");
      g.kind = kGradeLinear;
      break;
  }
  return false;
}

bool TPaintParam::SaveToPenShape(CPenShapeObj* nib) const {
  if (nib == nullptr) return false;
  SNibShape shape;
  uint32_t flag = 0;
  SGradeMap profile;
  GetNibShape(shape);
  GetNibFlagWord(flag);
  if (!GetGradeMap(profile)) return false;  // the nib stays as it was
  std::unique_ptr<TChannel> channel;
  if (hasNibImage && nibImage != nullptr) {
    channel.reset(new (std::nothrow) TChannel(nibImageWidth, nibImageHeight));
    if (channel == nullptr || !channel->IsValid()) return false;
    for (int32_t y = 0; y < nibImageHeight; ++y) {
      const uint8_t* row = nibImage.get() + static_cast<size_t>(y) * static_cast<size_t>(nibImageWidth);
      for (int32_t x = 0; x < nibImageWidth; ++x)
        *channel->GetPixelPtr(x, y) = static_cast<uint8_t>(255 - row[x]);
    }
  }
  nib->ResetToDefaultShape();
  nib->SetParametric(&profile, &shape, &flag);
  if (channel != nullptr) {
    nib->SetImageCopy(*channel, false);
    nib->SetScale(StrokeParamTrunc(static_cast<double>(nibScale) * 100.0 + 0.5));
  }
  nib->SetSerialId(static_cast<uint32_t>(nibSerialId));
  return true;
}

bool TPaintParam::SaveToStrokeParam(SStrokeParam& s) const {
  InitStrokeParam(s);
  s.ifSize = ifSize;
  s.ifTransparency = ifTransparency;
  StrokeParamSetOpacity(s, opaque);
  StrokeParamSetSpacing(s, penSpacing);
  StrokeParamSetGamma(s, gamma);
  s.sizeThreshold1 = StrokeParamTrunc(static_cast<double>(sizeThreshold1) + 0.5);
  s.sizeThreshold2 = StrokeParamTrunc(static_cast<double>(sizeThreshold2) + 0.5);
  return true;
}

bool TPaintParam::SaveToPenParam(SPenParam& p) const {
  if ((kind & 0x7F) < kFirstCurrentKind) return false;
  if (!PenParamForKind(p, kind)) return false;
  p.effect = RoundToU16(effect);
  p.env = RoundToU16(env);
  p.speed = RoundToU16(speed);
  return true;
}

bool TPaintParam::SaveToPenMethod(CPenMethodObj* method) const {
  if (method == nullptr) return false;
  SPenParam pen;
  SStrokeParam stroke;
  if (!SaveToPenShape(method->Nib()) || !SaveToPenParam(pen) || !SaveToStrokeParam(stroke)) return false;
  const uint8_t switches[2] = {useGradation, useTone};
  if (!method->SetParams(&pen, switches, &stroke)) return false;
  method->SetIcon(hasIcon ? icon.get() : nullptr);
  method->SetName(name);
  return true;
}

bool TPaintParam::GetNibPreview(SNibPreview& p) const {
  FreeNibPreview(p);
  InitNibPreview(p);
  p.size = GetEffectiveWidth();
  p.minRatio = min;
  p.ratio = nibRatio;
  p.angle = nibAngle;
  p.airMap = airMap;
  p.airMapParam1 = airMapParam1;
  p.airMapParam2 = airMapParam2;
  if (hasNibImage && nibImage != nullptr) {
    const size_t count = static_cast<size_t>(nibImageWidth) * static_cast<size_t>(nibImageHeight);
    p.image.reset(new (std::nothrow) uint8_t[count]);
    if (p.image != nullptr) {
      for (size_t i = 0; i < count; ++i) p.image[i] = static_cast<uint8_t>(255 - nibImage[i]);
      p.hasImage = 1;
      p.imageWidth = nibImageWidth;
      p.imageHeight = nibImageHeight;
      p.imageScale = nibScale;
    }
  }
  p.nibFlag = nibFlag;
  return nibFlag != 0;
}

void TPaintParam::GetEffectLabel(int32_t index, std::string& text) const {
  const uint8_t k = static_cast<uint8_t>(kind & 0x7F);
  if (index == 2 && (k == 2 || k == 11)) {
    text = Tx(texts::kEffectReach);
    return;
  }
  PaintKindEffectLabel(k, index, text);
}

void TPaintParam::GetEffectHint(int32_t index, std::string& text) const {
  std::string label;
  GetEffectLabel(index, label);
  text = label + "|" + label + Tx(texts::kChangeSuffix);
}

bool TPaintParam::DrawNibPreview(TMemoryGraphic& graphic, uint32_t colour, float scale, bool filled,
                                 uint32_t secondColour) const {
  SNibPreview preview;
  GetNibPreview(preview);
  return tf::DrawNibPreview(graphic, preview, colour, scale, filled, secondColour);
}

}  // namespace tf
