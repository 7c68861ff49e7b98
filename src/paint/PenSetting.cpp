// Pen types and their registry pen settings.
#include "paint/PenSetting.h"

#include <cmath>

#include "paint/PaintParam.h"
#include "platform/Registry.h"
#include "raster/SafeConvert.h"

namespace tf {

namespace {

struct SPenTypeRow {
  const char* name;
  float fixedSpacing;
  bool scalesSize, canUseTone, canUseGradation, usesCoverage;
};
constexpr SPenTypeRow kPenTypes[kPenTypeCount] = {
    {"pen", 1.0f / 6.0f, true, true, true, true}, {"wc", 1.0f / 12.0f, true, true, true, false},
    {"blur", 0.25f, true, true, false, false},    {"eraser", 0.25f, true, false, false, false},
    {"blur2", 0.25f, false, false, false, true},  {"airbrush", -1.0f, true, true, true, false},
    {"rubpen", -1.0f, true, true, false, false},  {"darken", -1.0f, true, true, false, false},
    {"lighten", -1.0f, true, true, false, false},
};

const SPenTypeRow* Row(uint8_t type) { return type < kPenTypeCount ? &kPenTypes[type] : nullptr; }

bool ReadSingle(const CRegistryKey& key, const char* name, float& value) {
  double d;
  if (!key.ReadDouble(name, d)) return false;
  value = DoubleToSingle(d);
  return true;
}

bool ReadSwitch(const CRegistryKey& key, const char* name, uint8_t& value) {
  bool b;
  if (!key.ReadBool(name, b)) return false;
  value = b ? 1 : 0;
  return true;
}

}  // namespace

float PenTypeFixedSpacing(uint8_t type) { return Row(type) ? Row(type)->fixedSpacing : -1.0f; }
bool PenTypeScalesSize(uint8_t type) { return Row(type) && Row(type)->scalesSize; }
bool PenTypeCanUseTone(uint8_t type) { return Row(type) && Row(type)->canUseTone; }
bool PenTypeCanUseGradation(uint8_t type) { return Row(type) && Row(type)->canUseGradation; }
bool PenTypeUsesCoverage(uint8_t type) { return Row(type) && Row(type)->usesCoverage; }

bool PenTypeName(uint8_t type, std::string& name) {
  if (!Row(type)) return false;
  name = Row(type)->name;
  return true;
}

bool PenSettingKey(uint8_t type, int32_t slot, const std::string& root, std::string& key) {
  std::string name;
  if (!PenTypeName(type, name)) return false;
  key = root + "\\penSetting\\" + name + std::to_string(slot);
  return true;
}

bool InitPenSetting(SPenSetting& r, uint8_t type) {
  r = SPenSetting{};
  r.min = 1.0f;
  r.width = 1.0f;
  r.gamma = 1.0f;
  r.opaque = 1.0f;
  r.penSpacing = 0.5f;
  r.airMap = 3;
  switch (type) {
    case kPenPen:
      r.min = 0.75f;
      r.ifSize = r.ifTransparency = 1;
      return true;
    case kPenWatercolour:
      r.min = 0.333f;
      r.width = 16;
      r.effect = 65;
      r.env = 40;
      r.speed = 30;
      r.ifSize = r.ifTransparency = 1;
      return true;
    case kPenBlur:
      r.width = 12;
      r.effect = 10;
      return true;
    case kPenEraser:
      r.width = 12;
      r.ifTransparency = 1;
      r.ifEdge = 1;
      return true;
    case kPenAirbrush:
      r.min = 0.6f;
      r.width = 30;
      r.penSpacing = 0.15f;
      r.opaque = 0.1f;
      r.ifSize = r.ifTransparency = 1;
      return true;
    case kPenRubPen:
      r.min = 0.6f;
      r.width = 15;
      r.penSpacing = 0.04f;
      r.opaque = 0.6f;
      r.ifTransparency = 1;
      return true;
    case kPenDarken:
    case kPenLighten:
      r.min = 0.6f;
      r.width = 25;
      r.penSpacing = 0.15f;
      r.opaque = 0.2f;
      r.effect = 50;
      r.ifSize = r.ifTransparency = 1;
      return true;
    default: return false;  // blur2 and unknown types keep the base defaults
  }
}

bool ReadPenSetting(const CRegistryKey& key, SPenSetting& record) {
  float min, width, gamma;
  if (!ReadSingle(key, "MIN", min) || !ReadSingle(key, "WIDTH", width) || !ReadSingle(key, "GAMMA", gamma)) {
    return false;
  }
  record.min = min;
  record.width = width;
  record.gamma = gamma;
  float effect, env, speed;
  if (!ReadSingle(key, "EFFECT", effect) || !ReadSingle(key, "ENV", env) || !ReadSingle(key, "SPEED", speed)) {
    return false;
  }
  record.effect = effect;
  record.env = env;
  record.speed = speed;
  uint8_t ifSize, ifTransparency, ifEdge;
  if (!ReadSwitch(key, "ifSIZE", ifSize) || !ReadSwitch(key, "ifTRANSPARENCY", ifTransparency) ||
      !ReadSwitch(key, "ifEDGE", ifEdge)) {
    return false;
  }
  record.ifSize = ifSize;
  record.ifTransparency = ifTransparency;
  record.ifEdge = ifEdge;
  uint8_t useTone;
  if (!ReadSwitch(key, "useTone", useTone)) return false;
  record.useTone = useTone;
  uint8_t useGradation;
  float opaque, penSpacing;
  int32_t airMap;
  if (!ReadSwitch(key, "useGradation", useGradation) || !ReadSingle(key, "opaque", opaque) ||
      !ReadSingle(key, "penSpacing", penSpacing) || !key.ReadInteger("airMap", airMap)) {
    return false;
  }
  record.useGradation = useGradation;
  record.opaque = opaque;
  record.penSpacing = penSpacing;
  record.airMap = airMap;
  return true;
}

bool WritePenSetting(CRegistryKey& key, const SPenSetting& r) {
  return key.WriteDouble("MIN", r.min) && key.WriteDouble("WIDTH", r.width) &&
         key.WriteDouble("GAMMA", r.gamma) && key.WriteDouble("EFFECT", r.effect) &&
         key.WriteDouble("ENV", r.env) && key.WriteDouble("SPEED", r.speed) &&
         key.WriteBool("ifSIZE", r.ifSize != 0) && key.WriteBool("ifTRANSPARENCY", r.ifTransparency != 0) &&
         key.WriteBool("ifEDGE", r.ifEdge != 0) && key.WriteBool("useTone", r.useTone != 0) &&
         key.WriteBool("useGradation", r.useGradation != 0) && key.WriteDouble("opaque", r.opaque) &&
         key.WriteDouble("penSpacing", r.penSpacing) && key.WriteInteger("airMap", r.airMap);
}

// ---------------------------------------------------------------------------------------------
// The older pens' slots

namespace {
// A value from the settings file that is not a finite number keeps the default.
void KeepFinite(float& value, float fallback) {
  if (!std::isfinite(value)) value = fallback;
}
}  // namespace

uint8_t OldPenType(int32_t pen) {
  return pen >= 0 && pen < kOldPenCount ? OldPenSettingType(static_cast<uint8_t>(pen)) : 255;
}

SPenSetting* CPenSettingBlock::Slot(int32_t pen, int32_t slot) {
  if (pen < 0 || pen >= kOldPenCount || slot < 0 || slot >= kPenSlotCount) return nullptr;
  return &records_[static_cast<size_t>(pen * kPenSlotCount + slot)];
}

const SPenSetting* CPenSettingBlock::Slot(int32_t pen, int32_t slot) const {
  return const_cast<CPenSettingBlock*>(this)->Slot(pen, slot);
}

SPenSetting* CPenSettingBlock::Record(int32_t index) {
  return index >= 0 && index < kPenSettingRecordCount ? &records_[static_cast<size_t>(index)] : nullptr;
}

const SPenSetting* CPenSettingBlock::Record(int32_t index) const {
  return const_cast<CPenSettingBlock*>(this)->Record(index);
}

void CPenSettingBlock::SetDefaults() {
  for (int32_t i = 0; i < kPenSettingRecordCount; ++i) InitPenSetting(records_[static_cast<size_t>(i)], OldPenType(i / kPenSlotCount));
}

bool LoadPenSettings(CRegistry& store, CPenSettingBlock& block) {
  CRegistryKey key(&store);
  const std::string root(kRegistryRoot);
  for (int32_t pen = 0; pen < kOldPenCount; ++pen) {
    const uint8_t type = OldPenType(pen);
    for (int32_t slot = 1; slot <= kPenSlotCount; ++slot) {
      SPenSetting& record = *block.Slot(pen, slot - 1);
      InitPenSetting(record, type);
      std::string path;
      if (!PenSettingKey(type, slot, root, path)) continue;
      key.CloseKey();
      if (!key.OpenKey("\\" + path, false)) continue;
      const SPenSetting defaults = record;
      ReadPenSetting(key, record);
      KeepFinite(record.min, defaults.min);
      KeepFinite(record.width, defaults.width);
      KeepFinite(record.gamma, defaults.gamma);
      KeepFinite(record.effect, defaults.effect);
      KeepFinite(record.env, defaults.env);
      KeepFinite(record.speed, defaults.speed);
      KeepFinite(record.opaque, defaults.opaque);
      KeepFinite(record.penSpacing, defaults.penSpacing);
    }
  }
  key.CloseKey();
  return true;
}

bool SavePenSettings(CRegistry& store, const CPenSettingBlock& block) {
  CRegistryKey key(&store);
  const std::string root(kRegistryRoot);
  bool all = true;
  for (int32_t pen = 0; pen < kOldPenCount; ++pen) {
    for (int32_t slot = 1; slot <= kPenSlotCount; ++slot) {
      std::string path;
      if (!PenSettingKey(OldPenType(pen), slot, root, path)) continue;
      key.CloseKey();
      if (!key.OpenKey("\\" + path, true) || !WritePenSetting(key, *block.Slot(pen, slot - 1))) all = false;
    }
  }
  key.CloseKey();
  return all;
}

}  // namespace tf
