#include "events/ToneSetSources.h"

#include <string>

#include "paint/ScreenTone.h"
#include "paint/ToneSet.h"
#include "platform/ByteOrder.h"
#include "platform/Debug.h"
#include "raster/FlatImage.h"
#include "raster/Geometry.h"

namespace tf {

void ToneAttrToNumbers(const SToneAttr& attr, int32_t numbers[6]) {
  uint8_t bytes[kToneAttrBytes];
  ToneAttrToBytes(attr, bytes);
  for (int i = 0; i < 6; ++i) numbers[i] = LoadI32(bytes + 4 * i);
}

void ToneAttrFromNumbers(SToneAttr& attr, const int32_t numbers[6]) {
  uint8_t bytes[kToneAttrBytes];
  for (int i = 0; i < 6; ++i) StoreI32(bytes + 4 * i, numbers[i]);
  ToneAttrFromBytes(attr, bytes);
}

bool CRecordedToneSet::currentPattern(SRecordedPattern& out) const {
  const CPatObj* working = tones_.WorkingCopy();
  if (working == nullptr || !working->IsBuilt()) return false;
  // Every working copy is a CPat8 (plain) or a CPat8Tone.
  const auto& pattern = static_cast<const CPat8&>(*working);
  out = SRecordedPattern{};
  out.key = static_cast<uint32_t>(pattern.SerialId());
  out.kind = pattern.Kind();
  out.scale = pattern.Scale();
  out.offsetX = pattern.OffsetX();
  out.offsetY = pattern.OffsetY();
  out.inverted = pattern.Inverted();
  if (pattern.Kind() == kPatternTone) {
    const auto& tone = static_cast<const CPat8Tone&>(pattern);
    ToneAttrToNumbers(tone.Attr(), out.toneAttributes);
    out.toneSwitch = tone.Attr().toneSwitch != 0;
  }
  out.name = pattern.Name();
  out.tile = &pattern.Tile();
  return true;
}

int32_t CPlayedToneSet::addImagePattern(std::unique_ptr<TChannel> tile, int32_t scale, int32_t offsetX,
                                        int32_t offsetY) {
  if (!tile || !tile->IsValid()) return -1;
  const TPoint offsets{offsetX, offsetY};
  return tones_.AddPattern(*tile, scale, &offsets);
}

int32_t CPlayedToneSet::addScreenTone(const int32_t attributes[6], bool toneSwitch,
                                      std::unique_ptr<TChannel> tile) {
  SToneAttr attr;
  InitToneAttr(attr);
  ToneAttrFromNumbers(attr, attributes);
  attr.toneSwitch = toneSwitch ? 1 : 0;
  // Attributes from a stream are refused before the maker sees them.
  if (!IsBuildableToneAttr(attr, 100)) return -1;
  const TChannel* preview = tile && tile->IsValid() ? tile.get() : nullptr;
  return tones_.AddTone(attr, true, preview);
}

bool CPlayedToneSet::setPatternPlacement(int32_t index, int32_t offsetX, int32_t offsetY, int32_t scale,
                                         bool inverted) {
  CPatObj* pattern = tones_.GetItem(index);
  if (pattern == nullptr) return false;
  pattern->SetOffsets(offsetX, offsetY);
  pattern->SetScale(scale);
  static_cast<CPat8*>(pattern)->SetInverted(inverted);
  return true;
}

bool CPlayedToneSet::setPatternName(int32_t index, std::string_view name) {
  CPatObj* pattern = tones_.GetItem(index);
  if (pattern == nullptr) return false;
  pattern->SetName(std::string(name));
  return true;
}

int32_t CPlayedToneSet::setCurrentPattern(int32_t index) {
  if (!tones_.InRange(index)) return -1;
  return tones_.SetCurrent(index);
}

bool CPlayedToneSet::rebuildImageShape(const TChannel& channel, int16_t scale, uint32_t key) {
  if (shapes_ == nullptr) {
    DebugOut("CPlayedToneSet: no pen shapes to rebuild the recorded image nib into");
    return false;
  }
  return shapes_->rebuildImageShape(channel, scale, key);
}

bool CPlayedToneSet::imageShapeValid() const { return shapes_ != nullptr && shapes_->imageShapeValid(); }

}  // namespace tf
